// The document's region and floater, and the geometry of the page shown
// (the whole bitmap changes and the region travels with the pixels).
#include <cmath>

#include "codes.h"
#include "document.h"
#include "engine_error.h"
#include "handles.h"
#include "ops/compose.h"
#include "ops/geometry.h"
#include "regions/region_handles.h"

namespace qova::engine {

namespace {

[[noreturn]] void badHandle() { throw EngineError(kErrBadHandle, "ﾋﾞｯﾄﾏｯﾌﾟﾊﾝﾄﾞﾙが不正です。"); }

}  // namespace

void ImageDocument::setRegion(const Region& r) {
    region_ = r;
    ++regionRevision_;
}

void ImageDocument::offsetRegion(int dx, int dy) {
    if (region_.isEmpty() || (dx == 0 && dy == 0)) return;
    region_.offset(dx, dy);
    ++regionRevision_;
}

int32_t ImageDocument::regionHandle() const { return region_.isEmpty() ? 0 : regionHandleCreate(region_); }

void ImageDocument::setRegionFromHandle(int32_t handle, int x, int y, int mode) {
    requireImage();
    std::optional<Region> r = regionHandleGet(handle);
    if (!r) badHandle();
    if (mode != 1) throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。");
    r->offset(x, y);
    setRegion(*r);
}

int16_t ImageDocument::liftFloater(uint32_t sourceHandle) {
    Bitmap src;
    if (sourceHandle == handle_) src = currentBitmap();
    else if (!HandleTable::instance().get(sourceHandle, src)) badHandle();
    if (src.isNull()) badHandle();
    if (region_.isEmpty()) return kErrBadParam;
    Floater f;
    const int16_t code = engine::liftFloater(src, region_, f);
    if (code == kOk) floater_ = std::move(f);
    return code;
}

void ImageDocument::dropFloater() { floater_ = Floater(); }

uint32_t ImageDocument::floaterHandle() const {
    if (floater_.isNull()) return 0;
    if (!floaterHandle_)
        floaterHandle_ = HandleTable::instance().addProvider([this]() { return floater_.bitmap; },
                                                             [this]() { return floater_.region; });
    return floaterHandle_;
}

int16_t ImageDocument::transformPage(const GeometryOp& op) {
    if (isEmpty()) return kErrBadHandle;
    Bitmap page = currentBitmap();
    Region r = region_;
    const int16_t code = op(page, r.isEmpty() ? nullptr : &r);
    if (code != kOk) return code;
    if (!region_.isEmpty()) setRegion(r);
    setCurrentBitmap(page);
    return kOk;
}

int16_t ImageDocument::flip(const ProgressFn& progress) {
    return transformPage([&](Bitmap& b, Region* r) { return ops::flip(b, r, progress); });
}

int16_t ImageDocument::reverse(const ProgressFn& progress) {
    return transformPage([&](Bitmap& b, Region* r) { return ops::reverse(b, r, progress); });
}

int16_t ImageDocument::rotate(int hundredths, bool enlarge, uint32_t fill, const ProgressFn& progress) {
    return transformPage([&](Bitmap& b, Region* r) { return ops::rotate(b, hundredths, enlarge, fill, r, progress); });
}

int16_t ImageDocument::shear(int hundredths, bool horizontal, uint32_t fill, const ProgressFn& progress) {
    return transformPage(
        [&](Bitmap& b, Region* r) { return ops::shear(b, hundredths, horizontal, fill, r, progress); });
}

int16_t ImageDocument::resize(int width, int height, int flags, const ProgressFn& progress) {
    return transformPage([&](Bitmap& b, Region* r) { return ops::resize(b, width, height, flags, r, progress); });
}

int16_t ImageDocument::fill(uint32_t colour, const ProgressFn& progress) {
    return applyToPage([&](Bitmap& b, const Region* r) { return ops::fill(b, colour, r, progress); });
}

int16_t ImageDocument::adoptPalette(uint32_t handle) {
    Bitmap src;
    if (!HandleTable::instance().get(handle, src)) return kErrBadHandle;
    if (isEmpty()) return kErrBadHandle;
    const Bitmap& page = currentBitmap();
    if (!page.hasPalette() || !src.hasPalette() || page.bpp() != src.bpp()) return kErrBadParam;
    if (page.palette() == src.palette()) return kOk;
    Bitmap b = page;
    b.setPalette(src.palette());
    setCurrentBitmap(b);
    return kOk;
}

}  // namespace qova::engine
