// Shared fixtures for the engine tests: made images, sample paths, reference decodes.
#pragma once

#include <QString>

#include <string>

#include "engine/core/bitmap.h"
#include "engine/core/pages.h"

namespace qova::test {

// Path of a file in the shared samples folder ("" when the folder is absent).
QString sample(const QString& name);
bool haveSamples();
// QOVA_ALLOW_NO_SAMPLES=1: a run that means to go without the samples.
bool allowNoSamples();

// Tests that read the shared samples start with this. Without the samples
// folder they fail (a missing folder must not pass a run), unless
// QOVA_ALLOW_NO_SAMPLES=1, when they skip.
#define QOVA_REQUIRE_SAMPLES()                                                                              \
    do {                                                                                                    \
        if (!qova::test::haveSamples()) {                                                                   \
            if (qova::test::allowNoSamples()) QSKIP("shared samples folder not present");                   \
            QFAIL("shared samples folder missing: " QOVA_SAMPLES_DIR " (QOVA_ALLOW_NO_SAMPLES=1 skips)");   \
        }                                                                                                   \
    } while (false)

// Saves `doc` for a test to use; a failed save fails the running test, so
// a fixture never hides a broken writer. Returns the path.
QString saveFixture(const engine::Document& doc, const QString& path, int format);

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
