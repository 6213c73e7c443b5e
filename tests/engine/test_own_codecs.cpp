// The hand-written readers and writers: PSD (read), Microsoft Paint and GEM
// bit image (read and write).
#include <QtTest>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"

using namespace qova::engine;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes readFile(const QString& path) {
    std::ifstream f(path.toStdString(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

QString sample(const char* name) { return QStringLiteral(QOVA_SAMPLES_DIR "/") + QLatin1String(name); }

int16_t decode(DecodeFn fn, const Bytes& b, Document& doc, bool infoOnly = false) {
    DecodeOptions o;
    o.infoOnly = infoOnly;
    return fn(ByteSpan{b.data(), b.size()}, o, doc);
}

// Every byte cut-off of a valid file must come back as an error code.
void checkTruncations(DecodeFn fn, const Bytes& file, size_t from) {
    for (size_t n = from; n < file.size(); ++n) {
        Bytes cut(file.begin(), file.begin() + long(n));
        Document doc;
        const int16_t rc = decode(fn, cut, doc);
        QVERIFY2(rc != kOk, qPrintable(QStringLiteral("accepted a file cut to %1 bytes").arg(n)));
    }
}

struct Ppm {
    int width = 0, height = 0;
    Bytes rgb;
    Rgb at(int x, int y) const {
        const uint8_t* p = rgb.data() + (size_t(y) * width + x) * 3;
        return Rgb{p[0], p[1], p[2]};
    }
};

// Just enough of P6 for the sample: magic, comments, size, 255, pixels.
Ppm readPpm(const QString& path) {
    const Bytes b = readFile(path);
    Ppm p;
    size_t i = 2;
    int fields[3] = {};
    for (int f = 0; f < 3 && i < b.size(); ++f) {
        while (i < b.size() && (std::isspace(b[i]) || b[i] == '#')) {
            if (b[i] == '#') while (i < b.size() && b[i] != '\n') ++i;
            else ++i;
        }
        while (i < b.size() && std::isdigit(b[i])) fields[f] = fields[f] * 10 + (b[i++] - '0');
    }
    ++i;
    p.width = fields[0];
    p.height = fields[1];
    if (b.size() >= i + size_t(p.width) * p.height * 3) p.rgb.assign(b.begin() + long(i), b.end());
    return p;
}

// --- PSD files made here, for the colour modes the samples lack ---

void be16(Bytes& v, unsigned x) { v.insert(v.end(), {uint8_t(x >> 8), uint8_t(x)}); }
void be32(Bytes& v, uint32_t x) { v.insert(v.end(), {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)}); }

struct PsdSpec {
    int mode = 3, depth = 8, width = 4, height = 3, compression = 0;
    int version = 1;
    Bytes modeData;
    // planes[c] holds channel c's rows, already in file byte order.
    std::vector<Bytes> planes;
};

Bytes packBitsLiteral(const uint8_t* row, size_t n) {
    Bytes out;
    for (size_t i = 0; i < n; i += 128) {
        const size_t len = std::min<size_t>(128, n - i);
        out.push_back(uint8_t(len - 1));
        out.insert(out.end(), row + i, row + i + len);
    }
    return out;
}

Bytes makePsd(const PsdSpec& s) {
    Bytes v = {'8', 'B', 'P', 'S'};
    be16(v, unsigned(s.version));
    v.insert(v.end(), 6, 0);
    be16(v, unsigned(s.planes.size()));
    be32(v, uint32_t(s.height));
    be32(v, uint32_t(s.width));
    be16(v, unsigned(s.depth));
    be16(v, unsigned(s.mode));
    be32(v, uint32_t(s.modeData.size()));
    v.insert(v.end(), s.modeData.begin(), s.modeData.end());
    be32(v, 0);
    if (s.version == 2) be32(v, 0);
    be32(v, 0);
    be16(v, unsigned(s.compression));
    const size_t rowBytes = (size_t(s.width) * s.depth + 7) / 8;
    if (s.compression == 1) {
        std::vector<Bytes> packed;
        for (const Bytes& p : s.planes)
            for (int y = 0; y < s.height; ++y) packed.push_back(packBitsLiteral(p.data() + y * rowBytes, rowBytes));
        for (const Bytes& r : packed) s.version == 2 ? be32(v, uint32_t(r.size())) : be16(v, unsigned(r.size()));
        for (const Bytes& r : packed) v.insert(v.end(), r.begin(), r.end());
    } else {
        for (const Bytes& p : s.planes) v.insert(v.end(), p.begin(), p.end());
    }
    return v;
}

Bytes ramp(size_t n, int start, int step) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(start + int(i) * step);
    return b;
}

Bytes encodeToBytes(int16_t (*enc)(const Bitmap&, const std::string&, const EncodeOptions&), const Bitmap& b,
                    int16_t* rc = nullptr) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("out"));
    const int16_t r = enc(b, path.toStdString(), EncodeOptions{});
    if (rc) *rc = r;
    return r == kOk ? readFile(path) : Bytes();
}

