// The file browser panel: drives, directories, the file-type combo and the
// file list, with the keys that walk, load, delete, copy and zoom.
#pragma once

#include <QString>
#include <QStringList>

#include "app/subsystem.h"

class QComboBox;
class QWidget;

namespace qova::app {
class Form1;
}

namespace qova::files {

class DirList;
class DriveList;
class FileList;

class FileBrowser : public app::Subsystem {
public:
    explicit FileBrowser(app::Form1& form);

    // The 22 entries of Combo1 and the pattern each one selects.
    static const QStringList& comboEntries();
    static QString comboPattern(const QString& entry);
    // The start pattern of File1 (also the "ALL" entry's).
    static QString startPattern();
    // Whether a file-list click loads this name (its last four characters).
    static bool acceptedExtension(const QString& fileName);

    // --- event handlers ---
    void Drive1_Change();
    void Dir1_Change();
    void Combo1_Click();
    void File1_Click();
    void File1_KeyDown(int keyCode, int shift);
    void File1_KeyUp(int keyCode, int shift);
    void Dir1_KeyDown(int keyCode, int shift);
    void Drive1_KeyDown(int keyCode, int shift);
    // Number-pad drive keys (96–105) from any control, Img1 included; the
    // focus ends on `focusAfter` (Dir1 when null). True when `keyCode` is one.
    bool DriveKey(int keyCode, QWidget* focusAfter = nullptr);
    // Drive letter of a number-pad key: Num0 "J:", Num1 "A:" … Num9 "I:".
    static QString driveForKey(int keyCode);

    DriveList* drive() const { return drive_; }
    DirList* dir() const { return dir_; }
    QComboBox* combo() const { return combo_; }
    FileList* file() const { return file_; }

private:
    void deleteShownFile();
    void copyShownFile();
    void zoomStep(int delta);
    void viewKey(int mode);
    void readAheadNeighbours();

    app::Form1& f_;
    DriveList* drive_;
    DirList* dir_;
    QComboBox* combo_;
    FileList* file_;
};

}  // namespace qova::files
