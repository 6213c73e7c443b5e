// JPEG through libjpeg-turbo: decoded straight into the bitmap's rows in the
// engine's B,G,R order, EXIF orientation applied, thumbnail written as EXIF.
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "../codes.h"
#include "codec.h"
#include "format_table.h"
#include "raster_util.h"

namespace qova::engine {

namespace {

struct ErrorMgr {
    jpeg_error_mgr pub;
    jmp_buf jump;
    bool prematureEnd = false;
    int16_t code = kErrCorrupt;
};

void onError(j_common_ptr cinfo) {
    auto* e = reinterpret_cast<ErrorMgr*>(cinfo->err);
    switch (cinfo->err->msg_code) {
    case JERR_NO_SOI: e->code = kErrBadFormat; break;
    case JERR_OUT_OF_MEMORY: case JERR_VIRTUAL_BUG: e->code = kErrNoMemory; break;
    case JERR_FILE_WRITE: e->code = kErrWrite; break;
    case JERR_INPUT_EMPTY: case JERR_INPUT_EOF: e->code = kErrRead; break;
    case JERR_IMAGE_TOO_BIG: case JERR_EMPTY_IMAGE: e->code = kErrBadSize; break;
    case JERR_ARITH_NOTIMPL: case JERR_NOT_COMPILED: e->code = kErrCompression; break;
    default: break;
    }
    longjmp(e->jump, 1);
}

void onMessage(j_common_ptr cinfo, int level) {
    auto* e = reinterpret_cast<ErrorMgr*>(cinfo->err);
    if (level < 0) {
        if (cinfo->err->msg_code == JWRN_JPEG_EOF) e->prematureEnd = true;
        cinfo->err->num_warnings++;
    }
}

void silentOutput(j_common_ptr) {}

// A file with thousands of progressive scans decodes for minutes: refuse it.
struct ScanGuard {
    jpeg_progress_mgr pub;
    ProgressFn* progress = nullptr;
};

void onProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->input_scan_number > 1000) {
        cinfo->err->msg_code = JERR_BAD_PROGRESSION;
        longjmp(reinterpret_cast<ErrorMgr*>(cinfo->err)->jump, 1);
    }
}

// EXIF orientation (1..8) from an APP1 marker, 1 when absent.
int exifOrientation(const jpeg_decompress_struct& cinfo) {
    for (jpeg_saved_marker_ptr m = cinfo.marker_list; m; m = m->next) {
        if (m->marker != JPEG_APP0 + 1 || m->data_length < 14) continue;
        const uint8_t* p = m->data;
        if (std::memcmp(p, "Exif\0\0", 6) != 0) continue;
        const uint8_t* t = p + 6;
        const size_t n = m->data_length - 6;
        const bool le = t[0] == 'I' && t[1] == 'I';
        if (!le && !(t[0] == 'M' && t[1] == 'M')) continue;
        auto u16 = [&](size_t o) -> unsigned { return o + 2 <= n ? (le ? rd16le(t + o) : rd16be(t + o)) : 0; };
        auto u32 = [&](size_t o) -> uint32_t { return o + 4 <= n ? (le ? rd32le(t + o) : rd32be(t + o)) : 0; };
        const uint32_t ifd = u32(4);
        if (ifd + 2 > n) continue;
        const unsigned count = u16(ifd);
        for (unsigned i = 0; i < count; ++i) {
            const size_t e = ifd + 2 + size_t(i) * 12;
            if (e + 12 > n) break;
            if (u16(e) == 0x0112) {
                const unsigned v = u16(e + 8);
                return (v >= 1 && v <= 8) ? int(v) : 1;
            }
        }
    }
    return 1;
}

}  // namespace

