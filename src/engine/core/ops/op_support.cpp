#include "op_support.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/core/hal/intrin.hpp>

#include "../pixel_memory.h"
#include "pixel_runs.h"

namespace qova::engine::ops {

Progress::Progress(const ProgressFn& fn) : fn_(fn) { to(0); }

Progress::~Progress() { done(); }

void Progress::to(int percent) {
    percent = std::clamp(percent, 0, 99);
    if (percent <= last_) return;
    last_ = percent;
    if (fn_) fn_(percent);
}

void Progress::done() {
    if (last_ >= 100) return;
    last_ = 100;
    if (fn_) fn_(100);
}

namespace {

// About twenty reports per operation, never bands thinner than 16 rows.
int bandCount(int rows) { return std::clamp(rows / 16, 1, 20); }

void runBands(int begin, int end, Progress& pr, int pctFrom, int pctTo, const BandFn& fn, bool parallel,
              int grain) {
    const int rows = end - begin;
    if (rows <= 0) return;
    const int bands = bandCount(rows);
    for (int b = 0; b < bands; ++b) {
        const int b0 = begin + int(int64_t(rows) * b / bands);
        const int b1 = begin + int(int64_t(rows) * (b + 1) / bands);
        if (parallel && b1 - b0 > 1) {
            cv::parallel_for_(cv::Range(b0, b1), [&](const cv::Range& r) { fn(r.start, r.end); },
                              std::max(1.0, double(b1 - b0) / std::max(1, grain)));
        } else {
            fn(b0, b1);
        }
        pr.to(pctFrom + (pctTo - pctFrom) * (b + 1) / bands);
    }
}

}  // namespace

void parallelRows(int begin, int end, Progress& pr, int pctFrom, int pctTo, const BandFn& fn, int grain) {
    runBands(begin, end, pr, pctFrom, pctTo, fn, true, grain);
}

void serialRows(int begin, int end, Progress& pr, int pctFrom, int pctTo, const BandFn& fn) {
    runBands(begin, end, pr, pctFrom, pctTo, fn, false, 1);
}

RectI workArea(const Bitmap& bmp, const Region* region) {
    const RectI all{0, 0, bmp.width(), bmp.height()};
    return region ? region->bounds().intersected(all) : all;
}

namespace {

// Copies the pixels of row y left and right of the area from src to dst.
void keepOutside(const uint8_t* src, uint8_t* dst, size_t stride, int bpp, const RectI& area) {
    const size_t left = size_t(area.x) * bpp, right = size_t(area.x + area.w) * bpp;
    std::memcpy(dst, src, left);
    std::memcpy(dst + right, src + right, stride - right);
}

// Walks [x0, x1) of a mask row (bytes 0 or 1 from maskX) in runs of one
// value: inside(a, b) for the pixels the region holds, outside(a, b) for the
// rest. Finding each run's end is a memchr, so a shape's row of thousands of
// pixels costs a few calls rather than a test per pixel.
template <typename In, typename Out>
void maskRuns(const uint8_t* m, int maskX, int x0, int x1, const In& inside, const Out& outside) {
    int x = x0;
    while (x < x1) {
        const uint8_t v = m[x - maskX];
        const void* next = std::memchr(m + (x - maskX), v ^ 1, size_t(x1 - x));
        const int end = next ? int(static_cast<const uint8_t*>(next) - m) + maskX : x1;
        if (v) inside(x, end);
        else outside(x, end);
        x = end;
    }
}

}  // namespace

Bitmap blankLike(const Bitmap& bmp) {
    Bitmap out = pixel_memory::createForRewrite(bmp.width(), bmp.height(), bmp.bpp(), bmp.isGrey());
    if (!out.isNull()) out.setPalette(bmp.palette());
    return out;
}

bool detachForRewrite(Bitmap& bmp, Bitmap& old) {
    old = Bitmap();
    if (!bmp.isShared()) return false;
    Bitmap fresh = blankLike(bmp);
    if (fresh.isNull()) return false;
    old = std::move(bmp);
    bmp = std::move(fresh);
    return true;
}

void forRows(Bitmap& bmp, const Region* region, Progress& pr, int pctFrom, int pctTo, const RowFn& fn) {
    const RectI area = workArea(bmp, region);
    if (area.isEmpty()) return;
    const int bpp = bytesPerPixel(bmp.bpp());
    const size_t stride = bmp.stride();
    const bool masked = region && !region->isRectangle();
    const int maskX = masked ? region->bounds().x : 0;
    // Shared pixels: rather than copying them and rewriting the copy, the new
    // rows are written straight into a fresh buffer from the old ones, which
    // goes over the memory once instead of twice.
    Bitmap old;
    if (detachForRewrite(bmp, old)) {
        const uint8_t* in = old.bits();
        uint8_t* out = bmp.mutableBits();
        parallelRows(0, bmp.height(), pr, pctFrom, pctTo, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uint8_t* s = in + stride * size_t(y);
                uint8_t* d = out + stride * size_t(y);
                if (y < area.y || y >= area.y + area.h) {
                    std::memcpy(d, s, stride);
                    continue;
                }
                keepOutside(s, d, stride, bpp, area);
                const uint8_t* m = masked ? region->maskRow(y) : nullptr;
                if (!m) {
                    fn(s, d, y, area.x, area.x + area.w);
                    continue;
                }
                maskRuns(m, maskX, area.x, area.x + area.w, [&](int a, int b) { fn(s, d, y, a, b); },
                         [&](int a, int b) {
                             std::memcpy(d + size_t(a) * bpp, s + size_t(a) * bpp, size_t(b - a) * bpp);
                         });
            }
        });
        return;
    }
    uint8_t* base = bmp.mutableBits();
    parallelRows(area.y, area.y + area.h, pr, pctFrom, pctTo, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            uint8_t* row = base + stride * size_t(y);
            const uint8_t* m = masked ? region->maskRow(y) : nullptr;
            if (!m) {
                fn(row, row, y, area.x, area.x + area.w);
                continue;
            }
            maskRuns(m, maskX, area.x, area.x + area.w, [&](int a, int b) { fn(row, row, y, a, b); },
                     [](int, int) {});
        }
    });
}

