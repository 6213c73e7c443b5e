// The fixed sequence around every processing command that asks its values
// in one of the engine's parameter dialogs: start values and flags into the
// dialog, the picture handed to it, the modal dialog (Cancel ends the
// command with nothing changed and no undo snapshot), the busy bracket with
// its snapshot, the operation with the values read back, the view reset
// where the command has one, and the repaint. An engine error once the
// bracket has started ends the command without a message, after StatusTerm
// and the repaint.
#pragma once

#include <functional>

class QWidget;

namespace qova::engine {
class EngineDialog;
class ImageControl;
}  // namespace qova::engine

namespace qova::shell {
class ShellContext;
}

namespace qova::processing {

struct DialogCommand {
    // Puts the dialog's start values (none for some dialogs).
    std::function<void(engine::EngineDialog&)> start;
    int flags = 0;
    // Shows the dialog over the given owner (EngineDialog::showEffect …).
    void (engine::EngineDialog::*show)(QWidget* owner) = nullptr;
    // Reads the values back and calls the engine operation on Img1.
    std::function<void(engine::ImageControl& img, const engine::EngineDialog& dlg)> operation;
    // Show the changed bitmap at normal size afterwards.
    bool viewReset = false;
};

void runDialogCommand(shell::ShellContext& ctx, const DialogCommand& command);

// A command without a dialog: StatusInit, the operation, StatusTerm,
// repaint (an error after StatusInit still ends with the last two).
void runPlainCommand(shell::ShellContext& ctx, const std::function<void(engine::ImageControl&)>& operation);

// The view reset of the commands that change the bitmap's size or depth:
// the View menu's "通常" (zoom 100, normal view, repaint).
void viewNormal(shell::ShellContext& ctx);

}  // namespace qova::processing
