// Filters, effects and colour reduction; every operation kept inside a region.
#include <QtTest>

#include <functional>
#include <set>

#include "engine/core/codes.h"
#include "engine/core/ops/ops.h"

using namespace qova::engine;

namespace {

Bitmap picture(int w, int h, int bpp = 24) {
    Bitmap b = Bitmap::create(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b.mutableRow(y) + x * 3;
            // Levels 20..220, so stretching has room to work.
            p[0] = uint8_t(20 + ((x * 37 + y * 11) & 255) * 200 / 255);
            p[1] = uint8_t(20 + ((x * x + y * 5) & 255) * 200 / 255);
            p[2] = uint8_t(20 + ((y * 29 + (x ^ y) * 3) & 255) * 200 / 255);
        }
    return bpp == 24 ? b : b.convertTo(bpp);
}

std::set<uint32_t> colours(const Bitmap& b) {
    std::set<uint32_t> s;
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) {
            const Rgb c = b.pixel(x, y);
            s.insert(uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | c.b);
        }
    return s;
}

using Op = std::function<int16_t(Bitmap&, const Region*)>;

struct NamedOp {
    const char* name;
    Op op;
};

std::vector<NamedOp> allOps() {
    return {
        {"invert", [](Bitmap& b, const Region* r) { return ops::invert(b, r); }},
        {"brightness", [](Bitmap& b, const Region* r) { return ops::brightness(b, 40, r); }},
        {"contrast", [](Bitmap& b, const Region* r) { return ops::contrast(b, 50, r); }},
        {"saturation", [](Bitmap& b, const Region* r) { return ops::saturation(b, -80, r); }},
        {"histo contrast", [](Bitmap& b, const Region* r) { return ops::histogramContrast(b, 60, r); }},
        {"hue", [](Bitmap& b, const Region* r) { return ops::hue(b, 90, r); }},
        {"halftone print", [](Bitmap& b, const Region* r) { return ops::halftone(b, 0, 45, r); }},
        {"halftone view", [](Bitmap& b, const Region* r) { return ops::halftone(b, 1, 0, r); }},
        {"gamma", [](Bitmap& b, const Region* r) { return ops::gammaCorrect(b, 220, r); }},
        {"detect", [](Bitmap& b, const Region* r) { return ops::intensityDetect(b, 50, 150, r); }},
        {"colour res", [](Bitmap& b, const Region* r) { return ops::colourResolution(b, 4, ops::kResOptimised, 2, 0, r); }},
        {"greyscale", [](Bitmap& b, const Region* r) { return ops::greyscale(b, 8, r); }},
        {"equalise", [](Bitmap& b, const Region* r) { return ops::histogramEqualise(b, r); }},
        {"stretch", [](Bitmap& b, const Region* r) { return ops::stretchIntensity(b, r); }},
        {"posterize", [](Bitmap& b, const Region* r) { return ops::posterize(b, 3, r); }},
        {"mosaic", [](Bitmap& b, const Region* r) { return ops::mosaic(b, 4, r); }},
        {"average", [](Bitmap& b, const Region* r) { return ops::average(b, 2, r); }},
        {"median", [](Bitmap& b, const Region* r) { return ops::median(b, 2, r); }},
        {"sharpen", [](Bitmap& b, const Region* r) { return ops::sharpen(b, 80, r); }},
        {"noise", [](Bitmap& b, const Region* r) { return ops::addNoise(b, 50, 0, r); }},
        {"emboss", [](Bitmap& b, const Region* r) { return ops::emboss(b, 45, 40, r); }},
        {"oilify", [](Bitmap& b, const Region* r) { return ops::oilify(b, 3, r); }},
        {"solarize", [](Bitmap& b, const Region* r) { return ops::solarize(b, 100, r); }},
        {"sobel", [](Bitmap& b, const Region* r) { return ops::spatialFilter(b, ops::kFilterSobelV, r); }},
        {"fill", [](Bitmap& b, const Region* r) { return ops::fill(b, 0x00FF00, r); }},
    };
}

}  // namespace