bool samePixels(const Bitmap& a, const Bitmap& b) {
    if (a.width() != b.width() || a.height() != b.height()) return false;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (!(a.pixel(x, y) == b.pixel(x, y))) return false;
    return true;
}

// A picture with runs, repeats, noise and repeated lines, in palette indices.
Bitmap testPicture(int width, int height, int bpp) {
    Bitmap b = Bitmap::createFilled(width, height, bpp, false, 0);
    const int colours = 1 << bpp;
    uint32_t seed = 7;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            int v;
            if (y < 5 || (y >= 40 && y < 340)) v = 0;                      // blank lines, long repeat
            else if (y % 7 == 0) v = colours - 1;                          // solid ink
            else if (y % 3 == 0) v = (x / 2) % 2 ? colours - 1 : 1 % colours;  // pattern
            else {
                seed = seed * 1103515245u + 12345u;
                v = int(seed >> 16) % colours;                             // noise
            }
            b.setIndex(x, y, v);
        }
    }
    if (bpp == 4 || bpp == 8) {
        Palette p(static_cast<size_t>(colours));
        for (int i = 0; i < colours; ++i) p[size_t(i)] = Rgb{uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11)};
        b.setPalette(p);
    }
    return b;
}

}  // namespace

class TestOwnCodecs : public QObject {
    Q_OBJECT
private slots:
    // PSD
    void psdSamples_data();
    void psdSamples();
    void psdCompositeMatchesReference();
    void psdTransparency();
    void psdColourModes();
    void psdRawAndRleAgree();
    void psdLargeDocumentAndProgress();
    void psdBadInput();
    // Microsoft Paint
    void mspSample();
    void mspRoundTrip();
    void mspVersion1AndBlankRows();
    void mspBadInput();
    // GEM bit image
    void gemRoundTrip_data();
    void gemRoundTrip();
    void gemHandMadeRuns();
    void gemPalettes();
    void gemBadInput();
};

void TestOwnCodecs::psdSamples_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("bpp");
    QTest::newRow("layered") << "hopper.psd" << 128 << 128 << 24;
    QTest::newRow("merged only") << "hopper_merged.psd" << 128 << 128 << 24;
    QTest::newRow("rgba") << "rgba.psd" << 100 << 100 << 32;
    QTest::newRow("five layer channels") << "five_channels.psd" << 1 << 1 << 24;
}

void TestOwnCodecs::psdSamples() {
    QFETCH(QString, file);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, bpp);
    const Bytes b = readFile(sample(file.toLatin1().constData()));
    if (b.empty()) QSKIP("sample missing");

    Document info;
    QCOMPARE(decode(decodePsd, b, info, true), int16_t(kOk));
    QCOMPARE(info.info.width, width);
    QCOMPARE(info.info.height, height);
    QCOMPARE(info.info.bpp, bpp);
    QCOMPARE(info.info.pageCount, 1);
    QVERIFY(info.frames.empty());

    Document doc;
    QCOMPARE(decode(decodePsd, b, doc), int16_t(kOk));
    QCOMPARE(int(doc.frames.size()), 1);
    const Bitmap& bmp = doc.frames[0].bitmap;
    QCOMPARE(bmp.width(), width);
    QCOMPARE(bmp.height(), height);
    QCOMPARE(bmp.bpp(), bpp);
}