int16_t decodeJpeg(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 3 || in.data[0] != 0xFF || in.data[1] != 0xD8) return kErrBadFormat;
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.emit_message = onMessage;
    err.pub.output_message = silentOutput;
    ScanGuard guard;
    guard.pub.progress_monitor = onProgress;
    Bitmap bmp;  // declared before setjmp so a longjmp leaves it destructible
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return err.code;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.progress = &guard.pub;
    jpeg_mem_src(&cinfo, in.data, static_cast<unsigned long>(in.size));
    jpeg_save_markers(&cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&cinfo, TRUE);

    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const int orientation = exifOrientation(cinfo);
    const bool swapsAxes = orientation >= 5;
    doc.info.width = int(swapsAxes ? cinfo.image_height : cinfo.image_width);
    doc.info.height = int(swapsAxes ? cinfo.image_width : cinfo.image_height);
    doc.info.bpp = grey ? 8 : 24;
    doc.info.pageCount = 1;
    doc.info.formatCode = kFmtJpeg;
    if (opts.infoOnly) {
        jpeg_destroy_decompress(&cinfo);
        return kOk;
    }
    if (opts.firstPage > 0) {
        jpeg_destroy_decompress(&cinfo);
        return kErrBadParam;
    }

    cinfo.out_color_space = grey ? JCS_GRAYSCALE : (cmyk ? JCS_CMYK : JCS_EXT_BGR);
    if (opts.reduceWidth > 0 && opts.reduceHeight > 0) {
        // Decode at 1/2, 1/4 or 1/8 when that still covers the wanted size.
        const int rw = swapsAxes ? opts.reduceHeight : opts.reduceWidth;
        const int rh = swapsAxes ? opts.reduceWidth : opts.reduceHeight;
        for (unsigned denom = 8; denom >= 2; denom /= 2) {
            if (cinfo.image_width / denom >= unsigned(rw) && cinfo.image_height / denom >= unsigned(rh)) {
                cinfo.scale_num = 1;
                cinfo.scale_denom = denom;
                break;
            }
        }
    }
    jpeg_calc_output_dimensions(&cinfo);
    int16_t code = kOk;
    bmp = Bitmap::create(int(cinfo.output_width), int(cinfo.output_height), grey ? 8 : 24, grey, &code);
    if (bmp.isNull()) {
        jpeg_destroy_decompress(&cinfo);
        return code;
    }
    jpeg_start_decompress(&cinfo);
    if (opts.progress) opts.progress(0);

    const int h = int(cinfo.output_height);
    const size_t stride = bmp.stride();
    uint8_t* base = bmp.mutableBits();
    std::vector<uint8_t> cmykRow(cmyk ? size_t(cinfo.output_width) * 4 : 0);
    const bool adobeInverted = cmyk && cinfo.saw_Adobe_marker;
    int lastPct = 0;
    while (int(cinfo.output_scanline) < h) {
        const int y = int(cinfo.output_scanline);
        if (!cmyk) {
            JSAMPROW rows[16];
            const int n = std::min(16, h - y);
            for (int i = 0; i < n; ++i) rows[i] = base + stride * size_t(y + i);
            jpeg_read_scanlines(&cinfo, rows, JDIMENSION(n));
        } else {
            JSAMPROW r = cmykRow.data();
            jpeg_read_scanlines(&cinfo, &r, 1);
            uint8_t* d = base + stride * size_t(y);
            for (size_t x = 0; x < cinfo.output_width; ++x) {
                int c = cmykRow[x * 4], m = cmykRow[x * 4 + 1], yy = cmykRow[x * 4 + 2], k = cmykRow[x * 4 + 3];
                if (!adobeInverted) { c = 255 - c; m = 255 - m; yy = 255 - yy; k = 255 - k; }
                // Inverted CMYK: each stored value is the amount of light left.
                d[x * 3 + 2] = uint8_t(c * k / 255);
                d[x * 3 + 1] = uint8_t(m * k / 255);
                d[x * 3 + 0] = uint8_t(yy * k / 255);
            }
        }
        if (opts.progress) {
            const int pct = int(int64_t(cinfo.output_scanline) * 100 / h);
            if (pct >= lastPct + 5 && pct < 100) { lastPct = pct; opts.progress(pct); }
        }
    }
    jpeg_finish_decompress(&cinfo);
    const bool truncated = err.prematureEnd;
    jpeg_destroy_decompress(&cinfo);
    if (truncated) return kErrRead;

    if (orientation != 1) {
        Bitmap turned = applyOrientation(bmp, orientation, &code);
        if (turned.isNull()) return code;
        bmp = std::move(turned);
    }
    if (opts.progress) opts.progress(100);
    doc.frames.clear();
    doc.frames.push_back(Frame{std::move(bmp)});
    return kOk;
}

