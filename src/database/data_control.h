// The data control of the picture database (Dpeople): its database name and
// record source, the record set behind them, and the controls bound to it.
// The name box (Cwho) shows the current record's name and writes a name the
// user typed back when the user leaves it; the image control (Img1) shows the
// current record's picture and gives its bitmap, encoded with its storage
// settings, when a record is written; the grid (DBGrid1) lists the names
// and its current row is the current record.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

#include <memory>

class QAbstractItemModel;
class QLineEdit;
class QTableView;
class QTimer;

namespace qova::engine {
class ImageControl;
}

namespace qova::database {

class DatabaseFile;
class RecordSet;
class PictureCache;
class RecordsModel;

class DataControl : public QObject {
    Q_OBJECT
public:
    // What the validate notification says is about to happen.
    enum Action {
        ActionMoveFirst = 1,
        ActionMovePrevious = 2,
        ActionMoveNext = 3,
        ActionMoveLast = 4,
        ActionAddNew = 5,
        ActionUpdate = 6,
        ActionDelete = 7,
        ActionFind = 8,
        ActionBookmark = 9,  // a move to a chosen record (the grid)
        ActionClose = 10,
    };

    explicit DataControl(QObject* parent = nullptr);
    ~DataControl() override;

    QString databaseName() const { return databaseName_; }
    void setDatabaseName(const QString& path) { databaseName_ = path; }
    QString recordSource() const { return recordSource_; }
    void setRecordSource(const QString& sql) { recordSource_ = sql; }
    // Applies the database name: "" closes the database and empties the
    // bound controls; a path opens that database and reads its records
    // (DataError when it cannot, the control then being closed).
    void refresh();
    bool isOpen() const;
    // The file open now, for tests and the status of the window.
    const DatabaseFile* file() const { return file_.get(); }

    void bindName(QLineEdit* box);
    // The picture control; it follows the records only while its data field
    // names a field (an empty one detaches it).
    void bindPicture(engine::ImageControl* img);
    void bindGrid(QTableView* grid);

    // --- the record set (each raises validate first; a move refreshes the
    // bound controls and the grid's current row) ---
    int recordCount() const;
    int absolutePosition() const;  // −1 without a current record
    bool eof() const;
    bool bof() const;
    int editMode() const;
    QString name() const;          // the current record's
    void addNew();
    // Writes the record being added or edited: its name from the name box,
    // its picture (when adding) from the image control. The bound controls
    // keep showing what was written; the current record stays where it was.
    void update();
    void cancelUpdate();
    void requery();
    bool findFirst(const QString& name);
    void deleteCurrent();
    void move(int rows);
    void movePrevious();
    void moveTo(int position);

    // Decoded pictures kept around the current record, so that walking the
    // grid one record at a time shows each picture at once. Off in tests
    // that count decodes.
    void setReadAhead(bool on);
    // The engine code of the picture shown for the current record: kOk for
    // a picture shown and for a record without one, else why the stored
    // bytes could not be shown (the control is then empty).
    int16_t pictureCode() const { return pictureCode_; }

signals:
    // Before the record set acts (Action codes).
    void validate(int action);
    // The user made another row of the grid current (the grid's notification).
    void rowColChange();

private:
    void requireOpen() const;
    void close();
    // The bound controls show the current record (empty without one).
    void reposition();
    void showPicture();
    // Starts decoding the records on either side of the current one.
    void prefetchNeighbours();
    void syncGrid();
    // A name typed into the name box is written before the user moves on.
    void commitNameEdit();
    void gridRowChosen(int row);

    QString databaseName_;
    QString recordSource_;
    std::unique_ptr<DatabaseFile> file_;
    std::unique_ptr<RecordSet> rs_;
    std::unique_ptr<PictureCache> cache_;
    RecordsModel* model_ = nullptr;
    QLineEdit* name_ = nullptr;
    engine::ImageControl* img_ = nullptr;
    QTableView* grid_ = nullptr;
    QString shownName_;
    bool syncingGrid_ = false;
    bool readAhead_ = true;
    int16_t pictureCode_ = 0;
    // Fetching the neighbours' bytes waits until the picture shown has been
    // painted (a zero timer runs after the paint the move asked for).
    QTimer* prefetchTimer_ = nullptr;
};

}  // namespace qova::database
