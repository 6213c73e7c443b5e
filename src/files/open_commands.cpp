#include "files/open_commands.h"

#include <QAction>

#include <exception>

#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "shell/context.h"
#include "shell/error_texts.h"
#include "shell/file_types.h"
#include "shell/ui_services.h"

namespace qova::files {

using shell::MenuId;

OpenCommands::OpenCommands(shell::ShellContext& ctx) : ctx_(ctx) {
    ctx_.onTriggered(MenuId::mnuFileOpen, [this] { mnuFileOpen_Click(); });
    ctx_.onTriggered(MenuId::mnuFileClose, [this] { mnuFileClose_Click(); });
    ctx_.onTriggered(MenuId::FirstPage, [this] { FirstPage_Click(); });
    ctx_.onTriggered(MenuId::PrevPage, [this] { PrevPage_Click(); });
    ctx_.onTriggered(MenuId::NextPage, [this] { NextPage_Click(); });
    ctx_.onTriggered(MenuId::LastPage, [this] { LastPage_Click(); });
}

QString OpenCommands::loadErrorText(const QString& path, int16_t code) {
    return shell::engineErrorMessage(QStringLiteral("ﾌｧｲﾙ '") + path + QStringLiteral("' でｴﾗｰが発生しました。 "), code);
}

void OpenCommands::mnuFileOpen_Click() {
    if (!filterBuilt_) {
        filter_ = shell::openFilter(ctx_.state());
        filterBuilt_ = true;
    }
    engine::EngineDialog& dlg = *ctx_.controls().ImgDlg1;
    dlg.filter = filter_;
    dlg.option16 = 0;
    dlg.title = QStringLiteral("ﾌｧｲﾙを開く");
    dlg.flags = 486;
    // From here on any error (Cancel included) ends the command silently.
    try {
        dlg.fileName = lastPath_;
        dlg.page = lastPage_;
        dlg.showOpen(ctx_.mainWindow());
        const QString path = dlg.fileName;
        lastPath_ = path;
        // An open database gives way to the image.
        ctx_.action(MenuId::mnuDatabaseClose)->trigger();
        ctx_.action(MenuId::mnuDatabaseClose)->setEnabled(false);
        ctx_.action(MenuId::mnuDatabaseDir)->setEnabled(false);
        const int page = dlg.page;
        lastPage_ = page;
        ctx_.WaitCursorOn();
        ctx_.controls().Img1->setPreLoad(true);
        ctx_.controls().Img1->setLoadOption(dlg.loadOption);
        const int16_t r = ctx_.controls().Img1->load(path, 0, page, -1);
        ctx_.WaitCursorOff();
        if (r != 0) {
            ctx_.ui().msgBox(loadErrorText(path, r), shell::OkOnly, QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの読み込み"));
            // The image shown before stays; with none there is nothing to report.
            if (!ctx_.controls().Img1->isEmpty()) ctx_.UpdateImageInfo();
            return;
        }
        if (ctx_.controls().Img1->bitsPerPixel() <= 8) ctx_.controls().Img1->repaint();
        ctx_.UpdateImageInfo();
    } catch (const std::exception&) {
        ctx_.WaitCursorOff();
    }
}

void OpenCommands::mnuFileClose_Click() {
    ctx_.controls().Img1->setImageSource(QString());
    ctx_.MenuItemsEnable(false);
    ctx_.state().fImage = 0;
}

void OpenCommands::turnTo(int index) {
    ctx_.controls().Img1->setBitmapListIndex(index);
    ctx_.controls().Img1->repaint();
}

void OpenCommands::FirstPage_Click() { turnTo(0); }
void OpenCommands::PrevPage_Click() { turnTo(ctx_.controls().Img1->bitmapListIndex() - 1); }
void OpenCommands::NextPage_Click() { turnTo(ctx_.controls().Img1->bitmapListIndex() + 1); }
void OpenCommands::LastPage_Click() { turnTo(ctx_.controls().Img1->bitmapListCount() - 1); }

}  // namespace qova::files
