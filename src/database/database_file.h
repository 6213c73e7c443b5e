// Picture database files: creating one with its table, opening one and
// checking that it is a picture database. This is the one place that knows
// the kind of database (an SQLite file); the record layer above it only
// sees a Qt Sql connection and a Table.
#pragma once

#include <QSqlDatabase>
#include <QString>

#include <memory>

#include "database/record_set.h"

namespace qova::database {

class DatabaseFile {
public:
    // Opens the picture database at `path`. Throws DataError: no file
    // there (kErrDatabaseMissing), not a database (kErrNotDatabase), no
    // picture table with its two fields (kErrNoTable), no driver.
    static std::unique_ptr<DatabaseFile> open(const QString& path);

    // Makes a new, empty picture database at `path`, replacing a file that
    // is there only once the new one is complete (a failure leaves the old
    // file as it was). Throws DataError.
    static void create(const QString& path);

    ~DatabaseFile();
    DatabaseFile(const DatabaseFile&) = delete;
    DatabaseFile& operator=(const DatabaseFile&) = delete;

    const QSqlDatabase& connection() const { return db_; }
    const Table& table() const { return table_; }
    const QString& path() const { return path_; }

private:
    DatabaseFile() = default;
    QSqlDatabase db_;
    QString connectionName_;
    QString path_;
    Table table_;
};

}  // namespace qova::database