class FiltersReduceTest : public QObject {
    Q_OBJECT
private slots:
    void regionConfinesEveryOperation() {
        const Region e = Region::ellipse(RectI{8, 6, 30, 20});
        for (int bpp : {8, 24, 32}) {
            const Bitmap orig = picture(48, 36, bpp);
            for (const NamedOp& n : allOps()) {
                Bitmap b = orig;
                const QString what = QString("%1 at %2 bits").arg(n.name).arg(bpp);
                QVERIFY2(n.op(b, &e) == kOk, qPrintable(what));
                QCOMPARE(b.width(), orig.width());
                int changedInside = 0;
                for (int y = 0; y < b.height(); ++y)
                    for (int x = 0; x < b.width(); ++x) {
                        const bool same = b.pixel(x, y) == orig.pixel(x, y);
                        if (!e.contains(x, y)) QVERIFY2(same, qPrintable(what + QString(" changed %1,%2").arg(x).arg(y)));
                        else if (!same) ++changedInside;
                    }
                QVERIFY2(changedInside > 0, qPrintable(what + " changed nothing"));
            }
        }
    }

    void everyOperationRunsAtEveryDepth() {
        for (int bpp : {1, 4, 8, 16, 24, 32}) {
            for (const NamedOp& n : allOps()) {
                Bitmap b = picture(21, 17, bpp);
                QVERIFY2(n.op(b, nullptr) == kOk, qPrintable(QString("%1 at %2 bits").arg(n.name).arg(bpp)));
                QCOMPARE(b.width(), 21);
            }
        }
    }

    void quantisedImagesKeepAtMostTwoToTheBitsColours() {
        const Bitmap orig = picture(64, 48);
        for (int bits : {1, 2, 3, 4, 5, 8})
            for (int options : {0, int(ops::kResOptimised)})
                for (int dither : {0, 1, 2}) {
                    Bitmap b = orig;
                    QCOMPARE(ops::colourResolution(b, bits, options, dither, 0), int16_t(kOk));
                    QVERIFY(b.hasPalette());
                    QVERIFY(b.bpp() >= bits);
                    QVERIFY(colours(b).size() <= size_t(1) << bits);
                }
        Bitmap b = orig;
        QCOMPARE(ops::colourResolution(b, 8, ops::kResOptimised, 0, 255), int16_t(kOk));
        QVERIFY(colours(b).size() <= 255);
        QCOMPARE(ops::colourResolution(b, 9, 0, 0, 0), int16_t(kErrBadParam));
        Bitmap hi = orig;
        QCOMPARE(ops::colourResolution(hi, 16, 0, 0, 0), int16_t(kOk));
        QCOMPARE(hi.bpp(), 24);
        // Red and blue keep 5 bits, green 6: each value is one of their levels.
        std::set<int> five, six;
        for (int k = 0; k < 32; ++k) five.insert(k * 255 / 31);
        for (int k = 0; k < 64; ++k) six.insert(k * 255 / 63);
        for (const uint32_t c : colours(hi)) {
            QVERIFY(five.count(int(c >> 16)) && five.count(int(c & 255)));
            QVERIFY(six.count(int((c >> 8) & 255)));
        }
    }

