// The control's regions: the region set on the document and its outline
// (marching ants while shown), tracking a drag with an outline of the chosen
// shape, the floater (lifted pixels shown over the picture and moved by
// repainting only the rectangles it leaves and enters), the region and
// floater members, the geometry of the whole bitmap; and its dispatch table.
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "control_dispatch.h"
#include "core/codes.h"
#include "core/cv_bitmap.h"
#include "core/document.h"
#include "core/regions/region_handles.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "image_control.h"
#include "image_control_p.h"

namespace qova::engine {

namespace {

constexpr int kAntsIntervalMs = 120;
constexpr int kAntsDash = 4;

[[noreturn]] void noBitmap() { throw EngineError(kErrBadHandle, "ﾋﾞｯﾄﾏｯﾌﾟﾊﾝﾄﾞﾙが不正です。"); }

int whole(double v) { return int(std::lround(v)); }

// A viewport rectangle to repaint, with a pixel of margin for rounding and
// the outline's pen.
QRect repaintArea(const QRectF& r, int margin = 1) {
    if (r.isEmpty()) return QRect();
    return r.toAlignedRect().adjusted(-margin, -margin, margin, margin);
}

// The region's outline in bitmap pixels: the box of a rectangle, else the
// contours of its mask through the centres of its edge pixels.
QPainterPath outlineOf(const Region& r) {
    QPainterPath path;
    if (r.isEmpty()) return path;
    const RectI b = r.bounds();
    if (r.isRectangle()) {
        path.addRect(b.x, b.y, b.w, b.h);
        return path;
    }
    const Bitmap mask = r.normalised().toMaskBitmap(b.w, b.h);
    if (mask.isNull()) return path;
    std::vector<std::vector<cv::Point>> contours;
    cv::findContours(cvView(mask), contours, cv::RETR_LIST, cv::CHAIN_APPROX_SIMPLE);
    for (const auto& c : contours) {
        if (c.size() == 1) {
            path.addRect(b.x + c[0].x, b.y + c[0].y, 1, 1);
            continue;
        }
        QPolygonF poly;
        poly.reserve(qsizetype(c.size()) + 1);
        for (const cv::Point& p : c) poly << QPointF(b.x + p.x + 0.5, b.y + p.y + 0.5);
        poly << poly.front();
        path.addPolygon(poly);
    }
    return path;
}

// Two passes, white then black dashes, so the outline shows on any picture;
// the dashes march as `offset` moves.
void drawAnts(QPainter& p, const QPainterPath& path, int offset) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 0));
    p.drawPath(path);
    QPen dashes(Qt::black, 0, Qt::CustomDashLine);
    dashes.setDashPattern({qreal(kAntsDash), qreal(kAntsDash)});
    dashes.setDashOffset(offset);
    p.setPen(dashes);
    p.drawPath(path);
    p.restore();
}

// The floater as painted at `size`: its pixels, transparent outside its
// shape, premultiplied for a fast blend.
QImage floaterPicture(const Floater& f, QSize size) {
    const int fw = f.bitmap.width(), fh = f.bitmap.height();
    QImage img;
    Bitmap mask = f.region.toMaskBitmap(fw, fh);
    if (mask.isNull()) return img;
    if (size == QSize(fw, fh)) {
        img = shownImage(f.bitmap).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    } else {
        // Reduced (or enlarged) once per lift and size, not at every move.
        img = reducedImage(f.bitmap, size.width(), size.height()).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        Bitmap scaled = Bitmap::create(size.width(), size.height(), 8, true);
        if (scaled.isNull()) return QImage();
        cv::Mat dst = cvView(scaled);
        const bool reducing = size.width() < fw || size.height() < fh;
        cv::resize(cvView(mask), dst, dst.size(), 0, 0, reducing ? cv::INTER_AREA : cv::INTER_NEAREST);
        mask = scaled;
    }
    if (img.isNull()) return img;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        const uint8_t* m = mask.row(y);
        for (int x = 0; x < img.width(); ++x) {
            const int a = m[x];
            if (a == 255) continue;
            const QRgb c = line[x];
            line[x] = qRgba(qRed(c) * a / 255, qGreen(c) * a / 255, qBlue(c) * a / 255, a);
        }
    }
    return img;
}

}  // namespace

