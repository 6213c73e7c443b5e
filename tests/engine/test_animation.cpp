// Animations in the engine: the canvas frame by frame against a reference
// decoder (ImageMagick's coalesced frames, as browsers show them), the GIF
// round trip of frames and their settings, the settings and palettes of the
// document, colour reduction of the whole list, and playback in the
// control (it belongs to the picture, ends a single run by itself).
#include <QImage>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/core/animation.h"
#include "engine/core/codes.h"
#include "engine/core/document.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/core/handles.h"
#include "engine/core/ops/ranges.h"
#include "engine/dispatch_ids.h"
#include "engine/engine_error.h"
#include "engine/image_control.h"
#include "engine/image_control_display_p.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

int16_t load(const QString& path, Document& doc) {
    LoadRequest r;
    r.path = path.toStdString();
    return loadFile(r, doc);
}

int16_t saveGif(const Document& doc, const QString& path) {
    SaveRequest r;
    r.path = path.toStdString();
    r.format = kFmtGif;
    return saveFile(doc, r);
}

// The reference: each frame as a browser shows it, clear parts transparent.
QList<QImage> referenceFrames(const QString& gif, QTemporaryDir& dir) {
    const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"), {QStringLiteral("/usr/bin")});
    if (convert.isEmpty()) return {};
    QProcess p;
    p.start(convert, {gif, QStringLiteral("-coalesce"), dir.filePath(QStringLiteral("ref_%d.png"))});
    if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
    QList<QImage> frames;
    for (int i = 0;; ++i) {
        QImage img(dir.filePath(QStringLiteral("ref_%1.png").arg(i)));
        if (img.isNull()) break;
        frames.append(img.convertToFormat(QImage::Format_ARGB32));
    }
    return frames;
}

// Where the canvas and the reference differ ("" when they agree): clear
// parts must be clear in both, drawn parts of the same colour.
QString difference(const Bitmap& canvas, const QImage& ref) {
    if (canvas.width() != ref.width() || canvas.height() != ref.height())
        return QStringLiteral("size %1x%2 vs %3x%4").arg(canvas.width()).arg(canvas.height()).arg(ref.width()).arg(ref.height());
    for (int y = 0; y < ref.height(); ++y) {
        const auto* ours = reinterpret_cast<const uint32_t*>(canvas.row(y));
        const auto* theirs = reinterpret_cast<const QRgb*>(ref.constScanLine(y));
        for (int x = 0; x < ref.width(); ++x) {
            const bool clearOurs = (ours[x] >> 24) == 0, clearTheirs = qAlpha(theirs[x]) == 0;
            if (clearOurs != clearTheirs || (!clearOurs && (ours[x] & 0xFFFFFF) != (theirs[x] & 0xFFFFFF)))
                return QStringLiteral("pixel %1,%2: %3 vs %4").arg(x).arg(y).arg(ours[x], 8, 16).arg(theirs[x], 8, 16);
        }
    }
    return QString();
}

Bitmap palette8(int w, int h, const Palette& pal, int (*pattern)(int x, int y)) {
    Bitmap b = Bitmap::create(w, h, 8);
    b.setPalette(pal);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.setIndex(x, y, pattern(x, y));
    return b;
}

Document threeFrames() {
    Document doc;
    Palette pal;
    for (int i = 0; i < 256; ++i) pal.push_back(Rgb{uint8_t(i), uint8_t(255 - i), uint8_t(i * 7)});
    Frame a{palette8(40, 30, pal, [](int x, int y) { return (x * 5 + y * 3) & 255; })};
    a.delayMs = 20;
    a.disposal = Disposal::Keep;
    Frame b{qova::test::madeImage(24, 16, 4, 3)};
    b.left = 10;
    b.top = 12;
    b.delayMs = 150;
    b.disposal = Disposal::Background;
    b.transparent = true;
    b.transparentColour = colourOfRgb(b.bitmap.palette()[0]);
    resolveTransparency(b);
    Frame c{palette8(16, 16, pal, [](int x, int y) { return x < 8 ? 7 : 200 + y; })};
    c.left = 30;
    c.top = 5;
    c.delayMs = 5000;
    c.disposal = Disposal::Previous;
    c.transparent = true;
    c.transparentColour = colourOfRgb(pal[7]);
    resolveTransparency(c);
    doc.frames = {a, b, c};
    doc.animation.canvasWidth = 64;
    doc.animation.canvasHeight = 40;
    doc.animation.loop = true;
    return doc;
}

}  // namespace

