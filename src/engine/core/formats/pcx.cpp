// ZSoft PCX: 1 to 8 bits in one plane, 1-bit planes making 16 colours, and
// 8-bit planes making 24 or 32-bit colour. Hand-written: it is a small
// format, and reading it directly is several times faster than a general
// library's pixel cache.
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

int16_t decodePcx(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 1 || in.data[0] != 0x0A) return kErrBadFormat;
    if (in.size < 128) return kErrRead;
    const uint8_t* h = in.data;
    const int version = h[1], encoding = h[2], bits = h[3];
    const int xmin = rd16le(h + 4), ymin = rd16le(h + 6), xmax = rd16le(h + 8), ymax = rd16le(h + 10);
    const int planes = h[65], bytesPerLine = rd16le(h + 66);
    if (version > 5 || encoding > 1) return kErrBadFormat;
    if (xmax < xmin || ymax < ymin) return kErrBadSize;
    const int w = xmax - xmin + 1, ht = ymax - ymin + 1;
    int outBpp;
    if (planes == 1 && (bits == 1 || bits == 2 || bits == 4 || bits == 8)) outBpp = bits == 1 ? 1 : bits == 8 ? 8 : 4;
    else if (bits == 1 && planes >= 2 && planes <= 4) outBpp = 4;
    else if (bits == 8 && (planes == 3 || planes == 4)) outBpp = planes * 8;
    else return kErrSubtype;
    if (bytesPerLine * 8 < w * bits) return kErrCorrupt;
    doc.info.width = w;
    doc.info.height = ht;
    doc.info.bpp = bits * planes;
    doc.info.pageCount = 1;
    doc.info.formatCode = kFmtPcx;
    if (opts.infoOnly) return kOk;
    if (opts.firstPage > 0) return kErrBadParam;

    const size_t lineBytes = size_t(bytesPerLine) * size_t(planes);
    // A run is at most 63 bytes from two: anything claiming more is broken.
    if (encoding == 1 && !plausibleSize(uint64_t(lineBytes) * uint64_t(ht), in.size - 128, 32)) return kErrTooLarge;
    if (!fitsCeiling(w, ht, outBpp)) return kErrNoMemory;
    int16_t code = kOk;
    Bitmap bmp = Bitmap::create(w, ht, outBpp, false, &code);
    if (bmp.isNull()) return code;

    // Palette: a 256-colour table at the end for 8 bits, else the header's 16.
    Palette pal;
    if (outBpp == 8) {
        const bool tail = in.size >= 128 + 769 && in.data[in.size - 769] == 0x0C;
        for (int i = 0; i < 256; ++i) {
            if (tail) {
                const uint8_t* p = in.data + in.size - 768 + i * 3;
                pal.push_back(Rgb{p[0], p[1], p[2]});
            } else {
                pal.push_back(Rgb{uint8_t(i), uint8_t(i), uint8_t(i)});
            }
        }
    } else if (outBpp == 1) {
        pal = {Rgb{0, 0, 0}, Rgb{255, 255, 255}};
    } else if (outBpp == 4) {
        for (int i = 0; i < 16; ++i) pal.push_back(Rgb{h[16 + i * 3], h[17 + i * 3], h[18 + i * 3]});
    }
    if (!pal.empty()) bmp.setPalette(pal);

    std::vector<uint8_t> line(lineBytes);
    size_t pos = 128;
    // Runs may carry over from one line to the next.
    int carry = 0;
    uint8_t carryValue = 0;
    if (opts.progress) opts.progress(0);
    for (int y = 0; y < ht; ++y) {
        size_t n = 0;
        if (encoding == 0) {
            if (pos + lineBytes > in.size) return kErrRead;
            std::memcpy(line.data(), in.data + pos, lineBytes);
            pos += lineBytes;
        } else {
            while (n < lineBytes) {
                if (carry > 0) {
                    const size_t k = std::min(size_t(carry), lineBytes - n);
                    std::memset(line.data() + n, carryValue, k);
                    n += k;
                    carry -= int(k);
                    continue;
                }
                if (pos >= in.size) return kErrRead;
                const uint8_t c = in.data[pos++];
                if ((c & 0xC0) == 0xC0) {
                    if (pos >= in.size) return kErrRead;
                    carry = c & 0x3F;
                    carryValue = in.data[pos++];
                } else {
                    line[n++] = c;
                }
            }
        }
        uint8_t* d = bmp.mutableRow(y);
        if (planes == 1 && bits != 2) {
            std::memcpy(d, line.data(), std::min(bmp.stride(), size_t(bytesPerLine)));
        } else if (planes == 1) {
            std::memset(d, 0, bmp.stride());
            for (int x = 0; x < w; ++x) {
                const int v = (line[size_t(x >> 2)] >> (6 - 2 * (x & 3))) & 3;
                d[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
            }
        } else if (bits == 1) {
            std::memset(d, 0, bmp.stride());
            for (int x = 0; x < w; ++x) {
                int v = 0;
                for (int p = 0; p < planes; ++p)
                    v |= ((line[size_t(p) * size_t(bytesPerLine) + size_t(x >> 3)] >> (7 - (x & 7))) & 1) << p;
                d[x >> 1] |= uint8_t((x & 1) ? v : v << 4);
            }
        } else {
            const uint8_t* r = line.data();
            const uint8_t* g = r + bytesPerLine;
            const uint8_t* b = g + bytesPerLine;
            const uint8_t* a = planes == 4 ? b + bytesPerLine : nullptr;
            const int n = planes;
            for (int x = 0; x < w; ++x) {
                d[x * n] = b[x];
                d[x * n + 1] = g[x];
                d[x * n + 2] = r[x];
                if (a) d[x * 4 + 3] = a[x];
            }
        }
        if (opts.progress && (y & 511) == 511) opts.progress(int(int64_t(y) * 100 / ht));
    }
    if (opts.progress) opts.progress(100);
    Frame frame;
    if (rd16le(h + 12) > 0 && rd16le(h + 14) > 0) {
        frame.dpiX = rd16le(h + 12);
        frame.dpiY = rd16le(h + 14);
    }
    frame.bitmap = std::move(bmp);
    doc.frames.clear();
    doc.frames.push_back(std::move(frame));
    return kOk;
}

}  // namespace qova::engine

