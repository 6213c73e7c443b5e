#include "image_control.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "core/codes.h"
#include "core/formats/formats.h"
#include "core/formats/read_ahead.h"
#include "core/handles.h"
#include "core/ops/geometry.h"
#include "core/pages.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "pan_window.h"
#include "virtual_keys.h"

namespace qova::engine {

namespace {

// Wraps a bitmap's pixels as a QImage without copying where Qt has the
// format; 4-bit rows are widened into `scratch`.
QImage wrap(const Bitmap& b, std::vector<uint8_t>& scratch) {
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
    case 32: return QImage(b.bits(), w, h, qsizetype(b.stride()), QImage::Format_RGB32);
    default: return QImage();
    }
}

// Area-averaged reduction of `b` to w × h (what a photo needs to look right
// when shown smaller; nearest-neighbour would alias).
QImage reduce(const Bitmap& b, int w, int h) {
    Bitmap src = b;
    if (b.bpp() < 8 || (b.bpp() == 8 && !b.isGrey())) src = b.convertTo(24);
    if (src.isNull() || w <= 0 || h <= 0) return QImage();
    int type = CV_8UC3;
    QImage::Format fmt = QImage::Format_BGR888;
    switch (src.bpp()) {
    case 8: type = CV_8UC1; fmt = QImage::Format_Grayscale8; break;
    case 16: type = CV_16UC1; fmt = QImage::Format_Grayscale16; break;
    case 32: type = CV_8UC4; fmt = QImage::Format_RGB32; break;
    default: break;
    }
    QImage out(w, h, fmt);
    if (out.isNull()) return out;
    cv::Mat in(src.height(), src.width(), type, const_cast<uint8_t*>(src.bits()), src.stride());
    cv::Mat dst(h, w, type, out.bits(), size_t(out.bytesPerLine()));
    // Halve by exact 2×2 averages while that stays at least the wanted size
    // (OpenCV's fast path), then a bilinear step of less than 2×: as smooth
    // as a full area average and several times faster for photos.
    cv::Mat cur = in;
    while (cur.cols >= 2 * w && cur.rows >= 2 * h && cur.cols >= 4 && cur.rows >= 4) {
        cv::Mat half;
        cv::resize(cur(cv::Rect(0, 0, cur.cols & ~1, cur.rows & ~1)), half, cv::Size(cur.cols / 2, cur.rows / 2), 0, 0,
                   cv::INTER_AREA);
        cur = half;
    }
    if (cur.cols == w && cur.rows == h) cur.copyTo(dst);
    else cv::resize(cur, dst, dst.size(), 0, 0, cur.cols >= w && cur.rows >= h ? cv::INTER_LINEAR : cv::INTER_AREA);
    return out;
}

}  // namespace

struct ImageControl::Private {
    Document doc;
    int index = 0;
    uint32_t handle = 0;
    // View cache: the reduced picture for the current target size.
    QImage reduced;
    QSize reducedFor;
    bool reducedValid = false;
    std::vector<uint8_t> scratch;
    QImage wrapped;
    bool wrappedValid = false;
    PanWindow* pan = nullptr;
    static const Bitmap& empty() {
        static const Bitmap e;
        return e;
    }
};

ImageControl::ImageControl(QWidget* parent) : QAbstractScrollArea(parent), d(std::make_unique<Private>()) {
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::StyledPanel);
    viewport()->setMouseTracking(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    Private* p = d.get();
    d->handle = HandleTable::instance().addProvider([p]() {
        if (p->doc.frames.empty()) return Bitmap();
        return p->doc.frames[size_t(p->index)].bitmap;
    });
}

ImageControl::~ImageControl() { HandleTable::instance().remove(d->handle); }

void ImageControl::log(int id) const {
    if (callLogEnabled_) callLog_.push_back(id);
}

void ImageControl::setCallLogEnabled(bool on) {
    callLogEnabled_ = on;
    callLog_.clear();
}

void ImageControl::requireImage() const {
    if (d->doc.frames.empty()) throw EngineError(kErrBadHandle, "ﾋﾞｯﾄﾏｯﾌﾟﾊﾝﾄﾞﾙが不正です。");
}

