// The control's view side: view mode and rectangles, coordinate units,
// painting, scrolling, input events and the pan window; and its dispatch table.
#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "control_dispatch.h"
#include "core/codes.h"
#include "core/cv_bitmap.h"
#include "core/view_copy.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "image_control.h"
#include "image_control_p.h"
#include "pan_window.h"
#include "virtual_keys.h"

namespace qova::engine {

QImage wrapBitmap(const Bitmap& b, std::vector<uint8_t>& scratch) {
    if (b.isNull()) return QImage();
    const int w = b.width(), h = b.height();
    auto table = [&](int n) {
        QVector<QRgb> t(n);
        for (int i = 0; i < n; ++i) {
            const Rgb c = i < int(b.palette().size()) ? b.palette()[size_t(i)] : Rgb{};
            t[i] = qRgb(c.r, c.g, c.b);
        }
        return t;
    };
    switch (b.bpp()) {
    case 1: {
        QImage img(b.bits(), w, h, qsizetype(b.stride()), QImage::Format_Mono);
        img.setColorTable(table(2));
        return img;
    }
    case 4: {
        const size_t stride = (size_t(w) + 3) & ~size_t(3);
        scratch.resize(stride * size_t(h));
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = b.row(y);
            uint8_t* d = scratch.data() + stride * size_t(y);
            for (int x = 0; x < w; ++x) d[x] = (x & 1) ? (s[x >> 1] & 15) : (s[x >> 1] >> 4);
        }
        QImage img(scratch.data(), w, h, qsizetype(stride), QImage::Format_Indexed8);
        img.setColorTable(table(16));
        return img;
    }
    case 8:
        if (b.isGrey()) return QImage(b.bits(), w, h, qsizetype(b.stride()), QImage::Format_Grayscale8);
        else {
            QImage img(b.bits(), w, h, qsizetype(b.stride()), QImage::Format_Indexed8);
            img.setColorTable(table(256));
            return img;
        }
    case 16: return QImage(b.bits(), w, h, qsizetype(b.stride()), QImage::Format_Grayscale16);
    case 24: return QImage(b.bits(), w, h, qsizetype(b.stride()), QImage::Format_BGR888);
    case 32: return QImage(b.bits(), w, h, qsizetype(b.stride()), QImage::Format_ARGB32);
    default: return QImage();
    }
}

QImage onWhite(const QImage& img) {
    if (!img.hasAlphaChannel()) return img.convertToFormat(QImage::Format_RGB32);
    QImage out(img.size(), QImage::Format_RGB32);
    if (out.isNull()) return out;
    out.fill(Qt::white);
    QPainter p(&out);
    p.drawImage(0, 0, img);
    return out;
}

QImage shownImage(const Bitmap& b) {
    std::vector<uint8_t> scratch;
    // A picture with transparency is shown (and copied, printed) on white.
    return onWhite(wrapBitmap(b, scratch));
}

QImage reducedImageOf(const Bitmap& copy) {
    QImage::Format fmt = QImage::Format_BGR888;
    switch (copy.bpp()) {
    case 8: fmt = QImage::Format_Grayscale8; break;
    case 16: fmt = QImage::Format_Grayscale16; break;
    case 24: break;
    case 32: fmt = QImage::Format_ARGB32; break;
    default: return QImage();
    }
    // The image keeps the copy's pixels alive; no pixel is copied.
    auto* keep = new Bitmap(copy);
    QImage out(keep->bits(), copy.width(), copy.height(), qsizetype(copy.stride()), fmt,
               [](void* k) { delete static_cast<Bitmap*>(k); }, keep);
    return copy.bpp() == 32 ? onWhite(out) : out;
}

// Area-averaged reduction of `b` to w × h (what a photo needs to look right
// when shown smaller; nearest-neighbour would alias).
QImage reducedImage(const Bitmap& b, int w, int h) {
    const Bitmap copy = reducedCopy(b, w, h);
    return copy.isNull() ? QImage() : reducedImageOf(copy);
}

