// Database files and records as a user meets them: create (and the question
// before a file is replaced), open, close and the two layouts, files that
// are no picture database, adding, browsing in the grid, deleting,
// restoring, how pictures are stored, and renaming in the name box.
#include <QFile>

#include "database/data_control.h"
#include "database/database_file.h"
#include "database/record_set.h"
#include "database_fixture.h"
#include "engine/image_store.h"
#include "engine/picture_data.h"
#include "shell/layout.h"
#include "shell/file_lists.h"
#include "shell/status_bar.h"
#include "shell/twips.h"

using namespace qova;
using shell::MenuId;
using test::DatabaseFixture;

namespace {

int px(double twips) { return shell::twipsToPixels(twips); }

// The picture stored for the record named `name`.
QByteArray storedPicture(const QString& file, const QString& name) {
    auto f = database::DatabaseFile::open(file);
    database::RecordSet rs(f->connection(), f->table());
    if (!rs.findFirst(name)) return {};
    return rs.picture();
}

}  // namespace

class DatabaseTest : public QObject {
    Q_OBJECT

private slots:
    void createAsksBeforeReplacingAFile() {
        DatabaseFixture f;
        const QString file = f.path("people.mdb");
        f.create(file);
        QVERIFY(f.databaseMode());
        QVERIFY(f.ui->boxes.isEmpty());  // a new file: nothing to ask
        test::writePicture(f.path("a.jpg"), 30, 20);
        f.add(f.path("a.jpg"));
        QVERIFY2(f.ui->boxes.isEmpty(), qPrintable(f.ui->boxes.value(0).prompt));
        QCOMPARE(f.gridNames().size(), 1);

        // No: the file and the database open stay as they were.
        f.create(file, shell::MsgNo);
        QCOMPARE(f.ui->boxes.size(), 1);
        QCOMPARE(f.ui->boxes[0].style, shell::YesNo | shell::Critical | shell::DefaultButton2);
        QVERIFY(f.ui->boxes[0].prompt.contains(file));
        QCOMPARE(f.gridNames().size(), 1);
        QVERIFY(f.db.Dpeople().isOpen());

        // Yes: an empty database in its place, shown as an empty grid.
        f.create(file, shell::MsgYes);
        QCOMPARE(f.ui->boxes.size(), 2);
        QVERIFY(f.gridNames().isEmpty());
        QVERIFY(f.c().Img1->isEmpty());
        QCOMPARE(f.ctx.state().fImage, int16_t(0));
        QVERIFY(f.c().Cwho->text().isEmpty());
        QVERIFY(f.ctx.action(MenuId::mnuDatabaseClose)->isEnabled());
        QVERIFY(f.ctx.action(MenuId::mnuDatabaseDir)->isEnabled());
        // A name without extension gets the database's.
        f.create(f.path("second"));
        QVERIFY(QFile::exists(f.path("second.mdb")));
    }

    void cancellingOpenLeavesThePreviousDatabaseUnbound() {
        DatabaseFixture f;
        f.create(f.path("p.mdb"));
        test::writePicture(f.path("a.jpg"), 30, 20);
        test::writePicture(f.path("b.jpg"), 40, 20);
        f.add(f.path("a.jpg"));
        f.add(f.path("b.jpg"));
        f.c().Command2->click();  // b goes, its picture kept for a restore
        f.open(QString());
        QVERIFY(!f.db.Dpeople().isOpen());
        QVERIFY(f.gridNames().isEmpty());
        QVERIFY(f.c().Img1->dataField().isEmpty());
        QVERIFY(f.c().Img1->isEmpty());  // the last record's picture went with it
        QCOMPARE(f.ctx.state().fImage, int16_t(0));
        QVERIFY(f.databaseMode());  // the window keeps its mode
        // Commands on nothing do nothing (no crash, no half record); adding
        // says why before any file is chosen.
        f.c().Command2->click();
        f.trigger(MenuId::mnuDatabaseDir);
        f.trigger(MenuId::mnuDatabaseRestore);
        bool dialogShown = false;
        engine::EngineDialog::setAnswerHook([&](QDialog&, engine::EngineDialog::Kind) { return dialogShown = true; });
        f.c().Command1->click();
        QVERIFY(!dialogShown);
        QCOMPARE(f.ui->boxes.size(), 1);
        QVERIFY(f.ui->boxes[0].prompt.contains(QStringLiteral("開かれていません")));
        f.open(f.path("p.mdb"));
        QCOMPARE(f.gridNames(), QStringList{f.path("a.jpg")});
    }

