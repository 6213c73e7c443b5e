#include "tone.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <type_traits>
#include <vector>

#include <opencv2/core/hal/intrin.hpp>

#include "../codes.h"
#include "histogram.h"
#include "pixel_runs.h"
#include "op_support.h"
#include "ranges.h"

namespace qova::engine::ops {

namespace {

using Lut = std::array<uint8_t, 256>;
// One table per channel in pixel order: blue, green, red (grey uses [0]).
using Luts = std::array<Lut, 3>;

Luts sameLuts(const Lut& l) { return Luts{l, l, l}; }

template <typename F>
Lut makeLut(F f) {
    Lut l{};
    for (int i = 0; i < 256; ++i) l[size_t(i)] = uint8_t(std::clamp<long>(std::lround(f(double(i))), 0, 255));
    return l;
}

int16_t prepare(Bitmap& bmp, const Region* region) {
    if (bmp.isNull()) return kErrBadHandle;
    if (bmp.hasPalette() && region) {
        Bitmap p = promoted(bmp);
        if (p.isNull()) return kErrNoMemory;
        bmp = std::move(p);
    }
    return kOk;
}

// 16-bit grey: the 8-bit table read between its entries, so smooth tones
// stay smooth.
std::vector<uint16_t> widen(const Lut& l) {
    std::vector<uint16_t> w(65536);
    for (int v = 0; v < 65536; ++v) {
        const double pos = v / 257.0;
        const int i = std::min(254, int(pos));
        const double t = pos - i;
        w[size_t(v)] = uint16_t(std::lround((l[size_t(i)] * (1 - t) + l[size_t(i + 1)] * t) * 257.0));
    }
    return w;
}

void applyLuts(Bitmap& bmp, const Region* region, Progress& pr, const Luts& luts) {
    if (bmp.hasPalette()) {
        Palette p = bmp.palette();
        for (Rgb& c : p) c = Rgb{luts[2][c.r], luts[1][c.g], luts[0][c.b]};
        bmp.setPalette(std::move(p));
        return;
    }
    // One table for every channel (all but a few operations): the row is a
    // run of bytes.
    const bool same = luts[0] == luts[1] && luts[1] == luts[2];
    switch (bmp.bpp()) {
    case 8:
        forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
            lutBytes(s + x0, d + x0, size_t(x1 - x0), luts[0].data());
        });
        break;
    case 16: {
        const std::vector<uint16_t> w = widen(luts[0]);
        forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
            const auto* s16 = reinterpret_cast<const uint16_t*>(s);
            auto* d16 = reinterpret_cast<uint16_t*>(d);
            for (int x = x0; x < x1; ++x) d16[x] = w[s16[x]];
        });
        break;
    }
    case 24:
        if (same) {
            forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
                lutBytes(s + size_t(x0) * 3, d + size_t(x0) * 3, size_t(x1 - x0) * 3, luts[0].data());
            });
            break;
        }
        forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
            const uint8_t *lb = luts[0].data(), *lg = luts[1].data(), *lr = luts[2].data();
            for (int x = x0 * 3; x < x1 * 3; x += 3) {
                d[x] = lb[s[x]]; d[x + 1] = lg[s[x + 1]]; d[x + 2] = lr[s[x + 2]];
            }
        });
        break;
    case 32:
        if (same) {
            forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
                lutBytes(s + size_t(x0) * 4, d + size_t(x0) * 4, size_t(x1 - x0) * 4, luts[0].data(), true);
            });
            break;
        }
        forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
            const uint8_t *lb = luts[0].data(), *lg = luts[1].data(), *lr = luts[2].data();
            for (int x = x0 * 4; x < x1 * 4; x += 4) {
                d[x] = lb[s[x]]; d[x + 1] = lg[s[x + 1]]; d[x + 2] = lr[s[x + 2]]; d[x + 3] = s[x + 3];
            }
        });
        break;
    default: break;
    }
}

int16_t runLut(Bitmap& bmp, const Region* region, const ProgressFn& progress, const Luts& luts) {
    if (const int16_t c = prepare(bmp, region)) return c;
    Progress pr(progress);
    applyLuts(bmp, region, pr, luts);
    return kOk;
}

