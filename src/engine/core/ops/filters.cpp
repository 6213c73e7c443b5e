#include "filters.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/core/hal/intrin.hpp>

#include "../codes.h"
#include "cv_view.h"
#include "op_support.h"
#include "pixel_runs.h"
#include "ranges.h"

namespace qova::engine::ops {

namespace {

bool inRange(int v, const ValueRange& r) { return v >= r.min && v <= r.max; }

int16_t prepare(Bitmap& bmp) {
    if (bmp.isNull()) return kErrBadHandle;
    if (bmp.hasPalette()) {
        Bitmap p = promoted(bmp);
        if (p.isNull()) return kErrNoMemory;
        bmp = std::move(p);
    }
    return kOk;
}

// fn gets a piece of the original image (the rows and columns to work on plus
// up to `margin` pixels around them) and fills dst, same size and type.
using MatFn = std::function<void(const cv::Mat& src, cv::Mat& dst)>;

int16_t runFilter(Bitmap& bmp, const Region* region, const ProgressFn& progress, int margin, const MatFn& fn) {
    if (const int16_t c = prepare(bmp)) return c;
    const RectI area = workArea(bmp, region);
    Progress pr(progress);
    if (area.isEmpty()) return kOk;
    // The original stays readable in `in` while bmp gets its own pixels:
    // a fresh buffer when they were shared (every row is written below),
    // else a copy.
    Bitmap old;
    const bool fresh = detachForRewrite(bmp, old);
    const Bitmap in = fresh ? old : bmp;
    bmp.mutableBits();
    const cv::Mat inM = wrap(in);
    cv::Mat outM = wrap(bmp);
    const int w = bmp.width(), h = bmp.height();
    const size_t px = size_t(bmp.bpp() / 8);
    const size_t colourBytes = bmp.bpp() == 32 ? 3 : px;  // alpha stays
    const bool masked = region && !region->isRectangle();
    const int cx0 = std::max(0, area.x - margin), cx1 = std::min(w, area.x + area.w + margin);
    // With a fresh buffer, what lies outside the work area comes from `in`.
    const size_t left = size_t(area.x) * px, right = size_t(area.x + area.w) * px;
    auto copySides = [&](int y) {
        std::memcpy(outM.ptr<uint8_t>(y), inM.ptr<uint8_t>(y), left);
        std::memcpy(outM.ptr<uint8_t>(y) + right, inM.ptr<uint8_t>(y) + right, in.stride() - right);
    };
    if (fresh) {
        for (int y = 0; y < area.y; ++y) std::memcpy(outM.ptr<uint8_t>(y), inM.ptr<uint8_t>(y), in.stride());
        for (int y = area.y + area.h; y < h; ++y) std::memcpy(outM.ptr<uint8_t>(y), inM.ptr<uint8_t>(y), in.stride());
    }
    parallelRows(area.y, area.y + area.h, pr, 0, 100, [&](int y0, int y1) {
        const int ry0 = std::max(0, y0 - margin), ry1 = std::min(h, y1 + margin);
        const cv::Mat src = inM(cv::Rect(cx0, ry0, cx1 - cx0, ry1 - ry0));
        // Kept per thread: a band's buffer freed and taken again for every
        // band made the allocator give pages back and fault them in again.
        thread_local cv::Mat dst;
        dst.create(src.size(), src.type());
        fn(src, dst);
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = dst.ptr<uint8_t>(y - ry0) + size_t(area.x - cx0) * px;
            uint8_t* d = outM.ptr<uint8_t>(y) + size_t(area.x) * px;
            const uint8_t* m = masked ? region->maskRow(y) : nullptr;
            if (!m && colourBytes == px) {
                if (fresh) copySides(y);
                std::memcpy(d, s, size_t(area.w) * px);
                continue;
            }
            if (fresh) std::memcpy(outM.ptr<uint8_t>(y), inM.ptr<uint8_t>(y), in.stride());
            const uint8_t* mm = m ? m + (area.x - region->bounds().x) : nullptr;
            for (int x = 0; x < area.w; ++x)
                if (!mm || mm[x]) std::memcpy(d + x * px, s + x * px, colourBytes);
        }
    }, std::max(32, margin * 8));
    return kOk;
}

// 16-bit grey median beyond the 5 × 5 window OpenCV handles for it.
void medianWide16(const cv::Mat& src, cv::Mat& dst, int r) {
    std::vector<uint16_t> win;
    for (int y = 0; y < src.rows; ++y) {
        for (int x = 0; x < src.cols; ++x) {
            win.clear();
            for (int dy = -r; dy <= r; ++dy) {
                const uint16_t* s = src.ptr<uint16_t>(std::clamp(y + dy, 0, src.rows - 1));
                for (int dx = -r; dx <= r; ++dx) win.push_back(s[std::clamp(x + dx, 0, src.cols - 1)]);
            }
            std::nth_element(win.begin(), win.begin() + win.size() / 2, win.end());
            dst.ptr<uint16_t>(y)[x] = win[win.size() / 2];
        }
    }
}

cv::Mat kernel3(std::initializer_list<float> v) { return cv::Mat(3, 3, CV_32F, const_cast<float*>(v.begin())).clone(); }

// Compass kernel: the ring of weights rotated by `steps` eighths of a turn.
cv::Mat compass(int steps) {
    // Ring positions clockwise from the top-left.
    static const int ry[8] = {0, 0, 0, 1, 2, 2, 2, 1}, rx[8] = {0, 1, 2, 2, 2, 1, 0, 0};
    static const float north[8] = {1, 1, 1, 1, -1, -1, -1, 1};  // bright above, dark below
    cv::Mat k(3, 3, CV_32F, cv::Scalar(0));
    for (int i = 0; i < 8; ++i) k.at<float>(ry[(i + steps) % 8], rx[(i + steps) % 8]) = north[i];
    k.at<float>(1, 1) = -2;
    return k;
}

enum class Response { Absolute, Positive };

bool filterKernel(int n, cv::Mat& k, Response& resp) {
    resp = Response::Absolute;
    switch (n) {
    case kFilterGradientN: case kFilterGradientNE: case kFilterGradientE: case kFilterGradientSE:
    case kFilterGradientS: case kFilterGradientSW: case kFilterGradientW: case kFilterGradientNW:
        k = compass(n - kFilterGradientN);
        resp = Response::Positive;
        return true;
    case kFilterLaplace8: k = kernel3({-1, -1, -1, -1, 8, -1, -1, -1, -1}); return true;
    case kFilterLaplace4: k = kernel3({0, -1, 0, -1, 4, -1, 0, -1, 0}); return true;
    case kFilterLaplaceDiag: k = kernel3({-1, 0, -1, 0, 4, 0, -1, 0, -1}); return true;
    case kFilterLaplace5x5:
        k = cv::Mat(5, 5, CV_32F, cv::Scalar(-1));
        k.at<float>(2, 2) = 24;
        return true;
    case kFilterSobelH: k = kernel3({-1, -2, -1, 0, 0, 0, 1, 2, 1}); return true;
    case kFilterSobelV: k = kernel3({-1, 0, 1, -2, 0, 2, -1, 0, 1}); return true;
    case kFilterPrewittH: k = kernel3({-1, -1, -1, 0, 0, 0, 1, 1, 1}); return true;
    case kFilterPrewittV: k = kernel3({-1, 0, 1, -1, 0, 1, -1, 0, 1}); return true;
    case kFilterShiftH: k = kernel3({0, 0, 0, -1, 1, 0, 0, 0, 0}); return true;
    case kFilterShiftV: k = kernel3({0, -1, 0, 0, 1, 0, 0, 0, 0}); return true;
    case kFilterShiftDiag: k = kernel3({-1, 0, 0, 0, 1, 0, 0, 0, 0}); return true;
    case kFilterShiftAntiDiag: k = kernel3({0, 0, -1, 0, 1, 0, 0, 0, 0}); return true;
    case kFilterLineH: k = kernel3({-1, -1, -1, 2, 2, 2, -1, -1, -1}); resp = Response::Positive; return true;
    case kFilterLineV: k = kernel3({-1, 2, -1, -1, 2, -1, -1, 2, -1}); resp = Response::Positive; return true;
    case kFilterLine45: k = kernel3({-1, -1, 2, -1, 2, -1, 2, -1, -1}); resp = Response::Positive; return true;
    case kFilterLine135: k = kernel3({2, -1, -1, -1, 2, -1, -1, -1, 2}); resp = Response::Positive; return true;
    default: return false;
    }
}

// Noise that depends only on the position and a per-call seed, so bands
// can run in any order on any core.
inline uint32_t mix(uint32_t x) {
    x ^= x >> 16; x *= 0x7feb352dU; x ^= x >> 15; x *= 0x846ca68bU; x ^= x >> 16;
    return x;
}

// The key of row y's noise: the pixels' offsets are a hash of the key and
// their place (so bands can run in any order).
uint32_t noiseKey(uint32_t seed, int y) { return seed ^ (uint32_t(y) * 0xC2B2AE35U); }

}  // namespace

