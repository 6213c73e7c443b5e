// Geometry commands, the Resize dialog and Undo as a user meets them: the
// dialog's starting values, ranges and aspect rules, the commands on the
// whole picture or handed to the region transforms (which take no
// snapshot), and Undo exchanging pictures and zooms.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "engine/core/pages.h"
#include "engine/core/regions/region.h"
#include "engine/dialogs/rotate_dialog.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "processing/geometry_commands.h"
#include "processing/resize_dialog.h"
#include "support/fake_context.h"
#include "support/images.h"
#include "view/viewing.h"

using namespace qova;
using engine::Bitmap;
using shell::MenuId;

namespace {

// Records what the geometry commands hand to the region transforms.
struct FakeRegions : shell::RegionService {
    QStringList calls;
    void ShearRegion(int16_t a, bool h) override { calls << QString("shear %1 %2").arg(a).arg(h); }
    void FlipRegion() override { calls << "flip"; }
    void ReverseRegion() override { calls << "reverse"; }
    void ResizeRegion(int16_t w, int16_t h, int16_t f) override { calls << QString("resize %1 %2 %3").arg(w).arg(h).arg(f); }
    void RotateRegion(int16_t a, bool r) override { calls << QString("rotate %1 %2").arg(a).arg(r); }
};

struct Window {
    std::unique_ptr<test::FakeContext> form = std::make_unique<test::FakeContext>();
    processing::Geometry geometry{*form};
    view::Viewing viewing{*form};
    const shell::Controls& c() const { return form->controls(); }
    engine::ImageControl& img() const { return *c().Img1; }
    void show(const Bitmap& b) {
        engine::Document doc;
        doc.frames.push_back(engine::Frame{b});
        doc.info.width = b.width();
        doc.info.height = b.height();
        doc.info.bpp = b.bpp();
        img().setDocument(doc);
        form->UpdateImageInfo();
    }
    void trigger(MenuId id) { form->action(id)->trigger(); }
};

// Chooses a menu item whose handler shows a modal dialog and runs `during`
// with it; a dialog left open is cancelled. False when none appeared.
bool withModal(QAction* item, const std::function<void(QDialog*)>& during) {
    bool appeared = false;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg) return;
        appeared = true;
        during(dlg);
        if (dlg->isVisible()) dlg->reject();
    });
    timer.start(0);
    item->trigger();
    return appeared;
}

void type(QLineEdit* box, const QString& text) {
    box->selectAll();
    QTest::keyClick(box, Qt::Key_Backspace);
    QTest::keyClicks(box, text);
}

// Answers the rotate/shear dialog: OK with `degrees`, or Cancel.
struct AngleAnswer {
    double degrees = 0;
    bool ok = true;
    int shown = 0;
    bool preview = false;
    AngleAnswer() {
        engine::EngineDialog::setAnswerHook([this](QDialog& d, engine::EngineDialog::Kind) {
            ++shown;
            preview = static_cast<engine::RotateDialog&>(d).hasPreview();
            d.findChild<QDoubleSpinBox*>("Angle")->setValue(degrees);
            return ok;
        });
    }
    ~AngleAnswer() { engine::EngineDialog::setAnswerHook({}); }
};

}  // namespace

class GeometryTest : public QObject {
    Q_OBJECT
private slots:
    void resizeStartsFromThePictureWithItsRanges() {
        Window w;
        w.show(test::madeImage(640, 480, 24));
        processing::Resize r(w.img());
        r.InitTheForm(0);
        QCOMPARE(r.Value1Box->text(), QString("640"));
        QCOMPARE(r.Value2Box->text(), QString("480"));
        QCOMPARE(r.Value1Bar->minimum(), 1);
        QCOMPARE(r.Value1Bar->maximum(), 16384);
        QCOMPARE(r.Value2Bar->minimum(), 1);
        QCOMPARE(r.Value2Bar->maximum(), 12288);
        QVERIFY(r.AspectRatioBox->isChecked());
        QVERIFY(!r.ResampleBox->isChecked());
        type(r.Value1Box, "320");
        QCOMPARE(r.Value2Bar->value(), 240);
        QCOMPARE(r.Value2Box->text(), QString("240"));
        // Letters are not typed; digits are.
        QTest::keyClicks(r.Value1Box, "x1");
        QCOMPARE(r.Value1Box->text(), QString("3201"));
        // The region's box is the start (and aspect) when the selection is resized.
        w.img().imageDocument().setRegion(engine::Region::rectangle({10, 10, 90, 30}));
        processing::Resize s(w.img());
        s.InitTheForm(3);
        QCOMPARE(s.Value1Bar->value(), 90);
        QCOMPARE(s.Value2Bar->value(), 30);
        type(s.Value1Box, "30");
        QCOMPARE(s.Value2Bar->value(), 10);
    }

