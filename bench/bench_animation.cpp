// Frame timing of animation playback: a looping animation with a 20 ms
// delay, played by the control for a while (10 s by default) while the
// control is on screen and paints each frame. Prints the frames shown, the
// rate, the drift (when the last frame came against when it was due, from
// the first one) and the lateness of single frames; beside it, in the same
// run and the same event loop, Qt's own repeating precise timer at 20 ms
// (the floor) and a timer restarted after every tick (what drifts).
//
// Usage: bench_animation [seconds] [delay-ms] [canvas-size]
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/core/bitmap.h"
#include "engine/core/pages.h"
#include "engine/image_control.h"
#include "bench_support.h"

using namespace qova::engine;

namespace {

using qova::bench::nowMs;

struct Result {
    int frames = 0;
    double fps = 0;
    double driftMs = 0;     // last frame's time − its due time
    double maxLateMs = 0;   // worst single frame against its due time
    double meanLateMs = 0;
};

// Ticks at t[0], t[1] … against t[0] + k × delay.
Result judge(const std::vector<double>& t, double delay) {
    Result r;
    r.frames = int(t.size());
    if (t.size() < 2) return r;
    r.fps = (t.size() - 1) * 1000.0 / (t.back() - t.front());
    double sum = 0;
    for (size_t k = 0; k < t.size(); ++k) {
        const double late = t[k] - (t.front() + double(k) * delay);
        r.maxLateMs = std::max(r.maxLateMs, late);
        sum += late;
    }
    r.meanLateMs = sum / double(t.size());
    r.driftMs = t.back() - (t.front() + double(t.size() - 1) * delay);
    return r;
}

void print(const char* what, const Result& r, double seconds, double delay) {
    std::printf("%-34s %5d frames (%5.0f due)  %6.2f fps  drift %+7.2f ms  late: mean %5.2f max %6.2f ms\n", what,
                r.frames, seconds * 1000.0 / delay + 1, r.fps, r.driftMs, r.meanLateMs, r.maxLateMs);
}

void runFor(QApplication& app, double seconds) {
    QTimer::singleShot(int(seconds * 1000), &app, &QCoreApplication::quit);
    app.exec();
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    const int delay = argc > 2 ? std::atoi(argv[2]) : 20;
    const int size = argc > 3 ? std::atoi(argv[3]) : 320;

    // Three frames of the canvas's size, each drawn whole.
    Document doc;
    for (int i = 0; i < 3; ++i) {
        Bitmap b = Bitmap::createFilled(size, size, 24, false, uint8_t(60 + 60 * i));
        Frame f{b};
        f.delayMs = delay;
        doc.frames.push_back(f);
    }
    doc.animation.loop = true;

    ImageControl img;
    img.resize(size + 40, size + 40);
    img.setDocument(doc);
    img.show();
    std::vector<double> shown;
    shown.reserve(size_t(seconds * 1000 / delay) + 16);
    int painted = 0;
    QObject::connect(&img, &ImageControl::animationFrameShown, [&](int) { shown.push_back(nowMs()); });
    struct PaintCounter : QObject {
        int* n;
        explicit PaintCounter(int* c) : n(c) {}
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++*n;
            return false;
        }
    } counter(&painted);
    img.viewport()->installEventFilter(&counter);
    img.setAnimationPlaying(true);
    runFor(app, seconds);
    img.setAnimationPlaying(false);
    const Result played = judge(shown, delay);

    // The floor: Qt's repeating precise timer in the same loop.
    std::vector<double> ticks;
    QTimer repeating;
    repeating.setTimerType(Qt::PreciseTimer);
    repeating.setInterval(delay);
    QObject::connect(&repeating, &QTimer::timeout, [&] { ticks.push_back(nowMs()); });
    ticks.push_back(nowMs());
    repeating.start();
    runFor(app, seconds);
    repeating.stop();
    const Result floor = judge(ticks, delay);

    // A single-shot timer restarted after each tick: the error adds up.
    std::vector<double> naive;
    QTimer once;
    once.setTimerType(Qt::PreciseTimer);
    once.setSingleShot(true);
    QObject::connect(&once, &QTimer::timeout, [&] {
        naive.push_back(nowMs());
        once.start(delay);
    });
    naive.push_back(nowMs());
    once.start(delay);
    runFor(app, seconds);
    once.stop();
    const Result restarted = judge(naive, delay);

    std::printf("%.0f s at %d ms a frame, %dx%d canvas, %s\n", seconds, delay, size, size,
                qPrintable(QGuiApplication::platformName()));
    print("playback (frames shown)", played, seconds, delay);
    std::printf("%-34s %5d paints\n", "playback (paint events)", painted);
    print("floor: Qt repeating precise timer", floor, seconds, delay);
    print("restarted single-shot timer", restarted, seconds, delay);
    std::printf("fps ratio playback/floor %.4f; |drift| playback %.2f ms vs floor %.2f ms\n",
                floor.fps > 0 ? played.fps / floor.fps : 0.0, std::fabs(played.driftMs), std::fabs(floor.driftMs));
    return 0;
}