void copyPixels(Bitmap& dst, int dx, int dy, const Bitmap& src, int sx, int sy, int w, int h,
                const Region* dstRegion) {
    // Clip the rectangle against both bitmaps.
    if (sx < 0) { dx -= sx; w += sx; sx = 0; }
    if (sy < 0) { dy -= sy; h += sy; sy = 0; }
    if (dx < 0) { sx -= dx; w += dx; dx = 0; }
    if (dy < 0) { sy -= dy; h += dy; dy = 0; }
    w = std::min({w, src.width() - sx, dst.width() - dx});
    h = std::min({h, src.height() - sy, dst.height() - dy});
    if (w <= 0 || h <= 0) return;
    RectI target{dx, dy, w, h};
    if (dstRegion) target = target.intersected(dstRegion->bounds());
    if (target.isEmpty()) return;
    const bool masked = dstRegion && !dstRegion->isRectangle();
    const int offX = sx - dx, offY = sy - dy;
    if (dst.bpp() >= 8) {
        const int bpp = bytesPerPixel(dst.bpp());
        for (int y = target.y; y < target.y + target.h; ++y) {
            uint8_t* d = dst.mutableRow(y);
            const uint8_t* s = src.row(y + offY);
            const uint8_t* m = masked ? dstRegion->maskRow(y) : nullptr;
            if (!m) {
                std::memcpy(d + size_t(target.x) * bpp, s + size_t(target.x + offX) * bpp, size_t(target.w) * bpp);
                continue;
            }
            maskRuns(m, dstRegion->bounds().x, target.x, target.x + target.w,
                     [&](int a, int b) {
                         std::memcpy(d + size_t(a) * bpp, s + size_t(a + offX) * bpp, size_t(b - a) * bpp);
                     },
                     [](int, int) {});
        }
        return;
    }
    for (int y = target.y; y < target.y + target.h; ++y) {
        const uint8_t* m = masked ? dstRegion->maskRow(y) : nullptr;
        const int mo = masked ? dstRegion->bounds().x : 0;
        for (int x = target.x; x < target.x + target.w; ++x)
            if (!m || m[x - mo]) dst.setIndex(x, y, src.index(x + offX, y + offY));
    }
}

Bitmap promoted(const Bitmap& bmp) {
    if (!bmp.hasPalette()) return bmp;
    if (!isGreyPalette(bmp.palette())) return bmp.convertTo(24);
    Bitmap out = Bitmap::create(bmp.width(), bmp.height(), 8, true);
    if (out.isNull()) return out;
    uint8_t map[256] = {};
    for (size_t i = 0; i < bmp.palette().size() && i < 256; ++i) map[i] = bmp.palette()[i].r;
    for (int y = 0; y < bmp.height(); ++y) {
        uint8_t* d = out.mutableRow(y);
        if (bmp.bpp() == 8) {
            const uint8_t* s = bmp.row(y);
            for (int x = 0; x < bmp.width(); ++x) d[x] = map[s[x]];
        } else {
            for (int x = 0; x < bmp.width(); ++x) d[x] = map[bmp.index(x, y)];
        }
    }
    return out;
}

