// JPEG through libjpeg-turbo: decoded straight into the bitmap's rows in the
// engine's B,G,R order, EXIF orientation applied, thumbnail written as EXIF.
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

#include "../codes.h"
#include "../pixel_memory.h"
#include "budget.h"
#include "codec.h"
#include "format_table.h"
#include "raster_util.h"

namespace qova::engine {

namespace {

struct ErrorMgr {
    jpeg_error_mgr pub;
    jmp_buf jump;
    int16_t code = kErrCorrupt;
    // Where the data first ran out (or hit a marker early): the output row
    // then, and the scan being read. -1 while the data holds.
    long prematureRow = -1;
    int prematureScan = 0;
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
        // The data ended, or a marker came where coded data should: libjpeg
        // fills the rest with grey. Note where, to judge what is real.
        const int code = cinfo->err->msg_code;
        if ((code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER) && e->prematureRow < 0 && cinfo->is_decompressor) {
            auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
            e->prematureRow = long(d->output_scanline);
            e->prematureScan = d->input_scan_number;
        }
        cinfo->err->num_warnings++;
    }
}

void silentOutput(j_common_ptr) {}

// A progressive file may hold any number of scans, each a pass over its
// components' blocks, and a scan can be a dozen bytes: 999 empty scans over a
// large picture decoded for 22 seconds. Refuse files whose scans together
// pass over the blocks more than kPassesPerBlock times (a standard
// progressive file makes about five passes).
constexpr uint64_t kPassesPerBlock = 32;
constexpr uint64_t kMinScanWork = 1ull << 22;
constexpr int kMaxScans = 1000;

struct ScanGuard {
    jpeg_progress_mgr pub;
    int scan = 0;
    uint64_t work = 0;
    uint64_t maxWork = kMinScanWork;
};

void onProgress(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    auto* g = reinterpret_cast<ScanGuard*>(cinfo->progress);
    if (d->input_scan_number != g->scan) {
        g->scan = d->input_scan_number;
        for (int i = 0; i < d->comps_in_scan && i < MAX_COMPS_IN_SCAN; ++i)
            if (const jpeg_component_info* c = d->cur_comp_info[i])
                g->work += uint64_t(c->width_in_blocks) * uint64_t(c->height_in_blocks);
    }
    if (g->scan > kMaxScans || g->work > g->maxWork) {
        cinfo->err->msg_code = JERR_BAD_PROGRESSION;
        longjmp(reinterpret_cast<ErrorMgr*>(cinfo->err)->jump, 1);
    }
}

// libjpeg reports errors by longjmp. Every call that can jump goes through
// one of the functions below: each sets the trap itself and holds nothing
// with a destructor, so a jump skips no C++ object (the caller owns them).
// Calls made outside them must be ones that cannot fail.
struct JpegRead {
    jpeg_decompress_struct cinfo;
    ErrorMgr err;
    ScanGuard guard;
};

bool openJpeg(JpegRead& r, ByteSpan in) {
    if (setjmp(r.err.jump)) return false;
    jpeg_create_decompress(&r.cinfo);
    r.cinfo.progress = &r.guard.pub;
    jpeg_mem_src(&r.cinfo, in.data, static_cast<unsigned long>(in.size));
    jpeg_save_markers(&r.cinfo, JPEG_APP0 + 1, 0xFFFF);
    jpeg_read_header(&r.cinfo, TRUE);
    return true;
}

bool startJpeg(JpegRead& r) {
    if (setjmp(r.err.jump)) return false;
    jpeg_calc_output_dimensions(&r.cinfo);
    jpeg_start_decompress(&r.cinfo);
    return true;
}

bool readJpegRows(JpegRead& r, JSAMPARRAY rows, JDIMENSION n) {
    if (setjmp(r.err.jump)) return false;
    jpeg_read_scanlines(&r.cinfo, rows, n);
    return true;
}

bool finishJpeg(JpegRead& r) {
    if (setjmp(r.err.jump)) return false;
    jpeg_finish_decompress(&r.cinfo);
    return true;
}

// What the EXIF APP1 marker says of the picture: its orientation (1..8, 1
// when absent) and its resolution (0 when absent).
struct ExifFacts {
    int orientation = 1;
    double dpiX = 0;
    double dpiY = 0;
};

ExifFacts exifFacts(const jpeg_decompress_struct& cinfo) {
    ExifFacts facts;
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
        // A RATIONAL entry's value lies at the offset the entry holds.
        auto rational = [&](size_t e) -> double {
            const uint32_t at = u32(e + 8);
            const uint32_t num = u32(at), den = u32(size_t(at) + 4);
            return u16(e + 2) == 5 && den != 0 ? double(num) / den : 0.0;
        };
        const uint32_t ifd = u32(4);
        if (ifd + 2 > n) continue;
        const unsigned count = u16(ifd);
        double x = 0, y = 0;
        unsigned unit = 2;  // inches unless it says otherwise
        for (unsigned i = 0; i < count; ++i) {
            const size_t e = ifd + 2 + size_t(i) * 12;
            if (e + 12 > n) break;
            switch (u16(e)) {
            case 0x0112: {
                const unsigned v = u16(e + 8);
                facts.orientation = (v >= 1 && v <= 8) ? int(v) : 1;
                break;
            }
            case 0x011A: x = rational(e); break;
            case 0x011B: y = rational(e); break;
            case 0x0128: unit = u16(e + 8); break;
            default: break;
            }
        }
        const double perInch = unit == 2 ? 1.0 : unit == 3 ? 2.54 : 0.0;
        if (x > 0 && y > 0 && perInch > 0 && x < 1e6 && y < 1e6) {
            facts.dpiX = x * perInch;
            facts.dpiY = y * perInch;
        }
        return facts;
    }
    return facts;
}

