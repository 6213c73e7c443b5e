// PNG through libpng. Palette images keep their palette (2-bit widened to
// 4), grey keeps 8 or 16 bits, colour becomes 24 or, with alpha, 32 bits.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <png.h>

#include "../codes.h"
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
    if (r->pos + n > r->in.size) png_error(png, "truncated");
    std::memcpy(out, r->in.data + r->pos, n);
    r->pos += n;
}

void onWarning(png_structp, png_const_charp) {}

struct PngError {
    int16_t code = kErrCorrupt;
};

void onError(png_structp png, png_const_charp msg) {
    auto* e = static_cast<PngError*>(png_get_error_ptr(png));
    if (msg && std::strcmp(msg, "truncated") == 0) e->code = kErrRead;
    png_longjmp(png, 1);
}

}  // namespace

int16_t decodePng(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 8 || png_sig_cmp(in.data, 0, 8) != 0) return kErrBadFormat;
    PngError perr;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &perr, onError, onWarning);
    if (!png) return kErrNoMemory;
    png_infop info = png_create_info_struct(png);
    Reader reader{in, 0};
    Bitmap bmp;
    std::vector<png_bytep> rows;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return perr.code;
    }
    png_set_read_fn(png, &reader, readFn);
    png_set_user_limits(png, kMaxDimension, kMaxDimension);
    png_set_chunk_malloc_max(png, 64u << 20);
    png_read_info(png, info);

    png_uint_32 w = 0, h = 0;
    int depth = 0, colour = 0, interlace = 0;
    png_get_IHDR(png, info, &w, &h, &depth, &colour, &interlace, nullptr, nullptr);
    const bool alphaByTrns = png_get_valid(png, info, PNG_INFO_tRNS) && !(colour & PNG_COLOR_MASK_PALETTE);

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
    if (opts.infoOnly) {
        png_destroy_read_struct(&png, &info, nullptr);
        return kOk;
    }
    if (opts.firstPage > 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return kErrBadParam;
    }

    if (colour == PNG_COLOR_TYPE_PALETTE && depth == 2) png_set_packing(png);  // widen to one byte, repacked below
    if (colour != PNG_COLOR_TYPE_PALETTE && !(colour == PNG_COLOR_TYPE_GRAY && (depth == 1 || depth == 4 || depth == 16) && !alphaByTrns)) {
        if (depth == 16) png_set_strip_16(png);
        if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) {
            if (depth < 8) png_set_expand_gray_1_2_4_to_8(png);
            if (bpp != 8) png_set_gray_to_rgb(png);
        }
        if (alphaByTrns) png_set_tRNS_to_alpha(png);
        if (bpp == 24 || bpp == 32) png_set_bgr(png);
    }
    if (depth == 16 && bpp == 16) png_set_swap(png);  // PNG is big-endian; our 16-bit grey is native
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);

    int16_t code = kOk;
    bmp = Bitmap::create(int(w), int(h), bpp, grey, &code);
    if (bmp.isNull()) {
        png_destroy_read_struct(&png, &info, nullptr);
        return code;
    }
    if (colour == PNG_COLOR_TYPE_PALETTE) {
        png_colorp pal = nullptr;
        int n = 0;
        Palette p;
        if (png_get_PLTE(png, info, &pal, &n) && pal) {
            for (int i = 0; i < n; ++i) p.push_back(Rgb{pal[i].red, pal[i].green, pal[i].blue});
        }
        p.resize(size_t(1) << bpp);
        bmp.setPalette(std::move(p));
    } else if (bpp == 1 || bpp == 4) {
        bmp.setPalette(Bitmap::greyPalette(1 << bpp));
    }

    const bool widened2 = colour == PNG_COLOR_TYPE_PALETTE && depth == 2;
    std::vector<uint8_t> wide;
    uint8_t* base = bmp.mutableBits();
    if (widened2) {
        wide.resize(size_t(w) * h);
        rows.resize(h);
        for (png_uint_32 y = 0; y < h; ++y) rows[y] = wide.data() + size_t(y) * w;
    } else {
        rows.resize(h);
        for (png_uint_32 y = 0; y < h; ++y) rows[y] = base + bmp.stride() * y;
    }
    if (opts.progress) opts.progress(0);
    if (passes > 1 || !opts.progress) {
        png_read_image(png, rows.data());
    } else {
        int last = 0;
        for (png_uint_32 y = 0; y < h; ++y) {
            png_read_row(png, rows[y], nullptr);
            const int pct = int(uint64_t(y) * 100 / h);
            if (pct >= last + 5) { last = pct; opts.progress(pct); }
        }
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    if (widened2) {
        for (png_uint_32 y = 0; y < h; ++y)
            for (png_uint_32 x = 0; x < w; ++x) bmp.setIndex(int(x), int(y), wide[size_t(y) * w + x]);
    }
    if (opts.progress) opts.progress(100);
    doc.frames.clear();
    doc.frames.push_back(Frame{std::move(bmp)});
    return kOk;
}

int16_t encodePng(const Bitmap& bmp, const std::string& path, const EncodeOptions& opts) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrWrite;
    PngError perr;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &perr, onError, onWarning);
    if (!png) { std::fclose(f); return kErrNoMemory; }
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return kErrWrite;
    }
    png_init_io(png, f);
    png_set_compression_level(png, 6);
    int colour = PNG_COLOR_TYPE_RGB, depth = 8;
    switch (bmp.bpp()) {
    case 1: case 4: colour = PNG_COLOR_TYPE_PALETTE; depth = bmp.bpp(); break;
    case 8: colour = bmp.isGrey() ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_PALETTE; break;
    case 16: colour = PNG_COLOR_TYPE_GRAY; depth = 16; break;
    case 24: colour = PNG_COLOR_TYPE_RGB; break;
    case 32: colour = PNG_COLOR_TYPE_RGB_ALPHA; break;
    default: png_destroy_write_struct(&png, &info); std::fclose(f); return kErrBadBpp;
    }
    png_set_IHDR(png, info, png_uint_32(bmp.width()), png_uint_32(bmp.height()), depth, colour, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> pal;
    if (colour == PNG_COLOR_TYPE_PALETTE) {
        const size_t n = std::min<size_t>(bmp.palette().size(), size_t(1) << depth);
        for (size_t i = 0; i < n; ++i) pal.push_back(png_color{bmp.palette()[i].r, bmp.palette()[i].g, bmp.palette()[i].b});
        if (pal.empty()) pal.push_back(png_color{0, 0, 0});
        png_set_PLTE(png, info, pal.data(), int(pal.size()));
    }
    png_write_info(png, info);
    if (bmp.bpp() == 24 || bmp.bpp() == 32) png_set_bgr(png);
    if (bmp.bpp() == 16) png_set_swap(png);
    for (int y = 0; y < bmp.height(); ++y) png_write_row(png, const_cast<uint8_t*>(bmp.row(y)));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    const bool ok = std::fflush(f) == 0 && !std::ferror(f);
    return (std::fclose(f) == 0 && ok) ? kOk : kErrWrite;
}

}  // namespace qova::engine