#if CV_SIMD128
using cv::v_uint8x16;
using cv::v_uint16x8;

// Luminance of 8 pixels in 16-bit lanes, exactly as luma() (the weighted sum
// stays below 65536).
inline v_uint16x8 lumaLanes(const v_uint16x8& r, const v_uint16x8& g, const v_uint16x8& b) {
    const v_uint16x8 sum = cv::v_mul_wrap(r, cv::v_setall_u16(kLumaR)) + cv::v_mul_wrap(g, cv::v_setall_u16(kLumaG)) +
                           cv::v_mul_wrap(b, cv::v_setall_u16(kLumaB)) + cv::v_setall_u16(128);
    return sum >> 8;
}
#endif

struct NoVector {
#if CV_SIMD128
    void operator()(v_uint8x16&, v_uint8x16&, v_uint8x16&) const {}
#endif
};

// Pixels [x0, x1) of a 24 (CN 3) or 32-bit (CN 4) row: `vec` changes 16
// pixels at a time as b, g, r lanes where the CPU has vectors, `f` the rest
// (and must give the same values), or every pixel when vec is NoVector.
// Alpha is kept.
template <int CN, typename V, typename F>
void colourRow(const uint8_t* s, uint8_t* d, int x0, int x1, const V& vec, const F& f) {
    int x = x0;
#if CV_SIMD128
    if constexpr (CN == 3 && !std::is_same_v<V, NoVector>) {
        // Where the processor splits pixels into planes quickly, 64 at a time
        // through the planes.
        if (havePlanes64()) {
            alignas(64) uint8_t pb[64], pg[64], pr[64];
            for (; x + 64 <= x1; x += 64) {
                split64(s + size_t(x) * 3, pb, pg, pr);
                for (int k = 0; k < 64; k += 16) {
                    v_uint8x16 b = cv::v_load_aligned(pb + k), g = cv::v_load_aligned(pg + k), r = cv::v_load_aligned(pr + k);
                    vec(b, g, r);
                    cv::v_store_aligned(pb + k, b);
                    cv::v_store_aligned(pg + k, g);
                    cv::v_store_aligned(pr + k, r);
                }
                join64(pb, pg, pr, d + size_t(x) * 3);
            }
        }
    }
    if constexpr (!std::is_same_v<V, NoVector>) for (; x + 16 <= x1; x += 16) {
        v_uint8x16 b, g, r, a;
        if constexpr (CN == 3) cv::v_load_deinterleave(s + size_t(x) * 3, b, g, r);
        else cv::v_load_deinterleave(s + size_t(x) * 4, b, g, r, a);
        vec(b, g, r);
        if constexpr (CN == 3) cv::v_store_interleave(d + size_t(x) * 3, b, g, r);
        else cv::v_store_interleave(d + size_t(x) * 4, b, g, r, a);
    }
#else
    (void)vec;
#endif
    for (; x < x1; ++x) {
        const uint8_t* p = s + size_t(x) * CN;
        uint8_t* q = d + size_t(x) * CN;
        int r = p[2], g = p[1], b = p[0];
        f(r, g, b);
        q[0] = uint8_t(b); q[1] = uint8_t(g); q[2] = uint8_t(r);
        if constexpr (CN == 4) q[3] = p[3];
    }
}

// A whole-pixel colour function: f(r, g, b) changes the three in place.
// Grey images give their grey level as r = g = b and keep the resulting r.
// `vec`, when given, does the same to 16 pixels of b, g, r lanes at once.
template <typename F, typename V = NoVector>
int16_t runColour(Bitmap& bmp, const Region* region, const ProgressFn& progress, F f, V vec = V{}) {
    if (const int16_t c = prepare(bmp, region)) return c;
    Progress pr(progress);
    if (bmp.hasPalette()) {
        Palette p = bmp.palette();
        for (Rgb& c : p) {
            int r = c.r, g = c.g, b = c.b;
            f(r, g, b);
            c = Rgb{uint8_t(r), uint8_t(g), uint8_t(b)};
        }
        bmp.setPalette(std::move(p));
        return kOk;
    }
    if (bmp.bpp() == 8 || bmp.bpp() == 16) {
        Lut l{};
        for (int i = 0; i < 256; ++i) {
            int r = i, g = i, b = i;
            f(r, g, b);
            l[size_t(i)] = uint8_t(r);
        }
        applyLuts(bmp, region, pr, sameLuts(l));
        return kOk;
    }
    const int n = bmp.bpp() / 8;
    forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
        if (n == 3) colourRow<3>(s, d, x0, x1, vec, f);
        else colourRow<4>(s, d, x0, x1, vec, f);
    });
    return kOk;
}

