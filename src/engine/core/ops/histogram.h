// Histograms and colour counts (read-only; the bitmap is not changed).
#pragma once

#include <array>
#include <cstdint>

#include "../bitmap.h"
#include "../regions/region.h"
#include "progress.h"

namespace qova::engine::ops {

// Channel numbers of histogram().
enum HistogramChannel : int { kHistLuma = 0, kHistRed = 1, kHistGreen = 2, kHistBlue = 3 };

using Histogram = std::array<uint64_t, 256>;

// Pixel counts per level 0..255 of one channel, over the region when one is
// given. Level of channel 0 is the luminance (0.299 R + 0.587 G + 0.114 B);
// grey images give their grey level for every channel; 16-bit grey counts by
// its top 8 bits; palette images count through their palette.
// kErrBadParam for a channel outside 0..3.
int16_t histogram(const Bitmap& bmp, int channel, Histogram& out, const Region* region = nullptr,
                  const ProgressFn& progress = {});

// Number of distinct colours used (RGB; alpha ignored; 16-bit grey counts
// its 65536 levels apart). Palette images count distinct colours among the
// entries actually used.
int16_t countColours(const Bitmap& bmp, uint32_t& count, const ProgressFn& progress = {});

}  // namespace qova::engine::ops
