#include "shell/twips.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QResizeEvent>
#include <QScreen>
#include <QWidget>

#include "shell/numbers.h"

namespace qova::shell {

double twipsPerPixel() {
    const QScreen* s = QGuiApplication::primaryScreen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return 1440.0 / (dpi > 0 ? dpi : 96.0);
}

int twipsToPixels(double twips) { return int(roundHalfEven(twips / twipsPerPixel())); }

double pixelsToTwips(double pixels) { return pixels * twipsPerPixel(); }

namespace {

// A window is measured by its outer frame, a child by its geometry.
QRect outer(const QWidget* w) { return w->isWindow() ? w->frameGeometry() : w->geometry(); }

// Hidden widgets get their resize event only when shown; the image control
// lays out its view area in that event, and callers read the view's size
// right after sizing the control. Deliver it now.
void applyGeometry(QWidget* w, const QRect& r) {
    const QSize old = w->size();
    w->setGeometry(r);
    if (!w->isVisible() && old != r.size()) {
        QResizeEvent e(r.size(), old);
        QCoreApplication::sendEvent(w, &e);
    }
}

}  // namespace

double heightTwips(const QWidget* w) { return pixelsToTwips(outer(w).height()); }
double widthTwips(const QWidget* w) { return pixelsToTwips(outer(w).width()); }

void setHeightTwips(QWidget* w, double twips) {
    QRect r = w->geometry();
    r.setHeight(std::max(0, twipsToPixels(twips)));
    applyGeometry(w, r);
}

void setWidthTwips(QWidget* w, double twips) {
    QRect r = w->geometry();
    r.setWidth(std::max(0, twipsToPixels(twips)));
    applyGeometry(w, r);
}

void setTopTwips(QWidget* w, double twips) {
    QRect r = w->geometry();
    r.moveTop(twipsToPixels(twips));
    applyGeometry(w, r);
}

void setLeftTwips(QWidget* w, double twips) {
    QRect r = w->geometry();
    r.moveLeft(twipsToPixels(twips));
    applyGeometry(w, r);
}

}  // namespace qova::shell
