// The control's processing operations: they run on the document (so a
// hidden store runs the same ones), answer by dispatch id, keep no result
// for a picture replaced while they ran, and the histogram's counts belong
// to the last computation.
#include <QtTest>

#include <cstring>

#include "engine/core/codes.h"
#include "engine/core/document_ops.h"
#include "engine/core/engine_error.h"
#include "engine/core/ops/ops.h"
#include "engine/core/pages.h"
#include "engine/dispatch_ids.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

Document docOf(const Bitmap& b) {
    Document d;
    d.frames.push_back(Frame{b});
    d.info.width = b.width();
    d.info.height = b.height();
    d.info.bpp = b.bpp();
    return d;
}

}  // namespace

class TestControlOps : public QObject {
    Q_OBJECT
private slots:
    // By id on the control, directly on a store: the same operation, the
    // same pixels; a region set on the picture confines it.
    void controlAndStoresShareTheOperations() {
        const Bitmap pic = qova::test::madeImage(40, 30, 24);
        ImageControl c;
        c.setDocument(docOf(pic));
        ImageStore store(QStringLiteral("Img2"));
        store.setBitmapHandle(c.bitmapHandle());
        QCOMPARE(c.dispatch(dispid::SpatialFilter, {int(ops::kFilterSobelH)}).toInt(), int(kOk));
        QCOMPARE(docops::spatialFilter(store, ops::kFilterSobelH), int16_t(kOk));
        QVERIFY(qova::test::samePixels(c.currentBitmap(), store.currentBitmap()));

        c.setDocument(docOf(pic));
        c.imageDocument().setRegion(Region::rectangle(RectI{0, 0, 10, 10}));
        QCOMPARE(c.invert(), int16_t(kOk));
        QCOMPARE(c.currentBitmap().pixel(20, 20), pic.pixel(20, 20));
        QVERIFY(!(c.currentBitmap().pixel(5, 5) == pic.pixel(5, 5)));
        // A value outside the range changes nothing.
        const Bitmap before = c.currentBitmap();
        QCOMPARE(c.brightness(500), int16_t(kErrBadParam));
        QVERIFY(c.currentBitmap().sharesWith(before));
        // Nor does one with nothing to do (stretching black and white): the
        // view is not told of a change.
        ImageDocument doc;
        Bitmap bw = Bitmap::createFilled(4, 2, 24, false, 0);
        std::memset(bw.mutableRow(1), 255, 12);
        doc.setDocument(docOf(bw));
        int changes = 0;
        doc.setListener([&](ImageDocument::Change) { ++changes; });
        QCOMPARE(docops::stretchIntensity(doc), int16_t(kOk));
        QCOMPARE(changes, 0);
        QVERIFY(doc.currentBitmap().sharesWith(bw));
    }

    // Progress reports let events run; one of them may put another picture
    // in. The operation's result is then dropped, not written over it.
    void pictureReplacedMidwayKeepsTheNewOne() {
        ImageDocument doc;
        doc.setDocument(docOf(qova::test::madeImage(300, 200, 24)));
        doc.setRegion(Region::ellipse(RectI{10, 10, 200, 150}));
        const Bitmap other = qova::test::madeImage(50, 40, 24, 7);
        bool replaced = false;
        const int16_t code = docops::median(doc, 3, [&](int p) {
            if (p > 0 && !replaced) {
                replaced = true;
                doc.setDocument(docOf(other));
            }
        });
        QVERIFY(replaced);
        QCOMPARE(code, int16_t(kErrBadHandle));
        QVERIFY(qova::test::samePixels(doc.currentBitmap(), other));
    }

    void histogramCountsOfTheLastComputation() {
        ImageControl c;
        QCOMPARE(c.histogramCount(0), 0);
        QCOMPARE(c.computeHistogram(0), int16_t(kErrBadHandle));
        Bitmap b = Bitmap::createFilled(6, 5, 24, false, 0);
        b.mutableRow(0)[2] = 255;  // one red pixel
        c.setDocument(docOf(b));
        QCOMPARE(c.computeHistogram(1), int16_t(kOk));
        QCOMPARE(c.dispatch(dispid::HistogramCount, {0}).toInt(), 29);
        QCOMPARE(c.histogramCount(255), 1);
        QCOMPARE(c.histogramCount(256), 0);
        QCOMPARE(c.countColours(), 2);
        c.setImageSource(QString());
        QCOMPARE(c.computeHistogram(1), int16_t(kErrBadHandle));
        QCOMPARE(c.histogramCount(0), 0);
        QVERIFY_THROWS_EXCEPTION(EngineError, c.countColours());
    }
};

QTEST_MAIN(TestControlOps)
#include "test_control_ops.moc"
