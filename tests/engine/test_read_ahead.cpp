// Decoding ahead serves later loads with the same result as a plain load,
// and never a stale one; it holds only what it may, by decoded size; its
// worker ends with its owner.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include "engine/core/codes.h"
#include "engine/core/document.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/core/formats/read_ahead.h"
#include "engine/core/view_copy.h"
#include "engine/image_control.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

std::string writeJpeg(QTemporaryDir& dir, const QString& name, unsigned seed) {
    Document d;
    d.frames.push_back(Frame{qova::test::madeImage(64, 48, 24, seed)});
    return qova::test::saveFixture(d, dir.filePath(name), kFmtJpeg).toStdString();
}

}  // namespace

class TestReadAhead : public QObject {
    Q_OBJECT
private slots:
    void servesTheSamePictureOnce() {
        QTemporaryDir dir;
        ReadAhead ahead;
        const std::string a = writeJpeg(dir, "a.jpg", 1), b = writeJpeg(dir, "b.jpg", 2);
        ahead.prefetch({a, b});
        QTRY_COMPARE(ahead.heldCount(), size_t(2));
        Document fromB, fromA, plain;
        int16_t code = -1;
        QVERIFY(ahead.take(b, fromB, code));
        QCOMPARE(code, int16_t(kOk));
        QVERIFY(ahead.take(a, fromA, code));
        LoadRequest r;
        r.path = a;
        QCOMPARE(loadFile(r, plain), int16_t(kOk));
        QVERIFY(qova::test::samePixels(fromA.frames[0].bitmap, plain.frames[0].bitmap));
        QCOMPARE(fromA.info.sizeBytes, plain.info.sizeBytes);
        // Taken means gone: the next load decodes again.
        QVERIFY(!ahead.take(a, fromA, code));
        QVERIFY(!ahead.take(dir.filePath("never.jpg").toStdString(), fromA, code));
    }

    // Asked for, the view's reduced copy comes with the picture, the same
    // as one made from a plain load; a file changed since gives neither.
    void reducedCopyComesWithThePicture() {
        QTemporaryDir dir;
        ReadAhead ahead;
        Document big;
        big.frames.push_back(Frame{qova::test::madeImage(640, 480, 24, 5)});
        const std::string a = qova::test::saveFixture(big, dir.filePath("a.jpg"), kFmtJpeg).toStdString();
        const std::string b = qova::test::saveFixture(big, dir.filePath("b.jpg"), kFmtJpeg).toStdString();
        ahead.prefetch({a, b}, [](int w, int h) { return std::pair<int, int>(w / 5, h / 5); });
        QTRY_VERIFY(ahead.idle());
        Document doc, plain;
        Bitmap copy;
        int16_t code = 0;
        QVERIFY(!ahead.takeViewCopy(a, copy));  // nothing taken yet
        QVERIFY(ahead.take(a, doc, code));
        QVERIFY(!ahead.takeViewCopy(b, copy));  // another file's
        QVERIFY(ahead.takeViewCopy(a, copy));
        QCOMPARE(copy.width(), 128);
        QCOMPARE(copy.height(), 96);
        LoadRequest r;
        r.path = a;
        QCOMPARE(loadFile(r, plain), int16_t(kOk));
        QVERIFY(qova::test::samePixels(copy, reducedCopy(plain.frames[0].bitmap, 128, 96)));
        QVERIFY(!ahead.takeViewCopy(a, copy));  // taken once
        // Rewritten after it was read ahead: neither picture nor copy.
        Document other;
        other.frames.push_back(Frame{qova::test::madeImage(320, 200, 24, 6)});
        qova::test::saveFixture(other, QString::fromStdString(b), kFmtJpeg);
        QVERIFY(!ahead.take(b, doc, code));
        QVERIFY(!ahead.takeViewCopy(b, copy));
    }

    void changedFileIsNotServed() {
        QTemporaryDir dir;
        ReadAhead ahead;
        const std::string a = writeJpeg(dir, "a.jpg", 1);
        ahead.prefetch({a});
        QTRY_COMPARE(ahead.heldCount(), size_t(1));
        writeJpeg(dir, "a.jpg", 9);  // rewritten after it was read ahead
        QFile f(QString::fromStdString(a));
        QVERIFY(f.open(QIODevice::Append));
        f.write("x");  // make sure size and time both move
        f.close();
        Document doc;
        int16_t code = 0;
        QVERIFY(!ahead.take(a, doc, code));
    }

