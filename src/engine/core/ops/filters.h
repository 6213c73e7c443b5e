// Neighbourhood filters and effects: each output pixel depends on the pixels
// around it (read from the bitmap as it was before the call).
//
// Depths: 8/16-bit grey, 24 and 32 bits keep their depth; alpha is left as it
// was. Palette images are promoted first (8-bit grey for a grey palette,
// else 24 bits) since a filter makes colours the palette lacks. Pixels
// outside the region are unchanged; pixels just outside it still feed the
// filter of pixels inside.
//
// Every call: kOk, kErrBadHandle for an empty bitmap, kErrBadParam for a
// value outside the range in ranges.h.
#pragma once

#include <cstdint>

#include "../bitmap.h"
#include "../regions/region.h"
#include "progress.h"

namespace qova::engine::ops {

int16_t average(Bitmap& bmp, int radius, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t median(Bitmap& bmp, int radius, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t sharpen(Bitmap& bmp, int amount, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t emboss(Bitmap& bmp, int direction, int depth, const Region* region = nullptr,
               const ProgressFn& progress = {});
int16_t spatialFilter(Bitmap& bmp, int filter, const Region* region = nullptr, const ProgressFn& progress = {});
// Squares of `size` pixels, aligned on the bitmap's top-left corner, take
// their average colour.
int16_t mosaic(Bitmap& bmp, int size, const Region* region = nullptr, const ProgressFn& progress = {});
// Each pixel takes the average colour of the most common brightness around it.
int16_t oilify(Bitmap& bmp, int radius, const Region* region = nullptr, const ProgressFn& progress = {});
// Uniform random offsets of up to ±amount percent of full scale.
int16_t addNoise(Bitmap& bmp, int amount, int channel, const Region* region = nullptr,
                 const ProgressFn& progress = {});

}  // namespace qova::engine::ops
