// The floater: a lifted copy of a region's pixels. Its bitmap is the
// region's bounding box (clipped to the source bitmap) and its region is the
// same shape relative to the floater's own top-left corner.
#pragma once

#include <cstdint>

#include "../bitmap.h"
#include "region.h"

namespace qova::engine {

struct Floater {
    Bitmap bitmap;
    Region region;   // relative to the floater's (0, 0)
    int left = 0;    // where it was lifted from, in source bitmap pixels
    int top = 0;
    bool isNull() const { return bitmap.isNull(); }
};

// Lifts the pixels of `region` from `source`. Pixels of the box outside the
// region are copied as they are; the floater's region says which count.
// kErrBadParam when the region does not meet the bitmap.
int16_t liftFloater(const Bitmap& source, const Region& region, Floater& out);

}  // namespace qova::engine
