#include "files/convert_command.h"

#include <exception>

#include "engine/core/formats/formats.h"
#include "engine/engine_dialog.h"
#include "engine/native_path.h"
#include "engine/image_control.h"
#include "files/save_commands.h"
#include "shell/context.h"
#include "shell/error_texts.h"
#include "shell/file_types.h"
#include "shell/ui_services.h"

namespace qova::files {

ConvertCommand::ConvertCommand(shell::ShellContext& ctx) : ctx_(ctx) {
    ctx_.onTriggered(shell::MenuId::mnuFileConvert, [this] { mnuFileConvert_Click(); });
}

QString ConvertCommand::failureText(int16_t code) {
    return shell::quotedErrorMessage(code, QStringLiteral("ﾌｧｲﾙ形式の変換中に発生しました。"));
}

void ConvertCommand::mnuFileConvert_Click() {
    if (!filterBuilt_) {
        filter_ = shell::openFilter(ctx_.state());
        filterBuilt_ = true;
    }
    engine::EngineDialog& dlg = *ctx_.controls().ImgDlg1;
    engine::ImageControl* img = ctx_.controls().Img1;
    bool loaded = false;
    try {
        dlg.filter = filter_;
        dlg.option16 = 4096;
        dlg.title = QStringLiteral("変換元ﾌｧｲﾙの指定");
        dlg.flags = 486;
        dlg.showOpen(ctx_.mainWindow());
        const QString source = dlg.fileName;

        // Bits start from the source's own depth, not from the last save.
        const engine::PictureDepth depth = engine::fileDepth(engine::nativePath(source));
        dlg.pictureBits = depth.bpp;
        dlg.pictureGrey = depth.grey;
        showSaveDialog(dlg, QStringLiteral("Save File"), ctx_.mainWindow());
        const QString dest = dlg.fileName;

        ctx_.WaitCursorOn();
        int16_t code = img->load(source, 0, int16_t(dlg.page), -1);
        QString title = QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの読み込み");
        if (code == 0) {
            loaded = true;
            code = saveAsChosen(*img, dlg, dest);
            if (code != 0) title = QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの保存");
            // The converted picture is not kept on screen, saved or not; with
            // the view empty the image commands go off, as after Close.
            img->setBitmapHandle(0);
            ctx_.state().fImage = 0;
            ctx_.MenuItemsEnable(false);
            loaded = false;
        }
        ctx_.WaitCursorOff();
        if (code != 0) ctx_.ui().msgBox(failureText(code), shell::OkOnly, title);
    } catch (const std::exception& e) {
        ctx_.WaitCursorOff();
        // A failure after the load must not leave the source on screen either.
        if (loaded) {
            try {
                img->setBitmapHandle(0);
                ctx_.state().fImage = 0;
                ctx_.MenuItemsEnable(false);
            } catch (const std::exception&) {
            }
        }
        const shell::RunTimeError err = shell::runTimeError(e);
        if (shell::isCancel(err)) return;
        ctx_.ui().msgBox(shell::runTimeErrorMessage(QStringLiteral("VB ｴﾗｰ: "), err), shell::OkOnly,
                         QStringLiteral("ｴﾗｰ: ﾌｧｲﾙ変換"));
    }
}

}  // namespace qova::files
