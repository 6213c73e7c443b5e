// Form2: choosing the save destination directory. The drive list and the
// directory tree fill the path box, which can also be edited; OK accepts an
// existing directory or offers to create a missing one, CANCEL changes nothing.
#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace qova::shell {
class DirList;
class DriveList;
class UiServices;
}  // namespace qova::shell

namespace qova::files {

using shell::DirList;
using shell::DriveList;

class Form2 : public QDialog {
    Q_OBJECT
public:
    // `pathChange` is called when OK accepts the path in Text1.
    Form2(shell::UiServices& ui, std::function<void()> pathChange, QWidget* parent = nullptr);

    DriveList* Drive1;
    DirList* Dir1;
    QLineEdit* Text1;
    QLabel* Label1;
    QPushButton* Command1;
    QPushButton* Command2;

    void Drive1_Change();
    void Dir1_Change();
    void Command1_Click();
    void Command2_Click();

private:
    shell::UiServices& ui_;
    std::function<void()> pathChange_;
};

}  // namespace qova::files
