// Loading real files written by other programs, saving and loading back,
// and what broken files give.
#include <sys/resource.h>


#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "support/images.h"

using namespace qova::engine;
using qova::test::sample;

namespace {

int16_t load(const QString& path, Document& doc, int page = 0, int count = -1, int bpp = 0) {
    LoadRequest r;
    r.path = path.toStdString();
    r.firstPage = page;
    r.pageCount = count;
    r.bpp = bpp;
    return loadFile(r, doc);
}

int16_t save(const Bitmap& b, const QString& path, int format, int bpp = 0, int quality = 0, int saveOption = 0) {
    Document d;
    d.frames.push_back(Frame{b});
    SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    r.bpp = bpp;
    r.quality = quality;
    r.saveOption = saveOption;
    return saveFile(d, r);
}

// Incompressible pixels, so every encoder writes more than a few kilobytes.
Bitmap noise(int w, int h) {
    Bitmap b = Bitmap::create(w, h, 24);
    uint32_t x = 12345;
    for (int y = 0; y < h; ++y)
        for (size_t i = 0; i < size_t(w) * 3; ++i) { x = x * 1664525u + 1013904223u; b.mutableRow(y)[i] = uint8_t(x >> 24); }
    return b;
}

Bitmap smooth(int w, int h, int bpp) {
    Bitmap b = Bitmap::create(w, h, bpp, bpp == 8);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            uint8_t* p = b.mutableRow(y) + x * (bpp / 8);
            p[0] = uint8_t(x * 4);
            if (bpp == 24) { p[1] = uint8_t(y * 6); p[2] = uint8_t(128 + (x - y)); }
        }
    return b;
}

}  // namespace

