// Hostile and broken files: every load ends with a code (or an honest small
// picture) in bounded memory, broken pages are left out and counted, and
// outside programs are limited. Times and peak memory are printed, not
// asserted; the memory bound is.
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <fstream>
#include <thread>

#include "engine/core/codes.h"
#include "engine/core/formats/budget.h"
#include "engine/core/formats/codec.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/core/formats/read_ahead.h"
#include "support/hostile_files.h"
#include "support/images.h"

using namespace qova::engine;
using qova::test::HostileFile;
using Bytes = std::vector<uint8_t>;

namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAsan = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAsan = true;
#else
constexpr bool kAsan = false;
#endif
#else
constexpr bool kAsan = false;
#endif

// Resident memory now and at its peak, in bytes; resetPeak() starts a new peak.
uint64_t statusField(const char* key) {
    std::ifstream f("/proc/self/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind(key, 0) == 0) return std::stoull(line.substr(std::strlen(key))) * 1024;
    return 0;
}
uint64_t residentNow() { return statusField("VmRSS:"); }
uint64_t residentPeak() { return statusField("VmHWM:"); }
bool resetPeak() {
    std::ofstream f("/proc/self/clear_refs");
    f << "5";
    return bool(f);
}

QString writeFile(const QTemporaryDir& dir, const std::string& name, const Bytes& bytes) {
    const QString path = dir.filePath(QString::fromStdString(name));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) != qint64(bytes.size()))
        QTest::qFail(qPrintable("could not write " + path), __FILE__, __LINE__);
    return path;
}

int16_t load(const QString& path, Document& doc, int page = 0, int count = -1) {
    LoadRequest r;
    r.path = path.toStdString();
    r.firstPage = page;
    r.pageCount = count;
    return loadFile(r, doc);
}

Bytes cut(const Bytes& b, size_t n) { return Bytes(b.begin(), b.begin() + long(std::min(n, b.size()))); }

Bytes readBytes(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QByteArray a = f.readAll();
    return Bytes(a.begin(), a.end());
}

Bytes encodedTo(const QTemporaryDir& dir, const Bitmap& b, int format) {
    Document d;
    d.frames.push_back(Frame{b});
    SaveRequest r;
    r.path = dir.filePath("made").toStdString();
    r.format = format;
    if (saveFile(d, r) != kOk) QTest::qFail("could not save the fixture", __FILE__, __LINE__);
    return readBytes(dir.filePath("made"));
}

// A picture with detail everywhere, so that every part of the file matters.
Bitmap detailed(int w, int h) {
    Bitmap b = Bitmap::create(w, h, 24);
    uint32_t x = 99;
    for (int y = 0; y < h; ++y)
        for (int i = 0; i < w * 3; ++i) { x = x * 1664525u + 1013904223u; b.mutableRow(y)[i] = uint8_t((x >> 24) / 4 + i + y); }
    return b;
}

// Valid frames of zeros, one with its data replaced by garbage.
Bytes gifWithBrokenFrame(int frames, int broken) {
    std::vector<qova::test::GifFrame> list;
    for (int i = 0; i < frames; ++i) {
        qova::test::GifFrame f;
        f.width = 64; f.height = 64;
        f.lzw = qova::test::gifLzwZeros(64 * 64);
        // A code far past the table: a decoder cannot go on from there.
        if (i == broken) for (size_t k = 2; k < f.lzw.size(); ++k) f.lzw[k] = 0xFF;
        list.push_back(f);
    }
    return qova::test::gifFile(64, 64, list);
}

// Three 32 x 32 grey pages; `broken` has its strip cut to nothing useful.
Bytes tiffWithBrokenPage(int broken) {
    std::vector<qova::test::TiffPage> pages;
    for (int i = 0; i < 3; ++i) {
        qova::test::TiffPage p;
        p.width = 32; p.height = 32;
        p.compression = 8;  // Deflate
        p.strip = qova::test::deflate(Bytes(32 * 32, uint8_t(40 * (i + 1))));
        if (i == broken) p.strip = Bytes(p.strip.size(), 0xEE);
        pages.push_back(p);
    }
    return qova::test::tiffFile(pages);
}

struct Measure {
    std::string name;
    double ms = 0;
    uint64_t peak = 0;
    size_t size = 0;
};

}  // namespace

