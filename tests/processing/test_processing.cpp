// The Color menu, the effects and the spatial filters as a user meets them:
// each command passes the dialog's values to its operation and can be undone;
// Cancel changes nothing and takes no snapshot; dialogs open fresh each time;
// the view resets only where it must; the colour count's message; edge
// enhancement leaves a region's saved background alone; an engine error
// still ends the busy state; the gauge moves; the histogram's bars and axis.
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "engine/core/codes.h"
#include "engine/core/engine_error.h"
#include "engine/core/ops/ops.h"
#include "engine/core/pages.h"
#include "engine/dispatch_ids.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "processing/effect_commands.h"
#include "processing/geometry_commands.h"
#include "processing/histogram.h"
#include "processing/processing.h"
#include "support/fake_context.h"
#include "support/images.h"
#include "view/viewing.h"

using namespace qova;
using engine::Bitmap;
using engine::EngineDialog;
using shell::MenuId;
namespace ops = engine::ops;

namespace {

using Kind = EngineDialog::Kind;

struct Window {
    std::unique_ptr<test::FakeContext> form = std::make_unique<test::FakeContext>();
    processing::Processing processing{*form};
    processing::Geometry geometry{*form};  // Undo
    view::Viewing viewing{*form};  // the view reset is the View menu's "通常"
    ~Window() {
        EngineDialog::setAnswerHook({});
        img()->setCallHook({});
    }
    engine::ImageControl* img() const { return form->controls().Img1; }
    engine::ImageStore* store(int n) const {
        const shell::Controls& c = form->controls();
        return n == 2 ? c.Img2 : n == 4 ? c.Img4 : c.Img5;
    }
    void show(const Bitmap& b) {
        engine::Document doc;
        doc.frames.push_back(engine::Frame{b});
        doc.info.width = b.width();
        doc.info.height = b.height();
        doc.info.bpp = b.bpp();
        img()->setDocument(doc);
        form->UpdateImageInfo();
    }
    void choose(MenuId id) { form->action(id)->trigger(); }
    bool menusOn() const { return form->action(MenuId::mnuColor)->isEnabled() && form->action(MenuId::MainImage)->isEnabled(); }
};

// One command: the dialog it shows, what the user sets there, and the
// operation that must then run on the picture (null: the result cannot be
// foretold, only that it differs).
struct Command {
    const char* name;
    MenuId id;
    Kind kind;
    std::function<void(QDialog&)> set;
    std::function<int16_t(Bitmap&)> expected;
    bool viewReset = false;
};

void spin(QDialog& d, const char* name, int v) { d.findChild<QSpinBox*>(name)->setValue(v); }
void pick(QDialog& d, const char* name, int data) {
    auto* box = d.findChild<QComboBox*>(name);
    box->setCurrentIndex(box->findData(data));
}
void filter(QDialog& d, int number) {
    auto* list = d.findChild<QListWidget*>("Filter");
    for (int i = 0; i < list->count(); ++i)
        if (list->item(i)->data(Qt::UserRole).toInt() == number) list->setCurrentRow(i);
}

const std::vector<Command>& dialogCommands() {
    using namespace ops;
    static const std::vector<Command> all = {
        {"brightness", MenuId::ColorBrightness, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 30); },
         [](Bitmap& b) { return brightness(b, 30); }},
        {"contrast", MenuId::ColorContrast, Kind::Effect, [](QDialog& d) { spin(d, "Value1", -40); },
         [](Bitmap& b) { return contrast(b, -40); }},
        {"saturation", MenuId::ColorSaturation, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 60); },
         [](Bitmap& b) { return saturation(b, 60); }},
        {"histogram contrast", MenuId::ColorHistoContrast, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 50); },
         [](Bitmap& b) { return histogramContrast(b, 50); }},
        {"hue", MenuId::ColorHue, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 120); },
         [](Bitmap& b) { return hue(b, 120); }},
        {"halftone view", MenuId::HalftoneView, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 30); },
         [](Bitmap& b) { return halftone(b, kHalftoneView, 30); }, true},
        {"halftone print", MenuId::HalftonePrint, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 30); },
         [](Bitmap& b) { return halftone(b, kHalftonePrint, 30); }, true},
        {"gamma", MenuId::ColorGamma, Kind::Gamma, [](QDialog& d) { spin(d, "Value1", 220); },
         [](Bitmap& b) { return gammaCorrect(b, 220); }},
        {"detect", MenuId::ColorDetect, Kind::IntensityDetect,
         [](QDialog& d) {
             spin(d, "Value2", 180);
             spin(d, "Value1", 60);
         },
         [](Bitmap& b) { return intensityDetect(b, 60, 180); }},
        {"resolution", MenuId::ColorResolution, Kind::ColourResolution,
         [](QDialog& d) {
             pick(d, "Bits", 4);
             pick(d, "Palette", 0);
             pick(d, "Dither", kDitherOrdered);
         },
         [](Bitmap& b) { return colourResolution(b, 4, 0, kDitherOrdered, 0); }, true},
        {"posterize", MenuId::EffectsPosterize, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 3); },
         [](Bitmap& b) { return posterize(b, 3); }},
        {"mosaic", MenuId::EffectsMosaic, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 5); },
         [](Bitmap& b) { return mosaic(b, 5); }},
        {"average", MenuId::EffectsAverage, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 2); },
         [](Bitmap& b) { return average(b, 2); }},
        {"median", MenuId::EffectsMedian, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 2); },
         [](Bitmap& b) { return median(b, 2); }},
        {"sharpen", MenuId::EffectsSharpen, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 70); },
         [](Bitmap& b) { return sharpen(b, 70); }},
        {"noise", MenuId::EffectsAddNoise, Kind::AddNoise,
         [](QDialog& d) {
             spin(d, "Value1", 40);
             pick(d, "Value2", 2);
         },
         nullptr},
        {"emboss", MenuId::EffectsEmboss, Kind::Emboss,
         [](QDialog& d) {
             spin(d, "Value1", 135);
             spin(d, "Value2", 50);
         },
         [](Bitmap& b) { return emboss(b, 135, 50); }},
        {"oilify", MenuId::EffectOilify, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 2); },
         [](Bitmap& b) { return oilify(b, 2); }},
        {"solarize", MenuId::EffectSolarize, Kind::Effect, [](QDialog& d) { spin(d, "Value1", 100); },
         [](Bitmap& b) { return solarize(b, 100); }},
        {"gradient", MenuId::SpatialGradient, Kind::SpatialFilter, [](QDialog& d) { filter(d, kFilterGradientSE); },
         [](Bitmap& b) { return spatialFilter(b, kFilterGradientSE); }},
        {"laplacian", MenuId::SpatialLaplacian, Kind::SpatialFilter, [](QDialog& d) { filter(d, kFilterLaplace4); },
         [](Bitmap& b) { return spatialFilter(b, kFilterLaplace4); }},
        {"sobel", MenuId::SpatialSobel, Kind::SpatialFilter, [](QDialog& d) { filter(d, kFilterSobelV); },
         [](Bitmap& b) { return spatialFilter(b, kFilterSobelV); }},
        {"prewitt", MenuId::SpatialPrewitt, Kind::SpatialFilter, [](QDialog& d) { filter(d, kFilterPrewittH); },
         [](Bitmap& b) { return spatialFilter(b, kFilterPrewittH); }},
        {"shift difference", MenuId::SpatialShiftDiff, Kind::SpatialFilter,
         [](QDialog& d) { filter(d, kFilterShiftDiag); }, [](Bitmap& b) { return spatialFilter(b, kFilterShiftDiag); }},
        {"line segments", MenuId::SpatialLineSeg, Kind::SpatialFilter, [](QDialog& d) { filter(d, kFilterLine135); },
         [](Bitmap& b) { return spatialFilter(b, kFilterLine135); }},
    };
    return all;
}

