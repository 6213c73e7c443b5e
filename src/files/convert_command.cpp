#include "convert_command.h"

#include <exception>

#include "app/decode_error.h"
#include "app/main_window.h"
#include "app/menu_table.h"
#include "app/ui_services.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "files/save_commands.h"

namespace qova::files {

ConvertCommand::ConvertCommand(app::Form1& form) : f_(form) {
    f_.onTriggered(app::MenuId::mnuFileConvert, [this] { mnuFileConvert_Click(); });
}

QString ConvertCommand::failureText(int16_t code) {
    return QStringLiteral("ｴﾗｰ '") + QString::number(code) + QStringLiteral(", ") + app::DecodeError(code) +
           QStringLiteral("' ﾌｧｲﾙ形式の変換中に発生しました。");
}

void ConvertCommand::mnuFileConvert_Click() {
    if (!filterBuilt_) {
        for (int row = 0; row <= 21; ++row)
            filter_ += f_.FormatName[size_t(row)] + "|" + f_.FormatPattern[size_t(row)] + "|";
        filterBuilt_ = true;
    }
    engine::EngineDialog& dlg = *f_.ImgDlg1;
    bool loaded = false;
    try {
        dlg.filter = filter_;
        dlg.option16 = 4096;
        dlg.title = QStringLiteral("変換元ﾌｧｲﾙの指定");
        dlg.flags = 486;
        dlg.showOpen(&f_);
        const QString source = dlg.fileName;

        dlg.filter = kAllFilesFilter;
        dlg.option16 = 4096;
        dlg.title = QStringLiteral("Save File");
        dlg.flags = 60;
        dlg.saveSwitch = -1;
        dlg.showSave(&f_);
        const QString dest = dlg.fileName;

        f_.WaitCursorOn();
        int16_t code = f_.Img1->load(source, 0, int16_t(dlg.page), -1);
        QString title = QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの読み込み");
        if (code == 0) {
            loaded = true;
            code = saveAsChosen(*f_.Img1, dlg, dest);
            if (code != 0) title = QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの保存");
            // The converted picture is not kept on screen, saved or not; with
            // the view empty the image commands go off, as after Close.
            f_.Img1->setBitmapHandle(0);
            f_.fImage = 0;
            f_.MenuItemsEnable(false);
            loaded = false;
        }
        f_.WaitCursorOff();
        if (code != 0) f_.ui().msgBox(failureText(code), app::OkOnly, title);
    } catch (const std::exception& e) {
        f_.WaitCursorOff();
        // A failure after the load must not leave the source on screen either.
        if (loaded) {
            try {
                f_.Img1->setBitmapHandle(0);
                f_.fImage = 0;
                f_.MenuItemsEnable(false);
            } catch (const std::exception&) {
            }
        }
        const RunTimeError err = runTimeError(e);
        if (err.number == 20150) return;
        f_.ui().msgBox(QStringLiteral("VB ｴﾗｰ: '") + QString::number(err.number) + QStringLiteral("' - ") +
                           err.description + QStringLiteral("."),
                       app::OkOnly, QStringLiteral("ｴﾗｰ: ﾌｧｲﾙ変換"));
    }
}

}  // namespace qova::files
