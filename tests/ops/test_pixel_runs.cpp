// The pixel runs behind the tone operations give exactly what a plain loop
// gives: tables for every value, run length and start (32-bit alpha kept),
// luminance, and colour pixels split into planes and joined back.
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

#include "engine/core/bitmap.h"
#include "engine/core/codes.h"
#include "engine/core/ops/ops.h"
#include "engine/core/ops/pixel_runs.h"
#include "engine/core/view_copy.h"

using namespace qova::engine;
using namespace qova::engine::ops;

class TestPixelRuns : public QObject {
    Q_OBJECT

private slots:
    void everyValueLengthAndStart() {
        uint8_t lut[256];
        for (int i = 0; i < 256; ++i) lut[i] = uint8_t((i * 167 + 13) ^ (i >> 3));
        std::vector<uint8_t> src(600);
        for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 73 + (i >> 8));
        std::vector<uint8_t> all(256);
        std::iota(all.begin(), all.end(), 0);
        std::vector<uint8_t> out(256);
        lutBytes(all.data(), out.data(), 256, lut);
        for (int i = 0; i < 256; ++i) QCOMPARE(int(out[size_t(i)]), int(lut[i]));

        for (bool keep : {false, true})
            for (size_t start : {size_t(0), size_t(1), size_t(4), size_t(63)})
                for (size_t n = 0; n + start <= 300; ++n) {
                    // A guard byte after the run must stay untouched.
                    std::vector<uint8_t> dst(n + 1, 0xA5);
                    lutBytes(src.data() + start, dst.data(), n, lut, keep);
                    for (size_t i = 0; i < n; ++i) {
                        const uint8_t want = keep && (i & 3) == 3 ? src[start + i] : lut[src[start + i]];
                        if (dst[i] != want) QFAIL(qPrintable(QStringLiteral("start %1 length %2 byte %3").arg(start).arg(n).arg(i)));
                    }
                    QCOMPARE(int(dst[n]), 0xA5);
                }
    }

    void inPlace() {
        uint8_t lut[256];
        for (int i = 0; i < 256; ++i) lut[i] = uint8_t(255 - i);
        std::vector<uint8_t> buf(1000);
        for (size_t i = 0; i < buf.size(); ++i) buf[i] = uint8_t(i);
        lutBytes(buf.data(), buf.data(), buf.size(), lut);
        for (size_t i = 0; i < buf.size(); ++i) QCOMPARE(int(buf[i]), 255 - int(uint8_t(i)));
    }

    void luminanceOfEveryRunLength() {
        std::vector<uint8_t> px(3 * 300);
        for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 97 + (i >> 4) * 31);
        // The extremes, where a sum could overflow 16 bits.
        for (int i = 0; i < 6; ++i) px[size_t(i)] = 255;
        px[6] = 0; px[7] = 255; px[8] = 0;
        for (int n = 0; n <= 300; ++n) {
            std::vector<uint8_t> out(size_t(n) + 1, 0xA5);
            lumaRun24(px.data(), n, out.data());
            for (int x = 0; x < n; ++x) {
                const uint8_t* p = px.data() + 3 * x;
                if (out[size_t(x)] != luma(p[2], p[1], p[0]))
                    QFAIL(qPrintable(QStringLiteral("length %1 pixel %2").arg(n).arg(x)));
            }
            QCOMPARE(int(out[size_t(n)]), 0xA5);
        }
    }

    // Long rows go through the fast runs, a one-pixel picture through the
    // plain per-pixel code: every colour operation must agree pixel for pixel.
    void wideRowsAgreeWithSinglePixels_data() {
        QTest::addColumn<int>("which");
        QTest::newRow("detect") << 0;
        QTest::newRow("saturation") << 1;
        QTest::newRow("hue") << 2;
        QTest::newRow("greyscale") << 3;
        QTest::newRow("gamma") << 4;
        QTest::newRow("invert 32-bit") << 5;
        QTest::newRow("saturation doubled") << 6;
        QTest::newRow("saturation to grey") << 7;
    }
    void wideRowsAgreeWithSinglePixels() {
        QFETCH(int, which);
        const int bpp = which == 5 ? 32 : 24;
        auto run = [&](Bitmap& b) -> int16_t {
            switch (which) {
            case 0: return ops::intensityDetect(b, 60, 190);
            case 1: return ops::saturation(b, 70);
            case 2: return ops::hue(b, 130);
            case 3: return ops::greyscale(b, 8);
            case 4: return ops::gammaCorrect(b, 180);
            case 6: return ops::saturation(b, 100);
            case 7: return ops::saturation(b, -100);
            default: return ops::invert(b);
            }
        };
        const int w = 203, h = 3, cn = bpp / 8;
        Bitmap wide = Bitmap::create(w, h, bpp);
        for (int y = 0; y < h; ++y) {
            uint8_t* r = wide.mutableRow(y);
            for (int i = 0; i < w * cn; ++i) r[i] = uint8_t(i * 89 + y * 41 + (i >> 5));
        }
        Bitmap out = wide;
        QCOMPARE(run(out), int16_t(kOk));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                Bitmap one = Bitmap::create(1, 1, bpp);
                std::memcpy(one.mutableRow(0), wide.row(y) + size_t(x) * cn, size_t(cn));
                QCOMPARE(run(one), int16_t(kOk));
                QCOMPARE(one.bpp(), out.bpp());
                const int ocn = out.bpp() / 8;
                if (std::memcmp(one.row(0), out.row(y) + size_t(x) * ocn, size_t(ocn)) != 0)
                    QFAIL(qPrintable(QStringLiteral("row %1 pixel %2").arg(y).arg(x)));
            }
    }

    void mirroredRuns() {
        std::vector<uint8_t> px(3 * 300);
        for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 7 + (i >> 7));
        for (int n = 0; n <= 300; n += (n < 140 ? 1 : 37)) {
            std::vector<uint8_t> out(size_t(n) * 3 + 1, 0xA5);
            mirrorRun24(px.data(), out.data(), n);
            for (int x = 0; x < n; ++x)
                if (std::memcmp(out.data() + 3 * x, px.data() + 3 * (n - 1 - x), 3) != 0)
                    QFAIL(qPrintable(QStringLiteral("length %1 pixel %2").arg(n).arg(x)));
            QCOMPARE(int(out[size_t(n) * 3]), 0xA5);
        }
    }

    // The hue rotation divides through floats: every red and green level
    // against four blues covers every numerator and chroma of each branch,
    // checked against the integer arithmetic for several turns.
    void hueEveryNumeratorAndChroma() {
        Bitmap pic = Bitmap::create(512, 512, 24);
        for (int y = 0; y < 512; ++y)
            for (int x = 0; x < 512; ++x) {
                const int i = y * 512 + x, blue[4] = {0, 7, 128, 255};
                uint8_t* p = pic.mutableRow(y) + x * 3;
                p[0] = uint8_t(blue[i >> 16]); p[1] = uint8_t(i & 255); p[2] = uint8_t((i >> 8) & 255);
            }
        for (int degrees : {0, 1, 90, 180, 239, 359}) {
            Bitmap out = pic;
            QCOMPARE(ops::hue(out, degrees), int16_t(kOk));
            const int shift = degrees * 6 * 256 / 360;
            for (int y = 0; y < 512; ++y)
                for (int x = 0; x < 512; ++x) {
                    const uint8_t* p = pic.row(y) + x * 3;
                    int r = p[2], g = p[1], b = p[0];
                    const int mx = std::max({r, g, b}), mn = std::min({r, g, b}), c = mx - mn;
                    if (c) {
                        int h = mx == r ? ((g - b) * 256) / c + (g < b ? 1536 : 0)
                                : mx == g ? ((b - r) * 256) / c + 512 : ((r - g) * 256) / c + 1024;
                        h = (h + shift) % 1536;
                        const int t = (c * (h & 255) + 128) / 256;
                        const int v[6][3] = {{mx, mn + t, mn}, {mx - t, mx, mn}, {mn, mx, mn + t},
                                             {mn, mx - t, mx}, {mn + t, mn, mx}, {mx, mn, mx - t}};
                        r = v[h >> 8][0]; g = v[h >> 8][1]; b = v[h >> 8][2];
                    }
                    const uint8_t* q = out.row(y) + x * 3;
                    if (q[2] != r || q[1] != g || q[0] != b)
                        QFAIL(qPrintable(QStringLiteral("%1 degrees, pixel %2 %3 %4").arg(degrees).arg(p[2]).arg(p[1]).arg(p[0])));
                }
        }
    }

    // Noise: each pixel's offset depends on its place alone (the same from a
    // run starting anywhere, whichever code path it takes), stays within the
    // span and is spread evenly over it.
    void noiseDependsOnPlaceOnlyAndIsUniform() {
        for (int span : {1, 2, 127, 255}) {
            const int n = 1000003, values = 2 * span + 1;
            std::vector<int16_t> all(static_cast<size_t>(n));
            noiseRun(0xBEEF1234u, span, 0, n, all.data());
            std::vector<int> count(size_t(values), 0);
            for (int16_t v : all) {
                QVERIFY(v >= -span && v <= span);
                ++count[size_t(v + span)];
            }
            const double expected = double(n) / values;
            for (int c : count) QVERIFY(std::abs(c - expected) < expected / 4);
            for (int start : {0, 1, 5, 63, 1000}) {
                std::vector<int16_t> part(37);
                noiseRun(0xBEEF1234u, span, start, 37, part.data());
                for (int i = 0; i < 37; ++i) QCOMPARE(part[size_t(i)], all[size_t(start + i)]);
            }
        }
    }

    // Offsets added to the three channels, clamped, whatever their sign and size.
    void offsetsAddedAndClamped() {
        std::vector<uint8_t> px(3 * 256), out(3 * 256 + 1, 0xA5);
        std::vector<int16_t> off(256);
        for (int i = 0; i < 256; ++i) off[size_t(i)] = int16_t((i * 37) % 511 - 255);
        for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i * 101 + (i >> 4));
        const int done = addOffsetsRun24(px.data(), out.data(), off.data(), 256);
        for (int x = 0; x < done; ++x)
            for (int c = 0; c < 3; ++c)
                QCOMPARE(int(out[size_t(x) * 3 + c]), std::clamp(px[size_t(x) * 3 + c] + off[size_t(x)], 0, 255));
        QVERIFY(done == 0 || done == 256);
        QCOMPARE(int(out[3 * 256]), 0xA5);
    }

    // A picture shown at a half, a quarter or an eighth of its size: each
    // pixel the rounded mean of its block, rows and columns that do not fill
    // a block left out, whatever part the fast runs take.
    void reducedCopyIsTheRoundedBlockMean() {
        Bitmap pic = Bitmap::create(517, 263, 24);
        uint32_t seed = 11;
        for (int y = 0; y < pic.height(); ++y)
            for (int i = 0; i < pic.width() * 3; ++i) {
                seed = seed * 1664525u + 1013904223u;
                pic.mutableRow(y)[i] = uint8_t(seed >> 24);
            }
        for (int k = 1; k <= 3; ++k) {
            const int f = 1 << k, w = pic.width() >> k, h = pic.height() >> k;
            const Bitmap out = reducedCopy(pic, w, h);
            QCOMPARE(out.width(), w);
            QCOMPARE(out.height(), h);
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    for (int c = 0; c < 3; ++c) {
                        int sum = 0;
                        for (int t = 0; t < f; ++t)
                            for (int u = 0; u < f; ++u) sum += pic.row(y * f + t)[(x * f + u) * 3 + c];
                        const int want = (sum + f * f / 2) / (f * f);
                        if (out.row(y)[x * 3 + c] != want)
                            QFAIL(qPrintable(QStringLiteral("1/%1: pixel %2, %3").arg(f).arg(x).arg(y)));
                    }
        }
        // Smaller still: the block means halved again, about the same grey.
        const Bitmap tiny = reducedCopy(pic, 30, 15);
        QCOMPARE(tiny.width(), 30);
        QVERIFY(std::abs(tiny.row(7)[45] - 128) < 40);
    }

    void planesSplitAndJoin() {
        uint8_t px[192], b[64], g[64], r[64], back[192];
        for (int i = 0; i < 192; ++i) px[i] = uint8_t(i * 5 + 1);
        split64(px, b, g, r);
        for (int j = 0; j < 64; ++j) {
            QCOMPARE(int(b[j]), int(px[3 * j]));
            QCOMPARE(int(g[j]), int(px[3 * j + 1]));
            QCOMPARE(int(r[j]), int(px[3 * j + 2]));
        }
        join64(b, g, r, back);
        QCOMPARE(std::memcmp(back, px, sizeof px), 0);
    }
};

QTEST_GUILESS_MAIN(TestPixelRuns)
#include "test_pixel_runs.moc"
