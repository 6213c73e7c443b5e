// Tone, colour and histogram operations: results a user would see.
#include <QtTest>

#include <functional>
#include <thread>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/ops/ops.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

// A 24-bit picture with every channel varying, so a wrong channel order or
// a skipped pixel shows.
Bitmap picture(int w = 37, int h = 23, int bpp = 24) {
    Bitmap b = Bitmap::create(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uint8_t* r = b.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            r[x * 3] = uint8_t(x * 7 + y);
            r[x * 3 + 1] = uint8_t(y * 11 + 3);
            r[x * 3 + 2] = uint8_t((x * y) & 255);
        }
    }
    return bpp == 24 ? b : b.convertTo(bpp);
}

Bitmap solid(int w, int h, Rgb c) {
    Bitmap b = Bitmap::create(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b.mutableRow(y) + x * 3;
            p[0] = c.b; p[1] = c.g; p[2] = c.r;
        }
    return b;
}

// Same depth and the same colour at every pixel.
bool samePixels(const Bitmap& a, const Bitmap& b) { return a.bpp() == b.bpp() && qova::test::samePixels(a, b); }

}  // namespace

class ToneTest : public QObject {
    Q_OBJECT
private slots:
    void invertTwiceIsIdentityAtEveryDepth() {
        for (int bpp : {1, 4, 8, 16, 24, 32}) {
            const Bitmap orig = picture(37, 23, bpp);
            Bitmap b = orig;
            QCOMPARE(ops::invert(b), int16_t(kOk));
            QVERIFY2(!samePixels(b, orig), qPrintable(QString::number(bpp)));
            QCOMPARE(ops::invert(b), int16_t(kOk));
            QVERIFY2(samePixels(b, orig), qPrintable(QString::number(bpp)));
            QCOMPARE(b.bpp(), bpp);
        }
        // The copy the caller kept is untouched (pixels are shared until written).
        Bitmap a = picture();
        const Bitmap keep = a;
        ops::invert(a);
        QVERIFY(samePixels(keep, picture()));
    }

    void invertOfPaletteImageKeepsIndices() {
        Bitmap b = picture(16, 8, 8);
        const Bitmap orig = b;
        ops::invert(b);
        QCOMPARE(b.bpp(), 8);
        QCOMPARE(b.index(3, 4), orig.index(3, 4));
        const Rgb o = orig.pixel(3, 4), n = b.pixel(3, 4);
        QCOMPARE(int(n.r), 255 - o.r);
    }

    void greyscaleOfPureColours() {
        const struct { Rgb c; int grey; } cases[] = {
            {{255, 0, 0}, 77}, {{0, 255, 0}, 150}, {{0, 0, 255}, 29}, {{255, 255, 255}, 255}, {{0, 0, 0}, 0}};
        for (const auto& k : cases) {
            Bitmap b = solid(4, 3, k.c);
            QCOMPARE(ops::greyscale(b, 8), int16_t(kOk));
            QCOMPARE(b.bpp(), 8);
            QVERIFY(b.isGrey());
            QVERIFY(std::abs(b.index(2, 1) - k.grey) <= 1);
        }
        Bitmap w = solid(4, 3, Rgb{255, 255, 255});
        QCOMPARE(ops::greyscale(w, 16), int16_t(kOk));
        QCOMPARE(w.bpp(), 16);
        QCOMPARE(int(reinterpret_cast<const uint16_t*>(w.row(0))[0]), 65535);
        QCOMPARE(ops::greyscale(w, 12), int16_t(kErrBadParam));
    }

    void brightnessClampsAndRejectsOutOfRange() {
        Bitmap b = solid(5, 5, Rgb{200, 100, 10});
        QCOMPARE(ops::brightness(b, 50), int16_t(kOk));
        QCOMPARE(b.pixel(0, 0), (Rgb{255, 228, 138}));
        QCOMPARE(ops::brightness(b, -100), int16_t(kOk));
        QCOMPARE(b.pixel(4, 4), (Rgb{0, 0, 0}));
        const Bitmap before = b;
        QCOMPARE(ops::brightness(b, 101), int16_t(kErrBadParam));
        QVERIFY(b.sharesWith(before));
        Bitmap empty;
        QCOMPARE(ops::brightness(empty, 10), int16_t(kErrBadHandle));
    }

