// The engine's bitmap: 1, 4, 8 bits with a palette, 8 and 16-bit grey, 24 and
// 32 bits. Pixels are shared between copies until one of them writes.
//
// Memory layout (chosen so Qt and OpenCV can wrap rows without copying):
//  - rows are top-down, each `stride()` bytes, stride a multiple of 4;
//  - 1 bit: most significant bit first; 4 bits: high nibble first;
//  - 8 bits: a palette index, or a grey level when isGrey();
//  - 16 bits: grey, native-endian uint16 per pixel;
//  - 24 bits: B, G, R; 32 bits: B, G, R, A (QImage::Format_ARGB32 order).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace qova::engine {

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
};

using Palette = std::vector<Rgb>;

// Luminance weights (ITU-R BT.601) in 8-bit fixed point; they add up to 256.
constexpr int kLumaR = 77, kLumaG = 150, kLumaB = 29;
// The weighted sum before scaling, for comparing brightness exactly.
constexpr int lumaSum(int r, int g, int b) { return r * kLumaR + g * kLumaG + b * kLumaB; }
constexpr int lumaSum(const Rgb& c) { return lumaSum(c.r, c.g, c.b); }
// Integer luminance, 0..255.
constexpr int luma(int r, int g, int b) { return (lumaSum(r, g, b) + 128) >> 8; }

// True when every palette entry is a grey.
bool isGreyPalette(const Palette& p);
// Index of the palette entry closest to a colour (weighted RGB distance; the
// first of equally close entries).
int nearestEntry(const Palette& p, Rgb c);

struct RectI {
    int x = 0, y = 0, w = 0, h = 0;
    bool isEmpty() const { return w <= 0 || h <= 0; }
    RectI intersected(const RectI& o) const;
    bool operator==(const RectI& o) const { return x == o.x && y == o.y && w == o.w && h == o.h; }
};

// Largest bitmap we agree to allocate; a file header asking for more is
// refused before any allocation (kErrNoMemory / kErrBadSize).
constexpr int kMaxDimension = 1 << 18;            // 262144 pixels a side
constexpr uint64_t kMaxBitmapBytes = 6ull << 30;  // 6 GiB of pixels

class Bitmap {
public:
    Bitmap() = default;

    // Allocates an uninitialised bitmap. Returns an empty bitmap when the
    // size or depth is invalid or memory is short; `code` (if given) says why.
    static Bitmap create(int width, int height, int bpp, bool grey = false, int16_t* code = nullptr);
    // Same, with every byte set to `fill`. A zero fill touches no memory:
    // pages nobody writes cost nothing.
    static Bitmap createFilled(int width, int height, int bpp, bool grey, uint8_t fill,
                               int16_t* code = nullptr);

    static bool validBpp(int bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }
    static size_t strideFor(int width, int bpp) { return ((size_t(width) * bpp + 31) / 32) * 4; }

    bool isNull() const { return !data_; }
    int width() const { return width_; }
    int height() const { return height_; }
    int bpp() const { return bpp_; }
    // 8-bit grey (no palette) or 16-bit grey.
    bool isGrey() const { return grey_; }
    bool hasPalette() const { return bpp_ <= 8 && !grey_; }
    size_t stride() const { return stride_; }
    size_t byteSize() const { return stride_ * size_t(height_); }

    const uint8_t* bits() const { return data_ ? data_->bytes : nullptr; }
    const uint8_t* row(int y) const { return bits() + stride_ * size_t(y); }
    // Writing access: makes the pixels this bitmap's own first.
    uint8_t* mutableBits();
    uint8_t* mutableRow(int y) { return mutableBits() + stride_ * size_t(y); }

    // True when another Bitmap shares these pixels (for tests and memory accounting).
    bool isShared() const { return data_ && data_.use_count() > 1; }
    bool sharesWith(const Bitmap& o) const { return data_ && data_ == o.data_; }

    const Palette& palette() const { return palette_; }
    void setPalette(Palette p) { palette_ = std::move(p); }

    // Colour of one pixel as RGB (for tests and slow paths; not for loops).
    Rgb pixel(int x, int y) const;
    // Palette index (bpp <= 8) or grey level (8/16 grey, 16 scaled to 8 bits).
    int index(int x, int y) const;
    void setIndex(int x, int y, int v);

    // Default palettes: black/white, the 16 VGA colours, a 256 level grey ramp.
    static Palette greyPalette(int entries);
    static Palette vgaPalette();

    // Deep copy (never shares).
    Bitmap clone() const;

    // Converts to another depth: up-conversion is exact; down to 8 bits
    // or fewer quantises to a grey ramp when the source is grey, else to a
    // fixed colour cube (processing offers better quantisers).
    Bitmap convertTo(int bpp, int16_t* code = nullptr) const;

private:
    struct Buffer {
        uint8_t* bytes = nullptr;
        size_t size = 0;
        size_t mapped = 0;  // length of its own mapping, 0 when from malloc
        ~Buffer();
    };
    static Bitmap allocate(int width, int height, int bpp, bool grey, bool zero, int16_t* code);
    std::shared_ptr<Buffer> data_;
    Palette palette_;
    size_t stride_ = 0;
    int width_ = 0;
    int height_ = 0;
    int bpp_ = 0;
    bool grey_ = false;
};

// Copy of a rectangle (clipped to the bitmap), same depth and palette; the
// whole bitmap comes back sharing its pixels. Empty when the rectangle misses.
Bitmap crop(const Bitmap& src, const RectI& r);

}  // namespace qova::engine