// Commands without a dialog, and what they must do.
struct Plain {
    const char* name;
    MenuId id;
    std::function<int16_t(Bitmap&)> expected;
};
const std::vector<Plain>& plainCommands() {
    static const std::vector<Plain> all = {
        {"greyscale", MenuId::ColorGrayscale, [](Bitmap& b) { return ops::greyscale(b, 8); }},
        {"invert", MenuId::ColorInvert, [](Bitmap& b) { return ops::invert(b); }},
        {"equalise", MenuId::ColorHistoEq, [](Bitmap& b) { return ops::histogramEqualise(b); }},
        {"stretch", MenuId::ColorStretchIntensity, [](Bitmap& b) { return ops::stretchIntensity(b); }},
        {"edge enhancement", MenuId::EffectsEdgeEnhance,
         [](Bitmap& b) {
             Bitmap detail = b;
             ops::spatialFilter(detail, ops::kFilterEdgeDetail);
             return ops::combine(b, 0, 0, b.width(), b.height(), detail, 0, 0, ops::kCombineAddDetail);
         }},
    };
    return all;
}

// A picture with narrow levels (so equalise and stretch have work) and edges.
Bitmap picture() {
    Bitmap b = test::madeImage(64, 48, 24, 3);
    for (int y = 0; y < b.height(); ++y) {
        uint8_t* r = b.mutableRow(y);
        for (int i = 0; i < b.width() * 3; ++i) r[i] = uint8_t(50 + r[i] * 150 / 255);
    }
    return b;
}

}  // namespace

