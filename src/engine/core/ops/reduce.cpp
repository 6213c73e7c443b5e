#include "reduce.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <memory>
#include <numeric>

#include "../codes.h"
#include "op_support.h"
#include "../pixel_memory.h"
#include "ranges.h"

namespace qova::engine::ops {

namespace {

constexpr int kBayer8[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                               {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
                               {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
                               {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

// Brings the pixels the result depends on into 24 bits.
Bitmap as24(const Bitmap& b) { return b.bpp() == 24 ? b : b.convertTo(24); }

// Writes `result` (covering `area`) into bmp inside the region, at bmp's
// depth; a palette bmp is promoted first.
int16_t mergeInto(Bitmap& bmp, const Bitmap& result, const RectI& area, const Region* region) {
    Bitmap target = promoted(bmp);
    if (target.isNull()) return kErrNoMemory;
    const Bitmap piece = matchDepth(result, target);
    if (piece.isNull()) return kErrNoMemory;
    copyPixels(target, area.x, area.y, piece, 0, 0, area.w, area.h, region);
    bmp = std::move(target);
    return kOk;
}

// Median cut over colours counted in 5-bit cells, with the cells' exact
// colour sums so entries are the true averages.
struct Cell {
    uint32_t count;
    uint64_t sum[3];  // r, g, b
    uint8_t key[3];   // 5-bit r, g, b
};

Palette medianCut(std::vector<Cell> cells, int n) {
    Palette pal;
    if (cells.empty()) return Palette{Rgb{}};
    struct Box { size_t b, e; };
    std::vector<Box> boxes{{0, cells.size()}};
    auto extent = [&](const Box& bx, int& axis) {
        int lo[3] = {31, 31, 31}, hi[3] = {0, 0, 0};
        for (size_t i = bx.b; i < bx.e; ++i)
            for (int c = 0; c < 3; ++c) { lo[c] = std::min<int>(lo[c], cells[i].key[c]); hi[c] = std::max<int>(hi[c], cells[i].key[c]); }
        axis = 0;
        for (int c = 1; c < 3; ++c) if (hi[c] - lo[c] > hi[axis] - lo[axis]) axis = c;
        return hi[axis] - lo[axis];
    };
    while (int(boxes.size()) < n) {
        // Split the box with the widest spread weighted by its pixels.
        int best = -1, bestAxis = 0;
        double bestScore = 0;
        for (size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].e - boxes[i].b < 2) continue;
            int axis;
            const int ext = extent(boxes[i], axis);
            uint64_t pixels = 0;
            for (size_t k = boxes[i].b; k < boxes[i].e; ++k) pixels += cells[k].count;
            const double score = double(ext + 1) * std::sqrt(double(pixels));
            if (ext > 0 && score > bestScore) { bestScore = score; best = int(i); bestAxis = axis; }
        }
        if (best < 0) break;
        Box bx = boxes[size_t(best)];
        std::sort(cells.begin() + long(bx.b), cells.begin() + long(bx.e),
                  [&](const Cell& a, const Cell& c) { return a.key[bestAxis] < c.key[bestAxis]; });
        uint64_t total = 0;
        for (size_t k = bx.b; k < bx.e; ++k) total += cells[k].count;
        uint64_t acc = 0;
        size_t mid = bx.b + 1;
        for (size_t k = bx.b; k < bx.e - 1; ++k) {
            acc += cells[k].count;
            mid = k + 1;
            if (acc * 2 >= total) break;
        }
        boxes[size_t(best)] = Box{bx.b, mid};
        boxes.push_back(Box{mid, bx.e});
    }
    for (const Box& bx : boxes) {
        uint64_t s[3] = {0, 0, 0}, cnt = 0;
        for (size_t k = bx.b; k < bx.e; ++k) {
            cnt += cells[k].count;
            for (int c = 0; c < 3; ++c) s[c] += cells[k].sum[c];
        }
        if (!cnt) continue;
        pal.push_back(Rgb{uint8_t((s[0] + cnt / 2) / cnt), uint8_t((s[1] + cnt / 2) / cnt), uint8_t((s[2] + cnt / 2) / cnt)});
    }
    return pal;
}

void countCells(const Bitmap& b24, std::vector<uint32_t>& count, std::vector<uint64_t>& sums) {
    for (int y = 0; y < b24.height(); ++y) {
        const uint8_t* s = b24.row(y);
        for (int x = 0; x < b24.width(); ++x, s += 3) {
            const uint32_t k = (uint32_t(s[2] >> 3) << 10) | (uint32_t(s[1] >> 3) << 5) | (s[0] >> 3);
            ++count[k];
            sums[k * 3] += s[2]; sums[k * 3 + 1] += s[1]; sums[k * 3 + 2] += s[0];
        }
    }
}

Palette optimisedPalette(const std::vector<Bitmap>& images, int n) {
    std::vector<uint32_t> count(32768, 0);
    std::vector<uint64_t> sums(32768 * 3, 0);
    for (const Bitmap& b : images) countCells(b, count, sums);
    std::vector<Cell> cells;
    for (uint32_t k = 0; k < 32768; ++k) {
        if (!count[k]) continue;
        cells.push_back(Cell{count[k], {sums[k * 3], sums[k * 3 + 1], sums[k * 3 + 2]},
                             {uint8_t(k >> 10), uint8_t((k >> 5) & 31), uint8_t(k & 31)}});
    }
    return medianCut(std::move(cells), n);
}

Palette fixedPalette(int n) {
    if (n <= 2) return Palette{Rgb{0, 0, 0}, Rgb{255, 255, 255}};
    if (n < 8) return Bitmap::greyPalette(n);
    if (n == 16) return Bitmap::vgaPalette();
    // Even colour cube as large as fits (green gets the extra level), the
    // rest a grey ramp.
    int lr = 2, lg = 2, lb = 2;
    for (;;) {
        if ((lg + 1) * lr * lb <= n && lg <= lr) ++lg;
        else if (lg * (lr + 1) * lb <= n && lr <= lb) ++lr;
        else if (lg * lr * (lb + 1) <= n) ++lb;
        else break;
    }
    Palette p;
    for (int r = 0; r < lr; ++r)
        for (int g = 0; g < lg; ++g)
            for (int b = 0; b < lb; ++b)
                p.push_back(Rgb{uint8_t(r * 255 / (lr - 1)), uint8_t(g * 255 / (lg - 1)), uint8_t(b * 255 / (lb - 1))});
    const int rest = n - int(p.size());
    for (int i = 1; i <= rest; ++i) {
        const uint8_t v = uint8_t(i * 255 / (rest + 1));
        p.push_back(Rgb{v, v, v});
    }
    return p;
}

// Nearest palette entry of a 5-bit cell (its centre), found the first time
// a pixel falls into the cell: a picture uses a fraction of the 32768 cells,
// and a small one (a dialog's preview) a small fraction, so filling the
// whole table first would cost more than the mapping. Rows mapped in
// parallel may find the same cell at once; both store the same entry.
class InverseMap {
public:
    explicit InverseMap(const Palette& pal) : pal_(pal), map_(new std::atomic<int16_t>[32768]) {
        for (uint32_t k = 0; k < 32768; ++k) map_[k].store(-1, std::memory_order_relaxed);
    }
    uint8_t operator[](uint32_t k) const {
        int16_t v = map_[k].load(std::memory_order_relaxed);
        if (v < 0) {
            const Rgb c{uint8_t(((k >> 10) << 3) | 4), uint8_t((((k >> 5) & 31) << 3) | 4), uint8_t(((k & 31) << 3) | 4)};
            v = int16_t(nearestEntry(pal_, c));
            map_[k].store(v, std::memory_order_relaxed);
        }
        return uint8_t(v);
    }

private:
    const Palette& pal_;
    std::unique_ptr<std::atomic<int16_t>[]> map_;
};

inline uint32_t cellOf(int r, int g, int b) { return (uint32_t(r >> 3) << 10) | (uint32_t(g >> 3) << 5) | uint32_t(b >> 3); }

// Maps a 24-bit image to palette indices (one byte each) with dithering.
Bitmap mapToPalette(const Bitmap& src, const Palette& pal, int dither, Progress& pr, int from, int to) {
    const int w = src.width(), h = src.height();
    Bitmap idx = Bitmap::create(w, h, 8, false);
    if (idx.isNull()) return idx;
    idx.setPalette(pal);
    const InverseMap map(pal);
    if (dither == kDitherDiffusion) {
        // Floyd–Steinberg must run in order; errors in 1/16 units.
        std::vector<int> cur(size_t(w + 2) * 3, 0), next(size_t(w + 2) * 3, 0);
        serialRows(0, h, pr, from, to, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uint8_t* s = src.row(y);
                uint8_t* d = idx.mutableRow(y);
                std::fill(next.begin(), next.end(), 0);
                for (int x = 0; x < w; ++x) {
                    int c[3];
                    for (int k = 0; k < 3; ++k)
                        c[k] = std::clamp(int(s[x * 3 + 2 - k]) + cur[size_t(x + 1) * 3 + k] / 16, 0, 255);
                    const uint8_t i = map[cellOf(c[0], c[1], c[2])];
                    d[x] = i;
                    const Rgb p = pal[i];
                    const int e[3] = {c[0] - p.r, c[1] - p.g, c[2] - p.b};
                    for (int k = 0; k < 3; ++k) {
                        cur[size_t(x + 2) * 3 + k] += e[k] * 7;
                        next[size_t(x) * 3 + k] += e[k] * 3;
                        next[size_t(x + 1) * 3 + k] += e[k] * 5;
                        next[size_t(x + 2) * 3 + k] += e[k];
                    }
                }
                std::swap(cur, next);
            }
        });
        return idx;
    }
    // Ordered dithering spreads by about one palette step per channel.
    const int spread = dither == kDitherOrdered ? int(256 / std::max(2.0, std::cbrt(double(pal.size())))) : 0;
    parallelRows(0, h, pr, from, to, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = src.row(y);
            uint8_t* d = idx.mutableRow(y);
            for (int x = 0; x < w; ++x, s += 3) {
                const int o = spread ? (kBayer8[y & 7][x & 7] - 32) * spread / 64 : 0;
                d[x] = map[cellOf(std::clamp(s[2] + o, 0, 255), std::clamp(s[1] + o, 0, 255),
                                  std::clamp(s[0] + o, 0, 255))];
            }
        }
    });
    return idx;
}

