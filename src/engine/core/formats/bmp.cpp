// Windows and OS/2 BMP: every header version, 1/2/4/8-bit palettes, RLE4,
// RLE8, 16 and 32-bit bit fields, 24 bits, and embedded JPEG/PNG.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "format_table.h"

namespace qova::engine {

namespace {

struct Mask {
    uint32_t mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Mask(uint32_t m = 0) : mask(m) {
        if (!m) return;
        while (!((m >> shift) & 1)) ++shift;
        while (bits + shift < 32 && ((m >> (shift + bits)) & 1)) ++bits;
    }
    uint8_t get(uint32_t v) const {
        if (!bits) return 0;
        const uint32_t x = (v & mask) >> shift;
        if (bits >= 8) return uint8_t(x >> (bits - 8));
        // Widen by repeating the bits so full scale maps to 255.
        uint32_t r = 0;
        int have = 0;
        while (have < 8) { r = (r << bits) | x; have += bits; }
        return uint8_t(r >> (have - 8));
    }
};

int16_t decodeRle(ByteSpan px, int bitcount, int w, int h, bool bottomUp, Bitmap& bmp) {
    // RLE data is a stream of (count, value) pairs with escapes; pixels it
    // skips (delta, early end of line) stay index 0 (the bitmap starts blank).
    size_t p = 0;
    int x = 0, y = 0;
    auto put = [&](int v) {
        if (x < w && y < h) bmp.setIndex(x, bottomUp ? h - 1 - y : y, v);
        ++x;
    };
    while (true) {
        if (p + 2 > px.size) return kErrRead;
        const int n = px.data[p], v = px.data[p + 1];
        p += 2;
        if (n > 0) {
            for (int i = 0; i < n; ++i) put(bitcount == 8 ? v : ((i & 1) ? (v & 15) : (v >> 4)));
        } else if (v == 0) {
            x = 0; ++y;
            if (y >= h) return kOk;
        } else if (v == 1) {
            return kOk;
        } else if (v == 2) {
            if (p + 2 > px.size) return kErrRead;
            x += px.data[p]; y += px.data[p + 1];
            p += 2;
            if (y >= h) return kOk;
        } else {
            const size_t bytes = bitcount == 8 ? size_t(v) : size_t((v + 1) / 2);
            if (p + bytes > px.size) return kErrRead;
            for (int i = 0; i < v; ++i) {
                const int b = px.data[p + (bitcount == 8 ? size_t(i) : size_t(i / 2))];
                put(bitcount == 8 ? b : ((i & 1) ? (b & 15) : (b >> 4)));
            }
            p += (bytes + 1) & ~size_t(1);
        }
        if (x > w + 255) return kErrCorrupt;  // runaway line
    }
}

}  // namespace

int16_t decodeBmp(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 2 || in.data[0] != 'B' || in.data[1] != 'M') return kErrBadFormat;
    if (in.size < 26) return kErrRead;
    const uint8_t* d = in.data;
    const uint32_t offBits = rd32le(d + 10);
    const uint32_t hsize = rd32le(d + 14);
    if (hsize != 12 && hsize != 16 && hsize != 40 && hsize != 52 && hsize != 56 && hsize != 64 && hsize != 108 && hsize != 124)
        return kErrSubtype;
    if (14 + size_t(hsize) > in.size) return kErrRead;
    const bool core = hsize == 12;
    int32_t w, h;
    int bitcount;
    uint32_t compression = 0, clrUsed = 0;
    if (core) {
        w = rd16le(d + 18); h = int16_t(rd16le(d + 20)); bitcount = rd16le(d + 24);
    } else {
        w = int32_t(rd32le(d + 18)); h = int32_t(rd32le(d + 22)); bitcount = rd16le(d + 28);
        if (hsize >= 40) { compression = rd32le(d + 30); clrUsed = rd32le(d + 46); }
    }
    const bool bottomUp = h > 0;
    if (h < 0) h = h == INT32_MIN ? 0 : -h;
    if (w <= 0 || h <= 0 || w > kMaxDimension || h > kMaxDimension) return kErrBadSize;

