// TIFF through libtiff: every page, stored depth kept where the engine has
// it (1, 4, 8 palette/grey, 16 grey, 24, 32); anything else (YCbCr, CMYK,
// planar, tiled, 16-bit colour) goes through libtiff's RGBA reader.
#include <algorithm>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>
#include <unordered_set>
#include <vector>

#include <tiffio.h>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "format_table.h"
#include "raster_util.h"

namespace qova::engine {

namespace {

struct MemFile {
    ByteSpan in;
    toff_t pos = 0;
    int16_t lastError = kOk;
};

tsize_t memRead(thandle_t h, tdata_t buf, tsize_t n) {
    auto* m = static_cast<MemFile*>(h);
    if (m->pos >= m->in.size) return 0;
    const tsize_t avail = tsize_t(std::min<uint64_t>(uint64_t(n), m->in.size - m->pos));
    std::memcpy(buf, m->in.data + m->pos, size_t(avail));
    m->pos += toff_t(avail);
    return avail;
}
tsize_t memWrite(thandle_t, tdata_t, tsize_t) { return -1; }
toff_t memSeek(thandle_t h, toff_t off, int whence) {
    auto* m = static_cast<MemFile*>(h);
    uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? m->pos : m->in.size;
    m->pos = base + off;
    return m->pos;
}
int memClose(thandle_t) { return 0; }
toff_t memSize(thandle_t h) { return static_cast<MemFile*>(h)->in.size; }
int memMap(thandle_t h, tdata_t* base, toff_t* size) {
    auto* m = static_cast<MemFile*>(h);
    *base = const_cast<uint8_t*>(m->in.data);
    *size = m->in.size;
    return 1;
}
void memUnmap(thandle_t, tdata_t, toff_t) {}

int onError(TIFF*, void* user, const char*, const char* fmt, va_list) {
    auto* m = static_cast<MemFile*>(user);
    if (m && m->lastError == kOk) m->lastError = kErrCorrupt;
    (void)fmt;
    return 1;
}
int onWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct TiffCloser {
    void operator()(TIFF* t) const { TIFFClose(t); }
};

bool isReducedImage(TIFF* tif) {
    uint32_t sub = 0;
    return TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &sub) && (sub & FILETYPE_REDUCEDIMAGE);
}

struct PageShape {
    uint32_t w = 0, h = 0;
    uint16_t bps = 1, spp = 1, photometric = PHOTOMETRIC_MINISWHITE, planar = PLANARCONFIG_CONTIG, compression = 1;
    uint16_t extra = 0;
    bool tiled = false;
    int bpp = 0;        // engine depth we produce
    bool native = false;  // scanline path (else RGBA reader)
};

PageShape shapeOf(TIFF* tif) {
    PageShape s;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &s.w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &s.h);
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &s.bps);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &s.spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &s.planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &s.compression);
    if (!TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &s.photometric))
        s.photometric = s.spp >= 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
    uint16_t* extraTypes = nullptr;
    TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &s.extra, &extraTypes);
    s.tiled = TIFFIsTiled(tif);
    const bool contig = s.planar == PLANARCONFIG_CONTIG || s.spp == 1;
    const bool greyish = s.photometric == PHOTOMETRIC_MINISBLACK || s.photometric == PHOTOMETRIC_MINISWHITE;
    if (s.photometric == PHOTOMETRIC_YCBCR && s.compression == COMPRESSION_JPEG) {
        // libtiff converts JPEG-in-TIFF to RGB for us.
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        s.photometric = PHOTOMETRIC_RGB;
    }
    if (!s.tiled && contig && s.spp == 1 && (greyish || s.photometric == PHOTOMETRIC_PALETTE) &&
        (s.bps == 1 || s.bps == 2 || s.bps == 4 || s.bps == 8 || (s.bps == 16 && greyish) || (s.bps == 12 && greyish))) {
        s.native = true;
        s.bpp = s.bps == 1 ? 1 : s.bps <= 4 ? 4 : s.bps == 8 ? 8 : 16;
    } else if (!s.tiled && contig && s.photometric == PHOTOMETRIC_RGB && s.bps == 8 && (s.spp == 3 || s.spp == 4)) {
        s.native = true;
        s.bpp = s.spp == 3 ? 24 : 32;
    } else {
        s.native = false;
        s.bpp = (s.extra > 0 || (s.spp == 2) || (s.photometric == PHOTOMETRIC_RGB && s.spp == 4)) ? 32 : 24;
    }
    return s;
}