int storageBits(int bits) { return bits == 1 ? 1 : bits <= 4 ? 4 : 8; }

Bitmap packIndex(const Bitmap& idx, int bits) {
    const int sb = storageBits(bits);
    if (sb == 8) return idx;
    Bitmap out = Bitmap::createFilled(idx.width(), idx.height(), sb, false, 0);
    if (out.isNull()) return out;
    out.setPalette(idx.palette());
    for (int y = 0; y < idx.height(); ++y) {
        const uint8_t* s = idx.row(y);
        uint8_t* d = out.mutableRow(y);
        for (int x = 0; x < idx.width(); ++x) {
            if (sb == 1) { if (s[x] & 1) d[x >> 3] |= uint8_t(0x80 >> (x & 7)); }
            else d[x >> 1] |= uint8_t((s[x] & 15) << ((x & 1) ? 0 : 4));
        }
    }
    return out;
}

// 16-bit choice: channels keep 5, 6 and 5 bits, rounded and widened back.
void to565(Bitmap& b24, Progress& pr) {
    forRows(b24, nullptr, pr, 10, 100, [](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
        for (int x = x0 * 3; x < x1 * 3; x += 3) {
            const int b = std::min(31, (s[x] + 4) >> 3), g = std::min(63, (s[x + 1] + 2) >> 2), r = std::min(31, (s[x + 2] + 4) >> 3);
            d[x] = uint8_t(b * 255 / 31); d[x + 1] = uint8_t(g * 255 / 63); d[x + 2] = uint8_t(r * 255 / 31);
        }
    });
}

