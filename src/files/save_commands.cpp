#include "files/save_commands.h"

#include <QLineEdit>

#include <exception>

#include "engine/core/formats/formats.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "files/form2.h"
#include "shell/context.h"
#include "shell/error_texts.h"
#include "shell/ui_services.h"

namespace qova::files {

using shell::MenuId;

namespace {
const QString kSaveErrorTitle = QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの保存");
}  // namespace

void showSaveDialog(engine::EngineDialog& dlg, const QString& title, QWidget* owner) {
    dlg.filter = kAllFilesFilter;
    dlg.option16 = 4096;
    dlg.title = title;
    dlg.flags = 60;
    dlg.saveSwitch = -1;
    dlg.showSave(owner);
}

int16_t saveAsChosen(engine::ImageControl& img, const engine::EngineDialog& dlg, const QString& path) {
    const int16_t format = int16_t(dlg.format), bits = int16_t(dlg.bits), quality = int16_t(dlg.quality);
    if (dlg.stamp)
        return img.saveFileWithStamp(path, format, bits, quality, float(int16_t(dlg.stampWidth)),
                                     float(int16_t(dlg.stampHeight)), int16_t(dlg.stampBits));
    return img.saveFile(path, format, bits, quality, int16_t(dlg.saveOption));
}

SaveCommands::SaveCommands(shell::ShellContext& ctx) : ctx_(ctx) {
    ctx_.onTriggered(MenuId::mnuFileSave, [this] { mnuFileSave_Click(); });
    ctx_.onTriggered(MenuId::mnuFileSaveDir, [this] { mnuFileSaveDir_Click(); });
}

SaveCommands::~SaveCommands() = default;

void SaveCommands::mnuFileSave_Click() {
    engine::EngineDialog& dlg = *ctx_.controls().ImgDlg1;
    try {
        // The dialog starts from the picture in front of it.
        const engine::ImageControl& img = *ctx_.controls().Img1;
        const engine::PictureDepth depth = img.isEmpty() ? engine::PictureDepth{} : engine::pictureDepth(img.currentBitmap());
        dlg.pictureBits = depth.bpp;
        dlg.pictureGrey = depth.grey;
        showSaveDialog(dlg, QStringLiteral("ﾌｧｲﾙの保存"), ctx_.mainWindow());
        const QString path = dlg.fileName;
        const int16_t r = saveAsChosen(*ctx_.controls().Img1, dlg, path);
        if (r != 0)
            ctx_.ui().msgBox(shell::quotedErrorMessage(r, QStringLiteral("が発生しました。")), shell::OkOnly,
                             kSaveErrorTitle);
    } catch (const std::exception& e) {
        const shell::RunTimeError err = shell::runTimeError(e);
        if (shell::isCancel(err)) return;
        ctx_.WaitCursorOff();
        ctx_.ui().msgBox(shell::runTimeErrorMessage(QStringLiteral("VB Error: "), err), shell::OkOnly,
                         kSaveErrorTitle);
    }
}

Form2* SaveCommands::form2() {
    if (!form2_) form2_ = new Form2(ctx_.ui(), [this] { MyPathChange(); }, ctx_.mainWindow());
    return form2_;
}

void SaveCommands::mnuFileSaveDir_Click() {
    Form2* d = form2();
    d->Text1->setText(ctx_.state().sDestDir);
    d->Text1->repaint();
    d->exec();
}

void SaveCommands::MyPathChange() { ctx_.state().sDestDir = form2()->Text1->text(); }

}  // namespace qova::files
