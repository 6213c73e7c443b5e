#include "compose.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "../codes.h"
#include "op_support.h"
#include "ranges.h"

namespace qova::engine::ops {

int16_t combine(Bitmap& dst, int dx, int dy, int w, int h, const Bitmap& src, int sx, int sy, int op,
                const Region* dstRegion, const ProgressFn& progress) {
    if (dst.isNull() || src.isNull()) return kErrBadHandle;
    if (op != kCombineCopy && op != kCombineAddDetail) return kErrBadParam;
    if (w <= 0 || h <= 0) return kErrBadParam;
    Progress pr(progress);
    // Only the part of the source that is read is converted.
    const RectI part = RectI{sx, sy, w, h}.intersected(RectI{0, 0, src.width(), src.height()});
    if (part.isEmpty()) return kOk;
    dx += part.x - sx;
    dy += part.y - sy;
    w = std::min(w - (part.x - sx), part.w);
    h = std::min(h - (part.y - sy), part.h);
    if (op == kCombineAddDetail && dst.hasPalette()) {
        Bitmap p = promoted(dst);
        if (p.isNull()) return kErrNoMemory;
        dst = std::move(p);
    }
    Bitmap piece = matchDepth(crop(src, part), dst);
    if (piece.isNull()) return kErrNoMemory;
    pr.to(20);
    if (op == kCombineCopy) {
        copyPixels(dst, dx, dy, piece, 0, 0, w, h, dstRegion);
        return kOk;
    }
    // Add detail: destination + (source − mid-level), alpha kept.
    RectI target = RectI{dx, dy, w, h}.intersected(RectI{0, 0, dst.width(), dst.height()});
    if (dstRegion) target = target.intersected(dstRegion->bounds());
    if (target.isEmpty()) return kOk;
    const bool masked = dstRegion && !dstRegion->isRectangle();
    const int px = dst.bpp() / 8;
    const int ch = dst.bpp() == 32 ? 3 : px;
    uint8_t* base = dst.mutableBits();
    const size_t stride = dst.stride();
    parallelRows(target.y, target.y + target.h, pr, 20, 100, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            uint8_t* d = base + stride * size_t(y);
            const uint8_t* s = piece.row(y - dy);
            const uint8_t* m = masked ? dstRegion->maskRow(y) : nullptr;
            for (int x = target.x; x < target.x + target.w; ++x) {
                if (m && !m[x - dstRegion->bounds().x]) continue;
                if (dst.bpp() == 16) {
                    auto* d16 = reinterpret_cast<uint16_t*>(d);
                    const int v = d16[x] + reinterpret_cast<const uint16_t*>(s)[x - dx] - 32768;
                    d16[x] = uint16_t(std::clamp(v, 0, 65535));
                    continue;
                }
                uint8_t* q = d + size_t(x) * px;
                const uint8_t* p = s + size_t(x - dx) * px;
                for (int c = 0; c < ch; ++c) q[c] = uint8_t(std::clamp(q[c] + p[c] - 128, 0, 255));
            }
        }
    });
    return kOk;
}

int16_t fill(Bitmap& bmp, uint32_t colour, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    const Rgb c = rgbFromRef(colour & 0xFFFFFF);
    if (bmp.hasPalette()) {
        const Palette& p = bmp.palette();
        const auto it = std::find(p.begin(), p.end(), c);
        if (it == p.end()) {
            Bitmap b = bmp.convertTo(24);
            if (b.isNull()) return kErrNoMemory;
            bmp = std::move(b);
        } else if (bmp.bpp() < 8) {
            // Bit-packed: write indices one by one.
            Progress pr(progress);
            const int idx = int(it - p.begin());
            const RectI area = workArea(bmp, region);
            for (int y = area.y; y < area.y + area.h; ++y)
                for (int x = area.x; x < area.x + area.w; ++x)
                    if (!region || region->contains(x, y)) bmp.setIndex(x, y, idx);
            return kOk;
        }
    }
    Progress pr(progress);
    uint8_t value[4] = {c.b, c.g, c.r, 255};
    if (bmp.hasPalette()) value[0] = uint8_t(std::find(bmp.palette().begin(), bmp.palette().end(), c) - bmp.palette().begin());
    else if (bmp.bpp() <= 16) value[0] = uint8_t(luma(c.r, c.g, c.b));
    const int px = bmp.bpp() / 8;
    // One row of the colour, copied into each row as a block.
    std::vector<uint8_t> pattern(size_t(bmp.width()) * px);
    if (px == 2) {
        const uint16_t v = uint16_t(value[0] * 257);
        for (size_t i = 0; i < pattern.size(); i += 2) std::memcpy(&pattern[i], &v, 2);
    } else {
        for (size_t i = 0; i < pattern.size(); i += size_t(px)) std::memcpy(&pattern[i], value, size_t(px));
    }
    forRows(bmp, region, pr, 0, 100, [&](const uint8_t*, uint8_t* d, int, int x0, int x1) {
        std::memcpy(d + size_t(x0) * px, pattern.data() + size_t(x0) * px, size_t(x1 - x0) * px);
    });
    return kOk;
}

int16_t createBitmap(int width, int height, int bpp, bool grey, Bitmap& out) {
    int16_t code = kOk;
    // Every byte 0xFF is white at each depth: the last entry of the default
    // grey and VGA palettes, full grey levels, opaque white pixels.
    Bitmap b = Bitmap::createFilled(width, height, bpp, grey, 0xFF, &code);
    if (b.isNull()) return code;
    out = std::move(b);
    return kOk;
}

int16_t paletteEntry(const Bitmap& bmp, int index, uint32_t& colour) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!bmp.hasPalette() || index < 0 || index >= int(bmp.palette().size())) return kErrBadParam;
    colour = refFromRgb(bmp.palette()[size_t(index)]);
    return kOk;
}

int16_t setPaletteEntry(Bitmap& bmp, int index, uint32_t colour) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!bmp.hasPalette() || index < 0 || index >= (1 << bmp.bpp())) return kErrBadParam;
    Palette p = bmp.palette();
    if (index >= int(p.size())) p.resize(size_t(index) + 1);
    p[size_t(index)] = rgbFromRef(colour);
    bmp.setPalette(std::move(p));
    return kOk;
}

}  // namespace qova::engine::ops