    // Embedded JPEG or PNG: the header is just a wrapper.
    if (compression == 4 || compression == 5) {
        if (offBits >= in.size) return kErrRead;
        ByteSpan inner{d + offBits, in.size - offBits};
        const int16_t c = compression == 4 ? decodeJpeg(inner, opts, doc) : decodePng(inner, opts, doc);
        doc.info.formatCode = kFmtBmp;
        return c;
    }
    if (compression > 6 || (compression == 1 && bitcount != 8) || (compression == 2 && bitcount != 4) ||
        ((compression == 3 || compression == 6) && bitcount != 16 && bitcount != 32))
        return compression > 6 ? kErrCompression : kErrCorrupt;
    if (bitcount != 1 && bitcount != 2 && bitcount != 4 && bitcount != 8 && bitcount != 16 && bitcount != 24 && bitcount != 32)
        return bitcount == 64 ? kErrSubtype : kErrBadBpp;
    if (compression == 1 || compression == 2) {
        if (!bottomUp) return kErrCorrupt;
    }

    const int outBpp = bitcount == 2 ? 4 : bitcount == 16 ? 24 : bitcount;
    doc.info.width = w;
    doc.info.height = h;
    doc.info.bpp = bitcount;
    doc.info.pageCount = 1;
    doc.info.formatCode = (compression == 1 || compression == 2) ? kFmtBmpRle : core ? kFmtOs2Bmp : kFmtBmp;
    if (opts.infoOnly) return kOk;
    if (opts.firstPage > 0) return kErrBadParam;

    // Bit field masks: in the header (v2+) or right after a 40-byte one.
    uint32_t rm = 0, gm = 0, bm = 0, am = 0;
    size_t palStart = 14 + hsize;
    if (compression == 3 || compression == 6) {
        const size_t mpos = hsize >= 52 ? 54 : palStart;
        const size_t need = (compression == 6 || hsize >= 56) ? 16 : 12;
        if (mpos + need > in.size) return kErrRead;
        rm = rd32le(d + mpos); gm = rd32le(d + mpos + 4); bm = rd32le(d + mpos + 8);
        if (need == 16) am = rd32le(d + mpos + 12);
        if (hsize == 40) palStart += need;
    } else if (bitcount == 16) {
        rm = 0x7C00; gm = 0x03E0; bm = 0x001F;
    }

    // Before allocating: the data must be able to fill the picture. Raw rows
    // must all be there; a run of RLE gives at most 255 pixels for 2 bytes
    // (escapes that end lines or skip ahead leave pixels blank, and a file
    // made mostly of those is not a picture of that size).
    if (offBits >= in.size) return kErrRead;
    const bool rle = compression == 1 || compression == 2;
    const size_t srcStride = ((size_t(w) * bitcount + 31) / 32) * 4;
    if (rle && !plausibleSize(uint64_t(w) * uint64_t(h), in.size - offBits, 128)) return kErrTooLarge;
    if (!rle && (in.size - offBits) / srcStride < size_t(h)) return kErrRead;
    if (!fitsCeiling(w, h, outBpp)) return kErrNoMemory;

