// GIF through giflib: every frame with its position, delay, disposal and
// transparency; written back the same way.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "../codes.h"
#include "budget.h"
#include "codec.h"
#include "format_table.h"

namespace qova::engine {

namespace {

struct MemReader {
    ByteSpan in;
    size_t pos = 0;
};

int readFn(GifFileType* gif, GifByteType* buf, int n) {
    auto* r = static_cast<MemReader*>(gif->UserData);
    const size_t avail = std::min<size_t>(size_t(std::max(n, 0)), r->in.size - r->pos);
    std::memcpy(buf, r->in.data + r->pos, avail);
    r->pos += avail;
    return int(avail);
}

struct GifCloser {
    void operator()(GifFileType* g) const {
        int e = 0;
        DGifCloseFile(g, &e);
    }
};

int depthFor(int colours) { return colours <= 2 ? 1 : colours <= 16 ? 4 : 8; }

int16_t codeFor(int gifError) {
    switch (gifError) {
    case D_GIF_ERR_NOT_GIF_FILE: case D_GIF_ERR_WRONG_RECORD: return kErrBadFormat;
    case D_GIF_ERR_READ_FAILED: case D_GIF_ERR_EOF_TOO_SOON: return kErrRead;
    case D_GIF_ERR_NOT_ENOUGH_MEM: return kErrNoMemory;
    default: return kErrCorrupt;
    }
}

}  // namespace

namespace {

struct FrameScan {
    int width = 0, height = 0;
    uint64_t dataBytes = 0;  // coded pixel data (LZW sub-blocks)
};

struct Scan {
    std::vector<FrameScan> frames;
    bool cutFrame = false;  // a frame began but its data ends with the file
};

// Walks the file's blocks without decoding: each complete frame's size and
// the length of its coded data. Stops where the structure breaks.
Scan scanFrames(ByteSpan in) {
    Scan scan;
    std::vector<FrameScan>& frames = scan.frames;
    if (in.size < 13) return scan;
    size_t p = 13;
    auto table = [&](uint8_t flags) { return (flags & 0x80) ? size_t(3) << ((flags & 7) + 1) : size_t(0); };
    p += table(in.data[10]);
    // Skips a chain of sub-blocks; false when it runs past the end.
    auto blocks = [&](uint64_t* total) {
        while (p < in.size) {
            const size_t n = in.data[p++];
            if (n == 0) return true;
            if (n > in.size - p) return false;
            p += n;
            if (total) *total += n;
        }
        return false;
    };
    while (p < in.size) {
        const uint8_t kind = in.data[p++];
        if (kind == 0x21) {
            if (p >= in.size) break;
            ++p;  // label
            if (!blocks(nullptr)) break;
        } else if (kind == 0x2C) {
            if (in.size - p < 9) break;
            FrameScan f;
            f.width = rd16le(in.data + p + 4);
            f.height = rd16le(in.data + p + 6);
            p += 9 + table(in.data[p + 8]);
            scan.cutFrame = true;
            if (p >= in.size) break;
            ++p;  // LZW minimum code size
            if (!blocks(&f.dataBytes)) break;
            scan.cutFrame = false;
            frames.push_back(f);
        } else {
            break;  // the trailer, or something that is not a GIF block
        }
    }
    return scan;
}

// LZW with 12-bit codes gives at most about 2560 pixels a byte (a code for
// a string of up to 3839 pixels every byte and a half).
constexpr uint64_t kLzwRatio = 2560;

}  // namespace

int16_t decodeGif(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 6 || std::memcmp(in.data, "GIF", 3) != 0) return kErrBadFormat;
    // Frames that decode, and what they cost, are known before any pixel is
    // decoded: a frame its data cannot fill ends the list (and fails the load
    // when it is the first one asked for); a list past the ceiling fails.
    const Scan scan = scanFrames(in);
    const std::vector<FrameScan>& scanned = scan.frames;
    int usable = 0;
    PlausibleFile plausible;
    while (usable < int(scanned.size())) {
        const FrameScan& f = scanned[size_t(usable)];
        if (f.width <= 0 || f.height <= 0 ||
            !plausible.admit(uint64_t(f.width) * uint64_t(f.height), f.dataBytes, kLzwRatio))
            break;
        ++usable;
    }
    const int lastWanted = opts.pageCount < 0 ? INT32_MAX : opts.firstPage + opts.pageCount;
    if (!opts.infoOnly) {
        if (usable <= opts.firstPage && opts.firstPage < int(scanned.size())) {
            const FrameScan& f = scanned[size_t(usable)];
            return f.width <= 0 || f.height <= 0 ? kErrBadSize : kErrTooLarge;
        }
        LoadBudget budget;
        for (int i = opts.firstPage; i < usable && i < lastWanted; ++i) {
            const FrameScan& f = scanned[size_t(i)];
            if (!budget.claim(uint64_t(f.width) * uint64_t(f.height))) return kErrNoMemory;
        }
    }

