#include "save_commands.h"

#include <QLineEdit>

#include <new>
#include <stdexcept>

#include "app/decode_error.h"
#include "app/main_window.h"
#include "app/menu_table.h"
#include "app/ui_services.h"
#include "engine/engine_dialog.h"
#include "engine/engine_error.h"
#include "engine/image_control.h"
#include "files/form2.h"

namespace qova::files {

using app::MenuId;

namespace {
constexpr int kCancelled = 20150;
const QString kSaveErrorTitle = QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの保存");
}  // namespace

int16_t saveAsChosen(engine::ImageControl& img, const engine::EngineDialog& dlg, const QString& path) {
    const int16_t format = int16_t(dlg.format), bits = int16_t(dlg.bits), quality = int16_t(dlg.quality);
    if (dlg.stamp)
        return img.saveFileWithStamp(path, format, bits, quality, float(int16_t(dlg.stampWidth)),
                                     float(int16_t(dlg.stampHeight)), int16_t(dlg.stampBits));
    return img.saveFile(path, format, bits, quality, int16_t(dlg.saveOption));
}

RunTimeError runTimeError(const std::exception& e) {
    if (const auto* ee = dynamic_cast<const engine::EngineError*>(&e))
        return {ee->number(), QString::fromStdString(ee->description())};
    if (dynamic_cast<const std::bad_alloc*>(&e)) return {7, QStringLiteral("Out of memory")};
    if (dynamic_cast<const std::overflow_error*>(&e)) return {6, QStringLiteral("Overflow")};
    return {5, QString::fromLocal8Bit(e.what())};
}

SaveCommands::SaveCommands(app::Form1& form) : f_(form) {
    f_.onTriggered(MenuId::mnuFileSave, [this] { mnuFileSave_Click(); });
    f_.onTriggered(MenuId::mnuFileSaveDir, [this] { mnuFileSaveDir_Click(); });
}

SaveCommands::~SaveCommands() = default;

void SaveCommands::mnuFileSave_Click() {
    engine::EngineDialog& dlg = *f_.ImgDlg1;
    try {
        dlg.filter = kAllFilesFilter;
        dlg.option16 = 4096;
        dlg.title = QStringLiteral("ﾌｧｲﾙの保存");
        dlg.flags = 60;
        dlg.saveSwitch = -1;
        dlg.showSave(&f_);
        const QString path = dlg.fileName;
        const int16_t r = saveAsChosen(*f_.Img1, dlg, path);
        if (r != 0)
            f_.ui().msgBox(QStringLiteral("ｴﾗｰ '") + QString::number(r) + QStringLiteral(", ") + app::DecodeError(r) +
                               QStringLiteral("' が発生しました。"),
                           app::OkOnly, kSaveErrorTitle);
    } catch (const std::exception& e) {
        const RunTimeError err = runTimeError(e);
        if (err.number == kCancelled) return;
        f_.WaitCursorOff();
        f_.ui().msgBox(QStringLiteral("VB Error: '") + QString::number(err.number) + QStringLiteral("' - ") +
                           err.description + QStringLiteral("."),
                       app::OkOnly, kSaveErrorTitle);
    }
}

Form2* SaveCommands::form2() {
    if (!form2_) form2_ = new Form2(f_.ui(), [this] { MyPathChange(); }, &f_);
    return form2_;
}

void SaveCommands::mnuFileSaveDir_Click() {
    Form2* d = form2();
    d->Text1->setText(f_.sDestDir);
    d->Text1->repaint();
    d->exec();
}

void SaveCommands::MyPathChange() { f_.sDestDir = form2()->Text1->text(); }

}  // namespace qova::files
