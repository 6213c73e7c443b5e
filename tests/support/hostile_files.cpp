#include "support/hostile_files.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <map>
#include <unistd.h>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"

namespace qova::test {

using namespace engine;
using Bytes = std::vector<uint8_t>;

namespace {

void put16le(Bytes& v, unsigned x) { v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)}); }
void put32le(Bytes& v, uint32_t x) { v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8), uint8_t(x >> 16), uint8_t(x >> 24)}); }
void put16be(Bytes& v, unsigned x) { v.insert(v.end(), {uint8_t(x >> 8), uint8_t(x)}); }
void put32be(Bytes& v, uint32_t x) { v.insert(v.end(), {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)}); }
void set32le(Bytes& v, size_t at, uint32_t x) { for (int i = 0; i < 4; ++i) v[at + size_t(i)] = uint8_t(x >> (8 * i)); }
void append(Bytes& v, const Bytes& w) { v.insert(v.end(), w.begin(), w.end()); }
Bytes text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A picture encoded by one of our own encoders, read back as bytes.
Bytes encoded(int16_t (*enc)(const Bitmap&, const std::string&, const EncodeOptions&), const Bitmap& b, int format) {
    char path[] = "/tmp/qova-hostile-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    EncodeOptions o;
    o.format = format;
    Bytes out;
    if (enc(b, path, o) == kOk) {
        if (std::FILE* f = std::fopen(path, "rb")) {
            uint8_t buf[65536];
            size_t n;
            while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out.insert(out.end(), buf, buf + n);
            std::fclose(f);
        }
    }
    unlink(path);
    return out;
}

Bitmap greyRamp(int w, int h) {
    Bitmap b = Bitmap::create(w, h, 8, true);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) b.mutableRow(y)[x] = uint8_t(x * 7 + y * 13);
    return b;
}

// Offset of the JPEG marker `m` (FF m), or npos.
size_t findMarker(const Bytes& j, uint8_t m) {
    for (size_t i = 2; i + 1 < j.size(); ++i)
        if (j[i] == 0xFF && j[i + 1] == m) return i;
    return std::string::npos;
}

// --- PostScript -----------------------------------------------------------

HostileFile psLoop() {
    return {"loop.ps", text("%!PS\n{} loop\n"), {kErrCorrupt}, "13-byte PostScript that loops for ever"};
}

HostileFile epsHugeBox() {
    return {"huge.eps", text("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200000 200000\nshowpage\n"),
            {kErrTooLarge}, "64-byte EPS whose bounding box is 200000 points square"};
}

HostileFile psPageFlood() {
    return {"pages.ps", text("%!PS\n{ showpage } loop\n"), {kOk, kErrCorrupt}, "PostScript showing pages for ever"};
}

// --- PNG ------------------------------------------------------------------

HostileFile pngTwoBitHuge() {
    // 92 bytes: a 2-bit palette picture of 60000 x 60000 with a few bytes of data.
    Bytes plte = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255};
    return {"twobit.png", pngFile(60000, 60000, 2, 3, deflate(Bytes(64, 0)), {pngChunk("PLTE", plte)}), {kErrTooLarge},
            "2-bit palette PNG of 60000 x 60000 in 92 bytes"};
}

HostileFile pngTextBomb() {
    // A 1 x 1 picture after 28 compressed text chunks of 64 MB each (1.8 GB inflated).
    const Bytes zeros = deflate(Bytes(64u << 20, 'a'));
    std::vector<Bytes> chunks;
    for (int i = 0; i < 28; ++i) {
        Bytes z = text("Comment");
        z.push_back(0);
        z.push_back(0);  // compression method
        append(z, zeros);
        chunks.push_back(pngChunk("zTXt", z));
    }
    return {"textbomb.png", pngFile(1, 1, 8, 0, deflate(Bytes{0, 128}), chunks), {kOk},
            "1 x 1 PNG after 1.8 GB of compressed text"};
}

HostileFile pngIdatBomb() {
    // A 20000 x 20000 RGB picture whose data inflates to a few rows only.
    return {"idat.png", pngFile(20000, 20000, 8, 2, deflate(Bytes(3 * 20001, 0))), {kErrTooLarge},
            "20000 x 20000 RGB PNG with one row of data"};
}

