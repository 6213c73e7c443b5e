// What one load may cost. Two checks, both made before any pixel memory is
// allocated, so a hostile header fails at once instead of after minutes:
//
//  - the ceiling: all pages and frames of one load together may decode to at
//    most a quarter of physical memory (at least 256 MiB, at most the largest
//    bitmap we allocate). Past it the load fails with kErrNoMemory (20001).
//  - plausibility: a picture's declared size must be one its coded data can
//    fill at the best ratio its format reaches (deflate 1032:1, one bit per
//    JPEG block, …). A header claiming more fails with kErrTooLarge (20003).
//    Pictures of up to kPlausibleSlack bytes always pass: they are cheap, and
//    small files with large blank areas are common.
#pragma once

#include <cstdint>

namespace qova::engine {

// Pictures this small pass the plausibility check whatever their data.
constexpr uint64_t kPlausibleSlack = 16ull << 20;
// A drawing (PostScript, metafile) is not bounded by its bytes: it is
// rendered at its own size only up to this many pixels.
constexpr uint64_t kMaxDrawingPixels = 32ull << 20;

// The ceiling of one load, in decoded bytes.
uint64_t loadCeiling();
// Replaces the ceiling for the whole process (tests, fuzzing); 0 restores
// the default drawn from physical memory.
void setLoadCeiling(uint64_t bytes);

// True when `decodedBytes` can come out of `dataBytes` coded bytes at `ratio`
// decoded bytes per coded byte.
bool plausibleSize(uint64_t decodedBytes, uint64_t dataBytes, uint64_t ratio);

// The same check over the pages or frames of one file: the slack is shared,
// so pictures that their data cannot fill do not add up, and data that
// several pages point at counts for the first of them only.
class PlausibleFile {
public:
    // False when this picture, after those admitted before, is more than
    // its data and what is left of the slack can fill.
    bool admit(uint64_t decodedBytes, uint64_t dataBytes, uint64_t ratio);

private:
    uint64_t slackLeft_ = kPlausibleSlack;
};

// True when one bitmap of this size fits under the ceiling.
bool fitsCeiling(int width, int height, int bpp);

// Claims bytes against the ceiling, page by page, for one load.
class LoadBudget {
public:
    explicit LoadBudget(uint64_t limit = loadCeiling()) : limit_(limit) {}
    // False (and nothing claimed) when the load would pass its ceiling.
    bool claim(uint64_t bytes) {
        if (bytes > limit_ - used_) return false;
        used_ += bytes;
        return true;
    }
    uint64_t used() const { return used_; }
    uint64_t limit() const { return limit_; }

private:
    uint64_t limit_;
    uint64_t used_ = 0;
};

}  // namespace qova::engine