bool validBits(int bits) { return (bits >= 1 && bits <= 8) || bits == 16 || bits == 24 || bits == 32; }

}  // namespace

int16_t greyscale(Bitmap& bmp, int bits, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (bits != 8 && bits != 16) return kErrBadParam;
    Progress pr(progress);
    if (region) {
        const RectI area = workArea(bmp, region);
        if (area.isEmpty()) return kOk;
        const Bitmap part = crop(bmp, area);
        const Bitmap grey = part.isGrey() ? part : part.convertTo(16);
        if (grey.isNull()) return kErrNoMemory;
        pr.to(50);
        return mergeInto(bmp, grey, area, region);
    }
    if (bmp.bpp() == bits && bmp.isGrey()) return kOk;
    int16_t code = kOk;
    // Every byte is written below, row padding included.
    Bitmap out = pixel_memory::createForRewrite(bmp.width(), bmp.height(), bits, true, &code);
    if (out.isNull()) return code;
    const Bitmap src = bmp.bpp() < 8 || bmp.hasPalette() ? bmp.convertTo(24) : bmp;
    if (src.isNull()) return kErrNoMemory;
    const int n = src.bpp() / 8;
    uint8_t* outBits = out.mutableBits();
    const size_t used = size_t(out.width()) * size_t(bits / 8);
    parallelRows(0, bmp.height(), pr, 0, 100, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = src.row(y);
            uint8_t* d = outBits + out.stride() * size_t(y);
            std::memset(d + used, 0, out.stride() - used);
            if (bits == 8 && n >= 3) {
                // (l · 257 + 128) / 257 is l: the level itself.
                lumaRow(s, n, src.width(), d);
                continue;
            }
            for (int x = 0; x < src.width(); ++x) {
                int v16;  // 0..65535
                if (n >= 3) v16 = luma(s[x * n + 2], s[x * n + 1], s[x * n]) * 257;
                else if (n == 2) v16 = reinterpret_cast<const uint16_t*>(s)[x];
                else v16 = s[x] * 257;
                if (bits == 8) d[x] = uint8_t((v16 + 128) / 257);
                else reinterpret_cast<uint16_t*>(d)[x] = uint16_t(v16);
            }
        }
    });
    bmp = std::move(out);
    return kOk;
}

