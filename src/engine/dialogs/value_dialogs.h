// The one-value parameter dialogs: the effect dialog, whose variant the
// flags' low bits choose (brightness, contrast, saturation, histogram
// contrast, hue, halftone, posterize, mosaic, average, median, sharpen,
// oilify, solarize), and the gamma dialog. Each offers exactly the range of
// its operation (core/ops/ranges.h).
#pragma once

#include <QString>

#include "param_dialog.h"

class QSpinBox;

namespace qova::engine {

// One variant of the effect dialog.
struct EffectVariant {
    int flag;               // the bit of the dialog flags that chooses it
    const char* title;
    const char* label;
    ops::ValueRange range;
    int usual;              // the start when the given one lies outside the range
    const char* suffix;
    bool actualSize;        // the preview starts at the picture's own size
    int16_t (*apply)(Bitmap& b, int value);
};

class EffectDialog : public ParamDialog {
    Q_OBJECT
public:
    // The variant of the lowest variant bit set in `flags`; null when none is.
    static const EffectVariant* variantFor(int flags);

    EffectDialog(const EffectVariant& variant, int start, const Bitmap& picture, QWidget* parent = nullptr);
    int value() const;

protected:
    int16_t previewOperation(Bitmap& b) const override;

private:
    const EffectVariant& variant_;
    QSpinBox* value_;
};

// Gamma in hundredths (100 = none), typed and shown as 1.00.
class GammaDialog : public ParamDialog {
    Q_OBJECT
public:
    GammaDialog(int start, const Bitmap& picture, QWidget* parent = nullptr);
    int value() const;

protected:
    int16_t previewOperation(Bitmap& b) const override;

private:
    QSpinBox* value_;
};

}  // namespace qova::engine
