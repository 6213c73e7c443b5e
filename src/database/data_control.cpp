#include "database/data_control.h"

#include <QAbstractTableModel>
#include <QFuture>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QTableView>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

#include <map>

#include "database/database_file.h"
#include "database/record_set.h"
#include "engine/core/codes.h"
#include "engine/core/document.h"
#include "engine/image_control.h"
#include "engine/picture_data.h"
#include "shell/trap.h"

namespace qova::database {

// --- the grid's rows ---

class RecordsModel : public QAbstractTableModel {
public:
    explicit RecordsModel(QObject* parent) : QAbstractTableModel(parent) {}
    void setRecords(const RecordSet* rs) {
        beginResetModel();
        rs_ = rs;
        endResetModel();
    }
    void reset() { setRecords(rs_); }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() || !rs_ ? 0 : rs_->recordCount(); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 1; }
    QVariant data(const QModelIndex& index, int role) const override {
        if (!rs_ || !index.isValid() || index.row() >= rs_->recordCount()) return {};
        if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return rs_->nameAt(index.row());
        return {};
    }
    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole) return {};
        if (o == Qt::Horizontal) return QStringLiteral("who");
        return section + 1;
    }

private:
    const RecordSet* rs_ = nullptr;
};

// --- decoded pictures around the current record ---

class PictureCache {
public:
    struct Decoded {
        int16_t code = engine::kOk;
        std::shared_ptr<engine::Document> doc;
    };
    ~PictureCache() { clear(); }

    // The picture of record `key`: decoded ahead, being decoded (waited
    // for), or decoded now from `bytes()`.
    template <class Fetch> Decoded get(const QString& key, Fetch bytes) {
        auto it = entries_.find(key);
        if (it != entries_.end()) {
            it->second.waitForFinished();
            return it->second.result();
        }
        Decoded d = decode(bytes());
        entries_.emplace(key, QtFuture::makeReadyFuture(d));
        return d;
    }
    // Starts decoding record `key` on a worker thread.
    template <class Fetch> void prefetch(const QString& key, Fetch bytes) {
        if (entries_.count(key)) return;
        QByteArray b = bytes();
        entries_.emplace(key, QtConcurrent::run([b] { return decode(b); }));
    }
    // Forgets every picture but those of `keep`.
    void keepOnly(const QStringList& keep) {
        for (auto it = entries_.begin(); it != entries_.end();) {
            if (keep.contains(it->first)) ++it;
            else it = entries_.erase(it);  // a decode still running just finishes unseen
        }
    }
    void forget(const QString& key) { entries_.erase(key); }
    void clear() {
        for (auto& [k, f] : entries_) f.waitForFinished();
        entries_.clear();
    }

private:
    static Decoded decode(const QByteArray& bytes) {
        Decoded d;
        d.doc = std::make_shared<engine::Document>();
        if (!bytes.isEmpty()) d.code = engine::decodePicture(bytes, *d.doc);
        if (d.code != engine::kOk) d.doc = std::make_shared<engine::Document>();
        return d;
    }
    std::map<QString, QFuture<Decoded>> entries_;
};

// --- the data control ---

DataControl::DataControl(QObject* parent)
    : QObject(parent),
      cache_(std::make_unique<PictureCache>()),
      model_(new RecordsModel(this)),
      prefetchTimer_(new QTimer(this)) {
    prefetchTimer_->setSingleShot(true);
    prefetchTimer_->setInterval(0);
    shell::connectTrapped(prefetchTimer_, &QTimer::timeout, this, [this] { prefetchNeighbours(); });
}

DataControl::~DataControl() {
    cache_->clear();
    model_->setRecords(nullptr);
    rs_.reset();
    file_.reset();
}

bool DataControl::isOpen() const { return rs_ != nullptr; }

void DataControl::requireOpen() const {
    if (!rs_) throw DataError(kErrNoCurrentRecord, QStringLiteral("データベースが開かれていません。"));
}

void DataControl::close() {
    prefetchTimer_->stop();
    cache_->clear();
    model_->setRecords(nullptr);
    rs_.reset();
    file_.reset();
}

void DataControl::refresh() {
    if (rs_) {
        commitNameEdit();
        emit validate(ActionClose);
    }
    close();
    if (!databaseName_.isEmpty()) {
        try {
            std::unique_ptr<DatabaseFile> f = DatabaseFile::open(databaseName_);
            auto rs = std::make_unique<RecordSet>(f->connection(), f->table());
            file_ = std::move(f);
            rs_ = std::move(rs);
        } catch (...) {
            close();
            reposition();
            throw;
        }
        model_->setRecords(rs_.get());
    }
    reposition();
}

void DataControl::bindName(QLineEdit* box) {
    name_ = box;
    shell::connectTrapped(box, &QLineEdit::editingFinished, this, [this] { commitNameEdit(); });
}

void DataControl::bindPicture(engine::ImageControl* img) { img_ = img; }

void DataControl::bindGrid(QTableView* grid) {
    grid_ = grid;
    grid->setModel(model_);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Paths are long: keep their ends, where the file names are.
    grid->setTextElideMode(Qt::ElideLeft);
    grid->setWordWrap(false);
    grid->horizontalHeader()->setStretchLastSection(true);
    grid->verticalHeader()->setDefaultSectionSize(grid->fontMetrics().height() + 6);
    shell::connectTrapped(grid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
                          [this](const QModelIndex& now) {
                              if (!syncingGrid_ && now.isValid()) gridRowChosen(now.row());
                          });
}

void DataControl::setReadAhead(bool on) {
    readAhead_ = on;
    if (!on) {
        prefetchTimer_->stop();
        cache_->clear();
    }
}