class TestProcessing : public QObject {
    Q_OBJECT
private slots:
    // Every command passes what the user chose to its operation, takes the
    // snapshot of the picture before it (Img4), and ends with the menus on;
    // Undo brings the picture back with its zoom. Colour resolution and the
    // halftones show the result at normal size; the others keep the zoom.
    void commandsRunTheChosenOperationAndCanBeUndone() {
        for (const Command& cmd : dialogCommands()) {
            Window w;
            const Bitmap before = picture();
            w.show(before);
            w.form->state().nZoom = 50;
            w.img()->setViewMode(engine::ImageControl::ViewZoomed);
            Kind shown = Kind::Open;
            EngineDialog::setAnswerHook([&](QDialog& d, Kind k) {
                shown = k;
                cmd.set(d);
                return true;
            });
            w.choose(cmd.id);
            QVERIFY2(shown == cmd.kind, cmd.name);
            QVERIFY2(test::samePixels(w.store(4)->currentBitmap(), before), cmd.name);
            Bitmap expected = before;
            if (cmd.expected) {
                QCOMPARE(cmd.expected(expected), int16_t(engine::kOk));
                QVERIFY2(test::samePixels(w.img()->currentBitmap(), expected), cmd.name);
            } else {
                QVERIFY2(!test::samePixels(w.img()->currentBitmap(), before), cmd.name);
            }
            QVERIFY2(w.menusOn(), cmd.name);
            QCOMPARE(w.form->state().nZoom, int16_t(cmd.viewReset ? 100 : 50));
            QCOMPARE(w.img()->viewMode(), cmd.viewReset ? 0 : int(engine::ImageControl::ViewZoomed));
            QCOMPARE(w.form->controls().ImgDlg1->bitmap, 0u);
            w.choose(MenuId::mnuEditUndo);
            QVERIFY2(test::samePixels(w.img()->currentBitmap(), before), cmd.name);
            QCOMPARE(w.form->state().nZoom, int16_t(50));
        }
        for (const Plain& cmd : plainCommands()) {
            Window w;
            const Bitmap before = picture();
            w.show(before);
            w.choose(cmd.id);
            Bitmap expected = before;
            QCOMPARE(cmd.expected(expected), int16_t(engine::kOk));
            QVERIFY2(test::samePixels(w.img()->currentBitmap(), expected), cmd.name);
            QVERIFY2(test::samePixels(w.store(4)->currentBitmap(), before), cmd.name);
            QVERIFY2(w.menusOn(), cmd.name);
            w.choose(MenuId::mnuEditUndo);
            QVERIFY2(test::samePixels(w.img()->currentBitmap(), before), cmd.name);
        }
    }

