// The spatial filter dialog: the filters of the families the flags choose
// (bit 0x01 gradient, 0x02 Laplacian, 0x04 Sobel, 0x08 Prewitt, 0x10 shift
// difference, 0x20 line segments; none set offers them all), the first one
// chosen when it opens. The result is the filter's number (ops::SpatialFilter).
#pragma once

#include "param_dialog.h"

class QListWidget;

namespace qova::engine {

class SpatialFilterDialog : public ParamDialog {
    Q_OBJECT
public:
    SpatialFilterDialog(int flags, const Bitmap& picture, QWidget* parent = nullptr);
    int filter() const;
    // The filter numbers offered, in their order in the list.
    QList<int> offered() const;

protected:
    int16_t previewOperation(Bitmap& b) const override;

private:
    QListWidget* list_;
};

}  // namespace qova::engine