int16_t colourResolutionList(std::vector<Bitmap>& frames, int bits, int options, int dither, int colours,
                             const ProgressFn& progress) {
    if (!validBits(bits) || dither < kDitherNone || dither > kDitherDiffusion) return kErrBadParam;
    if (bits <= 8 && (colours < 0 || colours == 1 || colours > (1 << bits))) return kErrBadParam;
    for (const Bitmap& f : frames) if (f.isNull()) return kErrBadHandle;
    Progress pr(progress);
    const int nf = std::max<int>(1, int(frames.size()));
    if (bits > 8) {
        for (size_t i = 0; i < frames.size(); ++i) {
            Bitmap b = frames[i].convertTo(bits == 32 ? 32 : 24);
            if (b.isNull()) return kErrNoMemory;
            if (bits == 16) to565(b, pr);
            frames[i] = std::move(b);
            pr.to(int((i + 1) * 100 / size_t(nf)));
        }
        return kOk;
    }
    const int n = colours ? colours : 1 << bits;
    std::vector<Bitmap> rgb;
    for (const Bitmap& f : frames) {
        rgb.push_back(as24(f));
        if (rgb.back().isNull()) return kErrNoMemory;
    }
    const Palette pal = (options & kResOptimised) ? optimisedPalette(rgb, n) : fixedPalette(n);
    pr.to(10);
    for (size_t i = 0; i < frames.size(); ++i) {
        const int from = 10 + int(i * 90 / size_t(nf)), to = 10 + int((i + 1) * 90 / size_t(nf));
        Bitmap idx = mapToPalette(rgb[i], pal, dither, pr, from, to);
        if (idx.isNull()) return kErrNoMemory;
        rgb[i] = Bitmap();
        Bitmap packed = packIndex(idx, bits);
        if (packed.isNull()) return kErrNoMemory;
        frames[i] = std::move(packed);
    }
    return kOk;
}