    // Cancel: the picture, the snapshot, the zoom and the menus as they were,
    // and not a word.
    void cancelChangesNothing() {
        Window w;
        const Bitmap earlier = test::madeImage(64, 48, 24, 9);
        const Bitmap shown = picture();
        w.show(shown);
        w.store(4)->setCurrentBitmap(earlier);
        w.form->state().nZoom = 40;
        w.img()->setCallLogEnabled(true);
        EngineDialog::setAnswerHook([](QDialog&, Kind) { return false; });
        for (const Command& cmd : dialogCommands()) {
            w.choose(cmd.id);
            QVERIFY2(test::samePixels(w.img()->currentBitmap(), shown), cmd.name);
            QVERIFY2(test::samePixels(w.store(4)->currentBitmap(), earlier), cmd.name);
            QVERIFY2(w.menusOn(), cmd.name);
            QCOMPARE(w.form->state().nZoom, int16_t(40));
            QCOMPARE(w.form->controls().ImgDlg1->bitmap, 0u);
        }
        QVERIFY(w.form->scripted().boxes.isEmpty());
        // No operation and no repaint reached the control.
        for (int id : w.img()->callLog()) QVERIFY(id == engine::dispid::BitmapHandle);
    }

    // The dialogs open at 0 (0 and 255 for the levels) whatever was chosen
    // the time before, and are handed the picture shown.
    void dialogsStartFreshEachTime() {
        Window w;
        w.show(picture());
        struct Seen {
            int value1 = -1, value2 = -1;
            uint32_t bitmap = 0;
        } seen;
        EngineDialog::setAnswerHook([&](QDialog& d, Kind) {
            seen.bitmap = w.form->controls().ImgDlg1->bitmap;
            seen.value1 = d.findChild<QSpinBox*>("Value1")->value();
            auto* v2 = d.findChild<QSpinBox*>("Value2");
            seen.value2 = v2 ? v2->value() : -1;
            spin(d, "Value1", 20);
            if (v2) v2->setValue(30);
            return true;
        });
        for (int round = 0; round < 2; ++round) {
            w.choose(MenuId::ColorBrightness);
            QCOMPARE(seen.value1, 0);
            QCOMPARE(seen.bitmap, w.img()->bitmapHandle());
            w.choose(MenuId::ColorDetect);
            QCOMPARE(seen.value1, 0);
            QCOMPARE(seen.value2, 255);
            w.choose(MenuId::EffectsEmboss);
            QCOMPARE(seen.value1, 0);
            QCOMPARE(seen.value2, 0);
            // Gamma's start 0 is no gamma: the dialog opens at 1.00.
            w.choose(MenuId::ColorGamma);
            QCOMPARE(seen.value1, 100);
            QCOMPARE(w.form->controls().ImgDlg1->gammaValue, 20);
        }
    }

    // " N色 がこのﾋﾞｯﾄﾏｯﾌﾟに使用されています。" (the blank is the sign's
    // place), an OK-only box titled "色数"; the count takes a snapshot and
    // changes nothing. After an engine error: no message, menus back on.
    void countColoursMessage() {
        Window w;
        Bitmap b = Bitmap::createFilled(8, 4, 24, false, 0);
        for (int x = 0; x < 8; ++x) b.mutableRow(1)[x * 3] = uint8_t(x < 4 ? 255 : 128);
        w.show(b);
        w.store(4)->setCurrentBitmap(test::madeImage(4, 4, 24));
        w.choose(MenuId::CountUniqueColors);
        QCOMPARE(w.form->scripted().boxes.size(), 1);
        const auto box = w.form->scripted().boxes.first();
        QCOMPARE(box.prompt, QString(" 3色 がこのﾋﾞｯﾄﾏｯﾌﾟに使用されています。"));
        QCOMPARE(box.title, QString("色数"));
        QCOMPARE(box.style, int(shell::OkOnly));
        QVERIFY(test::samePixels(w.store(4)->currentBitmap(), b));
        QVERIFY(test::samePixels(w.img()->currentBitmap(), b));
        QVERIFY(!QApplication::overrideCursor());

        w.img()->setCallHook([](int id) {
            if (id == engine::dispid::CountColours) throw engine::EngineError(engine::kErrNoMemory, "out of memory");
        });
        w.choose(MenuId::CountUniqueColors);
        QCOMPARE(w.form->scripted().boxes.size(), 1);
        QVERIFY(w.menusOn());
        QVERIFY(!QApplication::overrideCursor());
    }