// Reads one page (the current directory) into a bitmap.
int16_t readPage(TIFF* tif, MemFile& mem, const PageShape& s, Bitmap& out, const ProgressFn& progress,
                 int pageIndex, int pages) {
    int16_t code = kOk;
    if (s.w == 0 || s.h == 0) return kErrBadSize;
    const bool greyOut = (s.bpp == 8 || s.bpp == 16) && s.photometric != PHOTOMETRIC_PALETTE;
    Bitmap bmp = Bitmap::create(int(s.w), int(s.h), s.bpp, greyOut, &code);
    if (bmp.isNull()) return code;
    auto report = [&](uint32_t y) {
        if (progress && pages > 0) progress(int((uint64_t(pageIndex) * s.h + y) * 100 / (uint64_t(pages) * s.h)));
    };

    if (!s.native) {
        // The reader's own raster: not cleared, it writes every pixel (the
        // page's size was checked against its data and the ceiling).
        if (uint64_t(s.w) * s.h * 4 > kMaxBitmapBytes) return kErrNoMemory;
        std::unique_ptr<uint32_t[]> raster(new (std::nothrow) uint32_t[size_t(s.w) * s.h]);
        if (!raster) return kErrNoMemory;
        char emsg[1024] = "";
        if (!TIFFRGBAImageOK(tif, emsg)) return kErrSubtype;
        if (!TIFFReadRGBAImageOriented(tif, s.w, s.h, raster.get(), ORIENTATION_TOPLEFT, 0))
            return mem.lastError != kOk ? mem.lastError : int16_t(kErrCorrupt);
        for (uint32_t y = 0; y < s.h; ++y) {
            uint8_t* d = bmp.mutableRow(int(y));
            const uint32_t* r = raster.get() + size_t(y) * s.w;
            for (uint32_t x = 0; x < s.w; ++x) {
                const uint32_t p = r[x];
                if (s.bpp == 32) {
                    d[x * 4] = uint8_t(TIFFGetB(p)); d[x * 4 + 1] = uint8_t(TIFFGetG(p));
                    d[x * 4 + 2] = uint8_t(TIFFGetR(p)); d[x * 4 + 3] = uint8_t(TIFFGetA(p));
                } else {
                    d[x * 3] = uint8_t(TIFFGetB(p)); d[x * 3 + 1] = uint8_t(TIFFGetG(p)); d[x * 3 + 2] = uint8_t(TIFFGetR(p));
                }
            }
        }
        out = std::move(bmp);
        return kOk;
    }

    const tmsize_t lineSize = TIFFScanlineSize(tif);
    if (lineSize <= 0) return kErrCorrupt;
    std::vector<uint8_t> line(size_t(lineSize) + 16);
    const bool white = s.photometric == PHOTOMETRIC_MINISWHITE;
    for (uint32_t y = 0; y < s.h; ++y) {
        if (TIFFReadScanline(tif, line.data(), y, 0) < 0) return mem.lastError == kOk ? kErrRead : kErrRead;
        uint8_t* d = bmp.mutableRow(int(y));
        const uint8_t* l = line.data();
        switch (s.bps) {
        case 1: case 4:
            if (s.bpp == 24 || s.bpp == 32) break;
            std::memcpy(d, l, std::min<size_t>(size_t(lineSize), bmp.stride()));
            break;
        case 2:
            for (uint32_t x = 0; x < s.w; ++x) {
                const int v = (l[x >> 2] >> (6 - 2 * (x & 3))) & 3;
                const int nib = v;  // index 0..3 into a 4-entry palette widened to 16
                if (x & 1) d[x >> 1] = uint8_t((d[x >> 1] & 0xF0) | nib);
                else d[x >> 1] = uint8_t(nib << 4);
            }
            break;
        case 8:
            if (s.bpp == 24) {
                for (uint32_t x = 0; x < s.w; ++x) { d[x * 3] = l[x * 3 + 2]; d[x * 3 + 1] = l[x * 3 + 1]; d[x * 3 + 2] = l[x * 3]; }
            } else if (s.bpp == 32) {
                for (uint32_t x = 0; x < s.w; ++x) { d[x * 4] = l[x * 4 + 2]; d[x * 4 + 1] = l[x * 4 + 1]; d[x * 4 + 2] = l[x * 4]; d[x * 4 + 3] = l[x * 4 + 3]; }
            } else if (white && greyOut) {
                for (uint32_t x = 0; x < s.w; ++x) d[x] = uint8_t(255 - l[x]);
            } else {
                std::memcpy(d, l, s.w);
            }
            break;
        case 12: {
            auto* d16 = reinterpret_cast<uint16_t*>(d);
            for (uint32_t x = 0; x < s.w; ++x) {
                const size_t bit = size_t(x) * 12;
                const uint8_t* p = l + bit / 8;
                const unsigned v = (bit % 8) == 0 ? unsigned((p[0] << 4) | (p[1] >> 4)) : unsigned(((p[0] & 0x0F) << 8) | p[1]);
                const unsigned v16 = (v << 4) | (v >> 8);
                d16[x] = uint16_t(white ? 65535 - v16 : v16);
            }
            break;
        }
        case 16: {
            auto* d16 = reinterpret_cast<uint16_t*>(d);
            const auto* s16 = reinterpret_cast<const uint16_t*>(l);
            for (uint32_t x = 0; x < s.w; ++x) d16[x] = white ? uint16_t(65535 - s16[x]) : s16[x];
            break;
        }
        default: return kErrSubtype;
        }
        if ((y & 255) == 0) report(y);
    }
    // Palette for the index depths.
    if (bmp.hasPalette()) {
        Palette pal;
        const int entries = 1 << s.bps;
        if (s.photometric == PHOTOMETRIC_PALETTE) {
            uint16_t *r = nullptr, *g = nullptr, *b = nullptr;
            if (!TIFFGetField(tif, TIFFTAG_COLORMAP, &r, &g, &b)) return kErrCorrupt;
            // Some writers store 8-bit colour maps: detect and keep them.
            bool eight = true;
            for (int i = 0; i < entries; ++i) if (r[i] > 255 || g[i] > 255 || b[i] > 255) { eight = false; break; }
            for (int i = 0; i < entries; ++i) {
                if (eight) pal.push_back(Rgb{uint8_t(r[i]), uint8_t(g[i]), uint8_t(b[i])});
                else pal.push_back(Rgb{uint8_t(r[i] >> 8), uint8_t(g[i] >> 8), uint8_t(b[i] >> 8)});
            }
        } else {
            pal = Bitmap::greyPalette(entries);
            if (white) std::reverse(pal.begin(), pal.end());
        }
        pal.resize(size_t(1) << bmp.bpp());
        bmp.setPalette(std::move(pal));
    }
    out = std::move(bmp);
    return kOk;
}