    void brokenFileKeepsItsCode() {
        QTemporaryDir dir;
        ReadAhead ahead;
        QFile f(dir.filePath("bad.jpg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8\xFF\xE0 this is not a picture");
        f.close();
        ahead.prefetch({f.fileName().toStdString()});
        QTRY_COMPARE(ahead.heldCount(), size_t(1));
        Document doc;
        int16_t code = 0;
        QVERIFY(ahead.take(f.fileName().toStdString(), doc, code));
        QVERIFY(code >= 20000);
        QVERIFY(doc.frames.empty());
    }

    // A small file that decodes to a huge picture is measured by what it
    // decodes to: it is never read ahead, and the pictures held before it
    // stay held.
    void guardCountsDecodedSize() {
        QTemporaryDir dir;
        ReadAhead ahead;
        ahead.setLimits(3, 16u << 20);
        const std::string a = writeJpeg(dir, "a.jpg", 1);
        // 3000 × 3000 of one colour: a few kilobytes as PNG, 27 MB decoded.
        Document big;
        Bitmap flat = Bitmap::createFilled(3000, 3000, 24, false, 0x80);
        big.frames.push_back(Frame{flat});
        const std::string b = qova::test::saveFixture(big, dir.filePath("b.png"), kFmtPng).toStdString();
        QVERIFY(QFileInfo(QString::fromStdString(b)).size() < 200000);
        ahead.prefetch({a, b});
        QTRY_VERIFY(ahead.idle());
        QCOMPARE(ahead.heldCount(), size_t(1));  // a alone: b was not decoded to be dropped
        Document doc;
        int16_t code = 0;
        QVERIFY(!ahead.take(b, doc, code));
        QVERIFY(ahead.take(a, doc, code));
        QCOMPARE(doc.frames[0].bitmap.width(), 64);
    }

    // The control loads through the read-ahead it is given, and through
    // none when it has none.
    void controlUsesTheReadAheadItIsGiven() {
        QTemporaryDir dir;
        const std::string a = writeJpeg(dir, "a.jpg", 3);
        ImageControl c;
        c.readAhead({QString::fromStdString(a)});  // none given: nothing happens
        ReadAhead ahead;
        c.setReadAhead(&ahead);
        c.readAhead({QString::fromStdString(a)});
        QTRY_COMPARE(ahead.heldCount(), size_t(1));
        Document doc;
        int16_t code = 0;
        QCOMPARE(c.load(QString::fromStdString(a), 0, 0, -1), int16_t(kOk));
        QCOMPARE(c.bitmapWidth(), 64);
        QCOMPARE(c.infoSize(), double(QFileInfo(QString::fromStdString(a)).size()));
        QVERIFY(!ahead.take(a, doc, code));  // the load took it
        c.setReadAhead(nullptr);
    }

    // Turning back: the picture left is handed to the read-ahead as its file
    // gave it (an edit made since does not come back with it) and serves the
    // next load of that file without a decode; once the file changes it is
    // read again; the picture left before it goes when another is left.
    void pictureLeftServesTurningBack() {
        QTemporaryDir dir;
        ReadAhead ahead;
        ImageDocument doc;
        doc.setReadAhead(&ahead);
        const std::string a = writeJpeg(dir, "a.jpg", 1), b = writeJpeg(dir, "b.jpg", 2),
                          c = writeJpeg(dir, "c.jpg", 3);
        Document plainA;
        LoadRequest r;
        r.path = a;
        QCOMPARE(loadFile(r, plainA), int16_t(kOk));

        QCOMPARE(doc.load(a, 0, 0, -1), int16_t(kOk));
        // An edit of the shown picture stays with the document only.
        QCOMPARE(doc.applyToPage([](Bitmap& page, const Region*) {
            page.mutableRow(0)[0] ^= 0xFF;
            return int16_t(kOk);
        }), int16_t(kOk));
        QCOMPARE(doc.load(b, 0, 0, -1), int16_t(kOk));
        QCOMPARE(ahead.holding(a), ReadAhead::Holding::Ready);
        QCOMPARE(doc.load(a, 0, 0, -1), int16_t(kOk));
        QVERIFY(qova::test::samePixels(doc.currentBitmap(), plainA.frames[0].bitmap));
        QCOMPARE(ahead.holding(b), ReadAhead::Holding::Ready);  // left in turn

        // Leaving c drops b (only the picture last left is kept).
        QCOMPARE(doc.load(c, 0, 0, -1), int16_t(kOk));
        QCOMPARE(ahead.holding(a), ReadAhead::Holding::Ready);
        QCOMPARE(ahead.holding(b), ReadAhead::Holding::None);
        ahead.prefetch({});  // the walk asks for nothing else: the picture left stays
        QCOMPARE(ahead.holding(a), ReadAhead::Holding::Ready);

        // The file rewritten after it was left: read again, not served.
        writeJpeg(dir, "a.jpg", 8);  // another picture (the seed picks the pattern by its parity)
        QFile f(QString::fromStdString(a));
        QVERIFY(f.open(QIODevice::Append));
        f.write("x");
        f.close();
        Document newA;
        QCOMPARE(loadFile(r, newA), int16_t(kOk));
        QCOMPARE(doc.load(a, 0, 0, -1), int16_t(kOk));
        QVERIFY(qova::test::samePixels(doc.currentBitmap(), newA.frames[0].bitmap));
        QVERIFY(!qova::test::samePixels(doc.currentBitmap(), plainA.frames[0].bitmap));

        // A picture put in some other way is no file's: nothing is handed on.
        doc.setDocument(plainA);
        QCOMPARE(doc.load(b, 0, 0, -1), int16_t(kOk));
        QCOMPARE(ahead.holding(a), ReadAhead::Holding::None);
        doc.setReadAhead(nullptr);
    }

    // The worker lives as long as its owner: gone (joined) when it goes,
    // even with work queued.
    // A picture the view shows at a quarter or less: a reduced preview
    // first, with the whole picture's size, while the document keeps the
    // picture before (nothing acts on the preview); then the whole picture.
    // Decoding ahead or a picture near the view's size: no preview. A file
    // that fails keeps the picture before.
    void largePictureShowsAPreviewFirst() {
        QTemporaryDir dir;
        Document big;
        big.frames.push_back(Frame{qova::test::madeImage(1600, 1200, 24, 9)});
        const std::string path = qova::test::saveFixture(big, dir.filePath("big.jpg"), kFmtJpeg).toStdString();
        const std::string small = writeJpeg(dir, "small.jpg", 3);
        ImageDocument doc;
        QCOMPARE(doc.load(small, 0, 0, -1), int16_t(kOk));
        int previews = 0;
        auto preview = [&](const Bitmap& b, int w, int h) {
            ++previews;
            QCOMPARE(w, 1600);
            QCOMPARE(h, 1200);
            QVERIFY(b.width() >= 200 && b.width() <= 400);  // decoded at 1/4 or 1/8
            QCOMPARE(doc.bitmapWidth(), 64);  // still the picture before
            QCOMPARE(doc.imageSource(), small);
        };
        QCOMPARE(doc.loadWithPreview(path, 200, 150, preview), int16_t(kOk));
        QCOMPARE(previews, 1);
        QCOMPARE(doc.bitmapWidth(), 1600);
        QCOMPARE(doc.info().width, 1600);
        QCOMPARE(doc.imageSource(), path);
        LoadRequest r;
        r.path = path;
        Document plain;
        QCOMPARE(loadFile(r, plain), int16_t(kOk));
        QVERIFY(qova::test::samePixels(doc.currentBitmap(), plain.frames[0].bitmap));

        // Shown at more than a quarter: decoded once, no preview.
        QCOMPARE(doc.loadWithPreview(path, 800, 600, preview), int16_t(kOk));
        QCOMPARE(previews, 1);

        // Decoded ahead: served as it is.
        ReadAhead ahead;
        doc.setReadAhead(&ahead);
        ahead.prefetch({path});
        QTRY_VERIFY(ahead.idle());
        QCOMPARE(doc.load(small, 0, 0, -1), int16_t(kOk));
        QCOMPARE(doc.loadWithPreview(path, 200, 150, preview), int16_t(kOk));
        QCOMPARE(previews, 1);
        QCOMPARE(doc.bitmapWidth(), 1600);
        doc.setReadAhead(nullptr);

        // Cut off in its pixels: a failure, and the picture before stays.
        QCOMPARE(doc.load(small, 0, 0, -1), int16_t(kOk));
        QFile f(QString::fromStdString(path));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray whole = f.readAll();
        f.close();
        const QString cut = dir.filePath("cut.jpg");
        QFile c(cut);
        QVERIFY(c.open(QIODevice::WriteOnly));
        c.write(whole.left(whole.size() / 3));
        c.write("\xFF\xD9");
        c.close();
        const int16_t code = doc.loadWithPreview(cut.toStdString(), 200, 150, preview);
        if (code != kOk) {
            QCOMPARE(doc.bitmapWidth(), 64);
            QCOMPARE(doc.imageSource(), small);
        } else {
            QCOMPARE(doc.bitmapWidth(), 1600);  // filled out, as a plain load does
        }
        Document plainCut;
        LoadRequest rc;
        rc.path = cut.toStdString();
        QCOMPARE(code, loadFile(rc, plainCut));
    }

    void workerEndsWithItsOwner() {
        QTemporaryDir dir;
        std::vector<std::string> files;
        for (int i = 0; i < 6; ++i) files.push_back(writeJpeg(dir, QString("f%1.jpg").arg(i), unsigned(i)));
        const int before = ReadAhead::runningWorkers();
        auto ahead = std::make_unique<ReadAhead>();
        ahead->prefetch(files);
        QCOMPARE(ReadAhead::runningWorkers(), before + 1);
        ahead.reset();
        QCOMPARE(ReadAhead::runningWorkers(), before);
    }
};

QTEST_MAIN(TestReadAhead)
#include "test_read_ahead.moc"