namespace qova::engine {

namespace {

// Run-length codes one plane's line: runs of 1–63, and single bytes that
// would read as a run marker written as runs of one.
void rleLine(std::vector<uint8_t>& out, const uint8_t* p, size_t n) {
    size_t i = 0;
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 63 && p[i + run] == p[i]) ++run;
        if (run > 1 || (p[i] & 0xC0) == 0xC0) out.push_back(uint8_t(0xC0 | run));
        out.push_back(p[i]);
        i += run;
    }
}

}  // namespace

int16_t encodePcx(const Bitmap& bmp, const std::string& path, const EncodeOptions& opts) {
    const int bpp = bmp.bpp();
    if (bpp != 1 && bpp != 8 && bpp != 24) return kErrBadBpp;
    const int w = bmp.width(), h = bmp.height();
    if (w > 65535 || h > 65535) return kErrBadSize;
    const int planes = bpp == 24 ? 3 : 1;
    const int bitsPerPlane = bpp == 1 ? 1 : 8;
    const int bytesPerLine = ((w * bitsPerPlane + 15) / 16) * 2;  // even, as readers expect
    std::vector<uint8_t> out(128, 0);
    out[0] = 0x0A;
    out[1] = 5;
    out[2] = 1;
    out[3] = uint8_t(bitsPerPlane);
    out[8] = uint8_t((w - 1) & 0xFF);
    out[9] = uint8_t((w - 1) >> 8);
    out[10] = uint8_t((h - 1) & 0xFF);
    out[11] = uint8_t((h - 1) >> 8);
    // The page's resolution in whole dots per inch; 96 when unknown.
    const bool known = opts.dpiX > 0 && opts.dpiY > 0;
    const auto dpi = [](double v) { return unsigned(std::clamp(std::lround(v), 1L, 65535L)); };
    const unsigned dx = known ? dpi(opts.dpiX) : 96, dy = known ? dpi(opts.dpiY) : 96;
    out[12] = uint8_t(dx & 0xFF); out[13] = uint8_t(dx >> 8);
    out[14] = uint8_t(dy & 0xFF); out[15] = uint8_t(dy >> 8);
    if (bpp == 1) {
        // Index 0 black, 1 white in the header's palette.
        for (int i = 0; i < 3; ++i) out[16 + 3 + i] = 255;
    }
    out[65] = uint8_t(planes);
    out[66] = uint8_t(bytesPerLine & 0xFF);
    out[67] = uint8_t(bytesPerLine >> 8);
    out[68] = 1;
    std::vector<uint8_t> line(size_t(bytesPerLine) * size_t(planes));
    for (int y = 0; y < h; ++y) {
        std::fill(line.begin(), line.end(), 0);
        const uint8_t* s = bmp.row(y);
        if (bpp == 24) {
            for (int x = 0; x < w; ++x) {
                line[size_t(x)] = s[x * 3 + 2];
                line[size_t(bytesPerLine + x)] = s[x * 3 + 1];
                line[size_t(2 * bytesPerLine + x)] = s[x * 3];
            }
        } else if (bpp == 1) {
            // Our 1-bit palette may put white at 0: store so that 1 is white.
            const bool flip = !bmp.palette().empty() && bmp.palette()[0].r + bmp.palette()[0].g + bmp.palette()[0].b > 382;
            for (int i = 0; i < (w + 7) / 8; ++i) line[size_t(i)] = flip ? uint8_t(~s[i]) : s[i];
        } else {
            std::memcpy(line.data(), s, size_t(w));
        }
        for (int p = 0; p < planes; ++p) rleLine(out, line.data() + size_t(p) * size_t(bytesPerLine), size_t(bytesPerLine));
    }
    if (bpp == 8) {
        out.push_back(0x0C);
        for (int i = 0; i < 256; ++i) {
            const Rgb c = bmp.isGrey() ? Rgb{uint8_t(i), uint8_t(i), uint8_t(i)}
                                       : (size_t(i) < bmp.palette().size() ? bmp.palette()[size_t(i)] : Rgb{});
            out.push_back(c.r);
            out.push_back(c.g);
            out.push_back(c.b);
        }
    }
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrWrite;
    bool ok = std::fwrite(out.data(), 1, out.size(), f) == out.size();
    ok = std::fflush(f) == 0 && ok;
    return (std::fclose(f) == 0 && ok) ? kOk : kErrWrite;
}

}  // namespace qova::engine
