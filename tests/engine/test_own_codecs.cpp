// The hand-written readers and writers: PSD (read), Microsoft Paint and GEM
// bit image (read and write).
#include <QtTest>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"
#include "support/images.h"

using namespace qova::engine;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes readFile(const QString& path) {
    std::ifstream f(path.toStdString(), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

Bytes readSample(const char* name) { return readFile(QStringLiteral(QOVA_SAMPLES_DIR "/") + QLatin1String(name)); }

int16_t decode(DecodeFn fn, const Bytes& b, Document& doc, bool infoOnly = false) {
    DecodeOptions o;
    o.infoOnly = infoOnly;
    return fn(ByteSpan{b.data(), b.size()}, o, doc);
}

// Every cut-off of a valid file must come back as an error code.
bool rejectsTruncations(DecodeFn fn, const Bytes& file) {
    for (size_t n = 0; n < file.size(); ++n) {
        Document doc;
        if (decode(fn, Bytes(file.begin(), file.begin() + long(n)), doc) == kOk) return false;
    }
    return true;
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

// Palette indices with blank lines, a long repeat, solid ink, patterns and noise.
Bitmap testPicture(int width, int height, int bpp) {
    Bitmap b = Bitmap::createFilled(width, height, bpp, false, 0);
    const int colours = 1 << bpp;
    uint32_t seed = 7;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            const int v = (y < 5 || (y >= 40 && y < 340)) ? 0
                        : y % 7 == 0                      ? colours - 1
                        : y % 3 == 0                      ? ((x / 2) % 2 ? colours - 1 : 1)
                                                          : int(seed >> 16) % colours;
            b.setIndex(x, y, v);
        }
    if (bpp > 1) {
        Palette p(static_cast<size_t>(colours));
        for (int i = 0; i < colours; ++i) p[size_t(i)] = Rgb{uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11)};
        b.setPalette(p);
    }
    return b;
}

void be16(Bytes& v, unsigned x) { v.insert(v.end(), {uint8_t(x >> 8), uint8_t(x)}); }
void be32(Bytes& v, uint32_t x) { v.insert(v.end(), {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)}); }

// A PSD (version 2: PSB) of planar channels, raw or one literal PackBits run
// per 128 bytes of row.
Bytes makePsd(int mode, int depth, int width, const std::vector<Bytes>& planes, const Bytes& modeData,
              int compression, int version = 1) {
    const size_t rowBytes = (size_t(width) * depth + 7) / 8;
    const int height = int(planes[0].size() / rowBytes);
    Bytes v = {'8', 'B', 'P', 'S', 0, uint8_t(version), 0, 0, 0, 0, 0, 0};
    be16(v, unsigned(planes.size()));
    be32(v, uint32_t(height));
    be32(v, uint32_t(width));
    be16(v, unsigned(depth));
    be16(v, unsigned(mode));
    be32(v, uint32_t(modeData.size()));
    v.insert(v.end(), modeData.begin(), modeData.end());
    v.insert(v.end(), version == 2 ? 12 : 8, 0);  // no resources, no layers
    be16(v, unsigned(compression));
    std::vector<Bytes> rows;
    for (const Bytes& p : planes)
        for (int y = 0; y < height; ++y) {
            const uint8_t* row = p.data() + size_t(y) * rowBytes;
            Bytes r;
            for (size_t i = 0; i < rowBytes; i += 128) {
                const size_t len = std::min<size_t>(128, rowBytes - i);
                if (compression) r.push_back(uint8_t(len - 1));
                r.insert(r.end(), row + i, row + i + len);
            }
            rows.push_back(r);
        }
    if (compression)
        for (const Bytes& r : rows) version == 2 ? be32(v, uint32_t(r.size())) : be16(v, unsigned(r.size()));
    for (const Bytes& r : rows) v.insert(v.end(), r.begin(), r.end());
    return v;
}

Bytes ramp(size_t n, int start, int step) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = uint8_t(start + int(i) * step);
    return b;
}

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

const Rgb kBlack{0, 0, 0}, kWhite{255, 255, 255};

}  // namespace

