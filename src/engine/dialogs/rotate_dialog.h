// The engine's rotate/shear dialog: the angle (in degrees on screen,
// hundredths of a degree in the properties), the option (rotate: enlarge the
// bitmap to hold the whole turned picture; shear: slide rows sideways rather
// than columns) and, when it is given the picture, the colour of the
// uncovered corners with a preview of the result.
#pragma once

#include <QDialog>

#include <cstdint>

#include "../core/bitmap.h"

class QCheckBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;

namespace qova::engine {

struct RotateChoice {
    int angle = 0;                  // hundredths of a degree, clockwise
    bool option = false;
    uint32_t fillColour = 0xFFFFFF; // 0x00BBGGRR
};

class RotateDialog : public QDialog {
    Q_OBJECT
public:
    enum class Mode { Rotate, Shear };
    // `picture` (may be empty) is shown in the preview; without it the dialog
    // offers no colour either.
    RotateDialog(Mode mode, const RotateChoice& start, const Bitmap& picture, QWidget* parent = nullptr);
    RotateChoice choice() const;
    void setFillColour(uint32_t colour);
    Mode mode() const { return mode_; }
    bool hasPreview() const { return preview_ != nullptr; }

private:
    void chooseColour();
    void updatePreview();

    Mode mode_;
    QDoubleSpinBox* angle_;
    QCheckBox* option_;
    QPushButton* colour_ = nullptr;
    QLabel* preview_ = nullptr;
    Bitmap thumb_;
    uint32_t fillColour_;
};

}  // namespace qova::engine