void ImageControl::keepViewCopy(const Bitmap& copy) {
    const Bitmap& b = currentBitmap();
    if (copy.isNull() || b.isNull() || copy.bpp() != (reducesInPlaceDepth(b) ? b.bpp() : 24)) return;
    d->viewCopy = copy;
}

void ImageControl::showPreview(const Bitmap& small, int width, int height, QSize view) {
    if (small.isNull() || width <= 0 || height <= 0) return;
    // Fitted as the whole picture will be (never enlarged past its size).
    const double scale = std::min({1.0, double(view.width()) / width, double(view.height()) / height});
    const int w = std::max(1, int(std::lround(width * scale))), h = std::max(1, int(std::lround(height * scale)));
    const Bitmap fitted = w < small.width() || h < small.height() ? reducedCopy(small, w, h) : small;
    d->preview = fitted.isNull() ? QImage() : reducedImageOf(fitted);
    if (d->preview.isNull()) return;
    if (previewShown_) previewShown_();
}

QImage ImageControl::previewImage() const { return d->preview; }

void ImageControl::setViewMode(int mode) {
    log(dispid::ViewMode);
    viewMode_ = mode;
    invalidateView(false);
}

void ImageControl::setSourceRect(double l, double t, double w, double h) {
    log(dispid::SetSourceRect);
    srcRect_ = QRectF(l, t, w, h);
    invalidateView(false);
}

void ImageControl::setSourceClipRect(double l, double t, double w, double h) {
    log(dispid::SetSourceClipRect);
    srcClip_ = QRectF(l, t, w, h);
}

void ImageControl::setDisplayRect(double l, double t, double w, double h) {
    log(dispid::SetDisplayRect);
    dstRect_ = QRectF(l, t, w, h);
    // Rectangles of the program's own make the zoomed view.
    viewMode_ = ViewZoomed;
    invalidateView(false);
}

void ImageControl::setDisplayClipRect(double l, double t, double w, double h) {
    log(dispid::SetDisplayClipRect);
    dstClip_ = QRectF(l, t, w, h);
    invalidateView(false);
}

QSize ImageControl::screenSize() const {
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    return s ? s->size() * s->devicePixelRatio() : QSize(1920, 1080);
}

// The control's own size inside its frame, without the scroll bars the
// present view may show: a picture fitted to it needs none (and the last
// picture's bars must not make the next one fit smaller).
double ImageControl::controlWidthPx() const { log(dispid::ControlWidthPx); return maximumViewportSize().width(); }
double ImageControl::controlHeightPx() const { log(dispid::ControlHeightPx); return maximumViewportSize().height(); }

void ImageControl::setCoordinateUnit(int unit) {
    log(dispid::CoordinateUnit);
    if (unit != UnitTwips && unit != UnitPixels) throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。");
    unit_ = unit;
}

double ImageControl::toUnit(double px, bool horizontal) const {
    if (unit_ == UnitPixels) return px;
    const double dpi = horizontal ? logicalDpiX() : logicalDpiY();
    return px * 1440.0 / (dpi > 0 ? dpi : 96.0);
}

double ImageControl::fromUnit(double v, bool horizontal) const {
    if (unit_ == UnitPixels) return v;
    const double dpi = horizontal ? logicalDpiX() : logicalDpiY();
    return v * (dpi > 0 ? dpi : 96.0) / 1440.0;
}

void ImageControl::repaint() {
    log(dispid::Repaint);
    viewport()->update();
}

void ImageControl::resetRects() {
    const Bitmap& b = currentBitmap();
    srcRect_ = srcClip_ = dstRect_ = dstClip_ = QRectF(0, 0, b.width(), b.height());
}

