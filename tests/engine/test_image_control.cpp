// The engine control as the program uses it: loading, pages, handles,
// the empty-control probe, view rectangles, progress and input events.
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <set>

#include <QTemporaryDir>
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/core/handles.h"
#include "engine/core/pages.h"
#include "engine/dispatch_ids.h"
#include "engine/engine_error.h"
#include "engine/image_control.h"
#include "engine/native_path.h"
#include "engine/pan_window.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

QString writeImage(QTemporaryDir& dir, const QString& name, int w, int h, int bpp, int pages = 1, int format = kFmtPng) {
    Document d;
    for (int i = 0; i < pages; ++i) d.frames.push_back(Frame{qova::test::madeImage(w, h, bpp, unsigned(i))});
    return qova::test::saveFixture(d, dir.filePath(name), format);
}

}  // namespace

class TestImageControl : public QObject {
    Q_OBJECT
private slots:
    void emptyControlFailsBitmapReads() {
        ImageControl c;
        QVERIFY(c.isEmpty());
        QCOMPARE(c.bitmapHandle(), 0u);
        QCOMPARE(c.bitmapListCount(), 0);
        try {
            c.bitmapWidth();
            QFAIL("reading the width of an empty control must fail");
        } catch (const EngineError& e) {
            QCOMPARE(e.number(), int(kErrBadHandle));
        }
        QVERIFY_THROWS_EXCEPTION(EngineError, c.bitsPerPixel());
    }

    void loadFillsInfoAndPagesAndSourceEmpties() {
        QTemporaryDir dir;
        const QString tif = writeImage(dir, "three.tif", 40, 30, 24, 3, kFmtTiffLzw);
        ImageControl c;
        c.setPreLoad(true);
        QCOMPARE(c.load(tif, 0, 0, -1), int16_t(kOk));
        QVERIFY(!c.preLoad());  // the flag serves one load
        QCOMPARE(c.bitmapWidth(), 40);
        QCOMPARE(c.bitmapHeight(), 30);
        QCOMPARE(c.bitsPerPixel(), 24);
        QCOMPARE(c.infoWidth(), 40);
        QCOMPARE(c.infoBits(), 24);
        QCOMPARE(c.infoSize(), double(QFileInfo(tif).size()));
        QCOMPARE(c.bitmapListCount(), 3);
        QCOMPARE(c.bitmapListIndex(), 0);
        c.setBitmapListIndex(2);
        QCOMPARE(c.bitmapListIndex(), 2);
        QVERIFY_THROWS_EXCEPTION(EngineError, c.setBitmapListIndex(3));
        QCOMPARE(c.bitmapListIndex(), 2);
        c.setImageSource("");
        QVERIFY(c.isEmpty());
        QVERIFY_THROWS_EXCEPTION(EngineError, c.bitmapWidth());
    }

    void failedLoadKeepsTheShownImage() {
        QTemporaryDir dir;
        ImageControl c;
        QCOMPARE(c.load(writeImage(dir, "a.png", 12, 9, 24), 0, 0, -1), int16_t(kOk));
        QCOMPARE(c.load(dir.filePath("missing.png"), 0, 0, -1), int16_t(kErrNotFound));
        QCOMPARE(c.bitmapWidth(), 12);
        QCOMPARE(c.infoWidth(), 12);
    }

    // Putting a handle copies the bitmap; the pixels are shared until written.
    void handlesCopyBitmaps() {
        QTemporaryDir dir;
        ImageControl a, b;
        QCOMPARE(a.load(writeImage(dir, "a.png", 20, 10, 24), 0, 0, -1), int16_t(kOk));
        b.setBitmapHandle(a.bitmapHandle());
        QCOMPARE(b.bitmapWidth(), 20);
        QVERIFY(b.currentBitmap().sharesWith(a.currentBitmap()));
        Bitmap changed = b.currentBitmap();
        changed.mutableRow(0)[0] ^= 0xFF;
        b.setCurrentBitmap(changed);
        QVERIFY(!b.currentBitmap().sharesWith(a.currentBitmap()));
        QVERIFY(a.currentBitmap().row(0)[0] != b.currentBitmap().row(0)[0]);
        // 0 frees; an unknown handle is refused and changes nothing.
        b.setBitmapHandle(0);
        QVERIFY(b.isEmpty());
        QVERIFY_THROWS_EXCEPTION(EngineError, b.setBitmapHandle(0x7FFFFFF0u));
        QVERIFY(b.isEmpty());
        const uint32_t own = HandleTable::instance().add(qova::test::madeImage(3, 4, 8));
        b.setBitmapHandle(own);
        QCOMPARE(b.bitmapHeight(), 4);
        HandleTable::instance().remove(own);
    }