// The picture's resolution: the JFIF header's when it gives one in inches
// or centimetres, else EXIF's.
void jpegResolution(const jpeg_decompress_struct& cinfo, const ExifFacts& exif, double& dpiX, double& dpiY) {
    dpiX = dpiY = 0;
    if (cinfo.saw_JFIF_marker && (cinfo.density_unit == 1 || cinfo.density_unit == 2) && cinfo.X_density > 0 &&
        cinfo.Y_density > 0) {
        const double perInch = cinfo.density_unit == 1 ? 1.0 : 2.54;
        dpiX = cinfo.X_density * perInch;
        dpiY = cinfo.Y_density * perInch;
        return;
    }
    dpiX = exif.dpiX;
    dpiY = exif.dpiY;
}

}  // namespace

int16_t decodeJpeg(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 3 || in.data[0] != 0xFF || in.data[1] != 0xD8) return kErrBadFormat;
    JpegRead r;
    std::memset(&r.cinfo, 0, sizeof r.cinfo);
    r.cinfo.err = jpeg_std_error(&r.err.pub);
    r.err.pub.error_exit = onError;
    r.err.pub.emit_message = onMessage;
    r.err.pub.output_message = silentOutput;
    r.guard.pub.progress_monitor = onProgress;
    struct Destroy {
        jpeg_decompress_struct& c;
        ~Destroy() { jpeg_destroy_decompress(&c); }
    } destroy{r.cinfo};
    if (!openJpeg(r, in)) return r.err.code;
    jpeg_decompress_struct& cinfo = r.cinfo;
    // Asked now, while libjpeg's state allows it without an error (which,
    // outside a trap, would jump to a dead frame).
    const bool multiScan = jpeg_has_multiple_scans(&cinfo);

    const bool grey = cinfo.jpeg_color_space == JCS_GRAYSCALE;
    const bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
    const ExifFacts exif = exifFacts(cinfo);
    const int orientation = exif.orientation;
    const bool swapsAxes = orientation >= 5;
    doc.info.width = int(swapsAxes ? cinfo.image_height : cinfo.image_width);
    doc.info.height = int(swapsAxes ? cinfo.image_width : cinfo.image_height);
    doc.info.bpp = grey ? 8 : 24;
    doc.info.pageCount = 1;
    doc.info.formatCode = kFmtJpeg;
    if (opts.infoOnly) return kOk;
    if (opts.firstPage > 0) return kErrBadParam;

    // Every block of every component costs at least one bit of coded data.
    uint64_t blocks = 0;
    for (int i = 0; i < cinfo.num_components; ++i)
        blocks += uint64_t(cinfo.comp_info[i].width_in_blocks) * uint64_t(cinfo.comp_info[i].height_in_blocks);
    if (!plausibleSize(blocks * 64, in.size, 512)) return kErrTooLarge;
    r.guard.maxWork = std::max(kMinScanWork, blocks * kPassesPerBlock);

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
    // Output size at the chosen scale (rounded up, as libjpeg does).
    const uint64_t outW = (uint64_t(cinfo.image_width) * cinfo.scale_num + cinfo.scale_denom - 1) / cinfo.scale_denom;
    const uint64_t outH = (uint64_t(cinfo.image_height) * cinfo.scale_num + cinfo.scale_denom - 1) / cinfo.scale_denom;
    if (outW * outH * (grey ? 1 : 3) > loadCeiling()) return kErrNoMemory;
    if (!startJpeg(r)) return r.err.code;
    int16_t code = kOk;
    // libjpeg writes every row of the picture before the bitmap is handed
    // on (a file cut short is filled out with grey, a failed decode drops
    // the bitmap), so it may take memory a freed picture left, already
    // faulted in, rather than a fresh mapping zeroed page by page; only the
    // rows' padding is cleared here, so no old byte survives.
    Bitmap bmp = pixel_memory::createForRewrite(int(cinfo.output_width), int(cinfo.output_height), grey ? 8 : 24,
                                                grey, &code);
    if (bmp.isNull()) return code;
    if (opts.progress) opts.progress(0);

    const int h = int(cinfo.output_height);
    const size_t stride = bmp.stride();
    uint8_t* base = bmp.mutableBits();
    const size_t rowBytes = size_t(cinfo.output_width) * (grey ? 1 : 3);
    if (stride > rowBytes)
        for (int y = 0; y < h; ++y) std::memset(base + stride * size_t(y) + rowBytes, 0, stride - rowBytes);
    std::vector<uint8_t> cmykRow(cmyk ? size_t(cinfo.output_width) * 4 : 0);
    const bool adobeInverted = cmyk && cinfo.saw_Adobe_marker;
    int lastPct = 0;
    while (int(cinfo.output_scanline) < h) {
        const int y = int(cinfo.output_scanline);
        if (!cmyk) {
            JSAMPROW rows[16];
            const int n = std::min(16, h - y);
            for (int i = 0; i < n; ++i) rows[i] = base + stride * size_t(y + i);
            if (!readJpegRows(r, rows, JDIMENSION(n))) return r.err.code;
        } else {
            JSAMPROW row = cmykRow.data();
            if (!readJpegRows(r, &row, 1)) return r.err.code;
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
    if (!finishJpeg(r)) return r.err.code;

    // Data that ends early leaves the rest grey. Viewers show such a picture
    // and so do we, saying so, when something real came first: rows of a
    // single-scan file, or a whole first scan of a progressive one.
    if (r.err.prematureRow >= 0) {
        const bool someReal = multiScan ? r.err.prematureScan > 1 : r.err.prematureRow > 0;
        if (!someReal) return kErrRead;
        doc.info.truncated = multiScan || r.err.prematureRow < h;
    }

    if (orientation != 1) {
        Bitmap turned = applyOrientation(bmp, orientation, &code);
        if (turned.isNull()) return code;
        bmp = std::move(turned);
    }
    if (opts.progress) opts.progress(100);
    Frame frame;
    jpegResolution(cinfo, exif, frame.dpiX, frame.dpiY);
    // The stored resolution describes the stored rows, before turning.
    if (swapsAxes) std::swap(frame.dpiX, frame.dpiY);
    frame.bitmap = std::move(bmp);
    doc.frames.clear();
    doc.frames.push_back(std::move(frame));
    return kOk;
}

namespace {

// What one compression needs, as plain data for the trapped function below.
struct Compression {
    const uint8_t* bits = nullptr;  // 8-bit grey or 24-bit rows
    size_t stride = 0;
    int width = 0, height = 0;
    bool grey = false;
    int quality = 75;
    int sampling = 420;
    bool progressive = false;
    const uint8_t* app1 = nullptr;  // EXIF marker to write, or null
    unsigned app1Length = 0;
    double dpiX = 0, dpiY = 0;      // 0: the JFIF header gives no resolution
};

struct JpegWrite {
    jpeg_compress_struct cinfo;
    ErrorMgr err;
};

// Compresses into `f`, or into memory when `f` is null. Sets the trap itself
// and holds nothing with a destructor (see JpegRead).
bool compressJpeg(JpegWrite& w, const Compression& c, std::FILE* f, unsigned char** mem, unsigned long* size) {
    if (setjmp(w.err.jump)) return false;
    jpeg_compress_struct& cinfo = w.cinfo;
    jpeg_create_compress(&cinfo);
    if (f) jpeg_stdio_dest(&cinfo, f);
    else jpeg_mem_dest(&cinfo, mem, size);
    cinfo.image_width = JDIMENSION(c.width);
    cinfo.image_height = JDIMENSION(c.height);
    cinfo.input_components = c.grey ? 1 : 3;
    cinfo.in_color_space = c.grey ? JCS_GRAYSCALE : JCS_EXT_BGR;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, c.quality, TRUE);
    if (!c.grey) {
        cinfo.comp_info[0].h_samp_factor = c.sampling == 444 ? 1 : 2;
        cinfo.comp_info[0].v_samp_factor = c.sampling == 420 ? 2 : 1;
    }
    if (c.progressive) jpeg_simple_progression(&cinfo);
    if (c.dpiX > 0 && c.dpiY > 0) {
        // JFIF holds whole dots per inch (up to 65535).
        cinfo.density_unit = 1;
        cinfo.X_density = UINT16(std::clamp(std::lround(c.dpiX), 1L, 65535L));
        cinfo.Y_density = UINT16(std::clamp(std::lround(c.dpiY), 1L, 65535L));
    }
    cinfo.optimize_coding = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    if (c.app1) jpeg_write_marker(&cinfo, JPEG_APP0 + 1, c.app1, c.app1Length);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW rows[16];
        const int y = int(cinfo.next_scanline);
        const int n = std::min<int>(16, int(cinfo.image_height) - y);
        for (int i = 0; i < n; ++i) rows[i] = const_cast<uint8_t*>(c.bits + c.stride * size_t(y + i));
        jpeg_write_scanlines(&cinfo, rows, JDIMENSION(n));
    }
    jpeg_finish_compress(&cinfo);
    return true;
}