void ImageControl::invalidateView(bool pixelsChanged) {
    // The reduced picture is made for one layout; it is remade at the next
    // paint, once however many rectangles changed in between.
    d->reducedValid = false;
    d->reduced = QImage();
    d->display.reduced = {};
    if (pixelsChanged) {
        d->viewCopy = Bitmap();  // made from pixels that are no more
        d->wrappedValid = false;
        d->display.wrapped = {};
    }
    updateScrollBars();
    viewport()->update();
    if (d->pan) {
        // A new zoom or mode only moves the pan window's frame.
        if (pixelsChanged) d->pan->pictureChanged();
        else d->pan->viewChanged();
    }
}

PanWindow* ImageControl::panWindow() const {
    if (!d->pan) d->pan = new PanWindow(const_cast<ImageControl*>(this));
    return d->pan;
}

double ImageControl::panWindowLeft() const { log(dispid::PanWindowLeft); return toUnit(panWindow()->x(), true); }
double ImageControl::panWindowTop() const { log(dispid::PanWindowTop); return toUnit(panWindow()->y(), false); }
double ImageControl::panWindowWidth() const { log(dispid::PanWindowWidth); return panWindow()->width(); }
double ImageControl::panWindowHeight() const { log(dispid::PanWindowHeight); return panWindow()->height(); }

void ImageControl::setPanWindowLeft(double v) {
    log(dispid::PanWindowLeft);
    panWindow()->move(int(std::lround(fromUnit(v, true))), panWindow()->y());
}

void ImageControl::setPanWindowTop(double v) {
    log(dispid::PanWindowTop);
    panWindow()->move(panWindow()->x(), int(std::lround(fromUnit(v, false))));
}

void ImageControl::setPanWindowWidth(double v) {
    log(dispid::PanWindowWidth);
    panWindow()->resize(std::max(40, int(std::lround(fromUnit(v, true)))), panWindow()->height());
}

void ImageControl::setPanWindowHeight(double v) {
    log(dispid::PanWindowHeight);
    panWindow()->resize(panWindow()->width(), std::max(30, int(std::lround(fromUnit(v, false)))));
}

void ImageControl::setPanWindowTitle(const QString& title) {
    log(dispid::PanWindowTitle);
    panWindow()->setWindowTitle(title);
}

void ImageControl::showPanWindow(bool show) {
    log(dispid::ShowPanWindow);
    panWindow()->setVisible(show);
    if (show) panWindow()->raise();
}

QRectF ImageControl::visibleBitmapRect() const {
    if (isEmpty()) return QRectF();
    const Bitmap& b = currentBitmap();
    const QSize vp = viewport()->size();
    const auto l = viewLayout();
    const QRectF shown = QRectF(horizontalScrollBar()->value(), verticalScrollBar()->value(), vp.width(), vp.height())
                             .intersected(l.second);
    if (shown.isEmpty()) return QRectF();
    const QRectF& src = l.first;
    const QRectF& dst = l.second;
    const double sx = src.width() / dst.width(), sy = src.height() / dst.height();
    return QRectF(src.left() + (shown.left() - dst.left()) * sx, src.top() + (shown.top() - dst.top()) * sy,
                  shown.width() * sx, shown.height() * sy)
        .intersected(QRectF(0, 0, b.width(), b.height()));
}

void ImageControl::scrollToBitmapPoint(QPointF p) {
    if (isEmpty()) return;
    const auto l = viewLayout();
    const double sx = l.second.width() / l.first.width(), sy = l.second.height() / l.first.height();
    horizontalScrollBar()->setValue(int(std::lround(l.second.left() + (p.x() - l.first.left()) * sx)));
    verticalScrollBar()->setValue(int(std::lround(l.second.top() + (p.y() - l.first.top()) * sy)));
}

QImage ImageControl::reducedPicture(QSize size) const {
    if (isEmpty() || size.isEmpty()) return QImage();
    return reducedImage(currentBitmap(), size.width(), size.height());
}

namespace {

struct Layout {
    QRectF source;   // bitmap pixels drawn
    QRectF target;   // where, in content coordinates
    QRectF clip;     // clip in content coordinates (empty = none)
    QSize content;   // scrollable content size
};

}  // namespace

