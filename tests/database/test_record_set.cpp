// The record layer against a real SQLite file: order, find with any text,
// delete and the record that becomes current, equal records kept apart, a
// failed write leaving nothing behind, and files that are no picture
// database.
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

#include "database/database_file.h"
#include "database/record_set.h"

using namespace qova::database;

namespace {

// Names in the set's order.
QStringList names(const RecordSet& rs) {
    QStringList out;
    for (int i = 0; i < rs.recordCount(); ++i) out << rs.nameAt(i);
    return out;
}

void add(RecordSet& rs, const QString& name, const QByteArray& picture = "pic") {
    rs.addNew();
    rs.setName(name);
    rs.setPicture(picture);
    rs.update();
}

}  // namespace

class RecordSetTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString path_;

private slots:
    void init() {
        path_ = dir_.filePath(QStringLiteral("%1.mdb").arg(QTest::currentTestFunction()));
        DatabaseFile::create(path_);
    }

    void recordsComeInAscendingNameOrder() {
        auto f = DatabaseFile::open(path_);
        RecordSet rs(f->connection(), f->table());
        QCOMPARE(rs.recordCount(), 0);
        QVERIFY(rs.bof() && rs.eof());
        QVERIFY_THROWS_EXCEPTION(DataError, rs.move(-1));
        for (const char* n : {"/p/c.jpg", "/p/a.jpg", "/p/b.jpg"}) add(rs, n);
        // The set is read again only by requery; the current record stays.
        QCOMPARE(rs.recordCount(), 0);
        rs.requery();
        QCOMPARE(names(rs), (QStringList{"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}));
        QCOMPARE(rs.absolutePosition(), 0);
        rs.move(5);
        QVERIFY(rs.eof());
        QVERIFY_THROWS_EXCEPTION(DataError, rs.name());
        rs.movePrevious();
        QCOMPARE(rs.name(), QStringLiteral("/p/c.jpg"));
        QCOMPARE(rs.picture(), QByteArray("pic"));
    }

    void findBindsTheNameWhateverItHolds() {
        auto f = DatabaseFile::open(path_);
        RecordSet rs(f->connection(), f->table());
        const QString tricky = QStringLiteral("/p/o'brien \"x\"; DROP TABLE people; --.jpg");
        add(rs, "/p/a.jpg");
        add(rs, tricky, "quoted");
        rs.requery();
        QVERIFY(rs.findFirst(tricky));
        QCOMPARE(rs.picture(), QByteArray("quoted"));
        QVERIFY(!rs.findFirst(QStringLiteral("' OR '1'='1")));
        QCOMPARE(rs.name(), tricky);  // no match: no move
        rs.requery();
        QCOMPARE(rs.recordCount(), 2);
    }

    void deleteLeavesNoCurrentRecordUntilAMove() {
        auto f = DatabaseFile::open(path_);
        RecordSet rs(f->connection(), f->table());
        for (const char* n : {"a", "b", "c", "d"}) add(rs, n, n);
        rs.requery();
        rs.moveTo(1);
        rs.deleteCurrent();
        QVERIFY(!rs.hasCurrent());
        rs.moveNext();
        QCOMPARE(rs.name(), QStringLiteral("c"));
        rs.deleteCurrent();
        rs.movePrevious();
        QCOMPARE(rs.name(), QStringLiteral("a"));
        rs.requery();
        QCOMPARE(names(rs), (QStringList{"a", "d"}));
    }

    // Restore twice makes equal records; each is still its own row.
    void equalRecordsStayApart() {
        auto f = DatabaseFile::open(path_);
        RecordSet rs(f->connection(), f->table());
        add(rs, "same", "p");
        add(rs, "same", "p");
        rs.requery();
        QCOMPARE(rs.recordCount(), 2);
        QVERIFY(rs.keyAt(0) != rs.keyAt(1));
        rs.deleteCurrent();
        rs.requery();
        QCOMPARE(names(rs), QStringList{"same"});
    }

    void editChangesOnlyWhatWasSet() {
        auto f = DatabaseFile::open(path_);
        RecordSet rs(f->connection(), f->table());
        add(rs, "old", "kept");
        rs.requery();
        rs.edit();
        rs.setName("new");
        rs.update();
        QCOMPARE(rs.name(), QStringLiteral("new"));
        QCOMPARE(rs.picture(), QByteArray("kept"));
        QVERIFY_THROWS_EXCEPTION(DataError, rs.update());
        rs.addNew();
        rs.setName("dropped");
        rs.cancelUpdate();
        rs.requery();
        QCOMPARE(names(rs), QStringList{"new"});
    }

    void aFailedWriteLeavesNothing() {
        auto f = DatabaseFile::open(path_);
        RecordSet rs(f->connection(), f->table());
        add(rs, "a");
        // A table the write cannot reach: the statement fails inside its
        // transaction, and the database is as it was.
        QSqlQuery(f->connection()).exec("ALTER TABLE people RENAME TO gone");
        rs.addNew();
        rs.setName("b");
        QVERIFY_THROWS_EXCEPTION(DataError, rs.update());
        QCOMPARE(rs.editMode(), int(RecordSet::EditAdd));  // still there to cancel
        rs.cancelUpdate();
        QSqlQuery(f->connection()).exec("ALTER TABLE gone RENAME TO people");
        rs.requery();
        QCOMPARE(names(rs), QStringList{"a"});
    }

    void filesThatAreNoPictureDatabase() {
        QVERIFY_THROWS_EXCEPTION(DataError, DatabaseFile::open(dir_.filePath("missing.mdb")));
        QVERIFY(!QFile::exists(dir_.filePath("missing.mdb")));  // not made by trying
        QFile text(dir_.filePath("text.mdb"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("just some words, no database here at all");
        text.close();
        try {
            DatabaseFile::open(text.fileName());
            QFAIL("opened a text file");
        } catch (const DataError& e) {
            QCOMPARE(e.number(), int(kErrNotDatabase));
        }
        {
            auto f = DatabaseFile::open(path_);
            QSqlQuery(f->connection()).exec("DROP TABLE people");
            QSqlQuery(f->connection()).exec("CREATE TABLE people (name TEXT)");
        }
        try {
            DatabaseFile::open(path_);
            QFAIL("opened a database without the picture fields");
        } catch (const DataError& e) {
            QCOMPARE(e.number(), int(kErrNoTable));
        }
    }

    // A new database replaces a file only when complete, and never meets an
    // old journal left beside it.
    void createReplacesWhole() {
        QFile::copy(path_, path_ + "-journal");
        {
            auto f = DatabaseFile::open(path_);
            RecordSet rs(f->connection(), f->table());
            add(rs, "old");
        }
        DatabaseFile::create(path_);
        QVERIFY(!QFile::exists(path_ + "-journal"));
        auto f = DatabaseFile::open(path_);
        RecordSet rs(f->connection(), f->table());
        QCOMPARE(rs.recordCount(), 0);
        QVERIFY_THROWS_EXCEPTION(DataError, DatabaseFile::create(dir_.path()));
        QCOMPARE(QDir(dir_.path()).entryList(QStringList{".qova-new-*"}, QDir::Hidden | QDir::Files).size(), 0);
    }
};

QTEST_GUILESS_MAIN(RecordSetTest)
#include "test_record_set.moc"