    void adjustmentsBehaveAsNamed() {
        // Contrast −100 flattens to mid-grey; +100 splits at mid-grey.
        Bitmap c = picture();
        ops::contrast(c, -100);
        QCOMPARE(c.pixel(5, 5), (Rgb{128, 128, 128}));
        Bitmap t = solid(2, 2, Rgb{130, 120, 0});
        ops::contrast(t, 100);
        QCOMPARE(t.pixel(0, 0), (Rgb{255, 0, 0}));
        // Saturation −100 leaves grey; hue 120 turns red into green.
        Bitmap s = solid(2, 2, Rgb{200, 40, 90});
        ops::saturation(s, -100);
        const Rgb g = s.pixel(1, 1);
        QVERIFY(g.r == g.g && g.g == g.b);
        Bitmap h = solid(2, 2, Rgb{255, 0, 0});
        ops::hue(h, 120);
        QCOMPARE(h.pixel(0, 0), (Rgb{0, 255, 0}));
        // Gamma 100 is no change; solarize 128 inverts only the bright part.
        Bitmap p = picture();
        ops::gammaCorrect(p, 100);
        QVERIFY(samePixels(p, picture()));
        Bitmap z = solid(1, 1, Rgb{200, 100, 128});
        ops::solarize(z, 128);
        QCOMPARE(z.pixel(0, 0), (Rgb{55, 100, 127}));
        // Posterize 2 leaves only 0 and 255 in each channel.
        Bitmap q = picture();
        ops::posterize(q, 2);
        for (int x = 0; x < q.width(); ++x) {
            const Rgb v = q.pixel(x, 7);
            QVERIFY((v.r == 0 || v.r == 255) && (v.g == 0 || v.g == 255) && (v.b == 0 || v.b == 255));
        }
        // Intensity detect: inside the band white, outside black.
        Bitmap d = solid(2, 1, Rgb{100, 100, 100});
        ops::intensityDetect(d, 90, 110);
        QCOMPARE(d.pixel(0, 0), (Rgb{255, 255, 255}));
        ops::intensityDetect(d, 0, 10);
        QCOMPARE(d.pixel(0, 0), (Rgb{0, 0, 0}));
        QCOMPARE(ops::intensityDetect(d, 20, 10), int16_t(kErrBadParam));
    }

    void stretchAndEqualiseSpreadTheLevels() {
        Bitmap b = Bitmap::create(10, 1, 8, true);
        for (int x = 0; x < 10; ++x) b.mutableRow(0)[x] = uint8_t(100 + x * 5);  // 100..145
        Bitmap s = b;
        ops::stretchIntensity(s);
        QCOMPARE(s.index(0, 0), 0);
        QCOMPARE(s.index(9, 0), 255);
        Bitmap e = b;
        ops::histogramEqualise(e);
        QCOMPARE(e.index(0, 0), 0);
        QCOMPARE(e.index(9, 0), 255);
        for (int x = 1; x < 10; ++x) QVERIFY(e.index(x, 0) > e.index(x - 1, 0));
    }

    // Every level of every channel counted as a plain loop counts it, on rows
    // whose length leaves a remainder for the pair counting, grey and colour.
    void histogramMatchesPlainCounts() {
        uint32_t seed = 5;
        for (int bpp : {8, 24, 32}) {
            Bitmap b = Bitmap::create(203, 67, bpp, bpp == 8);
            for (int y = 0; y < b.height(); ++y)
                for (size_t i = 0; i < b.stride(); ++i) {
                    seed = seed * 1664525u + 1013904223u;
                    // Runs of one level among random ones, as photos have.
                    b.mutableRow(y)[i] = (i / 9) % 3 == 0 ? uint8_t(y) : uint8_t(seed >> 24);
                }
            const int cn = bpp / 8;
            for (int channel : {ops::kHistLuma, ops::kHistRed, ops::kHistGreen, ops::kHistBlue}) {
                ops::Histogram h{}, want{};
                QCOMPARE(ops::histogram(b, channel, h), int16_t(kOk));
                for (int y = 0; y < b.height(); ++y)
                    for (int x = 0; x < b.width(); ++x) {
                        const uint8_t* p = b.row(y) + x * cn;
                        const int v = cn == 1 ? p[0]
                                      : channel == ops::kHistLuma ? (p[2] * 77 + p[1] * 150 + p[0] * 29 + 128) >> 8
                                      : p[channel == ops::kHistRed ? 2 : channel == ops::kHistGreen ? 1 : 0];
                        ++want[size_t(v)];
                    }
                QCOMPARE(h, want);
            }
        }
    }

