#include "database/database_file.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryFile>

#include <atomic>
#include <cstdio>

namespace qova::database {

namespace {

const QString kDriver = QStringLiteral("QSQLITE");

QString newConnectionName() {
    static std::atomic<int> n{0};
    return QStringLiteral("qova-database-%1").arg(++n);
}

void requireDriver() {
    if (!QSqlDatabase::isDriverAvailable(kDriver))
        throw DataError(kErrNoDriver, QStringLiteral("データベースのドライバ (%1) がインストールされていません。").arg(kDriver));
}

// An SQLite file starts with this; an empty file is an empty database.
bool looksLikeDatabase(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    const QByteArray head = f.read(16);
    return head.isEmpty() || head == QByteArray("SQLite format 3\0", 16);
}

// A connection of its own to `path`, closed and removed when it goes.
class Connection {
public:
    explicit Connection(const QString& path) : name_(newConnectionName()) {
        QSqlDatabase db = QSqlDatabase::addDatabase(kDriver, name_);
        db.setDatabaseName(path);
        if (!db.open()) throw DataError(kErrStatement, db.lastError().text());
    }
    ~Connection() {
        {
            QSqlDatabase db = QSqlDatabase::database(name_, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(name_);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(name_, false); }

private:
    QString name_;
};

// Each database's own journal files: a new file must not meet the journal of
// the one it replaces.
void removeJournals(const QString& path) {
    for (const char* suffix : {"-journal", "-wal", "-shm"}) QFile::remove(path + QLatin1String(suffix));
}

}  // namespace

std::unique_ptr<DatabaseFile> DatabaseFile::open(const QString& path) {
    requireDriver();
    const QFileInfo info(path);
    // Opening a name that is not there would make an empty database.
    if (!info.exists() || !info.isFile())
        throw DataError(kErrDatabaseMissing, QStringLiteral("データベース ファイル '%1' が見つかりません。").arg(path));
    if (!looksLikeDatabase(path))
        throw DataError(kErrNotDatabase, QStringLiteral("'%1' は画像データベース ファイルではありません。").arg(path));

    std::unique_ptr<DatabaseFile> f(new DatabaseFile);
    f->path_ = path;
    f->connectionName_ = newConnectionName();
    f->table_.key = QStringLiteral("rowid");
    f->db_ = QSqlDatabase::addDatabase(kDriver, f->connectionName_);
    f->db_.setDatabaseName(path);
    if (!f->db_.open()) throw DataError(kErrStatement, f->db_.lastError().text());

    // The table with both fields, asked in plain SQL.
    const Table& t = f->table_;
    QSqlError err;
    bool ok = false;
    {
        QSqlQuery probe(f->db_);
        ok = probe.exec(QStringLiteral("SELECT %1, %2 FROM %3 WHERE 1 = 0").arg(t.nameField, t.pictureField, t.name));
        err = probe.lastError();
    }
    if (!ok) {
        // SQLite's "file is not a database" (a damaged header).
        if (err.nativeErrorCode() == QLatin1String("26"))
            throw DataError(kErrNotDatabase, QStringLiteral("'%1' は画像データベース ファイルではありません。").arg(path));
        throw DataError(kErrNoTable,
                        QStringLiteral("'%1' には画像のテーブル %2 (%3, %4) がありません。").arg(path, t.name, t.nameField, t.pictureField));
    }
    return f;
}

DatabaseFile::~DatabaseFile() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connectionName_);
}

void DatabaseFile::create(const QString& path) {
    requireDriver();
    const QFileInfo target(path);
    if (target.isDir()) throw DataError(kErrStatement, QStringLiteral("'%1' はフォルダです。").arg(path));
    // The new database is made beside the target and put in its place whole.
    QString tmpName;
    {
        QTemporaryFile tmp(target.absolutePath() + QStringLiteral("/.qova-new-XXXXXX.mdb"));
        tmp.setAutoRemove(false);
        if (!tmp.open())
            throw DataError(kErrStatement, QStringLiteral("データベース '%1' を作成できません。%2").arg(path, tmp.errorString()));
        tmpName = tmp.fileName();
    }
    try {
        {
            Connection c(tmpName);
            QSqlQuery q(c.db());
            const Table t;
            if (!q.exec(QStringLiteral("CREATE TABLE %1 (%2 TEXT, %3 BLOB)").arg(t.name, t.nameField, t.pictureField)))
                throw DataError(kErrStatement, q.lastError().text());
        }
        removeJournals(tmpName);
        // A new file gets the usual permissions, a replacing one the old file's.
        QFile::setPermissions(tmpName, target.exists() ? QFile::permissions(path)
                                                       : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser |
                                                             QFile::WriteUser | QFile::ReadGroup | QFile::ReadOther);
        removeJournals(path);
        if (std::rename(QFile::encodeName(tmpName).constData(), QFile::encodeName(path).constData()) != 0)
            throw DataError(kErrStatement, QStringLiteral("データベース '%1' を作成できません。").arg(path));
    } catch (...) {
        QFile::remove(tmpName);
        removeJournals(tmpName);
        throw;
    }
}

}  // namespace qova::database
