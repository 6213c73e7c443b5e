// Times the print render of a photo onto a letter page at 300 units per
// inch (8 × 6 inches: 2400 × 1800 device pixels) into Qt's PDF engine, the
// path a CUPS job takes, beside GraphicsMagick writing the same page, with
// the floor: the same PDF engine given the already resampled page in one
// piece. Also reports the longest stretch between two progress reports,
// which is how long the window can go without repainting.
//
// Usage: bench_print [--size WxH] [--runs N]
#include <QApplication>
#include <QElapsedTimer>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "engine/core/document.h"
#include "engine/image_control.h"

using namespace qova::engine;

namespace {

Bitmap makePicture(int w, int h) {
    Bitmap b = Bitmap::create(w, h, 24);
    uint32_t seed = 12345;
    for (int y = 0; y < h; ++y) {
        uint8_t* r = b.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int n = int(seed >> 28) - 8;
            r[x * 3] = uint8_t(std::clamp(int(128 + 100 * std::sin(x * 0.003)) + n, 0, 255));
            r[x * 3 + 1] = uint8_t(std::clamp((y * 255 / h) + n, 0, 255));
            r[x * 3 + 2] = uint8_t(std::clamp(int(128 + 90 * std::cos((x + y) * 0.002)) + n, 0, 255));
        }
    }
    return b;
}

// A letter page at 300 dpi without margins, as the printer's painter is.
struct PdfPage {
    QPdfWriter writer;
    explicit PdfPage(const QString& path) : writer(path) {
        writer.setResolution(300);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    }
};

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int w = 6000, h = 4500, runs = 5;
    for (int i = 1; i + 1 < argc; ++i) {
        if (!std::strcmp(argv[i], "--size")) std::sscanf(argv[++i], "%dx%d", &w, &h);
        else if (!std::strcmp(argv[i], "--runs")) runs = std::max(1, std::atoi(argv[++i]));
    }
    const int pw = 2400, ph = int(std::lround(double(h) * pw / w));
    QTemporaryDir dir;
    ImageControl img;
    Document d;
    d.frames.push_back(Frame{makePicture(w, h)});
    img.setDocument(d);
    img.setProgressEnabled(true);
    std::printf("print render: %d x %d photo onto %d x %d device pixels (letter, 300 dpi), median of %d\n", w, h, pw,
                ph, runs);

    std::vector<double> ours, floor, gaps;
    for (int r = 0; r < runs; ++r) {
        // Ours: resample, then bands with progress between them.
        {
            QElapsedTimer t, gap;
            double worst = 0;
            QObject::connect(&img, &ImageControl::progress, &app, [&](int) {
                worst = std::max(worst, gap.nsecsElapsed() / 1e6);
                gap.restart();
            });
            PdfPage page(dir.filePath("ours.pdf"));
            QPainter p(&page.writer);
            t.start();
            gap.start();
            img.renderToDevice(&p, 0, 0, pw, ph);
            p.end();
            ours.push_back(t.nsecsElapsed() / 1e6);
            gaps.push_back(std::max(worst, gap.nsecsElapsed() / 1e6));  // the last band to the end of the page
            QObject::disconnect(&img, &ImageControl::progress, &app, nullptr);
        }
        // Floor: the resampled page handed to the same PDF engine in one piece.
        {
            const QImage resampled = img.reducedPicture(QSize(pw, ph));
            PdfPage page(dir.filePath("floor.pdf"));
            QPainter p(&page.writer);
            QElapsedTimer t;
            t.start();
            p.drawImage(QPoint(0, 0), resampled);
            p.end();
            floor.push_back(t.nsecsElapsed() / 1e6);
        }
    }
    // The other floor: one read over the picture's pixels, which resampling cannot beat.
    std::vector<double> pass;
    for (int r = 0; r < runs; ++r) {
        const Bitmap& b = img.currentBitmap();
        QElapsedTimer t;
        t.start();
        uint64_t sum = 0;
        for (int y = 0; y < b.height(); ++y) {
            const uint64_t* row = reinterpret_cast<const uint64_t*>(b.row(y));
            for (size_t i = 0; i < b.stride() / 8; ++i) sum += row[i];
        }
        pass.push_back(t.nsecsElapsed() / 1e6);
        if (sum == 42) std::printf(" ");
    }
    const double o = median(ours), f = median(floor);
    std::printf("  ours (resample + %d bands)   %8.1f ms   %.2f x floor\n", (ph + 299) / 300, o, o / f);
    std::printf("  floor (PDF engine, one piece) %7.1f ms\n", f);
    std::printf("  floor (one read over the pixels) %7.1f ms; ours is %.2f x that plus the PDF floor\n",
                median(pass), o / (median(pass) + f));
    std::printf("  longest stretch without a progress report: %.1f ms\n", median(gaps));

    // GraphicsMagick writing the same page from the same pixels (ImageMagick
    // as Debian ships it refuses to write PDF).
    const QString ppm = dir.filePath("in.ppm");
    {
        QImage in(w, h, QImage::Format_RGB888);
        const Bitmap& b = img.currentBitmap();
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = b.row(y);
            uchar* o2 = in.scanLine(y);
            for (int x = 0; x < w; ++x) o2[3 * x] = s[3 * x + 2], o2[3 * x + 1] = s[3 * x + 1], o2[3 * x + 2] = s[3 * x];
        }
        in.save(ppm);
    }
    std::vector<double> magick;
    for (int r = 0; r < runs; ++r) {
        QElapsedTimer t;
        t.start();
        const int rc = QProcess::execute("gm", {"convert", ppm, "-filter", "Box", "-resize", QString("%1x%2!").arg(pw).arg(ph),
                                                     "-units", "PixelsPerInch", "-density", "300", "-compress", "Zip",
                                                     dir.filePath("magick.pdf")});
        if (rc != 0) {
            std::printf("  GraphicsMagick: not available\n");
            return 0;
        }
        magick.push_back(t.nsecsElapsed() / 1e6);
    }
    const double m = median(magick);
    std::printf("  gm convert (box resize, zip PDF) %8.1f ms   ours is %.2f x faster\n", m, m / o);
    return 0;
}
