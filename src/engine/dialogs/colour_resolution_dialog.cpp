#include "colour_resolution_dialog.h"

#include <QComboBox>
#include <QLabel>

#include "engine/core/ops/reduce.h"

namespace qova::engine {

ColourResolutionDialog::ColourResolutionDialog(const Bitmap& picture, QWidget* parent)
    : ParamDialog(QStringLiteral("ｶﾗｰ階調"), picture, false, parent) {
    setObjectName(QStringLiteral("ColourResolutionDialog"));
    QList<QPair<QString, int>> depths;
    for (int b : {1, 2, 3, 4, 5, 6, 7, 8, 16, 24, 32}) depths.append({QStringLiteral("%1 ﾋﾞｯﾄ").arg(b), b});
    const int start = !picture.isNull() && picture.bpp() <= 8 ? picture.bpp() : 8;
    bits_ = addChoice(QStringLiteral("Bits"), QStringLiteral("ﾋﾞｯﾄ数(&B):"), depths, start, 8);
    palette_ = addChoice(QStringLiteral("Palette"), QStringLiteral("ﾊﾟﾚｯﾄ(&P):"),
                         {{QStringLiteral("最適化ﾊﾟﾚｯﾄ"), ops::kResOptimised}, {QStringLiteral("固定ﾊﾟﾚｯﾄ"), 0}},
                         ops::kResOptimised, ops::kResOptimised);
    dither_ = addChoice(QStringLiteral("Dither"), QStringLiteral("ﾃﾞｨｻﾞﾘﾝｸﾞ(&D):"),
                        {{QStringLiteral("なし"), ops::kDitherNone},
                         {QStringLiteral("ﾊﾟﾀｰﾝ法"), ops::kDitherOrdered},
                         {QStringLiteral("誤差拡散法"), ops::kDitherDiffusion}},
                        ops::kDitherDiffusion, ops::kDitherDiffusion);
    colours_ = new QLabel(this);
    colours_->setObjectName(QStringLiteral("Colours"));
    addRow(QStringLiteral("色数:"), colours_);
    connect(bits_, &QComboBox::currentIndexChanged, this, &ColourResolutionDialog::bitsChanged);
    bitsChanged();
    startPreview();
}

int ColourResolutionDialog::bits() const { return bits_->currentData().toInt(); }
int ColourResolutionDialog::paletteKind() const { return palette_->currentData().toInt(); }
int ColourResolutionDialog::dithering() const { return dither_->currentData().toInt(); }

QString ColourResolutionDialog::coloursText() const {
    switch (bits()) {
    case 16: return QStringLiteral("65536");
    case 24:
    case 32: return QStringLiteral("1677万");
    default: return QString::number(1 << bits());
    }
}

void ColourResolutionDialog::bitsChanged() {
    // Palette and dithering matter only where a palette is made.
    const bool palette = bits() <= 8;
    palette_->setEnabled(palette);
    dither_->setEnabled(palette);
    colours_->setText(coloursText() + QStringLiteral(" 色"));
}

int16_t ColourResolutionDialog::previewOperation(Bitmap& b) const {
    return ops::colourResolution(b, bits(), paletteKind(), dithering(), 0);
}

}  // namespace qova::engine
