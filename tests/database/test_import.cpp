// The directory import: counts, skipped files, Abort between files, what
// the dialog remembers, an empty directory; and the program killed in the
// middle of an import (a child process) leaving a sound file with every
// record written before.
#include <QComboBox>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>

#include <csignal>

#include "database/dir_select.h"
#include "database_fixture.h"
#include "engine/picture_data.h"
#include "shell/file_lists.h"

using namespace qova;
using shell::MenuId;
using test::DatabaseFixture;

namespace {

// Runs the dialog through `drive` instead of its modal loop.
void withDialog(DatabaseFixture& f, const std::function<void(database::DirSelect&)>& drive) {
    database::Database::setDirSelectHook(drive);
    f.trigger(MenuId::mnuDatabaseDir);
    database::Database::setDirSelectHook(nullptr);
}

QString makePictures(const QString& dir, int count, int w = 40, int h = 30) {
    QDir().mkpath(dir);
    for (int i = 0; i < count; ++i) test::writePicture(QDir(dir).filePath(QString("p%1.jpg").arg(i, 3, 10, QChar('0'))), w + i, h);
    return dir;
}

// The child of killedMidImport: imports `dir` into `file` until killed.
int importChild(const QString& file, const QString& dir) {
    DatabaseFixture f;
    f.open(file);
    f.db.Dpeople().setReadAhead(false);
    withDialog(f, [&](database::DirSelect& d) {
        d.Dir1->setPath(dir);
        d.Command1->click();
    });
    return 0;
}

}  // namespace

class ImportTest : public QObject {
    Q_OBJECT

private slots:
    void importCountsSkipsAndRemembers() {
        DatabaseFixture f;
        f.create(f.path("p.mdb"));
        const QString dir = makePictures(f.path("pics"), 3);
        QFile bad(QDir(dir).filePath("p100.jpg"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a picture");
        bad.close();
        QStringList progress;
        withDialog(f, [&](database::DirSelect& d) {
            d.Dir1->setPath(dir);
            QCOMPARE(d.Text1->text(), QStringLiteral("4"));
            QVERIFY(d.Command2->isHidden());
            QObject::connect(d.Text2, &QLineEdit::textChanged, [&](const QString& t) { progress << t; });
            d.Command1->click();
            QVERIFY(!d.Command1->isHidden() && !d.Command1->isEnabled());
            QVERIFY(d.Command2->isHidden());
            // Choosing another directory enables OK again.
            d.Dir1->setPath(f.dir.path());
            QVERIFY(d.Command1->isEnabled());
            d.Dir1->setPath(dir);
            d.Combo1->setEditText("JPG");
            d.Combo1_Click();
        });
        QCOMPARE(progress, (QStringList{"0", "1", "2", "3"}));
        QCOMPARE(f.gridNames().size(), 3);
        QCOMPARE(f.gridNames()[0], QDir(dir).filePath("p000.jpg"));
        // The last file written is current and shown.
        QCOMPARE(f.c().Cwho->text(), QDir(dir).filePath("p002.jpg"));
        QCOMPARE(f.shownWidth(), 42);
        QCOMPARE(f.ui->boxes.size(), 1);
        QVERIFY(f.ui->boxes[0].prompt.startsWith("1 "));
        QVERIFY(f.ui->boxes[0].prompt.contains("p100.jpg"));
        withDialog(f, [&](database::DirSelect& d) {
            QCOMPARE(d.Dir1->path(), dir);
            QCOMPARE(d.Combo1->currentText(), QStringLiteral("JPG"));
            QCOMPARE(d.Text1->text(), QStringLiteral("4"));  // ".jpg" names, the bad one too
            QVERIFY(d.Command1->isEnabled());
        });
    }

    void abortKeepsTheRecordsWritten() {
        DatabaseFixture f;
        f.create(f.path("p.mdb"));
        const QString dir = makePictures(f.path("pics"), 5);
        withDialog(f, [&](database::DirSelect& d) {
            d.Dir1->setPath(dir);
            // The user presses Abort while the second file is being read.
            QObject::connect(d.Text2, &QLineEdit::textChanged, [&](const QString& t) {
                if (t == "1") {
                    QVERIFY(!d.Command2->isHidden() && !d.Dir1->isEnabled());
                    d.Command2->click();
                }
            });
            d.Command1->click();
        });
        QCOMPARE(f.gridNames().size(), 2);
        QVERIFY(f.ui->boxes.isEmpty());
    }

    void anEmptyDirectoryImportsNothing() {
        DatabaseFixture f;
        f.create(f.path("p.mdb"));
        QDir().mkpath(f.path("empty"));
        withDialog(f, [&](database::DirSelect& d) {
            d.Dir1->setPath(f.path("empty"));
            QCOMPARE(d.Text1->text(), QStringLiteral("0"));
            d.Command1->click();
        });
        QVERIFY(f.gridNames().isEmpty());
        QVERIFY(f.ui->boxes.isEmpty());
        QVERIFY(f.db.Dpeople().isOpen());
    }

    void killedMidImport() {
        DatabaseFixture f;
        const QString file = f.path("p.mdb");
        f.create(file);
        f.trigger(MenuId::mnuDatabaseClose);
        const int total = 60;
        const QString dir = makePictures(f.path("pics"), total, 640, 480);
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(), {"--import-child", file, dir});
        QVERIFY(child.waitForStarted());
        int seen = 0;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "watch");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QElapsedTimer t;
            t.start();
            while (seen < 3 && t.elapsed() < 60000 && child.state() == QProcess::Running) {
                QSqlQuery q(db);
                if (q.exec("SELECT COUNT(*) FROM people") && q.next()) seen = q.value(0).toInt();
                QTest::qWait(5);
            }
        }
        QSqlDatabase::removeDatabase("watch");
        QVERIFY2(child.state() == QProcess::Running, "the import ended before it could be killed");
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished());

        // Every record written is there and whole, and the file is sound.
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
            db.setDatabaseName(file);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("PRAGMA integrity_check") && q.next());
            QCOMPARE(q.value(0).toString(), QStringLiteral("ok"));
            QVERIFY(q.exec("SELECT who, photo FROM people"));
            int n = 0;
            while (q.next()) {
                ++n;
                QVERIFY(QFile::exists(q.value(0).toString()));
                engine::Document d;
                QCOMPARE(engine::decodePicture(q.value(1).toByteArray(), d), int16_t(0));
            }
            QVERIFY(n >= seen && n < total);
        }
        QSqlDatabase::removeDatabase("check");
        f.open(file);
        QVERIFY(f.databaseMode());
        QVERIFY(f.gridNames().size() >= seen);
        QVERIFY(f.ui->boxes.isEmpty());
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc == 4 && QByteArray(argv[1]) == "--import-child") return importChild(argv[2], argv[3]);
    ImportTest t;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&t, argc, argv);
}

#include "test_import.moc"
