// The control's region side: where the bitmap lies in every view mode and
// unit, tracking a drag into a region of each shape, the floater and the
// handle that carries its shape, repainting only what a moved floater
// leaves and enters, and the picture taking its region along; the
// rotate/shear dialog's properties.
#include <QDialog>
#include <QDoubleSpinBox>
#include <QCheckBox>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QSignalSpy>
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/pages.h"
#include "engine/core/regions/region.h"
#include "engine/dialogs/rotate_dialog.h"
#include "engine/engine_dialog.h"
#include "engine/engine_error.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

// A shown control without frame or scroll bars, holding a made picture.
struct Control {
    ImageControl c;
    explicit Control(int w = 200, int h = 150, int pages = 1) {
        c.setFrameShape(QFrame::NoFrame);
        c.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        c.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        c.resize(400, 300);
        c.show();
        Document d;
        for (int i = 0; i < pages; ++i) d.frames.push_back(Frame{qova::test::madeImage(w, h, 24, unsigned(i + 1))});
        c.setDocument(d);
        c.setCoordinateUnit(ImageControl::UnitPixels);
    }
    void mouse(QEvent::Type t, QPoint p, Qt::MouseButtons held) {
        QMouseEvent e(t, QPointF(p), c.viewport()->mapToGlobal(QPointF(p)),
                      t == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(c.viewport(), &e);
    }
    void drag(const QList<QPoint>& path) {
        mouse(QEvent::MouseButtonPress, path.front(), Qt::LeftButton);
        for (const QPoint& p : path) mouse(QEvent::MouseMove, p, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, path.back(), Qt::NoButton);
    }
};

// Collects the areas the viewport is asked to paint.
struct PaintSpy : QObject {
    QRegion painted;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) painted += static_cast<QPaintEvent*>(e)->region();
        return false;
    }
};

}  // namespace

