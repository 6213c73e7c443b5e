#include "support/images.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/formats/formats.h"

namespace qova::test {

using engine::Bitmap;
using engine::Rgb;

bool haveSamples() { return QFileInfo(QStringLiteral(QOVA_SAMPLES_DIR)).isDir(); }

bool allowNoSamples() { return qgetenv("QOVA_ALLOW_NO_SAMPLES") == "1"; }

QString saveFixture(const engine::Document& doc, const QString& path, int format) {
    engine::SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    const int16_t code = engine::saveFile(doc, r);
    if (code != engine::kOk)
        QTest::qFail(qPrintable(QString("fixture %1 not saved: code %2").arg(path).arg(code)), __FILE__, __LINE__);
    return path;
}

QString sample(const QString& name) { return QDir(QStringLiteral(QOVA_SAMPLES_DIR)).filePath(name); }

Bitmap madeImage(int w, int h, int bpp, unsigned seed) {
    Bitmap rgb = Bitmap::create(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uint8_t* r = rgb.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            r[x * 3] = uint8_t((x * 255) / std::max(1, w - 1));
            r[x * 3 + 1] = uint8_t((y * 255) / std::max(1, h - 1));
            r[x * 3 + 2] = uint8_t(((x / 7 + y / 5 + int(seed)) & 1) ? 230 : 20);
        }
    }
    if (bpp == 24) return rgb;
    if (bpp == 8) {
        // A real 8-bit grey picture (not palette) so round trips keep it grey.
        Bitmap g = Bitmap::create(w, h, 8, true);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) g.mutableRow(y)[x] = uint8_t((x * 3 + y * 5 + seed) & 255);
        return g;
    }
    if (bpp == 16) {
        Bitmap g = Bitmap::create(w, h, 16, true);
        for (int y = 0; y < h; ++y) {
            auto* r = reinterpret_cast<uint16_t*>(g.mutableRow(y));
            for (int x = 0; x < w; ++x) r[x] = uint16_t((x * 997 + y * 131 + seed) & 0xFFFF);
        }
        return g;
    }
    return rgb.convertTo(bpp);
}

Bitmap readPnm(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<uint8_t> d((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    size_t p = 0;
    auto token = [&]() {
        while (p < d.size() && (std::isspace(d[p]) || d[p] == '#')) {
            if (d[p] == '#') while (p < d.size() && d[p] != '\n') ++p;
            else ++p;
        }
        std::string t;
        while (p < d.size() && !std::isspace(d[p])) t += char(d[p++]);
        return t;
    };
    const std::string magic = token();
    const int w = std::atoi(token().c_str()), h = std::atoi(token().c_str());
    token();  // maxval
    ++p;
    const bool grey = magic == "P5";
    Bitmap b = Bitmap::create(w, h, grey ? 8 : 24, grey);
    const int n = grey ? 1 : 3;
    for (int y = 0; y < h && p + size_t(w * n) <= d.size(); ++y) {
        uint8_t* r = b.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            if (grey) r[x] = d[p + size_t(x)];
            else { r[x * 3] = d[p + size_t(x) * 3 + 2]; r[x * 3 + 1] = d[p + size_t(x) * 3 + 1]; r[x * 3 + 2] = d[p + size_t(x) * 3]; }
        }
        p += size_t(w * n);
    }
    return b;
}

Diff compare(const Bitmap& a, const Bitmap& b) {
    Diff d;
    if (a.width() != b.width() || a.height() != b.height()) {
        d.max = 1 << 20;
        d.mean = 1e9;
        return d;
    }
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const Rgb p = a.pixel(x, y), q = b.pixel(x, y);
            const int dr = std::abs(p.r - q.r), dg = std::abs(p.g - q.g), db = std::abs(p.b - q.b);
            d.max = std::max({d.max, dr, dg, db});
            sum += dr + dg + db;
        }
    d.mean = sum / (3.0 * a.width() * a.height());
    return d;
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    if (a.bpp() == 16 && b.bpp() == 16) {
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                if (reinterpret_cast<const uint16_t*>(a.row(y))[x] != reinterpret_cast<const uint16_t*>(b.row(y))[x]) return false;
        return true;
    }
    return compare(a, b).max == 0;
}

}  // namespace qova::test
