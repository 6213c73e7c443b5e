// What the benches share: a steady clock in milliseconds, and a made picture
// written as a JPEG photo.
#pragma once

#include <chrono>
#include <string>

#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"

namespace qova::bench {

inline double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

inline int16_t saveJpeg(const engine::Bitmap& b, const std::string& path, int quality) {
    engine::Document d;
    d.frames.push_back(engine::Frame{b});
    engine::SaveRequest r;
    r.path = path;
    r.format = engine::kFmtJpeg;
    r.quality = quality;
    return engine::saveFile(d, r);
}

}  // namespace qova::bench