class TestHostileFiles : public QObject {
    Q_OBJECT
    QTemporaryDir cache_;
    std::vector<Measure> measured_;

private slots:
    void initTestCase() {
        // Ghostscript's log goes into the cache folder: use our own.
        qputenv("XDG_CACHE_HOME", cache_.path().toUtf8());
        QVERIFY(resetPeak());
    }

    void cleanupTestCase() {
        if (measured_.empty()) return;
        auto slowest = std::max_element(measured_.begin(), measured_.end(), [](auto& a, auto& b) { return a.ms < b.ms; });
        auto largest = std::max_element(measured_.begin(), measured_.end(), [](auto& a, auto& b) { return a.peak < b.peak; });
        qInfo("slowest: %s, %.0f ms; largest: %s, %.1f MB above the resident size before it",
              slowest->name.c_str(), slowest->ms, largest->name.c_str(), double(largest->peak) / (1 << 20));
    }

    // Each file gives a code from its list, and nothing but a small picture
    // when it may succeed; no load rises more than 1 GB above where it began.
    void everyFileEndsInBoundedMemory_data() {
        QTest::addColumn<int>("index");
        const auto& files = qova::test::hostileFiles();
        for (size_t i = 0; i < files.size(); ++i) QTest::newRow(files[i].name.c_str()) << int(i);
    }
    void everyFileEndsInBoundedMemory() {
        QFETCH(int, index);
        const HostileFile& file = qova::test::hostileFiles()[size_t(index)];
        QTemporaryDir dir;
        const QString path = writeFile(dir, file.name, file.bytes);
        Document doc;
        const uint64_t before = residentNow();
        QVERIFY(resetPeak());
        QElapsedTimer timer;
        timer.start();
        const int16_t code = load(path, doc);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        const uint64_t peak = residentPeak() > before ? residentPeak() - before : 0;
        measured_.push_back({file.name, ms, peak, file.bytes.size()});
        qInfo("%-16s %8zu bytes: code %d in %7.1f ms, peak +%6.1f MB (%s)", file.name.c_str(), file.bytes.size(),
              int(code), ms, double(peak) / (1 << 20), file.what.c_str());
        const bool expected = std::find(file.codes.begin(), file.codes.end(), code) != file.codes.end();
        QVERIFY2(expected, qPrintable(QString("%1 gave %2").arg(QString::fromStdString(file.what)).arg(code)));
        if (code == kOk) {
            QVERIFY(!doc.frames.empty());
            QCOMPARE(doc.info.pageCount, int(doc.frames.size()));
            for (const Frame& f : doc.frames) QVERIFY(f.bitmap.byteSize() < (64u << 20));
        } else {
            QVERIFY(doc.frames.empty());
        }
        QVERIFY2(peak < (kAsan ? 1536ull << 20 : 1ull << 30), qPrintable(QString("peak %1 MB").arg(peak >> 20)));
    }

    // The same files from memory, and every cut-off of their first kilobytes.
    void cutOffHostileFilesGiveCodes() {
        for (const HostileFile& file : qova::test::hostileFiles()) {
            if (file.name.size() > 3 && file.name.compare(file.name.size() - 3, 3, ".ps") == 0) continue;
            for (size_t n : {size_t(0), size_t(1), size_t(16), size_t(100), file.bytes.size() / 2}) {
                const Bytes b = cut(file.bytes, n);
                Document doc;
                LoadRequest r;
                r.path = file.name;
                r.runPrograms = false;
                const int16_t code = loadBytes(ByteSpan{b.data(), b.size()}, r, doc);
                QVERIFY2(code == kOk || (code >= 20000 && code <= 20090), file.name.c_str());
                QCOMPARE(code == kOk, !doc.frames.empty());
            }
        }
    }

