// Walking a folder of photos with the down-arrow key, through the real
// file list of the main window (offscreen): milliseconds per step, beside
// plain decoding of the same files in the same run.
//   bench_walk DIR [steps]     (DIR is made with 200 photos when missing)
#include <QApplication>
#include <QDir>
#include <QKeyEvent>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

#include "app/main_window.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/image_control.h"
#include "shell/file_lists.h"

using namespace qova;

namespace {

double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

void makePhotos(const QString& dir, int n) {
    QDir().mkpath(dir);
    std::mt19937 rng(7);
    for (int i = 0; i < n; ++i) {
        const QString path = QDir(dir).filePath(QString("photo%1.jpg").arg(i, 3, 10, QChar('0')));
        if (QFileInfo::exists(path)) continue;
        // 2 to 5 megapixels, 3:2.
        const double mp = 2.0 + 3.0 * (i % 7) / 6.0;
        const int w = int(std::sqrt(mp * 1e6 * 1.5)), h = int(w / 1.5);
        engine::Bitmap b = engine::Bitmap::create(w, h, 24);
        std::normal_distribution<float> noise(0.f, 5.f);
        const float a = float(i) * 0.7f;
        for (int y = 0; y < h; ++y) {
            uint8_t* r = b.mutableRow(y);
            for (int x = 0; x < w; ++x) {
                const float v = 128 + 80 * std::sin(x * 0.004f + a) * std::cos(y * 0.006f - a);
                const float n = noise(rng);
                r[x * 3] = uint8_t(std::clamp(v + n, 0.f, 255.f));
                r[x * 3 + 1] = uint8_t(std::clamp(255 - v + n, 0.f, 255.f));
                r[x * 3 + 2] = uint8_t(std::clamp(v * 0.5f + 60 + n, 0.f, 255.f));
            }
        }
        engine::Document d;
        d.frames.push_back(engine::Frame{b});
        engine::SaveRequest r;
        r.path = path.toStdString();
        r.format = engine::kFmtJpeg;
        r.quality = 88;
        engine::saveFile(d, r);
    }
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const QString dir = argc > 1 ? argv[1] : "/tmp/qova-bench/walk200";
    const int steps = argc > 2 ? std::atoi(argv[2]) : 200;
    makePhotos(dir, steps);

    app::Form1 w;
    w.Form_Load(QString());
    w.resize(1280, 900);
    w.show();
    w.controls().Dir1->setPath(dir);
    shell::FileList* list = w.controls().File1;
    list->setFocus();
    const int n = std::min(steps, list->listCount());

    // Plain decoding of the same files (no read-ahead, nothing shown).
    double plain = 0;
    for (int i = 0; i < n; ++i) {
        engine::Document d;
        engine::LoadRequest r;
        r.path = QDir(dir).filePath(list->entry(i)).toStdString();
        const double t0 = nowMs();
        engine::loadFile(r, d);
        plain += nowMs() - t0;
    }

    // The walk: select the first, then one down-arrow per step; each step
    // ends when the new picture has been painted.
    list->setListIndex(0);
    w.controls().Img1->viewport()->repaint();
    const double t0 = nowMs();
    for (int i = 1; i < n; ++i) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(list, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        QApplication::sendEvent(list, &release);
        w.controls().Img1->viewport()->repaint();
        if (list->listIndex() != i) {
            std::fprintf(stderr, "walk stopped at %d\n", list->listIndex());
            return 1;
        }
    }
    const double walk = nowMs() - t0;
    const double perStep = walk / std::max(1, n - 1), perDecode = plain / std::max(1, n);
    std::printf("files=%d walk_ms_per_step=%.2f plain_decode_ms=%.2f ratio=%.2f\n", n, perStep, perDecode,
                perStep / perDecode);
    return 0;
}
