// The control's animation side: canvas and frame settings, the palettes,
// colour reduction of the whole list, playback with its clock and the
// painting of the canvas; and their dispatch table.
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>

#include "control_dispatch.h"
#include "core/animation.h"
#include "core/codes.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "image_control.h"
#include "image_control_p.h"

namespace qova::engine {

namespace {

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A player that fell this far behind (a stalled machine, a modal loop)
// starts timing afresh instead of rushing through the frames it missed.
constexpr int64_t kResyncNs = 1'000'000'000;

}  // namespace

// --- settings ---

bool ImageControl::animationPlaying() const { log(dispid::AnimationPlaying); return d->doc.animationPlaying(); }

double ImageControl::frameLeft() const { log(dispid::FrameLeft); return d->doc.frameLeft(); }
double ImageControl::frameTop() const { log(dispid::FrameTop); return d->doc.frameTop(); }
int32_t ImageControl::frameDelay() const { log(dispid::FrameDelay); return d->doc.frameDelay(); }
int16_t ImageControl::frameDisposal() const { log(dispid::FrameDisposal); return int16_t(d->doc.frameDisposal()); }
bool ImageControl::frameTransparent() const { log(dispid::FrameTransparent); return d->doc.frameTransparent(); }
uint32_t ImageControl::frameTransparentColour() const {
    log(dispid::FrameTransparentColour);
    return d->doc.frameTransparentColour();
}
double ImageControl::animationWidth() const { log(dispid::AnimationWidth); return d->doc.animationWidth(); }
double ImageControl::animationHeight() const { log(dispid::AnimationHeight); return d->doc.animationHeight(); }
uint32_t ImageControl::animationBackColor() const {
    log(dispid::AnimationBackColor);
    return d->doc.animationBackColor();
}
int16_t ImageControl::animationBits() const { log(dispid::AnimationBits); return int16_t(d->doc.animationBits()); }

// A setting changed: a stopped animation's canvas gives way to the page.
#define QOVA_ANIMATION_SETTING(member, id, type, call) \
    void ImageControl::member(type v) {                \
        log(dispid::id);                               \
        d->doc.call(v);                                \
        if (!d->doc.animationPlaying() && d->doc.animationCanvas()) { \
            d->doc.dropAnimationCanvas();              \
            invalidateView();                          \
        }                                              \
    }

QOVA_ANIMATION_SETTING(setFrameLeft, FrameLeft, int16_t, setFrameLeft)
QOVA_ANIMATION_SETTING(setFrameTop, FrameTop, int16_t, setFrameTop)
QOVA_ANIMATION_SETTING(setFrameDelay, FrameDelay, int32_t, setFrameDelay)
QOVA_ANIMATION_SETTING(setFrameDisposal, FrameDisposal, int16_t, setFrameDisposal)
QOVA_ANIMATION_SETTING(setFrameTransparent, FrameTransparent, bool, setFrameTransparent)
QOVA_ANIMATION_SETTING(setFrameTransparentColour, FrameTransparentColour, uint32_t, setFrameTransparentColour)
QOVA_ANIMATION_SETTING(setAnimationWidth, AnimationWidth, int16_t, setAnimationWidth)
QOVA_ANIMATION_SETTING(setAnimationHeight, AnimationHeight, int16_t, setAnimationHeight)
QOVA_ANIMATION_SETTING(setAnimationBackColor, AnimationBackColor, uint32_t, setAnimationBackColor)
QOVA_ANIMATION_SETTING(setAnimationBits, AnimationBits, int32_t, setAnimationBits)

#undef QOVA_ANIMATION_SETTING

uint32_t ImageControl::animationPalette(int index) const {
    log(dispid::AnimationPalette);
    return d->doc.animationPalette(index);
}

void ImageControl::setAnimationPalette(int index, uint32_t colour) {
    log(dispid::AnimationPalette);
    d->doc.setAnimationPalette(index, colour);
    // A background naming this entry shows its new colour.
    if (d->doc.animationCanvas()) viewport()->update();
}

uint32_t ImageControl::bitmapPalette(int index) const {
    log(dispid::BitmapPalette);
    return d->doc.bitmapPalette(index);
}

void ImageControl::setBitmapPalette(int index, uint32_t colour) {
    log(dispid::BitmapPalette);
    d->doc.setBitmapPalette(index, colour);
}

int16_t ImageControl::colourResList(int bits, int options, int dither, int colours) {
    log(dispid::ColourResList);
    return d->doc.colourResolutionList(bits, options, dither, colours, progressReporter());
}

// --- playback ---

void ImageControl::setAnimationPlaying(bool on) {
    log(dispid::AnimationPlaying);
    const bool was = d->doc.animationPlaying();
    d->doc.setAnimationPlaying(on);
    const bool playing = d->doc.animationPlaying();
    if (playing && !was) {
        if (!playTimer_) {
            playTimer_ = new QTimer(this);
            playTimer_->setSingleShot(true);
            // Coarse timers may fire 5 % late; frames must come on time.
            playTimer_->setTimerType(Qt::PreciseTimer);
            connect(playTimer_, &QTimer::timeout, this, [this] { playTick(); });
        }
        playDueNs_ = nowNs() + int64_t(d->doc.playDelay()) * 1'000'000;
        schedulePlayTick();
        invalidateView();
        emit animationFrameShown(d->doc.playFrame());
    } else if (!playing) {
        if (playTimer_) playTimer_->stop();
        invalidateView();  // the page again
    }
    if (playing != was) emit animationNotify();
}

void ImageControl::schedulePlayTick() {
    const int64_t wait = playDueNs_ - nowNs();
    // Whole milliseconds, rounded up: the frame never comes early, and the
    // next one is timed from when this one was due, so lateness never adds up.
    playTimer_->start(int(std::clamp<int64_t>((wait + 999'999) / 1'000'000, 0, INT32_MAX)));
}

void ImageControl::playTick() {
    if (!d->doc.animationPlaying()) return;
    const int64_t now = nowNs();
    if (now < playDueNs_) {
        schedulePlayTick();
        return;
    }
    if (!d->doc.advanceAnimation()) {
        // A single run ended: its last frame stays on view.
        viewport()->update();
        emit animationNotify();
        return;
    }
    playDueNs_ = now - playDueNs_ > kResyncNs ? now : playDueNs_;
    playDueNs_ += int64_t(d->doc.playDelay()) * 1'000'000;
    // Only the canvas changed: no cached page picture to remake.
    updateScrollBars();
    viewport()->update();
    emit animationFrameShown(d->doc.playFrame());
    schedulePlayTick();
}

void ImageControl::animationFollowDocument() {
    if (playTimer_ && playTimer_->isActive() && !d->doc.animationPlaying()) {
        playTimer_->stop();
        emit animationNotify();
    }
}

// --- painting the canvas ---

std::pair<QRectF, QSize> ImageControl::canvasLayout(const Bitmap& canvas) const {
    const double cw = canvas.width(), ch = canvas.height();
    const QSize vp = viewport()->size();
    switch (viewMode_) {
    case ViewNormal: return {QRectF(0, 0, cw, ch), canvas.width() > 0 ? QSize(canvas.width(), canvas.height()) : QSize()};
    case ViewStretch: return {QRectF(0, 0, vp.width(), vp.height()), vp};
    case ViewFit: {
        const double s = std::min(vp.width() / cw, vp.height() / ch);
        return {QRectF(0, 0, std::max(1.0, std::round(cw * s)), std::max(1.0, std::round(ch * s))), vp};
    }
    default: {
        // The page's zoom applied to the whole canvas.
        const double sx = srcRect_.width() > 0 ? dstRect_.width() / srcRect_.width() : 1.0;
        const double sy = srcRect_.height() > 0 ? dstRect_.height() / srcRect_.height() : 1.0;
        const QRectF target(dstRect_.left(), dstRect_.top(), cw * sx, ch * sy);
        return {target, QSize(int(std::ceil(target.right())), int(std::ceil(target.bottom())))};
    }
    }
}

void ImageControl::paintCanvas(QPainter& p, const Bitmap& canvas) {
    const QRectF target =
        canvasLayout(canvas).first.translated(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    const AnimationInfo& a = d->doc.document().animation;
    // Clear parts show the background colour; a file's animation shows
    // them as browsers do, in the page's white.
    const Rgb bg = a.backgroundShown ? resolveColour(a.backColor, a.palette) : Rgb{255, 255, 255};
    p.fillRect(target, QColor(bg.r, bg.g, bg.b));
    const QImage image(canvas.bits(), canvas.width(), canvas.height(), qsizetype(canvas.stride()),
                       QImage::Format_ARGB32);
    const bool reducing = target.width() < canvas.width() || target.height() < canvas.height();
    if (d->display.active()) {
        // Through the display palette like any picture: the frame as seen
        // (over its background, at the view's size), then mapped.
        const QSize size = target.size().toSize();
        if (size.isEmpty()) return;
        QImage flat(size, QImage::Format_RGB32);
        flat.fill(QColor(bg.r, bg.g, bg.b));
        QPainter fp(&flat);
        fp.setRenderHint(QPainter::SmoothPixmapTransform, reducing);
        fp.drawImage(QRectF(QPointF(0, 0), QSizeF(size)), image);
        fp.end();
        const QImage mapped = throughDisplayPalette(flat, d->display.palette, d->display.dithering,
                                                    d->display.option8 == 0);
        p.drawImage(target.topLeft(), mapped.isNull() ? flat : mapped);
        return;
    }
    p.setRenderHint(QPainter::SmoothPixmapTransform, reducing);
    p.drawImage(target, image);
}

namespace dispatch {

std::span<const Entry> animationEntries() {
    using C = ImageControl;
    using L = QVariantList;
    using V = QVariant;
    static const Entry table[] = {
        {dispid::AnimationPlaying, "animationPlaying", [](C& c, const L&) { return V(c.animationPlaying()); },
         [](C& c, const V& v) { c.setAnimationPlaying(v.toBool()); }},
        {dispid::FrameLeft, "frameLeft", [](C& c, const L&) { return V(c.frameLeft()); },
         [](C& c, const V& v) { c.setFrameLeft(int16_t(v.toInt())); }},
        {dispid::FrameTop, "frameTop", [](C& c, const L&) { return V(c.frameTop()); },
         [](C& c, const V& v) { c.setFrameTop(int16_t(v.toInt())); }},
        {dispid::FrameDelay, "frameDelay", [](C& c, const L&) { return V(c.frameDelay()); },
         [](C& c, const V& v) { c.setFrameDelay(v.toInt()); }},
        {dispid::AnimationWidth, "animationWidth", [](C& c, const L&) { return V(c.animationWidth()); },
         [](C& c, const V& v) { c.setAnimationWidth(int16_t(v.toInt())); }},
        {dispid::AnimationHeight, "animationHeight", [](C& c, const L&) { return V(c.animationHeight()); },
         [](C& c, const V& v) { c.setAnimationHeight(int16_t(v.toInt())); }},
        {dispid::AnimationBackColor, "animationBackColor", [](C& c, const L&) { return V(c.animationBackColor()); },
         [](C& c, const V& v) { c.setAnimationBackColor(v.toUInt()); }},
        {dispid::AnimationBits, "animationBits", [](C& c, const L&) { return V(c.animationBits()); },
         [](C& c, const V& v) { c.setAnimationBits(v.toInt()); }},
        {dispid::FrameTransparent, "frameTransparent", [](C& c, const L&) { return V(c.frameTransparent()); },
         [](C& c, const V& v) { c.setFrameTransparent(v.toBool()); }},
        {dispid::FrameTransparentColour, "frameTransparentColour",
         [](C& c, const L&) { return V(c.frameTransparentColour()); },
         [](C& c, const V& v) { c.setFrameTransparentColour(v.toUInt()); }},
        {dispid::FrameDisposal, "frameDisposal", [](C& c, const L&) { return V(c.frameDisposal()); },
         [](C& c, const V& v) { c.setFrameDisposal(int16_t(v.toInt())); }},
        {dispid::AnimationPalette, "animationPalette",
         [](C& c, const L& a) {
             if (a.size() > 1) {
                 c.setAnimationPalette(arg(a, 0).toInt(), arg(a, 1).toUInt());
                 return V();
             }
             return V(c.animationPalette(arg(a, 0).toInt()));
         },
         nullptr},
        {dispid::BitmapPalette, "bitmapPalette",
         [](C& c, const L& a) {
             if (a.size() > 1) {
                 c.setBitmapPalette(arg(a, 0).toInt(), arg(a, 1).toUInt());
                 return V();
             }
             return V(c.bitmapPalette(arg(a, 0).toInt()));
         },
         nullptr},
        {dispid::ColourResList, "colourResList",
         [](C& c, const L& a) {
             return V(c.colourResList(arg(a, 0).toInt(), arg(a, 1).toInt(), arg(a, 2).toInt(), arg(a, 3).toInt()));
         },
         nullptr},
    };
    return table;
}

}  // namespace dispatch

}  // namespace qova::engine
