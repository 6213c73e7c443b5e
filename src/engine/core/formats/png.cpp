// PNG through libpng. Palette images keep their palette (2-bit widened to
// 4), grey keeps 8 or 16 bits, colour becomes 24 or, with alpha, 32 bits.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "format_table.h"

namespace qova::engine {

namespace {

struct Reader {
    ByteSpan in;
    size_t pos = 0;
};

void readFn(png_structp png, png_bytep out, png_size_t n) {
    auto* r = static_cast<Reader*>(png_get_io_ptr(png));
    if (n > r->in.size - r->pos) png_error(png, "truncated");
    std::memcpy(out, r->in.data + r->pos, n);
    r->pos += n;
}

void onWarning(png_structp, png_const_charp) {}

struct PngError {
    int16_t code = kErrCorrupt;
    bool truncated = false;  // the data ended before the picture did
};

void onError(png_structp png, png_const_charp msg) {
    auto* e = static_cast<PngError*>(png_get_error_ptr(png));
    if (msg && (std::strcmp(msg, "truncated") == 0 || std::strstr(msg, "Not enough image data"))) {
        e->code = kErrRead;
        e->truncated = true;
    }
    png_longjmp(png, 1);
}

// libpng reports errors by longjmp. Every call that can jump goes through one
// of the functions below: each sets the trap itself and holds nothing with a
// destructor, so a jump skips no C++ object (the caller owns them all).
struct PngRead {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Reader reader;
    PngError err;
};

bool readHeader(PngRead& r) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_set_read_fn(r.png, &r.reader, readFn);
    png_set_user_limits(r.png, kMaxDimension, kMaxDimension);
    png_set_chunk_malloc_max(r.png, 8u << 20);
    // Text, colour profiles and the like are never shown: skip them instead
    // of inflating them (a few megabytes of compressed text took seconds).
    static const png_byte kIgnored[] = "tEXt\0zTXt\0iTXt\0iCCP\0sPLT\0eXIf";
    png_set_keep_unknown_chunks(r.png, PNG_HANDLE_CHUNK_NEVER, kIgnored, 6);
    png_read_info(r.png, r.info);
    return true;
}

struct Transforms {
    bool strip16 = false, expandGrey = false, greyToRgb = false, trnsToAlpha = false, bgr = false, swap = false;
};

bool applyTransforms(PngRead& r, const Transforms& t, int& passes) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    if (t.strip16) png_set_strip_16(r.png);
    if (t.expandGrey) png_set_expand_gray_1_2_4_to_8(r.png);
    if (t.greyToRgb) png_set_gray_to_rgb(r.png);
    if (t.trnsToAlpha) png_set_tRNS_to_alpha(r.png);
    if (t.bgr) png_set_bgr(r.png);
    if (t.swap) png_set_swap(r.png);
    passes = png_set_interlace_handling(r.png);
    png_read_update_info(r.png, r.info);
    return true;
}

bool readRows(PngRead& r, png_bytepp rows, png_uint_32 n) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_read_rows(r.png, rows, nullptr, n);
    return true;
}

bool readEnd(PngRead& r) {
    if (setjmp(png_jmpbuf(r.png))) return false;
    png_read_end(r.png, nullptr);
    return true;
}

// Bytes of compressed picture data: the IDAT chunks, as far as the file goes.
uint64_t idatBytes(ByteSpan in) {
    uint64_t total = 0;
    size_t p = 8;
    while (in.size - p >= 12) {
        const uint32_t len = rd32be(in.data + p);
        if (std::memcmp(in.data + p + 4, "IDAT", 4) == 0) total += std::min<uint64_t>(len, in.size - p - 8);
        if (std::memcmp(in.data + p + 4, "IEND", 4) == 0 || len > in.size - p - 12) break;
        p += 12 + size_t(len);
    }
    return total;
}

// 2-bit palette rows arrive packed in the 4-bit bitmap's rows: widen them.
void widenTwoBitRows(Bitmap& bmp, png_uint_32 rows) {
    std::vector<uint8_t> wide(bmp.stride());
    for (png_uint_32 y = 0; y < rows; ++y) {
        uint8_t* row = bmp.mutableRow(int(y));
        std::fill(wide.begin(), wide.end(), 0);
        for (int x = 0; x < bmp.width(); ++x) {
            const int v = (row[x >> 2] >> (6 - 2 * (x & 3))) & 3;
            wide[size_t(x) >> 1] |= uint8_t((x & 1) ? v : v << 4);
        }
        std::memcpy(row, wide.data(), wide.size());
    }
}

}  // namespace