// Decoded bytes one coded byte can give at best, by compression.
uint64_t bestRatio(const PageShape& s) {
    switch (s.compression) {
    case COMPRESSION_NONE: return 1;
    case COMPRESSION_PACKBITS: return 64;                     // 128 bytes from 2
    case COMPRESSION_LZW: return 2560;                        // 12-bit codes, strings up to 3839 bytes
    case COMPRESSION_DEFLATE: case COMPRESSION_ADOBE_DEFLATE: return 1032;
    case COMPRESSION_JPEG: case COMPRESSION_OJPEG: return 1024;  // a bit a block, chroma halved
    case COMPRESSION_CCITTRLE: case COMPRESSION_CCITTRLEW: case COMPRESSION_CCITTFAX3: case COMPRESSION_CCITTFAX4:
        return 8 * std::max<uint64_t>((uint64_t(s.w) * s.bps + 7) / 8, 1);  // a bit a line
    default: return 1u << 15;
    }
}

// Bytes of coded data the page's strips (or tiles) hold inside the file,
// not counting strips an earlier page already used (`seen`).
uint64_t codedBytes(TIFF* tif, uint64_t fileSize, std::unordered_set<uint64_t>& seen) {
    const uint32_t n = TIFFIsTiled(tif) ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    uint64_t total = 0;
    for (uint32_t i = 0; i < n; ++i) {
        int err = 0;
        const uint64_t off = TIFFGetStrileOffsetWithErr(tif, i, &err);
        const uint64_t len = err ? 0 : TIFFGetStrileByteCountWithErr(tif, i, &err);
        if (err || off >= fileSize || !seen.insert(off).second) continue;
        total += std::min(len, fileSize - off);
    }
    return total;
}

struct Page {
    tdir_t dir = 0;
    PageShape shape;
    uint64_t cost = 0;      // bytes decoding it takes (bitmap, and raster for the RGBA reader)
    bool plausible = true;  // its data can fill the size it declares
};