class TestOwnCodecs : public QObject {
    Q_OBJECT
private slots:
    void psdSamples();
    void psdColourModes();
    void psdBadInput();
    void mspSampleAndHandMade();
    void mspRoundTrip();
    void mspBadInput();
    void gemRoundTrip();
    void gemHandMade();
    void gemBadInput();
};

void TestOwnCodecs::psdSamples() {
    // hopper.ppm is the same picture as the hopper PSDs' composite.
    QOVA_REQUIRE_SAMPLES();
    const Bytes ppm = readSample("hopper.ppm");
    const Bytes hopper = readSample("hopper.psd"), merged = readSample("hopper_merged.psd");
    const Bytes rgba = readSample("rgba.psd"), five = readSample("five_channels.psd");
    QVERIFY(ppm.size() >= 128 * 128 * 3 && !hopper.empty() && !merged.empty() && !rgba.empty() && !five.empty());
    const uint8_t* ref = ppm.data() + ppm.size() - 128 * 128 * 3;

    for (const Bytes* f : {&hopper, &merged}) {
        Document info, doc;
        QCOMPARE(decode(decodePsd, *f, info, true), int16_t(kOk));
        QCOMPARE(info.info.width, 128);
        QCOMPARE(info.info.bpp, 24);
        QVERIFY(info.frames.empty());
        std::vector<int> progress;
        DecodeOptions o;
        o.progress = [&](int p) { progress.push_back(p); };
        QCOMPARE(decodePsd(ByteSpan{f->data(), f->size()}, o, doc), int16_t(kOk));
        QCOMPARE(progress.front(), 0);
        QCOMPARE(progress.back(), 100);
        QVERIFY(progress.size() > 2 && std::is_sorted(progress.begin(), progress.end()));
        double diff = 0;
        for (int i = 0; i < 128 * 128; ++i) {
            const Rgb c = doc.frames[0].bitmap.pixel(i % 128, i / 128);
            diff += std::abs(c.r - ref[i * 3]) + std::abs(c.g - ref[i * 3 + 1]) + std::abs(c.b - ref[i * 3 + 2]);
        }
        QVERIFY2(diff / (128 * 128 * 3) < 2.0, qPrintable(QString::number(diff / (128 * 128 * 3))));
    }

    // A red square on a clear background.
    Document doc;
    QCOMPARE(decode(decodePsd, rgba, doc), int16_t(kOk));
    const Bitmap& b = doc.frames[0].bitmap;
    QCOMPARE(b.width(), 100);
    QCOMPARE(b.bpp(), 32);
    int opaque = 0, clear = 0;
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 100; ++x) {
            QCOMPARE(b.pixel(x, y), (Rgb{255, 0, 0}));
            const uint8_t a = b.row(y)[x * 4 + 3];
            opaque += a == 255;
            clear += a == 0;
        }
    QVERIFY(opaque > 1000 && clear > 5000 && opaque + clear == 100 * 100);

    // The merged image has three channels even though layers have five.
    Document five3;
    QCOMPARE(decode(decodePsd, five, five3), int16_t(kOk));
    QCOMPARE(five3.frames[0].bitmap.width(), 1);
    QCOMPARE(five3.info.bpp, 24);
}

