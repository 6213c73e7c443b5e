#include "database/record_set.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace qova::database {

DataError::DataError(int number, const QString& description)
    : std::runtime_error(description.toStdString()), number_(number), description_(description) {}

namespace {

[[noreturn]] void noCurrentRecord() { throw DataError(kErrNoCurrentRecord, QStringLiteral("カレント レコードがありません。")); }

}  // namespace

RecordSet::RecordSet(const QSqlDatabase& db, Table table) : db_(db), table_(std::move(table)) { requery(); }

void RecordSet::exec(QSqlQuery& q, const QString& sql, const QVariantList& values) const {
    if (!q.prepare(sql)) throw DataError(kErrStatement, q.lastError().text());
    for (const QVariant& v : values) q.addBindValue(v);
    if (!q.exec()) throw DataError(kErrStatement, q.lastError().text());
}

void RecordSet::requery() {
    clearBuffer();
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    // A tie between equal names is broken by the key, so the order (and a
    // position remembered across a requery) is the same every time.
    exec(q,
         QStringLiteral("SELECT %1, %2 FROM %3 ORDER BY %2, %1").arg(table_.key, table_.nameField, table_.name),
         {});
    std::vector<Row> rows;
    while (q.next()) rows.push_back(Row{q.value(0), q.value(1).toString()});
    rows_ = std::move(rows);
    pos_ = rows_.empty() ? -1 : 0;
    deleted_ = false;
}

void RecordSet::moveTo(int position) {
    deleted_ = false;
    if (position < 0) pos_ = -1;
    else if (position >= recordCount()) pos_ = recordCount();
    else pos_ = position;
}

void RecordSet::moveFirst() { moveTo(rows_.empty() ? -1 : 0); }
void RecordSet::moveLast() { moveTo(recordCount() - 1); }
void RecordSet::moveNext() { move(1); }
void RecordSet::movePrevious() { move(-1); }

void RecordSet::move(int rows) {
    if (rows_.empty()) noCurrentRecord();
    // After a delete the place is between the record before and the one
    // that followed (which now sits at pos_).
    if (deleted_ && rows > 0) --rows;
    moveTo(pos_ + rows);
}

void RecordSet::requireCurrent() const {
    if (!hasCurrent()) noCurrentRecord();
}

QString RecordSet::name() const {
    requireCurrent();
    return rows_[size_t(pos_)].name;
}

QVariant RecordSet::key() const {
    requireCurrent();
    return rows_[size_t(pos_)].key;
}

QByteArray RecordSet::picture() const { return pictureOf(key()); }

QByteArray RecordSet::pictureOf(const QVariant& key) const {
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    exec(q, QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ?").arg(table_.pictureField, table_.name, table_.key), {key});
    return q.next() ? q.value(0).toByteArray() : QByteArray();
}

void RecordSet::clearBuffer() {
    editMode_ = EditNone;
    bufName_.clear();
    bufPicture_.clear();
    nameSet_ = pictureSet_ = false;
}

void RecordSet::addNew() {
    clearBuffer();
    editMode_ = EditAdd;
}

void RecordSet::edit() {
    requireCurrent();
    clearBuffer();
    editMode_ = EditInProgress;
}

void RecordSet::setName(const QString& name) {
    if (editMode_ == EditNone) throw DataError(kErrNotEditing, QStringLiteral("AddNew または Edit がありません。"));
    bufName_ = name;
    nameSet_ = true;
}

void RecordSet::setPicture(const QByteArray& picture) {
    if (editMode_ == EditNone) throw DataError(kErrNotEditing, QStringLiteral("AddNew または Edit がありません。"));
    bufPicture_ = picture;
    pictureSet_ = true;
}

void RecordSet::writeInTransaction(const QString& sql, const QVariantList& values) {
    // Without transactions (a driver that has none) each statement is its
    // own; with them, a failure leaves nothing behind.
    const bool tx = db_.transaction();
    try {
        QSqlQuery q(db_);
        exec(q, sql, values);
        if (q.numRowsAffected() == 0) throw DataError(kErrNoCurrentRecord, QStringLiteral("レコードが見つかりません。"));
    } catch (...) {
        if (tx) db_.rollback();
        throw;
    }
    if (tx && !db_.commit()) {
        const QString text = db_.lastError().text();
        db_.rollback();
        throw DataError(kErrStatement, text);
    }
}

void RecordSet::update() {
    if (editMode_ == EditAdd) {
        // A null picture stays null; an empty name is stored as text.
        const QVariant picture = pictureSet_ && !bufPicture_.isEmpty() ? QVariant(bufPicture_) : QVariant(QMetaType(QMetaType::QByteArray));
        writeInTransaction(QStringLiteral("INSERT INTO %1 (%2, %3) VALUES (?, ?)")
                               .arg(table_.name, table_.nameField, table_.pictureField),
                           {nameSet_ ? bufName_ : QString(""), picture});
    } else if (editMode_ == EditInProgress) {
        requireCurrent();
        QStringList sets;
        QVariantList values;
        if (nameSet_) {
            sets << table_.nameField + QStringLiteral(" = ?");
            values << bufName_;
        }
        if (pictureSet_) {
            sets << table_.pictureField + QStringLiteral(" = ?");
            values << (bufPicture_.isEmpty() ? QVariant(QMetaType(QMetaType::QByteArray)) : QVariant(bufPicture_));
        }
        if (!sets.isEmpty()) {
            values << key();
            writeInTransaction(QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?").arg(table_.name, sets.join(QStringLiteral(", ")), table_.key),
                               values);
            if (nameSet_) rows_[size_t(pos_)].name = bufName_;
        }
    } else {
        throw DataError(kErrNotEditing, QStringLiteral("AddNew または Edit がありません。"));
    }
    clearBuffer();
}

void RecordSet::cancelUpdate() {
    if (editMode_ == EditNone) throw DataError(kErrNotEditing, QStringLiteral("AddNew または Edit がありません。"));
    clearBuffer();
}

bool RecordSet::findFirst(const QString& name) {
    QSqlQuery q(db_);
    q.setForwardOnly(true);
    exec(q,
         QStringLiteral("SELECT %1 FROM %2 WHERE %3 = ? ORDER BY %3, %1").arg(table_.key, table_.name, table_.nameField),
         {name});
    // The first match in the set's order that the set still holds (a row
    // written since the last requery is not in it).
    while (q.next())
        if (findKey(q.value(0))) return true;
    return false;
}

bool RecordSet::findKey(const QVariant& key) {
    for (size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].key == key) {
            moveTo(int(i));
            return true;
        }
    }
    return false;
}

void RecordSet::deleteCurrent() {
    const QVariant k = key();
    writeInTransaction(QStringLiteral("DELETE FROM %1 WHERE %2 = ?").arg(table_.name, table_.key), {k});
    rows_.erase(rows_.begin() + pos_);
    // The set keeps its place: the next move goes on from here.
    deleted_ = true;
}

}  // namespace qova::database