    void histogramCountsOfAMadeImage() {
        // 10 × 10: left 3 columns red, the rest blue.
        Bitmap b = solid(10, 10, Rgb{0, 0, 255});
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 3; ++x) b.mutableRow(y)[x * 3 + 2] = 255, b.mutableRow(y)[x * 3] = 0;
        ops::Histogram h{};
        QCOMPARE(ops::histogram(b, ops::kHistRed, h), int16_t(kOk));
        QCOMPARE(h[255], uint64_t(30));
        QCOMPARE(h[0], uint64_t(70));
        ops::histogram(b, ops::kHistBlue, h);
        QCOMPARE(h[255], uint64_t(70));
        ops::histogram(b, ops::kHistGreen, h);
        QCOMPARE(h[0], uint64_t(100));
        ops::histogram(b, ops::kHistLuma, h);
        QCOMPARE(h[77] + h[76], uint64_t(30));
        const Region r = Region::rectangle(RectI{0, 0, 5, 2});
        ops::histogram(b, ops::kHistRed, h, &r);
        QCOMPARE(h[255], uint64_t(6));
        QCOMPARE(h[0], uint64_t(4));
        QCOMPARE(ops::histogram(b, 4, h), int16_t(kErrBadParam));
    }

    void countColoursOfAMadeImage() {
        Bitmap b = solid(8, 8, Rgb{1, 2, 3});
        uint32_t n = 0;
        QCOMPARE(ops::countColours(b, n), int16_t(kOk));
        QCOMPARE(n, 1u);
        for (int x = 0; x < 8; ++x) b.mutableRow(5)[x * 3] = uint8_t(x * 30);  // eight new colours
        ops::countColours(b, n);
        QCOMPARE(n, 9u);
        Bitmap p = b.convertTo(32);
        ops::countColours(p, n);
        QCOMPARE(n, 9u);
        // A palette image counts colours in use, not palette entries.
        Bitmap g = Bitmap::createFilled(4, 4, 8, false, 0);
        g.setIndex(1, 1, 200);
        ops::countColours(g, n);
        QCOMPARE(n, 2u);
    }

    // A bitmap whose pixels are shared with another copy is written into a
    // new buffer instead of being copied first: the result must be the same
    // as on a bitmap of its own, and the other copy must stay as it was.
    void sharedPixelsGiveTheSameResultAsOwnPixels() {
        const Region ellipse = Region::ellipse(RectI{5, 3, 25, 15});
        const Region rect = Region::rectangle(RectI{4, 2, 20, 9});
        using Op = std::function<int16_t(Bitmap&, const Region*)>;
        const std::vector<std::pair<const char*, Op>> cases = {
            {"invert", [](Bitmap& b, const Region* r) { return ops::invert(b, r); }},
            {"saturation", [](Bitmap& b, const Region* r) { return ops::saturation(b, 60, r); }},
            {"hue", [](Bitmap& b, const Region* r) { return ops::hue(b, 77, r); }},
            {"detect", [](Bitmap& b, const Region* r) { return ops::intensityDetect(b, 60, 180, r); }},
            {"fill", [](Bitmap& b, const Region* r) { return ops::fill(b, 0x2040F0, r); }},
            {"average", [](Bitmap& b, const Region* r) { return ops::average(b, 1, r); }},
            {"flip", [](Bitmap& b, const Region*) { return ops::flip(b); }},
            {"reverse", [](Bitmap& b, const Region*) { return ops::reverse(b); }},
        };
        for (int bpp : {8, 16, 24, 32}) {
            const Bitmap orig = picture(37, 23, bpp);
            const Bitmap pristine = orig.clone();
            for (const auto& [name, op] : cases)
                for (const Region* r : {static_cast<const Region*>(nullptr), &ellipse, &rect}) {
                    Bitmap own = orig.clone();
                    QCOMPARE(op(own, r), int16_t(kOk));
                    Bitmap shared = orig;
                    QCOMPARE(op(shared, r), int16_t(kOk));
                    QVERIFY2(samePixels(shared, own), name);
                    QVERIFY2(samePixels(orig, pristine), name);
                }
        }
    }

    // Rows are worked 16 pixels at a time where the CPU allows: every pixel,
    // whatever its place in the row, follows the per-pixel rule.
    void colourRulesHoldForEveryPixelOfLongRows() {
        Bitmap b = Bitmap::create(509, 67, 24);
        uint32_t seed = 99;
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width() * 3; ++x) {
                seed = seed * 1664525u + 1013904223u;
                b.mutableRow(y)[x] = uint8_t(seed >> 24);
            }
        auto lum = [](const uint8_t* p) { return (p[2] * 77 + p[1] * 150 + p[0] * 29 + 128) >> 8; };
        for (int bpp : {24, 32}) {
            const Bitmap src = b.convertTo(bpp);
            const int n = bpp / 8;
            for (int value : {-100, -70, 0, 45, 100}) {
                Bitmap o = src;
                QCOMPARE(ops::saturation(o, value), int16_t(kOk));
                const int k = 256 + value * 256 / 100;
                for (int y = 0; y < o.height(); ++y)
                    for (int x = 0; x < o.width(); ++x) {
                        const uint8_t* p = src.row(y) + x * n;
                        const uint8_t* q = o.row(y) + x * n;
                        const int l = lum(p);
                        for (int c = 0; c < 3; ++c) QCOMPARE(int(q[c]), std::clamp(l + (((p[c] - l) * k) >> 8), 0, 255));
                        if (n == 4) QCOMPARE(q[3], p[3]);
                    }
            }
            for (int degrees : {90, -137, 13}) {
                Bitmap o = src;
                QCOMPARE(ops::hue(o, degrees), int16_t(kOk));
                const int shift = (((degrees % 360) + 360) % 360) * 6 * 256 / 360;
                for (int y = 0; y < o.height(); ++y)
                    for (int x = 0; x < o.width(); ++x) {
                        const uint8_t* p = src.row(y) + x * n;
                        int r = p[2], g = p[1], bl = p[0];
                        const int mx = std::max({r, g, bl}), mn = std::min({r, g, bl}), c = mx - mn;
                        if (c) {
                            int h = mx == r ? ((g - bl) * 256) / c + (g < bl ? 1536 : 0)
                                    : mx == g ? ((bl - r) * 256) / c + 512 : ((r - g) * 256) / c + 1024;
                            h = (h + shift) % 1536;
                            const int t = (c * (h & 255) + 128) / 256;
                            const int v[6][3] = {{mx, mn + t, mn}, {mx - t, mx, mn}, {mn, mx, mn + t},
                                                 {mn, mx - t, mx}, {mn + t, mn, mx}, {mx, mn, mx - t}};
                            r = v[h >> 8][0]; g = v[h >> 8][1]; bl = v[h >> 8][2];
                        }
                        const uint8_t* q = o.row(y) + x * n;
                        QCOMPARE(int(q[2]), r);
                        QCOMPARE(int(q[1]), g);
                        QCOMPARE(int(q[0]), bl);
                    }
            }
            Bitmap o = src;
            QCOMPARE(ops::intensityDetect(o, 70, 150), int16_t(kOk));
            for (int y = 0; y < o.height(); ++y)
                for (int x = 0; x < o.width(); ++x) {
                    const int l = lum(src.row(y) + x * n);
                    QCOMPARE(int(o.row(y)[x * n + 1]), l >= 70 && l <= 150 ? 255 : 0);
                }
        }
    }

    void progressRisesFromZeroToHundredOnTheCallersThread() {
        Bitmap b = picture(600, 800);
        QVector<int> seen;
        const auto me = std::this_thread::get_id();
        bool otherThread = false;
        auto record = [&](int p) {
            if (std::this_thread::get_id() != me) otherThread = true;
            seen.push_back(p);
        };
        QCOMPARE(ops::brightness(b, 10, nullptr, record), int16_t(kOk));
        QVERIFY(!otherThread);
        QVERIFY(seen.size() >= 3);
        QCOMPARE(seen.first(), 0);
        QCOMPARE(seen.last(), 100);
        for (int i = 1; i < seen.size(); ++i) QVERIFY(seen[i] > seen[i - 1]);
        seen.clear();
        ops::Histogram h{};
        ops::histogram(b, 0, h, nullptr, record);
        QCOMPARE(seen.first(), 0);
        QCOMPARE(seen.last(), 100);
    }
};

QTEST_GUILESS_MAIN(ToneTest)
#include "test_tone.moc"
