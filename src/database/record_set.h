// The records of the picture table, as the data control offers them: an
// ordered set with a current record, moves, add / edit / update / cancel,
// find, delete and requery. Only Qt Sql's portable calls are used (values
// are always bound, never written into the SQL text), so the same layer
// serves any database Qt Sql reaches; what differs between databases (the
// column that tells rows apart) comes in with the Table.
#pragma once

#include <QByteArray>
#include <QSqlDatabase>
#include <QString>
#include <QVariant>

#include <stdexcept>
#include <vector>

namespace qova::database {

// A failure of the database or a record operation used out of turn: a
// number, a source and a description, like any run-time error.
class DataError : public std::runtime_error {
public:
    DataError(int number, const QString& description);
    int number() const { return number_; }
    QString source() const { return QStringLiteral("QOVA Database"); }
    const QString& description() const { return description_; }

private:
    int number_;
    QString description_;
};

// Error numbers of the record layer and the database files.
enum DataErrorNumber {
    kErrNotEditing = 3020,       // update or cancel without add or edit
    kErrNoCurrentRecord = 3021,  // no current record (empty set, before the first, after the last, deleted)
    kErrDatabaseMissing = 3024,  // no file at that path
    kErrNoTable = 3078,          // the database has no picture table
    kErrStatement = 3146,        // the database refused a statement
    kErrNotDatabase = 3343,      // the file is not a database
    kErrNoDriver = 3170,         // the database driver is not installed
};

// Where the records live.
struct Table {
    QString name = QStringLiteral("people");
    QString nameField = QStringLiteral("who");
    QString pictureField = QStringLiteral("photo");
    // An expression naming each row uniquely (rows may be equal in every
    // field); the database file layer knows it for its kind of database.
    QString key;
};

class RecordSet {
public:
    // 0 none, 1 editing the current record, 2 adding a new one.
    enum EditMode { EditNone = 0, EditInProgress = 1, EditAdd = 2 };

    // Reads the records at once (requery).
    RecordSet(const QSqlDatabase& db, Table table);

    // Reads the records again in the order of the name field; the first one
    // becomes current. A pending add or edit is dropped.
    void requery();

    int recordCount() const { return int(rows_.size()); }
    // Before the first record / after the last; both with no records.
    bool bof() const { return pos_ < 0 || rows_.empty(); }
    bool eof() const { return rows_.empty() || pos_ >= recordCount(); }
    bool hasCurrent() const { return !deleted_ && pos_ >= 0 && pos_ < recordCount(); }
    // 0-based position of the current record, −1 when there is none.
    int absolutePosition() const { return hasCurrent() ? pos_ : -1; }

    void moveFirst();
    void moveLast();
    void moveNext();
    void movePrevious();
    // `rows` records on from the current one (back when negative); past
    // either end the set stands at BOF or EOF. Throws kErrNoCurrentRecord
    // with no records.
    void move(int rows);
    // To the record at `position` (0-based); outside the set, BOF or EOF.
    void moveTo(int position);

    // The current record's name, row key and picture (read when asked).
    // Throw kErrNoCurrentRecord without a current record.
    QString name() const;
    QVariant key() const;
    QByteArray picture() const;
    // The picture of the record with `key` (empty when it has none).
    QByteArray pictureOf(const QVariant& key) const;
    // Names in order, for the grid.
    QString nameAt(int position) const { return rows_[size_t(position)].name; }
    QVariant keyAt(int position) const { return rows_[size_t(position)].key; }

    int editMode() const { return editMode_; }
    // A new record, written by update(); its fields start empty.
    void addNew();
    // Changes to the current record, written by update().
    void edit();
    // Field values of the record being added or edited; a field never set
    // keeps its stored value when editing.
    void setName(const QString& name);
    void setPicture(const QByteArray& picture);
    // Writes the record being added or edited, in one transaction: either
    // the whole record is stored or nothing is. The current record stays
    // where it was (an added record is found by requery and find).
    void update();
    // Drops the record being added or edited.
    void cancelUpdate();

    // Moves to the first record, in order, whose name equals `name` (the
    // value is bound, so any text finds itself). False, and no move, when
    // none matches.
    bool findFirst(const QString& name);
    // Moves to the record with this key; false when it is gone.
    bool findKey(const QVariant& key);

    // Deletes the current record (one transaction). Afterwards there is no
    // current record until a move or requery.
    void deleteCurrent();

private:
    struct Row {
        QVariant key;
        QString name;
    };
    void requireCurrent() const;
    // Runs `sql` with `values` bound; throws DataError with the database's text.
    void exec(QSqlQuery& q, const QString& sql, const QVariantList& values) const;
    void writeInTransaction(const QString& sql, const QVariantList& values);
    void clearBuffer();

    QSqlDatabase db_;
    Table table_;
    std::vector<Row> rows_;
    int pos_ = -1;
    bool deleted_ = false;
    int editMode_ = EditNone;
    QString bufName_;
    QByteArray bufPicture_;
    bool nameSet_ = false;
    bool pictureSet_ = false;
};

}  // namespace qova::database