    int16_t code = kOk;
    Bitmap bmp = rle ? Bitmap::createFilled(w, h, outBpp, false, 0, &code) : Bitmap::create(w, h, outBpp, false, &code);
    if (bmp.isNull()) return code;
    if (bitcount <= 8) {
        const size_t entrySize = core ? 3 : 4;
        size_t n = clrUsed ? std::min<size_t>(clrUsed, size_t(1) << bitcount) : size_t(1) << bitcount;
        const size_t palEnd = std::min<size_t>(in.size, offBits > palStart ? offBits : in.size);
        n = std::min(n, (palEnd - std::min(palEnd, palStart)) / entrySize);
        Palette pal;
        for (size_t i = 0; i < n; ++i) {
            const uint8_t* e = d + palStart + i * entrySize;
            pal.push_back(Rgb{e[2], e[1], e[0]});
        }
        pal.resize(size_t(1) << outBpp);
        bmp.setPalette(std::move(pal));
    }
    ByteSpan px{d + offBits, in.size - offBits};
    if (opts.progress) opts.progress(0);
    if (rle) {
        code = decodeRle(px, bitcount, w, h, bottomUp, bmp);
        if (code != kOk) return code;
    } else {
        const Mask mr(rm), mg(gm), mb(bm), ma(am);
        const bool plain32 = bitcount == 32 && compression == 0;
        for (int y = 0; y < h; ++y) {
            const uint8_t* s = px.data + srcStride * size_t(bottomUp ? h - 1 - y : y);
            uint8_t* o = bmp.mutableRow(y);
            switch (bitcount) {
            case 1: case 4: case 8: case 24:
                std::memcpy(o, s, (size_t(w) * bitcount + 7) / 8);
                break;
            case 2:
                std::memset(o, 0, bmp.stride());
                for (int x = 0; x < w; ++x) bmp.setIndex(x, y, (s[x >> 2] >> (6 - 2 * (x & 3))) & 3);
                break;
            case 16:
                for (int x = 0; x < w; ++x) {
                    const uint32_t v = rd16le(s + 2 * x);
                    o[x * 3] = mb.get(v); o[x * 3 + 1] = mg.get(v); o[x * 3 + 2] = mr.get(v);
                }
                break;
            case 32:
                if (plain32) {
                    for (int x = 0; x < w; ++x) {
                        o[x * 4] = s[x * 4]; o[x * 4 + 1] = s[x * 4 + 1]; o[x * 4 + 2] = s[x * 4 + 2]; o[x * 4 + 3] = 255;
                    }
                } else {
                    for (int x = 0; x < w; ++x) {
                        const uint32_t v = rd32le(s + 4 * x);
                        o[x * 4] = mb.get(v); o[x * 4 + 1] = mg.get(v); o[x * 4 + 2] = mr.get(v);
                        o[x * 4 + 3] = am ? ma.get(v) : 255;
                    }
                }
                break;
            default: break;
            }
            if (opts.progress && (y & 1023) == 1023) opts.progress(int(int64_t(y) * 100 / h));
        }
    }
    if (opts.progress) opts.progress(100);
    Frame frame;
    if (hsize >= 40) {
        // Pixels per metre; 0 (or nonsense) says nothing.
        const int32_t perMetreX = int32_t(rd32le(d + 38)), perMetreY = int32_t(rd32le(d + 42));
        if (perMetreX > 0 && perMetreY > 0 && perMetreX < 40000000 && perMetreY < 40000000) {
            frame.dpiX = perMetreX * 0.0254;
            frame.dpiY = perMetreY * 0.0254;
        }
    }
    frame.bitmap = std::move(bmp);
    doc.frames.clear();
    doc.frames.push_back(std::move(frame));
    return kOk;
}

namespace {

void put16(std::vector<uint8_t>& v, unsigned x) { v.push_back(uint8_t(x)); v.push_back(uint8_t(x >> 8)); }
void put32(std::vector<uint8_t>& v, uint32_t x) { for (int i = 0; i < 4; ++i) v.push_back(uint8_t(x >> (8 * i))); }

// Encodes one row of 8-bit indices (RLE8) or 4-bit indices (RLE4).
void rleRow(std::vector<uint8_t>& out, const std::vector<uint8_t>& idx, bool four) {
    const size_t n = idx.size();
    size_t i = 0;
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 255 && idx[i + run] == idx[i]) ++run;
        if (run >= 3 || i + run >= n) {
            out.push_back(uint8_t(run));
            out.push_back(four ? uint8_t((idx[i] << 4) | idx[i]) : idx[i]);
            i += run;
            continue;
        }
        // Literal stretch until the next run of three.
        size_t lit = 0;
        while (i + lit < n && lit < 255) {
            if (i + lit + 2 < n && idx[i + lit] == idx[i + lit + 1] && idx[i + lit] == idx[i + lit + 2]) break;
            ++lit;
        }
        if (lit < 3) {
            for (size_t k = 0; k < lit; ++k) { out.push_back(1); out.push_back(four ? uint8_t(idx[i + k] << 4) : idx[i + k]); }
        } else {
            out.push_back(0);
            out.push_back(uint8_t(lit));
            size_t bytes = 0;
            for (size_t k = 0; k < lit; ++k) {
                if (four) {
                    if (k & 1) out.back() |= idx[i + k];
                    else { out.push_back(uint8_t(idx[i + k] << 4)); ++bytes; }
                } else {
                    out.push_back(idx[i + k]);
                    ++bytes;
                }
            }
            if (bytes & 1) out.push_back(0);
        }
        i += lit;
    }
    out.push_back(0);
    out.push_back(0);
}

}  // namespace

