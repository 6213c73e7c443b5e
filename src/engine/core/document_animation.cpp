// The document's animation: canvas and frame settings, the shared palette,
// colour reduction of the whole list, and playback.
#include <algorithm>

#include "animation.h"
#include "codes.h"
#include "document.h"
#include "engine_error.h"
#include "ops/reduce.h"

namespace qova::engine {

namespace {

[[noreturn]] void badParam() { throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。"); }

uint32_t entryAt(const Palette& p, int index) {
    if (index < 0 || index > 255) badParam();
    return size_t(index) < p.size() ? colourOfRgb(p[size_t(index)]) : 0;
}

void putEntry(Palette& p, int index, uint32_t colour, int entries) {
    if (index < 0 || index >= entries) badParam();
    if (size_t(index) >= p.size()) p.resize(size_t(index) + 1);
    p[size_t(index)] = rgbOfColour(colour & 0xFFFFFF);
}

}  // namespace

Frame& ImageDocument::shownFrame() {
    requireImage();
    return doc_.frames[size_t(index_)];
}

const Frame& ImageDocument::shownFrame() const {
    requireImage();
    return doc_.frames[size_t(index_)];
}

int ImageDocument::animationWidth() const { return canvasWidth(doc_); }
int ImageDocument::animationHeight() const { return canvasHeight(doc_); }

void ImageDocument::setAnimationWidth(int w) {
    if (w < 0) badParam();
    doc_.animation.canvasWidth = w;
}

void ImageDocument::setAnimationHeight(int h) {
    if (h < 0) badParam();
    doc_.animation.canvasHeight = h;
}

void ImageDocument::setAnimationBackColor(uint32_t colour) {
    doc_.animation.backColor = colour;
    doc_.animation.backgroundShown = true;
}

uint32_t ImageDocument::animationPalette(int index) const { return entryAt(doc_.animation.palette, index); }

void ImageDocument::setAnimationPalette(int index, uint32_t colour) {
    putEntry(doc_.animation.palette, index, colour, 256);
}

int ImageDocument::frameLeft() const { return shownFrame().left; }
int ImageDocument::frameTop() const { return shownFrame().top; }
int ImageDocument::frameDelay() const { return shownFrame().delayMs; }
int ImageDocument::frameDisposal() const { return int(shownFrame().disposal); }
bool ImageDocument::frameTransparent() const { return shownFrame().transparent; }
uint32_t ImageDocument::frameTransparentColour() const { return shownFrame().transparentColour; }

void ImageDocument::setFrameLeft(int left) {
    if (left < 0 || left > 65535) badParam();
    shownFrame().left = left;
}

void ImageDocument::setFrameTop(int top) {
    if (top < 0 || top > 65535) badParam();
    shownFrame().top = top;
}

void ImageDocument::setFrameDelay(int ms) {
    // A GIF holds at most 65535 hundredths of a second.
    if (ms < 0 || ms > 655350) badParam();
    shownFrame().delayMs = ms;
}

void ImageDocument::setFrameDisposal(int disposal) {
    if (disposal < 0 || disposal > 3) badParam();
    shownFrame().disposal = Disposal(disposal);
}

void ImageDocument::setFrameTransparent(bool on) {
    Frame& f = shownFrame();
    f.transparent = on;
    resolveTransparency(f);
}

void ImageDocument::setFrameTransparentColour(uint32_t colour) {
    Frame& f = shownFrame();
    f.transparentColour = colour & 0xFFFFFF;
    resolveTransparency(f);
}

uint32_t ImageDocument::bitmapPalette(int index) const {
    const Bitmap& b = shownFrame().bitmap;
    if (!b.hasPalette()) return 0;
    return entryAt(b.palette(), index);
}

void ImageDocument::setBitmapPalette(int index, uint32_t colour) {
    Frame& f = shownFrame();
    if (!f.bitmap.hasPalette()) badParam();
    Palette p = f.bitmap.palette();
    putEntry(p, index, colour, 1 << f.bitmap.bpp());
    // The pixels stay shared; only the palette is the page's own.
    Bitmap b = f.bitmap;
    b.setPalette(std::move(p));
    setCurrentBitmap(b);
}

int16_t ImageDocument::colourResolutionList(int bits, int options, int dither, int colours,
                                            const ProgressFn& progress) {
    if (isEmpty()) return kErrBadHandle;
    std::vector<Bitmap> frames;
    frames.reserve(doc_.frames.size());
    for (const Frame& f : doc_.frames) frames.push_back(f.bitmap);
    const uint64_t serial = serial_;
    const int16_t code = ops::colourResolutionList(frames, bits, options, dither, colours, progress);
    if (code != kOk) return code;
    // Progress lets events run: a list replaced meanwhile keeps its own.
    if (serial_ != serial || frames.size() != doc_.frames.size()) return kErrBadHandle;
    for (size_t i = 0; i < frames.size(); ++i) {
        doc_.frames[i].bitmap = std::move(frames[i]);
        resolveTransparency(doc_.frames[i]);
    }
    const Bitmap& first = doc_.frames.front().bitmap;
    if (first.hasPalette()) doc_.animation.palette = first.palette();
    if (bits <= 8) doc_.animation.bpp = bits;
    changed(Change::Pixels);
    return kOk;
}

// --- playback ---

void ImageDocument::setAnimationPlaying(bool on) {
    if (!on) {
        // Stopped on purpose: the view goes back to the page.
        stopPlayback();
        return;
    }
    if (isEmpty()) return;
    if (!canvas_) canvas_ = std::make_unique<AnimationCanvas>();
    playing_ = canvas_->show(doc_, 0);
    if (!playing_) canvas_.reset();
}

bool ImageDocument::advanceAnimation() {
    if (!playing_ || !canvas_ || isEmpty()) {
        playing_ = false;
        return false;
    }
    int next = canvas_->frame() + 1;
    if (next >= bitmapListCount()) {
        if (!doc_.animation.loop) {
            playing_ = false;
            return false;
        }
        next = 0;
    }
    if (!canvas_->show(doc_, next)) {
        stopPlayback();
        return false;
    }
    return true;
}

int ImageDocument::playFrame() const { return canvas_ ? canvas_->frame() : -1; }

int ImageDocument::playDelay() const {
    const int f = playFrame();
    return f >= 0 && f < bitmapListCount() ? playDelayMs(doc_.frames[size_t(f)]) : 0;
}

const Bitmap* ImageDocument::animationCanvas() const {
    return canvas_ && !canvas_->isNull() ? &canvas_->bitmap() : nullptr;
}

void ImageDocument::dropAnimationCanvas() {
    if (!playing_) canvas_.reset();
}

void ImageDocument::stopPlayback() {
    playing_ = false;
    canvas_.reset();
}

}  // namespace qova::engine