class TestRegionControl : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { EngineDialog::setAnswerHook({}); }

    // The display rectangle and source size describe the view in force, in
    // the unit in force.
    void displayRectangleFollowsTheView() {
        Control k(800, 600);
        k.c.setViewMode(ImageControl::ViewFit);
        QCOMPARE(k.c.displayWidth(), 400.0);
        QCOMPARE(k.c.displayHeight(), 300.0);
        QCOMPARE(k.c.sourceWidth(), 800.0);
        k.c.setDisplayRect(0, 0, 200, 150);
        QCOMPARE(k.c.displayWidth(), 200.0);
        k.c.setViewMode(ImageControl::ViewNormal);
        QCOMPARE(k.c.displayWidth(), 800.0);
        k.c.setCoordinateUnit(ImageControl::UnitTwips);
        QCOMPARE(k.c.displayWidth(), 800 * 1440.0 / k.c.logicalDpiX());
        ImageControl empty;
        QCOMPARE(empty.displayWidth(), 0.0);
        QVERIFY(!empty.pointInRegion(qQNaN(), 1));
    }

    // Each shape's drag, at half size: the region in bitmap pixels, one
    // notification; a click selects nothing and frees the old region.
    void trackingSetsARegionOfTheShape() {
        Control k(400, 300);
        k.c.setDisplayRect(0, 0, 200, 150);
        QSignalSpy set(&k.c, &ImageControl::regionSet);
        k.c.setRegionTrackingShape(1);
        k.drag({{10, 10}, {30, 20}, {60, 40}});
        QCOMPARE(set.count(), 1);
        QCOMPARE(k.c.regionLeft(), 20.0);
        QCOMPARE(k.c.regionWidth(), 100.0);
        QCOMPARE(k.c.regionHeight(), 60.0);
        QVERIFY(k.c.pointInRegion(20, 20));
        k.c.setRegionTrackingShape(3);
        k.drag({{10, 10}, {60, 40}});
        QVERIFY(k.c.pointInRegion(70, 50) && !k.c.pointInRegion(21, 21));
        k.c.setRegionTrackingShape(2);
        k.drag({{10, 10}, {60, 40}});
        QVERIFY(k.c.pointInRegion(70, 20) && !k.c.pointInRegion(20, 20));
        QVERIFY(k.c.imageDocument().region()->shape() == RegionShape::RoundedRect);
        k.c.setRegionTrackingShape(4);
        k.drag({{10, 10}, {60, 10}, {10, 60}});
        QVERIFY(k.c.pointInRegion(30, 30) && !k.c.pointInRegion(110, 110));
        QCOMPARE(set.count(), 4);
        // Dragged past the picture: clipped to it.
        k.c.setRegionTrackingShape(1);
        k.drag({{150, 100}, {390, 290}});
        QCOMPARE(k.c.regionLeft() + k.c.regionWidth(), 400.0);
        k.drag({{50, 50}, {50, 50}});
        QVERIFY(!k.c.hasRegion());
        QCOMPARE(set.count(), 5);
        // Nothing is tracked without a tracking shape.
        k.c.setRegionTrackingShape(0);
        k.drag({{10, 10}, {60, 40}});
        QVERIFY(!k.c.hasRegion());
    }

    // The floater lifts the region's pixels; its handle takes the shape
    // along into a store; region handles place shapes anywhere.
    void floaterAndRegionHandles() {
        Control k;
        const Bitmap orig = k.c.currentBitmap();
        k.c.imageDocument().setRegion(Region::ellipse({20, 30, 40, 20}));
        k.c.setFloaterBitmap(k.c.bitmapHandle());
        QCOMPARE(k.c.floaterBitmapWidth(), 40);
        QCOMPARE(k.c.floaterBitmapHeight(), 20);
        QCOMPARE(k.c.floaterLeft(), 20.0);   // over the pixels it came from
        QCOMPARE(k.c.floaterTop(), 30.0);
        ImageStore scratch("Img3");
        scratch.setBitmapHandle(k.c.floaterBitmap());
        QCOMPARE(scratch.bitmapWidth(), 40);
        QVERIFY(scratch.hasRegion());
        QVERIFY(scratch.region()->contains(20, 10) && !scratch.region()->contains(0, 0));
        QCOMPARE(scratch.currentBitmap().pixel(20, 10), orig.pixel(40, 40));
        const int32_t h = k.c.floaterRegionHandle();
        k.c.setFloaterBitmap(0);
        QCOMPARE(k.c.floaterBitmap(), 0u);
        k.c.setRegionFromHandle(h, 100.4, 50, 1);
        QCOMPARE(k.c.regionLeft(), 100.0);
        QVERIFY(k.c.pointInRegion(120, 60) && !k.c.pointInRegion(100, 50));
        k.c.offsetRegion(-10, 5);
        QVERIFY(k.c.pointInRegion(110, 65));
        QCOMPARE(k.c.deleteRegionHandle(h), int16_t(kOk));
        QVERIFY_THROWS_EXCEPTION(EngineError, k.c.setRegionFromHandle(h, 0, 0, 1));
        k.c.freeRegion();
        QVERIFY(!k.c.hasRegion());
        QCOMPARE(k.c.regionHandle(), 0);
        QVERIFY_THROWS_EXCEPTION(EngineError, k.c.setFloaterBitmap(k.c.bitmapHandle()));
    }

    void movingTheFloaterRepaintsOnlyWhatChanged() {
        Control k(800, 600);
        k.c.setViewMode(ImageControl::ViewFit);
        k.c.imageDocument().setRegion(Region::rectangle({100, 100, 80, 60}));
        k.c.setFloaterBitmap(k.c.bitmapHandle());
        k.c.setFloaterVisible(true);
        QVERIFY(QTest::qWaitForWindowExposed(&k.c));
        QCoreApplication::processEvents();
        PaintSpy spy;
        k.c.viewport()->installEventFilter(&spy);
        k.c.setFloaterDisplayRect(50, 50, 40, 30);
        k.c.setFloaterDisplayRect(60, 55, 40, 30);
        QCoreApplication::processEvents();
        QVERIFY(!spy.painted.isEmpty());
        QVERIFY(spy.painted.boundingRect().width() < 100);
        QVERIFY(spy.painted.contains(QPoint(95, 80)));
        QVERIFY(!spy.painted.contains(QPoint(300, 200)));
    }

    // Pixels put down in one place on a reduced view: only that part is
    // made again and painted, and it shows the new pixels.
    void aCombineTouchesUpOnlyItsPartOfTheView() {
        Control k(800, 600);
        k.c.setViewMode(ImageControl::ViewFit);
        QVERIFY(QTest::qWaitForWindowExposed(&k.c));
        k.c.viewport()->repaint();
        ImageStore red("Img2");
        red.createBitmap(100, 80, 24);
        red.fill(0x0000FF);
        PaintSpy spy;
        k.c.viewport()->installEventFilter(&spy);
        QCOMPARE(k.c.combine(200, 200, 100, 80, red.bitmapHandle(), 0, 0, 288), int16_t(kOk));
        QCoreApplication::processEvents();
        QVERIFY(spy.painted.boundingRect().width() <= 60);
        const QImage shown = k.c.viewport()->grab().toImage();
        QCOMPARE(QColor(shown.pixel(125, 120)), QColor(255, 0, 0));
        QVERIFY(QColor(shown.pixel(300, 200)) != QColor(255, 0, 0));
    }

    // Another picture or page takes the region and floater along.
    void theRegionBelongsToThePicture() {
        Control k(100, 80, 2);
        QSignalSpy replaced(&k.c, &ImageControl::pictureReplaced);
        k.c.imageDocument().setRegion(Region::rectangle({10, 10, 20, 20}));
        k.c.setFloaterBitmap(k.c.bitmapHandle());
        k.c.setBitmapListIndex(1);
        QVERIFY(!k.c.hasRegion());
        QCOMPARE(k.c.floaterBitmap(), 0u);
        QCOMPARE(replaced.count(), 1);
        k.c.imageDocument().setRegion(Region::rectangle({10, 10, 20, 20}));
        k.c.setImageSource(QString());
        QVERIFY(!k.c.hasRegion());
        QCOMPARE(replaced.count(), 2);
        // Changing pixels keeps it.
        Control m;
        m.c.imageDocument().setRegion(Region::rectangle({10, 10, 20, 20}));
        QCOMPARE(m.c.fill(0x0000FF), int16_t(kOk));
        QVERIFY(m.c.hasRegion());
        QCOMPARE(m.c.currentBitmap().pixel(15, 15), (Rgb{255, 0, 0}));
        QVERIFY(!(m.c.currentBitmap().pixel(5, 5) == Rgb{255, 0, 0}));
    }

    // The dialog asks a rotation or a shear by its flags, previews only with
    // the picture, writes its properties on OK and leaves them on Cancel.
    void rotateDialogProperties() {
        ImageStore picture("p");
        picture.createBitmap(60, 40, 24);
        EngineDialog dlg;
        RotateDialog::Mode mode = RotateDialog::Mode::Rotate;
        bool preview = false;
        EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind kind) {
            if (kind != EngineDialog::Kind::Rotate) return false;
            auto& r = static_cast<RotateDialog&>(d);
            mode = r.mode();
            preview = r.hasPreview();
            d.findChild<QDoubleSpinBox*>("Angle")->setValue(-12.34);
            d.findChild<QCheckBox*>("Option")->setChecked(false);
            r.setFillColour(0x00123456);
            return true;
        });
        dlg.flags = 0x40000003;
        dlg.bitmap = picture.bitmapHandle();
        dlg.angleOption = true;
        dlg.showRotate(nullptr);
        QVERIFY(mode == RotateDialog::Mode::Rotate && preview);
        QCOMPARE(dlg.angle, -1234);
        QVERIFY(!dlg.angleOption);
        QCOMPARE(dlg.fillColour, 0x00123456u);
        dlg.flags = 4;
        dlg.showRotate(nullptr);
        QVERIFY(mode == RotateDialog::Mode::Shear && !preview);
        EngineDialog::setAnswerHook([](QDialog& d, EngineDialog::Kind) {
            d.findChild<QDoubleSpinBox*>("Angle")->setValue(30);
            return false;
        });
        dlg.angle = 0;
        try {
            dlg.showRotate(nullptr);
            QFAIL("Cancel must raise");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), int(kErrDialogCancelled));
        }
        QCOMPARE(dlg.angle, 0);
    }
};

QTEST_MAIN(TestRegionControl)
#include "test_region_control.moc"
