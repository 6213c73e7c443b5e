// CreateAni: the user picks image files in a drive/directory/file browser
// and orders them in a list; OK loads each one (through Img2) and appends it
// as a frame to Img1's bitmap list, in list order.
#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QListWidget;
class QPushButton;

namespace qova::shell {
class DirList;
class DriveList;
class FileList;
class ShellContext;
}  // namespace qova::shell

namespace qova::animation {

class CreateAni : public QDialog {
    Q_OBJECT
public:
    // Starts in `startDir` (the directory the main window browses).
    CreateAni(shell::ShellContext& ctx, const QString& startDir, QWidget* parent = nullptr);

    // The only file patterns the list shows.
    static QString filePattern();

    shell::DriveList* Drive1;
    shell::DirList* Dir1;
    shell::FileList* File1;
    QLabel* Label1;
    QListWidget* List2;
    QLabel* Label2;
    QPushButton* Command1;  // "->"
    QPushButton* Command2;  // "<-"
    QPushButton* Command3;  // "OK"
    QPushButton* Command4;  // "ｷｬﾝｾﾙ"

    // Frames built by the last OK (files that loaded).
    int framesBuilt() const { return built_; }

private:
    void Form_Load(const QString& startDir);
    void Drive1_Change();
    void Dir1_Change();
    void File1_Click();
    void Command1_Click();
    void Command2_Click();
    void Command3_Click();
    shell::ShellContext& ctx_;
    int built_ = 0;
};

}  // namespace qova::animation
