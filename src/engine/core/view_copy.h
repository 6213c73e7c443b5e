// The reduced copy a view paints when a picture is shown smaller than it
// is: made where the pixels are (the read-ahead's worker, or the view), the
// same wherever it is made.
#pragma once

#include "bitmap.h"

namespace qova::engine {

// True when `b` reduces straight into a bitmap of its own depth (8-bit
// grey, 16-bit grey, 24 and 32 bits); others go through 24 bits first.
bool reducesInPlaceDepth(const Bitmap& b);

// `b` reduced (area-averaged in effect) to w × h, in b's depth for the
// depths above, else in 24 bits; a null bitmap when w or h is not positive
// or memory runs short. Exact 2×2 halvings while the picture stays at least
// twice the wanted size, then one bilinear step of less than 2×: as smooth
// as a full area average for photos and several times faster.
Bitmap reducedCopy(const Bitmap& b, int w, int h);

}  // namespace qova::engine