// The page's resolution in dots per inch (0, 0 when it gives none or only
// an aspect ratio).
void resolutionOf(TIFF* tif, double& dpiX, double& dpiY) {
    float x = 0, y = 0;
    uint16_t unit = RESUNIT_INCH;
    dpiX = dpiY = 0;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y)) return;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
    const double perInch = unit == RESUNIT_INCH ? 1.0 : unit == RESUNIT_CENTIMETER ? 2.54 : 0.0;
    if (!(x > 0) || !(y > 0) || perInch == 0 || x > 1e6f || y > 1e6f) return;
    dpiX = x * perInch;
    dpiY = y * perInch;
}

TIFF* openMem(MemFile& mem, TIFFOpenOptions* opts) {
    return TIFFClientOpenExt("memory", "rm", &mem, memRead, memWrite, memSeek, memClose, memSize, memMap,
                             memUnmap, opts);
}

}  // namespace

int16_t decodeTiff(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 8) return in.size >= 2 && (in.data[0] == 'I' || in.data[0] == 'M') ? kErrRead : kErrBadFormat;
    const bool le = in.data[0] == 'I' && in.data[1] == 'I';
    const bool be = in.data[0] == 'M' && in.data[1] == 'M';
    if (!le && !be) return kErrBadFormat;
    MemFile mem{in, 0, kOk};
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> o(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    TIFFOpenOptionsSetMaxSingleMemAlloc(o.get(), tmsize_t(1) << 30);
    TIFFOpenOptionsSetErrorHandlerExtR(o.get(), onError, &mem);
    TIFFOpenOptionsSetWarningHandlerExtR(o.get(), onWarning, &mem);
    std::unique_ptr<TIFF, TiffCloser> tif(openMem(mem, o.get()));
    if (!tif) return mem.lastError == kOk ? kErrBadFormat : kErrCorrupt;

    // Pages are the full-resolution directories; thumbnails are not pages.
    // Each one's cost is known before any is decoded.
    std::vector<Page> pageList;
    PlausibleFile plausible;
    std::unordered_set<uint64_t> seenStrips;
    tdir_t dir = 0;
    do {
        if (!isReducedImage(tif.get())) {
            Page p;
            p.dir = dir;
            p.shape = shapeOf(tif.get());
            const PageShape& sh = p.shape;
            const uint64_t raw = uint64_t(sh.h) * ((uint64_t(sh.w) * sh.spp * sh.bps + 7) / 8);
            p.plausible = sh.w > 0 && sh.h > 0 && sh.bpp > 0 &&
                          plausible.admit(raw, codedBytes(tif.get(), in.size, seenStrips), bestRatio(sh));
            p.cost = uint64_t(Bitmap::strideFor(int(std::min<uint32_t>(sh.w, kMaxDimension)), sh.bpp)) * sh.h +
                     (sh.native ? 0 : uint64_t(sh.w) * sh.h * 4);
            pageList.push_back(p);
        }
        ++dir;
        if (dir > 10000) break;  // a directory chain this long is hostile
    } while (TIFFReadDirectory(tif.get()));
    if (pageList.empty()) return kErrCorrupt;
    const int inFile = int(pageList.size());
    doc.info.formatCode = kFmtTiff;
    if (opts.firstPage < 0 || opts.firstPage >= inFile) {
        doc.info.pageCount = inFile;
        if (opts.infoOnly && opts.firstPage == 0) return kErrCorrupt;
        return kErrBadParam;
    }
    const Page& firstPage = pageList[size_t(opts.firstPage)];
    doc.info.width = int(firstPage.shape.w);
    doc.info.height = int(firstPage.shape.h);
    doc.info.bpp = firstPage.shape.bpp;
    int implausible = 0;
    for (const Page& p : pageList) implausible += p.plausible ? 0 : 1;
    doc.info.pageCount = inFile - implausible;
    doc.info.pagesLeftOut = implausible;
    if (firstPage.shape.w == 0 || firstPage.shape.h == 0) return kErrBadSize;
    if (opts.infoOnly) return kOk;
    if (!firstPage.plausible) return kErrTooLarge;

    const int last = opts.pageCount < 0 ? inFile : std::min(inFile, opts.firstPage + opts.pageCount);
    LoadBudget budget;
    for (int p = opts.firstPage; p < last; ++p)
        if (pageList[size_t(p)].plausible && !budget.claim(pageList[size_t(p)].cost)) return kErrNoMemory;

    // A page that does not decode is left out; the first one asked for fails
    // the load. Running out of memory is never taken for a broken page.
    std::vector<Frame> frames;
    int brokenPages = 0;
    if (opts.progress) opts.progress(0);
    for (int p = opts.firstPage; p < last; ++p) {
        const Page& page = pageList[size_t(p)];
        if (!page.plausible) continue;
        int16_t code = TIFFSetDirectory(tif.get(), page.dir) ? int16_t(kOk) : int16_t(kErrCorrupt);
        mem.lastError = kOk;
        Bitmap bmp;
        PageShape s;
        if (code == kOk) {
            s = shapeOf(tif.get());
            code = readPage(tif.get(), mem, s, bmp, opts.progress, p - opts.firstPage, last - opts.firstPage);
        }
        if (code == kErrNoMemory) return code;
        if (code != kOk) {
            if (frames.empty() && brokenPages == 0 && p == opts.firstPage) return code;
            ++brokenPages;
            continue;
        }
        Frame frame;
        resolutionOf(tif.get(), frame.dpiX, frame.dpiY);
        uint16_t orientation = ORIENTATION_TOPLEFT;
        if (s.native && TIFFGetField(tif.get(), TIFFTAG_ORIENTATION, &orientation) && orientation > 1 && orientation <= 8 && bmp.bpp() >= 8) {
            int16_t c = kOk;
            Bitmap turned = applyOrientation(bmp, orientation, &c);
            if (!turned.isNull()) {
                bmp = std::move(turned);
                if (orientation >= 5) std::swap(frame.dpiX, frame.dpiY);
            }
        }
        frame.bitmap = std::move(bmp);
        frames.push_back(std::move(frame));
    }
    if (frames.empty()) return kErrCorrupt;
    doc.info.pageCount -= brokenPages;
    doc.info.pagesLeftOut += brokenPages;
    if (opts.progress) opts.progress(100);
    doc.frames = std::move(frames);
    return kOk;
}