int16_t decodePng(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 8 || png_sig_cmp(in.data, 0, 8) != 0) return kErrBadFormat;
    PngRead r;
    r.reader.in = in;
    r.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r.err, onError, onWarning);
    if (!r.png) return kErrNoMemory;
    r.info = png_create_info_struct(r.png);
    struct Destroy {
        PngRead& r;
        ~Destroy() { png_destroy_read_struct(&r.png, &r.info, nullptr); }
    } destroy{r};
    if (!r.info) return kErrNoMemory;
    if (!readHeader(r)) return r.err.code;

    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(r.png, r.info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    const bool alphaByTrns = png_get_valid(r.png, r.info, PNG_INFO_tRNS) && !(colour & PNG_COLOR_MASK_PALETTE);

    int bpp = 24;
    bool grey = false;
    if (colour == PNG_COLOR_TYPE_PALETTE) {
        bpp = depth == 1 ? 1 : (depth <= 4 ? 4 : 8);
    } else if (colour == PNG_COLOR_TYPE_GRAY && !alphaByTrns) {
        if (depth == 16) { bpp = 16; grey = true; }
        else if (depth == 1) bpp = 1;
        else if (depth == 4) bpp = 4;
        else { bpp = 8; grey = true; }  // 2-bit grey widens to 8
    } else if ((colour & PNG_COLOR_MASK_ALPHA) || alphaByTrns) {
        bpp = 32;
    }
    doc.info.width = int(w);
    doc.info.height = int(h);
    doc.info.bpp = bpp;
    doc.info.pageCount = 1;
    doc.info.formatCode = kFmtPng;
    if (opts.infoOnly) return kOk;
    if (opts.firstPage > 0) return kErrBadParam;

    // Deflate gives at most 1032 bytes for one: the rows (with their filter
    // bytes) must fit in what the compressed data can give.
    const uint64_t rowBytes = (uint64_t(w) * png_get_channels(r.png, r.info) * uint64_t(depth) + 7) / 8;
    if (!plausibleSize(uint64_t(h) * (rowBytes + 1), idatBytes(in), 1032)) return kErrTooLarge;
    if (uint64_t(Bitmap::strideFor(int(w), bpp)) * h > loadCeiling()) return kErrNoMemory;

    Transforms t;
    if (colour != PNG_COLOR_TYPE_PALETTE && !(colour == PNG_COLOR_TYPE_GRAY && (depth == 1 || depth == 4 || depth == 16) && !alphaByTrns)) {
        t.strip16 = depth == 16;
        if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) {
            t.expandGrey = depth < 8;
            t.greyToRgb = bpp != 8;
        }
        t.trnsToAlpha = alphaByTrns;
        t.bgr = bpp == 24 || bpp == 32;
    }
    t.swap = depth == 16 && bpp == 16;  // PNG is big-endian; our 16-bit grey is native
    int passes = 1;
    if (!applyTransforms(r, t, passes)) return r.err.code;

    int16_t code = kOk;
    // Blank to start with: rows a cut-off file never reaches stay 0.
    Bitmap bmp = Bitmap::createFilled(int(w), int(h), bpp, grey, 0, &code);
    if (bmp.isNull()) return code;
    if (colour == PNG_COLOR_TYPE_PALETTE) {
        png_colorp pal = nullptr;
        int n = 0;
        Palette p;
        if (png_get_PLTE(r.png, r.info, &pal, &n) && pal) {
            for (int i = 0; i < n; ++i) p.push_back(Rgb{pal[i].red, pal[i].green, pal[i].blue});
        }
        p.resize(size_t(1) << bpp);
        bmp.setPalette(std::move(p));
    } else if (bpp == 1 || bpp == 4) {
        bmp.setPalette(Bitmap::greyPalette(1 << bpp));
    }

    std::vector<png_bytep> rows(h);
    uint8_t* base = bmp.mutableBits();
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = base + bmp.stride() * y;
    if (opts.progress) opts.progress(0);
    png_uint_32 rowsDone = h;
    int last = 0;
    constexpr png_uint_32 kBand = 32;
    for (int pass = 0; pass < passes && rowsDone == h; ++pass) {
        for (png_uint_32 y = 0; y < h; y += kBand) {
            const png_uint_32 n = std::min(kBand, h - y);
            if (!readRows(r, rows.data() + y, n)) {
                // Every row arrived and only the end of the data is missing:
                // the picture is whole.
                const png_uint_32 current = png_get_current_row_number(r.png);
                if (passes == 1 && current >= h && r.err.truncated) break;
                // A cut-off picture shows the rows that arrived, as viewers
                // do; one interlaced, or cut before its first row, is an error.
                // The row being read when it failed is blanked too.
                const png_uint_32 done = std::min(h - 1, std::max(y, current));
                if (!r.err.truncated || passes > 1 || done == 0) return r.err.code;
                std::memset(rows[done], 0, bmp.stride() * size_t(std::min(h, y + n) - done));
                rowsDone = done;
                break;
            }
            if (opts.progress) {
                const int pct = int((uint64_t(pass) * h + y + n) * 100 / (uint64_t(passes) * h));
                if (pct >= last + 5 && pct < 100) opts.progress(last = pct);
            }
        }
    }
    // What follows the picture (text, a missing end) does not change it.
    if (rowsDone == h) readEnd(r);
    if (colour == PNG_COLOR_TYPE_PALETTE && depth == 2) widenTwoBitRows(bmp, rowsDone);
    doc.info.truncated = rowsDone < h;
    if (opts.progress) opts.progress(100);
    Frame frame;
    png_uint_32 perMetreX = 0, perMetreY = 0;
    int unit = PNG_RESOLUTION_UNKNOWN;
    if (png_get_pHYs(r.png, r.info, &perMetreX, &perMetreY, &unit) && unit == PNG_RESOLUTION_METER && perMetreX > 0 &&
        perMetreY > 0) {
        frame.dpiX = perMetreX * 0.0254;
        frame.dpiY = perMetreY * 0.0254;
    }
    frame.bitmap = std::move(bmp);
    doc.frames.clear();
    doc.frames.push_back(std::move(frame));
    return kOk;
}

