// The region tools as a user meets them: choosing a shape, dragging out a
// selection, moving it (and what stays behind), the transforms and the fill
// on the floating selection, releasing it, and the odd orders (release
// while dragging, another picture while a selection exists).
#include <QAction>
#include <QApplication>
#include <QMouseEvent>
#include <QtTest>

#include "engine/core/ops/compose.h"
#include "engine/core/pages.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "regions/regions.h"
#include "support/fake_context.h"
#include "support/images.h"

using namespace qova;
using engine::Bitmap;
using shell::MenuId;

namespace {

struct Window {
    std::unique_ptr<test::FakeContext> form = std::make_unique<test::FakeContext>();
    regions::Regions regions{*form};
    const shell::Controls& c() const { return form->controls(); }
    engine::ImageControl& img() const { return *c().Img1; }
    // Shows a made picture at its own size, top left (1 viewport pixel = 1 bitmap pixel).
    void show(const Bitmap& b) {
        engine::Document doc;
        doc.frames.push_back(engine::Frame{b});
        doc.info.width = b.width();
        doc.info.height = b.height();
        doc.info.bpp = b.bpp();
        img().setDocument(doc);
        form->UpdateImageInfo();
    }
    const Bitmap& picture() const { return img().currentBitmap(); }

    void mouse(QEvent::Type t, QPoint p, Qt::MouseButton b, Qt::MouseButtons held, Qt::KeyboardModifiers m = {}) {
        QWidget* vp = img().viewport();
        QMouseEvent e(t, QPointF(p), vp->mapToGlobal(QPointF(p)), b, held, m);
        QApplication::sendEvent(vp, &e);
    }
    void press(QPoint p, Qt::KeyboardModifiers m = {}, Qt::MouseButton b = Qt::LeftButton) {
        mouse(QEvent::MouseButtonPress, p, b, b, m);
    }
    void moveTo(QPoint p, Qt::MouseButtons held = Qt::LeftButton) { mouse(QEvent::MouseMove, p, Qt::NoButton, held); }
    void release(QPoint p, Qt::MouseButton b = Qt::LeftButton) { mouse(QEvent::MouseButtonRelease, p, b, {}); }
    // A left-button drag in a few steps, as a hand makes it.
    void drag(QPoint from, QPoint to, Qt::KeyboardModifiers m = {}) {
        press(from, m);
        for (int i = 1; i <= 4; ++i) moveTo(from + (to - from) * i / 4);
        release(to);
    }
    void tool(MenuId id) { form->action(id)->trigger(); }
    // Selects a rectangle (tool 1) from one corner to the other.
    void select(QPoint from, QPoint to, MenuId shape = MenuId::ToolRect) {
        tool(shape);
        drag(from, to);
    }
    engine::RectI box() const {
        return {int(img().regionLeft()), int(img().regionTop()), int(img().regionWidth()), int(img().regionHeight())};
    }
};

Bitmap part(const Bitmap& b, engine::RectI r) { return engine::crop(b, r); }

bool same(const Bitmap& a, const Bitmap& b) { return test::samePixels(a, b); }

}  // namespace

class RegionsTest : public QObject {
    Q_OBJECT
private slots:
    void toolsCheckTheirItemAndPickTheEngineShape_data() {
        QTest::addColumn<int>("item");
        QTest::addColumn<int>("shape");
        QTest::newRow("none") << int(MenuId::ToolNone) << 0;
        QTest::newRow("rectangle") << int(MenuId::ToolRect) << 1;
        QTest::newRow("ellipse") << int(MenuId::ToolEllipse) << 3;
        QTest::newRow("rounded") << int(MenuId::ToolRndRect) << 2;
        QTest::newRow("freehand") << int(MenuId::ToolFreeHand) << 4;
    }
    void toolsCheckTheirItemAndPickTheEngineShape() {
        QFETCH(int, item);
        QFETCH(int, shape);
        Window w;
        w.show(test::madeImage(200, 150, 24));
        for (MenuId id : {MenuId::ToolNone, MenuId::ToolRect, MenuId::ToolEllipse, MenuId::ToolRndRect,
                          MenuId::ToolFreeHand})
            QVERIFY(!w.form->action(id)->isChecked());
        w.tool(MenuId(item));
        for (MenuId id : {MenuId::ToolNone, MenuId::ToolRect, MenuId::ToolEllipse, MenuId::ToolRndRect,
                          MenuId::ToolFreeHand})
            QCOMPARE(w.form->action(id)->isChecked(), int(id) == item);
        w.press(QPoint(30, 30));
        QCOMPARE(w.img().regionTrackingShape(), shape);
        w.moveTo(QPoint(90, 80));
        w.moveTo(QPoint(40, 90));
        w.release(QPoint(40, 90));
        QCOMPARE(w.img().regionTrackingShape(), 0);
        QCOMPARE(w.img().hasRegion(), shape != 0);
        if (shape == 3) {
            QCOMPARE(w.box(), (engine::RectI{30, 30, 10, 60}));
            QVERIFY(w.img().pointInRegion(35, 60));
            QVERIFY(!w.img().pointInRegion(30, 31));  // box corner, outside the ellipse
        }
        QCOMPARE(w.img().regionFrameStyle(), shape ? 2 : 0);
    }