    // The count is the frames returned: a frame that does not decode is left
    // out with those after it; a first frame that does not decode fails.
    void gifBrokenFrameIsLeftOut() {
        QTemporaryDir dir;
        Document doc;
        QCOMPARE(load(writeFile(dir, "ok.gif", gifWithBrokenFrame(5, -1)), doc), int16_t(kOk));
        QCOMPARE(int(doc.frames.size()), 5);
        QCOMPARE(doc.info.pageCount, 5);
        QCOMPARE(doc.info.pagesLeftOut, 0);

        QCOMPARE(load(writeFile(dir, "third.gif", gifWithBrokenFrame(5, 2)), doc), int16_t(kOk));
        QCOMPARE(int(doc.frames.size()), 2);
        QCOMPARE(doc.info.pageCount, 2);
        QCOMPARE(doc.info.pagesLeftOut, 3);
        Document none;
        QVERIFY(load(writeFile(dir, "first.gif", gifWithBrokenFrame(5, 0)), none) != kOk);
        QVERIFY(none.frames.empty());
    }

    // A broken later TIFF page is left out and the count says so; a broken
    // first page fails the load.
    void tiffBrokenPageIsLeftOut() {
        QTemporaryDir dir;
        Document doc;
        QCOMPARE(load(writeFile(dir, "ok.tif", tiffWithBrokenPage(-1)), doc), int16_t(kOk));
        QCOMPARE(int(doc.frames.size()), 3);
        QCOMPARE(load(writeFile(dir, "second.tif", tiffWithBrokenPage(1)), doc), int16_t(kOk));
        QCOMPARE(int(doc.frames.size()), 2);
        QCOMPARE(doc.info.pageCount, 2);
        QCOMPARE(doc.info.pagesLeftOut, 1);
        QCOMPARE(doc.frames[1].bitmap.index(0, 0), 120);  // the third page moved up
        Document none;
        QVERIFY(load(writeFile(dir, "first.tif", tiffWithBrokenPage(0)), none) != kOk);
        QVERIFY(none.frames.empty());
    }

    // Pages that point at one strip: its data counts once, so beyond the
    // file's small allowance the others are left out, and counted.
    void pagesSharingDataAreLeftOut() {
        QTemporaryDir dir;
        std::vector<qova::test::TiffPage> pages(20);
        pages[0].width = 1024; pages[0].height = 1024; pages[0].compression = 8;
        pages[0].strip = qova::test::deflate(Bytes(1024 * 1024, 9));
        for (size_t i = 1; i < pages.size(); ++i) {
            pages[i] = pages[0];
            pages[i].sharedStrip = true;
        }
        Document doc;
        QCOMPARE(load(writeFile(dir, "shared.tif", qova::test::tiffFile(pages)), doc), int16_t(kOk));
        QVERIFY(doc.frames.size() > 1 && doc.frames.size() < 20);  // 1 MB pages: the allowance is 16 MB
        QCOMPARE(doc.info.pageCount, int(doc.frames.size()));
        QCOMPARE(doc.info.pagesLeftOut, 20 - int(doc.frames.size()));
        QCOMPARE(doc.frames.back().bitmap.index(5, 5), 9);
    }

    // Pages past the ceiling fail the whole load with the memory code, at
    // once, rather than giving the pages that fitted.
    void ceilingFailsTheLoad() {
        QTemporaryDir dir;
        std::vector<qova::test::TiffPage> pages(40);
        for (auto& p : pages) {
            p.width = 512; p.height = 512;
            p.compression = 8;
            p.strip = qova::test::deflate(Bytes(512 * 512, 7));
        }
        const QString path = writeFile(dir, "pages.tif", qova::test::tiffFile(pages));
        Document doc;
        QCOMPARE(load(path, doc), int16_t(kOk));
        QCOMPARE(int(doc.frames.size()), 40);
        // Room for a dozen of its 256 KB pages.
        struct Restore { ~Restore() { setLoadCeiling(0); } } restore;
        setLoadCeiling(3u << 20);
        Document small;
        QCOMPARE(load(path, small, 0, 10), int16_t(kOk));
        QCOMPARE(load(path, small), int16_t(kErrNoMemory));
        QCOMPARE(int(small.frames.size()), 10);  // untouched by the failed load
        setLoadCeiling(0);
        QVERIFY(loadCeiling() >= (256u << 20));
    }

