// Geometry, regions, floater, combine and fill.
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/ops/ops.h"
#include "support/images.h"
#include "engine/core/regions/floater.h"
#include "engine/core/regions/region_handles.h"

using namespace qova::engine;

namespace {

Bitmap picture(int w, int h, int bpp = 24) {
    Bitmap b = Bitmap::create(w, h, 24);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b.mutableRow(y) + x * 3;
            p[0] = uint8_t(x * 9 + y); p[1] = uint8_t(y * 13); p[2] = uint8_t(x * y + 7);
        }
    return bpp == 24 ? b : b.convertTo(bpp);
}

// Same depth and the same colour at every pixel.
bool samePixels(const Bitmap& a, const Bitmap& b) { return a.bpp() == b.bpp() && qova::test::samePixels(a, b); }

}  // namespace

class GeometryRegionsTest : public QObject {
    Q_OBJECT
private slots:
    void flipAndReverseTwiceAreIdentityAtEveryDepth() {
        for (int bpp : {1, 4, 8, 16, 24, 32}) {
            const Bitmap orig = picture(13, 9, bpp);
            Bitmap b = orig;
            ops::flip(b);
            QCOMPARE(b.pixel(2, 0), orig.pixel(2, 8));
            ops::flip(b);
            QVERIFY(samePixels(b, orig));
            ops::reverse(b);
            QCOMPARE(b.pixel(0, 3), orig.pixel(12, 3));
            QCOMPARE(b.pixel(12, 3), orig.pixel(0, 3));
            ops::reverse(b);
            QVERIFY2(samePixels(b, orig), qPrintable(QString::number(bpp)));
        }
    }

    void rotateQuarterFourTimesIsIdentity() {
        for (int bpp : {1, 4, 8, 24, 32}) {
            const Bitmap orig = picture(11, 7, bpp);
            Bitmap b = orig;
            QCOMPARE(ops::rotate(b, 9000, true, 0xFFFFFF), int16_t(kOk));
            QCOMPARE(b.width(), 7);
            QCOMPARE(b.height(), 11);
            // Clockwise: the bottom-left pixel comes to the top-left.
            QCOMPARE(b.pixel(0, 0), orig.pixel(0, 6));
            for (int i = 0; i < 3; ++i) ops::rotate(b, 9000, true, 0xFFFFFF);
            QVERIFY2(samePixels(b, orig), qPrintable(QString::number(bpp)));
        }
        Bitmap b = picture(5, 5);
        QCOMPARE(ops::rotate(b, 36001, true, 0), int16_t(kErrBadParam));
    }

    void freeRotationAndShearGrowAndFill() {
        Bitmap b = picture(40, 20);
        QCOMPARE(ops::rotate(b, 4500, true, 0x0000FF), int16_t(kOk));  // red fill
        QVERIFY(b.width() > 40 && b.height() > 20);
        QCOMPARE(b.pixel(0, 0), (Rgb{255, 0, 0}));
        Bitmap k = picture(40, 20);
        QCOMPARE(ops::rotate(k, 4500, false, 0xFFFFFF), int16_t(kOk));
        QCOMPARE(k.width(), 40);
        QCOMPARE(k.pixel(0, 0), (Rgb{255, 255, 255}));
        Bitmap s = picture(40, 20);
        QCOMPARE(ops::shear(s, 4500, true, 0), int16_t(kOk));
        QCOMPARE(s.width(), 40 + 19);
        QCOMPARE(s.height(), 20);
        QCOMPARE(s.pixel(0, 0), picture(40, 20).pixel(0, 0));   // top row stays
        QCOMPARE(s.pixel(0, 19), (Rgb{0, 0, 0}));               // bottom row slid right
        Bitmap v = picture(40, 20);
        ops::shear(v, -2000, false, 0);
        QCOMPARE(v.width(), 40);
        QVERIFY(v.height() > 20);
    }

    void resizeKeepsCornerColours() {
        Bitmap b = Bitmap::create(4, 4, 24);
        const Rgb corners[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x) {
                const Rgb c = corners[(y >= 2) * 2 + (x >= 2)];
                uint8_t* p = b.mutableRow(y) + x * 3;
                p[0] = c.b; p[1] = c.g; p[2] = c.r;
            }
        for (int flags : {ops::kResizePlain, ops::kResizeResample}) {
            for (QSize size : {QSize(40, 30), QSize(2, 2), QSize(9, 5)}) {
                Bitmap r = b;
                QCOMPARE(ops::resize(r, size.width(), size.height(), flags), int16_t(kOk));
                QCOMPARE(r.width(), size.width());
                QCOMPARE(r.pixel(0, 0), corners[0]);
                QCOMPARE(r.pixel(r.width() - 1, 0), corners[1]);
                QCOMPARE(r.pixel(0, r.height() - 1), corners[2]);
                QCOMPARE(r.pixel(r.width() - 1, r.height() - 1), corners[3]);
            }
        }
        Bitmap p = picture(8, 8, 4);
        ops::resize(p, 16, 16, ops::kResizePlain);
        QCOMPARE(p.bpp(), 4);
        QCOMPARE(ops::resize(p, 0, 5, 0), int16_t(kErrBadSize));
    }