    void insertBitmapListItemAppendsAndInserts() {
        ImageControl c;
        const uint32_t h1 = HandleTable::instance().add(qova::test::madeImage(5, 5, 24));
        const uint32_t h2 = HandleTable::instance().add(qova::test::madeImage(7, 7, 24));
        c.insertBitmapListItem(-1, h1);
        c.insertBitmapListItem(-1, h2);
        c.insertBitmapListItem(0, h2);
        QCOMPARE(c.bitmapListCount(), 3);
        QCOMPARE(c.bitmapListIndex(), 1);  // the shown page stays the shown page
        QCOMPARE(c.bitmapWidth(), 5);
        HandleTable::instance().remove(h1);
        HandleTable::instance().remove(h2);
    }

    // Progress reaches the program only while notifications are enabled:
    // 0 first, rising, 100 last.
    void progressNotifications() {
        QTemporaryDir dir;
        const QString big = writeImage(dir, "big.jpg", 1600, 1200, 24, 1, kFmtJpeg);
        ImageControl c;
        QSignalSpy spy(&c, &ImageControl::progress);
        QCOMPARE(c.load(big, 0, 0, -1), int16_t(kOk));
        QCOMPARE(spy.count(), 0);
        c.setProgressEnabled(true);
        QCOMPARE(c.load(big, 0, 0, -1), int16_t(kOk));
        QVERIFY(spy.count() >= 3);
        QCOMPARE(spy.first().at(0).toInt(), 0);
        QCOMPARE(spy.last().at(0).toInt(), 100);
        int last = -1;
        for (const auto& args : spy) {
            QVERIFY(args.at(0).toInt() >= last);
            last = args.at(0).toInt();
        }
    }

    void displayRectanglesMakeTheZoomedView() {
        QTemporaryDir dir;
        ImageControl c;
        c.resize(400, 300);
        QCOMPARE(c.load(writeImage(dir, "z.png", 101, 101, 24), 0, 0, -1), int16_t(kOk));
        c.setViewMode(ImageControl::ViewFit);
        QCOMPARE(c.viewMode(), 3);
        c.setCallLogEnabled(true);
        c.setSourceRect(0, 0, 101, 101);
        c.setSourceClipRect(0, 0, 101, 101);
        c.setDisplayRect(0, 0, 152, 152);
        c.setDisplayClipRect(0, 0, 152, 152);
        QCOMPARE(c.callLog(), (std::vector<int>{325, 326, 323, 324}));
        QVERIFY(c.viewMode() != 0 && c.viewMode() != 1 && c.viewMode() != 3);
        QCOMPARE(c.displayRect(), QRectF(0, 0, 152, 152));
    }