void TestOwnCodecs::psdCompositeMatchesReference() {
    const Ppm ref = readPpm(sample("hopper.ppm"));
    if (ref.rgb.empty()) QSKIP("hopper.ppm missing");
    for (const char* name : {"hopper.psd", "hopper_merged.psd"}) {
        const Bytes b = readFile(sample(name));
        if (b.empty()) QSKIP("sample missing");
        Document doc;
        QCOMPARE(decode(decodePsd, b, doc), int16_t(kOk));
        const Bitmap& bmp = doc.frames[0].bitmap;
        QCOMPARE(bmp.width(), ref.width);
        double diff = 0;
        for (int y = 0; y < ref.height; ++y)
            for (int x = 0; x < ref.width; ++x) {
                const Rgb a = bmp.pixel(x, y), e = ref.at(x, y);
                diff += std::abs(a.r - e.r) + std::abs(a.g - e.g) + std::abs(a.b - e.b);
            }
        diff /= double(ref.width) * ref.height * 3;
        QVERIFY2(diff < 2.0, qPrintable(QStringLiteral("%1: mean difference %2").arg(name).arg(diff)));
    }
}

void TestOwnCodecs::psdTransparency() {
    const Bytes b = readFile(sample("rgba.psd"));
    if (b.empty()) QSKIP("sample missing");
    Document doc;
    QCOMPARE(decode(decodePsd, b, doc), int16_t(kOk));
    const Bitmap& bmp = doc.frames[0].bitmap;
    int opaque = 0, clear = 0;
    for (int y = 0; y < bmp.height(); ++y)
        for (int x = 0; x < bmp.width(); ++x) {
            const uint8_t a = bmp.row(y)[x * 4 + 3];
            if (a == 255) ++opaque;
            else if (a == 0) ++clear;
            QCOMPARE(bmp.pixel(x, y), (Rgb{255, 0, 0}));
        }
    // A red square on a clear background.
    QCOMPARE(opaque + clear, 100 * 100);
    QVERIFY(opaque > 1000 && clear > 5000);
}