bool ImageControl::isEmpty() const { return d->doc.frames.empty(); }

uint32_t ImageControl::bitmapHandle() const {
    log(dispid::BitmapHandle);
    return isEmpty() ? 0 : d->handle;
}

void ImageControl::setBitmapHandle(uint32_t handle) {
    log(dispid::BitmapHandle);
    if (handle == 0) {
        setDocument(Document{});
        return;
    }
    if (handle == d->handle) return;
    Bitmap b;
    if (!HandleTable::instance().get(handle, b)) throw EngineError(kErrBadHandle, "ﾋﾞｯﾄﾏｯﾌﾟﾊﾝﾄﾞﾙが不正です。");
    if (isEmpty()) {
        Document doc;
        doc.frames.push_back(Frame{b});
        doc.info.width = b.width();
        doc.info.height = b.height();
        doc.info.bpp = b.bpp();
        doc.info.pageCount = 1;
        setDocument(std::move(doc));
    } else {
        setCurrentBitmap(b);
    }
}

int ImageControl::bitmapWidth() const {
    log(dispid::BitmapWidth);
    requireImage();
    return currentBitmap().width();
}

int ImageControl::bitmapHeight() const {
    log(dispid::BitmapHeight);
    requireImage();
    return currentBitmap().height();
}

int ImageControl::bitsPerPixel() const {
    log(dispid::BitsPerPixel);
    requireImage();
    return currentBitmap().bpp();
}

int ImageControl::bitmapListIndex() const {
    log(dispid::BitmapListIndex);
    return d->index;
}

void ImageControl::setBitmapListIndex(int index) {
    log(dispid::BitmapListIndex);
    if (index < 0 || index >= int(d->doc.frames.size())) throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。");
    if (index == d->index) return;
    const QSize before(currentBitmap().width(), currentBitmap().height());
    d->index = index;
    if (before != QSize(currentBitmap().width(), currentBitmap().height())) resetRects();
    invalidateView();
}

int ImageControl::bitmapListCount() const {
    log(dispid::BitmapListCount);
    return int(d->doc.frames.size());
}

void ImageControl::insertBitmapListItem(int position, uint32_t handle) {
    log(dispid::InsertBitmapListItem);
    Bitmap b;
    if (!HandleTable::instance().get(handle, b)) throw EngineError(kErrBadHandle, "ﾋﾞｯﾄﾏｯﾌﾟﾊﾝﾄﾞﾙが不正です。");
    auto& frames = d->doc.frames;
    if (position < 0 || position > int(frames.size())) position = int(frames.size());
    frames.insert(frames.begin() + position, Frame{b});
    if (frames.size() == 1) {
        d->index = 0;
        d->doc.info.width = b.width();
        d->doc.info.height = b.height();
        d->doc.info.bpp = b.bpp();
    } else if (position <= d->index) {
        ++d->index;
    }
    d->doc.info.pageCount = int(frames.size());
    invalidateView();
}

int ImageControl::infoWidth() const { log(dispid::InfoWidth); return d->doc.info.width; }
int ImageControl::infoHeight() const { log(dispid::InfoHeight); return d->doc.info.height; }
int ImageControl::infoBits() const { log(dispid::InfoBits); return d->doc.info.bpp; }
double ImageControl::infoSize() const { log(dispid::InfoSize); return double(d->doc.info.sizeBytes); }

void ImageControl::reportProgress(int percent) {
    if (progressEnabled_) emit progress(percent);
}

int16_t ImageControl::load(const QString& path, int bpp, int page, int pageCount) {
    log(dispid::Load);
    LoadRequest req;
    req.path = path.toStdString();
    req.bpp = bpp;
    req.firstPage = page;
    req.pageCount = pageCount;
    req.progress = [this](int p) { reportProgress(p); };
    if (loadOption_ & 1) {
        // Reduce very large photos to the screen while decoding.
        const QSize screen = screenSize();
        req.reduceWidth = screen.width();
        req.reduceHeight = screen.height();
    }
    Document doc;
    int16_t code = kOk;
    // A picture decoded ahead serves a plain load of the whole file.
    const bool plain = bpp == 0 && page == 0 && pageCount == -1 && req.reduceWidth == 0;
    if (plain && ReadAhead::instance().take(req.path, doc, code)) {
        reportProgress(0);
        reportProgress(100);
    } else {
        code = loadFile(req, doc);
    }
    preLoad_ = false;
    if (code != kOk) return code;
    source_ = path;
    setDocument(std::move(doc));
    return kOk;
}

