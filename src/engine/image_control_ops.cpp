// The control's processing area: colour, tone, effect and filter operations
// on the page shown, colour counts and the histogram, and their dispatch
// table. The pixel work is the document's (core/document_ops.h), so the
// hidden stores run the same operations.
#include <algorithm>
#include <limits>

#include "control_dispatch.h"
#include "core/codes.h"
#include "core/document.h"
#include "core/document_ops.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "image_control.h"

namespace qova::engine {

std::function<void(int)> ImageControl::progressReporter() {
    return [this](int p) { reportProgress(p); };
}

#define QOVA_PAGE_OP(member, id, call)                                   \
    int16_t ImageControl::member {                                       \
        log(dispid::id);                                                 \
        return docops::call;                                             \
    }

QOVA_PAGE_OP(brightness(int v), Brightness, brightness(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(contrast(int v), Contrast, contrast(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(saturation(int v), Saturation, saturation(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(histogramContrast(int v), HistogramContrast, histogramContrast(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(hue(int v), Hue, hue(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(halftone(int kind, int angle), Halftone, halftone(imageDocument(), kind, angle, progressReporter()))
QOVA_PAGE_OP(gammaCorrect(int v), GammaCorrect, gammaCorrect(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(intensityDetect(int low, int high), IntensityDetect,
             intensityDetect(imageDocument(), low, high, progressReporter()))
QOVA_PAGE_OP(colourResolution(int bits, int options, int dither, int colours), ColourResolution,
             colourResolution(imageDocument(), bits, options, dither, colours, progressReporter()))
QOVA_PAGE_OP(invert(), Invert, invert(imageDocument(), progressReporter()))
QOVA_PAGE_OP(histogramEqualise(), HistogramEqualise, histogramEqualise(imageDocument(), progressReporter()))
QOVA_PAGE_OP(stretchIntensity(), StretchIntensity, stretchIntensity(imageDocument(), progressReporter()))
QOVA_PAGE_OP(posterize(int v), Posterize, posterize(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(mosaic(int v), Mosaic, mosaic(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(average(int v), AverageFilter, average(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(median(int v), MedianFilter, median(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(sharpen(int v), Sharpen, sharpen(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(addNoise(int amount, int channel), AddNoise, addNoise(imageDocument(), amount, channel, progressReporter()))
QOVA_PAGE_OP(emboss(int direction, int depth), Emboss, emboss(imageDocument(), direction, depth, progressReporter()))
QOVA_PAGE_OP(oilify(int v), Oilify, oilify(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(solarize(int v), Solarize, solarize(imageDocument(), v, progressReporter()))
QOVA_PAGE_OP(spatialFilter(int filter), SpatialFilter, spatialFilter(imageDocument(), filter, progressReporter()))

#undef QOVA_PAGE_OP

int32_t ImageControl::countColours() {
    log(dispid::CountColours);
    uint32_t n = 0;
    const int16_t code = docops::countColours(imageDocument(), n, progressReporter());
    if (code != kOk) throw EngineError(code, "count colours");
    return int32_t(std::min<uint32_t>(n, uint32_t(std::numeric_limits<int32_t>::max())));
}

int16_t ImageControl::computeHistogram(int channel) {
    log(dispid::ComputeHistogram);
    ops::Histogram h;
    const int16_t code = docops::histogram(imageDocument(), channel, h, progressReporter());
    // A failed computation leaves no counts of another picture behind.
    histogram_.assign(h.begin(), h.end());
    return code;
}

int32_t ImageControl::histogramCount(int level) const {
    log(dispid::HistogramCount);
    if (level < 0 || level >= int(histogram_.size())) return 0;
    return int32_t(std::min<uint64_t>(histogram_[size_t(level)], uint64_t(std::numeric_limits<int32_t>::max())));
}

namespace dispatch {

std::span<const Entry> opsEntries() {
    using C = ImageControl;
    using L = QVariantList;
    using V = QVariant;
    static const Entry table[] = {
        {dispid::Brightness, "brightness", [](C& c, const L& a) { return V(c.brightness(arg(a, 0).toInt())); }, nullptr},
        {dispid::Contrast, "contrast", [](C& c, const L& a) { return V(c.contrast(arg(a, 0).toInt())); }, nullptr},
        {dispid::Saturation, "saturation", [](C& c, const L& a) { return V(c.saturation(arg(a, 0).toInt())); }, nullptr},
        {dispid::HistogramContrast, "histogramContrast",
         [](C& c, const L& a) { return V(c.histogramContrast(arg(a, 0).toInt())); }, nullptr},
        {dispid::Hue, "hue", [](C& c, const L& a) { return V(c.hue(arg(a, 0).toInt())); }, nullptr},
        {dispid::Halftone, "halftone",
         [](C& c, const L& a) { return V(c.halftone(arg(a, 0).toInt(), arg(a, 1).toInt())); }, nullptr},
        {dispid::GammaCorrect, "gammaCorrect", [](C& c, const L& a) { return V(c.gammaCorrect(arg(a, 0).toInt())); },
         nullptr},
        {dispid::IntensityDetect, "intensityDetect",
         [](C& c, const L& a) { return V(c.intensityDetect(arg(a, 0).toInt(), arg(a, 1).toInt())); }, nullptr},
        {dispid::ColourResolution, "colourResolution",
         [](C& c, const L& a) {
             return V(c.colourResolution(arg(a, 0).toInt(), arg(a, 1).toInt(), arg(a, 2).toInt(), arg(a, 3).toInt()));
         },
         nullptr},
        {dispid::Invert, "invert", [](C& c, const L&) { return V(c.invert()); }, nullptr},
        {dispid::HistogramEqualise, "histogramEqualise", [](C& c, const L&) { return V(c.histogramEqualise()); },
         nullptr},
        {dispid::StretchIntensity, "stretchIntensity", [](C& c, const L&) { return V(c.stretchIntensity()); },
         nullptr},
        {dispid::CountColours, "countColours", [](C& c, const L&) { return V(c.countColours()); }, nullptr},
        {dispid::Posterize, "posterize", [](C& c, const L& a) { return V(c.posterize(arg(a, 0).toInt())); }, nullptr},
        {dispid::Mosaic, "mosaic", [](C& c, const L& a) { return V(c.mosaic(arg(a, 0).toInt())); }, nullptr},
        {dispid::AverageFilter, "average", [](C& c, const L& a) { return V(c.average(arg(a, 0).toInt())); }, nullptr},
        {dispid::MedianFilter, "median", [](C& c, const L& a) { return V(c.median(arg(a, 0).toInt())); }, nullptr},
        {dispid::Sharpen, "sharpen", [](C& c, const L& a) { return V(c.sharpen(arg(a, 0).toInt())); }, nullptr},
        {dispid::AddNoise, "addNoise",
         [](C& c, const L& a) { return V(c.addNoise(arg(a, 0).toInt(), arg(a, 1).toInt())); }, nullptr},
        {dispid::Emboss, "emboss", [](C& c, const L& a) { return V(c.emboss(arg(a, 0).toInt(), arg(a, 1).toInt())); },
         nullptr},
        {dispid::Oilify, "oilify", [](C& c, const L& a) { return V(c.oilify(arg(a, 0).toInt())); }, nullptr},
        {dispid::Solarize, "solarize", [](C& c, const L& a) { return V(c.solarize(arg(a, 0).toInt())); }, nullptr},
        {dispid::SpatialFilter, "spatialFilter", [](C& c, const L& a) { return V(c.spatialFilter(arg(a, 0).toInt())); },
         nullptr},
        {dispid::ComputeHistogram, "computeHistogram",
         [](C& c, const L& a) { return V(c.computeHistogram(arg(a, 0).toInt())); }, nullptr},
        {dispid::HistogramCount, "histogramCount",
         [](C& c, const L& a) { return V(c.histogramCount(arg(a, 0).toInt())); }, nullptr},
    };
    return table;
}

}  // namespace dispatch

}  // namespace qova::engine