void TestOwnCodecs::psdColourModes() {
    const int w = 4, h = 3, n = w * h;
    {   // 16-bit grey keeps its 16 bits, native order in the bitmap
        PsdSpec s;
        s.mode = 1;
        s.depth = 16;
        Bytes p;
        for (int i = 0; i < n; ++i) be16(p, unsigned(i * 5000 + 7));
        s.planes = {p};
        Document doc;
        QCOMPARE(decode(decodePsd, makePsd(s), doc), int16_t(kOk));
        const Bitmap& b = doc.frames[0].bitmap;
        QCOMPARE(doc.info.bpp, 16);
        QVERIFY(b.isGrey());
        QCOMPARE(reinterpret_cast<const uint16_t*>(b.row(2))[3], uint16_t(11 * 5000 + 7));
    }
    {   // duotone reads as its grey channel
        PsdSpec s;
        s.mode = 8;
        s.modeData = Bytes(40, 1);
        s.planes = {ramp(n, 0, 20)};
        Document doc;
        QCOMPARE(decode(decodePsd, makePsd(s), doc), int16_t(kOk));
        const Bitmap& b = doc.frames[0].bitmap;
        QCOMPARE(b.bpp(), 8);
        QVERIFY(b.isGrey());
        QCOMPARE(b.index(1, 1), 100);
    }
    {   // indexed: planar palette from the colour mode data
        PsdSpec s;
        s.mode = 2;
        s.modeData.resize(768);
        for (int i = 0; i < 256; ++i) {
            s.modeData[size_t(i)] = uint8_t(i);
            s.modeData[size_t(256 + i)] = uint8_t(255 - i);
            s.modeData[size_t(512 + i)] = uint8_t(i / 2);
        }
        s.planes = {ramp(n, 10, 3)};
        Document doc;
        QCOMPARE(decode(decodePsd, makePsd(s), doc), int16_t(kOk));
        const Bitmap& b = doc.frames[0].bitmap;
        QCOMPARE(b.bpp(), 8);
        QVERIFY(b.hasPalette());
        QCOMPARE(b.index(2, 0), 16);
        QCOMPARE(b.pixel(2, 0), (Rgb{16, 239, 8}));
    }
    {   // bitmap mode: set bits are black
        PsdSpec s;
        s.mode = 0;
        s.depth = 1;
        s.width = 10;
        s.planes = {Bytes{0x80, 0x40, 0x00, 0x00, 0xFF, 0xC0}};
        Document doc;
        QCOMPARE(decode(decodePsd, makePsd(s), doc), int16_t(kOk));
        const Bitmap& b = doc.frames[0].bitmap;
        QCOMPARE(doc.info.bpp, 1);
        QCOMPARE(b.pixel(0, 0), (Rgb{0, 0, 0}));
        QCOMPARE(b.pixel(1, 0), (Rgb{255, 255, 255}));
        QCOMPARE(b.pixel(9, 0), (Rgb{0, 0, 0}));
        QCOMPARE(b.pixel(5, 1), (Rgb{255, 255, 255}));
        QCOMPARE(b.pixel(9, 2), (Rgb{0, 0, 0}));
    }
    {   // CMYK, stored inverted: 255 means no ink
        PsdSpec s;
        s.mode = 4;
        s.planes = {Bytes(n, 255), Bytes(n, 0), Bytes(n, 255), Bytes(n, 255)};  // full magenta
        s.planes[3][5] = 128;                                                   // plus half black
        Document doc;
        QCOMPARE(decode(decodePsd, makePsd(s), doc), int16_t(kOk));
        const Bitmap& b = doc.frames[0].bitmap;
        QCOMPARE(doc.info.bpp, 24);
        QCOMPARE(b.pixel(0, 0), (Rgb{255, 0, 255}));
        QCOMPARE(b.pixel(1, 1), (Rgb{128, 0, 128}));
        s.planes.push_back(Bytes(n, 77));  // with alpha
        Document doc2;
        QCOMPARE(decode(decodePsd, makePsd(s), doc2), int16_t(kOk));
        QCOMPARE(doc2.info.bpp, 32);
        QCOMPARE(doc2.frames[0].bitmap.row(0)[3], uint8_t(77));
        QCOMPARE(doc2.frames[0].bitmap.pixel(0, 0), (Rgb{255, 0, 255}));
    }
    {   // 16-bit RGB with alpha: high bytes, BGRA order
        PsdSpec s;
        s.depth = 16;
        for (int c = 0; c < 4; ++c) {
            Bytes p;
            for (int i = 0; i < n; ++i) be16(p, unsigned(((c + 1) * 40 + i) << 8 | 0xFF));
            s.planes.push_back(p);
        }
        Document doc;
        QCOMPARE(decode(decodePsd, makePsd(s), doc), int16_t(kOk));
        const Bitmap& b = doc.frames[0].bitmap;
        QCOMPARE(b.bpp(), 32);
        const uint8_t* px = b.row(1) + 2 * 4;  // pixel 6
        QCOMPARE(px[2], uint8_t(46));
        QCOMPARE(px[1], uint8_t(86));
        QCOMPARE(px[0], uint8_t(126));
        QCOMPARE(px[3], uint8_t(166));
    }
    {   // grey with an extra channel becomes grey plus alpha
        PsdSpec s;
        s.mode = 1;
        s.planes = {ramp(n, 0, 10), Bytes(n, 9)};
        Document doc;
        QCOMPARE(decode(decodePsd, makePsd(s), doc), int16_t(kOk));
        const Bitmap& b = doc.frames[0].bitmap;
        QCOMPARE(b.bpp(), 32);
        QCOMPARE(b.pixel(3, 0), (Rgb{30, 30, 30}));
        QCOMPARE(b.row(0)[3 * 4 + 3], uint8_t(9));
    }
}

void TestOwnCodecs::psdRawAndRleAgree() {
    PsdSpec s;
    s.width = 300;  // more than one PackBits run per row
    s.height = 5;
    const int n = s.width * s.height;
    s.planes = {ramp(n, 0, 1), ramp(n, 100, 3), ramp(n, 7, 5)};
    Document raw, rle, big;
    QCOMPARE(decode(decodePsd, makePsd(s), raw), int16_t(kOk));
    s.compression = 1;
    QCOMPARE(decode(decodePsd, makePsd(s), rle), int16_t(kOk));
    s.version = 2;  // PSB: wider lengths and row counts
    QCOMPARE(decode(decodePsd, makePsd(s), big), int16_t(kOk));
    QVERIFY(samePixels(raw.frames[0].bitmap, rle.frames[0].bitmap));
    QVERIFY(samePixels(raw.frames[0].bitmap, big.frames[0].bitmap));
    QCOMPARE(raw.frames[0].bitmap.pixel(299, 4), (Rgb{uint8_t(1499), uint8_t(100 + 1499 * 3), uint8_t(7 + 1499 * 5)}));
}