    // For a 3 × 2 bitmap, width 5 gives height 3, which gives width 4.
    void aDerivedValueCanAdjustTheTypedOne() {
        Window w;
        w.show(test::madeImage(3, 2, 24));
        processing::Resize r(w.img());
        r.InitTheForm(0);
        type(r.Value1Box, "5");
        QCOMPARE(r.Value2Bar->value(), 3);
        QCOMPARE(r.Value1Bar->value(), 4);
        QCOMPARE(r.Value1Box->text(), QString("4"));
    }

    // Unchecking snaps the height once; afterwards the sides are free.
    void uncheckingTheAspectSnapsOnceThenFreesTheSides() {
        Window w;
        w.show(test::madeImage(640, 480, 24));
        processing::Resize r(w.img());
        r.InitTheForm(0);
        r.AspectRatioBox->setChecked(false);
        type(r.Value2Box, "100");
        QCOMPARE(r.Value1Bar->value(), 640);
        r.Value1Bar->setValue(200);
        r.AspectRatioBox->setChecked(true);
        QCOMPARE(r.Value2Bar->value(), 150);
        r.AspectRatioBox->setChecked(false);
        QCOMPARE(r.Value2Bar->value(), 150);
        type(r.Value1Box, "300");
        QCOMPARE(r.Value2Bar->value(), 150);
    }

    void okRefusesEmptyOrOutOfRangeValues() {
        Window w;
        w.show(test::madeImage(640, 480, 24));
        processing::Resize r(w.img());
        r.InitTheForm(0);
        r.show();
        r.Value1Box->clear();
        r.cmdOKCancel[0]->click();
        QVERIFY(r.isVisible());
        type(r.Value1Box, "0");   // below the range: the bar stays
        QCOMPARE(r.Value1Bar->value(), 640);
        r.cmdOKCancel[0]->click();
        QVERIFY(r.isVisible());
        QCOMPARE(r.focusWidget(), r.Value1Box);
        type(r.Value1Box, "800");
        r.ResampleBox->setChecked(true);
        r.cmdOKCancel[0]->click();
        QVERIFY(!r.isVisible());
        int16_t ok = 0, v1 = 0, v2 = 0, resample = 0;
        r.GetResults(ok, v1, v2, resample);
        QCOMPARE(ok, int16_t(-1));
        QCOMPARE(v1, int16_t(800));
        QCOMPARE(v2, int16_t(600));
        QCOMPARE(resample, int16_t(-1));
        // A derived side beyond 16 bits counts as no number: the box is emptied.
        w.show(test::madeImage(1, 1000, 8));
        processing::Resize tall(w.img());
        tall.InitTheForm(0);
        type(tall.Value1Box, "100");
        QVERIFY(tall.Value1Box->text().isEmpty());
        QCOMPARE(tall.Value1Bar->value(), 100);
    }

    // The command: confirmed with resampling the picture takes the size and
    // the view is reset; cancelled, nothing happens (no snapshot either).
    void resizeCommandResizesOrLeavesAlone() {
        Window w;
        w.show(test::madeImage(320, 240, 24));
        const uint64_t undo = w.c().Img4->serial();
        withModal(w.form->action(MenuId::ImageResize), [](QDialog* d) { d->reject(); });
        QCOMPARE(w.img().bitmapWidth(), 320);
        QCOMPARE(w.c().Img4->serial(), undo);
        const bool shown = withModal(w.form->action(MenuId::ImageResize), [](QDialog* d) {
            auto* r = static_cast<processing::Resize*>(d);
            type(r->Value1Box, "160");
            r->cmdOKCancel[0]->click();
        });
        QVERIFY(shown);
        QCOMPARE(w.img().bitmapWidth(), 160);
        QCOMPARE(w.img().bitmapHeight(), 120);
        QCOMPARE(w.c().Img4->currentBitmap().width(), 320);
        QCOMPARE(w.img().viewMode(), int(engine::ImageControl::ViewNormal));
    }

    void undoTwiceAndTheZoom() {
        Window w;
        const Bitmap orig = test::madeImage(300, 200, 24);
        w.show(orig);
        w.form->state().nZoom = 50;
        w.form->ApplyZoom();
        w.trigger(MenuId::mnuEditFlip);   // snapshot at zoom 50
        const Bitmap flipped = w.img().currentBitmap();
        w.form->state().nZoom = 100;
        w.form->ApplyZoom();
        w.trigger(MenuId::mnuEditUndo);
        QVERIFY(test::samePixels(w.img().currentBitmap(), orig));
        QCOMPARE(w.form->state().nZoom, int16_t(50));
        QCOMPARE(w.img().displayRect(), QRectF(0, 0, 150, 100));
        w.trigger(MenuId::mnuEditUndo);
        QVERIFY(test::samePixels(w.img().currentBitmap(), flipped));
        QCOMPARE(w.form->state().nZoom, int16_t(100));
        // The database's deleted picture in Img5 is not the exchange's.
        QVERIFY(w.c().Img5->isEmpty());
        QVERIFY(w.geometry.undoExchange().isEmpty());
    }

