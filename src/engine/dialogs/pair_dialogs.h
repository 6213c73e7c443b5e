// The two-value parameter dialogs: intensity detect (low and high level),
// emboss (light direction and depth) and add noise (amount and channel).
// Each offers exactly the ranges of its operation (core/ops/ranges.h).
#pragma once

#include "param_dialog.h"

class QComboBox;
class QSpinBox;

namespace qova::engine {

// Levels whose luminance lies between the two become white, the rest black;
// the lower never passes the upper (moving one pushes the other).
class IntensityDetectDialog : public ParamDialog {
    Q_OBJECT
public:
    IntensityDetectDialog(int low, int high, const Bitmap& picture, QWidget* parent = nullptr);
    int low() const;
    int high() const;

protected:
    int16_t previewOperation(Bitmap& b) const override;

private:
    QSpinBox* low_;
    QSpinBox* high_;
};

class EmbossDialog : public ParamDialog {
    Q_OBJECT
public:
    EmbossDialog(int direction, int depth, const Bitmap& picture, QWidget* parent = nullptr);
    int direction() const;
    int depth() const;

protected:
    int16_t previewOperation(Bitmap& b) const override;

private:
    QSpinBox* direction_;
    QSpinBox* depth_;
};

class NoiseDialog : public ParamDialog {
    Q_OBJECT
public:
    NoiseDialog(int amount, int channel, const Bitmap& picture, QWidget* parent = nullptr);
    int amount() const;
    int channel() const;

protected:
    int16_t previewOperation(Bitmap& b) const override;

private:
    QSpinBox* amount_;
    QComboBox* channel_;
};

}  // namespace qova::engine