class TestAnimation : public QObject {
    Q_OBJECT
private slots:
    // The shared samples frame by frame, as browsers show them.
    void canvasMatchesTheReferenceFrameByFrame_data() {
        QTest::addColumn<QString>("name");
        for (const char* n : {"dispose_none.gif", "dispose_bgnd.gif", "dispose_prev.gif", "different_transparency.gif"})
            QTest::newRow(n) << QString::fromLatin1(n);
    }
    void canvasMatchesTheReferenceFrameByFrame() {
        QFETCH(QString, name);
        QOVA_REQUIRE_SAMPLES();
        QTemporaryDir dir;
        const QList<QImage> ref = referenceFrames(qova::test::sample(name), dir);
        if (ref.isEmpty()) QSKIP("no reference decoder (ImageMagick's convert)");
        Document doc;
        QCOMPARE(load(qova::test::sample(name), doc), int16_t(kOk));
        QCOMPARE(int(doc.frames.size()), int(ref.size()));
        AnimationCanvas canvas;
        for (int i = 0; i < int(ref.size()); ++i) {
            QVERIFY(canvas.show(doc, i));
            const QString diff = difference(canvas.bitmap(), ref[i]);
            QVERIFY2(diff.isEmpty(), qPrintable(QStringLiteral("frame %1: %2").arg(i).arg(diff)));
        }
        // Jumping to a frame gives what playing up to it gives.
        AnimationCanvas jumped;
        QVERIFY(jumped.show(doc, int(ref.size()) - 1));
        QVERIFY(difference(jumped.bitmap(), ref.back()).isEmpty());
        // The same after a save and a load.
        const QString again = dir.filePath(QStringLiteral("again.gif"));
        QCOMPARE(saveGif(doc, again), int16_t(kOk));
        Document back;
        QCOMPARE(load(again, back), int16_t(kOk));
        for (int i = 0; i < int(ref.size()); ++i) {
            QVERIFY(canvas.show(back, i));
            const QString d = difference(canvas.bitmap(), ref[i]);
            QVERIFY2(d.isEmpty(), qPrintable(QStringLiteral("saved frame %1: %2").arg(i).arg(d)));
        }
    }

    void gifRoundTripKeepsFramesAndSettings() {
        QTemporaryDir dir;
        Document doc = threeFrames();
        doc.animation.backColor = 0x0000FF;
        doc.animation.palette = doc.frames[0].bitmap.palette();
        doc.animation.palette[9] = Rgb{255, 0, 0};
        const QString path = dir.filePath(QStringLiteral("three.gif"));
        QCOMPARE(saveGif(doc, path), int16_t(kOk));
        Document back;
        QCOMPARE(load(path, back), int16_t(kOk));
        QCOMPARE(int(back.frames.size()), 3);
        QCOMPARE(back.animation.canvasWidth, 64);
        QCOMPARE(back.animation.canvasHeight, 40);
        QVERIFY(back.animation.loop);
        QCOMPARE(back.animation.backColor, 0x0000FFu);  // the file names it; players show white
        QVERIFY(!back.animation.backgroundShown);
        for (int i = 0; i < 3; ++i) {
            const Frame& a = doc.frames[size_t(i)];
            const Frame& b = back.frames[size_t(i)];
            QCOMPARE(b.left, a.left);
            QCOMPARE(b.top, a.top);
            QCOMPARE(b.delayMs, a.delayMs);
            QCOMPARE(b.disposal, a.disposal);
            QCOMPARE(b.transparent, a.transparent);
            if (a.transparent) QCOMPARE(b.transparentColour, a.transparentColour);
            QCOMPARE(b.bitmap.width(), a.bitmap.width());
            for (int y = 0; y < a.bitmap.height(); ++y)
                for (int x = 0; x < a.bitmap.width(); ++x)
                    QVERIFY(b.bitmap.pixel(x, y) == a.bitmap.pixel(x, y));
        }
        // And the animation looks the same, frame by frame.
        AnimationCanvas before, after;
        for (int i = 0; i < 3; ++i) {
            QVERIFY(before.show(doc, i));
            QVERIFY(after.show(back, i));
            QVERIFY(qova::test::samePixels(before.bitmap(), after.bitmap()));
        }
    }

