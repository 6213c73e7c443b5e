// OpenCV's view of the engine's whole-byte bitmaps (8, 16, 24 and 32 bits).
// This header pulls in OpenCV: only .cpp files include it.
#pragma once

#include <opencv2/core.hpp>

#include "bitmap.h"

namespace qova::engine {

// The OpenCV type of a whole-byte bitmap; −1 for 1 and 4 bits.
inline int cvTypeFor(const Bitmap& b) {
    switch (b.bpp()) {
    case 8: return CV_8UC1;
    case 16: return CV_16UC1;
    case 24: return CV_8UC3;
    case 32: return CV_8UC4;
    default: return -1;
    }
}

// Shares the bitmap's pixels; write through mutableBits() first when changing them.
inline cv::Mat cvView(const Bitmap& b) {
    return cv::Mat(b.height(), b.width(), cvTypeFor(b), const_cast<uint8_t*>(b.bits()), b.stride());
}

}  // namespace qova::engine