int16_t average(Bitmap& bmp, int radius, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(radius, kRangeAverage)) return kErrBadParam;
    const int k = 2 * radius + 1;
    return runFilter(bmp, region, progress, radius, [k](const cv::Mat& s, cv::Mat& d) {
        cv::blur(s, d, cv::Size(k, k), cv::Point(-1, -1), cv::BORDER_REPLICATE);
    });
}

int16_t median(Bitmap& bmp, int radius, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(radius, kRangeMedian)) return kErrBadParam;
    return runFilter(bmp, region, progress, radius, [radius](const cv::Mat& s, cv::Mat& d) {
        if (s.depth() == CV_16U && radius > 2) medianWide16(s, d, radius);
        else cv::medianBlur(s, d, 2 * radius + 1);
    });
}

int16_t sharpen(Bitmap& bmp, int amount, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(amount, kRangeSharpen)) return kErrBadParam;
    // Unsharp mask for positive amounts (100 adds twice the detail), a blend
    // toward a soft blur for negative ones.
    const double sigma = amount >= 0 ? 1.0 : 2.0;
    const int margin = int(std::ceil(sigma * 4));
    const double a = amount >= 0 ? amount / 50.0 : -amount / 100.0;
    return runFilter(bmp, region, progress, margin, [=](const cv::Mat& s, cv::Mat& d) {
        thread_local cv::Mat blur;
        cv::GaussianBlur(s, blur, cv::Size(2 * margin + 1, 2 * margin + 1), sigma, sigma, cv::BORDER_REPLICATE);
        if (amount >= 0) cv::addWeighted(s, 1.0 + a, blur, -a, 0, d);
        else cv::addWeighted(s, 1.0 - a, blur, a, 0, d);
    });
}