static Layout layoutFor(const ImageControl& c, int mode, const QSize& vp, int bw, int bh, const QRectF& src,
                        const QRectF& dst, const QRectF& dstClip) {
    Layout l;
    l.source = QRectF(0, 0, bw, bh);
    switch (mode) {
    case ImageControl::ViewNormal:
        l.target = QRectF(0, 0, bw, bh);
        l.content = QSize(bw, bh);
        break;
    case ImageControl::ViewStretch:
        l.target = QRectF(0, 0, vp.width(), vp.height());
        l.content = vp;
        break;
    case ImageControl::ViewFit: {
        const double s = std::min(double(vp.width()) / bw, double(vp.height()) / bh);
        l.target = QRectF(0, 0, std::max(1.0, std::round(bw * s)), std::max(1.0, std::round(bh * s)));
        l.content = vp;
        break;
    }
    default:
        if (!src.isEmpty()) l.source = src.intersected(QRectF(0, 0, bw, bh));
        l.target = dst.isEmpty() ? QRectF(0, 0, bw, bh) : dst;
        l.clip = dstClip;
        l.content = QSize(int(std::ceil(l.target.right())), int(std::ceil(l.target.bottom())));
        break;
    }
    (void)c;
    return l;
}

bool ImageControl::patchView(int x, int y, int w, int h) {
    // A picture shown through a display palette is mapped again as a whole.
    if (!d->reducedValid || d->reduced.isNull() || d->display.active()) return false;
    const Bitmap& b = currentBitmap();
    const int bw = b.width(), bh = b.height();
    const Layout l = layoutFor(*this, viewMode_, viewport()->size(), bw, bh, srcRect_, dstRect_, dstClip_);
    if (l.source != QRectF(0, 0, bw, bh) || d->reduced.size() != d->reducedFor) return false;
    QImage::Format format;
    switch (b.bpp()) {
    case 8: format = QImage::Format_Grayscale8; break;
    case 16: format = QImage::Format_Grayscale16; break;
    case 24: format = QImage::Format_BGR888; break;
    default: return false;  // 32 bits: the whole view is remade on white
    }
    if ((b.bpp() == 8 && !b.isGrey()) || d->reduced.format() != format) return false;
    // The reduced pixels the rectangle reaches, made again from the bitmap
    // part exactly under them.
    const QSize want = d->reduced.size();
    const double sx = double(want.width()) / bw, sy = double(want.height()) / bh;
    const int x0 = std::clamp(int(std::floor(x * sx)), 0, want.width());
    const int y0 = std::clamp(int(std::floor(y * sy)), 0, want.height());
    const int x1 = std::clamp(int(std::ceil((x + w) * sx)), 0, want.width());
    const int y1 = std::clamp(int(std::ceil((y + h) * sy)), 0, want.height());
    if (x1 > x0 && y1 > y0) {
        const int bx0 = std::clamp(int(std::floor(x0 / sx)), 0, bw - 1);
        const int by0 = std::clamp(int(std::floor(y0 / sy)), 0, bh - 1);
        const int bx1 = std::clamp(int(std::ceil(x1 / sx)), bx0 + 1, bw);
        const int by1 = std::clamp(int(std::ceil(y1 / sy)), by0 + 1, bh);
        const cv::Mat src = cvView(b)(cv::Rect(bx0, by0, bx1 - bx0, by1 - by0));
        const int px = d->reduced.depth() / 8;
        cv::Mat dst(y1 - y0, x1 - x0, cvTypeFor(b), d->reduced.bits() + size_t(y0) * d->reduced.bytesPerLine() + x0 * px,
                    size_t(d->reduced.bytesPerLine()));
        cv::resize(src, dst, dst.size(), 0, 0, cv::INTER_AREA);
        const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
        viewport()->update(QRectF(l.target.left() + x0, l.target.top() + y0, x1 - x0, y1 - y0)
                               .translated(-scroll)
                               .toAlignedRect()
                               .adjusted(-1, -1, 1, 1));
    }
    d->wrappedValid = false;
    d->viewCopy = Bitmap();
    if (d->pan) d->pan->pictureChanged();
    return true;
}

