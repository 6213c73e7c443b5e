// Walking a folder of photos with the arrow keys, through the real file list
// of the main window (offscreen), beside plain decoding of the same files in
// the same run.
//
//   bench_walk [DIR [steps]]              back-to-back and paced, 2–5 MP set
//   bench_walk [options]
//     --dir DIR        the 2–5 MP set (made with 200 photos when it holds none;
//                      default /tmp/qova-bench/walk200)
//     --large-dir DIR  the 24 MP set (made with 12 photos when it holds none;
//                      default /tmp/qova-bench/walk24mp)
//     --steps N        keys per paced walk (default 60; back-to-back: 200)
//     --pace MS        one key every MS on the small set (default 150)
//     --large-pace MS  the same on the 24 MP set (default 300)
//     --no-large       leave the 24 MP set out
//     --only b2b|paced one mode only (make: only make the sets)
//     --no-plain       leave plain decoding out (to profile the walk alone)
//
// Back-to-back: each key follows the paint of the last one; prints the mean
// step beside the mean decode and their ratio. Paced: one key every MS, up
// then down the folder; each key's time runs from the key until the view
// has painted the new picture (the paint returned); prints p50, p90 and max
// beside the same figures for plain decoding.
#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "app/main_window.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/image_control.h"
#include "shell/file_lists.h"
#include "bench_support.h"

using namespace qova;

namespace {

bool gNoPlain = false;

double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// n photos of about `mp` megapixels (3:2); for the small set `mp` <= 0
// spreads them over 2 to 5 megapixels.
void makePhotos(const QString& dir, int n, double mp, const char* stem) {
    // A folder that holds photos already is walked as it is.
    if (!QDir(dir).entryList({"*.jpg", "*.JPG", "*.jpeg"}, QDir::Files).isEmpty()) return;
    QDir().mkpath(dir);
    std::mt19937 rng(7);
    for (int i = 0; i < n; ++i) {
        const QString path = QDir(dir).filePath(QString("%1%2.jpg").arg(stem).arg(i, 3, 10, QChar('0')));
        if (QFileInfo::exists(path)) continue;
        const double m = mp > 0 ? mp : 2.0 + 3.0 * (i % 7) / 6.0;
        const int w = int(std::sqrt(m * 1e6 * 1.5)), h = int(w / 1.5);
        engine::Bitmap b = engine::Bitmap::create(w, h, 24);
        std::normal_distribution<float> noise(0.f, 5.f);
        const float a = float(i) * 0.7f;
        // Each picture differs visibly from the next (a screen watcher sees the step).
        const float fx = 0.004f * 3000.f / float(w), fy = 0.006f * 2000.f / float(h);
        for (int y = 0; y < h; ++y) {
            uint8_t* r = b.mutableRow(y);
            for (int x = 0; x < w; ++x) {
                const float v = 128 + 80 * std::sin(x * fx + a) * std::cos(y * fy - a);
                const float nz = noise(rng);
                r[x * 3] = uint8_t(std::clamp(v + nz, 0.f, 255.f));
                r[x * 3 + 1] = uint8_t(std::clamp(255 - v + nz, 0.f, 255.f));
                r[x * 3 + 2] = uint8_t(std::clamp(v * 0.5f + 60 + nz, 0.f, 255.f));
            }
        }
        bench::saveJpeg(b, path.toStdString(), 88);
    }
}

struct Stats {
    double p50 = 0, p90 = 0, max = 0, mean = 0;
};

Stats statsOf(std::vector<double> v) {
    Stats s;
    if (v.empty()) return s;
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[std::min(v.size() - 1, size_t(std::ceil(q * double(v.size())) - 1))]; };
    s.p50 = at(0.5);
    s.p90 = at(0.9);
    s.max = v.back();
    double sum = 0;
    for (double x : v) sum += x;
    s.mean = sum / double(v.size());
    return s;
}

// Notes each paint of the view and which picture it showed.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(engine::ImageControl* img) : img_(img) { img->viewport()->installEventFilter(this); }
    int paints = 0;
    QString lastSource;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            ++paints;
            lastSource = img_->imageSource();
        }
        return false;
    }

private:
    engine::ImageControl* img_;
};

class Walk {
public:
    explicit Walk(const QString& dir) {
        w_.Form_Load(QString());
        w_.resize(1280, 900);
        w_.show();
        w_.controls().Dir1->setPath(dir);
        list_ = w_.controls().File1;
        list_->setFocus();
        watch_ = std::make_unique<PaintWatch>(w_.controls().Img1);
        dir_ = dir;
    }
    shell::FileList* list() const { return list_; }
    QString path(int i) const { return QDir(dir_).filePath(list_->entry(i)); }

    // Plain decoding of files first..last, one by one (ms each).
    std::vector<double> decodeTimes(int first, int last) const {
        std::vector<double> t;
        if (gNoPlain) return {1.0};
        for (int i = first; i <= last; ++i) {
            engine::Document d;
            engine::LoadRequest r;
            r.path = path(i).toStdString();
            const double t0 = nowMs();
            engine::loadFile(r, d);
            t.push_back(nowMs() - t0);
        }
        return t;
    }

    // Selects entry i and waits until it is painted and the read-ahead has
    // had time to settle.
    bool start(int i, double settleMs) {
        list_->setListIndex(i);
        if (!waitPainted(i)) return false;
        idle(settleMs);
        return true;
    }

