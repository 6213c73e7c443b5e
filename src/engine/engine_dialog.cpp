#include "engine_dialog.h"

#include "core/codes.h"
#include "core/handles.h"
#include "dialogs/colour_resolution_dialog.h"
#include "dialogs/open_dialog.h"
#include "dialogs/pair_dialogs.h"
#include "dialogs/rotate_dialog.h"
#include "dialogs/save_dialog.h"
#include "dialogs/spatial_filter_dialog.h"
#include "dialogs/value_dialogs.h"
#include "engine_error.h"

namespace qova::engine {

namespace {
EngineDialog::AnswerHook& hook() {
    static EngineDialog::AnswerHook h;
    return h;
}

// The picture a parameter dialog previews; empty for 0 or a stale handle.
Bitmap pictureOf(uint32_t handle) {
    Bitmap b;
    if (handle != 0) HandleTable::instance().get(handle, b);
    return b;
}
}  // namespace

EngineDialog::EngineDialog(QObject* parent) : QObject(parent) {}

void EngineDialog::setAnswerHook(AnswerHook h) { hook() = std::move(h); }

bool EngineDialog::runDialog(QDialog& d, Kind kind) {
    if (hook()) return hook()(d, kind);
    return d.exec() == QDialog::Accepted;
}

QList<QPair<QString, QStringList>> EngineDialog::parseFilter(const QString& filter) {
    QList<QPair<QString, QStringList>> rows;
    const QStringList parts = filter.split('|');
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty()) continue;
        rows.append(qMakePair(parts[i], parts[i + 1].split(QChar(';'), Qt::SkipEmptyParts)));
    }
    return rows;
}

void EngineDialog::showOpen(QWidget* owner) {
    OpenDialog d(parseFilter(filter), fileName, page, loadOption, owner);
    d.setWindowTitle(title.isEmpty() ? QStringLiteral("ﾌｧｲﾙを開く") : title);
    if (!runDialog(d, Kind::Open) || d.filePath().isEmpty()) throw dialogCancelled();
    fileName = d.filePath();
    page = d.page();
    loadOption = d.loadOption();
}

void EngineDialog::showSave(QWidget* owner) {
    SaveChoice start;
    start.path = fileName;
    start.format = format;
    start.bits = bits;
    start.quality = quality;
    start.saveOption = saveOption;
    start.stamp = stamp;
    start.stampWidth = stampWidth;
    start.stampHeight = stampHeight;
    start.stampBits = stampBits;
    start.picture = PictureDepth{pictureBits, pictureGrey};
    SaveDialog d(start, owner);
    d.setWindowTitle(title.isEmpty() ? QStringLiteral("ﾌｧｲﾙの保存") : title);
    if (!runDialog(d, Kind::Save)) throw dialogCancelled();
    const SaveChoice c = d.choice();
    if (c.path.isEmpty()) throw dialogCancelled();
    fileName = c.path;
    format = c.format;
    bits = c.bits;
    quality = c.quality;
    saveOption = c.saveOption;
    stamp = c.stamp;
    stampWidth = c.stampWidth;
    stampHeight = c.stampHeight;
    stampBits = c.stampBits;
}

void EngineDialog::showEffect(QWidget* owner) {
    const EffectVariant* variant = EffectDialog::variantFor(flags);
    if (!variant) throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。");
    EffectDialog d(*variant, effectValue, pictureOf(bitmap), owner);
    if (!runDialog(d, Kind::Effect)) throw dialogCancelled();
    effectValue = d.value();
}

void EngineDialog::showGamma(QWidget* owner) {
    GammaDialog d(gammaValue, pictureOf(bitmap), owner);
    if (!runDialog(d, Kind::Gamma)) throw dialogCancelled();
    gammaValue = d.value();
}

void EngineDialog::showIntensityDetect(QWidget* owner) {
    IntensityDetectDialog d(detectLow, detectHigh, pictureOf(bitmap), owner);
    if (!runDialog(d, Kind::IntensityDetect)) throw dialogCancelled();
    detectLow = d.low();
    detectHigh = d.high();
}

void EngineDialog::showColourResolution(QWidget* owner) {
    ColourResolutionDialog d(pictureOf(bitmap), owner);
    if (!runDialog(d, Kind::ColourResolution)) throw dialogCancelled();
    colourBits = d.bits();
    paletteKind = d.paletteKind();
    dithering = d.dithering();
}

void EngineDialog::showEmboss(QWidget* owner) {
    EmbossDialog d(embossValue1, embossValue2, pictureOf(bitmap), owner);
    if (!runDialog(d, Kind::Emboss)) throw dialogCancelled();
    embossValue1 = d.direction();
    embossValue2 = d.depth();
}

void EngineDialog::showAddNoise(QWidget* owner) {
    NoiseDialog d(noiseValue1, noiseValue2, pictureOf(bitmap), owner);
    if (!runDialog(d, Kind::AddNoise)) throw dialogCancelled();
    noiseValue1 = d.amount();
    noiseValue2 = d.channel();
}

void EngineDialog::showSpatialFilter(QWidget* owner) {
    SpatialFilterDialog d(flags, pictureOf(bitmap), owner);
    if (!runDialog(d, Kind::SpatialFilter)) throw dialogCancelled();
    filterNumber = d.filter();
}

void EngineDialog::showRotate(QWidget* owner) {
    const auto mode = (flags & 0xFF) == 4 ? RotateDialog::Mode::Shear : RotateDialog::Mode::Rotate;
    Bitmap picture;
    if ((flags & 0x40000000) && bitmap != 0) HandleTable::instance().get(bitmap, picture);
    RotateDialog d(mode, RotateChoice{angle, angleOption, fillColour}, picture, owner);
    // Cancel leaves the properties as they were put.
    if (!runDialog(d, Kind::Rotate)) throw dialogCancelled();
    const RotateChoice c = d.choice();
    angle = c.angle;
    angleOption = c.option;
    fillColour = c.fillColour;
}

}  // namespace qova::engine
