// Dragging a floating selection on a 24-megapixel photo: milliseconds per
// move of the floater (the move handler's work: a new display rectangle,
// then the repaint of what it left and entered, painted and flushed), at
// fit and at 100 %, beside floors measured in the same run on the same
// path: repainting the same two rectangles with nothing moved, and one
// repaint of the whole unchanged view.
//   bench_floater [moves]   (QT_QPA_PLATFORM=offscreen, or a display)
#include <QApplication>
#include <QScrollBar>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "engine/core/bitmap.h"
#include "engine/core/pages.h"
#include "engine/core/regions/region.h"
#include "engine/core/document.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "bench_support.h"

using namespace qova::engine;

namespace {

using qova::bench::nowMs;

Bitmap photo(int w, int h) {
    Bitmap b = Bitmap::create(w, h, 24);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int> noise(-6, 6);
    for (int y = 0; y < h; ++y) {
        uint8_t* r = b.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            const float v = 128 + 90 * std::sin(x * 0.003f) * std::cos(y * 0.004f);
            const int n = noise(rng);
            r[x * 3] = uint8_t(std::clamp(int(v) + n, 0, 255));
            r[x * 3 + 1] = uint8_t(std::clamp(255 - int(v) + n, 0, 255));
            r[x * 3 + 2] = uint8_t(std::clamp(int(v * 0.5f) + 60 + n, 0, 255));
        }
    }
    return b;
}

// Lets the pending paint run (the update request, the paint, the flush).
void settle() { QCoreApplication::processEvents(); }

struct Figures {
    double move, floorSame, floorWhole, lift;
};

Figures run(ImageControl& c, int moves, bool fit) {
    Figures f{};
    if (fit) {
        c.setViewMode(ImageControl::ViewFit);
    } else {
        c.setViewMode(ImageControl::ViewNormal);
        c.scrollToBitmapPoint(QPointF(1900, 1400));
    }
    c.setFloaterBitmap(0);
    c.setFloaterVisible(false);
    settle();
    c.viewport()->repaint();
    // A press: lift, put the saved background back under the lifted
    // pixels, show the floater (once per press, for reference).
    ImageStore background("Img2");
    background.createBitmap(1500, 1000, 24);
    background.combine(0, 0, 1500, 1000, c.bitmapHandle(), 1800, 1300, 288);
    double t0 = nowMs();
    c.setFloaterBitmap(c.bitmapHandle());
    c.combine(1800, 1300, 1500, 1000, background.bitmapHandle(), 0, 0, 288);
    c.setFloaterVisible(true);
    c.viewport()->repaint();
    f.lift = nowMs() - t0;
    settle();
    const QRectF start(c.floaterLeft(), c.floaterTop(), c.floaterWidth(), c.floaterHeight());
    // The hand's path: a slow circle, a few pixels per event.
    std::vector<QPointF> path;
    for (int i = 0; i < moves; ++i) {
        const double a = i * 2 * M_PI / moves;
        path.emplace_back(start.left() + 60 * std::sin(a), start.top() + 40 * (1 - std::cos(a)));
    }
    t0 = nowMs();
    for (const QPointF& p : path) {
        c.setFloaterDisplayRect(p.x(), p.y(), start.width(), start.height());
        settle();
    }
    f.move = (nowMs() - t0) / moves;
    // Floor 1: the same two rectangles asked again, nothing moved.
    const QRect a = QRectF(start.left(), start.top(), start.width(), start.height()).toAlignedRect();
    const QRect b = a.translated(7, 3);
    t0 = nowMs();
    for (int i = 0; i < moves; ++i) {
        c.viewport()->update(a);
        c.viewport()->update(b);
        settle();
    }
    f.floorSame = (nowMs() - t0) / moves;
    // Floor 2: one repaint of the whole unchanged view.
    t0 = nowMs();
    for (int i = 0; i < 20; ++i) {
        c.viewport()->update();
        settle();
    }
    f.floorWhole = (nowMs() - t0) / 20;
    return f;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const int moves = argc > 1 ? std::max(10, atoi(argv[1])) : 200;
    ImageControl c;
    c.resize(1024, 720);
    c.show();
    for (int i = 0; i < 20; ++i) settle();
    Document d;
    d.frames.push_back(Frame{photo(6000, 4000)});
    c.setDocument(std::move(d));
    c.setCoordinateUnit(ImageControl::UnitPixels);
    // A large ellipse: 1500 × 1000 pixels of the photo.
    c.imageDocument().setRegion(Region::ellipse({1800, 1300, 1500, 1000}));
    std::printf("floater drag, 6000 x 4000 photo, %d x %d view, ellipse 1500 x 1000, %d moves (%s)\n",
                c.viewport()->width(), c.viewport()->height(), moves, qPrintable(QGuiApplication::platformName()));
    std::printf("%-6s %10s %14s %14s %10s %10s\n", "view", "ms/move", "floor same", "floor whole", "ratio", "press ms");
    for (bool fit : {true, false}) {
        const Figures f = run(c, moves, fit);
        std::printf("%-6s %10.2f %14.2f %14.2f %10.2f %10.1f\n", fit ? "fit" : "100%", f.move, f.floorSame,
                    f.floorWhole, f.move / f.floorSame, f.lift);
    }
    return 0;
}