class TestFormats : public QObject {
    Q_OBJECT
private slots:
    // A JPEG decodes into memory a freed picture may have left: a file cut
    // short still shows none of that picture, in its rows or their padding.
    void cutJpegShowsNoOlderPicture() {
        QTemporaryDir dir;
        const int w = 2001, h = 1500;  // odd width: rows carry padding
        auto flat = [&](uint8_t v, const QString& name) {
            Document d;
            d.frames.push_back(Frame{Bitmap::createFilled(w, h, 24, false, v)});
            return qova::test::saveFixture(d, dir.filePath(name), kFmtJpeg);
        };
        QFile cut(flat(0, "dark.jpg"));
        QVERIFY(cut.open(QIODevice::ReadOnly));
        QByteArray bytes = cut.readAll();
        bytes.truncate(bytes.size() / 3);
        LoadRequest r;
        r.path = "cut.jpg";
        for (int round = 0; round < 3; ++round) {
            {
                Document white;
                LoadRequest wr;
                wr.path = flat(255, "white.jpg").toStdString();
                QCOMPARE(loadFile(wr, white), int16_t(kOk));
                Bitmap bright = Bitmap::createFilled(w, h, 24, false, 255);  // padding too
            }  // their memory is free for the next picture
            Document doc;
            QCOMPARE(loadBytes(ByteSpan{reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size())}, r,
                               doc),
                     int16_t(kOk));
            QVERIFY(doc.info.truncated);
            const Bitmap& b = doc.frames[0].bitmap;
            QVERIFY(b.stride() > size_t(w) * 3);
            for (int y : {0, h / 2, h - 1}) {
                const uint8_t* row = b.row(y);
                for (int x = 0; x < w * 3; x += 97) QVERIFY2(row[x] < 200, qPrintable(QString("row %1").arg(y)));
                for (size_t k = size_t(w) * 3; k < b.stride(); ++k) QCOMPARE(int(row[k]), 0);
            }
        }
    }

    void samplesLoadWithSizeDepthAndPages_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<int>("bpp");
        QTest::addColumn<int>("pages");
        QTest::newRow("jpeg") << "hopper.jpg" << 128 << 128 << 24 << 1;
        QTest::newRow("jpeg grey") << "hopper_gray.jpg" << 128 << 128 << 8 << 1;
        QTest::newRow("jpeg cmyk") << "pil_sample_cmyk.jpg" << 100 << 100 << 24 << 1;
        QTest::newRow("tiff") << "hopper.tif" << 128 << 128 << 24 << 1;
        QTest::newRow("tiff lzw") << "hopper_lzw.tif" << 128 << 128 << 24 << 1;
        QTest::newRow("tiff jpeg") << "hopper_jpg.tif" << 128 << 128 << 24 << 1;
        QTest::newRow("tiff g4") << "hopper_g4.tif" << 128 << 128 << 1 << 1;
        QTest::newRow("tiff 4-bit grey") << "hopper_gray_4bpp.tif" << 128 << 128 << 4 << 1;
        QTest::newRow("tiff 12-bit") << "12bit.cropped.tif" << 100 << 100 << 16 << 1;
        QTest::newRow("tiff 16-bit") << "16bit.cropped.tif" << 64 << 64 << 16 << 1;
        QTest::newRow("bigtiff") << "hopper_bigtiff.tif" << 128 << 128 << 24 << 1;
        QTest::newRow("tiff pages") << "multipage.tiff" << 10 << 10 << 1 << 3;
        QTest::newRow("tiff g4 pages") << "g4-multi.tiff" << 3307 << 4677 << 1 << 3;
        QTest::newRow("gif") << "hopper.gif" << 128 << 128 << 8 << 1;
        QTest::newRow("gif frames") << "chi.gif" << 320 << 240 << 8 << 31;
        QTest::newRow("gif 2 colours") << "dispose_none.gif" << 100 << 100 << 1 << 5;
        QTest::newRow("bmp 1") << "bmp/g/pal1.bmp" << 127 << 64 << 1 << 1;
        QTest::newRow("bmp rle4") << "bmp/g/pal4rle.bmp" << 127 << 64 << 4 << 1;
        QTest::newRow("bmp rle8") << "bmp/g/pal8rle.bmp" << 127 << 64 << 8 << 1;
        QTest::newRow("bmp os2") << "bmp/g/pal8os2.bmp" << 127 << 64 << 8 << 1;
        QTest::newRow("bmp 565") << "bmp/g/rgb16-565.bmp" << 127 << 64 << 24 << 1;
        QTest::newRow("bmp 32") << "bmp/g/rgb32bf.bmp" << 127 << 64 << 32 << 1;
        QTest::newRow("bmp top-down") << "bmp/g/pal8topdown.bmp" << 127 << 64 << 8 << 1;
        QTest::newRow("bmp 2-bit") << "bmp/q/pal2.bmp" << 127 << 64 << 4 << 1;
        QTest::newRow("bmp jpeg inside") << "bmp/q/rgb24jpeg.bmp" << 127 << 64 << 24 << 1;
        QTest::newRow("bmp png inside") << "bmp/q/rgb24png.bmp" << 127 << 64 << 24 << 1;
        QTest::newRow("pcx 8") << "odd_stride.pcx" << 371 << 150 << 8 << 1;
        QTest::newRow("pcx 1") << "pil184.pcx" << 447 << 144 << 1 << 1;
        QTest::newRow("sun") << "hopper.ras" << 128 << 128 << 24 << 1;
        QTest::newRow("photo cd") << "hopper.pcd" << 768 << 512 << 24 << 1;
        QTest::newRow("ico") << "hopper.ico" << 16 << 16 << 8 << 1;
        QTest::newRow("ico pages") << "python.ico" << 16 << 16 << 32 << 3;
        QTest::newRow("cur") << "deerstalker.cur" << 32 << 32 << 32 << 1;
        QTest::newRow("wmf") << "drawing.wmf" << 83 << 83 << 24 << 1;
        QTest::newRow("eps") << "eps/1.eps" << 72 << 48 << 1 << 1;
        QTest::newRow("tga grey") << "tga/common/200x32_l_bl_raw.tga" << 200 << 32 << 8 << 1;
        QTest::newRow("tga palette rle") << "tga/common/200x32_p_tl_rle.tga" << 200 << 32 << 8 << 1;
        QTest::newRow("tga rgb") << "tga/common/200x32_rgb_bl_raw.tga" << 200 << 32 << 24 << 1;
        QTest::newRow("tga rgba rle") << "tga/common/200x32_rgba_tl_rle.tga" << 200 << 32 << 32 << 1;
        QTest::newRow("tga grey alpha") << "tga/common/200x32_la_bl_rle.tga" << 200 << 32 << 32 << 1;
        QTest::newRow("ppm") << "hopper.ppm" << 128 << 128 << 24 << 1;
    }
    void samplesLoadWithSizeDepthAndPages() {
        QOVA_REQUIRE_SAMPLES();
        QFETCH(QString, file);
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, bpp);
        QFETCH(int, pages);
        Document doc;
        QCOMPARE(load(sample(file), doc), int16_t(kOk));
        QCOMPARE(doc.frames.front().bitmap.width(), w);
        QCOMPARE(doc.frames.front().bitmap.height(), h);
        QCOMPARE(doc.frames.front().bitmap.bpp(), bpp);
        QCOMPARE(int(doc.frames.size()), pages);
        QCOMPARE(doc.info.pageCount, pages);
        QCOMPARE(doc.info.sizeBytes, QFileInfo(sample(file)).size());
        LoadInfo info;
        QCOMPARE(probeFile(sample(file).toStdString(), info), int16_t(kOk));
        QCOMPARE(info.pageCount, pages);
    }

    // Lossless copies of one picture decode to exactly the same pixels, and
    // close to the PPM copy (itself made from a different decode).
    void losslessFilesMatchReference_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("tiff lzw") << "hopper_lzw.tif";
        QTest::newRow("bigtiff") << "hopper_bigtiff.tif";
        QTest::newRow("sun") << "hopper.ras";
    }
    void losslessFilesMatchReference() {
        QOVA_REQUIRE_SAMPLES();
        QFETCH(QString, file);
        Document ref, doc;
        QCOMPARE(load(sample("hopper.tif"), ref), int16_t(kOk));
        QCOMPARE(load(sample(file), doc), int16_t(kOk));
        QVERIFY(qova::test::samePixels(doc.frames[0].bitmap, ref.frames[0].bitmap));
        const Bitmap ppm = qova::test::readPnm(sample("hopper.ppm").toStdString());
        QVERIFY(qova::test::compare(doc.frames[0].bitmap, ppm).mean < 3);
    }

    // The BMP suite draws one picture in every encoding: each palette file
    // matches its plain sibling exactly, the colour files match rgb24.bmp.
    void bmpSuiteEncodingsAgree_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("reference");
        QTest::addColumn<int>("tolerance");
        for (const char* f : {"pal8rle.bmp", "pal8os2.bmp", "pal8topdown.bmp", "pal8v4.bmp", "pal8v5.bmp", "pal8-0.bmp"})
            QTest::newRow(f) << QString("bmp/g/") + f << "bmp/g/pal8.bmp" << 0;
        QTest::newRow("pal4rle") << "bmp/g/pal4rle.bmp" << "bmp/g/pal4.bmp" << 0;
        QTest::newRow("pal2 vs pal4 grey") << "bmp/q/pal2.bmp" << "bmp/q/pal2.bmp" << 0;
        QTest::newRow("rgb32") << "bmp/g/rgb32.bmp" << "bmp/g/rgb24.bmp" << 0;
        QTest::newRow("rgb32bf") << "bmp/g/rgb32bf.bmp" << "bmp/g/rgb24.bmp" << 0;
        QTest::newRow("rgb24 jpeg") << "bmp/q/rgb24jpeg.bmp" << "bmp/g/rgb24.bmp" << 80;
        QTest::newRow("rgb24 png") << "bmp/q/rgb24png.bmp" << "bmp/g/rgb24.bmp" << 0;
        QTest::newRow("rgb16") << "bmp/g/rgb16.bmp" << "bmp/g/rgb24.bmp" << 8;
        QTest::newRow("rgb16-565") << "bmp/g/rgb16-565.bmp" << "bmp/g/rgb24.bmp" << 8;
    }
    void bmpSuiteEncodingsAgree() {
        QOVA_REQUIRE_SAMPLES();
        QFETCH(QString, file);
        QFETCH(QString, reference);
        QFETCH(int, tolerance);
        Document ref, doc;
        QCOMPARE(load(sample(reference), ref), int16_t(kOk));
        QCOMPARE(load(sample(file), doc), int16_t(kOk));
        const auto d = qova::test::compare(doc.frames[0].bitmap, ref.frames[0].bitmap);
        QVERIFY2(d.max <= tolerance, qPrintable(QString("max %1 mean %2").arg(d.max).arg(d.mean)));
        if (tolerance > 0) QVERIFY(d.mean < 10);
    }

    // Raw and run-length, bottom-up and top-down copies agree, and match
    // GraphicsMagick's reading where it has one.
    void tgaVariantsAgree() {
        QOVA_REQUIRE_SAMPLES();
        for (const char* kind : {"l", "la", "p", "rgb", "rgba"}) {
            Document first;
            const QString base = QString("tga/common/200x32_%1_").arg(kind);
            QCOMPARE(load(sample(base + "bl_raw.tga"), first), int16_t(kOk));
            for (const char* v : {"bl_rle.tga", "tl_raw.tga", "tl_rle.tga"}) {
                Document doc;
                QCOMPARE(load(sample(base + v), doc), int16_t(kOk));
                QVERIFY2(qova::test::samePixels(doc.frames[0].bitmap, first.frames[0].bitmap), qPrintable(base + v));
            }
            if (QString(kind) == "la") continue;  // GraphicsMagick cannot read grey with alpha
            QFile f(sample(base + "bl_raw.tga"));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            Document ref;
            QCOMPARE(decodeWithMagick(ByteSpan{reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size())}, "TGA",
                                      DecodeOptions{}, ref), int16_t(kOk));
            QVERIFY2(qova::test::compare(first.frames[0].bitmap, ref.frames[0].bitmap).max == 0, kind);
        }
    }

    // Our PCX reader and GraphicsMagick's agree on every sample both read.
    void pcxMatchesGraphicsMagick() {
        QOVA_REQUIRE_SAMPLES();
        for (const char* f : {"odd_stride.pcx", "p_4_planes.pcx", "pil184.pcx"}) {
            Document ours, ref;
            QCOMPARE(load(sample(f), ours), int16_t(kOk));
            QFile file(sample(f));
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray bytes = file.readAll();
            QCOMPARE(decodeWithMagick(ByteSpan{reinterpret_cast<const uint8_t*>(bytes.data()), size_t(bytes.size())},
                                      "PCX", DecodeOptions{}, ref),
                     int16_t(kOk));
            QVERIFY2(qova::test::compare(ours.frames[0].bitmap, ref.frames[0].bitmap).max == 0, f);
        }
        Document broken;
        QCOMPARE(load(sample("01r_00.pcx"), broken), int16_t(kErrCorrupt));
    }

    // Ours and libjpeg-turbo's own tool give the same pixels.
    void jpegMatchesDjpeg() {
        QOVA_REQUIRE_SAMPLES();
        const QString djpeg = QStandardPaths::findExecutable("djpeg");
        if (djpeg.isEmpty()) QSKIP("djpeg not installed");
        QTemporaryDir tmp;
        for (const char* f : {"hopper.jpg", "flower.jpg", "hopper_gray.jpg", "iptc.jpg"}) {
            const QString out = tmp.filePath("ref.pnm");
            QCOMPARE(QProcess::execute(djpeg, {"-outfile", out, sample(f)}), 0);
            Document doc;
            QCOMPARE(load(sample(f), doc), int16_t(kOk));
            QVERIFY2(qova::test::samePixels(doc.frames[0].bitmap, qova::test::readPnm(out.toStdString())), f);
        }
    }

    // Every EXIF orientation shows the picture upright.
    void exifOrientationApplied() {
        QOVA_REQUIRE_SAMPLES();
        Document upright;
        QCOMPARE(load(sample("hopper.jpg"), upright), int16_t(kOk));
        for (int o = 2; o <= 8; ++o) {
            Document doc;
            QCOMPARE(load(sample(QString("hopper_orientation_%1.jpg").arg(o)), doc), int16_t(kOk));
            const auto d = qova::test::compare(doc.frames[0].bitmap, upright.frames[0].bitmap);
            QVERIFY2(d.mean < 6, qPrintable(QString("orientation %1: mean %2").arg(o).arg(d.mean)));
        }
    }

    void pagesChosenByFirstPageAndCount() {
        QOVA_REQUIRE_SAMPLES();
        Document all, one, tail;
        QCOMPARE(load(sample("chi.gif"), all), int16_t(kOk));
        QCOMPARE(load(sample("chi.gif"), one, 5, 1), int16_t(kOk));
        QCOMPARE(int(one.frames.size()), 1);
        QVERIFY(qova::test::samePixels(one.frames[0].bitmap, all.frames[5].bitmap));
        QCOMPARE(load(sample("multipage.tiff"), tail, 1, -1), int16_t(kOk));
        QCOMPARE(int(tail.frames.size()), 2);
        Document none;
        QCOMPARE(load(sample("multipage.tiff"), none, 3, -1), int16_t(kErrBadParam));
        QVERIFY(none.frames.empty());
    }

    void gifFrameSettingsRead() {
        QOVA_REQUIRE_SAMPLES();
        Document doc;
        QCOMPARE(load(sample("dispose_prev.gif"), doc), int16_t(kOk));
        QCOMPARE(doc.animation.canvasWidth, 100);
        bool sawPrevious = false;
        for (const auto& f : doc.frames) sawPrevious |= f.disposal == Disposal::Previous;
        QVERIFY(sawPrevious);
        Document chi;
        QCOMPARE(load(sample("chi.gif"), chi), int16_t(kOk));
        QVERIFY(chi.frames[1].delayMs > 0);
    }

    void requestedDepthConverts() {
        QOVA_REQUIRE_SAMPLES();
        Document doc;
        QCOMPARE(load(sample("hopper.jpg"), doc, 0, -1, 8), int16_t(kOk));
        QCOMPARE(doc.frames[0].bitmap.bpp(), 8);
        QCOMPARE(doc.info.bpp, 24);  // the file's own depth is still reported
        QCOMPARE(load(sample("hopper.jpg"), doc, 0, -1, 7), int16_t(kErrBadBpp));
    }

    void missingAndWrongFilesGiveCodes() {
        QTemporaryDir tmp;
        Document doc;
        QCOMPARE(load(tmp.filePath("nothing.jpg"), doc), int16_t(kErrNotFound));
        QCOMPARE(load("", doc), int16_t(kErrBadFileName));
        QCOMPARE(load(tmp.path(), doc), int16_t(kErrBadFileName));
        QFile empty(tmp.filePath("empty.jpg"));
        QVERIFY(empty.open(QIODevice::WriteOnly));
        empty.close();
        QCOMPARE(load(empty.fileName(), doc), int16_t(kErrRead));
        QFile text(tmp.filePath("notes.txt"));
        QVERIFY(text.open(QIODevice::WriteOnly));
        text.write("just some words, not a picture at all\n");
        text.close();
        QCOMPARE(load(text.fileName(), doc), int16_t(kErrBadFormat));
        QVERIFY(doc.frames.empty());
    }

    // Formats no library here reads answer with the format code.
    void unreadFormatsGiveFormatCode() {
        QOVA_REQUIRE_SAMPLES();
        Document doc;
        QCOMPARE(load(sample("input_bw_one_band.fpx"), doc), int16_t(kErrBadFormat));
        QVERIFY(doc.frames.empty());
    }

    // Cut-off and scribbled copies of every sample: a code or a picture, never a crash.
    void brokenCopiesGiveCodes() {
        QOVA_REQUIRE_SAMPLES();
        QTemporaryDir tmp;
        QDirIterator it(QStringLiteral(QOVA_SAMPLES_DIR), QDir::Files, QDirIterator::Subdirectories);
        int tried = 0, refused = 0;
        while (it.hasNext()) {
            const QString f = it.next();
            if (f.endsWith(".txt") || f.endsWith(".md") || QFileInfo(f).size() > 4 << 20) continue;
            QFile in(f);
            QVERIFY(in.open(QIODevice::ReadOnly));
            const QByteArray data = in.readAll();
            const QString ext = QFileInfo(f).suffix();
            for (int variant = 0; variant < 3; ++variant) {
                QByteArray bad = data;
                if (variant == 0) bad.truncate(bad.size() / 2);
                else if (variant == 1) bad.truncate(std::min<qsizetype>(bad.size(), 40));
                else for (int i = 8; i < bad.size(); i += 97) bad[i] = char(bad[i] ^ 0x5A);
                const QString path = tmp.filePath(QString("bad%1.%2").arg(variant).arg(ext));
                QFile out(path);
                QVERIFY(out.open(QIODevice::WriteOnly));
                out.write(bad);
                out.close();
                Document doc;
                const int16_t code = load(path, doc);
                ++tried;
                if (code != kOk) {
                    ++refused;
                    QVERIFY2(code >= 20000 && code <= 20090, qPrintable(f));
                    QVERIFY(doc.frames.empty());
                } else {
                    QVERIFY(!doc.frames.empty() && !doc.frames[0].bitmap.isNull());
                }
            }
        }
        QVERIFY(tried > 100);
        QVERIFY(refused > tried / 3);
    }

    // Every writable format at every depth it offers comes back with the same
    // size and depth, and the same pixels where the format is lossless.
    void roundTripsEveryWritableFormat() {
        QTemporaryDir tmp;
        int checked = 0;
        for (const FormatInfo& f : formatTable()) {
            if (f.code == kFmtEps) continue;  // rasterised by Ghostscript: covered below
            for (int bpp : f.writeBpp) {
                // Lossy formats get a smooth picture: stripes one pixel wide
                // are exactly what chroma subsampling is allowed to lose.
                const Bitmap src = f.quality ? smooth(61, 37, bpp) : qova::test::madeImage(61, 37, bpp);
                const QString path = tmp.filePath(QString("rt%1_%2.%3").arg(f.code).arg(bpp).arg(f.extension));
                const int16_t code = save(src, path, f.code, bpp, f.quality ? 95 : 0);
                QVERIFY2(code == kOk, qPrintable(QString("%1 %2 bits: %3").arg(f.name).arg(bpp).arg(code)));
                Document back;
                QCOMPARE(load(path, back), int16_t(kOk));
                const Bitmap& b = back.frames[0].bitmap;
                const QString what = QString("%1 at %2 bits").arg(f.name).arg(bpp);
                QVERIFY2(b.width() == 61 && b.height() == 37, qPrintable(what));
                QVERIFY2(b.bpp() == bpp, qPrintable(what + " came back at " + QString::number(b.bpp())));
                const auto d = qova::test::compare(b, src);
                if (f.quality) QVERIFY2(d.mean < 8, qPrintable(what + " mean " + QString::number(d.mean)));
                else QVERIFY2(d.max == 0, qPrintable(what + " differs by " + QString::number(d.max)));
                ++checked;
            }
        }
        QVERIFY(checked > 60);
    }

    void epsRoundTripKeepsPicture() {
        QTemporaryDir tmp;
        const Bitmap src = qova::test::madeImage(64, 48, 24);
        QCOMPARE(save(src, tmp.filePath("a.eps"), kFmtEps, 24), int16_t(kOk));
        Document back;
        QCOMPARE(load(tmp.filePath("a.eps"), back), int16_t(kOk));
        QCOMPARE(back.frames[0].bitmap.width(), 64);
        QCOMPARE(back.frames[0].bitmap.height(), 48);
    }

    void multiPageFormatsKeepEveryPage() {
        QTemporaryDir tmp;
        Document doc;
        for (int i = 0; i < 3; ++i) {
            Frame f{qova::test::madeImage(20 + i, 10, 8, unsigned(i))};
            f.delayMs = 100 * (i + 1);
            doc.frames.push_back(f);
        }
        doc.animation.loop = true;
        SaveRequest r;
        r.path = tmp.filePath("pages.tif").toStdString();
        r.format = kFmtTiffLzw;
        QCOMPARE(saveFile(doc, r), int16_t(kOk));
        Document back;
        QCOMPARE(load(tmp.filePath("pages.tif"), back), int16_t(kOk));
        QCOMPARE(int(back.frames.size()), 3);
        QCOMPARE(back.frames[2].bitmap.width(), 22);
        r.path = tmp.filePath("anim.gif").toStdString();
        r.format = kFmtGif;
        QCOMPARE(saveFile(doc, r), int16_t(kOk));
        QCOMPARE(load(tmp.filePath("anim.gif"), back), int16_t(kOk));
        QCOMPARE(int(back.frames.size()), 3);
        QCOMPARE(back.frames[1].delayMs, 200);
        QVERIFY(back.animation.loop);
    }

    void stampIsStoredAndNotAPage() {
        QTemporaryDir tmp;
        Document doc;
        doc.frames.push_back(Frame{qova::test::madeImage(300, 200, 24)});
        SaveRequest r;
        r.stamp = true;
        r.stampWidth = 80;
        r.stampHeight = 60;
        r.stampBpp = 24;
        for (int format : {int(kFmtJpeg), int(kFmtTiffLzw)}) {
            r.format = format;
            r.path = tmp.filePath(QString("stamp%1").arg(format)).toStdString() + (format == kFmtJpeg ? ".jpg" : ".tif");
            QCOMPARE(saveFile(doc, r), int16_t(kOk));
            Document back;
            QCOMPARE(load(QString::fromStdString(r.path), back), int16_t(kOk));
            QCOMPARE(int(back.frames.size()), 1);
            QCOMPARE(back.frames[0].bitmap.width(), 300);
            QFile f(QString::fromStdString(r.path));
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray bytes = f.readAll();
            if (format == kFmtJpeg) QVERIFY(bytes.contains(QByteArray("Exif\0\0", 6)));
        }
        r.format = kFmtPng;
        r.path = tmp.filePath("stamp.png").toStdString();
        QCOMPARE(saveFile(doc, r), int16_t(kErrNoStamp));
    }

    // Save option 1 adds the pages after those of an existing TIFF (its
    // stamp stays a stamp); with no file yet it makes one; anything but a
    // TIFF at the target is refused and left alone.
    void saveOptionOneAddsPagesToTiff() {
        QTemporaryDir tmp;
        const QString path = tmp.filePath("fax.tif");
        Document first;
        first.frames.push_back(Frame{qova::test::madeImage(40, 30, 24, 1)});
        first.frames.push_back(Frame{qova::test::madeImage(41, 30, 24, 2)});
        SaveRequest r;
        r.path = path.toStdString();
        r.format = kFmtTiffLzw;
        r.saveOption = 1;  // nothing there yet: a new file
        r.stamp = true;
        r.stampWidth = 16;
        r.stampHeight = 12;
        QCOMPARE(saveFile(first, r), int16_t(kOk));
        Document more;
        more.frames.push_back(Frame{qova::test::madeImage(50, 20, 1, 3)});
        r.format = kFmtTiffG4;
        r.stamp = false;
        QCOMPARE(saveFile(more, r), int16_t(kOk));
        Document back;
        QCOMPARE(load(path, back), int16_t(kOk));
        QCOMPARE(int(back.frames.size()), 3);
        QVERIFY(qova::test::samePixels(back.frames[0].bitmap, first.frames[0].bitmap));
        QVERIFY(qova::test::samePixels(back.frames[1].bitmap, first.frames[1].bitmap));
        QCOMPARE(back.frames[2].bitmap.bpp(), 1);
        QVERIFY(qova::test::samePixels(back.frames[2].bitmap, more.frames[0].bitmap));

        // Option 0 replaces the file as before.
        r.saveOption = 0;
        QCOMPARE(saveFile(more, r), int16_t(kOk));
        QCOMPARE(load(path, back), int16_t(kOk));
        QCOMPARE(int(back.frames.size()), 1);

        const QString png = tmp.filePath("not-a-tiff.tif");
        QCOMPARE(save(qova::test::madeImage(8, 8, 24), png, kFmtPng), int16_t(kOk));
        QFile f(png);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray before = f.readAll();
        f.close();
        r.path = png.toStdString();
        r.saveOption = 1;
        QCOMPARE(saveFile(more, r), int16_t(kErrBadFormat));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
        f.close();
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // Saving through a symbolic link replaces the file it names, not the link.
    void saveFollowsSymbolicLink() {
        QTemporaryDir tmp;
        const QString real = tmp.filePath("real.png");
        QCOMPARE(save(qova::test::madeImage(8, 8, 24), real, kFmtPng), int16_t(kOk));
        QVERIFY(QFile::link(real, tmp.filePath("link.png")));
        QCOMPARE(save(qova::test::madeImage(9, 9, 24), tmp.filePath("link.png"), kFmtPng), int16_t(kOk));
        QVERIFY(QFileInfo(tmp.filePath("link.png")).isSymLink());
        Document back;
        QCOMPARE(load(real, back), int16_t(kOk));
        QCOMPARE(back.frames[0].bitmap.width(), 9);
    }

    void saveRefusesBadSettings() {
        QTemporaryDir tmp;
        const Bitmap b = qova::test::madeImage(10, 10, 24);
        QCOMPARE(save(b, tmp.filePath("a.jpg"), kFmtJpeg, 24, 101), int16_t(kErrBadQuality));
        QCOMPARE(save(b, tmp.filePath("a.jpg"), kFmtJpeg, 24, -7), int16_t(kErrBadQuality));
        QCOMPARE(save(b, tmp.filePath("a.jpg"), kFmtJpeg, 4), int16_t(kErrBadBpp));
        QCOMPARE(save(b, tmp.filePath("a.tif"), kFmtTiffG4, 24), int16_t(kErrBadBpp));
        QCOMPARE(save(b, tmp.filePath("a.x"), 999), int16_t(kErrBadFormat));
        QCOMPARE(save(b, tmp.filePath("a.psd"), kFmtPsd), int16_t(kErrBadFormat));
        QCOMPARE(save(b, "", kFmtPng), int16_t(kErrBadFileName));
        QCOMPARE(save(b, tmp.filePath("no/such/dir/a.png"), kFmtPng), int16_t(kErrWrite));
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);
    }

    // A write that cannot finish leaves the old file exactly as it was and
    // no temporary behind: the file size limit makes every encoder fail midway.
    void failedSaveKeepsOldFile() {
        QTemporaryDir tmp;
        // The engine itself keeps SIGXFSZ from ending the program.
        // The last entry adds pages to a TIFF: the old pages are copied first.
        const std::pair<int, int> cases[] = {{kFmtPng, 0}, {kFmtJpeg, 0}, {kFmtTiffLzw, 0}, {kFmtBmp, 0},
                                             {kFmtGif, 0},  {kFmtPcx, 0},  {kFmtTiffLzw, 1}};
        for (const auto& [format, option] : cases) {
            const QString path = tmp.filePath(QString("keep%1_%2.img").arg(format).arg(option));
            QCOMPARE(save(qova::test::madeImage(8, 8, 24), path, format, format == kFmtGif ? 8 : 0), int16_t(kOk));
            QFile f(path);
            QVERIFY(f.open(QIODevice::ReadOnly));
            const QByteArray before = f.readAll();
            f.close();
            rlimit old{};
            getrlimit(RLIMIT_FSIZE, &old);
            rlimit small = old;
            small.rlim_cur = 4096;
            setrlimit(RLIMIT_FSIZE, &small);
            const int16_t code = save(noise(400, 300), path, format, format == kFmtGif ? 8 : 0, 0, option);
            setrlimit(RLIMIT_FSIZE, &old);
            QCOMPARE(code, int16_t(kErrWrite));
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), before);
            f.close();
        }
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files | QDir::Hidden).size(), 7);
    }
};

QTEST_GUILESS_MAIN(TestFormats)
#include "test_formats.moc"