namespace {

// `page` and `pages` count in the whole file (old pages included when appending).
int16_t writeDirectory(TIFF* tif, const Bitmap& bmp, const EncodeOptions& opts, bool reduced, int page, int pages,
                       double dpiX, double dpiY) {
    uint16_t compression = COMPRESSION_NONE;
    switch (opts.format) {
    case kFmtTiffLzw: compression = COMPRESSION_LZW; break;
    case kFmtTiffPackBits: compression = COMPRESSION_PACKBITS; break;
    case kFmtTiffG3: compression = COMPRESSION_CCITTFAX3; break;
    case kFmtTiffG4: compression = COMPRESSION_CCITTFAX4; break;
    case kFmtTiffJpeg: compression = COMPRESSION_JPEG; break;
    case kFmtTiffDeflate: compression = COMPRESSION_ADOBE_DEFLATE; break;
    default: break;
    }
    if (reduced) compression = COMPRESSION_LZW;
    if ((compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4) && bmp.bpp() != 1) return kErrBadBpp;
    if (compression == COMPRESSION_JPEG && bmp.bpp() != 8 && bmp.bpp() != 24) return kErrBadBpp;

    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(bmp.width()));
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(bmp.height()));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, compression);
    // The page's own resolution (a 400 dpi fax stays 400 dpi); 96 when unknown.
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, float(dpiX > 0 && dpiY > 0 ? dpiX : 96.0));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, float(dpiX > 0 && dpiY > 0 ? dpiY : 96.0));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    TIFFSetField(tif, TIFFTAG_SOFTWARE, "QOVA");
    if (reduced) TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_REDUCEDIMAGE);
    else if (pages > 1) {
        TIFFSetField(tif, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(pages));
    }

    const int bpp = bmp.bpp();
    std::vector<uint16_t> r, g, b;
    bool invert1 = false;
    if (bpp == 24 || bpp == 32) {
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, bpp / 8);
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        if (bpp == 32) {
            const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
            TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &extra);
        }
    } else {
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 1);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, bpp);
        const Palette& pal = bmp.palette();
        const bool greyRamp = bmp.isGrey() || pal == Bitmap::greyPalette(1 << bpp);
        Palette reversed = Bitmap::greyPalette(1 << bpp);
        std::reverse(reversed.begin(), reversed.end());
        if (bpp == 1 && (compression == COMPRESSION_CCITTFAX3 || compression == COMPRESSION_CCITTFAX4)) {
            // Fax readers expect 0 = white: store min-is-white, flipping bits
            // when our palette says index 0 is black.
            const bool zeroIsWhite = !pal.empty() && (pal[0].r + pal[0].g + pal[0].b) > 382;
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
            invert1 = !zeroIsWhite;
        } else if (greyRamp) {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK);
        } else if (pal == reversed) {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        } else {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_PALETTE);
            const size_t n = size_t(1) << bpp;
            r.resize(n); g.resize(n); b.resize(n);
            for (size_t i = 0; i < n && i < pal.size(); ++i) {
                r[i] = uint16_t(pal[i].r * 257); g[i] = uint16_t(pal[i].g * 257); b[i] = uint16_t(pal[i].b * 257);
            }
            TIFFSetField(tif, TIFFTAG_COLORMAP, r.data(), g.data(), b.data());
        }
    }
    if (compression == COMPRESSION_JPEG) {
        const int q = jpegQualityFromFactor(opts.quality);
        if (q < 0) return kErrBadQuality;
        TIFFSetField(tif, TIFFTAG_JPEGQUALITY, q);
        if (bpp == 24) {
            TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_YCBCR);
            TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
        }
    }
    if ((compression == COMPRESSION_LZW || compression == COMPRESSION_ADOBE_DEFLATE) && bpp >= 8)
        TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, compression == COMPRESSION_JPEG ? 16 : 0));

    const size_t lineBytes = (size_t(bmp.width()) * bpp + 7) / 8;
    std::vector<uint8_t> line(lineBytes + 8);
    for (int y = 0; y < bmp.height(); ++y) {
        const uint8_t* s = bmp.row(y);
        if (bpp == 24) {
            for (int x = 0; x < bmp.width(); ++x) { line[x * 3] = s[x * 3 + 2]; line[x * 3 + 1] = s[x * 3 + 1]; line[x * 3 + 2] = s[x * 3]; }
        } else if (bpp == 32) {
            for (int x = 0; x < bmp.width(); ++x) { line[x * 4] = s[x * 4 + 2]; line[x * 4 + 1] = s[x * 4 + 1]; line[x * 4 + 2] = s[x * 4]; line[x * 4 + 3] = s[x * 4 + 3]; }
        } else {
            std::memcpy(line.data(), s, lineBytes);
            if (invert1) for (size_t i = 0; i < lineBytes; ++i) line[i] = uint8_t(~line[i]);
        }
        if (TIFFWriteScanline(tif, line.data(), uint32_t(y), 0) < 0) return kErrWrite;
    }
    return TIFFWriteDirectory(tif) ? kOk : kErrWrite;
}

}  // namespace

