#include "view_copy.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "cv_bitmap.h"

namespace qova::engine {

bool reducesInPlaceDepth(const Bitmap& b) {
    return b.bpp() == 24 || b.bpp() == 32 || b.bpp() == 16 || (b.bpp() == 8 && b.isGrey());
}

Bitmap reducedCopy(const Bitmap& b, int w, int h) {
    if (b.isNull() || w <= 0 || h <= 0) return Bitmap();
    const Bitmap src = reducesInPlaceDepth(b) ? b : b.convertTo(24);
    if (src.isNull()) return Bitmap();
    // Every byte is written below (rows and their padding).
    Bitmap out = Bitmap::createFilled(w, h, src.bpp(), src.isGrey(), 0);
    if (out.isNull()) return out;
    const cv::Mat in = cvView(src);
    cv::Mat dst(h, w, cvTypeFor(src), out.mutableBits(), out.stride());
    cv::Mat cur = in;
    while (cur.cols >= 2 * w && cur.rows >= 2 * h && cur.cols >= 4 && cur.rows >= 4) {
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