void TestOwnCodecs::psdColourModes() {
    const int n = 12;  // 4 x 3 pixels
    Bytes grey16, rgb16[4], palette(768);
    for (int i = 0; i < n; ++i) be16(grey16, unsigned(i * 5000 + 7));
    for (int c = 0; c < 4; ++c)
        for (int i = 0; i < n; ++i) be16(rgb16[c], unsigned(((c + 1) * 40 + i) << 8 | 0xFF));
    for (int i = 0; i < 256; ++i) palette[size_t(i)] = uint8_t(i), palette[size_t(256 + i)] = uint8_t(255 - i),
                                   palette[size_t(512 + i)] = uint8_t(i / 2);
    Bytes black(n, 255);
    black[5] = 128;

    struct Case {
        const char* name;
        int mode, depth, width;
        std::vector<Bytes> planes;
        Bytes modeData;
        int bpp, x, y;
        Rgb colour;
        int alpha;  // −1: no alpha
    };
    const Case cases[] = {
        {"bitmap: set bits are ink", 0, 1, 10, {Bytes{0x80, 0x40, 0x00, 0x00, 0xFF, 0xC0}}, {}, 1, 9, 0, kBlack, -1},
        {"bitmap, clear bit", 0, 1, 10, {Bytes{0x80, 0x40, 0x00, 0x00, 0xFF, 0xC0}}, {}, 1, 1, 0, kWhite, -1},
        {"grey 16", 1, 16, 4, {grey16}, {}, 16, 3, 2, Rgb{214, 214, 214}, -1},
        {"grey + alpha", 1, 8, 4, {ramp(n, 0, 10), Bytes(n, 9)}, {}, 32, 3, 0, Rgb{30, 30, 30}, 9},
        {"duotone as grey", 8, 8, 4, {ramp(n, 0, 20)}, Bytes(40, 1), 8, 1, 1, Rgb{100, 100, 100}, -1},
        {"indexed", 2, 8, 4, {ramp(n, 10, 3)}, palette, 8, 2, 0, Rgb{16, 239, 8}, -1},
        {"rgb 16 + alpha", 3, 16, 4, {rgb16[0], rgb16[1], rgb16[2], rgb16[3]}, {}, 32, 2, 1, Rgb{46, 86, 126}, 166},
        {"cmyk magenta", 4, 8, 4, {Bytes(n, 255), Bytes(n, 0), Bytes(n, 255), black}, {}, 24, 0, 0, Rgb{255, 0, 255}, -1},
        {"cmyk + half black", 4, 8, 4, {Bytes(n, 255), Bytes(n, 0), Bytes(n, 255), black}, {}, 24, 1, 1, Rgb{128, 0, 128}, -1},
        {"cmyk + alpha", 4, 8, 4, {Bytes(n, 255), Bytes(n, 0), Bytes(n, 255), black, Bytes(n, 77)}, {}, 32, 0, 0, Rgb{255, 0, 255}, 77},
        {"rgb wider than a run", 3, 8, 300, {ramp(600, 0, 1), ramp(600, 100, 3), ramp(600, 7, 5)}, {}, 24, 299, 1,
         Rgb{uint8_t(599), uint8_t(100 + 599 * 3), uint8_t(7 + 599 * 5)}, -1},
    };
    for (const Case& c : cases) {
        Document raw;
        QVERIFY2(decode(decodePsd, makePsd(c.mode, c.depth, c.width, c.planes, c.modeData, 0), raw) == kOk, c.name);
        const Bitmap& b = raw.frames[0].bitmap;
        QVERIFY2(raw.info.bpp == c.bpp && b.bpp() == c.bpp, c.name);
        QVERIFY2(b.pixel(c.x, c.y) == c.colour, c.name);
        if (c.alpha >= 0) QVERIFY2(b.row(c.y)[c.x * 4 + 3] == c.alpha, c.name);
        for (int version : {1, 2}) {  // PackBits, in PSD and PSB, gives the same pixels
            Document rle;
            QVERIFY2(decode(decodePsd, makePsd(c.mode, c.depth, c.width, c.planes, c.modeData, 1, version), rle) == kOk, c.name);
            QVERIFY2(samePixels(b, rle.frames[0].bitmap), c.name);
        }
    }
    // 16-bit grey keeps all its bits, in native order.
    Document doc;
    QCOMPARE(decode(decodePsd, makePsd(1, 16, 4, {grey16}, {}, 0), doc), int16_t(kOk));
    QVERIFY(doc.frames[0].bitmap.isGrey());
    QCOMPARE(reinterpret_cast<const uint16_t*>(doc.frames[0].bitmap.row(2))[3], uint16_t(11 * 5000 + 7));
}