bool inRange(int v, const ValueRange& r) { return v >= r.min && v <= r.max; }

// Equalising table of the luminance histogram over the region.
Lut equaliseLut(const Bitmap& bmp, const Region* region) {
    Histogram h{};
    histogram(bmp, kHistLuma, h, region);
    uint64_t total = 0;
    for (uint64_t c : h) total += c;
    Lut l{};
    if (total == 0) {
        for (int i = 0; i < 256; ++i) l[size_t(i)] = uint8_t(i);
        return l;
    }
    // Classic cumulative mapping, starting from the first used level so
    // the darkest pixels map to 0.
    uint64_t first = 0;
    for (uint64_t c : h) if (c) { first = c; break; }
    uint64_t cum = 0;
    for (int i = 0; i < 256; ++i) {
        cum += h[size_t(i)];
        const double v = total == first ? i : double(cum - std::min(cum, first)) * 255.0 / double(total - first);
        l[size_t(i)] = uint8_t(std::clamp<long>(std::lround(v), 0, 255));
    }
    return l;
}

}  // namespace

int16_t invert(Bitmap& bmp, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    return runLut(bmp, region, progress, sameLuts(makeLut([](double v) { return 255 - v; })));
}

int16_t brightness(Bitmap& bmp, int value, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(value, kRangeBrightness)) return kErrBadParam;
    const double add = value * 255.0 / 100.0;
    return runLut(bmp, region, progress, sameLuts(makeLut([&](double v) { return v + add; })));
}

int16_t contrast(Bitmap& bmp, int value, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(value, kRangeContrast)) return kErrBadParam;
    // Slope about mid-grey: −100 flattens to grey, +100 is a hard threshold.
    const double slope = value <= 0 ? (100.0 + value) / 100.0 : (value >= 100 ? 1e6 : 100.0 / (100.0 - value));
    return runLut(bmp, region, progress, sameLuts(makeLut([&](double v) { return 127.5 + (v - 127.5) * slope; })));
}

int16_t gammaCorrect(Bitmap& bmp, int hundredths, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(hundredths, kRangeGamma)) return kErrBadParam;
    const double inv = 100.0 / hundredths;
    return runLut(bmp, region, progress,
                  sameLuts(makeLut([&](double v) { return 255.0 * std::pow(v / 255.0, inv); })));
}

int16_t solarize(Bitmap& bmp, int threshold, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(threshold, kRangeSolarize)) return kErrBadParam;
    return runLut(bmp, region, progress, sameLuts(makeLut([&](double v) { return v >= threshold ? 255 - v : v; })));
}

int16_t posterize(Bitmap& bmp, int levels, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(levels, kRangePosterize)) return kErrBadParam;
    // Each channel keeps `levels` evenly spaced values, 0 and 255 included.
    return runLut(bmp, region, progress, sameLuts(makeLut([&](double v) {
        const double step = 255.0 / (levels - 1);
        const int bucket = std::min(levels - 1, int(v * levels / 256.0));
        return bucket * step;
    })));
}

int16_t histogramContrast(Bitmap& bmp, int value, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(value, kRangeHistoContrast)) return kErrBadParam;
    // Moves each level toward (positive) or away from (negative) where
    // equalising would put it.
    const Lut eq = equaliseLut(bmp, region);
    const double t = value / 100.0;
    return runLut(bmp, region, progress, sameLuts(makeLut([&](double v) { return v + (eq[size_t(v)] - v) * t; })));
}

int16_t histogramEqualise(Bitmap& bmp, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    return runLut(bmp, region, progress, sameLuts(equaliseLut(bmp, region)));
}

