// What the engine's parameter dialogs share: the live preview of the
// picture they were given (left), their value rows (right), OK and Cancel.
// Each row keeps its editor and its slider (or dial) in step; every change
// refreshes the preview with the dialog's operation. A start value the row
// cannot hold is replaced by the row's usual value.
#pragma once

#include <QDialog>
#include <QList>
#include <QPair>
#include <QString>

#include <cstdint>

#include "engine/core/bitmap.h"
#include "engine/core/ops/ranges.h"

class QAbstractSlider;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QLabel;
class QSpinBox;

namespace qova::engine {

class PreviewPane;

class ParamDialog : public QDialog {
    Q_OBJECT
public:
    // Null when the dialog was given no picture.
    PreviewPane* preview() const { return preview_; }

protected:
    // `picture` may be empty (no preview). `actualSize`: the preview starts
    // on a part of the picture at its own size rather than the whole of it.
    ParamDialog(const QString& title, const Bitmap& picture, bool actualSize, QWidget* parent);

    // A value row: label, slider (or a dial for an angle) and a spin box,
    // named `name` (the slider `name` + "Bar").
    QSpinBox* addValue(const QString& name, const QString& label, ops::ValueRange range, int start,
                       int usual, const QString& suffix = QString(), bool dial = false);
    // The same, shown and typed in hundredths as a decimal number (2.20).
    QSpinBox* addHundredths(const QString& name, const QString& label, ops::ValueRange range, int start, int usual);
    // A choice: the entries' texts and the values they stand for.
    QComboBox* addChoice(const QString& name, const QString& label, const QList<QPair<QString, int>>& entries,
                         int start, int usual);
    void addRow(const QString& label, QWidget* field);

    // The operation the preview applies with the values now set.
    virtual int16_t previewOperation(Bitmap& b) const = 0;
    // Call once the rows are made: the preview starts following them.
    void startPreview();
    void refreshPreview();

    static int startIn(ops::ValueRange r, int start, int usual) { return start >= r.min && start <= r.max ? start : usual; }

private:
    void placeRow(QSpinBox* box, QAbstractSlider* bar, const QString& name, const QString& label,
                  ops::ValueRange range, int start, int usual);

    PreviewPane* preview_ = nullptr;
    QFormLayout* form_ = nullptr;
};

}  // namespace qova::engine