int16_t encodeTiff(const std::vector<Frame>& frames, const std::string& path, const EncodeOptions& opts) {
    if (frames.empty()) return kErrBadHandle;
    MemFile dummy;
    std::unique_ptr<TIFFOpenOptions, void (*)(TIFFOpenOptions*)> o(TIFFOpenOptionsAlloc(), TIFFOpenOptionsFree);
    TIFFOpenOptionsSetErrorHandlerExtR(o.get(), onError, &dummy);
    TIFFOpenOptionsSetWarningHandlerExtR(o.get(), onWarning, &dummy);
    uint64_t total = 0;
    for (const auto& f : frames) total += f.bitmap.byteSize();
    // Appending keeps the old file's classic or big layout ("a" reads it).
    const char* mode = opts.append ? "a" : total > (3ull << 30) ? "w8" : "w";
    std::unique_ptr<TIFF, TiffCloser> tif(TIFFOpenExt(path.c_str(), mode, o.get()));
    if (!tif) return kErrWrite;
    const int first = opts.append ? std::max(0, opts.existingPages) : 0;
    const int pages = first + int(frames.size());
    for (int p = first; p < pages; ++p) {
        const Frame& f = frames[size_t(p - first)];
        const int16_t c = writeDirectory(tif.get(), f.bitmap, opts, false, p, pages, f.dpiX, f.dpiY);
        if (c != kOk) return c;
        if (p == first && opts.stamp) {
            if (opts.stampWidth <= 0 || opts.stampHeight <= 0) return kErrBadParam;
            Bitmap thumb = makeStamp(frames[0].bitmap, opts.stampWidth, opts.stampHeight, opts.stampBpp == 8 ? 8 : 24);
            if (thumb.isNull()) return kErrNoMemory;
            const int16_t t = writeDirectory(tif.get(), thumb, opts, true, 0, 1, 0, 0);
            if (t != kOk) return t;
        }
    }
    TIFF* raw = tif.release();
    TIFFClose(raw);
    return dummy.lastError == kOk ? kOk : kErrWrite;
}

}  // namespace qova::engine
