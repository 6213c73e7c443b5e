// The control paints through the display preferences: with a display
// palette only that palette's colours reach the screen, dithered by the
// chosen method (or the nearest colour with paint option 8), in every view;
// without one the picture shows in its own colours.
#include <QImage>
#include <QtTest>

#include <set>

#include "engine/core/bitmap.h"
#include "engine/core/codes.h"
#include "engine/core/document.h"
#include "engine/core/regions/region.h"
#include "engine/dispatch_ids.h"
#include "engine/engine_error.h"
#include "engine/image_control.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

// A true-colour picture: smooth ramps across, a flat mid-tone block at the
// left (where dithering must mix colours) and the made test pattern below.
Bitmap photo(int w, int h) {
    Bitmap b = Bitmap::create(w, h, 24, false);
    for (int y = 0; y < h; ++y) {
        uint8_t* p = b.mutableRow(y);
        for (int x = 0; x < w; ++x, p += 3) {
            if (x < 32 && y < 32) {
                p[0] = 90, p[1] = 140, p[2] = 200;  // b, g, r
            } else {
                p[2] = uint8_t(x * 255 / (w - 1));
                p[1] = uint8_t(y * 255 / (h - 1));
                p[0] = uint8_t(255 - (x + y) * 255 / (w + h - 2));
            }
        }
    }
    return b;
}

// What the control shows, as RGB32 of the picture's area.
QImage painted(ImageControl& c, QSize area) {
    c.repaint();
    return c.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32).copy(QRect(QPoint(0, 0), area));
}

std::set<QRgb> colours(const QImage& img) {
    std::set<QRgb> out;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) out.insert(img.pixel(x, y) | 0xFF000000u);
    return out;
}

bool inCube(QRgb c, const int levels[3]) {
    const int v[3] = {qRed(c), qGreen(c), qBlue(c)};
    for (int i = 0; i < 3; ++i) {
        bool found = false;
        for (int l = 0; l < levels[i] && !found; ++l)
            found = std::abs(v[i] - (l * 255 + (levels[i] - 1) / 2) / (levels[i] - 1)) <= 0;
        if (!found) return false;
    }
    return true;
}

// Mean colour of the flat block.
std::array<double, 3> blockMean(const QImage& img) {
    std::array<double, 3> m{};
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            const QRgb c = img.pixel(x, y);
            m[0] += qRed(c), m[1] += qGreen(c), m[2] += qBlue(c);
        }
    for (double& v : m) v /= 32 * 32;
    return m;
}

}  // namespace

class TestDisplayPalette : public QObject {
    Q_OBJECT
private slots:
    void eachPaletteShowsOnlyItsColours() {
        ImageControl c;
        c.resize(300, 260);
        c.setCurrentBitmap(photo(256, 200));
        const QSize area(256, 200);
        const QImage own = painted(c, area);
        QVERIFY(colours(own).size() > 5000);

        const int fixed[3] = {8, 8, 4}, browser[3] = {6, 6, 6};
        struct Case {
            int palette;
            const int* levels;
            size_t most;
        } cases[] = {{1, fixed, 256}, {2, browser, 216}, {3, browser, 216}};
        for (const Case& k : cases) {
            for (int method : {0, 1}) {
                c.setPaintPalette(k.palette);
                c.setDitheringMethod(method);
                const QImage img = painted(c, area);
                const auto used = colours(img);
                QVERIFY2(used.size() <= k.most, qPrintable(QString("palette %1").arg(k.palette)));
                for (QRgb col : used) QVERIFY2(inCube(col, k.levels), qPrintable(QString::number(col, 16)));
                // Dithering keeps the average of a flat area close to its colour.
                const auto m = blockMean(img);
                QVERIFY2(std::abs(m[0] - 200) < 6 && std::abs(m[1] - 140) < 6 && std::abs(m[2] - 90) < 6,
                         qPrintable(QString("%1 %2 %3").arg(m[0]).arg(m[1]).arg(m[2])));
                QVERIFY(colours(img.copy(0, 0, 32, 32)).size() > 1);
            }
        }
        // Back to the picture's own colours.
        c.setPaintPalette(0);
        QCOMPARE(painted(c, area), own);
    }