    void closeAndOpenLayOutTheWindow() {
        DatabaseFixture f;
        QWidget* w = f.ctx.mainWindow();
        const double H = shell::heightTwips(w), W = shell::widthTwips(w);
        f.create(f.path("p.mdb"));
        auto databaseLayout = [&] {
            QVERIFY(f.databaseMode());
            QCOMPARE(f.ctx.state().fBrowserHidden, int16_t(1));
            QCOMPARE(f.c().Img1->y(), px(840));
            QCOMPARE(f.c().Img1->x(), px(2355));
            QCOMPARE(f.c().Img1->height(), px(H - 1425 - 360));
            QCOMPARE(f.c().Img1->width(), px(W - 2460));
            QCOMPARE(f.c().DBGrid1->height(), px(H - 3225 + 480));
            QCOMPARE(f.c().Cwho->width(), px(W - 100));
        };
        databaseLayout();
        f.trigger(MenuId::mnuDatabaseClose);
        QVERIFY(!f.c().File1->isHidden() && !f.c().Dir1->isHidden());
        for (QWidget* x : {static_cast<QWidget*>(f.c().Cwho), static_cast<QWidget*>(f.c().DBGrid1),
                           static_cast<QWidget*>(f.c().Command1), static_cast<QWidget*>(f.c().Command2)})
            QVERIFY(x->isHidden());
        QCOMPARE(f.ctx.state().fBrowserHidden, int16_t(0));
        QCOMPARE(f.c().Img1->y(), px(480));
        QCOMPARE(f.c().Img1->height(), px(H - 1425));
        QCOMPARE(f.c().Img1->width(), px(W - 2460));
        QCOMPARE(f.c().File1->height(), px(H - 4760));
        QVERIFY(!f.ctx.action(MenuId::mnuDatabaseClose)->isEnabled());
        QVERIFY(!f.ctx.action(MenuId::mnuDatabaseDir)->isEnabled());
        f.open(f.path("p.mdb"));
        databaseLayout();
    }

