// The file browser panel: drives, directories, the file-type combo and the
// file list, with the keys that walk, load, delete, copy and zoom. It offers
// the other subsystems the panel's services (drive keys, hiding the panel,
// deleting and copying the shown file).
#pragma once

#include <QString>
#include <QStringList>

#include "shell/services.h"

class QComboBox;
class QWidget;

namespace qova::shell {
class DirList;
class DriveList;
class FileList;
class ShellContext;
struct Controls;
struct WindowState;
}  // namespace qova::shell

namespace qova::files {

class FileBrowser : public shell::BrowserService {
public:
    explicit FileBrowser(shell::ShellContext& ctx);

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
    // Drive letter of a number-pad key: Num0 "J:", Num1 "A:" … Num9 "I:".
    static QString driveForKey(int keyCode);

    // --- services (shell/services.h) ---
    bool DriveKey(int keyCode, QWidget* focusAfter = nullptr) override;
    void setPanelVisible(bool visible) override;
    void deleteShownFile() override;
    bool copyShownFile(const QString& name) override;

    shell::DriveList* drive() const;
    shell::DirList* dir() const;
    QComboBox* combo() const;
    shell::FileList* file() const;

private:
    void copyKey();
    void zoomStep(int delta);
    void viewKey(int mode);
    void readAheadNeighbours();
    // True while Img1 shows the picture loaded from sFilePath.
    bool showsListFile() const;
    // Empties Img1 as Close does (fImage 0, image menus off).
    void emptyView();
    const shell::Controls& c() const;
    shell::WindowState& s() const;

    shell::ShellContext& ctx_;
    int lastIndex_ = -1;  // list index of the last picture shown: the walk's direction
};

}  // namespace qova::files