int16_t stretchIntensity(Bitmap& bmp, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    // One table for all channels from the darkest to the brightest channel
    // value, so colours keep their balance.
    int lo = 255, hi = 0;
    if ((bmp.bpp() == 24 || bmp.bpp() == 32) && (!region || region->isRectangle())) {
        // A rectangle of colour pixels: one pass for the lowest and highest.
        const RectI area = workArea(bmp, region);
        const int cn = bmp.bpp() / 8;
        std::mutex lock;
        const ProgressFn quiet;
        Progress none(quiet);
        parallelRows(area.y, area.y + area.h, none, 0, 0, [&](int y0, int y1) {
            uint8_t mn = 255, mx = 0;
            for (int y = y0; y < y1; ++y) {
                const uint8_t* s = bmp.row(y) + size_t(area.x) * cn;
                int x = 0;
#if CV_SIMD128
                v_uint8x16 vmn = cv::v_setall_u8(255), vmx = cv::v_setall_u8(0);
                for (; x + 16 <= area.w; x += 16) {
                    v_uint8x16 b, g, r, a;
                    if (cn == 3) cv::v_load_deinterleave(s + size_t(x) * 3, b, g, r);
                    else cv::v_load_deinterleave(s + size_t(x) * 4, b, g, r, a);
                    vmn = cv::v_min(vmn, cv::v_min(b, cv::v_min(g, r)));
                    vmx = cv::v_max(vmx, cv::v_max(b, cv::v_max(g, r)));
                }
                mn = std::min(mn, cv::v_reduce_min(vmn));
                mx = std::max(mx, cv::v_reduce_max(vmx));
#endif
                for (; x < area.w; ++x)
                    for (int c = 0; c < 3; ++c) {
                        mn = std::min(mn, s[size_t(x) * cn + c]);
                        mx = std::max(mx, s[size_t(x) * cn + c]);
                    }
            }
            std::lock_guard<std::mutex> g(lock);
            lo = std::min(lo, int(mn));
            hi = std::max(hi, int(mx));
        });
        if (lo == 0 && hi == 255) {  // already spans every level: nothing changes
            Progress pr(progress);
            return kOk;
        }
    } else for (int ch = 1; ch <= 3; ++ch) {
        Histogram h{};
        histogram(bmp, ch, h, region);
        for (int i = 0; i < 256; ++i) if (h[size_t(i)]) { lo = std::min(lo, i); break; }
        for (int i = 255; i >= 0; --i) if (h[size_t(i)]) { hi = std::max(hi, i); break; }
    }
    if (hi <= lo) return runLut(bmp, region, progress, sameLuts(makeLut([](double v) { return v; })));
    return runLut(bmp, region, progress,
                  sameLuts(makeLut([&](double v) { return (v - lo) * 255.0 / double(hi - lo); })));
}

int16_t intensityDetect(Bitmap& bmp, int low, int high, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(low, kRangeDetectLow) || !inRange(high, kRangeDetectHigh) || low > high) return kErrBadParam;
    auto f = [=](int& r, int& g, int& b) {
        const int l = luma(r, g, b);
        r = g = b = (l >= low && l <= high) ? 255 : 0;
    };
    if (bmp.bpp() == 24 && havePlanes64()) {
        if (const int16_t c = prepare(bmp, region)) return c;
        Progress pr(progress);
        forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
            const int done = detectRun24(s + size_t(x0) * 3, d + size_t(x0) * 3, x1 - x0, low, high);
            colourRow<3>(s, d, x0 + done, x1, NoVector{}, f);
        });
        return kOk;
    }
#if CV_SIMD128
    auto vec = [lo = cv::v_setall_u16(uint16_t(low)), hi = cv::v_setall_u16(uint16_t(high))](
                   v_uint8x16& b, v_uint8x16& g, v_uint8x16& r) {
        v_uint16x8 b0, b1, g0, g1, r0, r1;
        cv::v_expand(b, b0, b1); cv::v_expand(g, g0, g1); cv::v_expand(r, r0, r1);
        const v_uint16x8 l0 = lumaLanes(r0, g0, b0), l1 = lumaLanes(r1, g1, b1);
        // Lanes of all ones pack to 255.
        b = g = r = cv::v_pack((l0 >= lo) & (l0 <= hi), (l1 >= lo) & (l1 <= hi));
    };
    return runColour(bmp, region, progress, f, vec);
