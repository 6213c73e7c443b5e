// A save keeps what the user sees and what the file said: its resolution,
// its colours (fewer of them only by the user's choice, and then well
// chosen), its transparency as the view shows it, a file the user may not
// write, and a stamp as large as the format allows.
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/core/formats/write_file.h"
#include "support/images.h"

using namespace qova::engine;
using qova::test::sample;

namespace {

int16_t load(const QString& path, Document& doc) {
    LoadRequest r;
    r.path = path.toStdString();
    return loadFile(r, doc);
}

int16_t save(const Document& d, const QString& path, int format, int bpp = 0) {
    SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    r.bpp = bpp;
    return saveFile(d, r);
}

Document one(const Bitmap& b) {
    Document d;
    d.frames.push_back(Frame{b});
    return d;
}

// Peak signal-to-noise ratio over the three channels, in dB.
double psnr(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const Rgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += double(p.r - q.r) * (p.r - q.r) + double(p.g - q.g) * (p.g - q.g) + double(p.b - q.b) * (p.b - q.b);
        }
    const double mse = sum / (3.0 * a.width() * a.height());
    return mse == 0 ? 99 : 10 * std::log10(255.0 * 255.0 / mse);
}

bool isGreyPixel(const Rgb& c) { return c.r == c.g && c.g == c.b; }

}  // namespace

class TestSaveFaithful : public QObject {
    Q_OBJECT
    QTemporaryDir tmp;
    QString path(const QString& n) const { return tmp.filePath(n); }

private slots:
    // A 400 dpi fax stays 400 dpi in every format that stores a resolution.
    void resolutionKeptFromLoadToSave_data() {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("bpp");
        QTest::addColumn<QString>("name");
        QTest::newRow("TIFF G4") << int(kFmtTiffG4) << 1 << "fax.tif";
        QTest::newRow("TIFF LZW") << int(kFmtTiffLzw) << 24 << "a.tif";
        QTest::newRow("JPEG") << int(kFmtJpeg) << 24 << "a.jpg";
        QTest::newRow("PNG") << int(kFmtPng) << 24 << "a.png";
        QTest::newRow("BMP") << int(kFmtBmp) << 24 << "a.bmp";
        QTest::newRow("PCX") << int(kFmtPcx) << 24 << "a.pcx";
    }
    void resolutionKeptFromLoadToSave() {
        QFETCH(int, format);
        QFETCH(int, bpp);
        QFETCH(QString, name);
        Frame f{qova::test::madeImage(64, 48, bpp)};
        f.dpiX = 400;
        f.dpiY = 200;
        Document d;
        d.frames.push_back(f);
        QCOMPARE(save(d, path(name), format, bpp), int16_t(kOk));
        Document back;
        QCOMPARE(load(path(name), back), int16_t(kOk));
        QVERIFY2(std::abs(back.frames[0].dpiX - 400) < 0.5, qPrintable(QString::number(back.frames[0].dpiX)));
        QVERIFY(std::abs(back.frames[0].dpiY - 200) < 0.5);
        // Saved again (a conversion of the conversion), still the same.
        QCOMPARE(save(back, path("again-" + name), format, bpp), int16_t(kOk));
        Document again;
        QCOMPARE(load(path("again-" + name), again), int16_t(kOk));
        QVERIFY(std::abs(again.frames[0].dpiX - 400) < 0.5);
        // A picture with no resolution gets the usual 96.
        QCOMPARE(save(one(qova::test::madeImage(8, 8, bpp)), path("none-" + name), format, bpp), int16_t(kOk));
        QCOMPARE(load(path("none-" + name), again), int16_t(kOk));
        QVERIFY(again.frames[0].dpiX == 0 || std::abs(again.frames[0].dpiX - 96) < 0.5);
    }

    void resolutionReadFromPsd() {
        QOVA_REQUIRE_SAMPLES();
        Document d;
        QCOMPARE(load(sample("hopper.psd"), d), int16_t(kOk));
        QVERIFY(d.frames[0].dpiX > 0);
        QCOMPARE(d.frames[0].dpiX, d.frames[0].dpiY);
    }