// --- JPEG -----------------------------------------------------------------

HostileFile jpegHugeEndsAtMarker() {
    // Our own 8 x 8 grey JPEG, declared 40000 x 40000, its data ending at once.
    Bytes j = encoded(encodeJpeg, greyRamp(8, 8), 20);
    const size_t sof = findMarker(j, 0xC0), sos = findMarker(j, 0xDA);
    if (sof == std::string::npos || sos == std::string::npos) return {"bigjpeg.jpg", j, {kOk}, "could not be made"};
    j[sof + 5] = uint8_t(40000 >> 8); j[sof + 6] = uint8_t(40000 & 0xFF);
    j[sof + 7] = uint8_t(40000 >> 8); j[sof + 8] = uint8_t(40000 & 0xFF);
    const size_t sosLen = size_t(j[sos + 2]) << 8 | j[sos + 3];
    j.resize(sos + 2 + sosLen);
    j.insert(j.end(), {0x00, 0xFF, 0xD9});
    return {"marker.jpg", j, {kErrTooLarge}, "JPEG declaring 40000 x 40000 whose data ends at a marker"};
}

// A grey progressive JPEG of w x h: a DC scan of `dcBytes` zero bytes (all
// blocks grey with a one-bit code), then `emptyScans` AC scans without data.
Bytes progressiveJpeg(int w, int h, size_t dcBytes, int emptyScans) {
    Bytes j = {0xFF, 0xD8};
    j.insert(j.end(), {0xFF, 0xDB, 0x00, 0x43, 0x00});  // DQT, table 0
    for (int i = 0; i < 64; ++i) j.push_back(1);
    j.insert(j.end(), {0xFF, 0xC2, 0x00, 0x0B, 0x08});  // SOF2, 8 bits
    put16be(j, unsigned(h));
    put16be(j, unsigned(w));
    j.insert(j.end(), {0x01, 0x01, 0x11, 0x00});        // one component, 1x1, table 0
    // DHT: DC table 0 and AC table 0, each a single one-bit code for symbol 0.
    for (uint8_t cls : {uint8_t(0x00), uint8_t(0x10)}) {
        j.insert(j.end(), {0xFF, 0xC4, 0x00, 0x14, cls, 0x01});
        for (int i = 1; i < 16; ++i) j.push_back(0);
        j.push_back(0x00);
    }
    j.insert(j.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x00, 0x00, 0x00});  // DC first scan
    j.insert(j.end(), dcBytes, 0x00);
    for (int s = 0; s < emptyScans; ++s)
        j.insert(j.end(), {0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x3F, 0x00});  // AC 1..63
    j.insert(j.end(), {0xFF, 0xD9});
    return j;
}

HostileFile jpegEmptyScans() {
    // Declared at the most the plausibility check lets 10 KB hold.
    return {"scans.jpg", progressiveJpeg(4600, 4600, 8000, 999), {kErrCorrupt},
            "10 KB progressive JPEG with 999 empty scans"};
}

// --- BMP ------------------------------------------------------------------

HostileFile bmpRleHuge() {
    Bytes b = {'B', 'M'};
    put32le(b, 0); put32le(b, 0); put32le(b, 54 + 1024);
    put32le(b, 40); put32le(b, 60000); put32le(b, 60000);
    put16le(b, 1); put16le(b, 8); put32le(b, 1);  // RLE8
    put32le(b, 0); put32le(b, 2835); put32le(b, 2835); put32le(b, 256); put32le(b, 0);
    for (int i = 0; i < 256; ++i) put32le(b, uint32_t(i * 0x010101));
    for (int i = 0; i < 200; ++i) b.insert(b.end(), {0xFF, uint8_t(i)});
    b.insert(b.end(), {0x00, 0x01});
    return {"rle.bmp", b, {kErrTooLarge}, "RLE8 BMP of 60000 x 60000 in 2 KB"};
}

// --- TIFF -----------------------------------------------------------------