namespace {

struct PngWrite {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngError err;
};

struct Layout {
    png_uint_32 width = 0, height = 0;
    int depth = 8, colour = PNG_COLOR_TYPE_RGB;
    png_colorp palette = nullptr;
    int paletteSize = 0;
    bool bgr = false, swap = false;
    png_uint_32 perMetreX = 0, perMetreY = 0;  // 0: no pHYs chunk
};

bool writeHeader(PngWrite& w, std::FILE* f, const Layout& l) {
    if (setjmp(png_jmpbuf(w.png))) return false;
    png_init_io(w.png, f);
    png_set_compression_level(w.png, 6);
    png_set_IHDR(w.png, w.info, l.width, l.height, l.depth, l.colour, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                 PNG_FILTER_TYPE_DEFAULT);
    if (l.palette) png_set_PLTE(w.png, w.info, l.palette, l.paletteSize);
    if (l.perMetreX > 0 && l.perMetreY > 0)
        png_set_pHYs(w.png, w.info, l.perMetreX, l.perMetreY, PNG_RESOLUTION_METER);
    png_write_info(w.png, w.info);
    if (l.bgr) png_set_bgr(w.png);
    if (l.swap) png_set_swap(w.png);
    return true;
}

bool writeRows(PngWrite& w, const uint8_t* bits, size_t stride, int height) {
    if (setjmp(png_jmpbuf(w.png))) return false;
    for (int y = 0; y < height; ++y) png_write_row(w.png, const_cast<uint8_t*>(bits + stride * size_t(y)));
    png_write_end(w.png, w.info);
    return true;
}

}  // namespace

int16_t encodePng(const Bitmap& bmp, const std::string& path, const EncodeOptions& opts) {
    Layout l;
    l.width = png_uint_32(bmp.width());
    l.height = png_uint_32(bmp.height());
    switch (bmp.bpp()) {
    case 1: case 4: l.colour = PNG_COLOR_TYPE_PALETTE; l.depth = bmp.bpp(); break;
    case 8: l.colour = bmp.isGrey() ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE; break;
    case 16: l.colour = PNG_COLOR_TYPE_GRAY; l.depth = 16; l.swap = true; break;
    case 24: l.colour = PNG_COLOR_TYPE_RGB; l.bgr = true; break;
    case 32: l.colour = PNG_COLOR_TYPE_RGB_ALPHA; l.bgr = true; break;
    default: return kErrBadBpp;
    }
    if (opts.dpiX > 0 && opts.dpiY > 0 && opts.dpiX < 1e6 && opts.dpiY < 1e6) {
        l.perMetreX = png_uint_32(std::lround(opts.dpiX / 0.0254));
        l.perMetreY = png_uint_32(std::lround(opts.dpiY / 0.0254));
    }
    std::vector<png_color> pal;
    if (l.colour == PNG_COLOR_TYPE_PALETTE) {
        const size_t n = std::min<size_t>(bmp.palette().size(), size_t(1) << l.depth);
        for (size_t i = 0; i < n; ++i) pal.push_back(png_color{bmp.palette()[i].r, bmp.palette()[i].g, bmp.palette()[i].b});
        if (pal.empty()) pal.push_back(png_color{0, 0, 0});
        l.palette = pal.data();
        l.paletteSize = int(pal.size());
    }
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrWrite;
    PngWrite w;
    w.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w.err, onError, onWarning);
    if (!w.png) { std::fclose(f); return kErrNoMemory; }
    w.info = png_create_info_struct(w.png);
    const bool ok = w.info && writeHeader(w, f, l) && writeRows(w, bmp.bits(), bmp.stride(), bmp.height());
    png_destroy_write_struct(&w.png, &w.info);
    const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
    return (std::fclose(f) == 0 && ok && flushed) ? kOk : kErrWrite;
}

}  // namespace qova::engine