    // A picture cut short shows the rows that arrived and says so; cut
    // before its first row, it is an error.
    void truncatedPictureShowsWhatArrived() {
        QTemporaryDir dir;
        const Bitmap picture = detailed(256, 256);
        for (int format : {int(kFmtJpeg), int(kFmtJpegProgressive), int(kFmtPng)}) {
            const Bytes whole = encodedTo(dir, picture, format);
            QVERIFY(whole.size() > 10000);
            const QString ext = format == kFmtPng ? ".png" : ".jpg";
            Document full, half, header;
            QCOMPARE(load(writeFile(dir, "whole" + ext.toStdString(), whole), full), int16_t(kOk));
            QVERIFY(!full.info.truncated);
            const QString hp = writeFile(dir, "half" + ext.toStdString(), cut(whole, whole.size() * 2 / 3));
            QCOMPARE(load(hp, half), int16_t(kOk));
            QVERIFY2(half.info.truncated, qPrintable(QString::number(format)));
            // The top rows are the picture's own.
            const auto top = qova::test::compare(half.frames[0].bitmap, full.frames[0].bitmap);
            QVERIFY(top.max > 0);  // something is missing...
            Bitmap a = full.frames[0].bitmap, b = half.frames[0].bitmap;
            int same = 0;
            for (int x = 0; x < 256; ++x) same += a.pixel(x, 2) == b.pixel(x, 2) ? 1 : 0;
            if (format != kFmtJpegProgressive) QCOMPARE(same, 256);  // ...but not at the top
            if (format == kFmtPng) {
                // Cut after the last picture data, in its chunk's CRC: every
                // row is there, only the end is missing.
                Document whole2;
                const Bytes nearEnd = cut(whole, whole.size() - 12 - 2);  // IEND and half the CRC
                QCOMPARE(load(writeFile(dir, "end.png", nearEnd), whole2), int16_t(kOk));
                QVERIFY(!whole2.info.truncated);
                QVERIFY(qova::test::samePixels(whole2.frames[0].bitmap, full.frames[0].bitmap));
            }
            const size_t headerOnly = format == kFmtPng ? 60 : 700;
            QVERIFY(load(writeFile(dir, "head" + ext.toStdString(), cut(whole, headerOnly)), header) != kOk);
        }
    }