HostileFile tiffRgbaHuge() {
    // 16-bit RGB goes through libtiff's RGBA reader, which filled its raster first.
    TiffPage p;
    p.width = 20000; p.height = 20000; p.bitsPerSample = 16; p.samples = 3; p.photometric = 2;
    p.compression = 5;  // LZW
    p.strip = Bytes(16, 0x80);
    return {"rgba.tif", tiffFile({p}), {kErrTooLarge}, "156-byte 16-bit RGB TIFF of 20000 x 20000"};
}

HostileFile tiffPageFlood() {
    // 10000 pages of 1024 x 1024 RGB sharing one Deflate strip (3 MB each, 30 GB in all).
    TiffPage p;
    p.width = 1024; p.height = 1024; p.samples = 3; p.photometric = 2; p.compression = 8;
    Bytes raw;
    for (int y = 0; y < 1024; ++y) { raw.push_back(0); raw.insert(raw.end(), 1024 * 3, 0x40); }
    raw.resize(size_t(1024) * 1024 * 3);
    p.strip = deflate(raw);
    std::vector<TiffPage> pages(10000, p);
    for (size_t i = 1; i < pages.size(); ++i) { pages[i].sharedStrip = true; pages[i].strip.clear(); }
    // Their shared data fills the first page only: the rest may use the
    // file's small allowance, then they are left out.
    return {"flood.tif", tiffFile(pages), {kOk}, "1.3 MB TIFF of 10000 pages sharing one strip, asking 30 GB"};
}

// --- GIF ------------------------------------------------------------------

HostileFile gifHugeFrame() {
    GifFrame f;
    f.width = 45000; f.height = 45000;
    f.lzw = Bytes(512 * 1024, 0x55);
    return {"huge.gif", gifFile(45000, 45000, {f}), {kErrTooLarge}, "512 KB GIF whose frame is 45000 x 45000"};
}

HostileFile gifFrameFlood() {
    // 2000 frames of 4000 x 4000, each declared with a few bytes: 32 GB in all.
    GifFrame f;
    f.width = 4000; f.height = 4000;
    f.lzw = gifLzwZeros(16);
    // The first frame may use the file's small allowance but its data ends
    // at once; the others are more than their data can fill.
    return {"flood.gif", gifFile(4000, 4000, std::vector<GifFrame>(2000, f)), {kErrRead, kErrCorrupt},
            "GIF of 2000 frames of 4000 x 4000"};
}

// --- GEM IMG and MSP --------------------------------------------------------

HostileFile gemReplicated() {
    // 8 planes, 20000 x 65000: each coded line is solid runs, shown 255 times.
    const int width = 20000, height = 65000, planes = 8;
    Bytes g;
    for (int v : {1, 8, planes, 2, 85, 85, width, height}) put16be(g, unsigned(v));
    const size_t planeBytes = (width + 7) / 8;
    for (int y = 0; y < height; y += 255) {
        g.insert(g.end(), {0x00, 0x00, 0xFF, 0xFF});
        for (int k = 0; k < planes; ++k)
            for (size_t left = planeBytes; left > 0;) {
                const size_t n = std::min<size_t>(left, 127);
                g.push_back(uint8_t(0x80 | n));
                left -= n;
            }
    }
    return {"replicated.img", g, {kErrTooLarge}, "GEM IMG of 20000 x 65000 x 8 planes in 52 KB"};
}

HostileFile mspEmptyRows() {
    const uint16_t w = 65535, h = 65535;
    Bytes m;
    const uint16_t words[12] = {0x694C, 0x536E, w, h, 1, 1, 1, 1, w, h, 0, 0};
    uint16_t check = 0;
    for (uint16_t x : words) { put16le(m, x); check ^= x; }
    put16le(m, check);
    m.resize(32, 0);
    m.insert(m.end(), size_t(h) * 2, 0);  // every row empty (white)
    return {"empty.msp", m, {kErrTooLarge}, "MSP of 65535 x 65535 whose rows all have length 0"};
}

// --- GraphicsMagick formats -------------------------------------------------