#else
    return runColour(bmp, region, progress, f);
#endif
}

int16_t hue(Bitmap& bmp, int degrees, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(degrees, kRangeHue)) return kErrBadParam;
    // Rotates the HSV hue; value and saturation stay. Works in sixths of the
    // colour circle scaled by the chroma, all in integers.
    const int shift = ((degrees % 360) + 360) % 360;
    const int shiftUnits = shift * 6 * 256 / 360;  // hue in 1/256 of a sixth
    auto f = [=](int& r, int& g, int& b) {
        const int mx = std::max({r, g, b}), mn = std::min({r, g, b});
        const int c = mx - mn;
        if (c == 0) return;
        int h;  // 0 .. 6*256
        if (mx == r) h = ((g - b) * 256) / c + (g < b ? 6 * 256 : 0);
        else if (mx == g) h = ((b - r) * 256) / c + 2 * 256;
        else h = ((r - g) * 256) / c + 4 * 256;
        h = (h + shiftUnits) % (6 * 256);
        const int sector = h >> 8, f = h & 255;
        const int rise = mn + (c * f + 128) / 256, fall = mx - (c * f + 128) / 256;
        switch (sector) {
        case 0: r = mx; g = rise; b = mn; break;
        case 1: r = fall; g = mx; b = mn; break;
        case 2: r = mn; g = mx; b = rise; break;
        case 3: r = mn; g = fall; b = mx; break;
        case 4: r = rise; g = mn; b = mx; break;
        default: r = mx; g = mn; b = fall; break;
        }
    };
    if (bmp.bpp() == 24 && havePlanes64()) {
        if (const int16_t c = prepare(bmp, region)) return c;
        Progress pr(progress);
        forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
            const int done = hueRun24(s + size_t(x0) * 3, d + size_t(x0) * 3, x1 - x0, shiftUnits);
            colourRow<3>(s, d, x0 + done, x1, NoVector{}, f);
        });
        return kOk;
    }
#if CV_SIMD128
    using cv::v_int16x8;
    using cv::v_int32x4;
    // The same in 16-bit lanes. The division goes through floats: a quotient
    // of integers below 2^16 by a chroma of at most 255 is either exact or at
    // least 1/255 away from the next integer, far beyond float rounding, so
    // truncating it gives the integer quotient.
    auto lanes = [=](v_uint16x8& R, v_uint16x8& G, v_uint16x8& B) __attribute__((always_inline)) {
        const v_int16x8 r = cv::v_reinterpret_as_s16(R), g = cv::v_reinterpret_as_s16(G),
                        b = cv::v_reinterpret_as_s16(B);
        const v_int16x8 mx = cv::v_max(cv::v_max(r, g), b), mn = cv::v_min(cv::v_min(r, g), b);
        const v_int16x8 c = mx - mn;
        const v_int16x8 isR = mx == r, isG = (mx == g) & ~isR;
        auto all = [](int v) { return cv::v_setall_s16(int16_t(v)); };
        const v_int16x8 num = cv::v_select(isR, g - b, cv::v_select(isG, b - r, r - g));
        const v_int16x8 off = cv::v_select(isR, (g < b) & all(6 * 256), cv::v_select(isG, all(2 * 256), all(4 * 256)));
        v_int32x4 n0, n1, c0, c1;
        cv::v_expand(num, n0, n1);
        cv::v_expand(cv::v_max(c, all(1)), c0, c1);
        const v_int32x4 q0 = cv::v_trunc(cv::v_cvt_f32(n0 << 8) / cv::v_cvt_f32(c0));
        const v_int32x4 q1 = cv::v_trunc(cv::v_cvt_f32(n1 << 8) / cv::v_cvt_f32(c1));
        v_int16x8 h = cv::v_pack(q0, q1) + off + all(shiftUnits);
        h = cv::v_select(h >= all(6 * 256), h - all(6 * 256), h);
        const v_int16x8 sector = h >> 8, frac = h & all(255);
        const v_int16x8 t = cv::v_reinterpret_as_s16(
            (cv::v_mul_wrap(cv::v_reinterpret_as_u16(c), cv::v_reinterpret_as_u16(frac)) + cv::v_setall_u16(128)) >> 8);
        const v_int16x8 rise = mn + t, fall = mx - t;
        const v_int16x8 s0 = sector == all(0), s1 = sector == all(1), s2 = sector == all(2), s3 = sector == all(3),
                        s4 = sector == all(4);
        v_int16x8 nr = cv::v_select(s1, fall, cv::v_select(s2 | s3, mn, cv::v_select(s4, rise, mx)));
        v_int16x8 ng = cv::v_select(s0, rise, cv::v_select(s1 | s2, mx, cv::v_select(s3, fall, mn)));
        v_int16x8 nb = cv::v_select(s0 | s1, mn, cv::v_select(s2, rise, cv::v_select(s3 | s4, mx, fall)));
        const v_int16x8 grey = c == all(0);
        R = cv::v_reinterpret_as_u16(cv::v_select(grey, r, nr));
        G = cv::v_reinterpret_as_u16(cv::v_select(grey, g, ng));
        B = cv::v_reinterpret_as_u16(cv::v_select(grey, b, nb));
    };
    auto vec = [lanes](v_uint8x16& b, v_uint8x16& g, v_uint8x16& r) {
        v_uint16x8 b0, b1, g0, g1, r0, r1;
        cv::v_expand(b, b0, b1); cv::v_expand(g, g0, g1); cv::v_expand(r, r0, r1);
        lanes(r0, g0, b0);
        lanes(r1, g1, b1);
        b = cv::v_pack(b0, b1); g = cv::v_pack(g0, g1); r = cv::v_pack(r0, r1);
    };
    return runColour(bmp, region, progress, f, vec);
