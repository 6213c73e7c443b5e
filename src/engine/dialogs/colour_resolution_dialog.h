// The colour resolution dialog: bits per pixel, the palette (optimised from
// the picture's colours, or fixed) and the dithering, with the number of
// colours the choice leaves. It starts from the picture in front of it: a
// picture of 8 bits or fewer at its own depth, anything deeper at 8 bits;
// an optimised palette with error diffusion. The command's flags choose
// nothing here: this dialog has one variant.
#pragma once

#include "param_dialog.h"

class QComboBox;
class QLabel;

namespace qova::engine {

class ColourResolutionDialog : public ParamDialog {
    Q_OBJECT
public:
    ColourResolutionDialog(const Bitmap& picture, QWidget* parent = nullptr);
    int bits() const;
    int paletteKind() const;  // ops::kResOptimised or 0 (fixed)
    int dithering() const;    // ops::Dither
    // The number of colours the choice leaves, as shown ("256", "1677万").
    QString coloursText() const;

protected:
    int16_t previewOperation(Bitmap& b) const override;

private:
    void bitsChanged();

    QComboBox* bits_;
    QComboBox* palette_;
    QComboBox* dither_;
    QLabel* colours_;
};

}  // namespace qova::engine