    // The depth a save starts at: the picture's own where the format writes
    // it, else the richest colour; grey depths only for grey pictures.
    void startDepthFollowsThePicture() {
        const FormatInfo& jpeg = *findFormat(kFmtJpeg);
        const FormatInfo& gif = *findFormat(kFmtGif);
        const FormatInfo& lzw = *findFormat(kFmtTiffLzw);
        const FormatInfo& g4 = *findFormat(kFmtTiffG4);
        QCOMPARE(startDepth(jpeg, {24, false}), 24);
        QCOMPARE(startDepth(jpeg, {8, false}), 24);  // a GIF's palette colours are no grey levels
        QCOMPARE(startDepth(jpeg, {8, true}), 8);
        QCOMPARE(startDepth(jpeg, {32, false}), 24);
        QCOMPARE(startDepth(gif, {24, false}), 8);
        QCOMPARE(startDepth(gif, {1, false}), 1);
        QCOMPARE(startDepth(lzw, {1, false}), 1);
        QCOMPARE(startDepth(lzw, {32, false}), 32);
        QCOMPARE(startDepth(lzw, {16, true}), 16);   // grey stays grey where the format has it
        QCOMPARE(startDepth(*findFormat(kFmtPng), {16, false}), 32);  // 16 is grey there: the richest colour instead
        QCOMPARE(startDepth(g4, {24, false}), 1);     // the only depth there is
        // Saving with depth 0 takes that depth: a GIF's colours stay colours in a JPEG.
        Bitmap pal = qova::test::madeImage(40, 30, 24);
        Document gifDoc = one(pal);
        QCOMPARE(save(gifDoc, path("p.gif"), kFmtGif, 8), int16_t(kOk));
        Document back;
        QCOMPARE(load(path("p.gif"), back), int16_t(kOk));
        QCOMPARE(save(back, path("p.jpg"), kFmtJpeg, 0), int16_t(kOk));
        QCOMPARE(load(path("p.jpg"), back), int16_t(kOk));
        QCOMPARE(back.frames[0].bitmap.bpp(), 24);
    }

    // Depths that write grey are marked grey, and a colour picture saved
    // at any other depth keeps its colour.
    void everyDepthWritesWhatItSays() {
        const Bitmap colour = qova::test::madeImage(48, 32, 24);
        for (const FormatInfo& f : formatTable()) {
            if (f.code == kFmtEps) continue;  // an outside program; covered by the format tests
            for (int bpp : f.writeBpp) {
                if (bpp == 1) continue;  // black and white either way
                const QString p = path(QString("d%1_%2.%3").arg(int(f.code)).arg(bpp).arg(f.extension));
                QCOMPARE(save(one(colour), p, f.code, bpp), int16_t(kOk));
                Document back;
                QCOMPARE(load(p, back), int16_t(kOk));
                const Bitmap& b = back.frames[0].bitmap;
                bool anyColour = false;
                for (int y = 0; y < b.height() && !anyColour; ++y)
                    for (int x = 0; x < b.width() && !anyColour; ++x) anyColour = !isGreyPixel(b.pixel(x, y));
                QVERIFY2(anyColour != writesGrey(f, bpp),
                         qPrintable(QString("%1 at %2 bits").arg(QString::fromUtf8(f.name)).arg(bpp)));
            }
        }
        QVERIFY(writesGrey(*findFormat(kFmtPict), 8));
        QVERIFY(writesGrey(*findFormat(kFmtPpm), 8));
        QVERIFY(writesGrey(*findFormat(kFmtPng), 16));
        QVERIFY(!writesGrey(*findFormat(kFmtPng), 8));
    }

    // A name's extension names its writer; an unknown one names none.
    void extensionNamesItsWriter() {
        QCOMPARE(writerForExtension("jpg")->code, kFmtJpeg);
        QCOMPARE(writerForExtension("JPEG")->code, kFmtJpeg);
        QCOMPARE(writerForExtension("tiff")->code, kFmtTiff);
        QCOMPARE(writerForExtension("pct")->code, kFmtPict);
        QCOMPARE(writerForExtension("png")->code, kFmtPng);
        QVERIFY(hasExtension(*findFormat(kFmtTiffG4), "TIF"));
        QVERIFY(!writerForExtension("xyz"));
        QVERIFY(!writerForExtension(""));
        QVERIFY(!writerForExtension("psd"));  // read only
    }

    // A 32-bit picture saved where there is no alpha looks as the view
    // shows it (on white); GIF keeps the see-through pixels transparent.
    void transparencyAsTheViewShowsIt() {
        Bitmap rgba = Bitmap::createFilled(20, 20, 32, false, 0);  // all transparent
        for (int y = 5; y < 15; ++y)
            for (int x = 5; x < 15; ++x) {
                uint8_t* p = rgba.mutableRow(y) + x * 4;
                p[0] = 0; p[1] = 0; p[2] = 255; p[3] = 255;  // opaque red (B, G, R, A)
            }
        const std::pair<int, int> cases[] = {{kFmtJpeg, 24}, {kFmtPng, 24}, {kFmtBmp, 24}, {kFmtGif, 8}};
        for (const auto& [format, bpp] : cases) {
            const QString p = path(QString("alpha%1.%2").arg(format).arg(findFormat(format)->extension));
            QCOMPARE(save(one(rgba), p, format, bpp), int16_t(kOk));
            Document back;
            QCOMPARE(load(p, back), int16_t(kOk));
            const Bitmap& b = back.frames[0].bitmap;
            const Rgb out = b.pixel(1, 1), in = b.pixel(10, 10);
            QVERIFY2(out.r > 240 && out.g > 240 && out.b > 240, qPrintable(QString::number(format)));
            QVERIFY(in.r > 230 && in.g < 30 && in.b < 30);
            if (format == kFmtGif) {
                QVERIFY(back.frames[0].transparentIndex >= 0);
                QCOMPARE(b.index(1, 1), back.frames[0].transparentIndex);
                QVERIFY(b.index(10, 10) != back.frames[0].transparentIndex);
            }
        }
    }