int16_t emboss(Bitmap& bmp, int direction, int depth, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(direction, kRangeEmbossDirection) || !inRange(depth, kRangeEmbossDepth)) return kErrBadParam;
    // Brightness change toward the light, on mid-grey; depth 20 is the
    // plain Sobel response.
    const double th = direction * CV_PI / 180.0;
    const double gain = depth / 20.0 / 4.0;
    cv::Mat k = kernel3({-1, 0, 1, -2, 0, 2, -1, 0, 1}) * (std::cos(th) * gain) +
                kernel3({1, 2, 1, 0, 0, 0, -1, -2, -1}) * (std::sin(th) * gain);
    return runFilter(bmp, region, progress, 1, [k](const cv::Mat& s, cv::Mat& d) {
        const double mid = s.depth() == CV_16U ? 32768.0 : 128.0;
        cv::filter2D(s, d, -1, k, cv::Point(-1, -1), mid, cv::BORDER_REPLICATE);
    });
}

int16_t spatialFilter(Bitmap& bmp, int filter, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (filter == kFilterEdgeDetail) {
        const cv::Mat k = kernel3({-1, -1, -1, -1, 8, -1, -1, -1, -1});
        return runFilter(bmp, region, progress, 1, [k](const cv::Mat& s, cv::Mat& d) {
            const double mid = s.depth() == CV_16U ? 32768.0 : 128.0;
            cv::filter2D(s, d, -1, k, cv::Point(-1, -1), mid, cv::BORDER_REPLICATE);
        });
    }
    cv::Mat k;
    Response resp;
    if (!filterKernel(filter, k, resp)) return kErrBadParam;
    const int margin = k.rows / 2;
    return runFilter(bmp, region, progress, margin, [k, resp](const cv::Mat& s, cv::Mat& d) {
        cv::Mat t;
        const int tdepth = s.depth() == CV_8U ? CV_16S : CV_32F;
        cv::filter2D(s, t, tdepth, k, cv::Point(-1, -1), 0, cv::BORDER_REPLICATE);
        if (resp == Response::Absolute) t = cv::abs(t);
        t.convertTo(d, s.depth());  // saturates: negatives become 0
    });
}

