// Shared plumbing of the pixel operations: progress reporting, row bands
// spread over the cores, region-confined row writes, crops and masked copies.
// Internal to ops/; callers use the family headers.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "../bitmap.h"
#include "../regions/region.h"
#include "progress.h"

namespace qova::engine::ops {

// Reports 0 on construction, then only rising values, and 100 once at the end
// (done() or destruction, whichever comes first). Calls run on this thread.
class Progress {
public:
    explicit Progress(const ProgressFn& fn);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void to(int percent);
    void done();

private:
    const ProgressFn& fn_;
    int last_ = -1;
};

using BandFn = std::function<void(int begin, int end)>;

// Runs fn over [begin, end) in a few bands; each band is split across the
// cores and followed by a progress report between pctFrom and pctTo. `grain`
// is the fewest rows one core is handed at a time (raise it for work that
// reads rows around its own).
void parallelRows(int begin, int end, Progress& pr, int pctFrom, int pctTo, const BandFn& fn, int grain = 8);
// The same on the caller's thread only (work that must go in order).
void serialRows(int begin, int end, Progress& pr, int pctFrom, int pctTo, const BandFn& fn);

// A row operation: writes the new values of pixels [x0, x1) of row y into
// dst (indexed like src, from pixel 0); src is the row as it is. dst may be
// src itself or another buffer: fn must write every byte of [x0, x1).
using RowFn = std::function<void(const uint8_t* src, uint8_t* dst, int y, int x0, int x1)>;

// An uninitialised bitmap of the same size, depth and palette, for a caller
// that writes every byte of it (it may reuse a freed bitmap's memory).
Bitmap blankLike(const Bitmap& bmp);

// For an operation about to rewrite every pixel from the current ones: when
// the pixels are shared, moves them to `old` and gives bmp a fresh
// uninitialised buffer (returns true), so no copy is made only to be
// overwritten. Otherwise leaves bmp alone, clears `old` and returns false.
bool detachForRewrite(Bitmap& bmp, Bitmap& old);

// Applies fn to every row the region allows (all rows without one), in
// parallel; only pixels inside the region change. bpp must be 8 or more.
void forRows(Bitmap& bmp, const Region* region, Progress& pr, int pctFrom, int pctTo, const RowFn& fn);

// The part of the bitmap a region may change (the whole bitmap without one);
// empty when the region misses it.
RectI workArea(const Bitmap& bmp, const Region* region);

// Copies w × h pixels of src at (sx, sy) to dst at (dx, dy), both of the same
// depth, clipped to both bitmaps; with a region only destination pixels
// inside it are written.
void copyPixels(Bitmap& dst, int dx, int dy, const Bitmap& src, int sx, int sy, int w, int h,
                const Region* dstRegion);

// The depth a palette image is processed at when its palette alone cannot
// carry the result: 8-bit grey for a grey palette, 24 bits otherwise.
// Other depths come back unchanged.
Bitmap promoted(const Bitmap& bmp);

// `src` brought to the depth (and palette) of `like`: exact upward, grey by
// luminance, nearest entry for a palette.
Bitmap matchDepth(const Bitmap& src, const Bitmap& like);

inline int bytesPerPixel(int bpp) { return bpp / 8; }

// Colours as 32-bit values: 0x00BBGGRR (red in the low byte).
inline Rgb rgbFromRef(uint32_t c) { return Rgb{uint8_t(c & 0xFF), uint8_t((c >> 8) & 0xFF), uint8_t((c >> 16) & 0xFF)}; }
inline uint32_t refFromRgb(Rgb c) { return uint32_t(c.r) | (uint32_t(c.g) << 8) | (uint32_t(c.b) << 16); }

// luma() of n pixels of a 24 (cn 3) or 32-bit (cn 4) row into out.
void lumaRow(const uint8_t* s, int cn, int n, uint8_t* out);

// Counts of levels 0..255 kept in four tables used in turn, so that runs of
// one level do not wait on the previous increment of the same counter.
// Holds up to 2^34 levels.
struct LevelCounts {
    uint32_t t[4][256] = {};
    void add(const uint8_t* levels, int n);
    void addTo(uint64_t* hist) const;
};

// Counts of levels 0..255 taken two at a time: each pair of neighbouring
// levels is one increment in a table of 65536 (two tables used in turn), half
// the increments of counting levels one by one. 512 KB: keep one per worker.
struct PairCounts {
    PairCounts();
    void add(const uint8_t* levels, int n);
    void addTo(uint64_t* hist) const;
    std::vector<uint32_t> pairs;  // 2 × 65536
    uint64_t single[256] = {};
};

}  // namespace qova::engine::ops
