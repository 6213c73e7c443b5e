#include "pan_window.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

#include "core/bitmap.h"
#include "image_control.h"

namespace qova::engine {

PanWindow::PanWindow(ImageControl* control)
    : QWidget(control, Qt::Tool | Qt::WindowStaysOnTopHint), control_(control) {
    setObjectName("PanWindow");
    setAttribute(Qt::WA_DeleteOnClose, false);
    resize(220, 165);
    setCursor(Qt::OpenHandCursor);
}

void PanWindow::pictureChanged() {
    pictureValid_ = false;
    update();
}

void PanWindow::viewChanged() { update(); }

QRectF PanWindow::pictureRect() const {
    if (control_->isEmpty()) return QRectF();
    const Bitmap& b = control_->currentBitmap();
    const double s = std::min(double(width()) / b.width(), double(height()) / b.height());
    const double w = b.width() * s, h = b.height() * s;
    return QRectF((width() - w) / 2, (height() - h) / 2, w, h);
}

QRectF PanWindow::frameRect() const {
    const QRectF pic = pictureRect();
    if (pic.isEmpty()) return QRectF();
    const Bitmap& b = control_->currentBitmap();
    const QRectF vis = control_->visibleBitmapRect();
    const double s = pic.width() / b.width();
    return QRectF(pic.left() + vis.left() * s, pic.top() + vis.top() * s, vis.width() * s, vis.height() * s);
}

void PanWindow::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Dark));
    const QRectF pic = pictureRect();
    if (pic.isEmpty()) return;
    if (!pictureValid_ || picture_.size() != pic.size().toSize()) {
        picture_ = control_->reducedPicture(pic.size().toSize());
        pictureValid_ = true;
    }
    p.drawImage(pic.topLeft(), picture_);
    // The frame in two colours so it shows on dark and light pictures.
    const QRectF f = frameRect().adjusted(0.5, 0.5, -0.5, -0.5);
    p.setPen(QPen(Qt::black, 1));
    p.drawRect(f.adjusted(-1, -1, 1, 1));
    p.setPen(QPen(QColor(255, 64, 64), 1));
    p.drawRect(f);
}

void PanWindow::resizeEvent(QResizeEvent*) { pictureValid_ = false; }

void PanWindow::mousePressEvent(QMouseEvent* e) {
    if (e->button() != Qt::LeftButton) return;
    const QRectF f = frameRect();
    dragging_ = true;
    setCursor(Qt::ClosedHandCursor);
    // Grabbing the frame keeps the grip point; a click elsewhere centres it there.
    grab_ = f.contains(e->position()) ? e->position() - f.topLeft() : QPointF(f.width() / 2, f.height() / 2);
    moveFrameTo(e->position());
}

void PanWindow::mouseMoveEvent(QMouseEvent* e) {
    if (dragging_) moveFrameTo(e->position());
}

void PanWindow::mouseReleaseEvent(QMouseEvent*) {
    dragging_ = false;
    setCursor(Qt::OpenHandCursor);
}

void PanWindow::moveFrameTo(QPointF pos) {
    const QRectF pic = pictureRect();
    if (pic.isEmpty()) return;
    const double s = pic.width() / control_->currentBitmap().width();
    const QPointF topLeft = (pos - grab_ - pic.topLeft()) / s;
    control_->scrollToBitmapPoint(topLeft);
    update();
}

}  // namespace qova::engine
