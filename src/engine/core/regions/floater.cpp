#include "floater.h"

#include <vector>

#include "../codes.h"

namespace qova::engine {

int16_t liftFloater(const Bitmap& source, const Region& region, Floater& out) {
    if (source.isNull()) return kErrBadHandle;
    const RectI box = region.bounds().intersected(RectI{0, 0, source.width(), source.height()});
    if (box.isEmpty()) return kErrBadParam;
    Floater f;
    f.bitmap = crop(source, box);
    if (f.bitmap.isNull()) return kErrNoMemory;
    // The region clipped to the bitmap, moved to the floater's origin.
    std::vector<uint8_t> m(size_t(box.w) * size_t(box.h));
    for (int y = 0; y < box.h; ++y)
        for (int x = 0; x < box.w; ++x) m[size_t(y) * box.w + x] = region.contains(box.x + x, box.y + y);
    f.region = Region::fromMask(0, 0, box.w, box.h, m.data(), size_t(box.w));
    f.left = box.x;
    f.top = box.y;
    out = std::move(f);
    return kOk;
}

}  // namespace qova::engine
