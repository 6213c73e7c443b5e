// Small whole-bitmap helpers the codecs share (kept out of the ops so the
// formats do not depend on the processing code).
#pragma once

#include <cstdint>

#include "../bitmap.h"

namespace qova::engine {

// Turns a bitmap of whole-byte pixels (8, 16, 24, 32 bits) by an EXIF/TIFF
// orientation value 1..8 so that it shows upright.
Bitmap applyOrientation(const Bitmap& src, int orientation, int16_t* code = nullptr);

// A thumbnail ("stamp") of `src` fitted into w × h keeping proportions,
// averaged down, as 8-bit grey or 24-bit colour.
Bitmap makeStamp(const Bitmap& src, int w, int h, int bpp);

}  // namespace qova::engine