QTransform ImageControl::bitmapToViewport() const {
    if (isEmpty()) return QTransform();
    const auto [src, tgt] = viewLayout();
    if (src.isEmpty() || tgt.isEmpty()) return QTransform();
    const double sx = tgt.width() / src.width(), sy = tgt.height() / src.height();
    const double ox = tgt.left() - horizontalScrollBar()->value();
    const double oy = tgt.top() - verticalScrollBar()->value();
    return QTransform(sx, 0, 0, sy, ox - src.left() * sx, oy - src.top() * sy);
}

// --- the region ---

bool ImageControl::greyscaleFlag() const {
    log(dispid::GreyscaleFlag);
    if (isEmpty()) noBitmap();
    return currentBitmap().isGrey();
}

bool ImageControl::hasRegion() const {
    log(dispid::RegionPresent);
    return d->doc.hasRegion();
}

double ImageControl::regionLeft() const {
    log(dispid::RegionLeft);
    return d->doc.hasRegion() ? d->doc.region()->bounds().x : 0;
}

double ImageControl::regionTop() const {
    log(dispid::RegionTop);
    return d->doc.hasRegion() ? d->doc.region()->bounds().y : 0;
}

double ImageControl::regionWidth() const {
    log(dispid::RegionWidth);
    return d->doc.hasRegion() ? d->doc.region()->bounds().w : 0;
}

double ImageControl::regionHeight() const {
    log(dispid::RegionHeight);
    return d->doc.hasRegion() ? d->doc.region()->bounds().h : 0;
}

int ImageControl::regionTrackingShape() const {
    log(dispid::RegionTrackingShape);
    return d->regions.trackingShape;
}

void ImageControl::setRegionTrackingShape(int shape) {
    log(dispid::RegionTrackingShape);
    if (shape < 0 || shape > 4) throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。");
    RegionView& rv = d->regions;
    rv.trackingShape = shape;
    if (shape == 0 && rv.tracking) {
        rv.tracking = false;
        viewport()->update(repaintArea(rv.trackShown, 2));
    }
}

int ImageControl::regionFrameStyle() const {
    log(dispid::RegionFrameStyle);
    return d->regions.frameStyle;
}

void ImageControl::setRegionFrameStyle(int style) {
    log(dispid::RegionFrameStyle);
    RegionView& rv = d->regions;
    if (style == rv.frameStyle) return;
    rv.frameStyle = style;
    if (style != 0) {
        if (!rv.ants) {
            rv.ants = new QTimer(this);
            rv.ants->setInterval(kAntsIntervalMs);
            connect(rv.ants, &QTimer::timeout, this, [this] { antsTick(); });
        }
        rv.ants->start();
    } else if (rv.ants) {
        rv.ants->stop();
    }
    regionChanged();
}

void ImageControl::antsTick() {
    RegionView& rv = d->regions;
    if (rv.frameStyle == 0 || !d->doc.hasRegion() || !isVisible()) return;
    rv.antsOffset = (rv.antsOffset + 1) % (2 * kAntsDash);
    if (!rv.outlineShown.isEmpty()) viewport()->update(rv.outlineShown);
}

// Repaints where the outline was and where it is now.
void ImageControl::regionChanged() {
    RegionView& rv = d->regions;
    if (!rv.outlineShown.isEmpty()) viewport()->update(rv.outlineShown);
    rv.outlineShown = QRect();
    if (rv.frameStyle == 0 || !d->doc.hasRegion()) return;
    if (rv.outlineRevision != d->doc.regionRevision()) {
        rv.outline = outlineOf(*d->doc.region());
        rv.outlineRevision = d->doc.regionRevision();
    }
    rv.outlineShown = repaintArea(bitmapToViewport().map(rv.outline).boundingRect(), 2);
    viewport()->update(rv.outlineShown);
}

