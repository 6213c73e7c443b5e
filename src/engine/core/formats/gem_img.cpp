// GEM bit image (.img).
//
// Big-endian header words: version, header length in words, planes, pattern
// length, pixel width and height (micrometres), line width (pixels), lines.
// An XIMG extension may follow: "XIMG", a colour model (0 = RGB) and one
// R, G, B triple per colour, each 0..1000.
//
// Each scan line holds every plane's row in turn ((width + 7) / 8 bytes each,
// plane 0 = least significant bit of the colour index), coded as:
//   00 00 FF n      at the start of a line: the next line is shown n times
//   00 n <pattern>  the pattern (pattern length bytes) n times
//   80 n <bytes>    n bytes as they are
//   v|n (other)     n (1..127) bytes of 00, or of FF when the top bit is set
// With one plane a set bit is black. Without a palette, 2–4 planes use the
// GEM VDI colours and 5–8 planes a grey ramp from white (0) to black.
//
// We write one plane for 1-bit bitmaps, and 4 or 8 planes with an XIMG
// palette for 4 and 8-bit ones.
#include <algorithm>
#include <cstring>
#include <vector>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "write_file.h"

namespace qova::engine {
namespace {

constexpr size_t kBaseHeaderWords = 8;
constexpr int kPixelMicrons = 85;  // about 300 dpi, what scanners wrote
constexpr int kWritePatternLength = 2;

Palette vdiPalette() {
    static const uint8_t v[16][3] = {
        {255, 255, 255}, {0, 0, 0},     {255, 0, 0},   {0, 255, 0},   {0, 0, 255},   {0, 255, 255},
        {255, 255, 0},   {255, 0, 255}, {192, 192, 192}, {128, 128, 128}, {128, 0, 0}, {0, 128, 0},
        {0, 0, 128},     {0, 128, 128}, {128, 128, 0}, {128, 0, 128}};
    Palette p(16);
    for (int i = 0; i < 16; ++i) p[size_t(i)] = Rgb{v[i][0], v[i][1], v[i][2]};
    return p;
}

Palette defaultPalette(int planes) {
    if (planes == 1) return {Rgb{255, 255, 255}, Rgb{0, 0, 0}};
    if (planes <= 4) return vdiPalette();
    const int n = 1 << planes;
    Palette p(256);
    for (int i = 0; i < n; ++i) {
        const uint8_t g = uint8_t(255 - i * 255 / (n - 1));
        p[size_t(i)] = Rgb{g, g, g};
    }
    return p;
}

struct Header {
    int planes = 0;
    size_t patternLength = 0;
    int width = 0;
    int height = 0;
    size_t dataStart = 0;
    Palette palette;
};

int16_t readHeader(ByteSpan in, Header& h) {
    // No signature: judge by whether the header words make sense.
    if (in.size < 2 * kBaseHeaderWords) return kErrBadFormat;
    const uint8_t* p = in.data;
    const size_t headerWords = rd16be(p + 2);
    h.planes = rd16be(p + 4);
    h.patternLength = rd16be(p + 6);
    const int lineWidth = rd16be(p + 12);
    const int lines = rd16be(p + 14);
    if (headerWords < kBaseHeaderWords || h.planes == 0 || h.planes > 32 || h.patternLength > 8)
        return kErrBadFormat;
    if (h.planes > 8) return kErrSubtype;  // high and true colour variants
    if (lineWidth == 0 || lines == 0) return kErrBadSize;
    if (headerWords * 2 > in.size) return kErrRead;
    h.width = lineWidth;
    h.height = lines;
    h.dataStart = headerWords * 2;

    h.palette = defaultPalette(h.planes);
    const size_t colours = size_t(1) << h.planes;
    if (headerWords >= kBaseHeaderWords + 3 && std::memcmp(p + 16, "XIMG", 4) == 0 && rd16be(p + 20) == 0 &&
        headerWords * 2 >= 22 + 6 * colours) {
        for (size_t i = 0; i < colours; ++i) {
            const uint8_t* e = p + 22 + 6 * i;
            auto level = [](int v) { return uint8_t((std::min(v, 1000) * 255 + 500) / 1000); };
            h.palette[i] = Rgb{level(rd16be(e)), level(rd16be(e + 2)), level(rd16be(e + 4))};
        }
    }
    return kOk;
}

// Decodes one scan line (all planes) into `line`. Runs that would pass the
// end of the line are cut there.
int16_t decodeLine(const uint8_t* d, size_t n, size_t& pos, size_t patLen, std::vector<uint8_t>& line) {
    const size_t want = line.size();
    size_t o = 0;
    while (o < want) {
        if (pos >= n) return kErrRead;
        const uint8_t b = d[pos++];
        if (b == 0x00) {
            if (pos >= n) return kErrRead;
            const size_t reps = d[pos++];
            if (reps == 0) return kErrCorrupt;  // replication only starts a line
            if (n - pos < patLen) return kErrRead;
            for (size_t r = 0; r < reps && o < want; ++r) {
                const size_t take = std::min(patLen, want - o);
                std::memcpy(line.data() + o, d + pos, take);
                o += take;
            }
            pos += patLen;
        } else if (b == 0x80) {
            if (pos >= n) return kErrRead;
            const size_t count = d[pos++];
            if (n - pos < count) return kErrRead;
            const size_t take = std::min(count, want - o);
            std::memcpy(line.data() + o, d + pos, take);
            o += take;
            pos += count;
        } else {
            const size_t take = std::min<size_t>(b & 0x7F, want - o);
            std::memset(line.data() + o, (b & 0x80) ? 0xFF : 0x00, take);
            o += take;
        }
    }
    return kOk;
}

// Planar line to chunky pixels: plane k gives bit k of each index.
void planesToRow(const std::vector<uint8_t>& line, int planes, int width, size_t planeBytes, int bpp, uint8_t* dst) {
    if (planes == 1) {
        std::memcpy(dst, line.data(), planeBytes);
        return;
    }
    if (bpp == 4) std::memset(dst, 0, (size_t(width) + 1) / 2);
    for (int x = 0; x < width; ++x) {
        const size_t byte = size_t(x) >> 3;
        const int shift = 7 - (x & 7);
        unsigned v = 0;
        for (int k = 0; k < planes; ++k) v |= unsigned((line[size_t(k) * planeBytes + byte] >> shift) & 1) << k;
        if (bpp == 8) dst[x] = uint8_t(v);
        else dst[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
    }
}

// --- writing ---

void putWord(std::vector<uint8_t>& out, int v) {
    out.push_back(uint8_t(v >> 8));
    out.push_back(uint8_t(v));
}

// One plane row: solid runs for 00/FF bytes, two-byte patterns repeated at
// least twice, literal runs for the rest.
void packPlane(const uint8_t* row, size_t n, std::vector<uint8_t>& out) {
    auto patternReps = [&](size_t i) {
        size_t reps = 1;
        while (reps < 255 && i + 2 * reps + 1 < n && row[i + 2 * reps] == row[i] && row[i + 2 * reps + 1] == row[i + 1])
            ++reps;
        return reps;
    };
    size_t i = 0;
    while (i < n) {
        const uint8_t b = row[i];
        if (b == 0x00 || b == 0xFF) {
            size_t run = 1;
            while (i + run < n && run < 127 && row[i + run] == b) ++run;
            out.push_back(uint8_t((b & 0x80) | run));
            i += run;
            continue;
        }
        if (i + 3 < n && patternReps(i) >= 2) {
            const size_t reps = patternReps(i);
            out.insert(out.end(), {0x00, uint8_t(reps), row[i], row[i + 1]});
            i += 2 * reps;
            continue;
        }
        size_t j = i;
        while (j < n && j - i < 255) {
            if (row[j] == 0x00 || row[j] == 0xFF) break;
            if (j + 3 < n && patternReps(j) >= 2) break;
            ++j;
        }
        if (j == i) j = i + 1;
        out.push_back(0x80);
        out.push_back(uint8_t(j - i));
        out.insert(out.end(), row + i, row + j);
        i = j;
    }
}

// The bitmap's row as GEM planes.
void rowToPlanes(const Bitmap& bmp, int y, int planes, size_t planeBytes, bool invert, std::vector<uint8_t>& line) {
    const int width = bmp.width();
    const uint8_t* src = bmp.row(y);
    if (planes == 1) {
        for (size_t i = 0; i < planeBytes; ++i) line[i] = invert ? uint8_t(~src[i]) : src[i];
        if (width & 7) line[planeBytes - 1] &= uint8_t(0xFF << (8 - (width & 7)));  // white past the edge
        return;
    }
    std::fill(line.begin(), line.end(), 0);
    for (int x = 0; x < width; ++x) {
        const unsigned v = bmp.bpp() == 8 ? src[x] : ((x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4);
        const uint8_t bit = uint8_t(0x80 >> (x & 7));
        for (int k = 0; k < planes; ++k)
            if (v & (1u << k)) line[size_t(k) * planeBytes + (size_t(x) >> 3)] |= bit;
    }
}

}  // namespace

int16_t decodeGemImg(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    Header h;
    if (int16_t rc = readHeader(in, h)) return rc;
    const int bpp = h.planes == 1 ? 1 : h.planes <= 4 ? 4 : 8;
    doc.info.width = h.width;
    doc.info.height = h.height;
    doc.info.bpp = bpp;
    doc.info.pageCount = 1;
    if (opts.infoOnly) return kOk;

    const size_t planeBytes = (size_t(h.width) + 7) / 8;
    const size_t lineBytes = planeBytes * size_t(h.planes);
    // Refuse before allocating when the data cannot cover the picture: no
    // coded byte yields more than 255 bytes, and a line is shown at most 255
    // times, so every 255 lines need a coded line of their own.
    const size_t groups = (size_t(h.height) + 254) / 255;
    if (groups * ((lineBytes + 254) / 255) > in.size - h.dataStart) return kErrRead;
    // That bound allows some 50000 bytes of picture for one of data, far past
    // any real file (a blank scanned page comes to about 10000): pictures
    // beyond 1024 to one are refused before they are allocated.
    if (!plausibleSize(uint64_t(lineBytes) * uint64_t(h.height), in.size - h.dataStart, 1024)) return kErrTooLarge;
    if (!fitsCeiling(h.width, h.height, bpp)) return kErrNoMemory;

    int16_t code = kOk;
    Bitmap bmp = Bitmap::create(h.width, h.height, bpp, false, &code);
    if (bmp.isNull()) return code;
    bmp.setPalette(h.palette);

    if (opts.progress) opts.progress(0);
    std::vector<uint8_t> line(lineBytes);
    const uint8_t* d = in.data;
    size_t pos = h.dataStart;
    int y = 0;
    while (y < h.height) {
        size_t repeat = 1;
        while (in.size - pos >= 4 && d[pos] == 0 && d[pos + 1] == 0 && d[pos + 2] == 0xFF) {
            repeat = std::max<size_t>(d[pos + 3], 1);
            pos += 4;
        }
        if (int16_t rc = decodeLine(d, in.size, pos, h.patternLength, line)) return rc;
        const int end = int(std::min<size_t>(size_t(h.height), size_t(y) + repeat));
        planesToRow(line, h.planes, h.width, planeBytes, bpp, bmp.mutableRow(y));
        for (int r = y + 1; r < end; ++r) std::memcpy(bmp.mutableRow(r), bmp.row(y), bmp.stride());
        if (opts.progress && (y >> 8) != (end >> 8)) opts.progress(int(int64_t(end) * 100 / h.height));
        y = end;
    }
    if (opts.progress) opts.progress(100);

    doc.frames.clear();
    Frame f;
    f.bitmap = std::move(bmp);
    doc.frames.push_back(std::move(f));
    return kOk;
}

int16_t encodeGemImg(const Bitmap& bmp, const std::string& path, const EncodeOptions&) {
    if (bmp.isNull()) return kErrBadHandle;
    const int bpp = bmp.bpp();
    if (bpp != 1 && bpp != 4 && bpp != 8) return kErrBadBpp;
    if (bmp.width() > 0xFFFF || bmp.height() > 0xFFFF) return kErrBadSize;
    const int planes = bpp;

    std::vector<uint8_t> out;
    const size_t colours = size_t(1) << planes;
    const size_t headerWords = planes == 1 ? kBaseHeaderWords : kBaseHeaderWords + 3 + 3 * colours;
    putWord(out, 1);
    putWord(out, int(headerWords));
    putWord(out, planes);
    putWord(out, kWritePatternLength);
    putWord(out, kPixelMicrons);
    putWord(out, kPixelMicrons);
    putWord(out, bmp.width());
    putWord(out, bmp.height());

    bool invert = false;
    if (planes == 1) {
        // A set bit is black in the file.
        const Palette& pal = bmp.palette();
        invert = pal.size() >= 2 && lumaSum(pal[1]) > lumaSum(pal[0]);
    } else {
        out.insert(out.end(), {'X', 'I', 'M', 'G'});
        putWord(out, 0);  // RGB
        for (size_t i = 0; i < colours; ++i) {
            Rgb c;
            if (bmp.isGrey()) c = Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
            else if (i < bmp.palette().size()) c = bmp.palette()[i];
            putWord(out, (c.r * 1000 + 127) / 255);
            putWord(out, (c.g * 1000 + 127) / 255);
            putWord(out, (c.b * 1000 + 127) / 255);
        }
    }

    const size_t planeBytes = (size_t(bmp.width()) + 7) / 8;
    std::vector<uint8_t> line(planeBytes * size_t(planes)), next(line.size());
    int y = 0;
    if (bmp.height() > 0) rowToPlanes(bmp, 0, planes, planeBytes, invert, line);
    while (y < bmp.height()) {
        int repeat = 1;
        while (y + repeat < bmp.height() && repeat < 255) {
            rowToPlanes(bmp, y + repeat, planes, planeBytes, invert, next);
            if (next != line) break;
            ++repeat;
        }
        if (repeat > 1) out.insert(out.end(), {0x00, 0x00, 0xFF, uint8_t(repeat)});
        for (int k = 0; k < planes; ++k) packPlane(line.data() + size_t(k) * planeBytes, planeBytes, out);
        y += repeat;
        // `next` holds row y already unless the run stopped at 255 or the end.
        if (y < bmp.height()) {
            if (repeat == 255) rowToPlanes(bmp, y, planes, planeBytes, invert, next);
            line.swap(next);
        }
    }
    return writeWholeFile(path, out);
}

}  // namespace qova::engine
