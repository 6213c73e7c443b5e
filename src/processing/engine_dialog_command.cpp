#include "processing/engine_dialog_command.h"

#include <QAction>

#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "shell/context.h"
#include "shell/trap.h"

namespace qova::processing {

namespace {

// From StatusInit on: an error ends the work, never the bracket.
void busy(shell::ShellContext& ctx, const std::function<void()>& work) {
    shell::trapped([&] {
        ctx.StatusInit();
        work();
    });
    shell::trapped([&] { ctx.StatusTerm(); });
    ctx.controls().Img1->repaint();
}

}  // namespace

void runDialogCommand(shell::ShellContext& ctx, const DialogCommand& command) {
    engine::EngineDialog& dlg = *ctx.controls().ImgDlg1;
    engine::ImageControl& img = *ctx.controls().Img1;
    if (command.start) command.start(dlg);
    dlg.flags = command.flags;
    dlg.bitmap = img.bitmapHandle();
    try {
        (dlg.*command.show)(ctx.mainWindow());
    } catch (...) {
        // Cancelled: the command ends here; the dialog keeps no picture.
        dlg.bitmap = 0;
        throw;
    }
    dlg.bitmap = 0;
    busy(ctx, [&] {
        command.operation(img, dlg);
        if (command.viewReset) viewNormal(ctx);
    });
}

void runPlainCommand(shell::ShellContext& ctx, const std::function<void(engine::ImageControl&)>& operation) {
    busy(ctx, [&] { operation(*ctx.controls().Img1); });
}

void viewNormal(shell::ShellContext& ctx) { ctx.action(shell::MenuId::mnuViewNormal)->trigger(); }

}  // namespace qova::processing