void prepareWrite(JpegWrite& w) {
    std::memset(&w.cinfo, 0, sizeof w.cinfo);
    w.cinfo.err = jpeg_std_error(&w.err.pub);
    w.err.pub.error_exit = onError;
    w.err.pub.output_message = silentOutput;
}

Compression compressionOf(const Bitmap& bmp, int quality, int sampling, bool progressive) {
    Compression c;
    c.bits = bmp.bits();
    c.stride = bmp.stride();
    c.width = bmp.width();
    c.height = bmp.height();
    c.grey = bmp.bpp() == 8;
    c.quality = quality;
    c.sampling = sampling;
    c.progressive = progressive;
    return c;
}

// A small JPEG of `thumb` in memory, for the EXIF thumbnail.
std::vector<uint8_t> thumbnailJpeg(const Bitmap& thumb) {
    JpegWrite w;
    prepareWrite(w);
    unsigned char* mem = nullptr;
    unsigned long size = 0;
    const bool ok = compressJpeg(w, compressionOf(thumb, 75, 420, false), nullptr, &mem, &size);
    jpeg_destroy_compress(&w.cinfo);
    std::vector<uint8_t> out;
    if (ok && mem) out.assign(mem, mem + size);
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
        // A marker holds at most 65533 bytes: a stamp asked larger than
        // that allows is written as large as fits, never refused.
        const size_t room = 65533 - exifWithThumbnail({}).size();
        int w = opts.stampWidth, h = opts.stampHeight;
        std::vector<uint8_t> t;
        for (;;) {
            Bitmap thumb = makeStamp(bmp, w, h, opts.stampBpp == 8 ? 8 : 24);
            if (thumb.isNull()) return kErrNoMemory;
            t = thumbnailJpeg(thumb);
            if (t.empty()) return kErrNoMemory;
            if (t.size() <= room) break;
            if (w <= 8 && h <= 8) return kErrBadParam;
            // The bytes follow the area: shrink both sides by the root of
            // the excess, a little more so that a few tries settle it.
            const double f = std::sqrt(double(room) / double(t.size())) * 0.97;
            w = std::max(8, std::min(w - 1, int(w * f)));
            h = std::max(8, std::min(h - 1, int(h * f)));
        }
        app1 = exifWithThumbnail(t);
    }

    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrWrite;
    JpegWrite w;
    prepareWrite(w);
    Compression c = compressionOf(bmp, quality, sampling, progressive);
    c.dpiX = opts.dpiX;
    c.dpiY = opts.dpiY;
    c.app1 = app1.empty() ? nullptr : app1.data();
    c.app1Length = unsigned(app1.size());
    const bool written = compressJpeg(w, c, f, nullptr, nullptr);
    jpeg_destroy_compress(&w.cinfo);
    const bool ok = written && std::fflush(f) == 0 && !std::ferror(f);
    return (std::fclose(f) == 0 && ok) ? kOk : kErrWrite;
}

}  // namespace qova::engine