    // Fewer colours through an optimised palette with error diffusion: a
    // photo saved as GIF looks like the photo, a blue sky stays blue at 16
    // colours, and a grey at 1 bit is a mixture of black and white.
    void fewerColoursLookLikeThePicture() {
        // A sky: a smooth blue gradient with a little texture.
        Bitmap sky = Bitmap::create(160, 120, 24);
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                uint8_t* p = sky.mutableRow(y) + x * 3;
                p[0] = uint8_t(200 + (y * 55) / 120);       // blue
                p[1] = uint8_t(90 + (x * 60) / 160);        // green
                p[2] = uint8_t(40 + ((x * 7 + y * 3) % 40));  // red
            }
        QCOMPARE(save(one(sky), path("sky.gif"), kFmtGif, 8), int16_t(kOk));
        Document back;
        QCOMPARE(load(path("sky.gif"), back), int16_t(kOk));
        QVERIFY2(psnr(back.frames[0].bitmap, sky) > 32, qPrintable(QString::number(psnr(back.frames[0].bitmap, sky))));

        QCOMPARE(save(one(sky), path("sky4.bmp"), kFmtBmp, 4), int16_t(kOk));
        QCOMPARE(load(path("sky4.bmp"), back), int16_t(kOk));
        const Bitmap& b4 = back.frames[0].bitmap;
        int blue = 0;
        for (int y = 0; y < 120; ++y)
            for (int x = 0; x < 160; ++x) {
                const Rgb c = b4.pixel(x, y);
                if (c.b > c.r + 60 && c.b > c.g) ++blue;
            }
        QVERIFY2(blue > 160 * 120 * 9 / 10, qPrintable(QString::number(blue)));

        Bitmap grey = Bitmap::createFilled(64, 64, 24, false, 128);
        QCOMPARE(save(one(grey), path("grey1.bmp"), kFmtBmp, 1), int16_t(kOk));
        QCOMPARE(load(path("grey1.bmp"), back), int16_t(kOk));
        int white = 0;
        for (int y = 0; y < 64; ++y)
            for (int x = 0; x < 64; ++x) white += back.frames[0].bitmap.pixel(x, y).r > 128;
        QVERIFY2(white > 64 * 64 * 4 / 10 && white < 64 * 64 * 6 / 10, qPrintable(QString::number(white)));
    }

    // A file nobody may write is kept: the save says so with the engine's
    // code instead of renaming a new file over it.
    void readOnlyTargetIsKept() {
        const QString p = path("locked.png");
        QCOMPARE(save(one(qova::test::madeImage(8, 8, 24)), p, kFmtPng), int16_t(kOk));
        QFile f(p);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        QVERIFY(::chmod(QFile::encodeName(p).constData(), 0444) == 0);
        QCOMPARE(save(one(qova::test::madeImage(9, 9, 24)), p, kFmtPng), int16_t(kErrCannotOpen));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        f.close();
        QVERIFY(!mayReplace(QFile::encodeName(p).toStdString()));
        QVERIFY(mayReplace(QFile::encodeName(path("new.png")).toStdString()));
        ::chmod(QFile::encodeName(p).constData(), 0644);
    }

    // A stamp asked larger than a JPEG marker holds is written as large as
    // fits, never refused.
    void largeStampIsWrittenAsLargeAsFits() {
        // Incompressible pixels make the largest stamp.
        Bitmap noisy = Bitmap::create(1200, 1200, 24);
        uint32_t x = 7;
        for (int y = 0; y < 1200; ++y)
            for (size_t i = 0; i < 3600; ++i) { x = x * 1664525u + 1013904223u; noisy.mutableRow(y)[i] = uint8_t(x >> 24); }
        SaveRequest r;
        r.path = path("stamp.jpg").toStdString();
        r.format = kFmtJpeg;
        r.quality = 90;
        r.stamp = true;
        r.stampWidth = 1024;
        r.stampHeight = 1024;
        QCOMPARE(saveFile(one(noisy), r), int16_t(kOk));
        Document back;
        QCOMPARE(load(path("stamp.jpg"), back), int16_t(kOk));
        QCOMPARE(back.frames[0].bitmap.width(), 1200);
        QFile f(path("stamp.jpg"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.readAll().contains(QByteArray("Exif\0\0", 6)));
    }
};

QTEST_GUILESS_MAIN(TestSaveFaithful)
#include "test_save_faithful.moc"
