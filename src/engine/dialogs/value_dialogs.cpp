#include "value_dialogs.h"

#include <QSpinBox>

#include "engine/core/ops/filters.h"
#include "engine/core/ops/reduce.h"
#include "engine/core/ops/tone.h"

namespace qova::engine {

namespace {

using namespace ops;

// In the order of their bits, so the lowest bit set wins.
const EffectVariant kVariants[] = {
    {0x0001, "ｼｬｰﾌﾟﾈｽ", "強さ(&V):", kRangeSharpen, 0, "", true, [](Bitmap& b, int v) { return sharpen(b, v); }},
    {0x0002, "輝度", "輝度(&V):", kRangeBrightness, 0, " %", false, [](Bitmap& b, int v) { return brightness(b, v); }},
    {0x0004, "ｺﾝﾄﾗｽﾄ", "ｺﾝﾄﾗｽﾄ(&V):", kRangeContrast, 0, "", false,
     [](Bitmap& b, int v) { return contrast(b, v); }},
    {0x0008, "彩度", "彩度(&V):", kRangeSaturation, 0, "", false, [](Bitmap& b, int v) { return saturation(b, v); }},
    {0x0010, "ﾋｽﾄｸﾞﾗﾑｺﾝﾄﾗｽﾄ", "強さ(&V):", kRangeHistoContrast, 0, "", false,
     [](Bitmap& b, int v) { return histogramContrast(b, v); }},
    {0x0020, "色相", "回転角(&V):", kRangeHue, 0, " 度", false, [](Bitmap& b, int v) { return hue(b, v); }},
    // Both halftone commands use these flags; the preview shows the printing
    // screen, the one the angle turns.
    {0x0040, "ﾊｰﾌﾄｰﾝ", "ｽｸﾘｰﾝの角度(&V):", kRangeHalftoneAngle, 0, " 度", true,
     [](Bitmap& b, int v) { return halftone(b, kHalftonePrint, v); }},
    {0x0080, "ﾎﾟｽﾀﾗｲｽﾞ", "階調数(&V):", kRangePosterize, 8, "", false,
     [](Bitmap& b, int v) { return posterize(b, v); }},
    {0x0100, "ﾓｻﾞｲｸ", "ﾀｲﾙの大きさ(&V):", kRangeMosaic, 8, " ﾋﾟｸｾﾙ", true,
     [](Bitmap& b, int v) { return mosaic(b, v); }},
    {0x0200, "平均化", "半径(&V):", kRangeAverage, 1, " ﾋﾟｸｾﾙ", true, [](Bitmap& b, int v) { return average(b, v); }},
    {0x0400, "ﾒﾃﾞｨｱﾝ", "半径(&V):", kRangeMedian, 1, " ﾋﾟｸｾﾙ", true, [](Bitmap& b, int v) { return median(b, v); }},
    {0x0800, "塗料", "半径(&V):", kRangeOilify, 3, " ﾋﾟｸｾﾙ", true, [](Bitmap& b, int v) { return oilify(b, v); }},
    {0x4000, "ｿﾗﾘｾﾞｰｼｮﾝ", "しきい値(&V):", kRangeSolarize, 128, "", false,
     [](Bitmap& b, int v) { return solarize(b, v); }},
};

}  // namespace

const EffectVariant* EffectDialog::variantFor(int flags) {
    for (const EffectVariant& v : kVariants)
        if (flags & v.flag) return &v;
    return nullptr;
}

EffectDialog::EffectDialog(const EffectVariant& variant, int start, const Bitmap& picture, QWidget* parent)
    : ParamDialog(QString::fromUtf8(variant.title), picture, variant.actualSize, parent), variant_(variant) {
    setObjectName(QStringLiteral("EffectDialog"));
    value_ = addValue(QStringLiteral("Value1"), QString::fromUtf8(variant.label), variant.range, start, variant.usual,
                      QString::fromUtf8(variant.suffix));
    startPreview();
}

int EffectDialog::value() const { return value_->value(); }

int16_t EffectDialog::previewOperation(Bitmap& b) const { return variant_.apply(b, value_->value()); }

GammaDialog::GammaDialog(int start, const Bitmap& picture, QWidget* parent)
    : ParamDialog(QStringLiteral("ｶﾞﾝﾏ補正"), picture, false, parent) {
    setObjectName(QStringLiteral("GammaDialog"));
    value_ = addHundredths(QStringLiteral("Value1"), QStringLiteral("ｶﾞﾝﾏ値(&V):"), ops::kRangeGamma, start, 100);
    value_->setToolTip(QStringLiteral("1.00 で変化なし。大きいほど明るくなります。"));
    startPreview();
}

int GammaDialog::value() const { return value_->value(); }

int16_t GammaDialog::previewOperation(Bitmap& b) const { return ops::gammaCorrect(b, value_->value()); }

}  // namespace qova::engine