void TestOwnCodecs::psdBadInput() {
    const Bytes good = makePsd(3, 8, 4, {ramp(12, 0, 1), ramp(12, 1, 1), ramp(12, 2, 1)}, {}, 1);
    const size_t compression = 26 + 4 + 4 + 4, table = compression + 2;
    const struct { size_t at; uint8_t value; int16_t code; } edits[] = {
        {0, 'X', kErrBadFormat},
        {5, 3, kErrVersion},
        {25, 9, kErrSubtype},                    // Lab
        {23, 32, kErrSubtype},                   // 32-bit float
        {23, 3, kErrCorrupt},                    // depth 3
        {13, 0, kErrCorrupt},                    // no channels
        {17, 0, kErrBadSize},                    // height 0
        {17, 16, kErrRead},                      // row table longer than the file
        {29, 200, kErrRead},                     // colour mode data past the end
        {compression + 1, 2, kErrCompression},   // zip
        {table + 1, 1, kErrCorrupt},             // row too short to fill a row
        {table + 18, 0x70, kErrCorrupt},         // literal longer than its row
    };
    for (const auto& e : edits) {
        Bytes b = good;
        b[e.at] = e.value;
        Document d;
        QCOMPARE(decode(decodePsd, b, d), e.code);
    }
    Document d;
    QCOMPARE(decode(decodePsd, makePsd(2, 8, 4, {Bytes(12, 0)}, Bytes(10, 0), 0), d), int16_t(kErrCorrupt));  // short palette
    QVERIFY(rejectsTruncations(decodePsd, good));
}

void TestOwnCodecs::mspSampleAndHandMade() {
    QOVA_REQUIRE_SAMPLES();
    const Bytes msp = readSample("hopper.msp"), ppm = readSample("hopper.ppm");
    QVERIFY(!msp.empty() && ppm.size() >= 128 * 128 * 3);
    Document doc;
    QCOMPARE(decode(decodeMsp, msp, doc), int16_t(kOk));
    QCOMPARE(doc.info.bpp, 1);
    const Bitmap& b = doc.frames[0].bitmap;
    QCOMPARE(b.width(), 128);
    QCOMPARE(b.height(), 128);
    // The picture dithers hopper: the brightest and darkest 16x16 blocks of
    // the reference must be the brightest and darkest here (not swapped).
    const uint8_t* ref = ppm.data() + ppm.size() - 128 * 128 * 3;
    double best = -1, worst = 1e9, bestHere = 0, worstHere = 0;
    for (int blk = 0; blk < 64; ++blk) {
        double r = 0, h = 0;
        for (int i = 0; i < 256; ++i) {
            const int x = blk % 8 * 16 + i % 16, y = blk / 8 * 16 + i / 16;
            r += ref[(y * 128 + x) * 3 + 1];
            h += b.pixel(x, y).g;
        }
        if (r > best) best = r, bestHere = h;
        if (r < worst) worst = r, worstHere = h;
    }
    QVERIFY(bestHere > worstHere + 255 * 100);

    // Version 1: raw rows, a set bit is white.
    Bytes v1 = mspHeader("DanM", 10, 2);
    v1.insert(v1.end(), {0x7F, 0xC0, 0xFF, 0x00});
    QCOMPARE(decode(decodeMsp, v1, doc), int16_t(kOk));
    const Bitmap& c = doc.frames[0].bitmap;
    QVERIFY(c.pixel(0, 0) == kBlack && c.pixel(1, 0) == kWhite && c.pixel(9, 0) == kWhite);
    QVERIFY(c.pixel(7, 1) == kWhite && c.pixel(8, 1) == kBlack);

    // Version 2: a zero row length is a white row; then a run and a literal.
    Bytes v2 = mspHeader("LinS", 16, 2);
    v2.insert(v2.end(), {0, 0, 5, 0, 0, 1, 0x00, 1, 0x0F});
    QCOMPARE(decode(decodeMsp, v2, doc), int16_t(kOk));
    const Bitmap& e = doc.frames[0].bitmap;
    QVERIFY(e.pixel(3, 0) == kWhite && e.pixel(15, 0) == kWhite);
    QVERIFY(e.pixel(7, 1) == kBlack && e.pixel(11, 1) == kBlack && e.pixel(12, 1) == kWhite);
}