void TestOwnCodecs::psdLargeDocumentAndProgress() {
    PsdSpec s;
    s.mode = 1;
    s.width = 1000;
    s.height = 1000;
    s.compression = 1;
    s.planes = {ramp(size_t(s.width) * s.height, 0, 1)};
    const Bytes file = makePsd(s);
    std::vector<int> seen;
    DecodeOptions o;
    o.progress = [&](int p) { seen.push_back(p); };
    Document doc;
    QCOMPARE(decodePsd(ByteSpan{file.data(), file.size()}, o, doc), int16_t(kOk));
    QVERIFY(seen.size() > 2);
    QCOMPARE(seen.front(), 0);
    QCOMPARE(seen.back(), 100);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
}

void TestOwnCodecs::psdBadInput() {
    PsdSpec s;
    s.compression = 1;
    s.planes = {ramp(12, 0, 1), ramp(12, 1, 1), ramp(12, 2, 1)};
    const Bytes good = makePsd(s);
    Document doc;
    QCOMPARE(decode(decodePsd, good, doc), int16_t(kOk));

    auto withByte = [&](size_t at, uint8_t v) {
        Bytes b = good;
        b[at] = v;
        Document d;
        return decode(decodePsd, b, d);
    };
    QCOMPARE(withByte(0, 'X'), int16_t(kErrBadFormat));
    QCOMPARE(withByte(5, 3), int16_t(kErrVersion));             // version 3
    QCOMPARE(withByte(25, 9), int16_t(kErrSubtype));            // Lab
    QCOMPARE(withByte(23, 32), int16_t(kErrSubtype));           // 32-bit float
    QCOMPARE(withByte(13, 0), int16_t(kErrCorrupt));            // no channels
    QCOMPARE(withByte(17, 0), int16_t(kErrBadSize));            // height 0
    QCOMPARE(withByte(23, 3), int16_t(kErrCorrupt));            // depth 3
    const size_t compression = 26 + 4 + 4 + 4;
    QCOMPARE(withByte(compression + 1, 2), int16_t(kErrCompression));  // zip
    QCOMPARE(withByte(compression + 3, 1), int16_t(kErrCorrupt));      // row count too small to fill a row
    QCOMPARE(withByte(compression + 2 + 18, 0x70), int16_t(kErrCorrupt));  // literal run longer than its row
    QCOMPARE(withByte(29, 200), int16_t(kErrRead));             // colour mode data past the end
    {
        Bytes b = good;
        b[17] = 0x10;  // height 16: the row table no longer fits
        Document d;
        QCOMPARE(decode(decodePsd, b, d), int16_t(kErrRead));
    }
    {
        PsdSpec ix;
        ix.mode = 2;
        ix.planes = {Bytes(12, 0)};
        ix.modeData = Bytes(10, 0);  // palette too short
        Document d;
        QCOMPARE(decode(decodePsd, makePsd(ix), d), int16_t(kErrCorrupt));
    }
    checkTruncations(decodePsd, good, 0);
    const Bytes sampleFile = readFile(sample("rgba.psd"));
    if (!sampleFile.empty()) checkTruncations(decodePsd, sampleFile, sampleFile.size() - 200);
}

void TestOwnCodecs::mspSample() {
    const Bytes b = readFile(sample("hopper.msp"));
    const Ppm ref = readPpm(sample("hopper.ppm"));
    if (b.empty() || ref.rgb.empty()) QSKIP("sample missing");
    Document doc;
    QCOMPARE(decode(decodeMsp, b, doc), int16_t(kOk));
    QCOMPARE(doc.info.bpp, 1);
    const Bitmap& bmp = doc.frames[0].bitmap;
    QCOMPARE(bmp.width(), 128);
    QCOMPARE(bmp.height(), 128);
    // The picture is a dither of hopper: block brightness must follow the
    // reference (an inverted reading would correlate strongly negative).
    std::vector<double> a, e;
    for (int by = 0; by < 8; ++by)
        for (int bx = 0; bx < 8; ++bx) {
            double s1 = 0, s2 = 0;
            for (int y = by * 16; y < by * 16 + 16; ++y)
                for (int x = bx * 16; x < bx * 16 + 16; ++x) {
                    s1 += bmp.pixel(x, y).r;
                    const Rgb c = ref.at(x, y);
                    s2 += c.r * 0.299 + c.g * 0.587 + c.b * 0.114;
                }
            a.push_back(s1);
            e.push_back(s2);
        }
    double ma = 0, me = 0;
    for (size_t i = 0; i < a.size(); ++i) ma += a[i], me += e[i];
    ma /= double(a.size());
    me /= double(e.size());
    double cov = 0, va = 0, ve = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        cov += (a[i] - ma) * (e[i] - me);
        va += (a[i] - ma) * (a[i] - ma);
        ve += (e[i] - me) * (e[i] - me);
    }
    QVERIFY(cov / std::sqrt(va * ve) > 0.95);
}