    // The drag sets the region; the notification saves what lies under its box.
    void aDragSelectsAndSavesTheBackground() {
        Window w;
        w.show(test::madeImage(200, 150, 24));
        w.select(QPoint(20, 20), QPoint(60, 50));
        QCOMPARE(w.box(), (engine::RectI{20, 20, 40, 30}));
        QVERIFY(same(w.c().Img2->currentBitmap(), part(w.picture(), w.box())));
        QVERIFY(!w.regions.dragging());
    }

    void aPressInsideMovesUnlessShiftOrCtrlIsHeld() {
        Window w;
        w.show(test::madeImage(200, 150, 24));
        w.select(QPoint(20, 20), QPoint(60, 50));
        for (Qt::KeyboardModifier m : {Qt::ShiftModifier, Qt::ControlModifier}) {
            w.press(QPoint(30, 30), m);
            QVERIFY(!w.regions.dragging());
            QCOMPARE(w.img().regionTrackingShape(), 1);
            w.release(QPoint(30, 30));   // a click: no new selection
        }
        w.select(QPoint(20, 20), QPoint(60, 50));
        w.press(QPoint(30, 30));
        QVERIFY(w.regions.dragging());
        QCOMPARE(w.img().regionTrackingShape(), 0);
        QCOMPARE(w.img().regionFrameStyle(), 0);
        QVERIFY(w.img().floaterVisible());
        QCOMPARE(w.img().floaterBitmapWidth(), 40);
        w.release(QPoint(30, 30));
        QVERIFY(!w.regions.dragging());
        QCOMPARE(w.img().regionFrameStyle(), 2);
    }

    // Moving a fresh selection leaves its pixels where they were (the
    // background is the picture itself); moving it again leaves what was
    // under its drop place. The saved background is the drop place before the paste.
    void movingDropsThePixelsAndKeepsWhatWasUnder() {
        Window w;
        const Bitmap orig = test::madeImage(200, 150, 24);
        w.show(orig);
        w.select(QPoint(20, 20), QPoint(60, 50));
        const Bitmap piece = part(orig, {20, 20, 40, 30});
        w.drag(QPoint(30, 30), QPoint(80, 70));
        QCOMPARE(w.box(), (engine::RectI{70, 60, 40, 30}));
        QVERIFY(same(part(w.picture(), w.box()), piece));
        QVERIFY(same(part(w.picture(), {20, 20, 40, 30}), piece));
        QVERIFY(same(w.c().Img2->currentBitmap(), part(orig, {70, 60, 40, 30})));
        QCOMPARE(w.img().regionFrameStyle(), 2);
        w.drag(QPoint(80, 70), QPoint(120, 70));
        QCOMPARE(w.box(), (engine::RectI{110, 60, 40, 30}));
        QVERIFY(same(part(w.picture(), w.box()), piece));
        QVERIFY(same(part(w.picture(), {70, 60, 40, 30}), part(orig, {70, 60, 40, 30})));
    }