    // One key; returns ms from the key until the view painted the expected
    // picture (negative when it did not come).
    double step(int key, int expect) {
        const double t0 = nowMs();
        QApplication::postEvent(list_, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier));
        if (!waitPainted(expect)) return -1;
        const double t = nowMs() - t0;
        QApplication::postEvent(list_, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier));
        QApplication::processEvents();
        return t;
    }

    // Back-to-back: a key sent straight after the last paint.
    double stepNow(int key, int expect) {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(list_, &press);
        QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
        QApplication::sendEvent(list_, &release);
        w_.controls().Img1->viewport()->repaint();
        return list_->listIndex() == expect ? 0 : -1;
    }

    static void idle(double ms) {
        const double end = nowMs() + ms;
        while (nowMs() < end) {
            QApplication::processEvents(QEventLoop::AllEvents, 1);
            QThread::usleep(300);
        }
    }

private:
    bool waitPainted(int expect) {
        const QString want = path(expect);
        const double limit = nowMs() + 10000;
        for (;;) {
            watch_->lastSource.clear();
            QApplication::processEvents();
            if (list_->listIndex() == expect && QDir::cleanPath(watch_->lastSource) == QDir::cleanPath(want))
                return true;
            if (nowMs() > limit) return false;
        }
    }

    app::Form1 w_;
    shell::FileList* list_ = nullptr;
    std::unique_ptr<PaintWatch> watch_;
    QString dir_;
};

int runBackToBack(const QString& dir, int steps) {
    Walk walk(dir);
    shell::FileList* list = walk.list();
    const int n = std::min(steps, list->listCount());
    if (n < 2) return 1;
    const std::vector<double> dec = walk.decodeTimes(0, n - 1);
    double plain = 0;
    for (double t : dec) plain += t;
    if (!walk.start(0, 0)) return 1;
    const double t0 = nowMs();
    for (int i = 1; i < n; ++i)
        if (walk.stepNow(Qt::Key_Down, i) < 0) {
            std::fprintf(stderr, "walk stopped at %d\n", list->listIndex());
            return 1;
        }
    const double perStep = (nowMs() - t0) / (n - 1), perDecode = plain / n;
    std::printf("back-to-back %s: files=%d walk_ms_per_step=%.2f plain_decode_ms=%.2f ratio=%.2f\n",
                qPrintable(QDir(dir).dirName()), n, perStep, perDecode, perStep / perDecode);
    std::fflush(stdout);
    return 0;
}

int runPaced(const QString& dir, int steps, double pace, const char* label) {
    Walk walk(dir);
    shell::FileList* list = walk.list();
    const int count = list->listCount();
    if (count < 3) return 1;
    // Down to the end of the set (or `steps` keys), then back up: both
    // directions of the read-ahead.
    const int down = std::min(count - 1, std::max(1, steps / 2));
    const int up = std::min(down, steps - down);
    const std::vector<double> dec = walk.decodeTimes(0, down);
    if (!walk.start(0, pace)) return 1;
    std::vector<double> lat;
    int at = 0;
    auto key = [&](int k, int to) {
        const double t0 = nowMs();
        const double t = walk.step(k, to);
        if (t < 0) return false;
        lat.push_back(t);
        at = to;
        Walk::idle(std::max(0.0, pace - (nowMs() - t0)));
        return true;
    };
    for (int i = 1; i <= down; ++i)
        if (!key(Qt::Key_Down, i)) return std::fprintf(stderr, "paced walk stopped at %d\n", at), 1;
    for (int i = 0; i < up; ++i)
        if (!key(Qt::Key_Up, at - 1)) return std::fprintf(stderr, "paced walk stopped at %d\n", at), 1;
    const Stats s = statsOf(lat), d = statsOf(dec);
    std::printf("paced %s every %.0f ms: keys=%zu key_to_painted p50=%.2f p90=%.2f max=%.2f | plain decode "
                "p50=%.2f p90=%.2f max=%.2f | p50 ratio=%.2f\n",
                label, pace, lat.size(), s.p50, s.p90, s.max, d.p50, d.p90, d.max, s.p50 / d.p50);
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    QString dir = "/tmp/qova-bench/walk200", largeDir = "/tmp/qova-bench/walk24mp";
    int steps = -1;
    double pace = 150, largePace = 300;
    bool large = true;
    QString only;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        auto next = [&]() -> const char* { return i + 1 < argc ? argv[++i] : ""; };
        if (!std::strcmp(a, "--dir")) dir = next();
        else if (!std::strcmp(a, "--large-dir")) largeDir = next();
        else if (!std::strcmp(a, "--steps")) steps = std::atoi(next());
        else if (!std::strcmp(a, "--pace")) pace = std::atof(next());
        else if (!std::strcmp(a, "--large-pace")) largePace = std::atof(next());
        else if (!std::strcmp(a, "--no-large")) large = false;
        else if (!std::strcmp(a, "--only")) only = next();
        else if (!std::strcmp(a, "--no-plain")) gNoPlain = true;
        else if (positional == 0) dir = a, ++positional;
        else if (positional == 1) steps = std::atoi(a), ++positional;
    }
    makePhotos(dir, 200, 0, "photo");
    if (large) makePhotos(largeDir, 12, 24, "large");

    int rc = 0;
    if (only.isEmpty() || only == "b2b") rc |= runBackToBack(dir, steps > 0 ? steps : 200);
    if (only.isEmpty() || only == "paced") {
        rc |= runPaced(dir, steps > 0 ? steps : 60, pace, "2-5MP");
        if (large) rc |= runPaced(largeDir, steps > 0 ? steps : 22, largePace, "24MP");
    }
    return rc;
}