void TestOwnCodecs::mspRoundTrip() {
    for (int width : {1, 77, 600}) {
        const Bitmap b = testPicture(width, 400, 1);
        const Bytes file = encodeToBytes(encodeMsp, b);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(file.data()), 4), QByteArray("LinS"));
        Document doc;
        QCOMPARE(decode(decodeMsp, file, doc), int16_t(kOk));
        QVERIFY2(samePixels(b, doc.frames[0].bitmap), qPrintable(QString::number(width)));
        if (width == 600) QVERIFY(file.size() < size_t(75 * 400));  // the runs did pack
    }
    // White first in the palette: the bits are flipped on the way out.
    Bitmap b = testPicture(50, 20, 1);
    b.setPalette({kWhite, kBlack});
    Document doc;
    QCOMPARE(decode(decodeMsp, encodeToBytes(encodeMsp, b), doc), int16_t(kOk));
    QVERIFY(samePixels(b, doc.frames[0].bitmap));
}

void TestOwnCodecs::mspBadInput() {
    const Bytes good = encodeToBytes(encodeMsp, testPicture(40, 12, 1));
    Bytes b = good;
    Document d;
    b[0] = 'X';
    QCOMPARE(decode(decodeMsp, b, d), int16_t(kErrBadFormat));
    b = good;
    b[4] = 41;
    QCOMPARE(decode(decodeMsp, b, d), int16_t(kErrCorrupt));  // checksum
    QCOMPARE(decode(decodeMsp, mspHeader("LinS", 0, 5), d), int16_t(kErrBadSize));
    QCOMPARE(decode(decodeMsp, mspHeader("DanM", 60000, 60000), d), int16_t(kErrRead));  // refused before allocating
    b = mspHeader("LinS", 16, 1);
    b.insert(b.end(), {2, 0, 0, 9, 0xAA});  // a run overrunning its row length
    QCOMPARE(decode(decodeMsp, b, d), int16_t(kErrCorrupt));
    QVERIFY(rejectsTruncations(decodeMsp, good));
    int16_t rc;
    encodeToBytes(encodeMsp, Bitmap::create(4, 4, 8), &rc);
    QCOMPARE(rc, int16_t(kErrBadBpp));
}

void TestOwnCodecs::gemRoundTrip() {
    for (auto [bpp, width] : {std::pair{1, 203}, std::pair{1, 3}, std::pair{4, 61}, std::pair{8, 130}}) {
        const Bitmap b = testPicture(width, 700, bpp);
        const Bytes file = encodeToBytes(encodeGemImg, b);
        Document doc;
        QCOMPARE(decode(decodeGemImg, file, doc), int16_t(kOk));
        QCOMPARE(doc.info.bpp, bpp);
        QCOMPARE(doc.frames[0].bitmap.bpp(), bpp);
        QVERIFY2(samePixels(b, doc.frames[0].bitmap), qPrintable(QString::number(width)));
        // A blank picture is three replicated lines, each plane a solid run
        // (plus a literal for the white bits past a 1-bit picture's edge).
        const Bytes blank = encodeToBytes(encodeGemImg, Bitmap::createFilled(width, 700, bpp, false, 0));
        const size_t header = size_t(blank[2] << 8 | blank[3]) * 2;
        QVERIFY(blank.size() - header <= size_t(3 * (4 + bpp * 4)));
    }
    // 8-bit grey goes out with a grey XIMG palette and comes back the same.
    Bitmap g = Bitmap::create(5, 2, 8, true);
    for (int i = 0; i < 10; ++i) g.setIndex(i % 5, i / 5, i * 25);
    Document doc;
    QCOMPARE(decode(decodeGemImg, encodeToBytes(encodeGemImg, g), doc), int16_t(kOk));
    QVERIFY(samePixels(g, doc.frames[0].bitmap));
}