int16_t mosaic(Bitmap& bmp, int size, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(size, kRangeMosaic)) return kErrBadParam;
    if (const int16_t c = prepare(bmp)) return c;
    const RectI area = workArea(bmp, region);
    Progress pr(progress);
    if (area.isEmpty()) return kOk;
    const int w = bmp.width(), h = bmp.height();
    const bool wide = bmp.bpp() == 16;
    const int ch = wide ? 1 : std::min(3, bmp.bpp() / 8);  // alpha stays
    const int px = bmp.bpp() / 8;
    uint8_t* base = bmp.mutableBits();
    const size_t stride = bmp.stride();
    const bool masked = region && !region->isRectangle();
    // Tiles are counted from (0, 0) so a region shows the same grid.
    const int tx0 = area.x / size, tx1 = (area.x + area.w - 1) / size;
    const int ty0 = area.y / size, ty1 = (area.y + area.h - 1) / size;
    // Column sums over a band of tile rows first (a straight, vectorisable
    // pass over the bytes), then each tile adds up its columns.
    const int xs = tx0 * size, xe = std::min(w, (tx1 + 1) * size);
    const int lanes = wide ? 1 : px;
    parallelRows(ty0, ty1 + 1, pr, 0, 100, [&](int t0, int t1) {
        std::vector<uint32_t> col(size_t(xe - xs) * size_t(lanes));
        std::vector<uint8_t> pattern;
        for (int ty = t0; ty < t1; ++ty) {
            const int y0 = ty * size, y1 = std::min(h, y0 + size);
            std::fill(col.begin(), col.end(), 0u);
            for (int y = y0; y < y1; ++y) {
                const uint8_t* s = base + stride * size_t(y);
                uint32_t* c = col.data();
                const size_t n = col.size();
                if (wide) {
                    const uint16_t* p = reinterpret_cast<const uint16_t*>(s) + xs;
                    for (size_t i = 0; i < n; ++i) c[i] += p[i];
                } else {
                    const uint8_t* p = s + size_t(xs) * size_t(px);
                    for (size_t i = 0; i < n; ++i) c[i] += p[i];
                }
            }
            for (int tx = tx0; tx <= tx1; ++tx) {
                const int x0 = tx * size, x1 = std::min(w, x0 + size);
                const uint64_t n = uint64_t(x1 - x0) * uint64_t(y1 - y0);
                uint64_t t[3] = {0, 0, 0};
                for (int x = x0; x < x1; ++x)
                    for (int c = 0; c < ch; ++c) t[c] += col[size_t(x - xs) * size_t(lanes) + size_t(c)];
                uint64_t avg[3] = {0, 0, 0};
                for (int c = 0; c < ch; ++c) avg[c] = (t[c] + n / 2) / n;
                const int lx = std::max(x0, area.x), rx = std::min(x1, area.x + area.w);
                if (lx >= rx) continue;
                const int ya = std::max(y0, area.y), yb = std::min(y1, area.y + area.h);
                if (!masked && px != 4) {
                    // One row of the tile's colour, copied down the tile.
                    const size_t bytes = size_t(rx - lx) * size_t(px);
                    pattern.resize(bytes);
                    for (int i = 0; i < rx - lx; ++i) {
                        if (wide) reinterpret_cast<uint16_t*>(pattern.data())[i] = uint16_t(avg[0]);
                        else for (int c = 0; c < ch; ++c) pattern[size_t(i) * size_t(px) + size_t(c)] = uint8_t(avg[c]);
                    }
                    for (int y = ya; y < yb; ++y)
                        std::memcpy(base + stride * size_t(y) + size_t(lx) * size_t(px), pattern.data(), bytes);
                    continue;
                }
                for (int y = ya; y < yb; ++y) {
                    uint8_t* d = base + stride * size_t(y);
                    const uint8_t* m = masked ? region->maskRow(y) : nullptr;
                    for (int x = lx; x < rx; ++x) {
                        if (m && !m[x - region->bounds().x]) continue;
                        if (wide) reinterpret_cast<uint16_t*>(d)[x] = uint16_t(avg[0]);
                        else for (int c = 0; c < ch; ++c) d[size_t(x) * px + c] = uint8_t(avg[c]);
                    }
                }
            }
        }
    }, 1);
    return kOk;
}