    void aFileThatIsNoPictureDatabaseIsSaidSo() {
        DatabaseFixture f;
        QFile text(f.path("notes.mdb"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("these are my notes, not a database");
        text.close();
        f.create(f.path("p.mdb"));
        f.open(text.fileName());
        QCOMPARE(f.ui->boxes.size(), 1);
        QVERIFY(f.ui->boxes[0].prompt.contains("notes.mdb"));
        QVERIFY(!f.databaseMode());
        QVERIFY(!f.c().File1->isHidden());
        QCOMPARE(f.ctx.state().fBrowserHidden, int16_t(0));
        QVERIFY(!f.ctx.action(MenuId::mnuDatabaseClose)->isEnabled());
        QVERIFY(!QFile::exists(f.path("missing.mdb")));
        f.open(f.path("missing.mdb"));
        QCOMPARE(f.ui->boxes.size(), 2);
        QVERIFY(!QFile::exists(f.path("missing.mdb")));  // opening never makes one
        QVERIFY(!f.databaseMode());
    }

    void addedRecordsAreBrowsedInNameOrder() {
        DatabaseFixture f;
        f.create(f.path("p.mdb"));
        test::writePicture(f.path("b.jpg"), 40, 20);
        test::writePicture(f.path("c.jpg"), 50, 20);
        test::writePicture(f.path("a'quote.jpg"), 30, 20);
        for (const char* n : {"c.jpg", "a'quote.jpg", "b.jpg"}) f.add(f.path(n));
        QVERIFY2(f.ui->boxes.isEmpty(), qPrintable(f.ui->boxes.value(0).prompt));
        QCOMPARE(f.gridNames(), (QStringList{f.path("a'quote.jpg"), f.path("b.jpg"), f.path("c.jpg")}));
        // Each added record becomes the current one, shown at once.
        QCOMPARE(f.gridRow(), 1);
        QCOMPARE(f.c().Cwho->text(), f.path("b.jpg"));
        QCOMPARE(f.shownWidth(), 40);
        f.clickRow(0);
        QCOMPARE(f.shownWidth(), 30);
        QCOMPARE(f.c().Cwho->text(), f.path("a'quote.jpg"));
        QCOMPARE(f.c().StatusBar1->panelText(4), QStringLiteral("30 Width"));
        QCOMPARE(f.ctx.state().fImage, int16_t(1));
        f.clickRow(2);
        QCOMPARE(f.shownWidth(), 50);

        // Cancel adds nothing; a file that does not load adds nothing either.
        f.add(QString());
        QVERIFY(f.ui->boxes.isEmpty());
        QFile bad(f.path("bad.jpg"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("\xFF\xD8\xFF garbage");
        bad.close();
        f.add(bad.fileName());
        QCOMPARE(f.ui->boxes.size(), 1);
        QVERIFY(f.ui->boxes[0].prompt.contains("bad.jpg"));
        QCOMPARE(f.gridNames().size(), 3);
        QCOMPARE(f.db.Dpeople().editMode(), 0);
        QVERIFY(!f.c().Img1->isHidden());
        QCOMPARE(f.shownWidth(), 50);  // the current record's picture again
    }

    void deleteMakesTheNextRecordCurrent() {
        DatabaseFixture f;
        f.create(f.path("p.mdb"));
        for (int i = 1; i <= 4; ++i) {
            test::writePicture(f.path(QString("%1.jpg").arg(i)), 10 * i, 10);
            f.add(f.path(QString("%1.jpg").arg(i)));
        }
        // A middle record: the one that followed it.
        f.clickRow(1);
        f.c().Command2->click();
        QCOMPARE(f.gridNames(), (QStringList{f.path("1.jpg"), f.path("3.jpg"), f.path("4.jpg")}));
        QCOMPARE(f.gridRow(), 1);
        QCOMPARE(f.shownWidth(), 30);
        QCOMPARE(f.db.lastDeletedName(), f.path("2.jpg"));
        QCOMPARE(f.c().Img5->bitmapWidth(), 20);
        // The last one: the new last.
        f.clickRow(2);
        f.c().Command2->click();
        QCOMPARE(f.gridRow(), 1);
        QCOMPARE(f.c().Cwho->text(), f.path("3.jpg"));
        // Down to none: an empty grid that still takes new records.
        f.c().Command2->click();
        f.c().Command2->click();
        QVERIFY(f.ui->boxes.isEmpty());
        QVERIFY(f.gridNames().isEmpty());
        QVERIFY(f.c().Img1->isEmpty());
        QVERIFY(f.c().Cwho->text().isEmpty() && f.c().Cwho->isReadOnly());
        QCOMPARE(f.ctx.state().fImage, int16_t(0));
        f.c().Command2->click();  // nothing left to delete
        f.add(f.path("4.jpg"));
        QCOMPARE(f.gridNames(), QStringList{f.path("4.jpg")});
    }

    void restoreAddsTheLastDeletedRecordAgain() {
        DatabaseFixture f;
        f.create(f.path("p.mdb"));
        test::writePicture(f.path("a.jpg"), 30, 20);
        test::writePicture(f.path("b.jpg"), 40, 20);
        f.add(f.path("a.jpg"));
        f.add(f.path("b.jpg"));
        f.trigger(MenuId::mnuDatabaseRestore);  // nothing deleted yet
        QCOMPARE(f.gridNames().size(), 2);
        f.clickRow(1);
        f.c().Command2->click();
        f.trigger(MenuId::mnuDatabaseRestore);
        f.trigger(MenuId::mnuDatabaseRestore);
        QCOMPARE(f.gridNames(), (QStringList{f.path("a.jpg"), f.path("b.jpg"), f.path("b.jpg")}));
        QCOMPARE(f.c().Cwho->text(), f.path("b.jpg"));
        QCOMPARE(f.shownWidth(), 40);
        f.clickRow(0);
        f.clickRow(2);
        QCOMPARE(f.shownWidth(), 40);
        QVERIFY(f.ui->boxes.isEmpty());
    }

    void picturesAreStoredByTheirDepth() {
        DatabaseFixture f;
        const QString file = f.path("p.mdb");
        f.create(file);
        test::writePicture(f.path("mono.bmp"), 64, 48, 1, engine::kFmtBmp);
        test::writePicture(f.path("colour.png"), 64, 48, 24, engine::kFmtPng);
        f.add(f.path("mono.bmp"));
        QCOMPARE(f.c().Img1->dataStorageBits(), 1);
        QCOMPARE(f.c().Img1->dataStorageFormat(), int(engine::kFmtTiffG4));
        QCOMPARE(f.c().Img1->dataStorageQuality(), 0);
        f.add(f.path("colour.png"));
        QCOMPARE(f.c().Img1->dataStorageBits(), 24);
        QCOMPARE(f.c().Img1->dataStorageFormat(), int(engine::kFmtJpeg));
        QCOMPARE(f.c().Img1->dataStorageQuality(), -4);

        const QByteArray mono = storedPicture(file, f.path("mono.bmp"));
        QVERIFY(mono.startsWith("II*") || mono.startsWith("MM"));
        engine::Document d;
        QCOMPARE(engine::decodePicture(mono, d), int16_t(0));
        QCOMPARE(d.frames[0].bitmap.bpp(), 1);
        QVERIFY(test::samePixels(d.frames[0].bitmap, test::madeImage(64, 48, 1)));
        const QByteArray colour = storedPicture(file, f.path("colour.png"));
        QVERIFY(colour.startsWith("\xFF\xD8\xFF"));
        // The 1-bit record comes back as it was stored.
        f.clickRow(0);
        QCOMPARE(f.c().Cwho->text(), f.path("colour.png"));
        f.clickRow(1);
        QCOMPARE(f.c().Img1->bitsPerPixel(), 1);
        QCOMPARE(f.c().StatusBar1->panelText(6), QStringLiteral("1 Bit"));
    }

    // The name box is bound both ways: a name typed there is written when
    // the user leaves it, and the grid sorts it in.
    void aNameTypedInTheBoxIsWritten() {
        DatabaseFixture f;
        const QString file = f.path("p.mdb");
        f.create(file);
        test::writePicture(f.path("a.jpg"), 30, 20);
        test::writePicture(f.path("b.jpg"), 40, 20);
        f.add(f.path("a.jpg"));
        f.add(f.path("b.jpg"));
        f.clickRow(0);
        f.c().Cwho->setText(QStringLiteral("Zoe"));
        f.clickRow(1);  // leaving the record writes the name
        QCOMPARE(f.gridNames(), (QStringList{f.path("b.jpg"), QStringLiteral("Zoe")}));
        QCOMPARE(f.gridRow(), 0);
        QCOMPARE(f.shownWidth(), 40);
        QCOMPARE(storedPicture(file, QStringLiteral("Zoe")).isEmpty(), false);
        QVERIFY(f.ui->boxes.isEmpty());
    }
};

QTEST_MAIN(DatabaseTest)
#include "test_database.moc"