void ImageControl::readAhead(const QStringList& paths) {
    std::vector<std::string> v;
    for (const QString& p : paths) v.push_back(p.toStdString());
    ReadAhead::instance().prefetch(v);
}

void ImageControl::setImageSource(const QString& path) {
    log(dispid::ImageSource);
    if (path.isEmpty()) {
        source_.clear();
        setDocument(Document{});
        return;
    }
    const int16_t code = load(path, 0, 0, -1);
    if (code != kOk) throw EngineError(code, "image source");
}

int16_t ImageControl::saveFile(const QString& path, int format, int bpp, int quality, int saveOption) {
    log(dispid::SaveFile);
    if (isEmpty()) return kErrBadHandle;
    SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    r.bpp = bpp;
    r.quality = quality;
    r.saveOption = saveOption;
    return qova::engine::saveFile(d->doc, r, d->index);
}

int16_t ImageControl::saveFileWithStamp(const QString& path, int format, int bpp, int quality, float stampWidth,
                                        float stampHeight, int stampBits) {
    log(dispid::SaveFileWithStamp);
    if (isEmpty()) return kErrBadHandle;
    SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    r.bpp = bpp;
    r.quality = quality;
    r.stamp = true;
    r.stampWidth = int(std::lround(stampWidth));
    r.stampHeight = int(std::lround(stampHeight));
    r.stampBpp = stampBits;
    return qova::engine::saveFile(d->doc, r, d->index);
}

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

double ImageControl::controlWidthPx() const { log(dispid::ControlWidthPx); return viewport()->width(); }
double ImageControl::controlHeightPx() const { log(dispid::ControlHeightPx); return viewport()->height(); }

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

bool ImageControl::animationLoop() const { log(dispid::AnimationLoop); return d->doc.animation.loop; }
void ImageControl::setAnimationLoop(bool on) { log(dispid::AnimationLoop); d->doc.animation.loop = on; }

void ImageControl::copyToClipboard(int) {
    log(dispid::CopyToClipboard);
    requireImage();
    std::vector<uint8_t> scratch;
    QImage img = wrap(currentBitmap(), scratch).convertToFormat(QImage::Format_RGB32);
    QApplication::clipboard()->setImage(img);
}

const Document& ImageControl::document() const { return d->doc; }
Document& ImageControl::mutableDocument() { return d->doc; }

void ImageControl::setDocument(Document doc) {
    d->doc = std::move(doc);
    d->index = 0;
    // A new picture starts from its own rectangles; the previous picture's
    // would stretch it to the old display size.
    resetRects();
    invalidateView();
}

void ImageControl::resetRects() {
    const Bitmap& b = currentBitmap();
    srcRect_ = srcClip_ = dstRect_ = dstClip_ = QRectF(0, 0, b.width(), b.height());
}

const Bitmap& ImageControl::currentBitmap() const {
    if (d->doc.frames.empty()) return Private::empty();
    return d->doc.frames[size_t(d->index)].bitmap;
}

void ImageControl::setCurrentBitmap(const Bitmap& b) {
    const QSize before(currentBitmap().width(), currentBitmap().height());
    if (d->doc.frames.empty()) {
        d->doc.frames.push_back(Frame{b});
        d->index = 0;
    } else {
        d->doc.frames[size_t(d->index)].bitmap = b;
    }
    // An edit that changes the size invalidates rectangles made for the old one.
    if (before != QSize(b.width(), b.height())) resetRects();
    invalidateView();
}