int16_t oilify(Bitmap& bmp, int radius, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(radius, kRangeOilify)) return kErrBadParam;
    constexpr int kBins = 32;
    return runFilter(bmp, region, progress, radius, [radius](const cv::Mat& s, cv::Mat& d) {
        const int cn = s.channels();
        const bool wide = s.depth() == CV_16U;
        // Brightness bin of every pixel of the piece.
        cv::Mat bins(s.size(), CV_8U);
        for (int y = 0; y < s.rows; ++y) {
            uint8_t* b = bins.ptr<uint8_t>(y);
            if (wide) {
                const uint16_t* p = s.ptr<uint16_t>(y);
                for (int x = 0; x < s.cols; ++x) b[x] = uint8_t(p[x] >> 11);
            } else {
                const uint8_t* p = s.ptr<uint8_t>(y);
                for (int x = 0; x < s.cols; ++x, p += cn)
                    b[x] = uint8_t((cn >= 3 ? luma(p[2], p[1], p[0]) : p[0]) >> 3);
            }
        }
        const int ch = std::min(cn, 3);
        std::vector<int> count(kBins);
        std::vector<uint64_t> sum(size_t(kBins) * 3);
        for (int y = 0; y < s.rows; ++y) {
            const int wy0 = std::max(0, y - radius), wy1 = std::min(s.rows - 1, y + radius);
            std::fill(count.begin(), count.end(), 0);
            std::fill(sum.begin(), sum.end(), 0);
            auto column = [&](int x, int sign) {
                for (int yy = wy0; yy <= wy1; ++yy) {
                    const int bin = bins.ptr<uint8_t>(yy)[x];
                    count[size_t(bin)] += sign;
                    uint64_t* t = &sum[size_t(bin) * 3];
                    if (wide) t[0] += uint64_t(int64_t(sign) * s.ptr<uint16_t>(yy)[x]);
                    else {
                        const uint8_t* p = s.ptr<uint8_t>(yy) + size_t(x) * cn;
                        for (int c = 0; c < ch; ++c) t[c] += uint64_t(int64_t(sign) * p[c]);
                    }
                }
            };
            for (int x = 0; x <= std::min(radius, s.cols - 1); ++x) column(x, 1);
            for (int x = 0; x < s.cols; ++x) {
                if (x > 0) {
                    if (x + radius < s.cols) column(x + radius, 1);
                    if (x - radius - 1 >= 0) column(x - radius - 1, -1);
                }
                int best = 0;
                for (int b = 1; b < kBins; ++b) if (count[size_t(b)] > count[size_t(best)]) best = b;
                const int n = count[size_t(best)];
                const uint64_t* t = &sum[size_t(best) * 3];
                if (wide) {
                    d.ptr<uint16_t>(y)[x] = uint16_t((t[0] + uint64_t(n / 2)) / uint64_t(n));
                } else {
                    uint8_t* o = d.ptr<uint8_t>(y) + size_t(x) * cn;
                    for (int c = 0; c < ch; ++c) o[c] = uint8_t((t[c] + uint64_t(n / 2)) / uint64_t(n));
                    if (cn == 4) o[3] = s.ptr<uint8_t>(y)[size_t(x) * 4 + 3];
                }
            }
        }
    });
}

