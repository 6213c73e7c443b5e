#include "preview_pane.h"

#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "engine/core/cv_bitmap.h"
#include "engine/image_control_p.h"

namespace qova::engine {

namespace {

// A neighbourhood filter at the edge of the part needs the pixels around it.
constexpr int kMargin = 24;

// The picture reduced to w × h for the preview: each preview pixel averages
// a 4 × 4 grid of picture pixels spread over the part it covers. That reads
// a small fraction of a large photo (a 24-megapixel one in a few
// milliseconds, where averaging every pixel takes ten times as long), and at
// preview size the pixels between the grid's do not show.
Bitmap reducedSample(const Bitmap& picture, int w, int h) {
    Bitmap src = picture;
    if (src.bpp() < 8 || src.hasPalette()) src = src.convertTo(24);
    if (src.isNull()) return Bitmap();
    Bitmap out = Bitmap::create(w, h, src.bpp(), src.isGrey());
    if (out.isNull()) return out;
    cv::Mat dst = cvView(out);
    const int m = std::min({4, src.width() / w, src.height() / h});
    if (m >= 2) {
        cv::Mat grid;
        cv::resize(cvView(src), grid, cv::Size(w * m, h * m), 0, 0, cv::INTER_NEAREST);
        cv::resize(grid, dst, dst.size(), 0, 0, cv::INTER_AREA);
    } else {
        cv::resize(cvView(src), dst, dst.size(), 0, 0, cv::INTER_AREA);
    }
    return out;
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
        sample_ = reducedSample(picture_, rw, rh);
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
