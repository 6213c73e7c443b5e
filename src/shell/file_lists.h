// The file browser's lists: mounted volumes as drives, the directory chain
// with its subdirectories, and the files of a directory matching a pattern.
// They behave like the classic drive, directory and file list boxes the
// browser's key rules are written for (a moved selection is a click, keys
// arrive as virtual-key numbers with a shift state). The main window's panel
// and the save-destination dialog both use them.
#pragma once

#include <QComboBox>
#include <QListWidget>
#include <QStringList>

namespace qova::shell {

// Mounted volumes named by position: the first "A:", the second "B:", …
class DriveList : public QComboBox {
    Q_OBJECT
public:
    explicit DriveList(QWidget* parent = nullptr);
    // Re-reads the mounted volumes.
    void refresh();
    QString drive() const;          // "A:" …
    // Selects the drive with that letter; throws std::runtime_error when
    // there is none or it is not ready (the list stays as it was).
    void setDrive(const QString& letter);
    // Root directory of a drive letter ("" when missing).
    QString rootOf(const QString& letter) const;
    // The drive whose volume holds `path`.
    QString driveOf(const QString& path) const;
    QStringList roots() const { return roots_; }
    // Tests put their own volumes in place of the machine's.
    void setRoots(const QStringList& roots);

signals:
    void driveChanged();
    void keyDown(int virtualKey, int shift);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void fill();
    QStringList roots_;
    bool filling_ = false;
    bool fixedRoots_ = false;
};

class DirList : public QListWidget {
    Q_OBJECT
public:
    explicit DirList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    // Throws std::runtime_error when `path` is no readable directory.
    void setPath(const QString& path);
    void refresh();
    // Directory of an entry (the highlighted one is currentRow()).
    QString entryPath(int row) const;
    int listIndex() const { return currentRow(); }

signals:
    void changed();
    void keyDown(int virtualKey, int shift);

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    QString path_;
};

class FileList : public QListWidget {
    Q_OBJECT
public:
    explicit FileList(QWidget* parent = nullptr);
    QString path() const { return path_; }
    void setPath(const QString& path);
    QString pattern() const { return pattern_; }
    void setPattern(const QString& pattern);
    void refresh();
    // Name of the selected file ("" when none): its real name, which keeps
    // bytes that are not UTF-8 (engine/native_path.h); the list shows it
    // decoded as Shift-JIS.
    QString fileName() const;
    int listIndex() const { return currentRow(); }
    // −1 clears the selection. A change of selection is a click.
    void setListIndex(int index);
    int listCount() const { return count(); }
    QString entry(int i) const;
    // True when a name matches one of the ;-separated patterns (case blind, as on the file systems these patterns come from).
    static bool matches(const QString& name, const QString& pattern);

signals:
    void clicked();
    void keyDown(int virtualKey, int shift);
    void keyUp(int virtualKey, int shift);

protected:
    void keyPressEvent(QKeyEvent* e) override;
    void keyReleaseEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;

private:
    QString path_;
    QString pattern_ = "*.*";
    bool silent_ = false;
    bool driven_ = false;  // the current row is moving by the user's hand
};

}  // namespace qova::shell
