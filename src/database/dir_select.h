// DirSelect: the dialog of the directory import. The user picks a drive, a
// directory and a file type; OK imports every listed file while Text2 counts
// and the Abort button (in OK's place) stops the import after the file
// being read. What it shows is remembered between openings (ImportState).
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace qova::shell {
class DirList;
class DriveList;
class FileList;
}  // namespace qova::shell

namespace qova::database {

struct ImportState;

class DirSelect : public QDialog {
    Q_OBJECT
public:
    // `startDir` is shown when no directory is remembered; `import` runs the
    // import over the dialog (Form1's DirSelect_Click).
    DirSelect(ImportState& state, const QString& startDir, std::function<void(DirSelect&)> import,
              QWidget* parent = nullptr);
    ~DirSelect() override;

    // The file types of Combo1, in list order, and the pattern of each ("" for
    // a text that is none of them).
    static const QStringList& fileTypes();
    static QString typePattern(const QString& type);

    shell::DriveList* Drive1 = nullptr;
    shell::DirList* Dir1 = nullptr;
    shell::FileList* File1 = nullptr;
    QComboBox* Combo1 = nullptr;
    QLineEdit* Text1 = nullptr;  // number of listed files
    QLineEdit* Text2 = nullptr;  // index of the file being imported
    QPushButton* Command1 = nullptr;  // OK
    QPushButton* Command2 = nullptr;  // Abort

    // --- handlers ---
    void Combo1_Click();
    void Dir1_Change();
    void Drive1_Change();
    void Command1_Click();
    void Command2_Click();
    // While an import runs only Abort answers (the lists stay as they were).
    void setImporting(bool on);

    // Closing the dialog in any way stops a running import and remembers
    // what it showed.
    void done(int result) override;

private:
    void Form_Load(const QString& startDir);
    void Form_Unload();
    ImportState& state_;
    std::function<void(DirSelect&)> import_;
    bool unloaded_ = false;
};

}  // namespace qova::database
