#include "preview_pane.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <cstring>
#include <vector>

#include "../image_control_p.h"

namespace qova::engine {

namespace {

// A neighbourhood filter at the edge of the part needs the pixels around it.
constexpr int kMargin = 24;

// The reduced picture (8 or 16-bit grey, BGR or BGRA) as a bitmap of ours.
Bitmap bitmapFrom(const QImage& img) {
    int bpp = 24;
    bool grey = false;
    switch (img.format()) {
    case QImage::Format_Grayscale8: bpp = 8; grey = true; break;
    case QImage::Format_Grayscale16: bpp = 16; grey = true; break;
    case QImage::Format_RGB32: bpp = 32; break;
    case QImage::Format_BGR888: break;
    default: return bitmapFrom(img.convertToFormat(QImage::Format_BGR888));
    }
    Bitmap b = Bitmap::create(img.width(), img.height(), bpp, grey);
    if (b.isNull()) return b;
    const size_t n = std::min(b.stride(), size_t(img.bytesPerLine()));
    for (int y = 0; y < img.height(); ++y) std::memcpy(b.mutableRow(y), img.constScanLine(y), n);
    return b;
}

}  // namespace

PreviewPane::PreviewPane(const Bitmap& picture, bool actualSize, QWidget* parent)
    : QWidget(parent), picture_(picture), actualSize_(actualSize) {
    setObjectName(QStringLiteral("Preview"));
    setFixedSize(sizeHint());
    centre_ = QPoint(picture_.width() / 2, picture_.height() / 2);
    makeSample();
    updateCursor();
    updateNow();
}

void PreviewPane::updateCursor() {
    if (actualSize_ && !pictureFits()) setCursor(Qt::OpenHandCursor);
    else unsetCursor();
}

bool PreviewPane::pictureFits() const { return picture_.width() <= kWidth && picture_.height() <= kHeight; }

void PreviewPane::makeSample() {
    sample_ = Bitmap();
    inner_ = QRect();
    if (picture_.isNull()) return;
    const int w = picture_.width(), h = picture_.height();
    if (pictureFits()) {
        sample_ = picture_;
        inner_ = QRect(0, 0, w, h);
    } else if (actualSize_) {
        // The part around centre_, kept inside the picture, with a margin
        // where the picture goes on.
        const int pw = std::min(w, kWidth), ph = std::min(h, kHeight);
        const int x = std::clamp(centre_.x() - pw / 2, 0, w - pw), y = std::clamp(centre_.y() - ph / 2, 0, h - ph);
        centre_ = QPoint(x + pw / 2, y + ph / 2);
        const int x0 = std::max(0, x - kMargin), y0 = std::max(0, y - kMargin);
        const int x1 = std::min(w, x + pw + kMargin), y1 = std::min(h, y + ph + kMargin);
        sample_ = crop(picture_, RectI{x0, y0, x1 - x0, y1 - y0});
        inner_ = QRect(x - x0, y - y0, pw, ph);
    } else {
        const double s = std::min(double(kWidth) / w, double(kHeight) / h);
        const int rw = std::max(1, int(w * s + 0.5)), rh = std::max(1, int(h * s + 0.5));
        sample_ = bitmapFrom(reducedImage(picture_, rw, rh));
        inner_ = QRect(0, 0, sample_.width(), sample_.height());
    }
}

void PreviewPane::setOperation(Operation op) {
    op_ = std::move(op);
    refresh();
}

void PreviewPane::refresh() {
    if (pending_) return;
    pending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (pending_) updateNow();
    });
}

void PreviewPane::updateNow() {
    pending_ = false;
    if (sample_.isNull()) {
        shown_ = QImage();
        update();
        return;
    }
    Bitmap work = sample_;
    lastCode_ = 0;
    if (applied_ && op_) {
        lastCode_ = op_(work);
        // A value the operation refuses shows the picture unchanged.
        if (lastCode_ != 0) work = sample_;
    }
    std::vector<uint8_t> scratch;
    shown_ = wrapBitmap(work, scratch).copy(inner_).convertToFormat(QImage::Format_RGB32);
    update();
}

void PreviewPane::setApplied(bool on) {
    if (applied_ == on) return;
    applied_ = on;
    refresh();
}

void PreviewPane::setActualSize(bool on) {
    if (actualSize_ == on) return;
    actualSize_ = on;
    makeSample();
    updateCursor();
    refresh();
}

void PreviewPane::pan(int dx, int dy) {
    if (!actualSize_ || pictureFits()) return;
    centre_ += QPoint(dx, dy);
    makeSample();
    refresh();
}

void PreviewPane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    p.setPen(palette().color(QPalette::Shadow));
    p.drawRect(rect().adjusted(0, 0, -1, -1));
    if (shown_.isNull()) return;
    const QPoint at((width() - shown_.width()) / 2, (height() - shown_.height()) / 2);
    p.drawImage(at, shown_);
}

void PreviewPane::mousePressEvent(QMouseEvent* e) {
    dragFrom_ = e->position().toPoint();
    if (actualSize_ && !pictureFits()) setCursor(Qt::ClosedHandCursor);
}

void PreviewPane::mouseMoveEvent(QMouseEvent* e) {
    if (!(e->buttons() & Qt::LeftButton)) return;
    const QPoint at = e->position().toPoint();
    // Dragging carries the picture with the pointer.
    pan(dragFrom_.x() - at.x(), dragFrom_.y() - at.y());
    dragFrom_ = at;
}

void PreviewPane::mouseReleaseEvent(QMouseEvent*) { updateCursor(); }

}  // namespace qova::engine
