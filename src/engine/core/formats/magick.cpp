// The long tail of formats through GraphicsMagick: PCX, TGA, SUN, PICT,
// Photo CD, CALS, ICO/CUR, WPG, WMF, MacPaint, EPS, PNM, WebP.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <list>
#include <mutex>
#include <vector>

#include <Magick++.h>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "format_table.h"

namespace qova::engine {

namespace {

constexpr uint64_t kBytesPerPixel = 12;  // its pixel cache and our bitmap

// GraphicsMagick's limits are process-wide, so its work is done one call at a
// time under this lock, each call setting the limits it needs first. Its
// pixel cache holds 8 bytes a pixel (16-bit quantum) and stays in memory: no
// memory-mapped or disk cache, so a hostile header cannot fill the disk with
// a temporary file. Some of its readers allocate the whole picture even when
// asked for the header only, so the pixel limit is what stops them.
std::mutex& magickLock() {
    static std::mutex m;
    return m;
}

void setLimits(uint64_t pixels) {
    using namespace MagickLib;
    const uint64_t ceiling = loadCeiling();
    SetMagickResourceLimit(WidthResource, kMaxDimension);
    SetMagickResourceLimit(HeightResource, kMaxDimension);
    SetMagickResourceLimit(PixelsResource, magick_int64_t(std::min(pixels, ceiling / kBytesPerPixel)));
    SetMagickResourceLimit(MemoryResource, magick_int64_t(ceiling));
    SetMagickResourceLimit(ReadResource, magick_int64_t(ceiling));
    SetMagickResourceLimit(MapResource, 0);
    SetMagickResourceLimit(DiskResource, 0);
}

void initMagick() {
    static std::once_flag once;
    std::call_once(once, [] {
        // No signal handlers of its own: it would end the program on
        // SIGXFSZ, which a save past the file size limit must survive.
        MagickLib::ExceptionInfo init;
        MagickLib::GetExceptionInfo(&init);
        MagickLib::InitializeMagickEx(nullptr, MAGICK_OPT_NO_SIGNAL_HANDER, &init);
        MagickLib::DestroyExceptionInfo(&init);
        // Its messages come back to us as exceptions; it prints nothing.
        MagickLib::SetWarningHandler(+[](const MagickLib::ExceptionType, const char*, const char*) {});
        MagickLib::SetErrorHandler(+[](const MagickLib::ExceptionType, const char*, const char*) {});
        // PostScript would start Ghostscript behind our back (EPS, PDF, or a
        // PostScript record inside a WPG file); it runs only through
        // decodePostScript, with its limits. The writers stay.
        MagickLib::ExceptionInfo ex;
        MagickLib::GetExceptionInfo(&ex);
        for (const char* name : {"PS", "PS2", "PS3", "EPS", "EPS2", "EPS3", "EPSF", "EPSI", "EPI", "EPT", "EPT2",
                                 "EPT3", "PDF", "AI", "PCL", "XPS"}) {
            const MagickLib::MagickInfo* info = MagickLib::GetMagickInfo(name, &ex);
            if (info && std::strcmp(info->name, name) == 0) const_cast<MagickLib::MagickInfo*>(info)->decoder = nullptr;
        }
        MagickLib::DestroyExceptionInfo(&ex);
    });
}

// The most pixels a file of `bytes` can describe in `magick`'s format, at the
// best ratio the format reaches; 0 for formats of a fixed size.
uint64_t plausiblePixels(const std::string& magick, uint64_t bytes, uint64_t width) {
    uint64_t perByte = 64;
    if (magick == "MAC" || magick == "PCD") return 0;
    if (magick == "SUN") perByte = 700;                 // run-length, one bit a pixel
    else if (magick == "PICT" || magick == "WPG") perByte = 512;  // PackBits, one bit a pixel
    else if (magick == "PNM") perByte = 8;
    else if (magick == "WEBP") perByte = 2560;  // lossless WebP of flat colour
    else if (magick == "ICO" || magick == "CUR") perByte = 8300;  // PNG inside
    else if (magick == "CALS") perByte = 8 * std::max<uint64_t>(width, 1);  // fax: a bit a line
    const uint64_t slack = kPlausibleSlack / 4;
    if (bytes > (UINT64_MAX - slack) / perByte) return UINT64_MAX;
    uint64_t most = slack + bytes * perByte;
    // Drawings are not bounded by their bytes; a render stops here.
    if (magick == "WMF" || magick == "WPG" || magick == "PICT") most = std::max(most, kMaxDrawingPixels);
    if (magick == "WMF") most = kMaxDrawingPixels;
    return most;
}

int16_t codeForException(const Magick::Exception& e) {
    const std::string what = e.what();
    if (dynamic_cast<const Magick::ErrorResourceLimit*>(&e)) return kErrNoMemory;
    if (dynamic_cast<const Magick::ErrorMissingDelegate*>(&e)) return kErrBadFormat;
    if (dynamic_cast<const Magick::ErrorCorruptImage*>(&e)) {
        if (what.find("nexpected end") != std::string::npos || what.find("nsufficient") != std::string::npos)
            return kErrRead;
        return kErrCorrupt;
    }
    if (dynamic_cast<const Magick::ErrorBlob*>(&e) || dynamic_cast<const Magick::ErrorFileOpen*>(&e)) return kErrRead;
    if (dynamic_cast<const Magick::ErrorDelegate*>(&e)) return kErrSubtype;
    if (what.find("nexpected end") != std::string::npos) return kErrRead;
    return kErrCorrupt;
}

// Converts one decoded image into an engine bitmap at the depth it had.
int16_t toBitmap(Magick::Image& img, Bitmap& out, int& storedBpp) {
    const int w = int(img.columns()), h = int(img.rows());
    if (w <= 0 || h <= 0) return kErrBadSize;
    int16_t code = kOk;
    const bool pseudo = img.classType() == Magick::PseudoClass && img.colorMapSize() > 0 && img.colorMapSize() <= 256;
    const Magick::PixelPacket* px = img.getConstPixels(0, 0, unsigned(w), unsigned(h));
    if (!px) return kErrNoMemory;
    auto to8 = [](Magick::Quantum q) { return uint8_t(unsigned(q) * 255u / MaxRGB); };
    if (pseudo) {
        const size_t n = img.colorMapSize();
        const int bpp = n <= 2 ? 1 : n <= 16 ? 4 : 8;
        const Magick::IndexPacket* idx = img.getConstIndexes();
        if (!idx) return kErrCorrupt;
        Bitmap b = Bitmap::createFilled(w, h, bpp, false, 0, &code);
        if (b.isNull()) return code;
        Palette pal;
        for (size_t i = 0; i < n; ++i) {
            const Magick::Color c = img.colorMap(i);
            pal.push_back(Rgb{to8(c.redQuantum()), to8(c.greenQuantum()), to8(c.blueQuantum())});
        }
        pal.resize(size_t(1) << bpp);
        b.setPalette(std::move(pal));
        for (int y = 0; y < h; ++y) {
            if (bpp == 8) {
                uint8_t* r = b.mutableRow(y);
                for (int x = 0; x < w; ++x) r[x] = uint8_t(idx[size_t(y) * w + x]);
            } else {
                for (int x = 0; x < w; ++x) b.setIndex(x, y, int(idx[size_t(y) * w + x]) & ((1 << bpp) - 1));
            }
        }
        storedBpp = bpp;
        out = std::move(b);
        return kOk;
    }
    const bool alpha = img.matte();
    const Magick::ImageType type = alpha ? Magick::TrueColorMatteType : img.type();
    if (type == Magick::BilevelType) {
        // Fax-like formats (CALS, MacPaint) decode to black and white pixels.
        Bitmap b = Bitmap::createFilled(w, h, 1, false, 0, &code);
        if (b.isNull()) return code;
        b.setPalette(Palette{Rgb{0, 0, 0}, Rgb{255, 255, 255}});
        for (int y = 0; y < h; ++y) {
            const Magick::PixelPacket* p = px + size_t(y) * w;
            uint8_t* r = b.mutableRow(y);
            for (int x = 0; x < w; ++x)
                if (p[x].red > MaxRGB / 2) r[x >> 3] |= uint8_t(0x80 >> (x & 7));
        }
        storedBpp = 1;
        out = std::move(b);
        return kOk;
    }
    const bool grey = type == Magick::GrayscaleType;
    const int bpp = alpha ? 32 : grey ? 8 : 24;
    Bitmap b = Bitmap::create(w, h, bpp, grey, &code);
    if (b.isNull()) return code;
    for (int y = 0; y < h; ++y) {
        uint8_t* r = b.mutableRow(y);
        const Magick::PixelPacket* p = px + size_t(y) * w;
        for (int x = 0; x < w; ++x) {
            if (bpp == 8) {
                r[x] = to8(p[x].red);
            } else {
                const int n = bpp / 8;
                r[x * n] = to8(p[x].blue); r[x * n + 1] = to8(p[x].green); r[x * n + 2] = to8(p[x].red);
                // GraphicsMagick keeps opacity (0 = opaque); we keep alpha.
                if (n == 4) r[x * 4 + 3] = uint8_t(255 - to8(p[x].opacity));
            }
        }
    }
    storedBpp = bpp;
    out = std::move(b);
    return kOk;
}

// Reads `in` with the named coder: only the headers when `ping`.
int16_t readImages(ByteSpan in, const std::string& magick, bool ping, std::list<Magick::Image>& images) {
    try {
        // Name the coder: TGA, ICO and friends carry no signature to detect.
        MagickLib::ImageInfo* info = MagickLib::CloneImageInfo(nullptr);
        std::snprintf(info->magick, sizeof info->magick, "%s", magick.c_str());
        std::snprintf(info->filename, sizeof info->filename, "%s:", magick.c_str());
        MagickLib::ExceptionInfo ex;
        MagickLib::GetExceptionInfo(&ex);
        MagickLib::Image* list = ping ? MagickLib::PingBlob(info, in.data, in.size, &ex)
                                      : MagickLib::BlobToImage(info, in.data, in.size, &ex);
        MagickLib::DestroyImageInfo(info);
        if (list == nullptr || ex.severity >= MagickLib::ErrorException) {
            if (list) MagickLib::DestroyImageList(list);
            int16_t code = kErrCorrupt;
            try {
                Magick::throwException(ex);
            } catch (const Magick::Warning&) {
            } catch (const Magick::Exception& thrown) {
                code = codeForException(thrown);
            }
            MagickLib::DestroyExceptionInfo(&ex);
            return code;
        }
        MagickLib::DestroyExceptionInfo(&ex);
        while (list) images.emplace_back(MagickLib::RemoveFirstImageFromList(&list));
    } catch (const Magick::Warning&) {
        // Warnings still give an image.
    } catch (const Magick::Exception& e) {
        return codeForException(e);
    } catch (const std::bad_alloc&) {
        return kErrNoMemory;
    }
    return images.empty() ? int16_t(kErrCorrupt) : int16_t(kOk);
}

}  // namespace

int16_t decodeWithMagick(ByteSpan in, const std::string& magick, const DecodeOptions& opts, Document& doc) {
    if (in.size == 0) return kErrRead;
    initMagick();
    std::lock_guard lock(magickLock());
    // No picture may pass what the file's bytes can describe (the width is
    // not known yet: the fax format's bound is checked again below).
    const uint64_t byCeiling = loadCeiling() / kBytesPerPixel;
    const uint64_t byData = plausiblePixels(magick, in.size, kMaxDimension);
    const bool dataBound = byData && byData < byCeiling;
    setLimits(dataBound ? byData : byCeiling);
    auto refused = [&](int16_t code) { return code == kErrNoMemory && dataBound ? int16_t(kErrTooLarge) : code; };
    // The headers first: every picture's size is checked before its pixels
    // are read.
    {
        std::list<Magick::Image> heads;
        const int16_t code = readImages(in, magick, true, heads);
        if (code != kOk) return refused(code);
        LoadBudget budget;
        int i = 0;
        const int last = opts.pageCount < 0 ? INT32_MAX : opts.firstPage + opts.pageCount;
        uint64_t allPixels = 0;  // the file's bytes must fill all its pictures together
        for (auto& img : heads) {
            const uint64_t w = img.columns(), h = img.rows();
            const uint64_t most = plausiblePixels(magick, in.size, w);
            allPixels += w * h;
            if (most && allPixels > most) return kErrTooLarge;
            if ((opts.infoOnly || (i >= opts.firstPage && i < last)) && !budget.claim(w * h * kBytesPerPixel))
                return kErrNoMemory;
            ++i;
        }
    }
    std::list<Magick::Image> images;
    if (const int16_t code = readImages(in, magick, false, images); code != kOk) return refused(code);
    if (images.empty()) return kErrCorrupt;
    const int pages = int(images.size());
    if (opts.infoOnly) {
        // These formats are small; a full read is the only honest page count.
        Magick::Image& first = images.front();
        doc.info.width = int(first.columns());
        doc.info.height = int(first.rows());
        doc.info.bpp = first.classType() == Magick::PseudoClass && first.colorMapSize() <= 256
                           ? (first.colorMapSize() <= 2 ? 1 : first.colorMapSize() <= 16 ? 4 : 8)
                           : (first.matte() ? 32 : first.type() == Magick::GrayscaleType ? 8 : 24);
        doc.info.pageCount = pages;
        return kOk;
    }
    if (opts.firstPage < 0 || opts.firstPage >= pages) return kErrBadParam;
    const int last = opts.pageCount < 0 ? pages : std::min(pages, opts.firstPage + opts.pageCount);
    std::vector<Frame> frames;
    int i = 0;
    int firstBpp = 0;
    if (opts.progress) opts.progress(0);
    for (auto& img : images) {
        if (i >= opts.firstPage && i < last) {
            Bitmap b;
            int bpp = 0;
            try {
                const int16_t c = toBitmap(img, b, bpp);
                if (c != kOk) return c;
            } catch (const Magick::Exception& e) {
                return codeForException(e);
            }
            if (frames.empty()) firstBpp = bpp;
            Frame f;
            f.bitmap = std::move(b);
            f.delayMs = int(img.animationDelay()) * 10;
            frames.push_back(std::move(f));
            if (opts.progress) opts.progress((i - opts.firstPage + 1) * 100 / std::max(1, last - opts.firstPage));
        }
        ++i;
    }
    doc.info.width = frames.front().bitmap.width();
    doc.info.height = frames.front().bitmap.height();
    doc.info.bpp = firstBpp;
    doc.info.pageCount = pages;
    if (opts.progress) opts.progress(100);
    doc.frames = std::move(frames);
    return kOk;
}

int16_t encodeWithMagick(const Bitmap& bmp, const std::string& magick, const std::string& path, const EncodeOptions& opts) {
    initMagick();
    std::lock_guard lock(magickLock());
    setLimits(UINT64_MAX);
    try {
        const Bitmap rgb = bmp.bpp() == 24 || bmp.bpp() == 32 ? bmp : bmp.convertTo(24);
        if (rgb.isNull()) return kErrNoMemory;
        const bool alpha = rgb.bpp() == 32;
        // Pack rows tightly for GraphicsMagick.
        const size_t n = alpha ? 4 : 3;
        std::vector<uint8_t> packed(size_t(rgb.width()) * rgb.height() * n);
        for (int y = 0; y < rgb.height(); ++y)
            std::memcpy(packed.data() + size_t(y) * rgb.width() * n, rgb.row(y), size_t(rgb.width()) * n);
        Magick::Image img(unsigned(rgb.width()), unsigned(rgb.height()), alpha ? "BGRA" : "BGR", Magick::CharPixel,
                          packed.data());
        switch (bmp.bpp()) {
        case 1: img.type(Magick::BilevelType); break;
        case 4: case 8:
            if (bmp.isGrey()) img.type(Magick::GrayscaleType);
            else { img.quantizeColors(size_t(1) << bmp.bpp()); img.quantizeDither(false); img.quantize(); img.type(Magick::PaletteType); }
            break;
        case 32: img.type(Magick::TrueColorMatteType); break;
        default: img.type(Magick::TrueColorType); break;
        }
        if (bmp.bpp() <= 8) img.depth(8);
        img.magick(magick);
        if (opts.quality > 0 && opts.quality <= 100) img.quality(size_t(opts.quality));
        img.write(path);
    } catch (const Magick::Warning&) {
        return kOk;
    } catch (const Magick::Exception&) {
        return kErrWrite;
    } catch (const std::bad_alloc&) {
        return kErrNoMemory;
    }
    return kOk;
}

}  // namespace qova::engine
