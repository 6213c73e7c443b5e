// The engine's document apart from any view (the hidden stores are such
// documents), the handle mechanism it names its page by, and replacing a
// file so that a failure leaves the old one whole.
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdint>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/document.h"
#include "engine/core/engine_error.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/core/formats/write_file.h"
#include "engine/core/handle_registry.h"
#include "engine/core/handles.h"
#include "engine/core/ops/ranges.h"
#include "engine/image_store.h"
#include "support/images.h"

using namespace qova::engine;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

}  // namespace

class TestDocument : public QObject {
    Q_OBJECT
private slots:
    // A store as the undo snapshot uses it: put a handle, read the size,
    // empty it; its handle keeps naming its own bitmap.
    void storeTakesAndEmptiesBitmaps() {
        ImageStore undo(QStringLiteral("Img4"));
        QCOMPARE(undo.objectName(), QStringLiteral("Img4"));
        QVERIFY(undo.isEmpty());
        QCOMPARE(undo.bitmapHandle(), 0u);
        QVERIFY_THROWS_EXCEPTION(EngineError, undo.bitmapWidth());
        const uint32_t h = HandleTable::instance().add(qova::test::madeImage(12, 7, 8));
        undo.setBitmapHandle(h);
        QCOMPARE(undo.bitmapWidth(), 12);
        QCOMPARE(undo.bitmapHeight(), 7);
        QCOMPARE(undo.bitsPerPixel(), 8);
        QCOMPARE(undo.info().pageCount, 1);
        // Its own handle names what it holds now, not a copy of the past.
        ImageStore other(QStringLiteral("Img5"));
        other.setBitmapHandle(undo.bitmapHandle());
        QVERIFY(other.currentBitmap().sharesWith(undo.currentBitmap()));
        undo.setBitmapHandle(0);
        QVERIFY(undo.isEmpty());
        QCOMPARE(other.bitmapWidth(), 12);
        QVERIFY_THROWS_EXCEPTION(EngineError, undo.setBitmapHandle(h + 1000000));
        HandleTable::instance().remove(h);
    }

    void storeLoadsAndSaves() {
        QTemporaryDir dir;
        const QString tif = dir.filePath("two.tif");
        Document two;
        two.frames.push_back(Frame{qova::test::madeImage(20, 10, 24, 1)});
        two.frames.push_back(Frame{qova::test::madeImage(30, 15, 24, 2)});
        SaveRequest r;
        r.path = tif.toStdString();
        r.format = kFmtTiff;
        QCOMPARE(saveFile(two, r), int16_t(kOk));
        ImageStore frames(QStringLiteral("Img2"));
        frames.setPreLoad(true);
        QCOMPARE(frames.load(tif, 0, 0, -1), int16_t(kOk));
        QVERIFY(!frames.preLoad());
        QCOMPARE(frames.bitmapListCount(), 2);
        QCOMPARE(frames.info().width, 20);
        QCOMPARE(frames.load(dir.filePath("missing.tif"), 0, 0, -1), int16_t(kErrNotFound));
        QCOMPARE(frames.bitmapListCount(), 2);   // a failed load keeps what was there
        frames.setBitmapListIndex(1);
        SaveRequest back;
        back.path = dir.filePath("page.png").toStdString();
        back.format = kFmtPng;
        QCOMPARE(frames.save(back), int16_t(kOk));
        ImageStore check(QStringLiteral("Img3"));
        QCOMPARE(check.load(dir.filePath("page.png"), 0, 0, -1), int16_t(kOk));
        QCOMPARE(check.bitmapWidth(), 30);
        frames.setImageSource(QString());
        QVERIFY(frames.isEmpty());
        QVERIFY_THROWS_EXCEPTION(EngineError, frames.setImageSource(dir.filePath("missing.tif")));
        QCOMPARE(frames.save(back), int16_t(kErrBadHandle));
    }

    // What a view is told: a new picture, a page of another size, or only new pixels.
    void changesTellTheViewWhatHappened() {
        ImageDocument doc;
        std::vector<ImageDocument::Change> seen;
        doc.setListener([&](ImageDocument::Change c) { seen.push_back(c); });
        Document d;
        d.frames.push_back(Frame{qova::test::madeImage(8, 8, 24)});
        d.frames.push_back(Frame{qova::test::madeImage(8, 8, 24, 2)});
        d.frames.push_back(Frame{qova::test::madeImage(4, 4, 24)});
        doc.setDocument(d);
        doc.setBitmapListIndex(1);
        doc.setBitmapListIndex(2);
        doc.setCurrentBitmap(qova::test::madeImage(4, 4, 24, 3));
        doc.setCurrentBitmap(qova::test::madeImage(5, 4, 24));
        using C = ImageDocument::Change;
        QCOMPARE(seen, (std::vector<C>{C::Replaced, C::Pixels, C::Resized, C::Pixels, C::Resized}));
        QVERIFY_THROWS_EXCEPTION(EngineError, doc.setBitmapListIndex(3));
        QCOMPARE(doc.bitmapListIndex(), 2);
    }