void TestOwnCodecs::mspRoundTrip() {
    for (int width : {1, 8, 77, 600}) {
        Bitmap b = testPicture(width, 400, 1);
        int16_t rc;
        const Bytes file = encodeToBytes(encodeMsp, b, &rc);
        QCOMPARE(rc, int16_t(kOk));
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(file.data()), 4), QByteArray("LinS"));
        Document doc;
        QCOMPARE(decode(decodeMsp, file, doc), int16_t(kOk));
        QVERIFY2(samePixels(b, doc.frames[0].bitmap), qPrintable(QString::number(width)));
        if (width == 600) QVERIFY(file.size() < size_t(75 * 400));  // the runs did pack
    }
    // A palette with white first is written with the bits flipped.
    Bitmap b = testPicture(50, 20, 1);
    b.setPalette({Rgb{255, 255, 255}, Rgb{0, 0, 0}});
    Document doc;
    QCOMPARE(decode(decodeMsp, encodeToBytes(encodeMsp, b), doc), int16_t(kOk));
    QVERIFY(samePixels(b, doc.frames[0].bitmap));

    int16_t rc;
    encodeToBytes(encodeMsp, Bitmap::create(4, 4, 8), &rc);
    QCOMPARE(rc, int16_t(kErrBadBpp));
}

namespace {

Bytes mspHeader(const char* key, int w, int h) {
    const uint16_t words[12] = {uint16_t(key[0] | key[1] << 8), uint16_t(key[2] | key[3] << 8), uint16_t(w), uint16_t(h),
                                1, 1, 1, 1, 0, 0, 0, 0};
    Bytes v;
    uint16_t check = 0;
    for (uint16_t x : words) {
        v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)});
        check ^= x;
    }
    v.insert(v.end(), {uint8_t(check), uint8_t(check >> 8), 0, 0, 0, 0, 0, 0});
    return v;
}

}  // namespace

void TestOwnCodecs::mspVersion1AndBlankRows() {
    Bytes v1 = mspHeader("DanM", 10, 2);
    v1.insert(v1.end(), {0x7F, 0xC0, 0xFF, 0x00});
    Document doc;
    QCOMPARE(decode(decodeMsp, v1, doc), int16_t(kOk));
    const Bitmap& b = doc.frames[0].bitmap;
    QCOMPARE(b.pixel(0, 0), (Rgb{0, 0, 0}));
    QCOMPARE(b.pixel(1, 0), (Rgb{255, 255, 255}));
    QCOMPARE(b.pixel(9, 0), (Rgb{255, 255, 255}));
    QCOMPARE(b.pixel(7, 1), (Rgb{255, 255, 255}));
    QCOMPARE(b.pixel(8, 1), (Rgb{0, 0, 0}));

    // Version 2: a zero table entry is a white row; a run and a literal.
    Bytes v2 = mspHeader("LinS", 16, 2);
    v2.insert(v2.end(), {0, 0, 5, 0});
    v2.insert(v2.end(), {0, 1, 0x00, 1, 0x0F});
    Document doc2;
    QCOMPARE(decode(decodeMsp, v2, doc2), int16_t(kOk));
    const Bitmap& c = doc2.frames[0].bitmap;
    QCOMPARE(c.pixel(3, 0), (Rgb{255, 255, 255}));
    QCOMPARE(c.pixel(15, 0), (Rgb{255, 255, 255}));
    QCOMPARE(c.pixel(7, 1), (Rgb{0, 0, 0}));
    QCOMPARE(c.pixel(11, 1), (Rgb{0, 0, 0}));
    QCOMPARE(c.pixel(12, 1), (Rgb{255, 255, 255}));
}