    void paintsEachViewMode() {
        QTemporaryDir dir;
        ImageControl c;
        c.resize(200, 150);
        c.setFrameShape(QFrame::NoFrame);
        c.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        c.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        // Left half red, right half blue: fit must show both halves.
        Bitmap b = Bitmap::create(800, 600, 24);
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                uint8_t* p = b.mutableRow(y) + x * 3;
                p[0] = x < 400 ? 0 : 255; p[1] = 0; p[2] = x < 400 ? 255 : 0;
            }
        Document d;
        d.frames.push_back(Frame{b});
        c.setDocument(d);
        c.setViewMode(ImageControl::ViewFit);
        QImage shot = c.viewport()->grab().toImage();
        QCOMPARE(QColor(shot.pixel(20, 20)), QColor(255, 0, 0));
        QCOMPARE(QColor(shot.pixel(180, 20)), QColor(0, 0, 255));
        c.setViewMode(ImageControl::ViewNormal);
        shot = c.viewport()->grab().toImage();
        QCOMPARE(QColor(shot.pixel(180, 20)), QColor(255, 0, 0));  // 1:1 shows only the red half
        c.setDisplayRect(0, 0, 100, 75);
        c.setDisplayClipRect(0, 0, 100, 75);
        shot = c.viewport()->grab().toImage();
        QCOMPARE(QColor(shot.pixel(10, 10)), QColor(255, 0, 0));
        QCOMPARE(QColor(shot.pixel(90, 10)), QColor(0, 0, 255));
        QVERIFY(QColor(shot.pixel(150, 100)) != QColor(0, 0, 255));
    }

    // Reduced views average areas (a one-pixel checkerboard turns grey, where
    // picking pixels would show black or white); enlarged views are sharp
    // blocks of the source pixels.
    void reducedViewsAverageEnlargedOnesStaySharp() {
        ImageControl c;
        c.resize(200, 200);
        c.setFrameShape(QFrame::NoFrame);
        c.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        c.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        c.show();
        Bitmap board = Bitmap::create(400, 400, 8, true);
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x) board.mutableRow(y)[x] = (x + y) % 2 ? 255 : 0;
        Document d;
        d.frames.push_back(Frame{board});
        c.setDocument(d);
        for (int mode : {int(ImageControl::ViewFit), -1}) {
            if (mode < 0) {
                c.setDisplayRect(0, 0, 150, 150);   // zoomed down to 37.5 %
                c.setDisplayClipRect(0, 0, 150, 150);
            } else {
                c.setViewMode(mode);
            }
            const QImage shot = c.viewport()->grab().toImage();
            for (QPoint p : {QPoint(3, 3), QPoint(60, 101), QPoint(140, 140)})
                // (at 37.5 % a pixel covers 2⅔ squares, so not exactly half)
                QVERIFY2(qAbs(qGray(shot.pixel(p)) - 128) <= 12, qPrintable(QString::number(qGray(shot.pixel(p)))));
        }
        Bitmap four = Bitmap::create(2, 2, 24);
        const uint8_t colours[4][3] = {{0, 0, 255}, {0, 255, 0}, {255, 0, 0}, {255, 255, 255}};
        for (int i = 0; i < 4; ++i) std::memcpy(four.mutableRow(i / 2) + (i % 2) * 3, colours[i], 3);
        Document e;
        e.frames.push_back(Frame{four});
        c.setDocument(e);
        c.setDisplayRect(0, 0, 8, 8);   // 400 %
        c.setDisplayClipRect(0, 0, 8, 8);
        const QImage shot = c.viewport()->grab().toImage();
        const QColor want[4] = {Qt::red, Qt::green, Qt::blue, Qt::white};
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 8; ++x) QCOMPARE(QColor(shot.pixel(x, y)), want[(y / 4) * 2 + x / 4]);
    }

    // The rectangles belong to one picture: a new picture, a page of another
    // size or a resize starts from the whole new bitmap.
    void rectanglesFollowTheBitmapSize() {
        ImageControl c;
        c.resize(300, 200);
        Document d;
        d.frames.push_back(Frame{qova::test::madeImage(600, 400, 24)});
        c.setDocument(d);
        c.setDisplayRect(0, 0, 300, 200);
        c.setDisplayClipRect(0, 0, 300, 200);
        Document small;
        small.frames.push_back(Frame{qova::test::madeImage(64, 48, 24)});
        small.frames.push_back(Frame{qova::test::madeImage(64, 48, 24, 2)});
        small.frames.push_back(Frame{qova::test::madeImage(30, 20, 24, 3)});
        c.setDocument(small);
        QCOMPARE(c.displayRect(), QRectF(0, 0, 64, 48));
        QCOMPARE(c.sourceRect(), QRectF(0, 0, 64, 48));
        c.setDisplayRect(0, 0, 128, 96);
        c.setBitmapListIndex(1);   // same size: the zoom stays
        QCOMPARE(c.displayRect(), QRectF(0, 0, 128, 96));
        c.setBitmapListIndex(2);
        QCOMPARE(c.displayRect(), QRectF(0, 0, 30, 20));

        c.setCallLogEnabled(true);
        QCOMPARE(c.dispatch(dispid::Resize, {640, 480, 0}).toInt(), int(kOk));
        QCOMPARE(c.callLog(), std::vector<int>{dispid::Resize});
        QCOMPARE(c.bitmapWidth(), 640);
        QCOMPARE(c.bitmapHeight(), 480);
        QCOMPARE(c.displayRect(), QRectF(0, 0, 640, 480));
        QCOMPARE(c.resizeBitmap(0, 10, 1), int16_t(kErrBadSize));
        QCOMPARE(c.currentBitmap().width(), 640);
    }

    void mouseAndKeysInTwipsAndVirtualKeys() {
        ImageControl c;
        c.resize(200, 150);
        QSignalSpy down(&c, &ImageControl::mouseDown);
        QSignalSpy key(&c, &ImageControl::keyDown);
        QTest::mousePress(c.viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 20));
        QCOMPARE(down.count(), 1);
        QCOMPARE(down[0][0].toInt(), 1);
        QCOMPARE(down[0][1].toInt(), 1);
        const double perPixel = 1440.0 / c.logicalDpiX();
        QCOMPARE(down[0][2].toDouble(), 10 * perPixel);
        // Mouse events stay in twips while pixels are the unit in force
        // (handlers switch the unit and keep the last position between events).
        c.setCoordinateUnit(ImageControl::UnitPixels);
        QTest::mousePress(c.viewport(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 20));
        QCOMPARE(down[1][2].toDouble(), 10 * perPixel);
        QVERIFY_THROWS_EXCEPTION(EngineError, c.setCoordinateUnit(2));
        QTest::keyClick(&c, Qt::Key_Escape);
        QTest::keyClick(&c, Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyClick(&c, Qt::Key_3, Qt::KeypadModifier);
        // As on Windows, the modifier itself arrives first (16 = Shift).
        QList<QPair<int, int>> got;
        for (const auto& k : key) got.append({k[0].toInt(), k[1].toInt()});
        const QList<QPair<int, int>> want{{27, 0}, {16, 1}, {45, 1}, {99, 0}};
        QCOMPARE(got, want);
    }

    void dispatchTableReachesMembers() {
        QTemporaryDir dir;
        ImageControl c;
        const QString png = writeImage(dir, "d.png", 9, 8, 24);
        QCOMPARE(c.dispatch(dispid::Load, {png, 0, 0, -1}).toInt(), 0);
        QCOMPARE(c.dispatch(dispid::BitmapWidth).toInt(), 9);
        QCOMPARE(c.dispatch(dispid::InfoHeight).toInt(), 8);
        c.dispatchPut(dispid::ViewMode, 1);
        QCOMPARE(c.dispatch(dispid::ViewMode).toInt(), 1);
        c.dispatchPut(dispid::ImageSource, QString());
        QVERIFY(c.isEmpty());
        // Every id in the areas' tables answers (reads may fail on an empty
        // control, never as unknown), and no id is claimed twice.
        const std::vector<dispid::Entry> table = ImageControl::dispatchTable();
        QVERIFY(table.size() >= 36);
        std::set<int> ids;
        for (const auto& e : table) QVERIFY2(ids.insert(e.id).second, e.member);
        for (const auto& e : table) {
            if (e.id == dispid::Load || e.id == dispid::SaveFile || e.id == dispid::SaveFileWithStamp ||
                e.id == dispid::InsertBitmapListItem || e.id == dispid::CopyToClipboard ||
                e.id == dispid::AcquireTwain || e.id == dispid::SelectTwainSource)  // these look for scanners
                continue;
            try {
                c.dispatch(e.id, {0, 0, 1, 1});
            } catch (const EngineError& err) {
                QVERIFY2(err.number() == kErrBadHandle, e.member);
            }
        }
    }

    // The pan window frames the visible part; dragging the frame scrolls the view.
    void panWindowFollowsAndScrollsTheView() {
        ImageControl c;
        c.resize(200, 150);
        c.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        c.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Document d;
        d.frames.push_back(Frame{qova::test::madeImage(800, 600, 24)});
        c.setDocument(d);
        c.setViewMode(ImageControl::ViewNormal);
        const QSize vp = c.viewport()->size();
        QCOMPARE(c.visibleBitmapRect(), QRectF(0, 0, vp.width(), vp.height()));
        c.setCoordinateUnit(ImageControl::UnitPixels);
        c.setPanWindowLeft(50);
        c.setPanWindowTop(60);
        c.setPanWindowWidth(400);
        c.setPanWindowHeight(300);
        c.setPanWindowTitle("QOVA");
        c.showPanWindow(true);
        PanWindow* pan = c.panWindow();
        QVERIFY(pan->isVisible());
        QCOMPARE(pan->size(), QSize(400, 300));
        QCOMPARE(c.panWindowWidth(), 400.0);
        QCOMPARE(pan->windowTitle(), QString("QOVA"));
        const QRectF f = pan->frameRect();
        QCOMPARE(f.width(), vp.width() * 0.5);  // 800 pixels shown in 400
        // Drag the frame right and down by 50 window pixels = 100 bitmap pixels.
        const QPoint start = f.center().toPoint();
        QTest::mousePress(pan, Qt::LeftButton, Qt::NoModifier, start);
        QTest::mouseMove(pan, start + QPoint(50, 50));
        QTest::mouseRelease(pan, Qt::LeftButton, Qt::NoModifier, start + QPoint(50, 50));
        QCOMPARE(c.visibleBitmapRect().topLeft(), QPointF(100, 100));
        // Twips are the default unit: 15 per pixel at 96 dpi.
        c.setCoordinateUnit(ImageControl::UnitTwips);
        c.setPanWindowLeft(12288);
        QCOMPARE(pan->x(), int(std::lround(12288 * c.logicalDpiX() / 1440.0)));
    }

    // A zoomed picture that overhangs the control by a hair gets no scroll
    // bar; one that really overhangs does.
    void zoomedViewScrollsOnlyWhenItMatters() {
        ImageControl c;
        c.resize(300, 200);
        c.setFrameShape(QFrame::NoFrame);
        Document d;
        d.frames.push_back(Frame{qova::test::madeImage(600, 400, 24)});
        c.setDocument(d);
        const QSize vp = c.viewport()->size();
        c.setDisplayRect(0, 0, vp.width() + 3, vp.height());
        QCOMPARE(c.horizontalScrollBar()->maximum(), 0);
        c.setDisplayRect(0, 0, vp.width() + 40, vp.height());
        QVERIFY(c.horizontalScrollBar()->maximum() > 0);
    }

    void savesTheShownPage() {
        QTemporaryDir dir;
        ImageControl c;
        QCOMPARE(c.saveFile(dir.filePath("x.png"), kFmtPng, 0, 0, 0), int16_t(kErrBadHandle));
        QCOMPARE(c.load(writeImage(dir, "p.tif", 30, 20, 8, 2, kFmtTiff), 0, 0, -1), int16_t(kOk));
        c.setBitmapListIndex(1);
        QCOMPARE(c.saveFile(dir.filePath("x.png"), kFmtPng, 0, 0, 0), int16_t(kOk));
        QCOMPARE(c.saveFileWithStamp(dir.filePath("x.jpg"), kFmtJpeg, 24, 80, 40.f, 30.f, 24), int16_t(kOk));
        ImageControl back;
        QCOMPARE(back.load(dir.filePath("x.png"), 0, 0, -1), int16_t(kOk));
        QVERIFY(qova::test::samePixels(back.currentBitmap(), c.currentBitmap()));
    }

    // The "reduce large photos" option serves the one load it was set for:
    // the next load (a conversion, a list click) gets the whole picture.
    void loadOptionServesOneLoad() {
        QTemporaryDir dir;
        ImageControl c;
        const QSize screen = QGuiApplication::primaryScreen()->size() * QGuiApplication::primaryScreen()->devicePixelRatio();
        const QString big = writeImage(dir, "big.jpg", screen.width() * 2, screen.height() * 2, 24, 1, kFmtJpeg);
        c.setLoadOption(1);
        QCOMPARE(c.load(big, 0, 0, -1), int16_t(kOk));
        QVERIFY(c.bitmapWidth() <= screen.width());
        QCOMPARE(c.loadOption(), 0);
        QCOMPARE(c.load(big, 0, 0, -1), int16_t(kOk));
        QCOMPARE(c.bitmapWidth(), screen.width() * 2);
    }

    // The size a picture is fitted to is the control's, whatever scroll
    // bars the view before it showed.
    void controlSizeLeavesTheOldScrollBarsOut() {
        ImageControl c;
        c.resize(300, 200);
        c.show();
        const double w = c.controlWidthPx(), h = c.controlHeightPx();
        Document d;
        d.frames.push_back(Frame{qova::test::madeImage(900, 700, 24)});
        c.setDocument(d);
        c.setViewMode(ImageControl::ViewNormal);
        QTRY_VERIFY(c.horizontalScrollBar()->isVisible() || c.verticalScrollBar()->isVisible());
        QCOMPARE(c.controlWidthPx(), w);
        QCOMPARE(c.controlHeightPx(), h);
    }

    // Names that are not UTF-8 (Shift-JIS from old discs) load and save by
    // their real bytes and read as Japanese.
    void shiftJisNamesByTheirBytes() {
        QTemporaryDir dir;
        // "写真.png" in Shift-JIS.
        const std::string name = "\x8e\xca\x90\x5e.png";
        const std::string bytes = QFile::encodeName(dir.path()).toStdString() + "/" + name;
        const QString made = writeImage(dir, "made.png", 20, 10, 24);
        QVERIFY(::rename(QFile::encodeName(made).constData(), bytes.c_str()) == 0);
        const QString path = pathFromNative(bytes);
        QVERIFY(hasStrayBytes(path));
        QCOMPARE(nativePath(path), bytes);
        QCOMPARE(displayName(name), QStringLiteral("写真.png"));
        QCOMPARE(pathFromNative("plain/写真.png"), QStringLiteral("plain/写真.png"));
        ImageControl c;
        QCOMPARE(c.load(path, 0, 0, -1), int16_t(kOk));
        QCOMPARE(c.bitmapWidth(), 20);
        QCOMPARE(c.imageSource(), path);
        const std::string copy = QFile::encodeName(dir.path()).toStdString() + "/\x82\xa0.png";  // "あ.png"
        QCOMPARE(c.saveFile(pathFromNative(copy), kFmtPng, 0, 0, 0), int16_t(kOk));
        QVERIFY(::access(copy.c_str(), F_OK) == 0);
    }

    // A picture with transparency shows on white (as it is saved where a
    // format has no alpha), at its own size and reduced.
    void transparencyShowsOnWhite() {
        Bitmap rgba = Bitmap::createFilled(40, 40, 32, false, 0);
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) {
                uint8_t* p = rgba.mutableRow(y) + x * 4;
                p[2] = 255;  // red everywhere, opaque only in the middle
                p[3] = (x >= 10 && x < 30 && y >= 10 && y < 30) ? 255 : 0;
            }
        Document d;
        d.frames.push_back(Frame{rgba});
        for (int mode : {int(ImageControl::ViewNormal), int(ImageControl::ViewFit)}) {
            ImageControl c;
            c.setFrameShape(QFrame::NoFrame);
            c.resize(mode == ImageControl::ViewFit ? 20 : 100, mode == ImageControl::ViewFit ? 20 : 100);
            c.setDocument(d);
            c.setViewMode(mode);
            const QImage shot = c.viewport()->grab().toImage();
            const int k = mode == ImageControl::ViewFit ? 2 : 1;  // the fit halves it
            QCOMPARE(QColor(shot.pixel(2 / k, 2 / k)), QColor(Qt::white));
            QCOMPARE(QColor(shot.pixel(20 / k, 20 / k)), QColor(Qt::red));
        }
    }
};

QTEST_MAIN(TestImageControl)
#include "test_image_control.moc"