int16_t ImageControl::deleteRegionHandle(int32_t handle) {
    log(dispid::DeleteRegionHandle);
    return regionHandleDelete(handle);
}

void ImageControl::freeRegion() {
    log(dispid::FreeRegion);
    d->doc.clearRegion();
    regionChanged();
}

int32_t ImageControl::regionHandle() const {
    log(dispid::RegionHandle);
    return d->doc.regionHandle();
}

bool ImageControl::pointInRegion(double x, double y) const {
    log(dispid::PointInRegion);
    const Region* r = d->doc.region();
    return r && std::isfinite(x) && std::isfinite(y) && std::abs(x) < 1e9 && std::abs(y) < 1e9 &&
           r->contains(int(std::floor(x)), int(std::floor(y)));
}

void ImageControl::offsetRegion(double dx, double dy) {
    log(dispid::OffsetRegion);
    d->doc.offsetRegion(whole(dx), whole(dy));
    regionChanged();
}

void ImageControl::setRegionFromHandle(int32_t handle, double x, double y, int mode) {
    log(dispid::SetRegionFromHandle);
    d->doc.setRegionFromHandle(handle, whole(x), whole(y), mode);
    regionChanged();
}

// --- the floater ---

uint32_t ImageControl::floaterBitmap() const {
    log(dispid::FloaterBitmap);
    return d->doc.floaterHandle();
}

void ImageControl::setFloaterBitmap(uint32_t handle) {
    log(dispid::FloaterBitmap);
    RegionView& rv = d->regions;
    if (rv.floaterVisible) viewport()->update(repaintArea(rv.floaterRect));
    if (handle == 0) {
        d->doc.dropFloater();
        rv.floaterImage = QImage();
        rv.floaterSource = Bitmap();
        return;
    }
    const int16_t code = d->doc.liftFloater(handle);
    if (code != kOk) throw EngineError(code, "floater");
    // It shows where it was lifted from until told otherwise.
    const Floater& f = d->doc.floater();
    rv.floaterRect = bitmapToViewport().mapRect(QRectF(f.left, f.top, f.bitmap.width(), f.bitmap.height()));
    if (rv.floaterVisible) viewport()->update(repaintArea(rv.floaterRect));
}

bool ImageControl::floaterVisible() const {
    log(dispid::FloaterVisible);
    return d->regions.floaterVisible;
}

void ImageControl::setFloaterVisible(bool on) {
    log(dispid::FloaterVisible);
    RegionView& rv = d->regions;
    if (rv.floaterVisible == on) return;
    rv.floaterVisible = on;
    if (d->doc.hasFloater()) viewport()->update(repaintArea(rv.floaterRect));
}

double ImageControl::floaterLeft() const { log(dispid::FloaterLeft); return toUnit(d->regions.floaterRect.left(), true); }
double ImageControl::floaterTop() const { log(dispid::FloaterTop); return toUnit(d->regions.floaterRect.top(), false); }
double ImageControl::floaterWidth() const {
    log(dispid::FloaterWidth);
    return toUnit(d->regions.floaterRect.width(), true);
}
double ImageControl::floaterHeight() const {
    log(dispid::FloaterHeight);
    return toUnit(d->regions.floaterRect.height(), false);
}

int ImageControl::floaterBitmapWidth() const {
    log(dispid::FloaterBitmapWidth);
    return d->doc.hasFloater() ? d->doc.floater().bitmap.width() : 0;
}

int ImageControl::floaterBitmapHeight() const {
    log(dispid::FloaterBitmapHeight);
    return d->doc.hasFloater() ? d->doc.floater().bitmap.height() : 0;
}