int16_t encodeBmp(const Bitmap& bmp, const std::string& path, const EncodeOptions& opts) {
    const int bpp = bmp.bpp();
    const bool os2 = opts.format == kFmtOs2Bmp;
    const bool rle = opts.format == kFmtBmpRle;
    if (bpp == 16 || (os2 && bpp == 32) || (rle && bpp != 4 && bpp != 8)) return kErrBadBpp;
    const int w = bmp.width(), h = bmp.height();
    const size_t stride = ((size_t(w) * bpp + 31) / 32) * 4;
    std::vector<uint8_t> pixels;
    if (rle) {
        std::vector<uint8_t> idx(static_cast<size_t>(w));
        for (int y = h - 1; y >= 0; --y) {
            for (int x = 0; x < w; ++x) idx[size_t(x)] = uint8_t(bmp.index(x, y));
            rleRow(pixels, idx, bpp == 4);
        }
        pixels.push_back(0);
        pixels.push_back(1);
    }
    const size_t palEntries = bpp <= 8 ? size_t(1) << bpp : 0;
    const size_t entrySize = os2 ? 3 : 4;
    const uint32_t hsize = os2 ? 12 : 40;
    const uint32_t off = uint32_t(14 + hsize + palEntries * entrySize);
    const uint64_t dataSize = rle ? pixels.size() : uint64_t(stride) * h;
    if (off + dataSize > 0xFFFFFFFFull) return kErrBadSize;

    std::vector<uint8_t> head;
    head.push_back('B'); head.push_back('M');
    put32(head, uint32_t(off + dataSize));
    put32(head, 0);
    put32(head, off);
    put32(head, hsize);
    if (os2) {
        if (w > 0xFFFF || h > 0x7FFF) return kErrBadSize;
        put16(head, unsigned(w)); put16(head, unsigned(h)); put16(head, 1); put16(head, unsigned(bpp));
    } else {
        put32(head, uint32_t(w)); put32(head, uint32_t(h)); put16(head, 1); put16(head, unsigned(bpp));
        put32(head, rle ? (bpp == 8 ? 1 : 2) : 0);
        put32(head, uint32_t(dataSize));
        // The page's resolution in pixels per metre; 96 dpi when unknown.
        const bool known = opts.dpiX > 0 && opts.dpiY > 0 && opts.dpiX < 1e6 && opts.dpiY < 1e6;
        put32(head, known ? uint32_t(std::lround(opts.dpiX / 0.0254)) : 3780u);
        put32(head, known ? uint32_t(std::lround(opts.dpiY / 0.0254)) : 3780u);
        put32(head, uint32_t(palEntries)); put32(head, 0);
    }
    for (size_t i = 0; i < palEntries; ++i) {
        Rgb c = bmp.isGrey() ? Rgb{uint8_t(i), uint8_t(i), uint8_t(i)} : (i < bmp.palette().size() ? bmp.palette()[i] : Rgb{});
        head.push_back(c.b); head.push_back(c.g); head.push_back(c.r);
        if (!os2) head.push_back(0);
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrWrite;
    bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size();
    if (rle) {
        ok = ok && std::fwrite(pixels.data(), 1, pixels.size(), f) == pixels.size();
    } else {
        std::vector<uint8_t> line(stride, 0);
        const size_t used = (size_t(w) * bpp + 7) / 8;
        for (int y = h - 1; y >= 0 && ok; --y) {
            std::memcpy(line.data(), bmp.row(y), used);
            ok = std::fwrite(line.data(), 1, stride, f) == stride;
        }
    }
    ok = ok && std::fflush(f) == 0;
    return (std::fclose(f) == 0 && ok) ? kOk : kErrWrite;
}

}  // namespace qova::engine