    // A press and release without a move puts nothing anywhere else, at the
    // picture's own size and zoomed out.
    void aClickInsideLeavesEverythingInPlace() {
        for (bool zoomed : {false, true}) {
            Window w;
            w.show(test::madeImage(300, 200, 24));
            if (zoomed) w.img().setDisplayRect(0, 0, 190, 127);
            w.select(QPoint(20, 20), QPoint(70, 60), MenuId::ToolEllipse);
            w.drag(QPoint(40, 40), QPoint(60, 60));   // a move, so a real background is kept
            const Bitmap before = w.picture();
            const engine::RectI box = w.box();
            w.press(QPoint(40 + 20, 40 + 20));
            w.release(QPoint(60, 60));
            QCOMPARE(w.box(), box);
            QVERIFY2(same(w.picture(), before), zoomed ? "zoomed" : "own size");
        }
    }

    void withToolNoneAPressOnlyDiscardsTheBackground() {
        Window w;
        const Bitmap orig = test::madeImage(200, 150, 24);
        w.show(orig);
        w.select(QPoint(20, 20), QPoint(60, 50));
        w.drag(QPoint(30, 30), QPoint(80, 30));   // region now at (70, 20), background saved there
        w.tool(MenuId::ToolNone);
        w.press(QPoint(150, 120));
        QCOMPARE(w.img().regionTrackingShape(), 0);
        w.release(QPoint(150, 120));
        QVERIFY(w.img().hasRegion());
        QVERIFY(w.c().Img2->isEmpty());
        // Without a background nothing is put back under the lifted pixels.
        const Bitmap piece = part(w.picture(), w.box());
        w.drag(QPoint(80, 30), QPoint(80, 100));
        QVERIFY(same(part(w.picture(), {70, 20, 40, 30}), piece));
        // and a transform leaves the old pixels where the new shape misses them
        w.tool(MenuId::ToolNone);
        w.press(QPoint(5, 140));
        w.release(QPoint(5, 140));
        const Bitmap under = part(w.picture(), w.box());
        w.regions.RotateRegion(4500, true);
        QVERIFY(same(part(w.picture(), {70, 90, 1, 1}), part(under, {0, 0, 1, 1})));
    }

    void otherButtonsChangeNothing() {
        Window w;
        w.show(test::madeImage(200, 150, 24));
        w.select(QPoint(20, 20), QPoint(60, 50));
        const Bitmap before = w.picture();
        w.press(QPoint(30, 30), {}, Qt::RightButton);
        w.release(QPoint(30, 30), Qt::RightButton);
        QVERIFY(!w.regions.dragging());
        QVERIFY(!w.c().Img2->isEmpty());
        QCOMPARE(w.box(), (engine::RectI{20, 20, 40, 30}));
        // Both buttons held: the floater stays where it is.
        w.press(QPoint(30, 30));
        const double left = w.img().floaterLeft();
        w.moveTo(QPoint(90, 90), Qt::LeftButton | Qt::RightButton);
        QCOMPARE(w.img().floaterLeft(), left);
        w.release(QPoint(90, 90));
        QCOMPARE(w.box(), (engine::RectI{20, 20, 40, 30}));
        QVERIFY(same(w.picture(), before));
    }

    // Flip and mirror twice: the first pixels and shape; no snapshot is taken.
    void flippingOrMirroringTwiceRestoresTheSelection() {
        Window w;
        w.show(test::madeImage(200, 150, 24));
        w.select(QPoint(30, 20), QPoint(101, 70), MenuId::ToolEllipse);
        const Bitmap before = w.picture();
        const engine::RectI box = w.box();
        const int32_t shape = w.img().regionHandle();
        const uint64_t undo = w.c().Img4->serial();
        w.regions.FlipRegion();
        QVERIFY(!same(w.picture(), before));
        QCOMPARE(w.box(), box);
        w.regions.FlipRegion();
        QVERIFY(same(w.picture(), before));
        w.regions.ReverseRegion();
        w.regions.ReverseRegion();
        QVERIFY(same(w.picture(), before));
        QCOMPARE(w.box(), box);
        const int32_t now = w.img().regionHandle();
        w.img().setRegionFromHandle(shape, 0, 0, 1);
        const engine::RectI first = w.box();
        w.img().setRegionFromHandle(now, 0, 0, 1);
        QCOMPARE(first, box);
        QVERIFY(w.img().pointInRegion(65, 45) && !w.img().pointInRegion(30, 20));
        w.img().deleteRegionHandle(shape);
        w.img().deleteRegionHandle(now);
        QCOMPARE(w.c().Img4->serial(), undo);
        QCOMPARE(w.img().regionFrameStyle(), 2);
        QVERIFY(w.c().Img3->isEmpty());
    }