    MemReader reader{in, 0};
    int err = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, readFn, &err));
    if (!gif) return codeFor(err);
    const int screenW = gif->SWidth, screenH = gif->SHeight;
    const ColorMapObject* global = gif->SColorMap;

    AnimationInfo anim;
    anim.canvasWidth = screenW;
    anim.canvasHeight = screenH;
    if (global && gif->SBackGroundColor < global->ColorCount) {
        const GifColorType c = global->Colors[gif->SBackGroundColor];
        anim.background = Rgb{c.Red, c.Green, c.Blue};
    }

    std::vector<Frame> frames;
    Frame pending;  // settings from the last graphic control extension
    int frameIndex = 0;
    int firstBpp = 0;
    int firstW = 0, firstH = 0;
    int16_t brokenCode = kOk;  // why the frame at frameIndex could not be decoded
    GifRecordType rec = UNDEFINED_RECORD_TYPE;
    if (opts.progress && !opts.infoOnly) opts.progress(0);
    // Asked only for the file's description, the first frame tells the rest.
    while (frameIndex < usable && frameIndex < (opts.infoOnly ? 1 : lastWanted)) {
        if (DGifGetRecordType(gif.get(), &rec) == GIF_ERROR) {
            brokenCode = codeFor(gif->Error);
            break;
        }
        if (rec == TERMINATE_RECORD_TYPE) break;
        if (rec == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR) { brokenCode = codeFor(gif->Error); break; }
            bool netscape = false;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4) {
                const int flags = ext[1];
                pending.disposal = Disposal(std::min((flags >> 2) & 7, 3));
                pending.waitForInput = (flags & 2) != 0;
                pending.delayMs = (ext[2] | (ext[3] << 8)) * 10;
                pending.transparentIndex = (flags & 1) ? ext[4] : -1;
            } else if (code == APPLICATION_EXT_FUNC_CODE && ext && ext[0] == 11 &&
                       std::memcmp(ext + 1, "NETSCAPE2.0", 11) == 0) {
                netscape = true;
            }
            while (ext) {
                if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) { brokenCode = codeFor(gif->Error); break; }
                if (netscape && ext && ext[0] >= 3 && ext[1] == 1) anim.loop = true;
            }
            if (brokenCode != kOk) break;
        } else if (rec == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR) { brokenCode = codeFor(gif->Error); break; }
            const GifImageDesc& d = gif->Image;
            const ColorMapObject* cmap = d.ColorMap ? d.ColorMap : global;
            const int colours = cmap ? cmap->ColorCount : 2;
            const int bpp = depthFor(colours);
            const bool wanted = !opts.infoOnly && frameIndex >= opts.firstPage && frameIndex < lastWanted;
            if (wanted) {
                int16_t c = kOk;
                Bitmap line8 = Bitmap::create(d.Width, d.Height, 8, false, &c);
                if (line8.isNull()) return c;
                std::vector<int> order(size_t(d.Height));
                if (d.Interlace) {
                    int k = 0;
                    static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
                    for (int pass = 0; pass < 4; ++pass)
                        for (int y = start[pass]; y < d.Height; y += step[pass]) order[size_t(k++)] = y;
                } else {
                    for (int y = 0; y < d.Height; ++y) order[size_t(y)] = y;
                }
                for (int i = 0; i < d.Height; ++i) {
                    if (DGifGetLine(gif.get(), line8.mutableRow(order[size_t(i)]), d.Width) == GIF_ERROR) {
                        brokenCode = codeFor(gif->Error);
                        break;
                    }
                }
                if (brokenCode != kOk) break;  // a frame that does not decode is not shown
                Palette pal;
                for (int i = 0; cmap && i < colours; ++i)
                    pal.push_back(Rgb{cmap->Colors[i].Red, cmap->Colors[i].Green, cmap->Colors[i].Blue});
                pal.resize(256);
                line8.setPalette(pal);
                Bitmap bmp = line8;
                if (bpp < 8) {
                    bmp = Bitmap::createFilled(d.Width, d.Height, bpp, false, 0, &c);
                    if (bmp.isNull()) return c;
                    pal.resize(size_t(1) << bpp);
                    bmp.setPalette(pal);
                    const int mask = (1 << bpp) - 1;
                    for (int y = 0; y < d.Height; ++y) {
                        const uint8_t* s = line8.row(y);
                        for (int x = 0; x < d.Width; ++x) bmp.setIndex(x, y, s[x] & mask);
                    }
                }
                Frame f = pending;
                f.bitmap = std::move(bmp);
                f.left = d.Left;
                f.top = d.Top;
                frames.push_back(std::move(f));
            } else {
                // Skip the pixel data without keeping it.
                int codeSize = 0;
                GifByteType* block = nullptr;
                if (DGifGetCode(gif.get(), &codeSize, &block) == GIF_ERROR) { brokenCode = codeFor(gif->Error); break; }
                while (block) {
                    if (DGifGetCodeNext(gif.get(), &block) == GIF_ERROR) { brokenCode = codeFor(gif->Error); break; }
                }
                if (brokenCode != kOk) break;
            }
            if (frameIndex == 0) { firstBpp = bpp; firstW = d.Width; firstH = d.Height; }
            pending = Frame{};
            ++frameIndex;
            if (opts.progress && !opts.infoOnly) opts.progress(std::min(99, int(reader.pos * 100 / in.size)));
        }
    }

    // The file's frames are those before the first one that fails.
    const bool complete = brokenCode == kOk && (opts.infoOnly || frameIndex >= std::min(usable, lastWanted));
    const int inFile = int(scanned.size()) + (scan.cutFrame ? 1 : 0);
    const int count = complete ? usable : frameIndex;
    if (count == 0 || (!opts.infoOnly && frames.empty())) {
        if (!opts.infoOnly && opts.firstPage > 0 && opts.firstPage >= count && brokenCode == kOk) return kErrBadParam;
        return brokenCode != kOk ? brokenCode : scanned.empty() ? int16_t(kErrRead) : int16_t(kErrCorrupt);
    }
    doc.info.width = screenW > 0 ? screenW : firstW;
    doc.info.height = screenH > 0 ? screenH : firstH;
    doc.info.bpp = firstBpp ? firstBpp : depthFor(global ? global->ColorCount : 2);
    doc.info.pageCount = count;
    doc.info.pagesLeftOut = inFile - count;
    doc.info.formatCode = kFmtGif;
    doc.animation = anim;
    if (opts.infoOnly) return kOk;
    if (opts.progress) opts.progress(100);
    doc.frames = std::move(frames);
    return kOk;
}