    void ditheringMethodsDiffer() {
        ImageControl c;
        c.resize(300, 260);
        c.setCurrentBitmap(photo(256, 200));
        c.setPaintPalette(2);
        c.setDitheringMethod(0);
        const QImage ordered = painted(c, QSize(256, 200));
        c.setDitheringMethod(1);
        const QImage diffused = painted(c, QSize(256, 200));
        QVERIFY(ordered != diffused);
        // The pattern method repeats every 8 pixels on a flat area.
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) QCOMPARE(ordered.pixel(x, y), ordered.pixel(x + 8, y + 8));
        // Paint option 8 other than 0: every pixel takes its nearest colour,
        // so the flat block shows one colour, whatever the method.
        c.setPaintOption8(1);
        const QImage nearest = painted(c, QSize(256, 200));
        QCOMPARE(colours(nearest.copy(0, 0, 32, 32)).size(), size_t(1));
        QCOMPARE(nearest.pixel(0, 0) | 0xFF000000u, qRgb(204, 153, 102));
        c.setDitheringMethod(0);
        QCOMPARE(painted(c, QSize(256, 200)), nearest);
    }

    void reducedAndEnlargedViewsToo() {
        ImageControl c;
        c.resize(200, 160);
        // Shown, so the viewport has its real size when the fit is measured.
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        c.setCurrentBitmap(photo(1200, 900));
        c.setViewMode(ImageControl::ViewFit);
        c.setPaintPalette(1);
        const int fixed[3] = {8, 8, 4};
        const QSize vp = c.viewport()->size();
        const double s = std::min(vp.width() / 1200.0, vp.height() / 900.0);
        const QImage fit = painted(c, QSize(int(std::round(1200 * s)), int(std::round(900 * s))));
        for (QRgb col : colours(fit)) QVERIFY2(inCube(col, fixed), qPrintable(QString::number(col, 16)));
        // Grey pictures and an enlarged view go through the palette as well.
        c.setCurrentBitmap(qova::test::madeImage(40, 30, 8));
        c.setDisplayRect(0, 0, 160, 120);
        c.setDisplayClipRect(0, 0, 160, 120);
        const QImage big = painted(c, QSize(160, 120));
        for (QRgb col : colours(big)) QVERIFY2(inCube(col, fixed), qPrintable(QString::number(col, 16)));
    }

    void aFloatingSelectionToo() {
        // The flat block lifted and shown over the ramps is mapped like the
        // picture under it, its shape kept.
        ImageControl c;
        c.resize(300, 260);
        c.show();
        QVERIFY(QTest::qWaitForWindowExposed(&c));
        c.setCurrentBitmap(photo(256, 200));
        c.setCoordinateUnit(ImageControl::UnitPixels);
        c.imageDocument().setRegion(Region::rectangle({0, 0, 32, 32}));
        c.setFloaterBitmap(c.bitmapHandle());
        c.setFloaterVisible(true);
        c.setFloaterDisplayRect(150, 100, 32, 32);
        const int browser[3] = {6, 6, 6};
        for (int palette : {0, 2}) {
            c.setPaintPalette(palette);
            const QImage img = painted(c, QSize(256, 200));
            const auto m = blockMean(img.copy(150, 100, 32, 32));
            QVERIFY2(std::abs(m[0] - 200) < 6 && std::abs(m[1] - 140) < 6 && std::abs(m[2] - 90) < 6,
                     qPrintable(QString("%1 %2 %3").arg(m[0]).arg(m[1]).arg(m[2])));
            if (palette)
                for (QRgb col : colours(img)) QVERIFY2(inCube(col, browser), qPrintable(QString::number(col, 16)));
        }
    }

    void preferencesByDispatchId() {
        ImageControl c;
        c.setCallLogEnabled(true);
        c.dispatchPut(dispid::DitheringMethod, 1);
        c.dispatchPut(dispid::PaintOption8, 0);
        c.dispatchPut(dispid::PaintPalette, 3);
        QCOMPARE(c.dispatch(dispid::DitheringMethod).toInt(), 1);
        QCOMPARE(c.dispatch(dispid::PaintPalette).toInt(), 3);
        QCOMPARE(c.callLog().front(), dispid::DitheringMethod);
        for (int bad : {-1, 2}) QVERIFY_THROWS_EXCEPTION(EngineError, c.setDitheringMethod(bad));
        for (int bad : {-1, 4}) QVERIFY_THROWS_EXCEPTION(EngineError, c.setPaintPalette(bad));
        QCOMPARE(c.paintPalette(), 3);
        // An empty control takes the preferences and paints nothing.
        c.repaint();
        QVERIFY(!c.viewport()->grab().isNull());
    }
};

QTEST_MAIN(TestDisplayPalette)
#include "test_display_palette.moc"
