// Colour reduction: greyscale, colour resolution (one bitmap or a list
// sharing one palette) and halftone.
//
// Result depths without a region:
//  - greyscale(8) → 8-bit grey, greyscale(16) → 16-bit grey;
//  - colour resolution: bits 1 → 1, 2..4 → 4, 5..8 → 8 bits with a palette
//    of at most 2^bits (or `colours`) entries; 16 → 24 bits whose channels
//    keep 5-6-5 bits of precision (the engine holds no 16-bit colour
//    layout); 24 → 24; 32 → 32 (opaque alpha added);
//  - halftone → 1 bit, black and white.
// With a region the depth stays (a palette image is promoted first: 8-bit
// grey for a grey palette, else 24 bits) and only the pixels inside take
// their reduced values.
#pragma once

#include <cstdint>
#include <vector>

#include "../bitmap.h"
#include "../regions/region.h"
#include "progress.h"

namespace qova::engine::ops {

int16_t greyscale(Bitmap& bmp, int bits, const Region* region = nullptr, const ProgressFn& progress = {});

// options: kResOptimised for a palette made from the image's colours (median
// cut), else a fixed palette (black and white; 4 greys; then an even colour
// cube; the 16 VGA colours at 4 bits). dither: kDitherNone,
// kDitherOrdered, kDitherDiffusion (Floyd–Steinberg). colours: 0 for 2^bits.
int16_t colourResolution(Bitmap& bmp, int bits, int options, int dither, int colours,
                         const Region* region = nullptr, const ProgressFn& progress = {});

// The same for every bitmap of a list, all given one shared palette (made
// from the colours of all of them when optimised). Frames keep their sizes.
int16_t colourResolutionList(std::vector<Bitmap>& frames, int bits, int options, int dither, int colours,
                             const ProgressFn& progress = {});

// kind: kHalftonePrint (round clustered dots on a screen turned by `angle`
// degrees) or kHalftoneView (8 × 8 ordered dots; angle unused).
int16_t halftone(Bitmap& bmp, int kind, int angle, const Region* region = nullptr,
                 const ProgressFn& progress = {});

}  // namespace qova::engine::ops