    void optimisedPaletteReproducesFewColoursExactly() {
        Bitmap b = Bitmap::create(8, 8, 24);
        const Rgb four[4] = {{10, 20, 30}, {200, 10, 10}, {0, 250, 100}, {90, 90, 90}};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) {
                const Rgb c = four[(x / 4) + 2 * (y / 4)];
                uint8_t* p = b.mutableRow(y) + x * 3;
                p[0] = c.b; p[1] = c.g; p[2] = c.r;
            }
        ops::colourResolution(b, 2, ops::kResOptimised, 0, 0);
        QCOMPARE(b.pixel(0, 0), four[0]);
        QCOMPARE(b.pixel(7, 0), four[1]);
        QCOMPARE(b.pixel(0, 7), four[2]);
        QCOMPARE(b.pixel(7, 7), four[3]);
    }

    void listReductionSharesOnePalette() {
        std::vector<Bitmap> frames{picture(20, 10), picture(30, 12, 8), picture(5, 5, 32)};
        QCOMPARE(ops::colourResolutionList(frames, 8, ops::kResOptimised, 2, 255), int16_t(kOk));
        QCOMPARE(frames[1].width(), 30);
        for (const Bitmap& f : frames) {
            QCOMPARE(f.bpp(), 8);
            QVERIFY(f.palette() == frames[0].palette());
            QVERIFY(f.palette().size() <= 255);
        }
        std::vector<Bitmap> deep{picture(4, 4, 8)};
        QCOMPARE(ops::colourResolutionList(deep, 24, 0, 0, 0), int16_t(kOk));
        QCOMPARE(deep[0].bpp(), 24);
    }

    void halftoneIsBlackAndWhite() {
        Bitmap b = picture(40, 40);
        QCOMPARE(ops::halftone(b, ops::kHalftonePrint, 30), int16_t(kOk));
        QCOMPARE(b.bpp(), 1);
        QVERIFY(colours(b).size() <= 2);
        Bitmap w = Bitmap::createFilled(16, 16, 24, false, 255);
        ops::halftone(w, ops::kHalftoneView, 0);
        QCOMPARE(colours(w).size(), size_t(1));
        QCOMPARE(w.pixel(3, 3), (Rgb{255, 255, 255}));
    }

    void spatialFiltersAndEdgeEnhancement() {
        for (int n = 0; n <= ops::kFilterLast; ++n) {
            Bitmap flat = Bitmap::createFilled(12, 12, 24, false, 90);
            QCOMPARE(ops::spatialFilter(flat, n), int16_t(kOk));
            // No edges in a flat image: black, except the detail filter's mid-level.
            QCOMPARE(flat.pixel(6, 6).g, uint8_t(n == ops::kFilterEdgeDetail ? 128 : 0));
        }
        Bitmap b = picture(8, 8);
        QCOMPARE(ops::spatialFilter(b, ops::kFilterLast + 1), int16_t(kErrBadParam));
        // Edge emphasis: detail of a step edge merged back steepens it.
        Bitmap step = Bitmap::createFilled(10, 10, 8, true, 100);
        for (int y = 0; y < 10; ++y)
            for (int x = 5; x < 10; ++x) step.mutableRow(y)[x] = 150;
        Bitmap detail = step;
        ops::spatialFilter(detail, ops::kFilterEdgeDetail);
        QCOMPARE(ops::combine(step, 0, 0, 10, 10, detail, 0, 0, ops::kCombineAddDetail), int16_t(kOk));
        QVERIFY(step.index(4, 5) < 100);
        QVERIFY(step.index(5, 5) > 150);
        QCOMPARE(step.index(0, 5), 100);
        QCOMPARE(ops::combine(step, 0, 0, 10, 10, detail, 0, 0, 1), int16_t(kErrBadParam));
    }

    // Noise on long colour rows (worked many pixels at a time): one offset
    // per pixel for all three channels, within the amount, spread over the
    // whole range rather than stuck at one value.
    void noiseOfColourRowsIsOneSpreadOffsetPerPixel() {
        for (int amount : {10, 100}) {
            Bitmap b = Bitmap::createFilled(203, 17, 24, false, 128);
            QCOMPARE(ops::addNoise(b, amount, 0), int16_t(kOk));
            const int span = amount * 255 / 100;
            int lo = 255, hi = 0;
            double sum = 0;
            for (int y = 0; y < b.height(); ++y)
                for (int x = 0; x < b.width(); ++x) {
                    const Rgb c = b.pixel(x, y);
                    QCOMPARE(c.g, c.r);
                    QCOMPARE(c.b, c.r);
                    QVERIFY(std::abs(c.r - 128) <= span);
                    lo = std::min(lo, int(c.r));
                    hi = std::max(hi, int(c.r));
                    sum += c.r;
                }
            QVERIFY(lo <= 128 - std::min(span, 127) * 3 / 4);
            QVERIFY(hi >= 128 + std::min(span, 127) * 3 / 4);
            QVERIFY(std::abs(sum / (b.width() * b.height()) - 128) < span / 8.0 + 1);
        }
    }

    // Mosaic against a plain reference: tiles counted from (0, 0), each the
    // rounded mean of its whole tile, written only inside the region, alpha kept.
    void mosaicMatchesReference() {
        uint32_t seed = 99;
        auto rnd = [&] { seed = seed * 1664525u + 1013904223u; return seed >> 16; };
        for (int bpp : {8, 16, 24, 32}) {
            for (bool withRegion : {false, true}) {
                Bitmap b = Bitmap::create(23, 17, bpp, bpp <= 16);
                for (int y = 0; y < b.height(); ++y)
                    for (size_t i = 0; i < b.stride(); ++i) b.mutableRow(y)[i] = uint8_t(rnd());
                const Bitmap before = b.clone();
                const Region ellipse = Region::ellipse(RectI{3, 2, 15, 11});
                QCOMPARE(ops::mosaic(b, 5, withRegion ? &ellipse : nullptr), int16_t(kOk));
                const int n = bpp == 16 ? 1 : bpp / 8, ch = bpp == 16 ? 1 : std::min(3, n);
                for (int y = 0; y < 17; ++y)
                    for (int x = 0; x < 23; ++x) {
                        const bool inside = !withRegion || ellipse.contains(x, y);
                        const int x0 = x / 5 * 5, y0 = y / 5 * 5, x1 = std::min(23, x0 + 5), y1 = std::min(17, y0 + 5);
                        for (int c = 0; c < n; ++c) {
                            auto at = [&](const Bitmap& m, int xx, int yy) -> uint64_t {
                                return bpp == 16 ? reinterpret_cast<const uint16_t*>(m.row(yy))[xx] : m.row(yy)[xx * n + c];
                            };
                            uint64_t want = at(before, x, y);
                            if (inside && c < ch) {
                                uint64_t sum = 0, cnt = 0;
                                for (int yy = y0; yy < y1; ++yy)
                                    for (int xx = x0; xx < x1; ++xx, ++cnt) sum += at(before, xx, yy);
                                want = (sum + cnt / 2) / cnt;
                            }
                            if (at(b, x, y) != want)
                                QFAIL(qPrintable(QString("bpp %1 region %2 at %3,%4 channel %5").arg(bpp).arg(withRegion).arg(x).arg(y).arg(c)));
                        }
                    }
            }
        }
    }

    void effectsGiveTheirKnownResults() {
        // Mosaic: every tile one colour, the tile's average.
        Bitmap m = Bitmap::create(4, 2, 8, true);
        const uint8_t v[8] = {0, 10, 100, 100, 20, 30, 100, 100};
        for (int i = 0; i < 8; ++i) m.mutableRow(i / 4)[i % 4] = v[i];
        ops::mosaic(m, 2);
        QCOMPARE(m.index(0, 0), 15);
        QCOMPARE(m.index(1, 1), 15);
        QCOMPARE(m.index(3, 1), 100);
        // Median removes a lone speck; average smears it.
        Bitmap s = Bitmap::createFilled(9, 9, 8, true, 0);
        s.mutableRow(4)[4] = 255;
        Bitmap med = s;
        ops::median(med, 1);
        QCOMPARE(med.index(4, 4), 0);
        Bitmap avg = s;
        ops::average(avg, 1);
        QCOMPARE(avg.index(3, 3), (255 + 4) / 9);
        // Noise stays within its amount.
        Bitmap n = Bitmap::createFilled(30, 30, 8, true, 128);
        ops::addNoise(n, 10, 0);
        bool moved = false;
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 30; ++x) {
                QVERIFY(std::abs(n.index(x, y) - 128) <= 25);
                moved |= n.index(x, y) != 128;
            }
        QVERIFY(moved);
        // Emboss of a flat image is mid-grey.
        Bitmap e = Bitmap::createFilled(6, 6, 24, false, 77);
        ops::emboss(e, 0, 50);
        QCOMPARE(e.pixel(3, 3), (Rgb{128, 128, 128}));
        QCOMPARE(ops::oilify(e, 9), int16_t(kErrBadParam));
        QCOMPARE(ops::median(e, 0), int16_t(kErrBadParam));
    }
};

QTEST_GUILESS_MAIN(FiltersReduceTest)
#include "test_filters_reduce.moc"
