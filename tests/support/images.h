// Shared fixtures for the engine tests: made images, sample paths, reference decodes.
#pragma once

#include <QString>

#include <string>

#include "engine/core/bitmap.h"

namespace qova::test {

// Path of a file in the shared samples folder ("" when the folder is absent).
QString sample(const QString& name);
bool haveSamples();

// A deterministic picture with gradients and edges at the given depth.
engine::Bitmap madeImage(int w, int h, int bpp, unsigned seed = 1);

// Reads a binary PPM/PGM (P5/P6) into a 24-bit or 8-bit grey bitmap.
engine::Bitmap readPnm(const std::string& path);

// Largest per-channel difference and the mean absolute difference (RGB).
struct Diff {
    int max = 0;
    double mean = 0;
};
Diff compare(const engine::Bitmap& a, const engine::Bitmap& b);
bool samePixels(const engine::Bitmap& a, const engine::Bitmap& b);

}  // namespace qova::test
