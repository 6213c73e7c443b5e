#include "view_copy.h"

#include <cstring>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "cv_bitmap.h"
#include "ops/pixel_runs.h"
#include "pixel_memory.h"

namespace qova::engine {

bool reducesInPlaceDepth(const Bitmap& b) {
    return b.bpp() == 24 || b.bpp() == 32 || b.bpp() == 16 || (b.bpp() == 8 && b.isGrey());
}

namespace {

// `src` (24 bits) reduced by 2^k in each direction in one pass over its rows:
// each pixel the rounded mean of its 2^k × 2^k block (what k exact halvings
// give, rounded once instead of k times), rows spread over the cores.
Bitmap boxReduced24(const Bitmap& src, int k) {
    const int f = 1 << k, w = src.width() >> k, h = src.height() >> k;
    Bitmap out = pixel_memory::createForRewrite(w, h, 24);
    if (out.isNull()) return out;
    const int n = w << k;  // source pixels of a row that fall in whole blocks
    const int half = 1 << (2 * k - 1);
    cv::parallel_for_(cv::Range(0, h), [&](const cv::Range& range) {
        std::vector<uint8_t> planes(size_t(w) * 3);
        uint8_t *pb = planes.data(), *pg = pb + w, *pr = pg + w;
        const uint8_t* rows[8];
        for (int y = range.start; y < range.end; ++y) {
            for (int t = 0; t < f; ++t) rows[t] = src.row(y * f + t);
            const int done = ops::boxRow24(rows, k, n, pb, pg, pr);
            for (int j = done >> k; j < w; ++j) {
                int sum[3] = {0, 0, 0};
                for (int t = 0; t < f; ++t)
                    for (int u = 0; u < f; ++u) {
                        const uint8_t* p = rows[t] + size_t(j * f + u) * 3;
                        sum[0] += p[0]; sum[1] += p[1]; sum[2] += p[2];
                    }
                pb[j] = uint8_t((sum[0] + half) >> (2 * k));
                pg[j] = uint8_t((sum[1] + half) >> (2 * k));
                pr[j] = uint8_t((sum[2] + half) >> (2 * k));
            }
            uint8_t* d = out.mutableRow(y);
            int x = 0;
            if (ops::havePlanes64())
                for (; x + 64 <= w; x += 64) ops::join64(pb + x, pg + x, pr + x, d + size_t(x) * 3);
            for (; x < w; ++x) {
                d[x * 3] = pb[x]; d[x * 3 + 1] = pg[x]; d[x * 3 + 2] = pr[x];
            }
            std::memset(d + size_t(w) * 3, 0, out.stride() - size_t(w) * 3);
        }
    });
    return out;
}

}  // namespace

Bitmap reducedCopy(const Bitmap& b, int w, int h) {
    if (b.isNull() || w <= 0 || h <= 0) return Bitmap();
    const Bitmap src = reducesInPlaceDepth(b) ? b : b.convertTo(24);
    if (src.isNull()) return Bitmap();
    // Every byte is written below (rows and their padding).
    Bitmap out = Bitmap::createFilled(w, h, src.bpp(), src.isGrey(), 0);
    if (out.isNull()) return out;
    cv::Mat dst(h, w, cvTypeFor(src), out.mutableBits(), out.stride());
    // Halvings while the picture stays at least twice the wanted size; for
    // colour pixels the first (up to three) in one pass.
    int k = 0;
    while ((src.width() >> k) >= 2 * w && (src.height() >> k) >= 2 * h && (src.width() >> k) >= 4 &&
           (src.height() >> k) >= 4)
        ++k;
    Bitmap boxed;
    cv::Mat cur = cvView(src);
    int left = k;
    if (src.bpp() == 24 && k >= 1) {
        boxed = boxReduced24(src, std::min(k, 3));
        if (boxed.isNull()) return Bitmap();
        cur = cvView(boxed);
        left = k - std::min(k, 3);
    }
    for (; left > 0; --left) {
        cv::Mat half;
        cv::resize(cur(cv::Rect(0, 0, cur.cols & ~1, cur.rows & ~1)), half, cv::Size(cur.cols / 2, cur.rows / 2), 0, 0,
                   cv::INTER_AREA);
        cur = half;
    }
    if (cur.cols == w && cur.rows == h) cur.copyTo(dst);
    else cv::resize(cur, dst, dst.size(), 0, 0, cur.cols >= w && cur.rows >= h ? cv::INTER_LINEAR : cv::INTER_AREA);
    return out;
}

}  // namespace qova::engine
