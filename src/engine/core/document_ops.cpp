#include "document_ops.h"

#include "codes.h"
#include "document.h"
#include "ops/filters.h"
#include "ops/reduce.h"
#include "ops/tone.h"

namespace qova::engine::docops {

namespace {

// Runs `f(page, region)` on the page shown through applyToPage.
template <class F> int16_t onPage(Doc& d, F f) {
    return d.applyToPage([&](Bitmap& page, const Region* r) { return f(page, r); });
}

}  // namespace

int16_t brightness(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::brightness(b, v, r, p); });
}
int16_t contrast(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::contrast(b, v, r, p); });
}
int16_t saturation(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::saturation(b, v, r, p); });
}
int16_t histogramContrast(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::histogramContrast(b, v, r, p); });
}
int16_t hue(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::hue(b, v, r, p); });
}
int16_t halftone(Doc& d, int kind, int angle, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::halftone(b, kind, angle, r, p); });
}
int16_t gammaCorrect(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::gammaCorrect(b, v, r, p); });
}
int16_t intensityDetect(Doc& d, int low, int high, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::intensityDetect(b, low, high, r, p); });
}
int16_t colourResolution(Doc& d, int bits, int options, int dither, int colours, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) {
        return ops::colourResolution(b, bits, options, dither, colours, r, p);
    });
}
int16_t invert(Doc& d, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::invert(b, r, p); });
}
int16_t histogramEqualise(Doc& d, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::histogramEqualise(b, r, p); });
}
int16_t stretchIntensity(Doc& d, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::stretchIntensity(b, r, p); });
}
int16_t posterize(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::posterize(b, v, r, p); });
}
int16_t mosaic(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::mosaic(b, v, r, p); });
}
int16_t average(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::average(b, v, r, p); });
}
int16_t median(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::median(b, v, r, p); });
}
int16_t sharpen(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::sharpen(b, v, r, p); });
}
int16_t addNoise(Doc& d, int amount, int channel, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::addNoise(b, amount, channel, r, p); });
}
int16_t emboss(Doc& d, int direction, int depth, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::emboss(b, direction, depth, r, p); });
}
int16_t oilify(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::oilify(b, v, r, p); });
}
int16_t solarize(Doc& d, int v, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::solarize(b, v, r, p); });
}
int16_t spatialFilter(Doc& d, int filter, const P& p) {
    return onPage(d, [&](Bitmap& b, const Region* r) { return ops::spatialFilter(b, filter, r, p); });
}

int16_t countColours(const Doc& d, uint32_t& count, const P& p) {
    count = 0;
    if (d.isEmpty()) return kErrBadHandle;
    // A copy: the progress reports let events run, and one may replace the page.
    const Bitmap page = d.currentBitmap();
    return ops::countColours(page, count, p);
}

int16_t histogram(const Doc& d, int channel, ops::Histogram& out, const P& p) {
    out.fill(0);
    if (d.isEmpty()) return kErrBadHandle;
    const Bitmap page = d.currentBitmap();
    return ops::histogram(page, channel, out, nullptr, p);
}

}  // namespace qova::engine::docops