namespace {

// Compresses `bmp` (8-bit grey or 24-bit) with the given settings.
bool compress(jpeg_compress_struct& cinfo, const Bitmap& bmp, int quality, int sampling, bool progressive) {
    cinfo.image_width = JDIMENSION(bmp.width());
    cinfo.image_height = JDIMENSION(bmp.height());
    const bool grey = bmp.bpp() == 8;
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    if (!grey) {
        cinfo.comp_info[0].h_samp_factor = sampling == 444 ? 1 : 2;
        cinfo.comp_info[0].v_samp_factor = sampling == 420 ? 2 : 1;
    }
    if (progressive) jpeg_simple_progression(&cinfo);
    cinfo.optimize_coding = TRUE;
    return true;
}

void writeRows(jpeg_compress_struct& cinfo, const Bitmap& bmp) {
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[16];
        const int y = int(cinfo.next_scanline);
        const int n = std::min<int>(16, int(cinfo.image_height) - y);
        for (int i = 0; i < n; ++i) rows[i] = const_cast<uint8_t*>(bmp.row(y + i));
        jpeg_write_scanlines(&cinfo, rows, JDIMENSION(n));
    }
}

// A small JPEG of `thumb` in memory, for the EXIF thumbnail.
std::vector<uint8_t> thumbnailJpeg(const Bitmap& thumb) {
    jpeg_compress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = silentOutput;
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    std::vector<uint8_t> out;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::free(mem);
        return {};
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &mem, &size);
    compress(cinfo, thumb, 75, 420, false);
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    writeRows(cinfo, thumb);
    jpeg_finish_compress(&cinfo);
    out.assign(mem, mem + size);
    jpeg_destroy_compress(&cinfo);
    std::free(mem);
    return out;
}

// EXIF APP1 holding only IFD1 with a JPEG thumbnail (what viewers read).
std::vector<uint8_t> exifWithThumbnail(const std::vector<uint8_t>& thumb) {
    std::vector<uint8_t> e;
    auto put16 = [&](unsigned v) { e.push_back(uint8_t(v)); e.push_back(uint8_t(v >> 8)); };
    auto put32 = [&](uint32_t v) { for (int i = 0; i < 4; ++i) e.push_back(uint8_t(v >> (8 * i))); };
    e = {'E', 'x', 'i', 'f', 0, 0, 'I', 'I', '*', 0};
    put32(8);            // IFD0 at 8
    put16(0);            // IFD0: no entries
    put32(14);           // IFD1 at 14
    put16(3);            // IFD1: compression, thumbnail offset and length
    const uint32_t dataOff = 14 + 2 + 3 * 12 + 4;
    put16(0x0103); put16(3); put32(1); put16(6); put16(0);
    put16(0x0201); put16(4); put32(1); put32(dataOff);
    put16(0x0202); put16(4); put32(1); put32(uint32_t(thumb.size()));
    put32(0);
    e.insert(e.end(), thumb.begin(), thumb.end());
    return e;
}

}  // namespace

int16_t encodeJpeg(const Bitmap& bmp, const std::string& path, const EncodeOptions& opts) {
    if (bmp.bpp() != 8 && bmp.bpp() != 24) return kErrBadBpp;
    const int quality = jpegQualityFromFactor(opts.quality);
    if (quality < 0) return kErrBadQuality;
    int sampling = 420;
    if (opts.format == kFmtJpeg422) sampling = 422;
    if (opts.format == kFmtJpeg444) sampling = 444;
    const bool progressive = opts.format == kFmtJpegProgressive;

    std::vector<uint8_t> app1;
    if (opts.stamp) {
        if (opts.stampWidth <= 0 || opts.stampHeight <= 0 || opts.stampWidth > 1024 || opts.stampHeight > 1024)
            return kErrBadParam;
        Bitmap thumb = makeStamp(bmp, opts.stampWidth, opts.stampHeight, opts.stampBpp == 8 ? 8 : 24);
        if (thumb.isNull()) return kErrNoMemory;
        std::vector<uint8_t> t = thumbnailJpeg(thumb);
        if (t.empty() || t.size() > 60000) return kErrBadParam;
        app1 = exifWithThumbnail(t);
    }

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrWrite;
    jpeg_compress_struct cinfo;
    ErrorMgr err;
    cinfo.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = onError;
    err.pub.output_message = silentOutput;
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        std::fclose(f);
        return kErrWrite;
    }
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, f);
    compress(cinfo, bmp, quality, sampling, progressive);
    jpeg_start_compress(&cinfo, TRUE);
    if (!app1.empty()) jpeg_write_marker(&cinfo, JPEG_APP0 + 1, app1.data(), unsigned(app1.size()));
    writeRows(cinfo, bmp);
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    const bool ok = std::fflush(f) == 0 && !std::ferror(f);
    return (std::fclose(f) == 0 && ok) ? kOk : kErrWrite;
}

}  // namespace qova::engine