std::pair<QRectF, QRectF> ImageControl::viewLayout() const {
    const Bitmap& b = currentBitmap();
    const Layout l = layoutFor(*this, viewMode_, viewport()->size(), b.width(), b.height(), srcRect_, dstRect_, dstClip_);
    return {l.source, l.target};
}

void ImageControl::updateScrollBars() {
    if (isEmpty()) {
        horizontalScrollBar()->setRange(0, 0);
        verticalScrollBar()->setRange(0, 0);
        return;
    }
    const QSize vp = viewport()->size();
    QSize content;
    if (const Bitmap* canvas = d->doc.animationCanvas()) {
        // A playing animation's canvas is what the view shows.
        content = canvasLayout(*canvas).second;
    } else {
        const Bitmap& b = currentBitmap();
        content = layoutFor(*this, viewMode_, vp, b.width(), b.height(), srcRect_, dstRect_, dstClip_).content;
    }
    // A zoomed picture a few pixels larger than the control (the load and
    // resize rules size the control 40 twips apart) is not worth a scroll bar.
    const int slack = viewMode_ == ViewZoomed ? 4 : 0;
    auto range = [slack](int content, int view) { return content - view > slack ? content - view : 0; };
    horizontalScrollBar()->setRange(0, range(content.width(), vp.width()));
    verticalScrollBar()->setRange(0, range(content.height(), vp.height()));
    horizontalScrollBar()->setPageStep(vp.width());
    verticalScrollBar()->setPageStep(vp.height());
    horizontalScrollBar()->setSingleStep(std::max(1, vp.width() / 20));
    verticalScrollBar()->setSingleStep(std::max(1, vp.height() / 20));
}

void ImageControl::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    if (const Bitmap* canvas = d->doc.animationCanvas()) {
        // An animation on view: its canvas, without the page's region.
        p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
        paintCanvas(p, *canvas);
        return;
    }
    paintPicture(p);
    // The region's outline, a tracking drag and the floater lie over the picture.
    paintRegions(p);
}

void ImageControl::paintPicture(QPainter& p) {
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
    if (!d->preview.isNull()) {
        // A picture on its way: its preview, whatever the picture before.
        p.drawImage(QPoint(0, 0), d->preview);
        return;
    }
    if (isEmpty()) return;
    const Bitmap& b = currentBitmap();
    const QSize vp = viewport()->size();
    const Layout l = layoutFor(*this, viewMode_, vp, b.width(), b.height(), srcRect_, dstRect_, dstClip_);
    const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    QRectF target = l.target.translated(-scroll);
    if (!l.clip.isEmpty()) p.setClipRect(l.clip.translated(-scroll));
    const bool reducing = l.target.width() < l.source.width() || l.target.height() < l.source.height();
    if (reducing) {
        const QSize want(int(std::round(l.target.width())), int(std::round(l.target.height())));
        if (!d->reducedValid || d->reducedFor != want) {
            Bitmap part = b;
            if (l.source != QRectF(0, 0, b.width(), b.height())) {
                // A source rectangle smaller than the bitmap: reduce just that part.
                const QRect s = l.source.toAlignedRect().intersected(QRect(0, 0, b.width(), b.height()));
                std::vector<uint8_t> scratch;
                QImage whole = onWhite(wrapBitmap(b, scratch).copy(s));
                d->reduced = whole.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            } else if (!d->viewCopy.isNull() && d->viewCopy.width() == want.width() &&
                       d->viewCopy.height() == want.height()) {
                // Made ahead, off this thread, from these very pixels.
                d->reduced = reducedImageOf(d->viewCopy);
            } else {
                d->reduced = reducedImage(b, want.width(), want.height());
            }
            d->reducedFor = want;
            d->reducedValid = true;
            d->display.reduced = {};
        }
        p.drawImage(target.topLeft(), d->display.shown(d->reduced, d->display.reduced));
        p.setClipping(false);
        return;
    }
    if (!d->wrappedValid) {
        d->wrapped = wrapBitmap(b, d->scratch);
        // Transparency shows the white it is saved on (through a display
        // palette too).
        if (d->wrapped.hasAlphaChannel()) d->wrapped = onWhite(d->wrapped);
        d->wrappedValid = true;
        d->display.wrapped = {};
    }
    // Same size or enlarged: sharp pixels, only the visible part.
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    const QRectF visible = target.intersected(QRectF(QPointF(0, 0), QSizeF(vp)));
    if (visible.isEmpty()) return;
    const double sx = l.source.width() / target.width(), sy = l.source.height() / target.height();
    QRectF srcVisible(l.source.left() + (visible.left() - target.left()) * sx,
                      l.source.top() + (visible.top() - target.top()) * sy, visible.width() * sx, visible.height() * sy);
    // Whole source pixels keep the grid steady while scrolling.
    const QRectF aligned(std::floor(srcVisible.left()), std::floor(srcVisible.top()),
                         std::ceil(srcVisible.right()) - std::floor(srcVisible.left()),
                         std::ceil(srcVisible.bottom()) - std::floor(srcVisible.top()));
    const QRectF alignedTarget(target.left() + (aligned.left() - l.source.left()) / sx,
                               target.top() + (aligned.top() - l.source.top()) / sy, aligned.width() / sx,
                               aligned.height() / sy);
    p.drawImage(alignedTarget, d->display.shown(d->wrapped, d->display.wrapped), aligned);
    p.setClipping(false);
}

