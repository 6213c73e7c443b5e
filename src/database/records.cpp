// The records of the open database: adding a picture from a file, deleting
// the current record (its picture kept in Img5), restoring the last deleted
// one, the write path's storage settings and the grid's notification.
#include <QFileInfo>
#include <QLineEdit>
#include <QTableView>

#include "database/database.h"
#include "database/record_set.h"
#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/engine_dialog.h"
#include "engine/engine_error.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "shell/context.h"
#include "shell/error_texts.h"
#include "shell/file_lists.h"
#include "shell/numbers.h"
#include "shell/ui_services.h"

namespace qova::database {

namespace {

const QString kAddFilter = QStringLiteral(
    "画像ﾌｧｲﾙ|*.cmp;*.jpg;*.jpe;*.jff;*.jtf;*.bmp;*.tif;*.tga;*.pcx;*.cal;*.mac;*.mac;*.img;*.msp;*.wpg;*.wpg;*.ras;"
    "*.pct;*.pcd;*.eps;*.wmf");

}  // namespace

QString recordErrorText(const std::exception& e, bool* cancelled) {
    QString source, description;
    int number = 0;
    if (const auto* de = dynamic_cast<const DataError*>(&e)) {
        source = de->source();
        number = de->number();
        description = de->description();
    } else if (const auto* ee = dynamic_cast<const engine::EngineError*>(&e)) {
        source = QString::fromStdString(ee->source());
        number = ee->number();
        description = QString::fromStdString(ee->description());
    } else {
        const shell::RunTimeError err = shell::runTimeError(e);
        source = QStringLiteral("QOVA");
        number = err.number;
        description = err.description;
    }
    if (cancelled) *cancelled = number == engine::kErrDialogCancelled;
    return source + QLatin1Char(' ') + shell::numberText(number) + QLatin1Char('\n') + description;
}

void Database::reportRecordError(const std::exception& e) {
    bool cancelled = false;
    const QString text = recordErrorText(e, &cancelled);
    if (!cancelled) ctx_.ui().msgBox(text, shell::OkOnly);
}

int16_t Database::loadForRecord(const QString& path) {
    // A database keeps pictures whole: the reduction the Open command may
    // have asked for does not apply here.
    engine::ImageControl* img = ctx_.controls().Img1;
    const int savedLoadOption = img->loadOption();
    img->setLoadOption(0);
    img->setPreLoad(true);
    const int16_t code = img->load(path, 0, 0, 1);
    img->setLoadOption(savedLoadOption);
    return code;
}

void Database::Command1_Click() {
    const shell::Controls& c = ctx_.controls();
    engine::ImageControl* img = c.Img1;
    // With no database behind the grid (an Open cancelled) there is nowhere
    // to add to: say so before the user picks a file.
    if (!dpeople_.isOpen()) {
        ctx_.ui().msgBox(QStringLiteral("データベースが開かれていません。\n[データベース] メニューで開くか新規製作してください。"),
                         shell::OkOnly | shell::Exclamation, QStringLiteral("画像の追加"));
        return;
    }
    engine::EngineDialog& dlg = *c.ImgDlg1;
    dlg.filter = kAddFilter;
    dlg.option16 = 0;
    dlg.title = QStringLiteral("ﾌｧｲﾙを開く");
    dlg.flags = 480;
    // The dialog starts where the last picture came from, with nothing
    // chosen yet: the first page, at full size.
    dlg.fileName = lastAddDirectory_.isEmpty() ? c.Dir1->path() : lastAddDirectory_;
    dlg.page = 0;
    dlg.loadOption = 0;
    const int savedLoadOption = img->loadOption();
    try {
        dlg.showOpen(ctx_.mainWindow());
        const QString path = dlg.fileName;
        if (path.isEmpty()) return;
        lastAddDirectory_ = QFileInfo(path).absolutePath();
        img->hide();
        dpeople_.addNew();
        img->setPreLoad(true);
        img->setLoadOption(dlg.loadOption);
        const int16_t code = img->load(path, 0, dlg.page, 1);
        img->setLoadOption(savedLoadOption);
        if (code != engine::kOk) {
            // Nothing of a picture that did not load is written.
            dpeople_.cancelUpdate();
            img->show();
            ctx_.ui().msgBox(shell::engineErrorMessage(
                                 QStringLiteral("ﾌｧｲﾙ '") + path + QStringLiteral("' でｴﾗｰが発生しました。 "), code),
                             shell::OkOnly, QStringLiteral("ｴﾗｰ: ﾌｧｲﾙの読み込み"));
            recordShown();
            return;
        }
        c.Cwho->setText(path);
        dpeople_.update();
        dpeople_.requery();
        img->show();
        dpeople_.findFirst(path);
        c.DBGrid1->setFocus();
        recordShown();
    } catch (const std::exception& e) {
        img->setLoadOption(savedLoadOption);
        if (dpeople_.editMode() == RecordSet::EditAdd) dpeople_.cancelUpdate();
        img->show();
        reportRecordError(e);
    }
}

void Database::Command2_Click() {
    const shell::Controls& c = ctx_.controls();
    engine::ImageControl* img = c.Img1;
    // An empty grid has nothing to delete.
    if (!dpeople_.isOpen() || dpeople_.absolutePosition() < 0) return;
    try {
        img->hide();
        ctx_.WaitCursorOn();
        c.Img5->setBitmapHandle(img->bitmapHandle());
        lastDeleted_ = c.Cwho->text();
        const int p = dpeople_.absolutePosition();
        dpeople_.deleteCurrent();
        // The record that followed the deleted one becomes current; after
        // the last one, the new last. The only record leaves an empty set.
        dpeople_.requery();
        if (dpeople_.recordCount() > 0) dpeople_.moveTo(p);
        img->show();
        if (dpeople_.recordCount() > 0 && dpeople_.eof()) dpeople_.movePrevious();
        ctx_.WaitCursorOff();
        c.DBGrid1->setFocus();
        recordShown();
    } catch (const std::exception& e) {
        img->show();
        ctx_.WaitCursorOff();
        reportRecordError(e);
    }
}

void Database::mnuDatabaseRestore_Click() {
    const shell::Controls& c = ctx_.controls();
    if (c.DBGrid1->isHidden() || lastDeleted_.isEmpty() || !dpeople_.isOpen()) return;
    engine::ImageControl* img = c.Img1;
    try {
        img->hide();
        dpeople_.addNew();
        img->setBitmapHandle(c.Img5->bitmapHandle());
        c.Cwho->setText(lastDeleted_);
        dpeople_.update();
        dpeople_.requery();
        img->show();
        dpeople_.findFirst(lastDeleted_);
        recordShown();
    } catch (const std::exception& e) {
        if (dpeople_.editMode() == RecordSet::EditAdd) dpeople_.cancelUpdate();
        img->show();
        reportRecordError(e);
    }
}

void Database::Dpeople_Validate(int action) {
    engine::ImageControl* img = ctx_.controls().Img1;
    if (action == DataControl::ActionUpdate && !img->isEmpty()) {
        // 1-bit pictures go in as Group 4 TIFF, everything else as JPEG.
        if (img->bitsPerPixel() == 1) {
            img->setDataStorageBits(1);
            img->setDataStorageFormat(engine::kFmtTiffG4);
            img->setDataStorageQuality(0);
        } else {
            img->setDataStorageBits(24);
            img->setDataStorageFormat(engine::kFmtJpeg);
            img->setDataStorageQuality(-4);
        }
    }
    imagePanels();
}

void Database::DBGrid1_RowColChange() {
    ctx_.controls().Img1->repaint();
    recordShown();
}

}  // namespace qova::database