    void regionShapes() {
        const Region e = Region::ellipse(RectI{10, 10, 20, 10});
        QVERIFY(e.contains(20, 15));
        QVERIFY(!e.contains(10, 10));   // corner of the box
        QVERIFY(!e.contains(9, 15));
        const Region rr = Region::roundedRect(RectI{0, 0, 20, 20}, 6, 6);
        QVERIFY(!rr.contains(0, 0));
        QVERIFY(rr.contains(10, 0));
        QVERIFY(rr.contains(0, 10));
        const Region tri = Region::polygon({{0, 0}, {20, 0}, {0, 20}});
        QVERIFY(tri.contains(2, 2));
        QVERIFY(!tri.contains(18, 18));
        Region r = Region::rectangle(RectI{5, 5, 3, 3});
        QCOMPARE(r.area(), int64_t(9));
        r.offset(10, -5);
        QVERIFY(r.contains(15, 0));
        QVERIFY(!r.contains(5, 5));
    }

    void regionHandlesHoldCopies() {
        const int before = regionHandleCount();
        const Region e = Region::ellipse(RectI{0, 0, 9, 9});
        const int32_t h = regionHandleCreate(e);
        QVERIFY(h != 0);
        QVERIFY(regionHandleGet(h).has_value());
        QVERIFY(*regionHandleGet(h) == e);
        QVERIFY(!regionHandleGet(0).has_value());
        QCOMPARE(regionHandleDelete(h), int16_t(kOk));
        QCOMPARE(regionHandleDelete(h), int16_t(kErrBadHandle));
        QCOMPARE(regionHandleCount(), before);
    }

    void floaterLiftsAndCombinePastesInsideTheRegion() {
        Bitmap img = picture(30, 30);
        const Region e = Region::ellipse(RectI{5, 5, 10, 10});
        Floater f;
        QCOMPARE(liftFloater(img, e, f), int16_t(kOk));
        QCOMPARE(f.bitmap.width(), 10);
        QCOMPARE(f.left, 5);
        QCOMPARE(f.bitmap.pixel(5, 5), img.pixel(10, 10));
        QVERIFY(f.region.contains(5, 5));
        QVERIFY(!f.region.contains(0, 0));
        // Paste into a black bitmap at (12, 12), confined to the floater's shape.
        Bitmap dst = Bitmap::createFilled(30, 30, 24, false, 0);
        Region at = f.region;
        at.offset(12, 12);
        QCOMPARE(ops::combine(dst, 12, 12, 10, 10, f.bitmap, 0, 0, ops::kCombineCopy, &at), int16_t(kOk));
        QCOMPARE(dst.pixel(17, 17), img.pixel(10, 10));
        QCOMPARE(dst.pixel(12, 12), (Rgb{0, 0, 0}));  // box corner, outside the ellipse
    }

    void geometryCarriesTheRegion() {
        Bitmap b = picture(20, 10);
        Region r = Region::rectangle(RectI{0, 0, 4, 2});
        ops::flip(b, &r);
        QCOMPARE(r.bounds(), (RectI{0, 8, 4, 2}));
        ops::reverse(b, &r);
        QCOMPARE(r.bounds(), (RectI{16, 8, 4, 2}));
        ops::rotate(b, 9000, true, 0, &r);
        QCOMPARE(r.bounds(), (RectI{0, 16, 2, 4}));
        Region s = Region::rectangle(RectI{0, 0, 20, 10});
        Bitmap c = picture(20, 10);
        ops::resize(c, 40, 20, ops::kResizePlain, &s);
        QCOMPARE(s.bounds(), (RectI{0, 0, 40, 20}));
    }

    void fillStaysInsideTheRegion() {
        Bitmap b = Bitmap::createFilled(20, 20, 24, false, 0);
        const Region e = Region::ellipse(RectI{0, 0, 20, 20});
        QCOMPARE(ops::fill(b, 0x00FF00, &e), int16_t(kOk));
        QCOMPARE(b.pixel(10, 10), (Rgb{0, 255, 0}));
        QCOMPARE(b.pixel(0, 0), (Rgb{0, 0, 0}));
        // A palette lacking the colour is promoted rather than miscoloured.
        Bitmap p = Bitmap::createFilled(8, 8, 4, false, 0);
        ops::fill(p, 0x123456);
        QCOMPARE(p.pixel(3, 3), (Rgb{0x56, 0x34, 0x12}));
        Bitmap created;
        QCOMPARE(ops::createBitmap(5, 5, 4, false, created), int16_t(kOk));
        QCOMPARE(created.pixel(4, 4), (Rgb{255, 255, 255}));
        QCOMPARE(ops::createBitmap(5, 5, 12, false, created), int16_t(kErrBadBpp));
    }

    void paletteAccessors() {
        Bitmap p = Bitmap::createFilled(4, 4, 8, false, 0);
        uint32_t c = 0;
        QCOMPARE(ops::setPaletteEntry(p, 255, 0x00FF0000), int16_t(kOk));
        QCOMPARE(ops::paletteEntry(p, 255, c), int16_t(kOk));
        QCOMPARE(c, 0x00FF0000u);
        QCOMPARE(p.palette()[255], (Rgb{0, 0, 255}));
        QCOMPARE(ops::paletteEntry(p, 256, c), int16_t(kErrBadParam));
        Bitmap t = picture(2, 2);
        QCOMPARE(ops::paletteEntry(t, 0, c), int16_t(kErrBadParam));
    }
};

QTEST_GUILESS_MAIN(GeometryRegionsTest)
#include "test_geometry_regions.moc"
