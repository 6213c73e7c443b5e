#include "pair_dialogs.h"

#include <QComboBox>
#include <QSpinBox>

#include "engine/core/ops/filters.h"
#include "engine/core/ops/tone.h"

namespace qova::engine {

IntensityDetectDialog::IntensityDetectDialog(int low, int high, const Bitmap& picture, QWidget* parent)
    : ParamDialog(QStringLiteral("輝度ﾚﾍﾞﾙの抽出"), picture, false, parent) {
    setObjectName(QStringLiteral("IntensityDetectDialog"));
    low_ = addValue(QStringLiteral("Value1"), QStringLiteral("下限(&L):"), ops::kRangeDetectLow, low, 0);
    high_ = addValue(QStringLiteral("Value2"), QStringLiteral("上限(&H):"), ops::kRangeDetectHigh, high, 255);
    if (low_->value() > high_->value()) high_->setValue(low_->value());
    connect(low_, &QSpinBox::valueChanged, this, [this](int v) {
        if (high_->value() < v) high_->setValue(v);
    });
    connect(high_, &QSpinBox::valueChanged, this, [this](int v) {
        if (low_->value() > v) low_->setValue(v);
    });
    startPreview();
}

int IntensityDetectDialog::low() const { return low_->value(); }
int IntensityDetectDialog::high() const { return high_->value(); }

int16_t IntensityDetectDialog::previewOperation(Bitmap& b) const {
    return ops::intensityDetect(b, low_->value(), high_->value());
}

EmbossDialog::EmbossDialog(int direction, int depth, const Bitmap& picture, QWidget* parent)
    : ParamDialog(QStringLiteral("ｴﾝﾎﾞｽ"), picture, true, parent) {
    setObjectName(QStringLiteral("EmbossDialog"));
    direction_ = addValue(QStringLiteral("Value1"), QStringLiteral("光の方向(&D):"), ops::kRangeEmbossDirection,
                          direction, 0, QStringLiteral(" 度"), true);
    direction_->setWrapping(true);
    direction_->setToolTip(QStringLiteral("0 度は右から、90 度は上からの光です。"));
    depth_ = addValue(QStringLiteral("Value2"), QStringLiteral("深さ(&E):"), ops::kRangeEmbossDepth, depth, 0);
    startPreview();
}

int EmbossDialog::direction() const { return direction_->value(); }
int EmbossDialog::depth() const { return depth_->value(); }

int16_t EmbossDialog::previewOperation(Bitmap& b) const {
    return ops::emboss(b, direction_->value(), depth_->value());
}

NoiseDialog::NoiseDialog(int amount, int channel, const Bitmap& picture, QWidget* parent)
    : ParamDialog(QStringLiteral("ﾉｲｽﾞ"), picture, true, parent) {
    setObjectName(QStringLiteral("NoiseDialog"));
    amount_ = addValue(QStringLiteral("Value1"), QStringLiteral("量(&A):"), ops::kRangeNoise, amount, 0,
                       QStringLiteral(" %"));
    channel_ = addChoice(QStringLiteral("Value2"), QStringLiteral("ﾁｬﾝﾈﾙ(&C):"),
                         {{QStringLiteral("全色 (同じ量)"), 0},
                          {QStringLiteral("赤"), 1},
                          {QStringLiteral("緑"), 2},
                          {QStringLiteral("青"), 3}},
                         channel, 0);
    startPreview();
}

int NoiseDialog::amount() const { return amount_->value(); }
int NoiseDialog::channel() const { return channel_->currentData().toInt(); }

int16_t NoiseDialog::previewOperation(Bitmap& b) const { return ops::addNoise(b, amount_->value(), channel()); }

}  // namespace qova::engine