    // Rotating with enlarge grows the region about its centre; the old
    // square's corners show the background again.
    void rotatingGrowsAboutTheCentre() {
        Window w;
        const Bitmap orig = test::madeImage(200, 150, 24);
        w.show(orig);
        w.select(QPoint(60, 40), QPoint(100, 80));
        w.drag(QPoint(70, 50), QPoint(90, 50));   // to (80, 40): the background is now the picture there
        const engine::RectI before = w.box();
        w.regions.RotateRegion(4500, true);
        const engine::RectI after = w.box();
        QVERIFY(after.w > before.w + 10 && after.h > before.h + 10);
        QVERIFY(std::abs((after.x + after.w / 2.0) - (before.x + before.w / 2.0)) <= 1);
        QVERIFY(std::abs((after.y + after.h / 2.0) - (before.y + before.h / 2.0)) <= 1);
        QCOMPARE(w.c().Img2->bitmapWidth(), after.w);
        QCOMPARE(w.c().Img2->bitmapHeight(), after.h);
        // A corner of the old square, now outside the turned one.
        QVERIFY(!w.img().pointInRegion(before.x, before.y));
        QCOMPARE(w.picture().pixel(before.x, before.y), orig.pixel(before.x, before.y));
    }

    // Moved, then turned: every pixel of the turned shape is the selection's.
    void aMovedAndTurnedSelectionKeepsAllItsPixels() {
        Window w;
        w.show(Bitmap::createFilled(480, 360, 24, false, 0xFF));
        w.select(QPoint(274, 26), QPoint(434, 126), MenuId::ToolEllipse);
        w.form->scripted().colours = {0x0000FF};
        w.form->action(MenuId::ColorFill)->trigger();
        w.drag(QPoint(354, 76), QPoint(374, 216));
        w.regions.RotateRegion(4500, true);
        int inside = 0, notRed = 0;
        const engine::RectI b = w.box();
        for (int y = b.y; y < b.y + b.h; ++y)
            for (int x = b.x; x < b.x + b.w; ++x) {
                if (!w.img().pointInRegion(x, y)) continue;
                ++inside;
                const engine::Rgb c = w.picture().pixel(x, y);
                if (c.r < 200 || c.g > 60) ++notRed;
            }
        QVERIFY(inside > 10000);
        QVERIFY2(notRed < inside / 50, qPrintable(QString("%1 of %2").arg(notRed).arg(inside)));
    }

    void fillColoursOnlyTheShapeAndCancelChangesNothing() {
        Window w;
        w.show(test::madeImage(200, 150, 24));
        w.select(QPoint(20, 20), QPoint(80, 70), MenuId::ToolEllipse);
        const Bitmap before = w.picture();
        const uint64_t background = w.c().Img2->serial();
        w.form->action(MenuId::ColorFill)->trigger();   // cancelled
        QCOMPARE(w.form->scripted().colourDialogs, 1);
        QVERIFY(same(w.picture(), before));
        QCOMPARE(w.c().Img2->serial(), background);
        QVERIFY(w.img().hasRegion());
        w.form->scripted().colours = {0x0000FF};   // red
        w.form->action(MenuId::ColorFill)->trigger();
        QCOMPARE(w.picture().pixel(50, 45), (engine::Rgb{255, 0, 0}));
        QCOMPARE(w.picture().pixel(21, 21), before.pixel(21, 21));   // box corner
        QCOMPARE(w.picture().pixel(90, 45), before.pixel(90, 45));
        // Without a region the whole picture, with a snapshot to undo.
        w.img().freeRegion();
        w.form->scripted().colours = {0x00FF00};
        w.form->action(MenuId::ColorFill)->trigger();
        QCOMPARE(w.picture().pixel(199, 149), (engine::Rgb{0, 255, 0}));
        QCOMPARE(w.c().Img4->currentBitmap().pixel(50, 45), (engine::Rgb{255, 0, 0}));
    }

