#include "formats.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>

#include "../animation.h"
#include "../codes.h"
#include "../ops/ranges.h"
#include "../ops/reduce.h"
#include "budget.h"
#include "format_table.h"
#include "write_file.h"

namespace qova::engine {

namespace {

// The whole file read into memory with plain reads. A mapping would be
// cheaper, but a file that shrinks while it loads, or an I/O error on
// removable or network media, turns a mapped read into SIGBUS; a read just
// returns less, or an error.
class FileBytes {
public:
    int16_t open(const std::string& path) {
        if (path.empty() || path.find('\0') != std::string::npos) return kErrBadFileName;
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) {
            if (errno == ENOENT || errno == ENOTDIR) return kErrNotFound;
            if (errno == ENAMETOOLONG) return kErrBadFileName;
            return kErrCannotOpen;
        }
        if (S_ISDIR(st.st_mode)) return kErrBadFileName;
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return errno == ENOENT ? kErrNotFound : kErrCannotOpen;
        const int16_t code = readAll(fd);
        ::close(fd);
        return code;
    }
    ByteSpan span() const { return ByteSpan{data_.get(), size_}; }
    size_t size() const { return size_; }

private:
    int16_t readAll(int fd) {
        struct stat st {};
        if (fstat(fd, &st) != 0) return kErrRead;
        if (!S_ISREG(st.st_mode)) return kErrBadFileName;
        if (st.st_size <= 0) return kErrRead;
        // Holding a file larger than a whole load may decode to is no use.
        if (uint64_t(st.st_size) > loadCeiling()) return kErrNoMemory;
        const size_t want = size_t(st.st_size);
        data_.reset(new (std::nothrow) uint8_t[want]);
        if (!data_) return kErrNoMemory;
        posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
        size_t got = 0;
        while (got < want) {
            const ssize_t n = ::read(fd, data_.get() + got, want - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return kErrRead;
            if (n == 0) break;  // the file shrank since we asked its size
            got += size_t(n);
        }
        if (got == 0) return kErrRead;
        size_ = got;
        return kOk;
    }

    std::unique_ptr<uint8_t[]> data_;
    size_t size_ = 0;
};

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    for (auto& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
    return ext;
}

bool startsWith(ByteSpan s, const char* magic, size_t n, size_t at = 0) {
    return s.size >= at + n && std::memcmp(s.data + at, magic, n) == 0;
}

bool plausibleTga(ByteSpan s) {
    if (s.size < 18) return false;
    const int cmapType = s.data[1], type = s.data[2], depth = s.data[16];
    const bool typeOk = type == 1 || type == 2 || type == 3 || type == 9 || type == 10 || type == 11;
    return cmapType <= 1 && typeOk && (depth == 8 || depth == 15 || depth == 16 || depth == 24 || depth == 32);
}

bool plausibleGem(ByteSpan s) {
    if (s.size < 16) return false;
    const unsigned hlen = rd16be(s.data + 2), planes = rd16be(s.data + 4), pat = rd16be(s.data + 6);
    return hlen >= 8 && hlen < 1024 && planes >= 1 && planes <= 8 && pat >= 1 && pat <= 8;
}

}  // namespace

int detectFormat(ByteSpan s, const std::string& path) {
    const std::string ext = lowerExtension(path);
    if (startsWith(s, "\xFF\xD8\xFF", 3)) return kFmtJpeg;
    // A TGA header can look like an icon's; its name decides first.
    if ((ext == ".tga" || ext == ".vda" || ext == ".icb" || ext == ".vst") && plausibleTga(s)) return kFmtTga;
    if (startsWith(s, "\x89PNG\r\n\x1A\n", 8)) return kFmtPng;
    if (startsWith(s, "II*\0", 4) || startsWith(s, "MM\0*", 4)) return kFmtTiff;
    if (startsWith(s, "II+\0", 4) || startsWith(s, "MM\0+", 4)) return kFmtBigTiff;
    if (startsWith(s, "GIF8", 4)) return kFmtGif;
    if (startsWith(s, "RIFF", 4) && startsWith(s, "WEBP", 4, 8)) return kFmtWebp;
    if (startsWith(s, "BM", 2)) return kFmtBmp;
    if (startsWith(s, "8BPS", 4)) return kFmtPsd;
    if (startsWith(s, "DanM", 4) || startsWith(s, "LinS", 4)) return kFmtMsp;
    if (startsWith(s, "\x59\xA6\x6A\x95", 4)) return kFmtSun;
    if (startsWith(s, "\xD7\xCD\xC6\x9A", 4) || startsWith(s, "\x01\x00\x09\x00", 4) || startsWith(s, "\x02\x00\x09\x00", 4)) return kFmtWmf;
    if (startsWith(s, "\xFFWPC", 4)) return kFmtWpg;
    if (startsWith(s, "%!PS", 4) || startsWith(s, "\xC5\xD0\xD3\xC6", 4)) return kFmtEps;
    if (startsWith(s, "PCD_IPI", 7, 2048) || startsWith(s, "PCD_OPA", 7)) return kFmtPcd;
    if (startsWith(s, "\0\0\1\0", 4) && s.size > 6 && rd16le(s.data + 4) > 0) return kFmtIco;
    if (startsWith(s, "\0\0\2\0", 4) && s.size > 6 && rd16le(s.data + 4) > 0) return kFmtCur;
    if (startsWith(s, "srcdocid:", 9) || startsWith(s, "rorient:", 8) || startsWith(s, "version: MIL-STD-1840", 21)) return kFmtCals;
    if (s.size >= 2 && s.data[0] == 'P' && s.data[1] >= '1' && s.data[1] <= '6') return kFmtPpm;
    if (s.size >= 128 && s.data[0] == 0x0A && s.data[1] <= 5 && s.data[2] == 1) return kFmtPcx;
    // Formats without a signature: trust the name, then check the header.
    if (ext == ".pct" || ext == ".pict") return kFmtPict;
    if (ext == ".mac" || ext == ".pntg") return kFmtMacPaint;
    if (ext == ".img") return plausibleGem(s) ? kFmtGemImg : 0;
    if (ext == ".cal" || ext == ".cals") return kFmtCals;
    if (plausibleGem(s) && rd16be(s.data) <= 3) return 0;  // could be anything; don't guess
    return 0;
}

namespace {

int16_t decodeAny(int format, ByteSpan span, const DecodeOptions& opts, Document& doc) {
    switch (format) {
    case kFmtJpeg: return decodeJpeg(span, opts, doc);
    case kFmtPng: return decodePng(span, opts, doc);
    case kFmtTiff: case kFmtBigTiff: return decodeTiff(span, opts, doc);
    case kFmtGif: return decodeGif(span, opts, doc);
    case kFmtBmp: return decodeBmp(span, opts, doc);
    case kFmtPsd: return decodePsd(span, opts, doc);
    case kFmtMsp: return decodeMsp(span, opts, doc);
    case kFmtGemImg: return decodeGemImg(span, opts, doc);
    case kFmtPcx: return decodePcx(span, opts, doc);
    case kFmtTga: return decodeTga(span, opts, doc);
    case kFmtSun: return decodeWithMagick(span, "SUN", opts, doc);
    case kFmtPict: return decodeWithMagick(span, "PICT", opts, doc);
    case kFmtPcd: return decodeWithMagick(span, "PCD", opts, doc);
    case kFmtCals: return decodeWithMagick(span, "CALS", opts, doc);
    case kFmtIco: return decodeWithMagick(span, "ICO", opts, doc);
    case kFmtCur: return decodeWithMagick(span, "CUR", opts, doc);
    case kFmtWpg: return decodeWithMagick(span, "WPG", opts, doc);
    case kFmtWmf: return decodeWithMagick(span, "WMF", opts, doc);
    case kFmtMacPaint: return decodeWithMagick(span, "MAC", opts, doc);
    case kFmtEps: return decodePostScript(span, opts, doc);
    case kFmtPpm: return decodeWithMagick(span, "PNM", opts, doc);
    case kFmtWebp: return decodeWithMagick(span, "WEBP", opts, doc);
    default: return kErrBadFormat;
    }
}

}  // namespace

int16_t loadBytes(ByteSpan bytes, const LoadRequest& req, Document& out) {
    if (req.bpp != 0 && !Bitmap::validBpp(req.bpp)) return kErrBadBpp;
    if (req.firstPage < 0 || req.pageCount == 0 || req.pageCount < -1) return kErrBadParam;
    if (bytes.size == 0) return kErrRead;
    const int format = detectFormat(bytes, req.path);
    if (!format) return kErrBadFormat;
    Document doc;
    DecodeOptions opts;
    opts.firstPage = req.firstPage;
    opts.pageCount = req.pageCount;
    opts.progress = req.progress;
    opts.reduceWidth = req.reduceWidth;
    opts.reduceHeight = req.reduceHeight;
    opts.runPrograms = req.runPrograms;
    int16_t code;
    try {
        code = decodeAny(format, bytes, opts, doc);
    } catch (const std::bad_alloc&) {
        code = kErrNoMemory;
    } catch (...) {
        code = kErrUnknown;
    }
    if (code != kOk) return code;
    if (doc.frames.empty()) return kErrCorrupt;
    if (req.bpp != 0) {
        // The converted pages count against the same ceiling.
        LoadBudget budget;
        for (const auto& f : doc.frames)
            if (!budget.claim(uint64_t(Bitmap::strideFor(f.bitmap.width(), req.bpp)) * uint64_t(f.bitmap.height())))
                return kErrNoMemory;
        for (auto& f : doc.frames) {
            if (f.bitmap.bpp() == req.bpp) continue;
            Bitmap c = f.bitmap.convertTo(req.bpp, &code);
            if (c.isNull()) return code;
            f.bitmap = std::move(c);
        }
    }
    if (doc.info.formatCode == 0 || format == kFmtBigTiff) doc.info.formatCode = format;
    doc.info.sizeBytes = int64_t(bytes.size);
    out = std::move(doc);
    return kOk;
}

int16_t loadFile(const LoadRequest& req, Document& out) {
    if (req.bpp != 0 && !Bitmap::validBpp(req.bpp)) return kErrBadBpp;
    if (req.firstPage < 0 || req.pageCount == 0 || req.pageCount < -1) return kErrBadParam;
    FileBytes file;
    const int16_t code = file.open(req.path);
    if (code != kOk) return code;
    return loadBytes(file.span(), req, out);
}

int16_t probeBytes(ByteSpan bytes, const std::string& path, LoadInfo& info) {
    if (bytes.size == 0) return kErrRead;
    const int format = detectFormat(bytes, path);
    if (!format) return kErrBadFormat;
    Document doc;
    DecodeOptions opts;
    opts.infoOnly = true;
    int16_t code;
    try {
        code = decodeAny(format, bytes, opts, doc);
    } catch (...) {
        code = kErrUnknown;
    }
    if (code != kOk) return code;
    doc.info.sizeBytes = int64_t(bytes.size);
    if (doc.info.formatCode == 0) doc.info.formatCode = format;
    info = doc.info;
    return kOk;
}

int16_t probeFile(const std::string& path, LoadInfo& info) {
    FileBytes file;
    const int16_t code = file.open(path);
    if (code != kOk) return code;
    return probeBytes(file.span(), path, info);
}

bool runsProgram(const std::string& path) {
    uint8_t head[32] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return detectFormat(ByteSpan{head, n}, path) == kFmtEps;
}

namespace {

// A 32-bit picture as the view shows it: composited on white.
Bitmap onWhite(const Bitmap& b, int16_t* code) {
    Bitmap out = Bitmap::create(b.width(), b.height(), 24, false, code);
    if (out.isNull()) return out;
    for (int y = 0; y < b.height(); ++y) {
        const uint8_t* s = b.row(y);
        uint8_t* d = out.mutableRow(y);
        for (int x = 0; x < b.width(); ++x) {
            const int a = s[x * 4 + 3];
            for (int k = 0; k < 3; ++k) d[x * 3 + k] = uint8_t((s[x * 4 + k] * a + 255 * (255 - a) + 127) / 255);
        }
    }
    return out;
}

bool greyLevels(const Bitmap& b) { return b.isGrey() || (b.hasPalette() && isGreyPalette(b.palette())); }

}  // namespace

PictureDepth pictureDepth(const Bitmap& b) { return b.isNull() ? PictureDepth{} : PictureDepth{b.bpp(), greyLevels(b)}; }

PictureDepth fileDepth(const std::string& path) {
    LoadInfo info;
    if (probeFile(path, info) != kOk) return {};
    const bool jpeg = info.formatCode == kFmtJpeg;
    return PictureDepth{info.bpp, info.bpp == 16 || (info.bpp == 8 && jpeg)};
}

namespace {

// A palette picture at a deeper palette depth: same colours, same indices.
Bitmap widenedPalette(const Bitmap& b, int bpp, int16_t* code) {
    Bitmap out = Bitmap::createFilled(b.width(), b.height(), bpp, false, 0, code);
    if (out.isNull()) return out;
    Palette pal = b.palette();
    pal.resize(size_t(1) << bpp);
    out.setPalette(std::move(pal));
    for (int y = 0; y < b.height(); ++y)
        for (int x = 0; x < b.width(); ++x) out.setIndex(x, y, b.index(x, y));
    return out;
}

// The page at the depth the format writes, as a user expects of a save:
// transparency over white where the format has no alpha (GIF keeps fully
// transparent pixels as its transparent colour); fewer colours through an
// optimised palette with error diffusion (black and white with diffusion
// at 1 bit); grey only where the depth is grey.
int16_t toSaveDepth(Frame& f, const FormatInfo& fmt, int bpp) {
    const Bitmap& src = f.bitmap;
    int16_t code = kOk;
    const bool greyDepth = writesGrey(fmt, bpp);
    if (src.bpp() == bpp && (!greyDepth || src.isGrey())) return kOk;
    if (bpp == 32) {
        Bitmap c = src.convertTo(32, &code);
        if (c.isNull()) return code;
        f.bitmap = std::move(c);
        return kOk;
    }
    // Transparent pixels kept by GIF: those nothing shows through at all.
    std::vector<uint8_t> clear;
    bool anyClear = false;
    if (src.bpp() == 32 && fmt.code == kFmtGif && bpp >= 4) {
        clear.resize(size_t(src.width()) * size_t(src.height()));
        for (int y = 0; y < src.height(); ++y)
            for (int x = 0; x < src.width(); ++x)
                if (src.row(y)[x * 4 + 3] == 0) {
                    clear[size_t(y) * src.width() + x] = 1;
                    anyClear = true;
                }
    }
    Bitmap base = src;
    if (src.bpp() == 32) {
        base = onWhite(src, &code);
        if (base.isNull()) return code;
    }
    if (greyDepth || (bpp == 8 && greyLevels(base))) {
        code = ops::greyscale(base, bpp == 16 ? 16 : 8);
        if (code != kOk) return code;
        f.bitmap = std::move(base);
        return kOk;
    }
    if (bpp == 24) {
        Bitmap c = base.convertTo(24, &code);
        if (c.isNull()) return code;
        f.bitmap = std::move(c);
        return kOk;
    }
    // 1, 4 or 8 bits with a palette.
    if (base.hasPalette() && base.bpp() <= bpp) {
        Bitmap c = base.bpp() == bpp ? base : widenedPalette(base, bpp, &code);
        if (c.isNull()) return code;
        f.bitmap = std::move(c);
        return kOk;
    }
    if (bpp == 1) {
        code = ops::colourResolution(base, 1, 0, ops::kDitherDiffusion, 0);
    } else {
        code = ops::colourResolution(base, bpp, ops::kResOptimised, ops::kDitherDiffusion,
                                     anyClear ? (1 << bpp) - 1 : 0);
    }
    if (code != kOk) return code;
    if (anyClear) {
        Palette pal = base.palette();
        const int t = int(pal.size());
        pal.push_back(Rgb{255, 255, 255});
        pal.resize(size_t(1) << bpp);
        base.setPalette(std::move(pal));
        for (int y = 0; y < base.height(); ++y)
            for (int x = 0; x < base.width(); ++x)
                if (clear[size_t(y) * base.width() + x]) base.setIndex(x, y, t);
        // The see-through pixels are the frame's transparent colour.
        f.transparentIndex = t;
        f.transparent = true;
        f.transparentColour = 0xFFFFFF;
    }
    f.bitmap = std::move(base);
    return kOk;
}

bool isTiffFormat(int format) {
    return format == kFmtTiff || format == kFmtTiffLzw || format == kFmtTiffPackBits || format == kFmtTiffG3 ||
           format == kFmtTiffG4 || format == kFmtTiffJpeg || format == kFmtTiffDeflate;
}

bool multiPage(int format) { return format == kFmtGif || isTiffFormat(format); }

bool hasTiffHeader(const std::string& path) {
    char head[4] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const size_t n = std::fread(head, 1, 4, f);
    std::fclose(f);
    const ByteSpan s{reinterpret_cast<const uint8_t*>(head), n};
    return startsWith(s, "II*\0", 4) || startsWith(s, "MM\0*", 4) || startsWith(s, "II+\0", 4) ||
           startsWith(s, "MM\0+", 4);
}

// A frame as a GIF holds it: a palette (or grey) frame no deeper than
// `bpp` stays as it is, with its own colours; any other goes to the save
// depth as every page does (clear pixels of an alpha channel becoming the
// transparent colour), except that a frame with a transparent colour keeps
// that colour exact in an entry of its own.
int16_t gifFrame(Frame& f, const FormatInfo& fmt, int bpp) {
    const Bitmap& b = f.bitmap;
    if (b.bpp() <= bpp && (b.hasPalette() || (b.bpp() == 8 && b.isGrey()))) return kOk;
    if (!f.transparent) {
        const int16_t code = toSaveDepth(f, fmt, bpp);
        if (code == kOk && f.transparentIndex >= 0 && size_t(f.transparentIndex) < f.bitmap.palette().size()) {
            f.transparent = true;
            f.transparentColour = colourOfRgb(f.bitmap.palette()[size_t(f.transparentIndex)]);
        }
        return code;
    }
    const int n = 1 << bpp;
    const bool keepTransparent = f.transparent && n > 2;
    const Rgb tc = rgbOfColour(f.transparentColour);
    std::vector<uint8_t> mask;
    if (keepTransparent) {
        mask.resize(size_t(b.width()) * size_t(b.height()));
        for (int y = 0; y < b.height(); ++y)
            for (int x = 0; x < b.width(); ++x) mask[size_t(y) * size_t(b.width()) + size_t(x)] = b.pixel(x, y) == tc;
    }
    Bitmap out = b;
    const int16_t code =
        ops::colourResolution(out, bpp, ops::kResOptimised, ops::kDitherDiffusion, keepTransparent ? n - 1 : 0);
    if (code != kOk) return code;
    if (keepTransparent) {
        Palette pal = out.palette();
        pal.resize(size_t(1) << out.bpp());
        pal[size_t(n - 1)] = tc;
        out.setPalette(pal);
        for (int y = 0; y < out.height(); ++y)
            for (int x = 0; x < out.width(); ++x)
                if (mask[size_t(y) * size_t(b.width()) + size_t(x)]) out.setIndex(x, y, n - 1);
        f.transparentIndex = n - 1;
    }
    f.bitmap = std::move(out);
    if (!keepTransparent) resolveTransparency(f);
    return kOk;
}

int16_t encodeAny(const std::vector<Frame>& frames, const AnimationInfo& anim, const std::string& path,
                  const EncodeOptions& o) {
    const Bitmap& b = frames.front().bitmap;
    switch (o.format) {
    case kFmtBmp: case kFmtBmpRle: case kFmtOs2Bmp: return encodeBmp(b, path, o);
    case kFmtJpeg: case kFmtJpeg422: case kFmtJpeg444: case kFmtJpegProgressive: return encodeJpeg(b, path, o);
    case kFmtPng: return encodePng(b, path, o);
    case kFmtTiff: case kFmtTiffLzw: case kFmtTiffPackBits: case kFmtTiffG3: case kFmtTiffG4: case kFmtTiffJpeg:
    case kFmtTiffDeflate: return encodeTiff(frames, path, o);
    case kFmtGif: return encodeGif(frames, anim, path, o);
    case kFmtMsp: return encodeMsp(b, path, o);
    case kFmtGemImg: return encodeGemImg(b, path, o);
    case kFmtPcx: return encodePcx(b, path, o);
    case kFmtTga: return encodeWithMagick(b, "TGA", path, o);
    case kFmtSun: return encodeWithMagick(b, "SUN", path, o);
    case kFmtPict: return encodeWithMagick(b, "PICT", path, o);
    case kFmtEps: return encodeWithMagick(b, "EPS", path, o);
    case kFmtCals: return encodeWithMagick(b, "CALS", path, o);
    case kFmtPpm: return encodeWithMagick(b, b.bpp() == 1 ? "PBM" : b.bpp() == 8 && b.isGrey() ? "PGM" : "PPM", path, o);
    default: return kErrBadFormat;
    }
}

}  // namespace

int16_t saveFile(const Document& doc, const SaveRequest& req, int currentPage) {
    if (req.path.empty() || req.path.find('\0') != std::string::npos) return kErrBadFileName;
    if (doc.frames.empty()) return kErrBadHandle;
    const FormatInfo* fmt = findFormat(req.format);
    if (!fmt || fmt->writeBpp.empty()) return kErrBadFormat;
    if (currentPage < 0 || currentPage >= int(doc.frames.size())) currentPage = 0;
    int bpp = req.bpp;
    const auto& allowed = fmt->writeBpp;
    const Bitmap& own = doc.frames[size_t(currentPage)].bitmap;
    if (bpp == 0) {
        // The bitmap's own depth if the format writes it, else its richest colour.
        bpp = startDepth(*fmt, PictureDepth{own.bpp(), greyLevels(own)});
    } else if (std::find(allowed.begin(), allowed.end(), bpp) == allowed.end()) {
        return kErrBadBpp;
    }
    if (fmt->quality && jpegQualityFromFactor(req.quality) < 0) return kErrBadQuality;
    if (req.stamp && !fmt->stamp) return kErrNoStamp;

    std::vector<Frame> frames;
    if (multiPage(req.format)) frames = doc.frames;
    else frames.push_back(doc.frames[size_t(currentPage)]);
    for (auto& f : frames) {
        // An animation's frames (or a frame with a transparent colour) keep
        // their own colours where they fit, else get an optimised palette of
        // their own with the transparent colour exact; a single picture takes
        // the depth rules of every format (alpha on white, see-through kept).
        if (req.format == kFmtGif && (frames.size() > 1 || f.transparent)) {
            if (const int16_t code = gifFrame(f, *fmt, req.bpp == 0 ? 8 : bpp); code != kOk) return code;
            continue;
        }
        if (const int16_t code = toSaveDepth(f, *fmt, bpp); code != kOk) return code;
    }

    // Write beside the target and rename over it only when complete. A
    // symbolic link is followed: the file it names is the one replaced.
    namespace fs = std::filesystem;
    fs::path target(req.path);
    std::error_code ec;
    if (fs::is_symlink(target, ec)) {
        fs::path real = fs::canonical(target, ec);
        if (!ec) target = std::move(real);
    }
    const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
    if (!fs::is_directory(dir, ec)) return kErrWrite;
    if (fs::is_directory(target, ec)) return kErrBadFileName;
    // Adding pages needs the old file to be a TIFF; with no old file the
    // pages simply make a new one.
    int existingPages = 0;
    const bool append = req.saveOption == 1 && isTiffFormat(req.format) && fs::exists(target, ec);
    if (append) {
        LoadInfo old;
        if (!hasTiffHeader(target.string())) return kErrBadFormat;
        const int16_t c = probeFile(target.string(), old);
        if (c != kOk) return c;
        existingPages = old.pageCount;
    }
    EncodeOptions o;
    o.format = req.format;
    o.quality = req.quality;
    o.saveOption = req.saveOption;
    o.append = append;
    o.existingPages = existingPages;
    o.stamp = req.stamp;
    o.stampWidth = req.stampWidth;
    o.stampHeight = req.stampHeight;
    o.stampBpp = req.stampBpp;
    o.dpiX = doc.frames[size_t(currentPage)].dpiX;
    o.dpiY = doc.frames[size_t(currentPage)].dpiY;
    return replaceFile(target.string(), [&](const std::string& tmp) -> int16_t {
        if (append) {
            std::error_code copied;
            fs::copy_file(target, tmp, fs::copy_options::overwrite_existing, copied);
            if (copied) return kErrWrite;
        }
        return encodeAny(frames, doc.animation, tmp, o);
    });
}

}  // namespace qova::engine
