// The engine's parameter dialogs as the processing commands drive them:
// each offers exactly its operation's range, hands back what was chosen
// through its properties, raises 20150 on Cancel, replaces a start value it
// cannot hold by the usual one, and previews the picture it was given with
// the value now set, on a small copy even of a large picture.
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QSpinBox>
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/handles.h"
#include "engine/core/ops/ops.h"
#include "engine/dialogs/preview_pane.h"
#include "engine/dialogs/spatial_filter_dialog.h"
#include "engine/engine_dialog.h"
#include "engine/engine_error.h"
#include "support/images.h"

using namespace qova::engine;
using Kind = EngineDialog::Kind;

namespace {

QSpinBox* value(QDialog& d, const char* name = "Value1") { return d.findChild<QSpinBox*>(name); }

// Shows a dialog whose answer `f` gives; returns the error number raised (0 = none).
int run(EngineDialog& dlg, void (EngineDialog::*show)(QWidget*), std::function<bool(QDialog&)> f) {
    EngineDialog::setAnswerHook([f](QDialog& d, Kind) { return f(d); });
    try {
        (dlg.*show)(nullptr);
    } catch (const EngineError& e) {
        return e.number();
    }
    return 0;
}

// The shown preview as the operation would make it from the preview's copy.
bool previewShows(const PreviewPane& pane, const std::function<int16_t(Bitmap&)>& op) {
    Bitmap expected = pane.sample();
    op(expected);
    Bitmap shown = Bitmap::create(pane.shown().width(), pane.shown().height(), 32);
    const QImage img = pane.shown();
    for (int y = 0; y < img.height(); ++y) memcpy(shown.mutableRow(y), img.constScanLine(y), size_t(img.width()) * 4);
    return qova::test::samePixels(shown, expected.convertTo(32));
}

}  // namespace