int16_t addNoise(Bitmap& bmp, int amount, int channel, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (!inRange(amount, kRangeNoise) || !inRange(channel, kRangeNoiseChannel)) return kErrBadParam;
    if (const int16_t c = prepare(bmp)) return c;
    static std::atomic<uint32_t> calls{0};
    const uint32_t seed = mix(++calls * 0x9E3779B9U);
    Progress pr(progress);
    const int span = amount * 255 / 100;  // offsets in −span..span
    const int px = bmp.bpp() / 8;
    // Byte of the one channel that changes (B, G, R order), or −1 for all.
    const int only = channel == 1 ? 2 : channel == 2 ? 1 : channel == 3 ? 0 : -1;
    const bool wide = bmp.bpp() == 16;
    forRows(bmp, region, pr, 0, 100, [&](const uint8_t* s, uint8_t* d, int y, int x0, int x1) {
        const uint32_t key = noiseKey(seed, y);
        int x = x0;
        if (px == 3 && only < 0)  // the common case, 64 pixels at a time where the processor can
            x += noiseAddRun24(key, span, x0, s + size_t(x0) * 3, d + size_t(x0) * 3, x1 - x0);
        thread_local std::vector<int16_t> offsets;
        offsets.resize(size_t(x1 - x));
        if (span == 0) std::fill(offsets.begin(), offsets.end(), int16_t(0));
        else noiseRun(key, span, x, x1 - x, offsets.data());
        const int16_t* o = offsets.data() - x;  // indexed by x
#if CV_SIMD128
        if (px == 3 && only < 0) {  // 16 pixels at a time
            for (; x + 16 <= x1; x += 16) {
                cv::v_uint8x16 b, g, r;
                cv::v_load_deinterleave(s + size_t(x) * 3, b, g, r);
                const cv::v_int16x8 o0 = cv::v_load(o + x), o1 = cv::v_load(o + x + 8);
                auto add = [&](const cv::v_uint8x16& c) {
                    cv::v_uint16x8 c0, c1;
                    cv::v_expand(c, c0, c1);
                    return cv::v_pack_u(cv::v_reinterpret_as_s16(c0) + o0, cv::v_reinterpret_as_s16(c1) + o1);
                };
                cv::v_store_interleave(d + size_t(x) * 3, add(b), add(g), add(r));
            }
        }
#endif
        for (; x < x1; ++x) {
            if (wide) {
                const int v = reinterpret_cast<const uint16_t*>(s)[x] + o[x] * 257;
                reinterpret_cast<uint16_t*>(d)[x] = uint16_t(std::clamp(v, 0, 65535));
                continue;
            }
            const uint8_t* p = s + size_t(x) * px;
            uint8_t* q = d + size_t(x) * px;
            for (int c = 0; c < px; ++c) {
                const bool change = c < 3 && (px == 1 || only < 0 || c == only);
                q[c] = change ? uint8_t(std::clamp(p[c] + o[x], 0, 255)) : p[c];
            }
        }
    });
    return kOk;
}

}  // namespace qova::engine::ops