Bitmap matchDepth(const Bitmap& src, const Bitmap& like) {
    if (src.bpp() == like.bpp() && src.isGrey() == like.isGrey() &&
        (!like.hasPalette() || src.palette() == like.palette()))
        return src;
    if (like.bpp() >= 16) return src.convertTo(like.bpp());
    const int w = src.width(), h = src.height();
    Bitmap out = Bitmap::createFilled(w, h, like.bpp(), like.isGrey(), 0);
    if (out.isNull()) return out;
    if (like.hasPalette()) out.setPalette(like.palette());
    std::unordered_map<uint32_t, int> cache;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const Rgb c = src.pixel(x, y);
            if (like.isGrey()) {
                out.mutableRow(y)[x] = uint8_t(luma(c.r, c.g, c.b));
                continue;
            }
            const uint32_t key = refFromRgb(c);
            auto it = cache.find(key);
            if (it == cache.end()) it = cache.emplace(key, nearestEntry(like.palette(), c)).first;
            out.setIndex(x, y, it->second);
        }
    return out;
}

void lumaRow(const uint8_t* s, int cn, int n, uint8_t* out) {
    if (cn == 3) {
        lumaRun24(s, n, out);
        return;
    }
    int x = 0;
#if CV_SIMD128
    using cv::v_uint16x8;
    const v_uint16x8 wr = cv::v_setall_u16(kLumaR), wg = cv::v_setall_u16(kLumaG), wb = cv::v_setall_u16(kLumaB),
                     half = cv::v_setall_u16(128);
    auto lanes = [&](const v_uint16x8& r, const v_uint16x8& g, const v_uint16x8& b) {
        return (cv::v_mul_wrap(r, wr) + cv::v_mul_wrap(g, wg) + cv::v_mul_wrap(b, wb) + half) >> 8;
    };
    for (; x + 16 <= n; x += 16) {
        cv::v_uint8x16 b, g, r, a;
        if (cn == 3) cv::v_load_deinterleave(s + size_t(x) * 3, b, g, r);
        else cv::v_load_deinterleave(s + size_t(x) * 4, b, g, r, a);
        v_uint16x8 b0, b1, g0, g1, r0, r1;
        cv::v_expand(b, b0, b1); cv::v_expand(g, g0, g1); cv::v_expand(r, r0, r1);
        cv::v_store(out + x, cv::v_pack(lanes(r0, g0, b0), lanes(r1, g1, b1)));
    }
#endif
    for (; x < n; ++x) {
        const uint8_t* p = s + size_t(x) * cn;
        out[x] = uint8_t(luma(p[2], p[1], p[0]));
    }
}

void LevelCounts::add(const uint8_t* levels, int n) {
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        ++t[0][levels[x]]; ++t[1][levels[x + 1]]; ++t[2][levels[x + 2]]; ++t[3][levels[x + 3]];
    }
    for (; x < n; ++x) ++t[0][levels[x]];
}

void LevelCounts::addTo(uint64_t* hist) const {
    for (int i = 0; i < 256; ++i) hist[i] += uint64_t(t[0][i]) + t[1][i] + t[2][i] + t[3][i];
}

PairCounts::PairCounts() : pairs(2 * 65536, 0) {}

void PairCounts::add(const uint8_t* levels, int n) {
    uint32_t* a = pairs.data();
    uint32_t* b = a + 65536;
    int x = 0;
    for (; x + 4 <= n; x += 4) {
        uint16_t p0, p1;
        std::memcpy(&p0, levels + x, 2);
        std::memcpy(&p1, levels + x + 2, 2);
        ++a[p0];
        ++b[p1];
    }
    for (; x < n; ++x) ++single[levels[x]];
}

void PairCounts::addTo(uint64_t* hist) const {
    for (int i = 0; i < 256; ++i) hist[i] += single[i];
    const uint32_t* a = pairs.data();
    const uint32_t* b = a + 65536;
    for (int v = 0; v < 65536; ++v) {
        const uint64_t c = uint64_t(a[v]) + b[v];
        if (!c) continue;
        hist[v & 255] += c;
        hist[v >> 8] += c;
    }
}

}  // namespace qova::engine::ops
