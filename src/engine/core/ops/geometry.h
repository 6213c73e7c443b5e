// Geometry: flip, mirror, rotate, shear, resize.
//
// These change the whole bitmap. A region given to them is not a limit but
// travels with the pixels: it comes back flipped, rotated, sheared or
// resized like the image, in the new bitmap's coordinates (the region
// transforms of the application lift the selection into a bitmap of its own
// and rely on this to reshape the selection).
//
// Depths: every depth is kept. Palette images keep their palette and move
// whole pixels (nearest pixel); the fill colour of rotate and shear is then
// the nearest palette entry. Resampled resize of a palette image promotes it
// (8-bit grey for a grey palette, else 24 bits).
//
// Angles are in hundredths of a degree; fill colours are 0x00BBGGRR (a
// 32-bit bitmap fills with opaque alpha).
#pragma once

#include <cstdint>

#include "../bitmap.h"
#include "../regions/region.h"
#include "progress.h"

namespace qova::engine::ops {

// Top row to the bottom.
int16_t flip(Bitmap& bmp, Region* region = nullptr, const ProgressFn& progress = {});
// Left column to the right.
int16_t reverse(Bitmap& bmp, Region* region = nullptr, const ProgressFn& progress = {});
// Clockwise for positive angles. `enlarge` grows the bitmap to hold the
// whole turned image; otherwise the size stays and corners are cut.
int16_t rotate(Bitmap& bmp, int hundredths, bool enlarge, uint32_t fill, Region* region = nullptr,
               const ProgressFn& progress = {});
// Horizontal: rows slide sideways, lower rows further right for positive
// angles; vertical: columns slide, right columns further down. The bitmap
// grows to hold the whole sheared image.
int16_t shear(Bitmap& bmp, int hundredths, bool horizontal, uint32_t fill, Region* region = nullptr,
              const ProgressFn& progress = {});
// flags: kResizePlain (nearest pixel) or kResizeResample (area average when
// shrinking, bilinear when enlarging).
int16_t resize(Bitmap& bmp, int width, int height, int flags, Region* region = nullptr,
               const ProgressFn& progress = {});

}  // namespace qova::engine::ops
