// Save (through the engine's save dialog), the save destination chosen in
// Form2, and what both share with the format conversion: writing Img1 with
// the answers of the save dialog.
#pragma once

#include <QString>

#include <cstdint>

class QWidget;

namespace qova::shell {
class ShellContext;
}
namespace qova::engine {
class EngineDialog;
class ImageControl;
}

namespace qova::files {

class Form2;

// The save dialog's filter: every file.
inline const QString kAllFilesFilter = QStringLiteral("すべてのﾌｧｲﾙ(*.*)|*.*");

// Shows the engine's save dialog as Save and the conversion put it up: every
// file, option 16 = 4096, flags 60, save switch −1, with `title`. Cancel
// raises the engine's error 20150.
void showSaveDialog(engine::EngineDialog& dlg, const QString& title, QWidget* owner);

// Writes the image of `img` to `path` with the format, depth, quality and
// either the stamp or the save option the dialog returned; a stamp save does
// not read the save option. Returns the engine's code.
int16_t saveAsChosen(engine::ImageControl& img, const engine::EngineDialog& dlg, const QString& path);

class SaveCommands {
public:
    explicit SaveCommands(shell::ShellContext& ctx);
    ~SaveCommands();

    void mnuFileSave_Click();
    void mnuFileSaveDir_Click();
    // sDestDir := Form2's Text1 (Form2's OK calls it).
    void MyPathChange();

    // The destination dialog, made on first use and kept (hidden) for the run.
    Form2* form2();

private:
    shell::ShellContext& ctx_;
    Form2* form2_ = nullptr;
};

}  // namespace qova::files
