// The directory import: DirSelect shown modally from the Database menu, and
// the import its OK button runs, one record per listed file, each written in
// its own transaction, with Abort answered between files.
#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "database/database.h"
#include "database/dir_select.h"
#include "database/record_set.h"
#include "engine/core/codes.h"
#include "engine/image_control.h"
#include "shell/context.h"
#include "shell/file_lists.h"
#include "shell/numbers.h"
#include "shell/paths.h"
#include "shell/ui_services.h"

namespace qova::database {

namespace {

Database::DirSelectHook& dirSelectHook() {
    static Database::DirSelectHook hook;
    return hook;
}

}  // namespace

void Database::setDirSelectHook(DirSelectHook hook) { dirSelectHook() = std::move(hook); }

void Database::mnuDatabaseDir_Click() {
    if (!dpeople_.isOpen()) return;
    const QString start = ctx_.controls().Dir1 ? ctx_.controls().Dir1->path() : QString();
    DirSelect dialog(import_, start, [this](DirSelect& d) { DirSelect_Click(d); }, ctx_.mainWindow());
    if (dirSelectHook()) dirSelectHook()(dialog);
    else dialog.exec();
}

void Database::DirSelect_Click(DirSelect& d) {
    const shell::Controls& c = ctx_.controls();
    engine::ImageControl* img = c.Img1;
    // The files listed when OK was pressed; the lists keep still meanwhile.
    QStringList names;
    for (int i = 0; i < d.File1->listCount(); ++i) names << d.File1->entry(i);
    const QString dir = import_.directory;
    d.Command1->hide();
    d.setImporting(true);
    ctx_.WaitCursorOn();
    QString lastWritten;
    QStringList skipped;
    try {
        for (int i = 0; i < names.size(); ++i) {
            d.Text2->setText(shell::numberText(i));
            d.Text2->repaint();
            d.File1->blockSignals(true);
            d.File1->setListIndex(i);
            d.File1->blockSignals(false);
            const QString path = shell::joinPath(dir, names[i]);
            img->hide();
            dpeople_.addNew();
            if (loadForRecord(path) == engine::kOk) {
                c.Cwho->setText(path);
                dpeople_.update();
                lastWritten = path;
            } else {
                // A file that does not load makes no record.
                dpeople_.cancelUpdate();
                skipped << names[i];
            }
            // Abort (and only the dialog: the window is behind a modal one)
            // is answered here, between two files.
            QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (!import_.running) break;
        }
        dpeople_.requery();
        img->show();
        if (!lastWritten.isEmpty()) dpeople_.findFirst(lastWritten);
        recordShown();
    } catch (const std::exception& e) {
        ctx_.WaitCursorOff();
        if (dpeople_.editMode() == RecordSet::EditAdd) dpeople_.cancelUpdate();
        img->show();
        // What was written before stays, and the grid shows it.
        try {
            dpeople_.requery();
            recordShown();
        } catch (const std::exception&) {
        }
        reportRecordError(e);
    }
    ctx_.WaitCursorOff();
    d.Command2->hide();
    d.Command1->show();
    d.setImporting(false);
    // OK stays off until another directory is chosen: that is where the
    // user goes next.
    d.Dir1->setFocus();
    import_.running = false;
    if (!skipped.isEmpty()) {
        QString list = skipped.mid(0, 10).join(QLatin1Char('\n'));
        if (skipped.size() > 10) list += QStringLiteral("\n…");
        ctx_.ui().msgBox(QStringLiteral("%1 個のファイルを読み込めなかったので、追加しませんでした。\n%2")
                             .arg(skipped.size())
                             .arg(list),
                         shell::OkOnly | shell::Exclamation, QStringLiteral("ディレクトリの選択"));
    }
}

}  // namespace qova::database