int32_t ImageControl::floaterRegionHandle() const {
    log(dispid::FloaterRegionHandle);
    return d->doc.hasFloater() ? regionHandleCreate(d->doc.floater().region) : 0;
}

void ImageControl::setFloaterDisplayRect(double left, double top, double width, double height) {
    log(dispid::SetFloaterDisplayRect);
    RegionView& rv = d->regions;
    const QRectF next(fromUnit(left, true), fromUnit(top, false), fromUnit(width, true), fromUnit(height, false));
    if (next == rv.floaterRect) return;
    // Only what the floater leaves and what it enters is painted again.
    if (rv.floaterVisible && d->doc.hasFloater()) {
        viewport()->update(repaintArea(rv.floaterRect));
        viewport()->update(repaintArea(next));
    }
    rv.floaterRect = next;
}

void ImageControl::repaintRect(double left, double top, double width, double height, bool) {
    log(dispid::RepaintRect);
    viewport()->update(
        repaintArea(QRectF(fromUnit(left, true), fromUnit(top, false), fromUnit(width, true), fromUnit(height, false))));
}

// --- where the bitmap is painted ---

double ImageControl::displayLeft() const {
    log(dispid::DisplayLeft);
    return toUnit(bitmapToViewport().dx(), true);
}

double ImageControl::displayTop() const {
    log(dispid::DisplayTop);
    return toUnit(bitmapToViewport().dy(), false);
}

double ImageControl::displayWidth() const {
    log(dispid::DisplayWidth);
    return isEmpty() ? 0 : toUnit(viewLayout().second.width(), true);
}

double ImageControl::displayHeight() const {
    log(dispid::DisplayHeight);
    return isEmpty() ? 0 : toUnit(viewLayout().second.height(), false);
}

double ImageControl::sourceWidth() const {
    log(dispid::SourceWidth);
    return isEmpty() ? 0 : viewLayout().first.width();
}

double ImageControl::sourceHeight() const {
    log(dispid::SourceHeight);
    return isEmpty() ? 0 : viewLayout().first.height();
}

// --- geometry ---

int16_t ImageControl::flip() {
    log(dispid::Flip);
    return d->doc.flip([this](int p) { reportProgress(p); });
}

int16_t ImageControl::reverse() {
    log(dispid::Reverse);
    return d->doc.reverse([this](int p) { reportProgress(p); });
}

int16_t ImageControl::rotate(int hundredths, bool enlarge, uint32_t colour) {
    log(dispid::Rotate);
    return d->doc.rotate(hundredths, enlarge, colour, [this](int p) { reportProgress(p); });
}

int16_t ImageControl::shear(int hundredths, bool horizontal, uint32_t colour) {
    log(dispid::Shear);
    return d->doc.shear(hundredths, horizontal, colour, [this](int p) { reportProgress(p); });
}

int16_t ImageControl::fill(uint32_t colour) {
    log(dispid::Fill);
    return d->doc.fill(colour, [this](int p) { reportProgress(p); });
}

// --- following the document ---

void ImageControl::regionsFollowDocument() {
    RegionView& rv = d->regions;
    if (d->doc.pictureId() != rv.pictureId) {
        // Another picture: the drag, the floater and the outline were the old one's.
        rv.pictureId = d->doc.pictureId();
        rv.tracking = false;
        rv.floaterVisible = false;
        rv.floaterRect = QRectF();
        rv.outlineShown = QRect();
        emit pictureReplaced();
    }
    if (!d->doc.hasFloater()) {
        rv.floaterImage = QImage();
        rv.floaterSource = Bitmap();
    }
}

// --- tracking a drag ---