    // A photo frame goes to its own optimised palette, its transparent
    // colour kept exact; a delay GIF cannot hold rounds to hundredths.
    void deepFramesAreReducedWithTheirTransparency() {
        QTemporaryDir dir;
        Document doc;
        Frame photo{qova::test::madeImage(60, 40, 24, 5)};
        Bitmap& b = photo.bitmap;
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x) {
                uint8_t* p = b.mutableRow(y) + x * 3;
                p[0] = 0; p[1] = 255; p[2] = 0;  // pure green, the transparent colour
            }
        photo.transparent = true;
        photo.transparentColour = 0x00FF00;
        photo.delayMs = 25;
        doc.frames.push_back(photo);
        const QString path = dir.filePath(QStringLiteral("photo.gif"));
        QCOMPARE(saveGif(doc, path), int16_t(kOk));
        Document back;
        QCOMPARE(load(path, back), int16_t(kOk));
        const Frame& f = back.frames[0];
        QCOMPARE(f.bitmap.bpp(), 8);
        QVERIFY(f.transparent);
        QCOMPARE(f.transparentColour, 0x00FF00u);
        QCOMPARE(f.delayMs, 30);
        AnimationCanvas canvas;
        QVERIFY(canvas.show(back, 0));
        int clear = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 60; ++x) clear += (reinterpret_cast<const uint32_t*>(canvas.bitmap().row(y))[x] >> 24) == 0;
        QCOMPARE(clear, 100);
        // The photo itself comes back close (an optimised palette, diffused).
        const qova::test::Diff d = qova::test::compare(f.bitmap.convertTo(24), doc.frames[0].bitmap);
        QVERIFY2(d.mean < 8.0, qPrintable(QString::number(d.mean)));
    }

    void documentSettingsAndPalettes() {
        ImageDocument doc;
        QVERIFY_THROWS_EXCEPTION(EngineError, doc.frameDelay());
        doc.setDocument(threeFrames());
        QCOMPARE(doc.animationWidth(), 64);
        doc.setAnimationWidth(0);
        QCOMPARE(doc.animationWidth(), 46);  // the frames' extent: the third ends at 30 + 16
        doc.setBitmapListIndex(1);
        QCOMPARE(doc.frameLeft(), 10);
        QCOMPARE(doc.frameDelay(), 150);
        QCOMPARE(doc.frameDisposal(), 2);
        QVERIFY_THROWS_EXCEPTION(EngineError, doc.setFrameDisposal(4));
        // The transparent colour follows the palette entry that holds it.
        doc.setFrameTransparentColour(colourOfRgb(doc.currentBitmap().palette()[5]));
        QCOMPARE(doc.document().frames[1].transparentIndex, 5);
        doc.setFrameTransparent(false);
        QCOMPARE(doc.document().frames[1].transparentIndex, -1);
        // Palettes by entry; a 4-bit frame has 16.
        doc.setBitmapPalette(15, 0x123456);
        QCOMPARE(doc.bitmapPalette(15), 0x123456u);
        QVERIFY_THROWS_EXCEPTION(EngineError, doc.setBitmapPalette(16, 0));
        doc.setAnimationPalette(255, 0xABCDEF);
        QCOMPARE(doc.animationPalette(255), 0xABCDEFu);
        QCOMPARE(doc.animationPalette(254), 0u);
        QVERIFY_THROWS_EXCEPTION(EngineError, doc.setAnimationPalette(256, 0));
    }

    void colourResolutionOfTheWholeList() {
        ImageDocument doc;
        Document d;
        for (int i = 0; i < 3; ++i) d.frames.push_back(Frame{qova::test::madeImage(30 + i, 20, 24, unsigned(i))});
        doc.setDocument(d);
        QCOMPARE(doc.colourResolutionList(8, ops::kResOptimised, ops::kDitherDiffusion, 255), int16_t(kOk));
        const Palette shared = doc.document().frames[0].bitmap.palette();
        QVERIFY(shared.size() <= 255);
        for (const Frame& f : doc.document().frames) {
            QCOMPARE(f.bitmap.bpp(), 8);
            QVERIFY(f.bitmap.palette() == shared);
        }
        QVERIFY(doc.document().animation.palette == shared);
        QCOMPARE(doc.colourResolutionList(24, 0, 0, 0), int16_t(kOk));
        QCOMPARE(doc.document().frames[2].bitmap.bpp(), 24);
        QCOMPARE(doc.colourResolutionList(7, 0, 0, 1), int16_t(kErrBadParam));
        ImageDocument empty;
        QCOMPARE(empty.colourResolutionList(8, 0, 0, 0), int16_t(kErrBadHandle));
    }

    // Once or looping; a page turn or another picture stops and drops it.
    void playbackBelongsToThePicture() {
        ImageDocument doc;
        doc.setAnimationPlaying(true);
        QVERIFY(!doc.animationPlaying());  // nothing to play
        doc.setDocument(threeFrames());
        doc.setAnimationLoop(false);
        doc.setAnimationPlaying(true);
        QVERIFY(doc.animationPlaying());
        QCOMPARE(doc.playFrame(), 0);
        QCOMPARE(doc.playDelay(), 20);
        QVERIFY(doc.advanceAnimation());
        QVERIFY(doc.advanceAnimation());
        QCOMPARE(doc.playFrame(), 2);
        QVERIFY(!doc.advanceAnimation());
        QVERIFY(!doc.animationPlaying());
        QVERIFY(doc.animationCanvas());  // the last frame stays on view
        doc.setAnimationLoop(true);
        doc.setAnimationPlaying(true);
        for (int i = 0; i < 3; ++i) QVERIFY(doc.advanceAnimation());
        QCOMPARE(doc.playFrame(), 0);
        doc.setBitmapListIndex(2);
        QVERIFY(!doc.animationPlaying());
        QVERIFY(!doc.animationCanvas());
        doc.setAnimationPlaying(true);
        doc.setDocument(threeFrames());
        QVERIFY(!doc.animationPlaying());
        QVERIFY(!doc.animationCanvas());
        // Stopped on purpose, the page is on view again.
        doc.setAnimationPlaying(true);
        doc.setAnimationPlaying(false);
        QVERIFY(!doc.animationCanvas());
    }

    // The canvas on view: its background where no frame drew (white for a
    // file's GIF), and only the display palette's colours when one is chosen.
    void canvasIsPaintedOverItsBackground() {
        ImageControl c;
        c.resize(200, 150);
        Document d = threeFrames();
        d.animation.backColor = 0xFF0000;  // blue
        c.setDocument(d);
        c.setViewMode(ImageControl::ViewNormal);
        c.setAnimationPlaying(true);
        QImage shot = c.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.pixel(50, 35) & 0xFFFFFF, 0x0000FFu);  // past the first frame, inside the canvas
        c.setAnimationPlaying(false);
        d.animation.backgroundShown = false;
        c.setDocument(d);
        c.setAnimationPlaying(true);
        shot = c.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QCOMPARE(shot.pixel(50, 35) & 0xFFFFFF, 0xFFFFFFu);
        c.setPaintPalette(1);
        shot = c.viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QSet<QRgb> allowed;
        for (QRgb v : displayPaletteColours(1)) allowed.insert(v | 0xFF000000u);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 64; ++x) QVERIFY(allowed.contains(shot.pixel(x, y) | 0xFF000000u));
    }

    // A tiny file declaring a huge screen gets a canvas only as large as its
    // frames reach (margins up to the largest canvas the settings take).
    void declaredScreenIsBounded() {
        Document d = threeFrames();
        d.animation.canvasWidth = 65535;
        d.animation.canvasHeight = 65535;
        QCOMPARE(canvasWidth(d), 2048);
        QCOMPARE(canvasHeight(d), 1536);
        d.frames[0].bitmap = qova::test::madeImage(3000, 10, 8);
        QCOMPARE(canvasWidth(d), 3000);
        d.animation.canvasWidth = 100;
        QCOMPARE(canvasWidth(d), 100);
        AnimationCanvas c;
        QVERIFY(c.show(d, 2));
        QCOMPARE(c.bitmap().width(), 100);
    }

    void controlPlaysAndTellsWhenItStops() {
        ImageControl c;
        c.resize(200, 150);
        Document d = threeFrames();
        for (Frame& f : d.frames) f.delayMs = 20;
        d.animation.loop = false;
        c.setDocument(d);
        QSignalSpy notify(&c, &ImageControl::animationNotify);
        QSignalSpy shown(&c, &ImageControl::animationFrameShown);
        c.dispatchPut(dispid::AnimationPlaying, true);
        QVERIFY(c.dispatch(dispid::AnimationPlaying).toBool());
        QCOMPARE(notify.count(), 1);
        // A single run ends by itself and says so.
        QVERIFY(notify.wait(5000));
        QVERIFY(!c.animationPlaying());
        QCOMPARE(shown.count(), 3);
        for (int i = 0; i < 3; ++i) QCOMPARE(shown[i][0].toInt(), i);
        // Another picture stops a playing animation.
        c.setAnimationLoop(true);
        c.setAnimationPlaying(true);
        notify.clear();
        c.setImageSource(QString());
        QCOMPARE(notify.count(), 1);
        QVERIFY(!c.animationPlaying());
        // Settings through the table, on the frame shown.
        c.setDocument(threeFrames());
        c.dispatchPut(dispid::BitmapListIndex, 2);
        QCOMPARE(c.dispatch(dispid::FrameLeft).toDouble(), 30.0);
        c.dispatchPut(dispid::FrameDelay, 70);
        QCOMPARE(c.document().frames[2].delayMs, 70);
        QCOMPARE(c.dispatch(dispid::AnimationWidth).toDouble(), 64.0);
        c.dispatch(dispid::AnimationPalette, {3, 0x10203});
        QCOMPARE(c.dispatch(dispid::AnimationPalette, {3}).toUInt(), 0x10203u);
    }
};

QTEST_MAIN(TestAnimation)
#include "test_animation.moc"