    void releasingTheSelectionPutsTheBackgroundBack() {
        Window w;
        const Bitmap orig = test::madeImage(200, 150, 24);
        w.show(orig);
        w.select(QPoint(20, 20), QPoint(60, 50));
        w.drag(QPoint(30, 30), QPoint(130, 30));
        w.form->action(MenuId::CancelRegion)->trigger();
        QVERIFY(!w.img().hasRegion());
        QCOMPARE(w.img().regionFrameStyle(), 0);
        QVERIFY(same(w.picture(), orig));
        QVERIFY(!w.c().Img2->isEmpty());   // kept until the next press
    }

    // Released in the middle of a drag: the lifted pixels go down first.
    void releasingWhileDraggingLosesNoPixels() {
        Window w;
        const Bitmap orig = test::madeImage(200, 150, 24);
        w.show(orig);
        w.select(QPoint(20, 20), QPoint(60, 50));
        w.drag(QPoint(30, 30), QPoint(130, 30));   // a true move from now on
        const Bitmap moved = w.picture();
        w.press(QPoint(130, 30));
        w.moveTo(QPoint(130, 100));
        w.form->action(MenuId::CancelRegion)->trigger();
        QVERIFY(!w.regions.dragging());
        QVERIFY(!w.img().hasRegion());
        QCOMPARE(w.img().floaterBitmap(), 0u);
        w.release(QPoint(130, 100));
        QVERIFY(!w.img().hasRegion());
        // As if released, then the selection released: what lay under it is back.
        QVERIFY(same(part(w.picture(), {120, 90, 40, 30}), part(orig, {120, 90, 40, 30})));
        QVERIFY(same(part(w.picture(), {20, 20, 40, 30}), part(moved, {20, 20, 40, 30})));
    }

    // A release that never came: the next press puts the dragged pixels down first.
    void aLostReleaseLosesNoPixels() {
        Window w;
        const Bitmap orig = test::madeImage(200, 150, 24);
        w.show(orig);
        w.select(QPoint(20, 20), QPoint(60, 50));
        w.drag(QPoint(30, 30), QPoint(130, 30));
        const Bitmap piece = part(w.picture(), w.box());
        w.press(QPoint(130, 30));
        w.moveTo(QPoint(130, 100));
        w.press(QPoint(130, 100));   // no release in between
        w.release(QPoint(130, 100));
        QCOMPARE(w.box(), (engine::RectI{120, 90, 40, 30}));
        QVERIFY(same(part(w.picture(), w.box()), piece));
    }

    // The region, the floater and the saved background belong to the picture.
    void anotherPictureTakesTheSelectionAlong() {
        Window w;
        w.show(test::madeImage(200, 150, 24));
        w.select(QPoint(20, 20), QPoint(60, 50));
        w.press(QPoint(30, 30));
        w.moveTo(QPoint(50, 50));
        QVERIFY(w.regions.dragging());
        const Bitmap next = test::madeImage(120, 90, 24, 7);
        w.show(next);
        QVERIFY(!w.img().hasRegion());
        QCOMPARE(w.img().floaterBitmap(), 0u);
        QVERIFY(!w.regions.dragging());
        w.release(QPoint(50, 50));
        QVERIFY(same(w.picture(), next));
        // A background that is not ours (a scratch copy someone put in Img2) stays.
        w.select(QPoint(10, 10), QPoint(40, 40));
        w.c().Img2->setBitmapHandle(w.img().bitmapHandle());
        w.show(test::madeImage(50, 50, 24));
        QVERIFY(!w.c().Img2->isEmpty());
    }

    // A palette picture's background keeps its colours.
    void aPalettePictureMovesWithoutLosingColours() {
        Window w;
        Bitmap pal = test::madeImage(120, 90, 24).convertTo(8);
        QVERIFY(pal.hasPalette());
        w.show(pal);
        w.select(QPoint(10, 10), QPoint(40, 40));
        w.drag(QPoint(20, 20), QPoint(80, 20));
        w.drag(QPoint(80, 20), QPoint(80, 60));
        QCOMPARE(w.picture().bpp(), 8);
        QVERIFY(same(part(w.picture(), {70, 10, 30, 30}), part(pal, {70, 10, 30, 30})));
    }
};

QTEST_MAIN(RegionsTest)
#include "test_regions.moc"
