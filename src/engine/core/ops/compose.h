// Combining bitmaps, filling, creating, and palette access.
#pragma once

#include <cstdint>

#include "../bitmap.h"
#include "../regions/region.h"
#include "progress.h"

namespace qova::engine::ops {

// Combines w × h pixels of `src` at (sx, sy) into `dst` at (dx, dy), clipped
// to both bitmaps; with a region only destination pixels inside it change.
// op: kCombineCopy or kCombineAddDetail (ranges.h). The source is brought to
// the destination's depth first (nearest palette entry for a palette
// destination). kCombineAddDetail promotes a palette destination.
int16_t combine(Bitmap& dst, int dx, int dy, int w, int h, const Bitmap& src, int sx, int sy, int op,
                const Region* dstRegion = nullptr, const ProgressFn& progress = {});

// Fills the bitmap (the region when given) with one colour, 0x00BBGGRR.
// Grey bitmaps take the colour's luminance; a palette bitmap uses the entry
// of that exact colour, and is promoted to 24 bits when it has none.
int16_t fill(Bitmap& bmp, uint32_t colour, const Region* region = nullptr, const ProgressFn& progress = {});

// A new white bitmap (bits 1, 4, 8, 16, 24, 32; 8 bits with `grey` is
// palette-less grey, 16 bits is always grey). kErrBadBpp / kErrBadSize.
int16_t createBitmap(int width, int height, int bpp, bool grey, Bitmap& out);

// Palette entries as 0x00BBGGRR. kErrBadParam for an index the palette lacks.
int16_t paletteEntry(const Bitmap& bmp, int index, uint32_t& colour);
int16_t setPaletteEntry(Bitmap& bmp, int index, uint32_t colour);

}  // namespace qova::engine::ops