namespace {

QPainterPath trackPath(const RegionView& rv) {
    QPainterPath path;
    const QRectF r = QRectF(rv.trackStart, rv.trackEnd).normalized();
    switch (rv.trackShape) {
    case int(RegionShape::Rectangle): path.addRect(r); break;
    case int(RegionShape::Ellipse): path.addEllipse(r); break;
    case int(RegionShape::RoundedRect): {
        const double radius = std::min(r.width(), r.height()) / 5;
        path.addRoundedRect(r, radius, radius);
        break;
    }
    default:
        if (rv.trackPoints.size() > 1) {
            QPolygonF closed = rv.trackPoints;
            closed << closed.front();
            path.addPolygon(closed);
        }
        break;
    }
    return path;
}

}  // namespace

void ImageControl::regionsMousePress(QMouseEvent* e) {
    RegionView& rv = d->regions;
    if (e->button() != Qt::LeftButton || rv.trackingShape == 0 || rv.tracking || isEmpty()) return;
    rv.tracking = true;
    rv.trackShape = rv.trackingShape;
    rv.trackStart = rv.trackEnd = e->position();
    rv.trackPoints = QPolygonF{e->position()};
    rv.trackShown = QRectF();
}

void ImageControl::regionsMouseMove(QMouseEvent* e) {
    RegionView& rv = d->regions;
    if (!rv.tracking) return;
    rv.trackEnd = e->position();
    if (rv.trackShape == int(RegionShape::Freehand)) {
        const QPointF last = rv.trackPoints.back();
        if (std::abs(last.x() - rv.trackEnd.x()) + std::abs(last.y() - rv.trackEnd.y()) >= 1) rv.trackPoints << rv.trackEnd;
    }
    viewport()->update(repaintArea(rv.trackShown, 2));
    rv.trackShown = trackPath(rv).boundingRect();
    viewport()->update(repaintArea(rv.trackShown, 2));
}

bool ImageControl::regionsMouseRelease(QMouseEvent* e) {
    RegionView& rv = d->regions;
    if (!rv.tracking || e->button() != Qt::LeftButton) return false;
    rv.trackEnd = e->position();
    if (rv.trackShape == int(RegionShape::Freehand)) rv.trackPoints << rv.trackEnd;
    rv.tracking = false;
    viewport()->update(repaintArea(rv.trackShown, 2));

    // The drag in bitmap pixels, clipped to the bitmap.
    const QTransform toBitmap = bitmapToViewport().inverted();
    const Bitmap& b = currentBitmap();
    Region r;
    if (rv.trackShape == int(RegionShape::Freehand)) {
        std::vector<PointF> pts;
        for (const QPointF& p : rv.trackPoints) {
            const QPointF q = toBitmap.map(p);
            pts.push_back(PointF{q.x(), q.y()});
        }
        r = Region::polygon(pts);
    } else if (std::abs(rv.trackEnd.x() - rv.trackStart.x()) >= 2 || std::abs(rv.trackEnd.y() - rv.trackStart.y()) >= 2) {
        const QRectF box = toBitmap.mapRect(QRectF(rv.trackStart, rv.trackEnd).normalized());
        const int x0 = int(std::floor(box.left())), y0 = int(std::floor(box.top()));
        const int x1 = int(std::ceil(box.right())), y1 = int(std::ceil(box.bottom()));
        const RectI rect{x0, y0, std::max(1, x1 - x0), std::max(1, y1 - y0)};
        switch (rv.trackShape) {
        case int(RegionShape::Ellipse): r = Region::ellipse(rect); break;
        case int(RegionShape::RoundedRect): {
            const int radius = std::max(1, std::min(rect.w, rect.h) / 5);
            r = Region::roundedRect(rect, radius, radius);
            break;
        }
        default: r = Region::rectangle(rect); break;
        }
    }
    r = r.intersected(RectI{0, 0, b.width(), b.height()});
    // A click without a drag selects nothing: the old region goes.
    if (r.isEmpty()) {
        if (d->doc.hasRegion()) {
            d->doc.clearRegion();
            regionChanged();
        }
        return true;
    }
    d->doc.setRegion(r);
    regionChanged();
    emit regionSet();
    return true;
}

// --- painting ---

