// Decoding ahead serves later loads with the same result as a plain load,
// and never a stale one.
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/core/formats/read_ahead.h"
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
    void cleanup() { ReadAhead::instance().clear(); }

    void servesTheSamePictureOnce() {
        QTemporaryDir dir;
        const std::string a = writeJpeg(dir, "a.jpg", 1), b = writeJpeg(dir, "b.jpg", 2);
        ReadAhead::instance().prefetch({a, b});
        QTRY_COMPARE(ReadAhead::instance().heldCount(), size_t(2));
        Document fromB, fromA, plain;
        int16_t code = -1;
        QVERIFY(ReadAhead::instance().take(b, fromB, code));
        QCOMPARE(code, int16_t(kOk));
        QVERIFY(ReadAhead::instance().take(a, fromA, code));
        LoadRequest r;
        r.path = a;
        QCOMPARE(loadFile(r, plain), int16_t(kOk));
        QVERIFY(qova::test::samePixels(fromA.frames[0].bitmap, plain.frames[0].bitmap));
        QCOMPARE(fromA.info.sizeBytes, plain.info.sizeBytes);
        // Taken means gone: the next load decodes again.
        QVERIFY(!ReadAhead::instance().take(a, fromA, code));
        QVERIFY(!ReadAhead::instance().take(dir.filePath("never.jpg").toStdString(), fromA, code));
    }

    void changedFileIsNotServed() {
        QTemporaryDir dir;
        const std::string a = writeJpeg(dir, "a.jpg", 1);
        ReadAhead::instance().prefetch({a});
        QTRY_COMPARE(ReadAhead::instance().heldCount(), size_t(1));
        writeJpeg(dir, "a.jpg", 9);  // rewritten after it was read ahead
        QFile f(QString::fromStdString(a));
        QVERIFY(f.open(QIODevice::Append));
        f.write("x");  // make sure size and time both move
        f.close();
        Document doc;
        int16_t code = 0;
        QVERIFY(!ReadAhead::instance().take(a, doc, code));
    }

    void brokenFileKeepsItsCode() {
        QTemporaryDir dir;
        QFile f(dir.filePath("bad.jpg"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("\xFF\xD8\xFF\xE0 this is not a picture");
        f.close();
        ReadAhead::instance().prefetch({f.fileName().toStdString()});
        QTRY_COMPARE(ReadAhead::instance().heldCount(), size_t(1));
        Document doc;
        int16_t code = 0;
        QVERIFY(ReadAhead::instance().take(f.fileName().toStdString(), doc, code));
        QVERIFY(code >= 20000);
        QVERIFY(doc.frames.empty());
    }

    // The control takes a picture read ahead and reports it like any load.
    void controlUsesReadAhead() {
        QTemporaryDir dir;
        const std::string a = writeJpeg(dir, "a.jpg", 3);
        ImageControl c;
        c.readAhead({QString::fromStdString(a)});
        QTRY_COMPARE(ReadAhead::instance().heldCount(), size_t(1));
        Document doc;
        int16_t code = 0;
        QCOMPARE(c.load(QString::fromStdString(a), 0, 0, -1), int16_t(kOk));
        QCOMPARE(c.bitmapWidth(), 64);
        QCOMPARE(c.infoSize(), double(QFileInfo(QString::fromStdString(a)).size()));
        QVERIFY(!ReadAhead::instance().take(a, doc, code));
    }
};

QTEST_MAIN(TestReadAhead)
#include "test_read_ahead.moc"
