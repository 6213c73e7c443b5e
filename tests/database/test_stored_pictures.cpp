// What a record holds is not always a picture this program wrote: another
// program may have put a PostScript file, damaged bytes or a tiny file
// declaring a huge picture into the table. Showing such a record starts no
// outside program, allocates nothing the bytes cannot fill, says why the
// picture is missing and leaves every command usable. Also: walking the
// grid with the pictures decoded ahead shows each record's own picture.
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>

#include "database/data_control.h"
#include "database_fixture.h"
#include "engine/core/codes.h"
#include "engine/core/formats/formats.h"
#include "shell/status_bar.h"
#include "support/hostile_files.h"

using namespace qova;
using shell::MenuId;
using test::DatabaseFixture;

namespace {

const QByteArray kPostScript =
    "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 100\n0 setgray 0 0 100 100 rectfill showpage\n";

// A stand-in for Ghostscript first on PATH: it leaves a mark when started.
class FakeGhostscript {
public:
    FakeGhostscript() : oldPath_(qgetenv("PATH")) {
        const QString gs = dir_.filePath("gs");
        QFile f(gs);
        if (!f.open(QIODevice::WriteOnly)) return;
        f.write("#!/bin/sh\n/usr/bin/touch '" + QFile::encodeName(marker()) + "'\nexit 1\n");
        f.close();
        f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(dir_.path()) + ":" + oldPath_);
    }
    ~FakeGhostscript() { qputenv("PATH", oldPath_); }
    QString marker() const { return dir_.filePath("started"); }
    bool started() const { return QFile::exists(marker()); }

private:
    QTemporaryDir dir_;
    QByteArray oldPath_;
};

// Rows put straight into the table, as another program would.
void insertRows(const QString& file, const QList<std::pair<QString, QByteArray>>& rows) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other-program");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.prepare("INSERT INTO people (who, photo) VALUES (?, ?)"));
        for (const auto& [who, photo] : rows) {
            q.addBindValue(who);
            q.addBindValue(photo.isNull() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(photo));
            QVERIFY(q.exec());
        }
    }
    QSqlDatabase::removeDatabase("other-program");
}

QByteArray hugeDeclaredPng() {
    const std::vector<uint8_t> png = test::pngFile(60000, 60000, 8, 2, test::deflate({0, 0, 0, 0}));
    return QByteArray(reinterpret_cast<const char*>(png.data()), qsizetype(png.size()));
}

}  // namespace

class StoredPicturesTest : public QObject {
    Q_OBJECT

private slots:
    void recordsThatHoldNoShowablePicture() {
        FakeGhostscript gs;
        DatabaseFixture f;
        const QString file = f.path("p.mdb");
        f.create(file);
        test::writePicture(f.path("a.jpg"), 30, 20);
        test::writePicture(f.path("z.jpg"), 50, 20);
        f.add(f.path("a.jpg"));
        f.add(f.path("z.jpg"));
        f.trigger(MenuId::mnuDatabaseClose);
        insertRows(file, {{"b broken", QByteArray("\xFF\xD8\xFF\xE0 this is no picture")},
                          {"c huge", hugeDeclaredPng()},
                          {"d none", QByteArray()},
                          {"e postscript", kPostScript}});
        f.open(file);
        QCOMPARE(f.gridNames().size(), 6);
        QCOMPARE(f.shownWidth(), 30);

        // Each bad one in turn (after the two paths), its neighbours decoded
        // ahead between moves.
        for (int row = 2; row <= 5; ++row) {
            f.clickRow(row);
            QCoreApplication::processEvents();
            QVERIFY(f.c().Img1->isEmpty());
            QCOMPARE(f.ctx.state().fImage, int16_t(0));
            const QString why = f.c().StatusBar1->panelText(3);
            if (row == 4) {
                QVERIFY2(why.isEmpty(), qPrintable(why));  // no picture is not an error
            } else {
                QVERIFY2(why.contains(QStringLiteral("表示できません")) && why.contains("'200"), qPrintable(why));
                QVERIFY(f.db.Dpeople().pictureCode() != engine::kOk);
            }
        }
        QVERIFY(f.ui->boxes.isEmpty());  // moving never stops the user with a box
        QVERIFY(!gs.started());
        // The same bytes in a file the user opens do start it: the stand-in
        // was there to be found.
        QFile ps(f.path("page.eps"));
        QVERIFY(ps.open(QIODevice::WriteOnly));
        ps.write(kPostScript);
        ps.close();
        engine::Document d;
        engine::LoadRequest r;
        r.path = ps.fileName().toStdString();
        engine::loadFile(r, d);
        QVERIFY(gs.started());
        f.clickRow(1);
        QCOMPARE(f.shownWidth(), 50);
        QVERIFY(f.c().StatusBar1->panelText(3).endsWith(" Byte"));
        QCOMPARE(f.ctx.state().fImage, int16_t(1));

        // Deleting a record that shows nothing, and restoring it: a record
        // with no picture, not the picture shown before.
        f.clickRow(2);
        f.c().Command2->click();
        QCOMPARE(f.gridNames().size(), 5);
        f.trigger(MenuId::mnuDatabaseRestore);
        QCOMPARE(f.gridNames().size(), 6);
        QCOMPARE(f.c().Cwho->text(), QStringLiteral("b broken"));
        QVERIFY(f.c().Img1->isEmpty());
        QVERIFY(f.ui->boxes.isEmpty());
    }

    // Pictures decoded ahead belong to their records: after deletes,
    // restores and added records (whose row ids may be ones used before)
    // every row still shows its own picture.
    void readAheadShowsEachRecordsOwnPicture() {
        DatabaseFixture f;
        f.create(f.path("p.mdb"));
        auto addWidth = [&](const QString& name, int w) {
            test::writePicture(f.path(name), w, 10);
            f.add(f.path(name));
            QCoreApplication::processEvents();
        };
        addWidth("1.jpg", 11);
        addWidth("2.jpg", 12);
        addWidth("3.jpg", 13);
        auto walk = [&] {
            QAbstractItemModel* m = f.c().DBGrid1->model();
            for (int r = 0; r < m->rowCount(); ++r) {
                f.clickRow(r);
                QCoreApplication::processEvents();  // the neighbours are decoded
                const QString name = QFileInfo(m->index(r, 0).data().toString()).baseName();
                QCOMPARE(f.shownWidth(), 10 + name.toInt());
            }
        };
        walk();
        // The last record (the highest row id) goes; a new one may get its id.
        f.clickRow(2);
        f.c().Command2->click();
        QCoreApplication::processEvents();
        addWidth("4.jpg", 14);
        walk();
        f.clickRow(1);
        f.c().Command2->click();
        f.trigger(MenuId::mnuDatabaseRestore);
        QCoreApplication::processEvents();
        walk();
        QCOMPARE(f.gridNames().size(), 3);
        QVERIFY(f.ui->boxes.isEmpty());
    }
};

QTEST_MAIN(StoredPicturesTest)
#include "test_stored_pictures.moc"
