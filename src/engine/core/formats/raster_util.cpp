#include "raster_util.h"

#include <algorithm>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "../codes.h"
#include "../cv_bitmap.h"

namespace qova::engine {

Bitmap applyOrientation(const Bitmap& src, int orientation, int16_t* code) {
    if (code) *code = kOk;
    if (orientation <= 1 || orientation > 8) return src;
    const int type = cvTypeFor(src);
    if (type < 0) return src;
    const bool swap = orientation >= 5;
    Bitmap out = Bitmap::create(swap ? src.height() : src.width(), swap ? src.width() : src.height(), src.bpp(),
                                src.isGrey(), code);
    if (out.isNull()) return out;
    out.setPalette(src.palette());
    cv::Mat in(src.height(), src.width(), type, const_cast<uint8_t*>(src.bits()), src.stride());
    cv::Mat dst(out.height(), out.width(), type, out.mutableBits(), out.stride());
    switch (orientation) {
    case 2: cv::flip(in, dst, 1); break;
    case 3: cv::rotate(in, dst, cv::ROTATE_180); break;
    case 4: cv::flip(in, dst, 0); break;
    case 5: cv::transpose(in, dst); break;
    case 6: cv::rotate(in, dst, cv::ROTATE_90_CLOCKWISE); break;
    case 7: cv::transpose(in, dst); cv::rotate(dst, dst, cv::ROTATE_180); break;
    case 8: cv::rotate(in, dst, cv::ROTATE_90_COUNTERCLOCKWISE); break;
    default: break;
    }
    return out;
}

Bitmap makeStamp(const Bitmap& src, int w, int h, int bpp) {
    if (src.isNull() || w <= 0 || h <= 0) return Bitmap();
    Bitmap colour = src.bpp() == 24 ? src : src.convertTo(24);
    if (colour.isNull()) return Bitmap();
    const double s = std::min(double(w) / colour.width(), double(h) / colour.height());
    const int tw = std::max(1, int(colour.width() * s + 0.5));
    const int th = std::max(1, int(colour.height() * s + 0.5));
    Bitmap thumb = Bitmap::create(tw, th, 24);
    if (thumb.isNull()) return thumb;
    cv::Mat in(colour.height(), colour.width(), CV_8UC3, const_cast<uint8_t*>(colour.bits()), colour.stride());
    cv::Mat dst(th, tw, CV_8UC3, thumb.mutableBits(), thumb.stride());
    cv::resize(in, dst, dst.size(), 0, 0, cv::INTER_AREA);
    if (bpp == 8) {
        Bitmap grey = Bitmap::create(tw, th, 8, true);
        if (grey.isNull()) return grey;
        cv::Mat g(th, tw, CV_8UC1, grey.mutableBits(), grey.stride());
        cv::cvtColor(dst, g, cv::COLOR_BGR2GRAY);
        return grey;
    }
    return thumb;
}

}  // namespace qova::engine
