// The database subsystem in a small main window, driven as a user drives
// it: the chooser and questions answered by the scripted UI, the engine's
// open dialog by its answer hook, the grid by its selection.
#pragma once

#include <QAction>
#include <QDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

#include "database/database.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "shell/file_lists.h"
#include "support/fake_context.h"
#include "support/images.h"

namespace qova::test {

// Writes a picture file of w × h at `bpp`.
inline void writePicture(const QString& path, int w, int h, int bpp = 24, int format = engine::kFmtJpeg) {
    engine::Document d;
    d.frames.push_back(engine::Frame{madeImage(w, h, bpp)});
    engine::SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    QCOMPARE(engine::saveFile(d, r), int16_t(0));
}

struct DatabaseFixture {
    QTemporaryDir dir;
    FakeContext ctx;
    ScriptedUi* ui = &ctx.scripted();
    database::Database db{ctx};

    DatabaseFixture() { QVERIFY(dir.isValid()); }
    ~DatabaseFixture() { engine::EngineDialog::setAnswerHook(nullptr); }

    const shell::Controls& c() const { return ctx.controls(); }
    QString path(const QString& name) const { return dir.filePath(name); }
    void trigger(shell::MenuId id) { ctx.action(id)->trigger(); }

    void create(const QString& file, shell::MsgResult answer = shell::MsgYes) {
        ui->fileNames << file;
        if (QFileInfo::exists(file)) ui->answers << answer;
        trigger(shell::MenuId::mnuDatabaseCreate);
    }
    void open(const QString& file) {
        ui->fileNames << file;
        trigger(shell::MenuId::mnuDatabaseOpen);
    }
    // Command1 with `file` chosen in the open dialog ("" cancels it).
    void add(const QString& file) {
        engine::EngineDialog::setAnswerHook([file](QDialog& d, engine::EngineDialog::Kind) {
            if (file.isEmpty()) return false;
            d.findChild<QLineEdit*>(QStringLiteral("FileName"))->setText(file);
            return true;
        });
        c().Command1->click();
    }
    QStringList gridNames() const {
        QStringList out;
        QAbstractItemModel* m = c().DBGrid1->model();
        for (int r = 0; r < m->rowCount(); ++r) out << m->index(r, 0).data().toString();
        return out;
    }
    int gridRow() const { return c().DBGrid1->currentIndex().row(); }
    // The user clicks row `r` of the grid.
    void clickRow(int r) {
        c().DBGrid1->selectionModel()->setCurrentIndex(c().DBGrid1->model()->index(r, 0),
                                                       QItemSelectionModel::ClearAndSelect);
    }
    int shownWidth() const { return c().Img1->isEmpty() ? 0 : c().Img1->bitmapWidth(); }
    bool databaseMode() const { return !c().DBGrid1->isHidden() && !c().Cwho->isHidden() && c().File1->isHidden(); }
};

}  // namespace qova::test