    // An engine error once the busy state has begun ends the command without
    // a message, with the menus on again and Img1 repainted after the error.
    void engineErrorStillEndsTheBusyState() {
        const std::pair<MenuId, int> cases[] = {
            {MenuId::ColorBrightness, engine::dispid::Brightness},
            {MenuId::ColorResolution, engine::dispid::ColourResolution},
            {MenuId::ColorInvert, engine::dispid::Invert},
            {MenuId::EffectsEdgeEnhance, engine::dispid::Combine},
        };
        for (const auto& [item, failing] : cases) {
            Window w;
            const Bitmap shown = picture();
            w.show(shown);
            EngineDialog::setAnswerHook([](QDialog&, Kind) { return true; });
            w.img()->setCallLogEnabled(true);
            w.img()->setCallHook([id = failing](int called) {
                if (called == id) throw engine::EngineError(engine::kErrBadParam, "failed");
            });
            w.choose(item);
            QVERIFY(w.menusOn());
            QVERIFY(!QApplication::overrideCursor());
            QVERIFY(test::samePixels(w.img()->currentBitmap(), shown));
            QVERIFY(w.form->scripted().boxes.isEmpty());
            const auto& log = w.img()->callLog();
            const auto at = std::find(log.begin(), log.end(), failing);
            QVERIFY(at != log.end());
            QVERIFY(std::find(at, log.end(), engine::dispid::Repaint) != log.end());
            // The view is not reset when the operation failed before it.
            QVERIFY(std::find(at, log.end(), engine::dispid::ViewMode) == log.end());
        }
    }

    // Edge enhancement keeps its copy in a store of its own: a region's saved
    // background in Img2 is still there afterwards, and the copy is gone,
    // also when the merge fails.
    void edgeEnhancementLeavesImg2Alone() {
        Window w;
        w.show(picture());
        const Bitmap background = test::madeImage(20, 10, 24, 5);
        w.store(2)->setCurrentBitmap(background);
        w.choose(MenuId::EffectsEdgeEnhance);
        QVERIFY(test::samePixels(w.store(2)->currentBitmap(), background));
        QVERIFY(w.processing.effects.edgeScratch().isEmpty());
        w.img()->setCallHook([](int id) {
            if (id == engine::dispid::Combine) throw engine::EngineError(engine::kErrNoMemory, "out of memory");
        });
        w.choose(MenuId::EffectsEdgeEnhance);
        QVERIFY(w.processing.effects.edgeScratch().isEmpty());
        QVERIFY(w.menusOn());
    }

    // With progress on, the gauge gets rising percentages from 0 to 100 during
    // a command (edge enhancement's filter on its scratch copy included);
    // with it off, none.
    void progressReachesTheGauge() {
        for (MenuId item : {MenuId::ColorInvert, MenuId::EffectsEdgeEnhance}) {
            Window w;
            w.show(test::madeImage(400, 300, 24));
            QSignalSpy spy(w.img(), &engine::ImageControl::progress);
            w.form->state().fProgress = 0;
            w.choose(item);
            QCOMPARE(spy.count(), 0);
            w.form->state().fProgress = 1;
            w.choose(item);
            QVERIFY(spy.count() >= 10);
            QCOMPARE(spy.first().at(0).toInt(), 0);
            QCOMPARE(spy.last().at(0).toInt(), 100);
            // Rising within each operation (edge enhancement runs two).
            int falls = 0;
            for (int i = 1; i < spy.count(); ++i) falls += spy.at(i).at(0).toInt() < spy.at(i - 1).at(0).toInt();
            QVERIFY(falls <= 1);
        }
    }

