// Tone and colour adjustments: one pixel in, one pixel out.
//
// Depths: 8/16-bit grey, 24 and 32 bits keep their depth (alpha is never
// touched). A palette image without a region is processed in its palette
// (depth and indices kept); with a region it is first promoted (8-bit grey
// for a grey palette, else 24 bits), since changing an entry would change
// pixels outside the region too.
//
// Every call: kOk, kErrBadHandle for an empty bitmap, kErrBadParam for a
// value outside the range in ranges.h (the bitmap is then unchanged).
#pragma once

#include <cstdint>

#include "../bitmap.h"
#include "../regions/region.h"
#include "progress.h"

namespace qova::engine::ops {

int16_t invert(Bitmap& bmp, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t brightness(Bitmap& bmp, int value, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t contrast(Bitmap& bmp, int value, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t gammaCorrect(Bitmap& bmp, int hundredths, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t solarize(Bitmap& bmp, int threshold, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t posterize(Bitmap& bmp, int levels, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t histogramContrast(Bitmap& bmp, int value, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t histogramEqualise(Bitmap& bmp, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t stretchIntensity(Bitmap& bmp, const Region* region = nullptr, const ProgressFn& progress = {});
// Pixels whose luminance lies in [low, high] become white, the rest black.
int16_t intensityDetect(Bitmap& bmp, int low, int high, const Region* region = nullptr,
                        const ProgressFn& progress = {});
int16_t hue(Bitmap& bmp, int degrees, const Region* region = nullptr, const ProgressFn& progress = {});
int16_t saturation(Bitmap& bmp, int value, const Region* region = nullptr, const ProgressFn& progress = {});

}  // namespace qova::engine::ops