    // The operations the stores share with the control: a combine changes only
    // pixels inside the destination's region, a failing operation leaves the
    // page as it was, and a new picture drops the region it had.
    void sharedOperationsHonourTheRegion() {
        ImageStore dst(QStringLiteral("Img1"));
        QCOMPARE(dst.greyscale(8), int16_t(kErrBadHandle));
        QCOMPARE(dst.createBitmap(10, 6, 24), int16_t(kOk));
        QCOMPARE(dst.bitmapWidth(), 10);
        QCOMPARE(dst.currentBitmap().pixel(0, 0), (Rgb{255, 255, 255}));
        const uint32_t black = HandleTable::instance().add(Bitmap::createFilled(10, 6, 24, false, 0));
        dst.setRegion(Region::rectangle(RectI{2, 1, 3, 2}));
        QCOMPARE(dst.combine(0, 0, 10, 6, black, 0, 0, ops::kCombineCopy), int16_t(kOk));
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= 2 && x < 5 && y >= 1 && y < 3;
                QCOMPARE(dst.currentBitmap().pixel(x, y), inside ? (Rgb{0, 0, 0}) : (Rgb{255, 255, 255}));
            }
        const Bitmap before = dst.currentBitmap();
        QCOMPARE(dst.greyscale(5), int16_t(kErrBadParam));
        QVERIFY(qova::test::samePixels(dst.currentBitmap(), before));
        QCOMPARE(dst.combine(0, 0, 1, 1, 0, 0, 0, ops::kCombineCopy), int16_t(kErrBadHandle));
        QVERIFY(dst.hasRegion());
        QCOMPARE(dst.createBitmap(4, 4, 24), int16_t(kOk));
        QVERIFY(!dst.hasRegion());
        QCOMPARE(dst.greyscale(8), int16_t(kOk));
        QCOMPARE(dst.bitsPerPixel(), 8);
        HandleTable::instance().remove(black);
    }

    // Handles are never 0, and after the counter wraps a number still in use
    // is skipped rather than given out twice.
    void handlesSkipNumbersInUse() {
        HandleRegistry<int8_t, int> r;
        std::vector<int8_t> hs;
        for (int i = 0; i < 127; ++i) hs.push_back(r.add(i));
        QCOMPARE(int(hs.front()), 1);
        QCOMPARE(int(hs.back()), 127);
        QVERIFY(r.remove(hs[4]));       // 5 is free again
        QVERIFY(!r.remove(hs[4]));
        QCOMPARE(int(r.add(1000 % 100)), 5);   // wrapped past 127 and 0, skipped 1 to 4
        QCOMPARE(*r.get(5), 0);
        QVERIFY(!r.get(0));
        QVERIFY(r.update(5, [](int& v) { v = 77; return true; }));
        QCOMPARE(*r.get(5), 77);
        QCOMPARE(r.size(), size_t(127));
    }

    // A replacement that fails leaves the old file as it was and no
    // temporary beside it; one that succeeds keeps the old file's mode and
    // replaces the file a link names, not the link.
    void replacingAFileIsAllOrNothing() {
        QTemporaryDir dir;
        const QString target = dir.filePath("keep.dat");
        writeBytes(target, "old contents");
        ::chmod(QFile::encodeName(target).constData(), 0640);
        const int16_t failed = replaceFile(target.toStdString(), [](const std::string& tmp) {
            std::FILE* f = std::fopen(tmp.c_str(), "wb");
            std::fputs("half", f);
            std::fclose(f);
            return int16_t(kErrWrite);
        });
        QCOMPARE(failed, int16_t(kErrWrite));
        QCOMPARE(bytesOf(target), QByteArray("old contents"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        const QString link = dir.filePath("link.dat");
        QVERIFY(QFile::link(target, link));
        const QString source = dir.filePath("new.dat");
        writeBytes(source, "new contents");
        QCOMPARE(copyFileReplacing(source.toStdString(), link.toStdString()), int16_t(kOk));
        QCOMPARE(bytesOf(target), QByteArray("new contents"));
        QVERIFY(QFileInfo(link).isSymLink());
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0640);
        QCOMPARE(copyFileReplacing(dir.filePath("none").toStdString(), target.toStdString()), int16_t(kErrWrite));
        QCOMPARE(bytesOf(target), QByteArray("new contents"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 3);
    }
};

QTEST_MAIN(TestDocument)
#include "test_document.moc"