    // The "ZOOM" resample has its way back.
    void undoAfterTheScreenSizeResample() {
        Window w;
        const Bitmap orig = test::madeImage(300, 200, 24);
        w.show(orig);
        w.form->state().nZoom = 80;
        w.form->ApplyZoom();
        w.viewing.ResetAllRects3();
        QCOMPARE(w.img().bitmapWidth(), 640);
        w.trigger(MenuId::mnuEditUndo);
        QVERIFY(test::samePixels(w.img().currentBitmap(), orig));
        QCOMPARE(w.form->state().nZoom, int16_t(80));
        QCOMPARE(w.img().displayRect(), QRectF(0, 0, 240, 160));
    }

    void undoBeforeAnySnapshotExchangesWithTheEmptyHolder() {
        Window w;
        const Bitmap orig = test::madeImage(30, 20, 24);
        w.show(orig);
        w.trigger(MenuId::mnuEditUndo);
        QVERIFY(w.img().isEmpty());
        w.trigger(MenuId::mnuEditUndo);
        QVERIFY(test::samePixels(w.img().currentBitmap(), orig));
    }

    void fixedRotationsEnlarge() {
        Window w;
        w.show(test::madeImage(30, 20, 24));
        w.trigger(MenuId::RotateCase_0);
        QCOMPARE(w.img().bitmapWidth(), 20);
        QCOMPARE(w.img().bitmapHeight(), 30);
        QCOMPARE(w.c().Img4->currentBitmap().width(), 30);
    }

    // By a chosen angle: white corners, the view reset; Cancel changes nothing.
    void rotationByAngleAndItsCancel() {
        Window w;
        w.show(test::madeImage(40, 30, 24));
        w.form->state().nZoom = 50;
        w.form->ApplyZoom();
        const uint64_t undo = w.c().Img4->serial();
        {
            AngleAnswer answer;
            answer.degrees = 30;
            answer.ok = false;
            w.trigger(MenuId::RotateCase_3);
            QCOMPARE(answer.shown, 1);
        }
        QCOMPARE(w.img().bitmapWidth(), 40);
        QCOMPARE(w.c().Img4->serial(), undo);
        QCOMPARE(w.form->state().nZoom, int16_t(50));
        AngleAnswer answer;
        answer.degrees = 45;
        w.trigger(MenuId::RotateCase_3);
        QVERIFY(answer.preview);
        QVERIFY(w.img().bitmapWidth() > 40);
        QCOMPARE(w.img().currentBitmap().pixel(0, 0), (engine::Rgb{255, 255, 255}));
        QCOMPARE(w.form->state().nZoom, int16_t(100));
        QCOMPARE(w.img().viewMode(), int(engine::ImageControl::ViewNormal));
        QCOMPARE(w.c().ImgDlg1->bitmap, 0u);
    }

    // With a region the commands go to the region transforms, without a
    // snapshot; only the resize starts the gauge and takes one.
    void withARegionTheTransformsTakeOver() {
        Window w;
        FakeRegions fake;
        w.form->services().regions = &fake;
        w.show(test::madeImage(200, 150, 24));
        w.img().imageDocument().setRegion(engine::Region::rectangle({10, 10, 40, 20}));
        const Bitmap before = w.img().currentBitmap();
        const uint64_t undo = w.c().Img4->serial();
        for (MenuId id : {MenuId::RotateCase_0, MenuId::RotateCase_1, MenuId::RotateCase_2, MenuId::mnuEditFlip,
                          MenuId::mnuEditReverse})
            w.trigger(id);
        {
            AngleAnswer answer;
            answer.degrees = 350;   // beyond 16 bits of hundredths: the same turn, −10°
            w.trigger(MenuId::RotateCase_3);
            QVERIFY(!answer.preview);
            answer.degrees = 12.5;
            w.trigger(MenuId::ImageShear);
        }
        QCOMPARE(fake.calls, (QStringList{"rotate 9000 1", "rotate 18000 1", "rotate 27000 1", "flip", "reverse",
                                          "rotate -1000 1", "shear 1250 1"}));
        QCOMPARE(w.c().Img4->serial(), undo);
        QVERIFY(test::samePixels(w.img().currentBitmap(), before));
        withModal(w.form->action(MenuId::ImageResize), [](QDialog* d) {
            auto* r = static_cast<processing::Resize*>(d);
            QCOMPARE(r->Value1Bar->value(), 40);
            type(r->Value1Box, "80");
            r->cmdOKCancel[0]->click();
        });
        QCOMPARE(fake.calls.last(), QString("resize 80 40 0"));
        QVERIFY(w.c().Img4->serial() != undo);
        w.form->services().regions = nullptr;
    }
};

QTEST_MAIN(GeometryTest)
#include "test_geometry.moc"