    // The gauge lets events run mid-command (the toolbar is not disabled): a
    // picture put into Img1 then keeps its own pixels.
    void pictureReplacedMidCommandIsLeftAlone() {
        for (MenuId item : {MenuId::ColorInvert, MenuId::EffectsEdgeEnhance, MenuId::EffectsMedian}) {
            Window w;
            w.show(test::madeImage(400, 300, 24));
            w.form->state().fProgress = 1;
            EngineDialog::setAnswerHook([](QDialog&, Kind) { return true; });
            const Bitmap other = test::madeImage(30, 20, 24, 4);
            bool replaced = false;
            QObject::connect(w.img(), &engine::ImageControl::progress, w.img(), [&](int p) {
                if (p > 0 && !replaced) {
                    replaced = true;
                    w.img()->setCurrentBitmap(other);
                }
            });
            w.choose(item);
            QVERIFY(replaced);
            QVERIFY(test::samePixels(w.img()->currentBitmap(), other));
            QVERIFY(w.menusOn());
        }
    }

    // A picture whose red levels are all 0: one full-height bar at x = 0 and
    // YMax the pixel count. A largest count of 7 gives YMaxDiv2 "3.5".
    // Drawing changes nothing; without a picture the bars stay as they were.
    void histogramBarsAndAxis() {
        Window w;
        Bitmap b = Bitmap::createFilled(10, 7, 24, false, 0);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 10; ++x) {
                b.mutableRow(y)[x * 3] = uint8_t(x * 20);      // blue: 7 pixels at each of 10 levels
                b.mutableRow(y)[x * 3 + 1] = uint8_t(y + 10);  // green: 10 pixels at each of 7 levels
            }
        w.show(b);
        w.store(4)->setCurrentBitmap(test::madeImage(4, 4, 24));
        const int16_t zoom = w.form->state().nZoom;
        processing::Histogram form(*w.form);
        QCOMPARE(form.windowTitle(), QString("ﾋｽﾄｸﾞﾗﾑ"));
        QVERIFY(form.Channel[0]->isChecked());

        form.Channel[1]->click();  // red: all 70 pixels at level 0
        QCOMPARE(form.maximum(), 70);
        QCOMPARE(form.YMax->text(), QString("70"));
        QCOMPARE(form.YMaxDiv2->text(), QString("35"));
        const auto& bars = form.TheHist->lines();
        QCOMPARE(bars[0].x1, 0.0);
        QCOMPARE(bars[0].y1, 98.0);
        QCOMPARE(bars[0].y2, 2.0);
        for (int i = 1; i < 256; ++i) QCOMPARE(bars[size_t(i)].y2, bars[size_t(i)].y1);

        form.Channel[3]->click();  // blue: 7 at each level
        QCOMPARE(form.YMax->text(), QString("7"));
        QCOMPARE(form.YMaxDiv2->text(), QString("3.5"));
        QCOMPARE(bars[20].x2, 20.0);
        QCOMPARE(bars[20].y2, 2.0);
        QCOMPARE(bars[21].y2, 98.0);

        // The filter box redraws the channel chosen.
        const auto blue = bars;
        form.FilterBox->activated(0);
        QCOMPARE(form.TheHist->lines()[20].y2, blue[20].y2);

        QVERIFY(test::samePixels(w.img()->currentBitmap(), b));
        QCOMPARE(w.store(4)->currentBitmap().width(), 4);
        QCOMPARE(w.form->state().nZoom, zoom);

        w.img()->setImageSource(QString());
        form.Channel[2]->click();
        QCOMPARE(form.YMax->text(), QString("7"));
        QCOMPARE(form.TheHist->lines()[20].y2, 2.0);
    }

    // The menu item shows the dialog modally; OK closes it.
    void histogramItemShowsTheDialog() {
        Window w;
        w.show(picture());
        QString shownMax;
        QTimer::singleShot(0, [&] {
            auto* form = qobject_cast<processing::Histogram*>(QApplication::activeModalWidget());
            if (!form) return;
            shownMax = form->YMax->text();
            form->OK->click();
        });
        w.choose(MenuId::ColorViewHistogram);
        QVERIFY(!shownMax.isEmpty());
    }
};

QTEST_MAIN(TestProcessing)
#include "test_processing.moc"