#else
    return runColour(bmp, region, progress, f);
#endif
}

int16_t saturation(Bitmap& bmp, int value, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(value, kRangeSaturation)) return kErrBadParam;
    // Scales each channel's distance from the pixel's luminance:
    // −100 gives grey, +100 doubles the colourfulness.
    const int k = 256 + value * 256 / 100;
    auto f = [=](int& r, int& g, int& b) {
        const int l = luma(r, g, b);
        r = std::clamp(l + (((r - l) * k) >> 8), 0, 255);
        g = std::clamp(l + (((g - l) * k) >> 8), 0, 255);
        b = std::clamp(l + (((b - l) * k) >> 8), 0, 255);
    };
    if (bmp.bpp() == 24 && havePlanes64()) {
        if (const int16_t c = prepare(bmp, region)) return c;
        Progress pr(progress);
        forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int, int x0, int x1) {
            const int done = saturationRun24(s + size_t(x0) * 3, d + size_t(x0) * 3, x1 - x0, k);
            colourRow<3>(s, d, x0 + done, x1, NoVector{}, f);
        });
        return kOk;
    }
#if CV_SIMD128
    auto vec = [kv = cv::v_setall_s16(int16_t(k))](v_uint8x16& b, v_uint8x16& g, v_uint8x16& r) {
        v_uint16x8 b0, b1, g0, g1, r0, r1;
        cv::v_expand(b, b0, b1); cv::v_expand(g, g0, g1); cv::v_expand(r, r0, r1);
        const cv::v_int16x8 l0 = cv::v_reinterpret_as_s16(lumaLanes(r0, g0, b0));
        const cv::v_int16x8 l1 = cv::v_reinterpret_as_s16(lumaLanes(r1, g1, b1));
        // l + ((c − l) · k >> 8) in 32 bits, back to 16 (it fits), then
        // clamped to 0..255 by the saturating pack.
        auto channel = [&](const v_uint16x8& c, const cv::v_int16x8& l) {
            cv::v_int32x4 p0, p1;
            cv::v_mul_expand(cv::v_reinterpret_as_s16(c) - l, kv, p0, p1);
            return l + cv::v_pack(p0 >> 8, p1 >> 8);
        };
        b = cv::v_pack_u(channel(b0, l0), channel(b1, l1));
        g = cv::v_pack_u(channel(g0, l0), channel(g1, l1));
        r = cv::v_pack_u(channel(r0, l0), channel(r1, l1));
    };
    return runColour(bmp, region, progress, f, vec);
#else
    return runColour(bmp, region, progress, f);
#endif
}

}  // namespace qova::engine::ops
