// Photoshop PSD/PSB reader: the merged (composite) image only. Layers are
// skipped; every file saved with "maximise compatibility" carries the merge.
//
// Layout: 26-byte header, colour mode data, image resources, layer and mask
// section, then the merged image as planar channels (all rows of channel 0,
// then channel 1, …), raw or PackBits per row.
#include <algorithm>
#include <cstring>
#include <vector>

#include "../codes.h"
#include "budget.h"
#include "codec.h"

namespace qova::engine {
namespace {

enum ColourMode : uint16_t {
    kModeBitmap = 0,
    kModeGrey = 1,
    kModeIndexed = 2,
    kModeRgb = 3,
    kModeCmyk = 4,
    kModeMultichannel = 7,
    kModeDuotone = 8,
    kModeLab = 9,
};

struct Header {
    bool big = false;  // PSB: wider section lengths and row counts
    int channels = 0;
    int width = 0;
    int height = 0;
    int depth = 0;
    int mode = 0;
    int colourChannels = 0;  // channels the mode itself needs
    bool alpha = false;      // one more channel after those: transparency
    int bpp = 0;             // depth of the bitmap we make
};

// Cursor over the input that refuses to step past its end.
struct Cursor {
    const uint8_t* data;
    size_t size;
    size_t pos = 0;
    size_t left() const { return size - pos; }
    bool skip(uint64_t n) {
        if (n > left()) return false;
        pos += size_t(n);
        return true;
    }
};

int16_t readHeader(ByteSpan in, Header& h) {
    if (in.size < 4 || std::memcmp(in.data, "8BPS", 4) != 0) return kErrBadFormat;
    if (in.size < 26) return kErrRead;
    const uint8_t* p = in.data;
    const int version = rd16be(p + 4);
    if (version != 1 && version != 2) return kErrVersion;
    h.big = version == 2;
    h.channels = rd16be(p + 12);
    const uint32_t height = rd32be(p + 14);
    const uint32_t width = rd32be(p + 18);
    h.depth = rd16be(p + 22);
    h.mode = rd16be(p + 24);
    if (h.channels < 1 || h.channels > 56) return kErrCorrupt;
    const uint32_t maxSide = h.big ? 300000u : 30000u;
    if (width == 0 || height == 0 || width > maxSide || height > maxSide) return kErrBadSize;
    h.width = int(width);
    h.height = int(height);
    if (h.depth != 1 && h.depth != 8 && h.depth != 16 && h.depth != 32) return kErrCorrupt;
    if (h.depth == 32) return kErrSubtype;  // float HDR

    switch (h.mode) {
    case kModeBitmap:
        if (h.depth != 1) return kErrCorrupt;
        h.colourChannels = 1;
        break;
    case kModeIndexed:
        if (h.depth != 8) return kErrCorrupt;
        h.colourChannels = 1;
        break;
    case kModeGrey:
    case kModeDuotone:
        h.colourChannels = 1;
        break;
    case kModeRgb: h.colourChannels = 3; break;
    case kModeCmyk: h.colourChannels = 4; break;
    case kModeMultichannel:
    case kModeLab: return kErrSubtype;
    default: return kErrCorrupt;
    }
    if (h.depth == 1 && h.mode != kModeBitmap) return kErrCorrupt;
    if (h.channels < h.colourChannels) return kErrCorrupt;
    // Bitmap and indexed images cannot carry transparency in the merge.
    h.alpha = h.channels > h.colourChannels && h.mode != kModeBitmap && h.mode != kModeIndexed;

    switch (h.mode) {
    case kModeBitmap: h.bpp = 1; break;
    case kModeIndexed: h.bpp = 8; break;
    case kModeGrey:
    case kModeDuotone: h.bpp = h.alpha ? 32 : h.depth; break;
    default: h.bpp = h.alpha ? 32 : 24; break;
    }
    return kOk;
}

// The resolution resource (0x03ED) among the image resources: each block is
// "8BIM", an id, a padded Pascal name, a length and padded data. The
// resolutions are 16.16 fixed-point pixels per inch whatever unit the file
// shows them in. Leaves 0 when the resource is missing or makes no sense.
void resolutionOf(const uint8_t* p, size_t n, double& dpiX, double& dpiY) {
    size_t i = 0;
    while (i + 12 <= n) {
        if (std::memcmp(p + i, "8BIM", 4) != 0) return;
        const unsigned id = rd16be(p + i + 4);
        size_t at = i + 6;
        const size_t nameLen = p[at];
        at += (nameLen + 2) & ~size_t(1);  // length byte and name, padded to even
        if (at + 4 > n) return;
        const uint32_t len = rd32be(p + at);
        at += 4;
        if (len > n - at) return;
        if (id == 0x03ED && len >= 16) {
            const double x = rd32be(p + at) / 65536.0, y = rd32be(p + at + 8) / 65536.0;
            if (x >= 1 && y >= 1 && x < 1e6 && y < 1e6) {
                dpiX = x;
                dpiY = y;
            }
            return;
        }
        i = at + ((size_t(len) + 1) & ~size_t(1));
    }
}

// One PackBits row into exactly `out.size()` bytes. Extra output is dropped
// (some writers pad a row); a row that comes up short is corrupt.
bool unpackBits(const uint8_t* src, size_t n, std::vector<uint8_t>& out) {
    size_t o = 0;
    const size_t want = out.size();
    size_t i = 0;
    while (i < n && o < want) {
        const int c = int8_t(src[i++]);
        if (c >= 0) {
            size_t len = size_t(c) + 1;
            if (len > n - i) return false;
            const size_t take = std::min(len, want - o);
            std::memcpy(out.data() + o, src + i, take);
            o += take;
            i += len;
        } else if (c != -128) {
            if (i >= n) return false;
            const size_t take = std::min(size_t(1 - c), want - o);
            std::memset(out.data() + o, src[i++], take);
            o += take;
        }
    }
    return o == want;
}

// Puts one decoded channel row into the bitmap. CMYK channels wait in the
// pixel slots until K arrives, then the row becomes RGB.
void storeRow(const Header& h, int channel, const uint8_t* src, uint8_t* dst) {
    const int w = h.width;
    if (h.bpp <= 16) {  // one channel straight in: bitmap, indexed, grey
        if (h.bpp == 16) {
            uint16_t* d = reinterpret_cast<uint16_t*>(dst);
            for (int x = 0; x < w; ++x) d[x] = rd16be(src + 2 * x);
        } else {
            std::memcpy(dst, src, h.bpp == 1 ? size_t(w + 7) / 8 : size_t(w));
        }
        return;
    }
    const int step = h.bpp / 8;  // 3 or 4
    const int sstep = h.depth / 8;  // 16-bit samples keep their high byte
    auto sample = [&](int x) { return src[x * sstep]; };

    if (h.colourChannels == 1) {  // grey + alpha into BGRA
        if (channel == 0) {
            for (int x = 0; x < w; ++x) {
                const uint8_t v = sample(x);
                dst[x * 4] = dst[x * 4 + 1] = dst[x * 4 + 2] = v;
            }
        } else {
            for (int x = 0; x < w; ++x) dst[x * 4 + 3] = sample(x);
        }
        return;
    }
    if (channel < 3) {
        const int slot = 2 - channel;  // R, G, B land on BGR order
        for (int x = 0; x < w; ++x) dst[x * step + slot] = sample(x);
        return;
    }
    if (h.mode == kModeCmyk && channel == 3) {
        // Adobe stores CMYK inverted (255 = no ink), so each slot already
        // holds 255 − C and multiplying by 255 − K gives the naive RGB.
        for (int x = 0; x < w; ++x) {
            const unsigned k = sample(x);
            uint8_t* px = dst + x * step;
            for (int s = 0; s < 3; ++s) px[s] = uint8_t((px[s] * k + 127) / 255);
        }
        return;
    }
    for (int x = 0; x < w; ++x) dst[x * 4 + 3] = sample(x);  // alpha
}

}  // namespace

int16_t decodePsd(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    Header h;
    if (int16_t rc = readHeader(in, h)) return rc;

    Cursor cur{in.data, in.size, 26};
    // Colour mode data: the palette of indexed images, duotone curves else.
    if (cur.left() < 4) return kErrRead;
    const uint32_t modeLen = rd32be(in.data + cur.pos);
    cur.pos += 4;
    const size_t modePos = cur.pos;
    if (!cur.skip(modeLen)) return kErrRead;
    if (h.mode == kModeIndexed && modeLen < 768) return kErrCorrupt;

    // Of the image resources only the resolution is wanted; the layer
    // section is not needed for the merge.
    if (cur.left() < 4) return kErrRead;
    const uint32_t resLen = rd32be(in.data + cur.pos);
    cur.pos += 4;
    const size_t resPos = cur.pos;
    if (!cur.skip(resLen)) return kErrRead;
    double dpiX = 0, dpiY = 0;
    resolutionOf(in.data + resPos, resLen, dpiX, dpiY);
    const size_t lenBytes = h.big ? 8 : 4;
    if (cur.left() < lenBytes) return kErrRead;
    const uint64_t layerLen = h.big ? (uint64_t(rd32be(in.data + cur.pos)) << 32) | rd32be(in.data + cur.pos + 4)
                                    : rd32be(in.data + cur.pos);
    cur.pos += lenBytes;
    if (!cur.skip(layerLen)) return kErrRead;

    if (cur.left() < 2) return kErrRead;
    const int compression = rd16be(in.data + cur.pos);
    cur.pos += 2;
    if (compression != 0 && compression != 1) return kErrCompression;

    doc.info.width = h.width;
    doc.info.height = h.height;
    doc.info.bpp = h.bpp;
    doc.info.pageCount = 1;
    if (opts.infoOnly) return kOk;

    const int used = h.colourChannels + (h.alpha ? 1 : 0);
    const size_t rowBytes = (size_t(h.width) * size_t(h.depth) + 7) / 8;
    const size_t rows = size_t(used) * size_t(h.height);

    // Check the data is all there before allocating the bitmap.
    std::vector<uint32_t> counts;  // packed size of each row (RLE only)
    if (compression == 0) {
        if (rowBytes * rows > cur.left()) return kErrRead;
    } else {
        const size_t entry = h.big ? 4 : 2;
        const size_t table = size_t(h.channels) * size_t(h.height) * entry;
        if (table > cur.left()) return kErrRead;
        counts.resize(rows);
        const uint8_t* t = in.data + cur.pos;
        uint64_t total = 0;
        // PackBits yields at most 128 bytes per two input bytes.
        const uint32_t minPacked = uint32_t((rowBytes + 127) / 128 * 2);
        for (size_t i = 0; i < rows; ++i) {
            counts[i] = h.big ? rd32be(t + i * 4) : rd16be(t + i * 2);
            if (counts[i] < minPacked) return kErrCorrupt;
            total += counts[i];
        }
        cur.pos += table;
        if (total > cur.left()) return kErrRead;
    }

    if (!fitsCeiling(h.width, h.height, h.bpp)) return kErrNoMemory;
    int16_t code = kOk;
    Bitmap bmp = Bitmap::create(h.width, h.height, h.bpp, h.mode == kModeGrey || h.mode == kModeDuotone, &code);
    if (bmp.isNull()) return code;
    if (h.mode == kModeBitmap) {
        bmp.setPalette({Rgb{255, 255, 255}, Rgb{0, 0, 0}});  // set bits are ink
    } else if (h.mode == kModeIndexed) {
        const uint8_t* pal = in.data + modePos;
        Palette p(256);
        for (int i = 0; i < 256; ++i) p[size_t(i)] = Rgb{pal[i], pal[256 + i], pal[512 + i]};
        bmp.setPalette(std::move(p));
    }
    if (opts.progress) opts.progress(0);
    std::vector<uint8_t> row(rowBytes);
    int lastPercent = 0;
    for (int c = 0; c < used; ++c) {
        for (int y = 0; y < h.height; ++y) {
            const size_t r = size_t(c) * size_t(h.height) + size_t(y);
            const uint8_t* src;
            if (compression == 0) {
                src = in.data + cur.pos;
                cur.pos += rowBytes;
            } else {
                if (!unpackBits(in.data + cur.pos, counts[r], row)) return kErrCorrupt;
                cur.pos += counts[r];
                src = row.data();
            }
            storeRow(h, c, src, bmp.mutableRow(y));
            if (opts.progress) {
                const int pc = int((r + 1) * 100 / rows);
                if (pc > lastPercent && pc < 100) opts.progress(lastPercent = pc);
            }
        }
    }
    if (opts.progress) opts.progress(100);

    doc.frames.clear();
    Frame f;
    f.bitmap = std::move(bmp);
    f.dpiX = dpiX;
    f.dpiY = dpiY;
    doc.frames.push_back(std::move(f));
    return kOk;
}

}  // namespace qova::engine