int16_t ImageControl::resizeBitmap(double width, double height, int flags) {
    log(dispid::Resize);
    if (isEmpty()) return kErrBadHandle;
    Bitmap b = currentBitmap();
    const int16_t code = ops::resize(b, int(std::lround(width)), int(std::lround(height)), flags, nullptr,
                                     [this](int p) { reportProgress(p); });
    if (code == kOk) setCurrentBitmap(b);
    return code;
}

void ImageControl::bitmapChanged() { invalidateView(); }

void ImageControl::invalidateView(bool pixelsChanged) {
    // The reduced picture is made for one layout; it is remade at the next
    // paint, once however many rectangles changed in between.
    d->reducedValid = false;
    d->reduced = QImage();
    if (pixelsChanged) d->wrappedValid = false;
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
    return reduce(currentBitmap(), size.width(), size.height());
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
    const Bitmap& b = currentBitmap();
    const QSize vp = viewport()->size();
    const Layout l = layoutFor(*this, viewMode_, vp, b.width(), b.height(), srcRect_, dstRect_, dstClip_);
    // A zoomed picture a few pixels larger than the control (the load and
    // resize rules size the control 40 twips apart) is not worth a scroll bar.
    const int slack = viewMode_ == ViewZoomed ? 4 : 0;
    auto range = [slack](int content, int view) { return content - view > slack ? content - view : 0; };
    horizontalScrollBar()->setRange(0, range(l.content.width(), vp.width()));
    verticalScrollBar()->setRange(0, range(l.content.height(), vp.height()));
    horizontalScrollBar()->setPageStep(vp.width());
    verticalScrollBar()->setPageStep(vp.height());
    horizontalScrollBar()->setSingleStep(std::max(1, vp.width() / 20));
    verticalScrollBar()->setSingleStep(std::max(1, vp.height() / 20));
}

void ImageControl::paintEvent(QPaintEvent*) {
    QPainter p(viewport());
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
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
                QImage whole = wrap(b, scratch).copy(s).convertToFormat(QImage::Format_RGB32);
                d->reduced = whole.scaled(want, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            } else {
                d->reduced = reduce(b, want.width(), want.height());
            }
            d->reducedFor = want;
            d->reducedValid = true;
        }
        p.drawImage(target.topLeft(), d->reduced);
        return;
    }
    if (!d->wrappedValid) {
        d->wrapped = wrap(b, d->scratch);
        d->wrappedValid = true;
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
    p.drawImage(alignedTarget, d->wrapped, aligned);
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
    const QPointF pos = e->position();
    emit mouseDown(buttonCode(e->button()), shiftStateFromModifiers(int(e->modifiers())), toUnit(pos.x(), true),
                   toUnit(pos.y(), false));
}

void ImageControl::mouseMoveEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    emit mouseMove(buttonCode(e->buttons()), shiftStateFromModifiers(int(e->modifiers())), toUnit(pos.x(), true),
                   toUnit(pos.y(), false));
}

void ImageControl::mouseReleaseEvent(QMouseEvent* e) {
    const QPointF pos = e->position();
    emit mouseUp(buttonCode(e->button()), shiftStateFromModifiers(int(e->modifiers())), toUnit(pos.x(), true),
                 toUnit(pos.y(), false));
    if (e->button() == Qt::LeftButton && viewport()->rect().contains(pos.toPoint())) emit clicked();
}

void ImageControl::mouseDoubleClickEvent(QMouseEvent*) { emit doubleClicked(); }

