// Truevision TGA: colour-mapped, true-colour and grey, raw or run-length,
// any origin. Hand-written because the libraries at hand refuse grey with
// alpha and read the format slower than it deserves.
#include <algorithm>
#include <cstring>
#include <vector>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "format_table.h"

namespace qova::engine {

namespace {

Rgb colourFrom(const uint8_t* p, int bits) {
    switch (bits) {
    case 15: case 16: {
        const unsigned v = rd16le(p);
        auto five = [](unsigned x) { return uint8_t((x << 3) | (x >> 2)); };
        return Rgb{five((v >> 10) & 31), five((v >> 5) & 31), five(v & 31)};
    }
    case 24: case 32: return Rgb{p[2], p[1], p[0]};
    default: return Rgb{};
    }
}

}  // namespace

int16_t decodeTga(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 18) return kErrRead;
    const uint8_t* h = in.data;
    const int idLength = h[0], cmapType = h[1], type = h[2];
    const int cmapFirst = rd16le(h + 3), cmapLength = rd16le(h + 5), cmapBits = h[7];
    const int w = rd16le(h + 12), ht = rd16le(h + 14), depth = h[16], desc = h[17];
    const bool rle = type >= 9;
    const int base = rle ? type - 8 : type;
    if (cmapType > 1 || (base != 1 && base != 2 && base != 3)) return kErrBadFormat;
    if (w == 0 || ht == 0) return kErrBadSize;
    const int alphaBits = desc & 15;
    int outBpp;
    bool grey = false;
    if (base == 1) {
        if (depth != 8 || cmapType != 1 || cmapLength == 0 || cmapLength > 256) return kErrSubtype;
        if (cmapBits != 15 && cmapBits != 16 && cmapBits != 24 && cmapBits != 32) return kErrSubtype;
        outBpp = 8;
    } else if (base == 3) {
        if (depth == 8) { outBpp = 8; grey = true; }
        else if (depth == 16) outBpp = 32;  // grey with alpha
        else return kErrSubtype;
    } else {
        if (depth == 15 || depth == 16) outBpp = 24;
        else if (depth == 24) outBpp = 24;
        else if (depth == 32) outBpp = alphaBits ? 32 : 24;
        else return kErrSubtype;
    }
    doc.info.width = w;
    doc.info.height = ht;
    doc.info.bpp = base == 1 ? 8 : depth == 15 ? 16 : depth;
    doc.info.pageCount = 1;
    doc.info.formatCode = kFmtTga;
    if (opts.infoOnly) return kOk;
    if (opts.firstPage > 0) return kErrBadParam;

    size_t pos = 18 + size_t(idLength);
    Palette pal;
    if (cmapType == 1) {
        const size_t entry = size_t((cmapBits + 7) / 8);
        if (pos + entry * size_t(cmapLength) > in.size) return kErrRead;
        for (int i = 0; i < cmapLength; ++i) pal.push_back(colourFrom(in.data + pos + entry * size_t(i), cmapBits));
        pos += entry * size_t(cmapLength);
    }
    const size_t bytesPer = size_t((depth + 7) / 8);
    const size_t pixels = size_t(w) * ht;
    // Raw data must be all there; run-length data expands at most 128 times.
    if (!rle && pos + pixels * bytesPer > in.size) return kErrRead;
    if (rle && !plausibleSize(pixels, in.size - std::min(in.size, pos), 128)) return kErrTooLarge;
    if (!fitsCeiling(w, ht, outBpp)) return kErrNoMemory;

    int16_t code = kOk;
    Bitmap bmp = Bitmap::create(w, ht, outBpp, grey, &code);
    if (bmp.isNull()) return code;
    if (base == 1) {
        Palette full(256);
        for (size_t i = 0; i < pal.size() && int(i) + cmapFirst < 256; ++i) full[i + size_t(cmapFirst)] = pal[i];
        bmp.setPalette(std::move(full));
    }
    const bool topDown = (desc & 0x20) != 0;
    const bool rightToLeft = (desc & 0x10) != 0;
    const int outBytes = outBpp / 8;
    auto store = [&](size_t n, const uint8_t* p) {
        const int x0 = int(n % size_t(w)), y0 = int(n / size_t(w));
        const int x = rightToLeft ? w - 1 - x0 : x0;
        const int y = topDown ? y0 : ht - 1 - y0;
        uint8_t* d = bmp.mutableRow(y) + x * outBytes;
        if (base == 1) { d[0] = p[0]; return; }
        if (base == 3 && depth == 8) { d[0] = p[0]; return; }
        if (base == 3) { d[0] = d[1] = d[2] = p[0]; d[3] = p[1]; return; }
        if (depth <= 16) {
            const Rgb c = colourFrom(p, 16);
            d[0] = c.b; d[1] = c.g; d[2] = c.r;
            return;
        }
        d[0] = p[0]; d[1] = p[1]; d[2] = p[2];
        if (outBytes == 4) d[3] = p[3];
    };
    if (opts.progress) opts.progress(0);
    if (!rle) {
        for (size_t n = 0; n < pixels; ++n) store(n, in.data + pos + n * bytesPer);
    } else {
        size_t n = 0;
        while (n < pixels) {
            if (pos >= in.size) return kErrRead;
            const int head = in.data[pos++];
            const size_t count = size_t(head & 0x7F) + 1;
            if (head & 0x80) {
                if (pos + bytesPer > in.size) return kErrRead;
                for (size_t i = 0; i < count && n < pixels; ++i) store(n++, in.data + pos);
                pos += bytesPer;
            } else {
                if (pos + count * bytesPer > in.size) return kErrRead;
                for (size_t i = 0; i < count && n < pixels; ++i) store(n++, in.data + pos + i * bytesPer);
                pos += count * bytesPer;
            }
        }
    }
    if (opts.progress) opts.progress(100);
    doc.frames.clear();
    doc.frames.push_back(Frame{std::move(bmp)});
    return kOk;
}

}  // namespace qova::engine