HostileFile pictHuge() {
    // A 16 x 16 red picture as GraphicsMagick writes it, its frame, source
    // rectangle and clip region then set to 20000 x 20000.
    static const uint8_t kSmall[] = {
        0x02, 0xB8, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x10, 0x00, 0x11, 0x02, 0xFF, 0x0C, 0x00,
        0xFF, 0xFE, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x10, 0x00, 0x10, 0x00, 0x98, 0x80, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x10,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00, 0x00, 0x48, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x08, 0x00, 0x01, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF,
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x10, 0x00, 0x00, 0x00, 0x00,
        0x00, 0x10, 0x00, 0x10, 0x00, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02,
        0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1,
        0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00,
        0x02, 0xF1, 0x00, 0x02, 0xF1, 0x00, 0x00, 0xFF,
    };
    Bytes p(512, 0);
    p.insert(p.end(), std::begin(kSmall), std::end(kSmall));
    for (size_t at : {size_t(514), size_t(540), size_t(558)}) {
        p[at + 4] = uint8_t(20000 >> 8); p[at + 5] = uint8_t(20000 & 0xFF);
        p[at + 6] = uint8_t(20000 >> 8); p[at + 7] = uint8_t(20000 & 0xFF);
    }
    return {"huge.pct", p, {kErrTooLarge}, "696-byte PICT whose frame is 20000 x 20000"};
}

HostileFile sunHuge() {
    Bytes s;
    for (uint32_t v : {0x59A66A95u, 60000u, 60000u, 8u, 0u, 2u, 0u, 0u}) put32be(s, v);  // RLE, no colour map
    s.insert(s.end(), {0x80, 0xFF, 0x00, 0x80, 0xFF, 0x00});
    return {"huge.ras", s, {kErrTooLarge, kErrRead, kErrCorrupt}, "Sun raster of 60000 x 60000 in 38 bytes"};
}

}  // namespace

Bytes deflate(const Bytes& raw) {
    uLongf n = compressBound(uLong(raw.size()));
    Bytes out(n);
    if (compress2(out.data(), &n, raw.data(), uLong(raw.size()), 9) != Z_OK) return {};
    out.resize(n);
    return out;
}

Bytes pngChunk(const char* type, const Bytes& data) {
    Bytes c;
    put32be(c, uint32_t(data.size()));
    c.insert(c.end(), type, type + 4);
    append(c, data);
    put32be(c, uint32_t(crc32(0, c.data() + 4, uInt(c.size() - 4))));
    return c;
}

Bytes pngFile(uint32_t w, uint32_t h, int depth, int colourType, const Bytes& idat, const std::vector<Bytes>& extra) {
    Bytes p = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Bytes ihdr;
    put32be(ihdr, w);
    put32be(ihdr, h);
    ihdr.insert(ihdr.end(), {uint8_t(depth), uint8_t(colourType), 0, 0, 0});
    append(p, pngChunk("IHDR", ihdr));
    for (const Bytes& c : extra) append(p, c);
    append(p, pngChunk("IDAT", idat));
    append(p, pngChunk("IEND", {}));
    return p;
}