int16_t encodeGif(const std::vector<Frame>& frames, const AnimationInfo& anim, const std::string& path,
                  const EncodeOptions&) {
    if (frames.empty()) return kErrBadHandle;
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    if (!gif) return kErrWrite;
    auto fail = [&](int16_t c) {
        EGifCloseFile(gif, &err);
        return c;
    };
    int sw = anim.canvasWidth, sh = anim.canvasHeight;
    for (const auto& f : frames) {
        sw = std::max(sw, f.left + f.bitmap.width());
        sh = std::max(sh, f.top + f.bitmap.height());
    }
    auto makeMap = [](const Bitmap& b) {
        const int bpp = b.bpp() == 1 ? 1 : b.bpp() == 4 ? 4 : 8;
        const int n = 1 << bpp;
        std::vector<GifColorType> c(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) {
            Rgb p = b.isGrey() ? Rgb{uint8_t(i), uint8_t(i), uint8_t(i)}
                               : (i < int(b.palette().size()) ? b.palette()[size_t(i)] : Rgb{});
            c[size_t(i)] = GifColorType{p.r, p.g, p.b};
        }
        return GifMakeMapObject(n, c.data());
    };
    ColorMapObject* globalMap = makeMap(frames[0].bitmap);
    if (!globalMap) return fail(kErrNoMemory);
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, sw, sh, globalMap->BitsPerPixel, 0, globalMap) == GIF_ERROR) {
        GifFreeMapObject(globalMap);
        return fail(kErrWrite);
    }
    if (frames.size() > 1 && anim.loop) {
        const GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        const GifByteType sub[] = {1, 0, 0};
        if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
            EGifPutExtensionBlock(gif, sizeof(app), app) == GIF_ERROR ||
            EGifPutExtensionBlock(gif, sizeof(sub), sub) == GIF_ERROR || EGifPutExtensionTrailer(gif) == GIF_ERROR) {
            GifFreeMapObject(globalMap);
            return fail(kErrWrite);
        }
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        const Bitmap& b = f.bitmap;
        if (b.bpp() > 8) { GifFreeMapObject(globalMap); return fail(kErrBadBpp); }
        GraphicsControlBlock gcb;
        gcb.DisposalMode = int(f.disposal);
        gcb.UserInputFlag = f.waitForInput;
        gcb.DelayTime = f.delayMs / 10;
        gcb.TransparentColor = f.transparentIndex >= 0 ? f.transparentIndex : NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) == GIF_ERROR) { GifFreeMapObject(globalMap); return fail(kErrWrite); }
        ColorMapObject* local = i == 0 ? nullptr : makeMap(b);
        if (EGifPutImageDesc(gif, f.left, f.top, b.width(), b.height(), false, local) == GIF_ERROR) {
            if (local) GifFreeMapObject(local);
            GifFreeMapObject(globalMap);
            return fail(kErrWrite);
        }
        if (local) GifFreeMapObject(local);
        std::vector<GifPixelType> line(size_t(b.width()));
        for (int y = 0; y < b.height(); ++y) {
            for (int x = 0; x < b.width(); ++x) line[size_t(x)] = GifPixelType(b.index(x, y));
            if (EGifPutLine(gif, line.data(), b.width()) == GIF_ERROR) { GifFreeMapObject(globalMap); return fail(kErrWrite); }
        }
    }
    GifFreeMapObject(globalMap);
    return EGifCloseFile(gif, &err) == GIF_ERROR ? kErrWrite : kOk;
}

}  // namespace qova::engine