void TestOwnCodecs::mspBadInput() {
    const Bytes good = encodeToBytes(encodeMsp, testPicture(40, 12, 1));
    QVERIFY(!good.empty());
    auto withByte = [&](size_t at, uint8_t v) {
        Bytes b = good;
        b[at] = v;
        Document d;
        return decode(decodeMsp, b, d);
    };
    QCOMPARE(withByte(0, 'X'), int16_t(kErrBadFormat));
    QCOMPARE(withByte(4, 41), int16_t(kErrCorrupt));  // checksum no longer holds
    {
        Bytes b = mspHeader("LinS", 0, 5);
        Document d;
        QCOMPARE(decode(decodeMsp, b, d), int16_t(kErrBadSize));
    }
    {   // a row's runs overrun its table entry
        Bytes b = mspHeader("LinS", 16, 1);
        b.insert(b.end(), {2, 0, 0, 9, 0xAA});
        Document d;
        QCOMPARE(decode(decodeMsp, b, d), int16_t(kErrCorrupt));
    }
    {   // huge picture, tiny file: refused before allocating
        Bytes b = mspHeader("DanM", 60000, 60000);
        Document d;
        QCOMPARE(decode(decodeMsp, b, d), int16_t(kErrRead));
    }
    checkTruncations(decodeMsp, good, 0);
}

void TestOwnCodecs::gemRoundTrip_data() {
    QTest::addColumn<int>("bpp");
    QTest::addColumn<int>("width");
    QTest::newRow("1 bit") << 1 << 203;
    QTest::newRow("1 bit narrow") << 1 << 3;
    QTest::newRow("4 bits") << 4 << 61;
    QTest::newRow("8 bits") << 8 << 130;
}

void TestOwnCodecs::gemRoundTrip() {
    QFETCH(int, bpp);
    QFETCH(int, width);
    const Bitmap b = testPicture(width, 700, bpp);
    int16_t rc;
    const Bytes file = encodeToBytes(encodeGemImg, b, &rc);
    QCOMPARE(rc, int16_t(kOk));
    Document doc;
    QCOMPARE(decode(decodeGemImg, file, doc), int16_t(kOk));
    QCOMPARE(doc.info.bpp, bpp);
    const Bitmap& d = doc.frames[0].bitmap;
    QCOMPARE(d.bpp(), bpp);
    QVERIFY(samePixels(b, d));
    if (bpp == 1) {
        // Ink in the file is a set bit; the default 1-bit palette is black first.
        const int planes = file[5];
        QCOMPARE(planes, 1);
        QCOMPARE(d.pixel(0, 0), (Rgb{0, 0, 0}));
    }
    // A blank picture is three replicated lines, each plane a solid run (plus
    // a literal for the white bits past a 1-bit picture's right edge).
    const Bitmap blank = Bitmap::createFilled(width, 700, bpp, false, 0);
    const Bytes packed = encodeToBytes(encodeGemImg, blank);
    const size_t header = size_t(file[2] << 8 | file[3]) * 2;
    QVERIFY2(packed.size() - header <= size_t(3 * (4 + bpp * 4)), qPrintable(QString::number(packed.size())));
}

void TestOwnCodecs::gemHandMadeRuns() {
    // 24 pixels wide (3 bytes), 6 lines, pattern length 2.
    const Bytes file = {
        0, 1, 0, 8, 0, 1, 0, 2, 0, 85, 0, 85, 0, 24, 0, 6,
        0x00, 0x00, 0xFF, 0x03, 0x83,   // lines 0-2: solid black run of 3 bytes
        0x01, 0x80, 0x01, 0xF0, 0x81,   // line 3: solid white, literal F0, solid black
        0x00, 0x02, 0xAA, 0x55,         // line 4: pattern AA 55 twice, cut at 3 bytes
        0x00, 0x00, 0xFF, 0x09, 0x03,   // line 5: replication past the end is cut
    };
    Document doc;
    QCOMPARE(decode(decodeGemImg, file, doc), int16_t(kOk));
    const Bitmap& b = doc.frames[0].bitmap;
    QCOMPARE(b.width(), 24);
    QCOMPARE(b.height(), 6);
    QCOMPARE(b.bpp(), 1);
    const Rgb black{0, 0, 0}, white{255, 255, 255};
    for (int y = 0; y < 3; ++y) QCOMPARE(b.pixel(23, y), black);
    QCOMPARE(b.pixel(7, 3), white);
    QCOMPARE(b.pixel(8, 3), black);
    QCOMPARE(b.pixel(12, 3), white);
    QCOMPARE(b.pixel(20, 3), black);
    QCOMPARE(b.index(0, 4), 1);   // AA = 1010…
    QCOMPARE(b.index(1, 4), 0);
    QCOMPARE(b.index(9, 4), 1);   // 55 = 0101…
    QCOMPARE(b.index(16, 4), 1);  // AA again
    QCOMPARE(b.pixel(5, 5), white);

    // Two planes: the second plane gives bit 1 of each index.
    const Bytes planes2 = {0, 1, 0, 8, 0, 2, 0, 1, 0, 85, 0, 85, 0, 8, 0, 1, 0x80, 1, 0xF0, 0x80, 1, 0x3C};
    Document doc2;
    QCOMPARE(decode(decodeGemImg, planes2, doc2), int16_t(kOk));
    const Bitmap& c = doc2.frames[0].bitmap;
    QCOMPARE(c.bpp(), 4);
    const int expect[8] = {1, 1, 3, 3, 2, 2, 0, 0};
    for (int x = 0; x < 8; ++x) QCOMPARE(c.index(x, 0), expect[x]);
    QCOMPARE(c.pixel(0, 0), (Rgb{0, 0, 0}));         // VDI black
    QCOMPARE(c.pixel(6, 0), (Rgb{255, 255, 255}));   // VDI white
}