Bytes tiffFile(const std::vector<TiffPage>& pages) {
    Bytes t = {'I', 'I', 42, 0, 0, 0, 0, 0};
    size_t nextPointer = 4;  // where the offset of the next IFD goes
    uint32_t sharedOffset = 0, sharedLength = 0;
    for (const TiffPage& p : pages) {
        uint32_t stripOffset = sharedOffset, stripLength = sharedLength;
        if (!p.sharedStrip) {
            stripOffset = uint32_t(t.size());
            stripLength = uint32_t(p.strip.size());
            append(t, p.strip);
            if (t.size() & 1) t.push_back(0);
            if (sharedLength == 0) { sharedOffset = stripOffset; sharedLength = stripLength; }
        }
        // Bits per sample of several samples do not fit in the entry: stored after the IFD.
        struct Entry { uint16_t tag, type; uint32_t count, value; };
        std::vector<Entry> entries = {
            {256, 4, 1, p.width}, {257, 4, 1, p.height}, {258, 3, p.samples, p.bitsPerSample},
            {259, 3, 1, p.compression}, {262, 3, 1, p.photometric}, {273, 4, 1, stripOffset},
            {277, 3, 1, p.samples}, {278, 4, 1, p.height}, {279, 4, 1, stripLength}, {284, 3, 1, p.planar}};
        const uint32_t ifd = uint32_t(t.size());
        set32le(t, nextPointer, ifd);
        put16le(t, unsigned(entries.size()));
        const uint32_t arrays = ifd + 2 + uint32_t(entries.size()) * 12 + 4;
        for (const Entry& e : entries) {
            put16le(t, e.tag);
            put16le(t, e.type);
            put32le(t, e.count);
            if (e.tag == 258 && e.count > 2) {
                put32le(t, arrays);
            } else if (e.type == 3) {
                put16le(t, e.value);
                put16le(t, e.tag == 258 && e.count == 2 ? e.value : 0);
            } else {
                put32le(t, e.value);
            }
        }
        nextPointer = t.size();
        put32le(t, 0);
        if (p.samples > 2)
            for (int i = 0; i < p.samples; ++i) put16le(t, p.bitsPerSample);
    }
    return t;
}

Bytes gifFile(uint16_t screenW, uint16_t screenH, const std::vector<GifFrame>& frames) {
    Bytes g = {'G', 'I', 'F', '8', '9', 'a'};
    put16le(g, screenW);
    put16le(g, screenH);
    g.insert(g.end(), {0x80, 0, 0});                    // global table of 2 colours
    g.insert(g.end(), {0, 0, 0, 255, 255, 255});
    for (const GifFrame& f : frames) {
        g.push_back(0x2C);
        put16le(g, 0); put16le(g, 0);
        put16le(g, f.width); put16le(g, f.height);
        g.push_back(0);
        g.push_back(2);  // LZW minimum code size
        for (size_t i = 0; i < f.lzw.size(); i += 255) {
            const size_t n = std::min<size_t>(255, f.lzw.size() - i);
            g.push_back(uint8_t(n));
            g.insert(g.end(), f.lzw.begin() + long(i), f.lzw.begin() + long(i + n));
        }
        g.push_back(0);
    }
    g.push_back(0x3B);
    return g;
}

Bytes gifLzwZeros(uint32_t pixels) {
    // LZW as giflib writes it, minimum code size 2 (codes 4 = clear, 5 = end):
    // the code width grows once the next code no longer fits.
    Bytes out;
    uint32_t acc = 0;
    int bits = 0, width = 3, next = 6;
    auto emit = [&](int code) {
        acc |= uint32_t(code) << bits;
        bits += width;
        while (bits >= 8) { out.push_back(uint8_t(acc)); acc >>= 8; bits -= 8; }
        if (next >= (1 << width) && width < 12) ++width;
    };
    std::map<std::pair<int, int>, int> table;
    emit(4);
    int prefix = -1;
    for (uint32_t i = 0; i < pixels; ++i) {
        const int c = 0;
        if (prefix < 0) { prefix = c; continue; }
        const auto it = table.find({prefix, c});
        if (it != table.end()) { prefix = it->second; continue; }
        emit(prefix);
        if (next >= 4095) {
            emit(4);
            table.clear();
            next = 6;
            width = 3;
        } else {
            table[{prefix, c}] = next++;
        }
        prefix = c;
    }
    if (prefix >= 0) emit(prefix);
    emit(5);
    if (bits > 0) out.push_back(uint8_t(acc));
    return out;
}

const std::vector<HostileFile>& hostileFiles() {
    // Made once: the compression bombs take a moment to build.
    static const std::vector<HostileFile> files = {psLoop(),        epsHugeBox(),      psPageFlood(),  pngTwoBitHuge(), pngTextBomb(),
            pngIdatBomb(),   jpegHugeEndsAtMarker(), jpegEmptyScans(), bmpRleHuge(),  tiffRgbaHuge(),
            tiffPageFlood(), gifHugeFrame(),    gifFrameFlood(), gemReplicated(), mspEmptyRows(),
            pictHuge(),      sunHuge()};
    return files;
}

}  // namespace qova::test