int16_t colourResolution(Bitmap& bmp, int bits, int options, int dither, int colours, const Region* region,
                         const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!region) {
        std::vector<Bitmap> one{bmp};
        bmp = Bitmap();  // the list holds the only reference while it works
        const int16_t c = colourResolutionList(one, bits, options, dither, colours, progress);
        bmp = std::move(one[0]);
        return c;
    }
    const RectI area = workArea(bmp, region);
    if (!validBits(bits)) return kErrBadParam;
    if (area.isEmpty()) return kOk;
    std::vector<Bitmap> one{crop(bmp, area)};
    const int16_t c = colourResolutionList(one, bits, options, dither, colours, progress);
    if (c != kOk) return c;
    return mergeInto(bmp, one[0], area, region);
}

int16_t halftone(Bitmap& bmp, int kind, int angle, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if ((kind != kHalftonePrint && kind != kHalftoneView) || angle < kRangeHalftoneAngle.min ||
        angle > kRangeHalftoneAngle.max)
        return kErrBadParam;
    const RectI area = workArea(bmp, region);
    if (area.isEmpty()) { Progress pr(progress); return kOk; }
    const Bitmap part = region ? crop(bmp, area) : bmp;
    Bitmap grey = part;
    if (const int16_t c = greyscale(grey, 8)) return c;
    Progress pr(progress);
    const int w = grey.width(), h = grey.height();
    Bitmap out = Bitmap::createFilled(w, h, 1, false, 0);
    if (out.isNull()) return kErrNoMemory;
    out.setPalette(Palette{Rgb{0, 0, 0}, Rgb{255, 255, 255}});
    const double th = angle * M_PI / 180.0, ca = std::cos(th), sa = std::sin(th);
    constexpr double kCell = 8.0;
    // Screen threshold of the print kind, one per pixel position of a
    // cell-sized tile is not enough once turned, so it is computed per pixel.
    parallelRows(0, h, pr, 0, region ? 90 : 100, [&](int y0, int y1) {
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = grey.row(y);
            uint8_t* d = out.mutableRow(y);
            const int gy = y + area.y;
            for (int x = 0; x < w; ++x) {
                const int gx = x + area.x;
                int t;  // 0..255: white when the level is above it
                if (kind == kHalftoneView) {
                    t = kBayer8[gy & 7][gx & 7] * 4 + 2;
                } else {
                    const double u = (gx * ca + gy * sa) / kCell, v = (-gx * sa + gy * ca) / kCell;
                    const double fu = u - std::floor(u), fv = v - std::floor(v);
                    // Round dot: darkest at the cell centre, growing outward.
                    const double spot = (2.0 - std::cos(2 * M_PI * fu) - std::cos(2 * M_PI * fv)) / 4.0;
                    t = int(255.0 * (1.0 - spot));
                }
                if (s[x] > t) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
            }
        }
    }, 32);
    if (!region) {
        bmp = std::move(out);
        return kOk;
    }
    return mergeInto(bmp, out, area, region);
}

}  // namespace qova::engine::ops