void TestOwnCodecs::gemPalettes() {
    // XIMG palette with one plane: 1000 is full intensity.
    Bytes file = {0, 1, 0, 17, 0, 1, 0, 1, 0, 85, 0, 85, 0, 8, 0, 1, 'X', 'I', 'M', 'G', 0, 0,
                  0x03, 0xE8, 0, 0, 0, 0,  0, 0, 0x01, 0xF4, 0x03, 0xE8,  0x80, 1, 0x0F};
    Document doc;
    QCOMPARE(decode(decodeGemImg, file, doc), int16_t(kOk));
    const Bitmap& b = doc.frames[0].bitmap;
    QCOMPARE(b.pixel(0, 0), (Rgb{255, 0, 0}));
    QCOMPARE(b.pixel(7, 0), (Rgb{0, 128, 255}));

    // 8-bit grey bitmaps go out with a grey palette.
    Bitmap g = Bitmap::create(5, 2, 8, true);
    for (int i = 0; i < 10; ++i) g.setIndex(i % 5, i / 5, i * 25);
    Document doc2;
    QCOMPARE(decode(decodeGemImg, encodeToBytes(encodeGemImg, g), doc2), int16_t(kOk));
    for (int i = 0; i < 10; ++i) QCOMPARE(int(doc2.frames[0].bitmap.pixel(i % 5, i / 5).g), i * 25);
}

void TestOwnCodecs::gemBadInput() {
    const Bytes good = encodeToBytes(encodeGemImg, testPicture(40, 30, 4));
    QVERIFY(!good.empty());
    auto withWord = [&](size_t word, uint16_t v) {
        Bytes b = good;
        b[word * 2] = uint8_t(v >> 8);
        b[word * 2 + 1] = uint8_t(v);
        Document d;
        return decode(decodeGemImg, b, d);
    };
    QCOMPARE(withWord(1, 4), int16_t(kErrBadFormat));    // header shorter than 8 words
    QCOMPARE(withWord(2, 0), int16_t(kErrBadFormat));    // no planes
    QCOMPARE(withWord(2, 24), int16_t(kErrSubtype));     // true colour
    QCOMPARE(withWord(6, 0), int16_t(kErrBadSize));
    QCOMPARE(withWord(1, 40000), int16_t(kErrRead));     // header past the end
    QCOMPARE(withWord(7, 65535), int16_t(kErrRead));     // far more lines than the data holds
    {   // replication code in the middle of a line
        const Bytes b = {0, 1, 0, 8, 0, 1, 0, 2, 0, 85, 0, 85, 0, 16, 0, 1, 0x81, 0x00, 0x00, 0xFF, 0x02};
        Document d;
        QCOMPARE(decode(decodeGemImg, b, d), int16_t(kErrCorrupt));
    }
    {   // a literal run longer than the data left
        const Bytes b = {0, 1, 0, 8, 0, 1, 0, 2, 0, 85, 0, 85, 0, 16, 0, 1, 0x80, 0x09, 0x12};
        Document d;
        QCOMPARE(decode(decodeGemImg, b, d), int16_t(kErrRead));
    }
    checkTruncations(decodeGemImg, good, 0);
    int16_t rc;
    encodeToBytes(encodeGemImg, Bitmap::create(4, 4, 24), &rc);
    QCOMPARE(rc, int16_t(kErrBadBpp));
}

QTEST_APPLESS_MAIN(TestOwnCodecs)
#include "test_own_codecs.moc"
