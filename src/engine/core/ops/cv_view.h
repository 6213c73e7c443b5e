// OpenCV views of whole-byte bitmaps, for the operation sources only (this
// header pulls in OpenCV, so nothing outside ops/*.cpp includes it).
#pragma once

#include "../cv_bitmap.h"

namespace qova::engine::ops {

inline cv::Mat wrap(const Bitmap& b) { return cvView(b); }

}  // namespace qova::engine::ops