QVariant ImageControl::dispatch(int id, const QVariantList& a) {
    auto arg = [&](int i) { return i < a.size() ? a[i] : QVariant(); };
    switch (id) {
    case dispid::BitmapHandle: return QVariant::fromValue(bitmapHandle());
    case dispid::ProgressEnabled: return progressEnabled();
    case dispid::BitmapWidth: return bitmapWidth();
    case dispid::BitmapHeight: return bitmapHeight();
    case dispid::BitsPerPixel: return bitsPerPixel();
    case dispid::InfoWidth: return infoWidth();
    case dispid::InfoHeight: return infoHeight();
    case dispid::InfoBits: return infoBits();
    case dispid::InfoSize: return infoSize();
    case dispid::CoordinateUnit: return coordinateUnit();
    case dispid::ControlWidthPx: return controlWidthPx();
    case dispid::ControlHeightPx: return controlHeightPx();
    case dispid::LoadOption: return loadOption();
    case dispid::BitmapListIndex: return bitmapListIndex();
    case dispid::BitmapListCount: return bitmapListCount();
    case dispid::PreLoad: return preLoad();
    case dispid::AnimationLoop: return animationLoop();
    case dispid::ImageSource: return imageSource();
    case dispid::ViewMode: return viewMode();
    case dispid::Repaint: repaint(); return {};
    case dispid::SaveFile:
        return saveFile(arg(0).toString(), arg(1).toInt(), arg(2).toInt(), arg(3).toInt(), arg(4).toInt());
    case dispid::SaveFileWithStamp:
        return saveFileWithStamp(arg(0).toString(), arg(1).toInt(), arg(2).toInt(), arg(3).toInt(), arg(4).toFloat(),
                                 arg(5).toFloat(), arg(6).toInt());
    case dispid::CopyToClipboard: copyToClipboard(arg(0).toInt()); return {};
    case dispid::Resize: return resizeBitmap(arg(0).toDouble(), arg(1).toDouble(), arg(2).toInt());
    case dispid::Load: return load(arg(0).toString(), arg(1).toInt(), arg(2).toInt(), arg(3).toInt());
    case dispid::SetDisplayRect: setDisplayRect(arg(0).toDouble(), arg(1).toDouble(), arg(2).toDouble(), arg(3).toDouble()); return {};
    case dispid::SetDisplayClipRect: setDisplayClipRect(arg(0).toDouble(), arg(1).toDouble(), arg(2).toDouble(), arg(3).toDouble()); return {};
    case dispid::SetSourceRect: setSourceRect(arg(0).toDouble(), arg(1).toDouble(), arg(2).toDouble(), arg(3).toDouble()); return {};
    case dispid::SetSourceClipRect: setSourceClipRect(arg(0).toDouble(), arg(1).toDouble(), arg(2).toDouble(), arg(3).toDouble()); return {};
    case dispid::InsertBitmapListItem: insertBitmapListItem(arg(0).toInt(), arg(1).toUInt()); return {};
    case dispid::PanWindowLeft: return panWindowLeft();
    case dispid::PanWindowTop: return panWindowTop();
    case dispid::PanWindowWidth: return panWindowWidth();
    case dispid::PanWindowHeight: return panWindowHeight();
    case dispid::PanWindowTitle: setPanWindowTitle(arg(0).toString()); return {};
    case dispid::ShowPanWindow: showPanWindow(a.isEmpty() || arg(0).toBool()); return {};
    default: throw EngineError(kErrBadParam, "unknown dispatch id " + std::to_string(id));
    }
}

void ImageControl::dispatchPut(int id, const QVariant& v) {
    switch (id) {
    case dispid::BitmapHandle: setBitmapHandle(v.toUInt()); break;
    case dispid::ProgressEnabled: log(id); setProgressEnabled(v.toBool()); break;
    case dispid::CoordinateUnit: setCoordinateUnit(v.toInt()); break;
    case dispid::LoadOption: log(id); setLoadOption(v.toInt()); break;
    case dispid::BitmapListIndex: setBitmapListIndex(v.toInt()); break;
    case dispid::PreLoad: log(id); setPreLoad(v.toBool()); break;
    case dispid::AnimationLoop: setAnimationLoop(v.toBool()); break;
    case dispid::ImageSource: setImageSource(v.toString()); break;
    case dispid::ViewMode: setViewMode(v.toInt()); break;
    case dispid::PanWindowLeft: setPanWindowLeft(v.toDouble()); break;
    case dispid::PanWindowTop: setPanWindowTop(v.toDouble()); break;
    case dispid::PanWindowWidth: setPanWindowWidth(v.toDouble()); break;
    case dispid::PanWindowHeight: setPanWindowHeight(v.toDouble()); break;
    case dispid::PanWindowTitle: setPanWindowTitle(v.toString()); break;
    default: throw EngineError(kErrBadParam, "read-only or unknown dispatch id " + std::to_string(id));
    }
}

}  // namespace qova::engine