class TestParamDialogs : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { EngineDialog::setAnswerHook({}); }

    // The range each dialog offers is its operation's, and the value chosen
    // comes back in the dialog's property.
    void rangesAndResults() {
        struct Case {
            int flags;
            ops::ValueRange range;
        };
        const Case effects[] = {
            {0x40000002, ops::kRangeBrightness}, {0x40000004, ops::kRangeContrast},
            {0x40000008, ops::kRangeSaturation}, {0x40000010, ops::kRangeHistoContrast},
            {0x40000020, ops::kRangeHue},        {0x40000040, ops::kRangeHalftoneAngle},
            {0x40000080, ops::kRangePosterize},  {0x40000100, ops::kRangeMosaic},
            {0x40000200, ops::kRangeAverage},    {0x40000400, ops::kRangeMedian},
            {0x40000001, ops::kRangeSharpen},    {0x40000800, ops::kRangeOilify},
            {0x40004000, ops::kRangeSolarize},
        };
        EngineDialog dlg;
        for (const Case& c : effects) {
            dlg.flags = c.flags;
            dlg.effectValue = 0;
            ops::ValueRange offered{};
            QCOMPARE(run(dlg, &EngineDialog::showEffect, [&](QDialog& d) {
                         offered = {value(d)->minimum(), value(d)->maximum()};
                         value(d)->setValue(c.range.max);
                         return true;
                     }), 0);
            QCOMPARE(offered.min, c.range.min);
            QCOMPARE(offered.max, c.range.max);
            QCOMPARE(dlg.effectValue, c.range.max);
        }

        auto pair = [&](void (EngineDialog::*show)(QWidget*), ops::ValueRange r1, ops::ValueRange r2) {
            ops::ValueRange o1{}, o2{};
            QCOMPARE(run(dlg, show, [&](QDialog& d) {
                         o1 = {value(d)->minimum(), value(d)->maximum()};
                         if (QSpinBox* v2 = value(d, "Value2")) o2 = {v2->minimum(), v2->maximum()};
                         if (auto* c = d.findChild<QComboBox*>("Value2"))
                             o2 = {c->itemData(0).toInt(), c->itemData(c->count() - 1).toInt()};
                         value(d)->setValue(r1.min + 1);
                         if (QSpinBox* v2 = value(d, "Value2")) v2->setValue(r2.max);
                         if (auto* c = d.findChild<QComboBox*>("Value2")) c->setCurrentIndex(c->count() - 1);
                         return true;
                     }), 0);
            QCOMPARE(o1.min, r1.min);
            QCOMPARE(o1.max, r1.max);
            QCOMPARE(o2.min, r2.min);
            QCOMPARE(o2.max, r2.max);
        };
        dlg.flags = 0x40000000;
        dlg.detectLow = 0;
        dlg.detectHigh = 255;
        pair(&EngineDialog::showIntensityDetect, ops::kRangeDetectLow, ops::kRangeDetectHigh);
        QCOMPARE(dlg.detectLow, 1);
        QCOMPARE(dlg.detectHigh, 255);
        pair(&EngineDialog::showEmboss, ops::kRangeEmbossDirection, ops::kRangeEmbossDepth);
        QCOMPARE(dlg.embossValue1, 1);
        QCOMPARE(dlg.embossValue2, 100);
        pair(&EngineDialog::showAddNoise, ops::kRangeNoise, ops::kRangeNoiseChannel);
        QCOMPARE(dlg.noiseValue1, 1);
        QCOMPARE(dlg.noiseValue2, 3);

        // Gamma in hundredths, typed as a decimal number.
        QCOMPARE(run(dlg, &EngineDialog::showGamma, [&](QDialog& d) {
                     QSpinBox* v = value(d);
                     if (v->minimum() != ops::kRangeGamma.min || v->maximum() != ops::kRangeGamma.max) return false;
                     auto* edit = v->findChild<QLineEdit*>();
                     edit->selectAll();
                     QTest::keyClicks(edit, "2.2");
                     v->interpretText();
                     return true;
                 }), 0);
        QCOMPARE(dlg.gammaValue, 220);
    }

    // Colour resolution offers 1–8, 16, 24 and 32 bits and hands back bits,
    // palette kind and dithering as results 12–14; palette and dithering
    // only matter up to 8 bits.
    void colourResolutionChoices() {
        EngineDialog dlg;
        dlg.flags = 0x0FFFFFFD;
        QList<int> bits;
        bool paletteOffAt24 = false;
        QCOMPARE(run(dlg, &EngineDialog::showColourResolution, [&](QDialog& d) {
                     auto* b = d.findChild<QComboBox*>("Bits");
                     for (int i = 0; i < b->count(); ++i) bits << b->itemData(i).toInt();
                     b->setCurrentIndex(b->findData(24));
                     paletteOffAt24 = !d.findChild<QComboBox*>("Palette")->isEnabled();
                     b->setCurrentIndex(b->findData(4));
                     auto* p = d.findChild<QComboBox*>("Palette");
                     p->setCurrentIndex(p->findData(0));
                     auto* t = d.findChild<QComboBox*>("Dither");
                     t->setCurrentIndex(t->findData(int(ops::kDitherOrdered)));
                     return true;
                 }), 0);
        QCOMPARE(bits, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 16, 24, 32}));
        QVERIFY(paletteOffAt24);
        QCOMPARE(dlg.colourBits, 4);
        QCOMPARE(dlg.paletteKind, 0);
        QCOMPARE(dlg.dithering, int(ops::kDitherOrdered));
    }

    // Each family flag offers its filters; the first is chosen at the start;
    // no family bit offers every family.
    void spatialFamilies() {
        const std::pair<int, QList<int>> families[] = {
            {0x40000001, {0, 1, 2, 3, 4, 5, 6, 7}}, {0x40000002, {8, 9, 10, 11}}, {0x40000004, {12, 13}},
            {0x40000008, {14, 15}}, {0x40000010, {17, 18, 19, 20}}, {0x40000020, {21, 22, 23, 24}},
        };
        for (const auto& [flags, numbers] : families) {
            SpatialFilterDialog d(flags, Bitmap());
            QCOMPARE(d.offered(), numbers);
            QCOMPARE(d.filter(), numbers.first());
        }
        SpatialFilterDialog all(0x40000000, Bitmap());
        QCOMPARE(all.offered().size(), 24);
        EngineDialog dlg;
        dlg.flags = 0x40000004;
        dlg.filterNumber = 99;
        QCOMPARE(run(dlg, &EngineDialog::showSpatialFilter, [](QDialog& d) {
                     d.findChild<QListWidget*>("Filter")->setCurrentRow(1);
                     return true;
                 }), 0);
        QCOMPARE(dlg.filterNumber, int(ops::kFilterSobelV));
    }

    // Cancel raises 20150 and hands back nothing; flags choosing no effect
    // variant are refused with 20013.
    void cancelAndBadFlags() {
        EngineDialog dlg;
        dlg.flags = 0x40000002;
        dlg.effectValue = 7;
        QCOMPARE(run(dlg, &EngineDialog::showEffect, [](QDialog& d) {
                     value(d)->setValue(50);
                     return false;
                 }), int(kErrDialogCancelled));
        QCOMPARE(dlg.effectValue, 7);
        dlg.detectLow = 3;
        QCOMPARE(run(dlg, &EngineDialog::showIntensityDetect, [](QDialog&) { return false; }), int(kErrDialogCancelled));
        QCOMPARE(dlg.detectLow, 3);
        dlg.colourBits = 5;
        QCOMPARE(run(dlg, &EngineDialog::showColourResolution, [](QDialog&) { return false; }),
                 int(kErrDialogCancelled));
        QCOMPARE(dlg.colourBits, 5);
        dlg.flags = 0x40000000;
        QCOMPARE(run(dlg, &EngineDialog::showEffect, [](QDialog&) { return true; }), int(kErrBadParam));
    }

    // A start the range cannot hold opens at the usual value (posterize 0 →
    // 8 levels); the low level pushes the high one up, and back.
    void startValuesAndLevels() {
        EngineDialog dlg;
        dlg.flags = 0x40000080;
        dlg.effectValue = 0;
        int start = -1;
        run(dlg, &EngineDialog::showEffect, [&](QDialog& d) {
            start = value(d)->value();
            return true;
        });
        QCOMPARE(start, 8);
        dlg.flags = 0x40000000;
        dlg.detectLow = 0;
        dlg.detectHigh = 100;
        run(dlg, &EngineDialog::showIntensityDetect, [&](QDialog& d) {
            value(d)->setValue(150);
            return value(d, "Value2")->value() == 150;
        });
        QCOMPARE(dlg.detectLow, 150);
        QCOMPARE(dlg.detectHigh, 150);
    }

    // The preview shows the operation with the value now set, once the
    // event loop runs (one computation however many changes came first);
    // "ﾌﾟﾚﾋﾞｭｰ" off shows the picture as it is. Without a picture, no preview.
    void previewFollowsTheValue() {
        const Bitmap pic = qova::test::madeImage(200, 150, 24);
        const uint32_t handle = HandleTable::instance().add(pic);
        EngineDialog dlg;
        dlg.bitmap = handle;
        dlg.flags = 0x40000002;
        dlg.effectValue = 0;
        bool followed = false, original = false;
        run(dlg, &EngineDialog::showEffect, [&](QDialog& d) {
            auto* pane = d.findChild<PreviewPane*>("Preview");
            if (!pane || !qova::test::samePixels(pane->sample(), pic)) return false;
            value(d)->setValue(10);
            value(d)->setValue(45);
            if (!pane->pending()) return false;
            QCoreApplication::processEvents();
            followed = !pane->pending() && previewShows(*pane, [](Bitmap& b) { return ops::brightness(b, 45); });
            pane->setApplied(false);
            QCoreApplication::processEvents();
            original = previewShows(*pane, [](Bitmap&) { return int16_t(kOk); });
            return true;
        });
        HandleTable::instance().remove(handle);
        QVERIFY(followed);
        QVERIFY(original);

        dlg.bitmap = 0;
        bool none = false;
        run(dlg, &EngineDialog::showEffect, [&](QDialog& d) {
            none = d.findChild<PreviewPane*>() == nullptr;
            return true;
        });
        QVERIFY(none);
    }

    // A large picture is previewed on a copy reduced to the pane, or on a
    // part of it at its own size (what the neighbourhood filters start with).
    void largePictureIsPreviewedSmall() {
        const Bitmap pic = qova::test::madeImage(3000, 2000, 24);
        PreviewPane whole(pic, false);
        QCOMPARE(whole.sample().width(), PreviewPane::kWidth);
        QCOMPARE(whole.sample().height(), 240);
        PreviewPane part(pic, true);
        QCOMPARE(part.shown().width(), PreviewPane::kWidth);
        QCOMPARE(part.shown().height(), PreviewPane::kHeight);
        // The part is the picture's own pixels around its centre.
        const QImage shown = part.shown();
        const Rgb c = pic.pixel(1500 - PreviewPane::kWidth / 2, 1000 - PreviewPane::kHeight / 2);
        QCOMPARE(QColor(shown.pixel(0, 0)), QColor(c.r, c.g, c.b));
        part.pan(-100000, -100000);
        part.updateNow();
        const Rgb corner = pic.pixel(0, 0);
        QCOMPARE(QColor(part.shown().pixel(0, 0)), QColor(corner.r, corner.g, corner.b));
    }
};

QTEST_MAIN(TestParamDialogs)
#include "test_param_dialogs.moc"
