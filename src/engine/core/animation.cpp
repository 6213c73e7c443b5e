#include "animation.h"

#include <algorithm>
#include <cstring>

namespace qova::engine {

Rgb resolveColour(uint32_t colour, const Palette& palette) {
    if (colour >= kPaletteEntryFlag) {
        const size_t i = colour & 255;
        return i < palette.size() ? palette[i] : Rgb{};
    }
    return rgbOfColour(colour);
}

int transparentEntry(const Frame& f) {
    if (!f.transparent) return -1;
    const Bitmap& b = f.bitmap;
    const Rgb c = rgbOfColour(f.transparentColour);
    if (b.bpp() > 8 || b.isNull()) return -1;
    if (b.isGrey()) return c.r == c.g && c.g == c.b ? c.r : -1;
    const Palette& pal = b.palette();
    const int entries = 1 << b.bpp();
    const int kept = f.transparentIndex;
    if (kept >= 0 && kept < entries && (size_t(kept) >= pal.size() || pal[size_t(kept)] == c)) return kept;
    for (size_t i = 0; i < pal.size() && int(i) < entries; ++i)
        if (pal[i] == c) return int(i);
    return -1;
}

void resolveTransparency(Frame& f) { f.transparentIndex = transparentEntry(f); }

namespace {

// A size set on the canvas may add margins round the frames up to the
// largest canvas the settings take; beyond that only as far as the frames
// reach, so a small file declaring a huge screen cannot make a huge canvas.
int boundedCanvas(int declared, int extent, int largest) {
    if (declared <= 0) return extent;
    return std::min(declared, std::max(extent, largest));
}

}  // namespace

int canvasWidth(const Document& doc) {
    int w = 0;
    for (const Frame& f : doc.frames) w = std::max(w, f.left + f.bitmap.width());
    return boundedCanvas(doc.animation.canvasWidth, w, kLargestCanvasWidth);
}

int canvasHeight(const Document& doc) {
    int h = 0;
    for (const Frame& f : doc.frames) h = std::max(h, f.top + f.bitmap.height());
    return boundedCanvas(doc.animation.canvasHeight, h, kLargestCanvasHeight);
}

int playDelayMs(const Frame& f) { return f.delayMs <= 10 ? 100 : f.delayMs; }

bool AnimationCanvas::start(const Document& doc) {
    const int w = canvasWidth(doc), h = canvasHeight(doc);
    saved_ = Bitmap();
    shown_ = -1;
    shownDisposal_ = Disposal::None;
    if (w <= 0 || h <= 0) {
        canvas_ = Bitmap();
        return false;
    }
    if (canvas_.width() == w && canvas_.height() == h && !canvas_.isShared()) {
        std::memset(canvas_.mutableBits(), 0, canvas_.byteSize());
    } else {
        canvas_ = Bitmap::createFilled(w, h, 32, false, 0);
    }
    return !canvas_.isNull();
}

bool AnimationCanvas::show(const Document& doc, int i) {
    if (i < 0 || i >= int(doc.frames.size())) return false;
    if (i == 0 || shown_ < 0 || i != shown_ + 1 || canvas_.width() != canvasWidth(doc) ||
        canvas_.height() != canvasHeight(doc)) {
        if (!start(doc)) return false;
        // Another frame than the next one: the canvas is what playing from
        // the start would have left.
        for (int k = 0; k < i; ++k) show(doc, k);
    }
    if (shown_ >= 0) {
        // Dispose of the frame shown so far.
        switch (shownDisposal_) {
        case Disposal::Background:
            for (int y = shownRect_.y; y < shownRect_.y + shownRect_.h; ++y)
                std::memset(canvas_.mutableRow(y) + size_t(shownRect_.x) * 4, 0, size_t(shownRect_.w) * 4);
            break;
        case Disposal::Previous:
            if (!saved_.isNull()) canvas_ = saved_;
            break;
        default: break;
        }
    }
    const Frame& f = doc.frames[size_t(i)];
    // What Previous brings back is the canvas before this frame (shared
    // until the frame is drawn over it).
    saved_ = f.disposal == Disposal::Previous ? canvas_ : Bitmap();
    draw(f);
    shown_ = i;
    shownDisposal_ = f.disposal;
    return true;
}

void AnimationCanvas::draw(const Frame& f) {
    const Bitmap& b = f.bitmap;
    shownRect_ = RectI{f.left, f.top, b.width(), b.height()}.intersected(RectI{0, 0, canvas_.width(), canvas_.height()});
    if (b.isNull() || shownRect_.isEmpty()) return;
    const int tIndex = transparentEntry(f);
    const bool deepTransparent = f.transparent && b.bpp() > 8;
    const Rgb tc = rgbOfColour(f.transparentColour);
    // Colours of a palette (or grey) frame's entries, looked up per pixel.
    uint32_t lut[256];
    const bool indexed = b.bpp() <= 8;
    if (indexed) {
        for (int k = 0; k < 256; ++k) {
            Rgb c;
            if (b.isGrey()) c = Rgb{uint8_t(k), uint8_t(k), uint8_t(k)};
            else if (size_t(k) < b.palette().size()) c = b.palette()[size_t(k)];
            lut[k] = k == tIndex ? 0u : 0xFF000000u | (uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b;
        }
    }
    const int x0 = shownRect_.x - f.left, y0 = shownRect_.y - f.top;
    for (int y = 0; y < shownRect_.h; ++y) {
        auto* d = reinterpret_cast<uint32_t*>(canvas_.mutableRow(shownRect_.y + y)) + shownRect_.x;
        const uint8_t* s = b.row(y0 + y);
        for (int x = 0; x < shownRect_.w; ++x) {
            const int sx = x0 + x;
            uint32_t px;
            switch (b.bpp()) {
            case 1: px = lut[(s[sx >> 3] >> (7 - (sx & 7))) & 1]; break;
            case 4: px = lut[(sx & 1) ? (s[sx >> 1] & 15) : (s[sx >> 1] >> 4)]; break;
            case 8: px = lut[s[sx]]; break;
            case 16: {
                const int g = reinterpret_cast<const uint16_t*>(s)[sx] >> 8;
                px = deepTransparent && tc.r == g && tc.g == g && tc.b == g
                         ? 0u
                         : 0xFF000000u | uint32_t(g) << 16 | uint32_t(g) << 8 | uint32_t(g);
                break;
            }
            default: {
                const int n = b.bpp() / 8;
                const uint8_t* p = s + sx * n;
                px = deepTransparent && p[2] == tc.r && p[1] == tc.g && p[0] == tc.b
                         ? 0u
                         : 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
                break;
            }
            }
            // Transparent pixels leave the canvas as it is.
            if (px) d[x] = px;
        }
    }
}

}  // namespace qova::engine
