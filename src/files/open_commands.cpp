#include "open_commands.h"

#include <QAction>

#include <exception>

#include "app/decode_error.h"
#include "app/main_window.h"
#include "app/menu_table.h"
#include "app/ui_services.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"

namespace qova::files {

using app::MenuId;

OpenCommands::OpenCommands(app::Form1& form) : f_(form) {
    f_.onTriggered(MenuId::mnuFileOpen, [this] { mnuFileOpen_Click(); });
    f_.onTriggered(MenuId::mnuFileClose, [this] { mnuFileClose_Click(); });
    f_.onTriggered(MenuId::FirstPage, [this] { FirstPage_Click(); });
    f_.onTriggered(MenuId::PrevPage, [this] { PrevPage_Click(); });
    f_.onTriggered(MenuId::NextPage, [this] { NextPage_Click(); });
    f_.onTriggered(MenuId::LastPage, [this] { LastPage_Click(); });
}

QString OpenCommands::loadErrorText(const QString& path, int16_t code) {
    return QStringLiteral("ﾌｧｲﾙ '") + path + QStringLiteral("' でｴﾗｰが発生しました。 '") + QString::number(code) +
           QStringLiteral("', ") + app::DecodeError(code) + QStringLiteral(".");
}

void OpenCommands::mnuFileOpen_Click() {
    if (!filterBuilt_) {
        for (int row = 0; row <= 21; ++row)
            filter_ += f_.FormatName[size_t(row)] + "|" + f_.FormatPattern[size_t(row)] + "|";
        filterBuilt_ = true;
    }
    engine::EngineDialog& dlg = *f_.ImgDlg1;
    dlg.filter = filter_;
    dlg.option16 = 0;
    dlg.title = QStringLiteral("ﾌｧｲﾙを開く");
    dlg.flags = 486;
    // From here on any error (Cancel included) ends the command silently.
    try {
        dlg.fileName = lastPath_;
        dlg.page = lastPage_;
        dlg.showOpen(&f_);
        const QString path = dlg.fileName;
        lastPath_ = path;
        // An open database gives way to the image.
        f_.action(MenuId::mnuDatabaseClose)->trigger();
        f_.action(MenuId::mnuDatabaseClose)->setEnabled(false);
        f_.action(MenuId::mnuDatabaseDir)->setEnabled(false);
        const int page = dlg.page;
        lastPage_ = page;
        f_.WaitCursorOn();
        f_.Img1->setPreLoad(true);
        f_.Img1->setLoadOption(dlg.loadOption);
        const int16_t r = f_.Img1->load(path, 0, page, -1);
        f_.WaitCursorOff();
        if (r != 0) {
            f_.ui().msgBox(loadErrorText(path, r), app::OkOnly, QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの読み込み"));
            // The image shown before stays; with none there is nothing to report.
            if (!f_.Img1->isEmpty()) f_.UpdateImageInfo();
            return;
        }
        if (f_.Img1->bitsPerPixel() <= 8) f_.Img1->repaint();
        f_.UpdateImageInfo();
    } catch (const std::exception&) {
        f_.WaitCursorOff();
    }
}

void OpenCommands::mnuFileClose_Click() {
    f_.Img1->setImageSource(QString());
    f_.MenuItemsEnable(false);
    f_.fImage = 0;
}

void OpenCommands::turnTo(int index) {
    f_.Img1->setBitmapListIndex(index);
    f_.Img1->repaint();
}

void OpenCommands::FirstPage_Click() { turnTo(0); }
void OpenCommands::PrevPage_Click() { turnTo(f_.Img1->bitmapListIndex() - 1); }
void OpenCommands::NextPage_Click() { turnTo(f_.Img1->bitmapListIndex() + 1); }
void OpenCommands::LastPage_Click() { turnTo(f_.Img1->bitmapListCount() - 1); }

}  // namespace qova::files