    // A PNG that fails part way through, loaded again and again, leaves no
    // memory behind (the 2-bit path once lost its whole picture per load).
    void failedLoadsLeaveNoMemory() {
        QTemporaryDir dir;
        const uint32_t w = 4000, h = 4000;
        Bytes raw;
        for (uint32_t y = 0; y < h; ++y) { raw.push_back(0); raw.insert(raw.end(), w / 4, uint8_t(y)); }
        Bytes idat = qova::test::deflate(raw);
        for (size_t i = idat.size() / 2; i < idat.size(); ++i) idat[i] ^= 0x5A;  // data error half way
        const Bytes plte = {0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
        const QString path = writeFile(dir, "broken.png", qova::test::pngFile(w, h, 2, 3, idat, {qova::test::pngChunk("PLTE", plte)}));
        Document doc;
        const int16_t first = load(path, doc);
        QVERIFY(first != kOk);
        const uint64_t before = residentNow();
        for (int i = 0; i < 10; ++i) QCOMPARE(load(path, doc), first);
        const uint64_t after = residentNow();
        QVERIFY2(after < before + (16u << 20), qPrintable(QString("grew by %1 MB").arg((after - before) >> 20)));
    }

    // A file that shrinks while it loads gives a picture or a code, never
    // SIGBUS (which a memory-mapped read turned it into).
    void fileShrinkingWhileLoading() {
        QTemporaryDir dir;
        const QString path = dir.filePath("moving.bmp");
        Document d;
        d.frames.push_back(Frame{detailed(1500, 1000)});
        SaveRequest r;
        r.path = path.toStdString();
        r.format = kFmtBmp;
        QCOMPARE(saveFile(d, r), int16_t(kOk));
        const Bytes whole = readBytes(path);
        QVERIFY(whole.size() > 4000000);
        Document first;
        QCOMPARE(load(path, first), int16_t(kOk));
        std::atomic<bool> stop{false};
        std::thread shrinker([&] {
            // Truncate and write back in place (same inode), over and over.
            const int fd = ::open(path.toLocal8Bit().constData(), O_WRONLY);
            while (!stop && fd >= 0) {
                if (ftruncate(fd, 1000) != 0) break;
                if (pwrite(fd, whole.data(), whole.size(), 0) != ssize_t(whole.size())) break;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            if (fd >= 0) ::close(fd);
        });
        int loaded = 0, refused = 0;
        for (int i = 0; i < 60; ++i) {
            Document doc;
            const int16_t code = load(path, doc);
            (code == kOk ? loaded : refused)++;
            QVERIFY(code == kOk || (code >= 20000 && code <= 20090));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stop = true;
        shrinker.join();
        qInfo("%d loads whole, %d refused", loaded, refused);
    }

    // Ghostscript's output goes to its log, never to ours.
    void postScriptChatterGoesToTheLog() {
        QTemporaryDir dir;
        const QString path = writeFile(dir, "chat.ps", Bytes{});
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("%!PS\n(chatter from the program) print flush\n0.5 setgray 0 0 moveto 100 0 rlineto 0 100 rlineto fill showpage\n");
        f.close();
        std::fflush(stdout);
        const int saved = dup(1);
        const QString out = dir.filePath("stdout.txt");
        const int capture = ::open(out.toLocal8Bit().constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(capture, 1);
        Document doc;
        const int16_t code = load(path, doc);
        std::fflush(stdout);
        dup2(saved, 1);
        ::close(saved);
        ::close(capture);
        QCOMPARE(code, int16_t(kOk));
        QCOMPARE(doc.frames[0].bitmap.width(), 612);  // no bounding box: a letter page
        QCOMPARE(readBytes(out).size(), size_t(0));
        const Bytes log = readBytes(cache_.filePath("qova/ghostscript.log"));
        QVERIFY(std::string(log.begin(), log.end()).find("chatter from the program") != std::string::npos);
    }

    // Only an explicit load starts Ghostscript: decoding ahead skips the file.
    void readAheadNeverStartsPrograms() {
        QTemporaryDir dir;
        const QString loop = writeFile(dir, "loop.ps", Bytes{'%', '!', 'P', 'S', ' ', '{', '}', ' ', 'l', 'o', 'o', 'p', '\n'});
        Document d;
        d.frames.push_back(Frame{qova::test::madeImage(16, 16, 24)});
        SaveRequest r;
        r.path = dir.filePath("after.png").toStdString();
        r.format = kFmtPng;
        QCOMPARE(saveFile(d, r), int16_t(kOk));
        QElapsedTimer timer;
        timer.start();
        ReadAhead ahead;
        ahead.prefetch({loop.toStdString(), r.path});
        QTRY_COMPARE(ahead.heldCount(), size_t(1));
        Document doc;
        int16_t code = 0;
        QVERIFY(!ahead.take(loop.toStdString(), doc, code));
        QVERIFY(ahead.take(r.path, doc, code));
        QVERIFY(timer.elapsed() < 1000);  // the program's time limit was not waited for
        // An explicit load runs it, within its limit.
        QCOMPARE(load(loop, doc), int16_t(kErrCorrupt));
    }

    // A save past the file size limit fails with the write code and leaves
    // nothing behind; names up to the file system's limit can be saved.
    void savesAtTheLimits() {
        QTemporaryDir dir;
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 4096;
        const Bitmap big = detailed(300, 200);
        for (int format : {int(kFmtPng), int(kFmtBmp), int(kFmtEps), int(kFmtGemImg)}) {
            Document d;
            d.frames.push_back(Frame{format == kFmtGemImg ? big.convertTo(1) : big});
            SaveRequest r;
            r.path = dir.filePath(QString("limited%1").arg(format)).toStdString();
            r.format = format;
            setrlimit(RLIMIT_FSIZE, &small);
            const int16_t code = saveFile(d, r);
            setrlimit(RLIMIT_FSIZE, &old);
            QCOMPARE(code, int16_t(kErrWrite));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 0);

        Document d;
        d.frames.push_back(Frame{qova::test::madeImage(8, 8, 24)});
        const QString longest = QString(251, QChar('n')) + ".png";           // 255 bytes
        const QString wide = QString(83, QChar(0x3042)) + ".png";            // 253 bytes of UTF-8
        for (const QString& name : {longest, wide}) {
            SaveRequest r;
            r.path = dir.filePath(name).toStdString();
            r.format = kFmtPng;
            QCOMPARE(saveFile(d, r), int16_t(kOk));
            Document back;
            QCOMPARE(load(dir.filePath(name), back), int16_t(kOk));
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }
};

QTEST_GUILESS_MAIN(TestHostileFiles)
#include "test_hostile_files.moc"