void ImageControl::resizeEvent(QResizeEvent* e) {
    QAbstractScrollArea::resizeEvent(e);
    if (viewMode_ == ViewFit || viewMode_ == ViewStretch) d->reducedValid = false;
    updateScrollBars();
    if (d->pan) d->pan->viewChanged();
}

void ImageControl::scrollContentsBy(int, int) {
    viewport()->update();
    if (d->pan) d->pan->viewChanged();
}

void ImageControl::keyPressEvent(QKeyEvent* e) {
    emit keyDown(virtualKey(e), shiftState(e));
}

void ImageControl::keyReleaseEvent(QKeyEvent* e) {
    emit keyUp(virtualKey(e), shiftState(e));
}

namespace {
// Mouse events deliver positions in twips, whatever coordinate unit is in
// force (the handlers switch the unit while they run).
double twips(const QWidget* w, double px, bool horizontal) {
    const double dpi = horizontal ? w->logicalDpiX() : w->logicalDpiY();
    return px * 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int buttonCode(Qt::MouseButtons b) {
    int c = 0;
    if (b & Qt::LeftButton) c |= 1;
    if (b & Qt::RightButton) c |= 2;
    if (b & Qt::MiddleButton) c |= 4;
    return c;
}
}  // namespace

void ImageControl::mousePressEvent(QMouseEvent* e) {
    setFocus(Qt::MouseFocusReason);
    // A click goes to the page: the last canvas of an ended run gives way.
    if (!d->doc.animationPlaying() && d->doc.animationCanvas()) {
        d->doc.dropAnimationCanvas();
        invalidateView();
    }
    const QPointF pos = e->position();
    emit mouseDown(buttonCode(e->button()), shiftStateFromModifiers(int(e->modifiers())), twips(this, pos.x(), true),
                   twips(this, pos.y(), false));
    // A handler may just have asked for a tracking drag: it starts here.
    regionsMousePress(e);
}

void ImageControl::mouseMoveEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    regionsMouseMove(e);
    emit mouseMove(buttonCode(e->buttons()), shiftStateFromModifiers(int(e->modifiers())), twips(this, pos.x(), true),
                   twips(this, pos.y(), false));
}

void ImageControl::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    // A tracking drag ends (and sets the region) before the release is told.
    regionsMouseRelease(e);
    emit mouseUp(buttonCode(e->button()), shiftStateFromModifiers(int(e->modifiers())), twips(this, pos.x(), true),
                 twips(this, pos.y(), false));
    if (e->button() == Qt::LeftButton && viewport()->rect().contains(pos.toPoint())) emit clicked();
}

