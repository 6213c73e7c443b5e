// GIF through giflib: every frame with its position, delay, disposal and
// transparency; written back the same way.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "../animation.h"
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
    anim.bpp = std::clamp(gif->SColorResolution, 1, 8);
    // Browsers show a GIF's clear parts in the page's colour, not in the
    // background its header names; the colour is kept for the settings
    // and for saving again.
    anim.backgroundShown = false;
    if (global) {
        for (int i = 0; i < global->ColorCount; ++i)
            anim.palette.push_back(Rgb{global->Colors[i].Red, global->Colors[i].Green, global->Colors[i].Blue});
        if (gif->SBackGroundColor >= 0 && gif->SBackGroundColor < global->ColorCount)
            anim.backColor = colourOfRgb(anim.palette[size_t(gif->SBackGroundColor)]);
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
                if (f.transparentIndex >= 0) {
                    f.transparent = true;
                    if (f.transparentIndex < int(pal.size())) f.transparentColour = colourOfRgb(pal[size_t(f.transparentIndex)]);
                }
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
    for (const Frame& f : frames)
        if (f.bitmap.isNull() || f.bitmap.bpp() > 8) return kErrBadBpp;
    int err = 0;
    GifFileType* gif = EGifOpenFileName(path.c_str(), false, &err);
    if (!gif) return kErrWrite;
    ColorMapObject* globalMap = nullptr;
    auto fail = [&](int16_t c) {
        if (globalMap) GifFreeMapObject(globalMap);
        EGifCloseFile(gif, &err);
        return c;
    };
    // The screen holds every frame whole, even past the canvas set.
    int sw = anim.canvasWidth, sh = anim.canvasHeight;
    for (const auto& f : frames) {
        sw = std::max(sw, f.left + f.bitmap.width());
        sh = std::max(sh, f.top + f.bitmap.height());
    }
    if (sw > 65535 || sh > 65535) return fail(kErrBadSize);
    // A frame's colours as a GIF colour table (a power of two entries).
    auto coloursOf = [](const Bitmap& b) {
        const int n = 1 << (b.bpp() == 1 ? 1 : b.bpp() == 4 ? 4 : 8);
        Palette p(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i)
            p[size_t(i)] = b.isGrey() ? Rgb{uint8_t(i), uint8_t(i), uint8_t(i)}
                                      : (i < int(b.palette().size()) ? b.palette()[size_t(i)] : Rgb{});
        return p;
    };
    auto makeMap = [](const Palette& p) {
        int n = 2;
        while (n < int(p.size()) && n < 256) n *= 2;
        std::vector<GifColorType> c(static_cast<size_t>(n));
        for (int i = 0; i < n && i < int(p.size()); ++i) c[size_t(i)] = GifColorType{p[size_t(i)].r, p[size_t(i)].g, p[size_t(i)].b};
        return GifMakeMapObject(n, c.data());
    };
    // The global table is the animation's palette when it has one (frames
    // sharing it need no table of their own), else the first frame's.
    Palette global = anim.palette;
    if (global.empty() || global.size() > 256) global = coloursOf(frames[0].bitmap);
    globalMap = makeMap(global);
    if (!globalMap) return fail(kErrNoMemory);
    // The background is an entry of the global table.
    int background = 0;
    if (anim.backColor >= kPaletteEntryFlag) {
        background = int(anim.backColor & 255) < globalMap->ColorCount ? int(anim.backColor & 255) : 0;
    } else {
        const Rgb bg = rgbOfColour(anim.backColor);
        const auto exact = std::find(global.begin(), global.end(), bg);
        background = exact != global.end() ? int(exact - global.begin()) : nearestEntry(global, bg);
    }
    EGifSetGifVersion(gif, true);
    if (EGifPutScreenDesc(gif, sw, sh, std::clamp(anim.bpp, 1, 8), background, globalMap) == GIF_ERROR)
        return fail(kErrWrite);
    if (frames.size() > 1 && anim.loop) {
        const GifByteType app[] = {'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0'};
        const GifByteType sub[] = {1, 0, 0};
        if (EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
            EGifPutExtensionBlock(gif, sizeof(app), app) == GIF_ERROR ||
            EGifPutExtensionBlock(gif, sizeof(sub), sub) == GIF_ERROR || EGifPutExtensionTrailer(gif) == GIF_ERROR)
            return fail(kErrWrite);
    }
    for (size_t i = 0; i < frames.size(); ++i) {
        const Frame& f = frames[i];
        const Bitmap& b = f.bitmap;
        const Palette colours = coloursOf(b);
        // A frame whose colours are the global table's first entries uses it.
        const bool shared = colours.size() <= global.size() && std::equal(colours.begin(), colours.end(), global.begin());
        int transparent = transparentEntry(f);
        if (f.transparent && transparent < 0) transparent = nearestEntry(colours, rgbOfColour(f.transparentColour));
        GraphicsControlBlock gcb;
        gcb.DisposalMode = int(f.disposal);
        gcb.UserInputFlag = f.waitForInput;
        // GIF counts hundredths of a second.
        gcb.DelayTime = std::clamp((f.delayMs + 5) / 10, 0, 65535);
        gcb.TransparentColor = transparent >= 0 ? transparent : NO_TRANSPARENT_COLOR;
        GifByteType ext[4];
        const size_t len = EGifGCBToExtension(&gcb, ext);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext) == GIF_ERROR) return fail(kErrWrite);
        ColorMapObject* local = shared ? nullptr : makeMap(colours);
        if (!shared && !local) return fail(kErrNoMemory);
        const int put = EGifPutImageDesc(gif, f.left, f.top, b.width(), b.height(), false, local);
        if (local) GifFreeMapObject(local);
        if (put == GIF_ERROR) return fail(kErrWrite);
        std::vector<GifPixelType> line(size_t(b.width()));
        for (int y = 0; y < b.height(); ++y) {
            for (int x = 0; x < b.width(); ++x) line[size_t(x)] = GifPixelType(b.index(x, y));
            if (EGifPutLine(gif, line.data(), b.width()) == GIF_ERROR) return fail(kErrWrite);
        }
    }
    GifFreeMapObject(globalMap);
    return EGifCloseFile(gif, &err) == GIF_ERROR ? kErrWrite : kOk;
}

}  // namespace qova::engine