void ImageControl::paintRegions(QPainter& p) {
    RegionView& rv = d->regions;
    if (isEmpty()) return;
    const Floater& f = d->doc.floater();
    if (rv.floaterVisible && !f.isNull() && !rv.floaterRect.isEmpty()) {
        const QSize size(std::max(1, whole(rv.floaterRect.width())), std::max(1, whole(rv.floaterRect.height())));
        if (rv.floaterImage.isNull() || rv.floaterImageSize != size || !rv.floaterSource.sharesWith(f.bitmap)) {
            rv.floaterImage = d->display.floaterShown(floaterPicture(f, size));
            rv.floaterImageSize = size;
            rv.floaterSource = f.bitmap;
        }
        p.drawImage(QPoint(whole(rv.floaterRect.left()), whole(rv.floaterRect.top())), rv.floaterImage);
    }
    if (rv.frameStyle != 0 && d->doc.hasRegion()) {
        if (rv.outlineRevision != d->doc.regionRevision()) {
            rv.outline = outlineOf(*d->doc.region());
            rv.outlineRevision = d->doc.regionRevision();
        }
        const QPainterPath shown = bitmapToViewport().map(rv.outline);
        rv.outlineShown = repaintArea(shown.boundingRect(), 2);
        drawAnts(p, shown, rv.antsOffset);
    } else {
        rv.outlineShown = QRect();
    }
    if (rv.tracking) drawAnts(p, trackPath(rv), 0);
}

