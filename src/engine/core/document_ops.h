// The processing operations on a document's page shown (with its region),
// so that the visible control and the hidden stores run the same code: the
// control's processing members call these, and a command may run one on a
// store (the spatial filter of edge enhancement runs on a scratch store).
// Each returns the operation's engine code; a failed operation leaves the
// page as it was (ImageDocument::applyToPage). Ranges: ops/ranges.h.
#pragma once

#include <cstdint>

#include "ops/histogram.h"
#include "ops/progress.h"

namespace qova::engine {

class ImageDocument;

namespace docops {

using Doc = ImageDocument;
using P = ProgressFn;

int16_t brightness(Doc& d, int value, const P& progress = {});
int16_t contrast(Doc& d, int value, const P& progress = {});
int16_t saturation(Doc& d, int value, const P& progress = {});
int16_t histogramContrast(Doc& d, int value, const P& progress = {});
int16_t hue(Doc& d, int degrees, const P& progress = {});
int16_t halftone(Doc& d, int kind, int angle, const P& progress = {});
int16_t gammaCorrect(Doc& d, int hundredths, const P& progress = {});
int16_t intensityDetect(Doc& d, int low, int high, const P& progress = {});
int16_t colourResolution(Doc& d, int bits, int options, int dither, int colours, const P& progress = {});
int16_t invert(Doc& d, const P& progress = {});
int16_t histogramEqualise(Doc& d, const P& progress = {});
int16_t stretchIntensity(Doc& d, const P& progress = {});
int16_t posterize(Doc& d, int levels, const P& progress = {});
int16_t mosaic(Doc& d, int size, const P& progress = {});
int16_t average(Doc& d, int radius, const P& progress = {});
int16_t median(Doc& d, int radius, const P& progress = {});
int16_t sharpen(Doc& d, int amount, const P& progress = {});
int16_t addNoise(Doc& d, int amount, int channel, const P& progress = {});
int16_t emboss(Doc& d, int direction, int depth, const P& progress = {});
int16_t oilify(Doc& d, int radius, const P& progress = {});
int16_t solarize(Doc& d, int threshold, const P& progress = {});
int16_t spatialFilter(Doc& d, int filter, const P& progress = {});

// Read-only: the page is not changed. Both count the whole page (a region
// limits what changes, not what is reported); kErrBadHandle when empty.
int16_t countColours(const Doc& d, uint32_t& count, const P& progress = {});
int16_t histogram(const Doc& d, int channel, ops::Histogram& out, const P& progress = {});

}  // namespace docops
}  // namespace qova::engine
