// OpenCV views of whole-byte bitmaps, for the operation sources only (this
// header pulls in OpenCV, so nothing outside ops/*.cpp includes it).
#pragma once

#include <opencv2/core.hpp>

#include "../bitmap.h"

namespace qova::engine::ops {

inline int matType(const Bitmap& b) {
    switch (b.bpp()) {
    case 8: return CV_8UC1;
    case 16: return CV_16UC1;
    case 24: return CV_8UC3;
    default: return CV_8UC4;
    }
}

// Shares the bitmap's pixels; write through mutableBits() first when changing them.
inline cv::Mat wrap(const Bitmap& b) {
    return cv::Mat(b.height(), b.width(), matType(b), const_cast<uint8_t*>(b.bits()), b.stride());
}

}  // namespace qova::engine::ops