namespace dispatch {

std::span<const Entry> regionEntries() {
    using C = ImageControl;
    using L = QVariantList;
    using V = QVariant;
    static const Entry table[] = {
        {dispid::DisplayLeft, "displayLeft", [](C& c, const L&) { return V(c.displayLeft()); }, nullptr},
        {dispid::DisplayTop, "displayTop", [](C& c, const L&) { return V(c.displayTop()); }, nullptr},
        {dispid::DisplayWidth, "displayWidth", [](C& c, const L&) { return V(c.displayWidth()); }, nullptr},
        {dispid::DisplayHeight, "displayHeight", [](C& c, const L&) { return V(c.displayHeight()); }, nullptr},
        {dispid::SourceWidth, "sourceWidth", [](C& c, const L&) { return V(c.sourceWidth()); }, nullptr},
        {dispid::SourceHeight, "sourceHeight", [](C& c, const L&) { return V(c.sourceHeight()); }, nullptr},
        {dispid::GreyscaleFlag, "greyscaleFlag", [](C& c, const L&) { return V(c.greyscaleFlag()); }, nullptr},
        {dispid::RegionPresent, "hasRegion", [](C& c, const L&) { return V(c.hasRegion()); }, nullptr},
        {dispid::RegionLeft, "regionLeft", [](C& c, const L&) { return V(c.regionLeft()); }, nullptr},
        {dispid::RegionTop, "regionTop", [](C& c, const L&) { return V(c.regionTop()); }, nullptr},
        {dispid::RegionWidth, "regionWidth", [](C& c, const L&) { return V(c.regionWidth()); }, nullptr},
        {dispid::RegionHeight, "regionHeight", [](C& c, const L&) { return V(c.regionHeight()); }, nullptr},
        {dispid::RegionTrackingShape, "regionTrackingShape", [](C& c, const L&) { return V(c.regionTrackingShape()); },
         [](C& c, const V& v) { c.setRegionTrackingShape(v.toInt()); }},
        {dispid::RegionFrameStyle, "regionFrameStyle", [](C& c, const L&) { return V(c.regionFrameStyle()); },
         [](C& c, const V& v) { c.setRegionFrameStyle(v.toInt()); }},
        {dispid::FloaterBitmap, "floaterBitmap", [](C& c, const L&) { return V::fromValue(c.floaterBitmap()); },
         [](C& c, const V& v) { c.setFloaterBitmap(v.toUInt()); }},
        {dispid::FloaterVisible, "floaterVisible", [](C& c, const L&) { return V(c.floaterVisible()); },
         [](C& c, const V& v) { c.setFloaterVisible(v.toBool()); }},
        {dispid::FloaterLeft, "floaterLeft", [](C& c, const L&) { return V(c.floaterLeft()); }, nullptr},
        {dispid::FloaterTop, "floaterTop", [](C& c, const L&) { return V(c.floaterTop()); }, nullptr},
        {dispid::FloaterWidth, "floaterWidth", [](C& c, const L&) { return V(c.floaterWidth()); }, nullptr},
        {dispid::FloaterHeight, "floaterHeight", [](C& c, const L&) { return V(c.floaterHeight()); }, nullptr},
        {dispid::FloaterBitmapWidth, "floaterBitmapWidth", [](C& c, const L&) { return V(c.floaterBitmapWidth()); },
         nullptr},
        {dispid::FloaterBitmapHeight, "floaterBitmapHeight",
         [](C& c, const L&) { return V(c.floaterBitmapHeight()); }, nullptr},
        {dispid::Flip, "flip", [](C& c, const L&) { return V(c.flip()); }, nullptr},
        {dispid::Reverse, "reverse", [](C& c, const L&) { return V(c.reverse()); }, nullptr},
        {dispid::Rotate, "rotate",
         [](C& c, const L& a) {
             return V(c.rotate(arg(a, 0).toInt(), arg(a, 1).toBool(), arg(a, 2).toUInt()));
         },
         nullptr},
        {dispid::Fill, "fill", [](C& c, const L& a) { return V(c.fill(arg(a, 0).toUInt())); }, nullptr},
        {dispid::Shear, "shear",
         [](C& c, const L& a) { return V(c.shear(arg(a, 0).toInt(), arg(a, 1).toBool(), arg(a, 2).toUInt())); },
         nullptr},
        {dispid::DeleteRegionHandle, "deleteRegionHandle",
         [](C& c, const L& a) { return V(c.deleteRegionHandle(arg(a, 0).toInt())); }, nullptr},
        {dispid::FreeRegion, "freeRegion",
         [](C& c, const L&) {
             c.freeRegion();
             return V();
         },
         nullptr},
        {dispid::RegionHandle, "regionHandle", [](C& c, const L&) { return V(c.regionHandle()); }, nullptr},
        {dispid::PointInRegion, "pointInRegion",
         [](C& c, const L& a) { return V(c.pointInRegion(arg(a, 0).toDouble(), arg(a, 1).toDouble())); }, nullptr},
        {dispid::OffsetRegion, "offsetRegion",
         [](C& c, const L& a) {
             c.offsetRegion(arg(a, 0).toDouble(), arg(a, 1).toDouble());
             return V();
         },
         nullptr},
        {dispid::SetRegionFromHandle, "setRegionFromHandle",
         [](C& c, const L& a) {
             c.setRegionFromHandle(arg(a, 0).toInt(), arg(a, 1).toDouble(), arg(a, 2).toDouble(), arg(a, 3).toInt());
             return V();
         },
         nullptr},
        {dispid::FloaterRegionHandle, "floaterRegionHandle",
         [](C& c, const L&) { return V(c.floaterRegionHandle()); }, nullptr},
        {dispid::SetFloaterDisplayRect, "setFloaterDisplayRect",
         [](C& c, const L& a) {
             c.setFloaterDisplayRect(arg(a, 0).toDouble(), arg(a, 1).toDouble(), arg(a, 2).toDouble(),
                                     arg(a, 3).toDouble());
             return V();
         },
         nullptr},
        {dispid::RepaintRect, "repaintRect",
         [](C& c, const L& a) {
             c.repaintRect(arg(a, 0).toDouble(), arg(a, 1).toDouble(), arg(a, 2).toDouble(), arg(a, 3).toDouble(),
                           arg(a, 4).toBool());
             return V();
         },
         nullptr},
    };
    return table;
}

}  // namespace dispatch

}  // namespace qova::engine