void ImageControl::mouseDoubleClickEvent(QMouseEvent*) { emit doubleClicked(); }

namespace dispatch {

std::span<const Entry> viewEntries() {
    using C = ImageControl;
    using L = QVariantList;
    using V = QVariant;
    static const Entry table[] = {
        {dispid::CoordinateUnit, "coordinateUnit", [](C& c, const L&) { return V(c.coordinateUnit()); },
         [](C& c, const V& v) { c.setCoordinateUnit(v.toInt()); }},
        {dispid::ControlWidthPx, "controlWidthPx", [](C& c, const L&) { return V(c.controlWidthPx()); }, nullptr},
        {dispid::ControlHeightPx, "controlHeightPx", [](C& c, const L&) { return V(c.controlHeightPx()); }, nullptr},
        {dispid::ViewMode, "viewMode", [](C& c, const L&) { return V(c.viewMode()); },
         [](C& c, const V& v) { c.setViewMode(v.toInt()); }},
        {dispid::Repaint, "repaint",
         [](C& c, const L&) {
             c.repaint();
             return V();
         },
         nullptr},
        {dispid::SetDisplayRect, "setDisplayRect",
         [](C& c, const L& a) {
             c.setDisplayRect(arg(a, 0).toDouble(), arg(a, 1).toDouble(), arg(a, 2).toDouble(), arg(a, 3).toDouble());
             return V();
         },
         nullptr},
        {dispid::SetDisplayClipRect, "setDisplayClipRect",
         [](C& c, const L& a) {
             c.setDisplayClipRect(arg(a, 0).toDouble(), arg(a, 1).toDouble(), arg(a, 2).toDouble(),
                                  arg(a, 3).toDouble());
             return V();
         },
         nullptr},
        {dispid::SetSourceRect, "setSourceRect",
         [](C& c, const L& a) {
             c.setSourceRect(arg(a, 0).toDouble(), arg(a, 1).toDouble(), arg(a, 2).toDouble(), arg(a, 3).toDouble());
             return V();
         },
         nullptr},
        {dispid::SetSourceClipRect, "setSourceClipRect",
         [](C& c, const L& a) {
             c.setSourceClipRect(arg(a, 0).toDouble(), arg(a, 1).toDouble(), arg(a, 2).toDouble(),
                                 arg(a, 3).toDouble());
             return V();
         },
         nullptr},
        {dispid::PanWindowLeft, "panWindowLeft", [](C& c, const L&) { return V(c.panWindowLeft()); },
         [](C& c, const V& v) { c.setPanWindowLeft(v.toDouble()); }},
        {dispid::PanWindowTop, "panWindowTop", [](C& c, const L&) { return V(c.panWindowTop()); },
         [](C& c, const V& v) { c.setPanWindowTop(v.toDouble()); }},
        {dispid::PanWindowWidth, "panWindowWidth", [](C& c, const L&) { return V(c.panWindowWidth()); },
         [](C& c, const V& v) { c.setPanWindowWidth(v.toDouble()); }},
        {dispid::PanWindowHeight, "panWindowHeight", [](C& c, const L&) { return V(c.panWindowHeight()); },
         [](C& c, const V& v) { c.setPanWindowHeight(v.toDouble()); }},
        {dispid::PanWindowTitle, "setPanWindowTitle",
         [](C& c, const L& a) {
             c.setPanWindowTitle(arg(a, 0).toString());
             return V();
         },
         [](C& c, const V& v) { c.setPanWindowTitle(v.toString()); }},
        {dispid::ShowPanWindow, "showPanWindow",
         [](C& c, const L& a) {
             c.showPanWindow(a.isEmpty() || arg(a, 0).toBool());
             return V();
         },
         nullptr},
    };
    return table;
}

}  // namespace dispatch

}  // namespace qova::engine