void TestOwnCodecs::gemHandMade() {
    // 24 pixels (3 bytes) by 6 lines, one plane, pattern length 2.
    const Bytes runs = {0, 1, 0, 8, 0, 1, 0, 2, 0, 85, 0, 85, 0, 24, 0, 6,
                        0x00, 0x00, 0xFF, 0x03, 0x83,  // lines 0-2: solid ink, 3 bytes
                        0x01, 0x80, 0x01, 0xF0, 0x81,  // line 3: solid white, literal F0, solid ink
                        0x00, 0x02, 0xAA, 0x55,        // line 4: pattern AA 55 twice, cut at 3 bytes
                        0x00, 0x00, 0xFF, 0x09, 0x03}; // line 5: replication past the end is cut
    Document doc;
    QCOMPARE(decode(decodeGemImg, runs, doc), int16_t(kOk));
    const Bitmap& b = doc.frames[0].bitmap;
    QCOMPARE(b.height(), 6);
    QVERIFY(b.pixel(23, 0) == kBlack && b.pixel(23, 2) == kBlack);
    QVERIFY(b.pixel(7, 3) == kWhite && b.pixel(8, 3) == kBlack && b.pixel(12, 3) == kWhite && b.pixel(20, 3) == kBlack);
    QVERIFY(b.index(0, 4) == 1 && b.index(1, 4) == 0 && b.index(9, 4) == 1 && b.index(16, 4) == 1);
    QCOMPARE(b.pixel(5, 5), kWhite);

    // Two planes: plane 1 gives bit 1 of the index; default VDI colours.
    const Bytes planes2 = {0, 1, 0, 8, 0, 2, 0, 1, 0, 85, 0, 85, 0, 8, 0, 1, 0x80, 1, 0xF0, 0x80, 1, 0x3C};
    QCOMPARE(decode(decodeGemImg, planes2, doc), int16_t(kOk));
    const Bitmap& c = doc.frames[0].bitmap;
    QCOMPARE(c.bpp(), 4);
    const int expect[8] = {1, 1, 3, 3, 2, 2, 0, 0};
    for (int x = 0; x < 8; ++x) QCOMPARE(c.index(x, 0), expect[x]);
    QVERIFY(c.pixel(0, 0) == kBlack && c.pixel(6, 0) == kWhite);

    // XIMG palette on one plane: components run 0..1000.
    const Bytes ximg = {0, 1, 0, 17, 0, 1, 0, 1, 0, 85, 0, 85, 0, 8, 0, 1, 'X', 'I', 'M', 'G', 0, 0,
                        0x03, 0xE8, 0, 0, 0, 0, 0, 0, 0x01, 0xF4, 0x03, 0xE8, 0x80, 1, 0x0F};
    QCOMPARE(decode(decodeGemImg, ximg, doc), int16_t(kOk));
    QCOMPARE(doc.frames[0].bitmap.pixel(0, 0), (Rgb{255, 0, 0}));
    QCOMPARE(doc.frames[0].bitmap.pixel(7, 0), (Rgb{0, 128, 255}));
}

void TestOwnCodecs::gemBadInput() {
    const Bytes good = encodeToBytes(encodeGemImg, testPicture(40, 30, 4));
    const struct { size_t word; uint16_t value; int16_t code; } edits[] = {
        {1, 4, kErrBadFormat},      // header shorter than 8 words
        {2, 0, kErrBadFormat},      // no planes
        {2, 24, kErrSubtype},       // true colour
        {6, 0, kErrBadSize},
        {1, 40000, kErrRead},       // header past the end
        {7, 65535, kErrRead},       // far more lines than the data holds
    };
    for (const auto& e : edits) {
        Bytes b = good;
        b[e.word * 2] = uint8_t(e.value >> 8);
        b[e.word * 2 + 1] = uint8_t(e.value);
        Document d;
        QCOMPARE(decode(decodeGemImg, b, d), e.code);
    }
    const Bytes head = {0, 1, 0, 8, 0, 1, 0, 2, 0, 85, 0, 85, 0, 16, 0, 1};
    Bytes midLine = head, longLiteral = head;
    midLine.insert(midLine.end(), {0x81, 0x00, 0x00, 0xFF, 0x02});  // replication inside a line
    longLiteral.insert(longLiteral.end(), {0x80, 0x09, 0x12});
    Document d;
    QCOMPARE(decode(decodeGemImg, midLine, d), int16_t(kErrCorrupt));
    QCOMPARE(decode(decodeGemImg, longLiteral, d), int16_t(kErrRead));
    QVERIFY(rejectsTruncations(decodeGemImg, good));
    int16_t rc;
    encodeToBytes(encodeGemImg, Bitmap::create(4, 4, 24), &rc);
    QCOMPARE(rc, int16_t(kErrBadBpp));
}

QTEST_APPLESS_MAIN(TestOwnCodecs)
#include "test_own_codecs.moc"