int DataControl::recordCount() const { return rs_ ? rs_->recordCount() : 0; }
int DataControl::absolutePosition() const { return rs_ ? rs_->absolutePosition() : -1; }
bool DataControl::eof() const { return !rs_ || rs_->eof(); }
bool DataControl::bof() const { return !rs_ || rs_->bof(); }
int DataControl::editMode() const { return rs_ ? rs_->editMode() : RecordSet::EditNone; }

QString DataControl::name() const {
    requireOpen();
    return rs_->name();
}

void DataControl::addNew() {
    requireOpen();
    emit validate(ActionAddNew);
    rs_->addNew();
    // The bound controls now stand for the new record: no name yet; the
    // picture is whatever the image control is given before the write.
    if (name_) {
        name_->setText(QString());
        shownName_.clear();
    }
}

void DataControl::update() {
    requireOpen();
    emit validate(ActionUpdate);
    if (rs_->editMode() == RecordSet::EditAdd) {
        if (name_) rs_->setName(name_->text());
        if (img_ && !img_->dataField().isEmpty()) rs_->setPicture(img_->dataPicture());
    } else if (rs_->editMode() == RecordSet::EditInProgress) {
        if (name_) rs_->setName(name_->text());
    }
    rs_->update();
    if (name_) shownName_ = name_->text();
}

void DataControl::cancelUpdate() {
    requireOpen();
    const bool adding = rs_->editMode() == RecordSet::EditAdd;
    rs_->cancelUpdate();
    // The bound controls go back to the current record.
    if (adding) reposition();
}

void DataControl::requery() {
    requireOpen();
    rs_->requery();
    model_->reset();
    reposition();
}

bool DataControl::findFirst(const QString& name) {
    requireOpen();
    emit validate(ActionFind);
    const bool found = rs_->findFirst(name);
    if (found) reposition();
    return found;
}

void DataControl::deleteCurrent() {
    requireOpen();
    emit validate(ActionDelete);
    const QString key = rs_->key().toString();
    rs_->deleteCurrent();
    cache_->forget(key);
    syncingGrid_ = true;
    model_->reset();
    syncingGrid_ = false;
    reposition();
}

void DataControl::move(int rows) {
    requireOpen();
    emit validate(rows < 0 ? ActionMovePrevious : ActionMoveNext);
    rs_->move(rows);
    reposition();
}

void DataControl::movePrevious() { move(-1); }

void DataControl::moveTo(int position) {
    requireOpen();
    emit validate(ActionBookmark);
    rs_->moveTo(position);
    reposition();
}

void DataControl::gridRowChosen(int row) {
    if (!rs_ || row == rs_->absolutePosition()) return;
    // A name being typed is written first; the row the user chose is
    // found again by its record should the new name have moved rows.
    const QVariant chosen = row < rs_->recordCount() ? rs_->keyAt(row) : QVariant();
    if (name_ && rs_->hasCurrent() && name_->text() != shownName_) {
        commitNameEdit();
        if (chosen.isValid() && rs_->findKey(chosen)) row = rs_->absolutePosition();
    }
    moveTo(row);
    emit rowColChange();
}

void DataControl::commitNameEdit() {
    if (!rs_ || !name_ || !rs_->hasCurrent() || rs_->editMode() != RecordSet::EditNone) return;
    if (name_->text() == shownName_) return;
    const QVariant key = rs_->key();
    rs_->edit();
    try {
        update();
    } catch (...) {
        if (rs_->editMode() != RecordSet::EditNone) rs_->cancelUpdate();
        name_->setText(shownName_);
        throw;
    }
    // The new name may sort elsewhere.
    rs_->requery();
    model_->reset();
    rs_->findKey(key);
    reposition();
}

void DataControl::reposition() {
    const bool current = rs_ && rs_->hasCurrent();
    if (name_) {
        shownName_ = current ? rs_->name() : QString();
        name_->setText(shownName_);
        name_->setReadOnly(!current);
    }
    showPicture();
    syncGrid();
}

void DataControl::showPicture() {
    pictureCode_ = engine::kOk;
    if (!img_ || img_->dataField().isEmpty()) return;
    if (!rs_ || !rs_->hasCurrent()) {
        img_->setDataDocument(engine::Document{});
        return;
    }
    RecordSet* rs = rs_.get();
    const QVariant key = rs->key();
    const PictureCache::Decoded d = cache_->get(key.toString(), [&] { return rs->pictureOf(key); });
    pictureCode_ = d.code;
    img_->setDataDocument(*d.doc);
    if (!readAhead_) {
        cache_->clear();
        return;
    }
    prefetchTimer_->start();
}

void DataControl::prefetchNeighbours() {
    if (!rs_ || !rs_->hasCurrent() || !readAhead_) return;
    RecordSet* rs = rs_.get();
    const int pos = rs->absolutePosition();
    QStringList keep{rs->key().toString()};
    for (int p : {pos + 1, pos - 1}) {
        if (p < 0 || p >= rs->recordCount()) continue;
        const QVariant k = rs->keyAt(p);
        keep << k.toString();
        cache_->prefetch(k.toString(), [&] { return rs->pictureOf(k); });
    }
    cache_->keepOnly(keep);
}

void DataControl::syncGrid() {
    if (!grid_) return;
    syncingGrid_ = true;
    const int pos = rs_ ? rs_->absolutePosition() : -1;
    if (pos >= 0) {
        const QModelIndex idx = model_->index(pos, 0);
        grid_->selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        grid_->scrollTo(idx);
    } else {
        grid_->selectionModel()->clearCurrentIndex();
        grid_->selectionModel()->clearSelection();
    }
    syncingGrid_ = false;
}

}  // namespace qova::database
