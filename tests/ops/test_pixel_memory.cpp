// Reuse of freed pixel memory: a new picture never shows an older one's
// pixels, copies and operation results are whole, and what is kept stays
// bounded.
#include <QtTest>

#include <cstring>

#include "engine/core/bitmap.h"
#include "engine/core/codes.h"
#include "engine/core/ops/ops.h"
#include "engine/core/pixel_memory.h"

using namespace qova::engine;

namespace {

// Large enough for the mapped buffers (a few megabytes), with row padding.
constexpr int kW = 1501, kH = 1000;

Bitmap painted(int w, int h, uint8_t seed) {
    Bitmap b = Bitmap::create(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uint8_t* r = b.mutableRow(y);
        for (size_t i = 0; i < b.stride(); ++i) r[i] = uint8_t(seed + i * 7 + size_t(y) * 3);
    }
    return b;
}

bool allZero(const Bitmap& b) {
    for (int y = 0; y < b.height(); ++y) {
        const uint8_t* r = b.row(y);
        for (size_t i = 0; i < b.stride(); ++i)
            if (r[i]) return false;
    }
    return true;
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.byteSize() != b.byteSize()) return false;
    return std::memcmp(a.bits(), b.bits(), a.byteSize()) == 0;
}

// Whether this build keeps freed buffers at all (sanitizer builds use plain
// malloc so that overruns are caught).
bool keeps() {
    pixel_memory::releaseKept();
    { Bitmap b = painted(kW, kH, 1); }
    const bool k = pixel_memory::keptBytes() > 0;
    pixel_memory::releaseKept();
    return k;
}

}  // namespace

class TestPixelMemory : public QObject {
    Q_OBJECT

private slots:
    void newPicturesNeverShowAnOldOne() {
        pixel_memory::releaseKept();
        { Bitmap old = painted(kW, kH, 9); }
        // A decoder that stops early leaves the rest of its bitmap as it got it.
        const Bitmap zeroed = Bitmap::createFilled(kW, kH, 24, false, 0);
        QVERIFY(allZero(zeroed));
        const Bitmap plain = Bitmap::create(kW, kH, 24);
        QVERIFY(allZero(plain));
    }

    void copiesAndResultsAreWhole() {
        if (!keeps()) QSKIP("this build does not keep freed buffers");
        const Bitmap original = painted(kW, kH, 5);
        // Leave a freed buffer of the same size holding other pixels.
        { Bitmap other = painted(kW, kH, 77); }
        QVERIFY(pixel_memory::keptBytes() > 0);

        Bitmap copy = original;
        copy.mutableBits();  // copy on write, into the kept buffer
        QCOMPARE(pixel_memory::keptBytes(), size_t(0));
        QVERIFY(!copy.sharesWith(original));
        QVERIFY(samePixels(copy, original));

        { Bitmap other = painted(kW, kH, 200); }
        QVERIFY(samePixels(original.clone(), original));

        // An operation on a shared picture writes its result into a kept
        // buffer: every byte, padding included, is its own.
        { Bitmap other = painted(kW, kH, 33); }
        Bitmap shared = original;
        QCOMPARE(ops::invert(shared), int16_t(kOk));
        for (int y = 0; y < kH; y += 97) {
            const uint8_t* a = original.row(y);
            const uint8_t* b = shared.row(y);
            for (int x = 0; x < kW * 3; ++x) QCOMPARE(int(b[x]), 255 - a[x]);
            QCOMPARE(std::memcmp(a + kW * 3, b + kW * 3, original.stride() - size_t(kW) * 3), 0);
        }
        Bitmap twice = shared;
        QCOMPARE(ops::invert(twice), int16_t(kOk));
        QVERIFY(samePixels(twice, original));
    }

    void aLargerKeptBufferServesASmallerPicture() {
        if (!keeps()) QSKIP("this build does not keep freed buffers");
        { Bitmap big = painted(3000, 2000, 3); }
        const size_t kept = pixel_memory::keptBytes();
        const Bitmap small = painted(kW, kH, 4);
        Bitmap copy = small;
        copy.mutableBits();
        QVERIFY(pixel_memory::keptBytes() < kept);
        QVERIFY(samePixels(copy, small));
    }

    void whatIsKeptStaysBounded() {
        if (!keeps()) QSKIP("this build does not keep freed buffers");
        for (int i = 0; i < 12; ++i) { Bitmap b = painted(4000, 3000, uint8_t(i)); }
        QVERIFY(pixel_memory::keptBytes() > 0);
        QVERIFY(pixel_memory::keptBytes() <= size_t(256) << 20);
        pixel_memory::releaseKept();
        QCOMPARE(pixel_memory::keptBytes(), size_t(0));
    }
};

QTEST_GUILESS_MAIN(TestPixelMemory)
#include "test_pixel_memory.moc"
