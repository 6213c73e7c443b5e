// GIF through giflib: every frame with its position, delay, disposal and
// transparency; written back the same way.
#include <algorithm>
#include <cstring>
#include <vector>

#include <gif_lib.h>

#include "../codes.h"
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

int16_t decodeGif(ByteSpan in, const DecodeOptions& opts, Document& doc) {
    if (in.size < 6 || std::memcmp(in.data, "GIF", 3) != 0) return kErrBadFormat;
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
    const int lastWanted = opts.pageCount < 0 ? 1 << 30 : opts.firstPage + opts.pageCount;
    bool truncated = false;
    GifRecordType rec = UNDEFINED_RECORD_TYPE;
    if (opts.progress && !opts.infoOnly) opts.progress(0);
    do {
        if (DGifGetRecordType(gif.get(), &rec) == GIF_ERROR) {
            if (frameIndex == 0) return codeFor(gif->Error);
            truncated = true;
            break;
        }
        if (rec == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.get(), &code, &ext) == GIF_ERROR) { truncated = true; break; }
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
                if (DGifGetExtensionNext(gif.get(), &ext) == GIF_ERROR) { truncated = true; ext = nullptr; break; }
                if (netscape && ext && ext[0] >= 3 && ext[1] == 1) anim.loop = true;
            }
            if (truncated) break;
        } else if (rec == IMAGE_DESC_RECORD_TYPE) {
            if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
                if (frameIndex == 0) return codeFor(gif->Error);
                truncated = true;
                break;
            }
            const GifImageDesc& d = gif->Image;
            const ColorMapObject* cmap = d.ColorMap ? d.ColorMap : global;
            const int colours = cmap ? cmap->ColorCount : 2;
            const int bpp = depthFor(colours);
            if (frameIndex == 0) { firstBpp = bpp; firstW = d.Width; firstH = d.Height; }
            const bool wanted = !opts.infoOnly && frameIndex >= opts.firstPage && frameIndex < lastWanted;
            // A tiny file cannot honestly describe a huge frame: LZW expands at most a few thousand times.
            const uint64_t pixels = uint64_t(d.Width) * uint64_t(d.Height);
            if (d.Width <= 0 || d.Height <= 0 || pixels > uint64_t(in.size) * 4096 + (16u << 20)) {
                if (frameIndex == 0) return kErrCorrupt;
                truncated = true;
                break;
            }
            if (wanted) {
                int16_t c = kOk;
                Bitmap line8 = Bitmap::create(d.Width, d.Height, 8, false, &c);
                if (line8.isNull()) return c;
                std::vector<GifPixelType> lineBuf(size_t(d.Width));
                std::vector<int> order(size_t(d.Height));
                if (d.Interlace) {
                    int k = 0;
                    static const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
                    for (int pass = 0; pass < 4; ++pass)
                        for (int y = start[pass]; y < d.Height; y += step[pass]) order[size_t(k++)] = y;
                } else {
                    for (int y = 0; y < d.Height; ++y) order[size_t(y)] = y;
                }
                bool bad = false;
                for (int i = 0; i < d.Height; ++i) {
                    uint8_t* row = line8.mutableRow(order[size_t(i)]);
                    if (DGifGetLine(gif.get(), row, d.Width) == GIF_ERROR) {
                        // Keep what arrived: the rest of the frame stays the background index.
                        for (int j = i; j < d.Height; ++j) std::memset(line8.mutableRow(order[size_t(j)]), gif->SBackGroundColor, size_t(d.Width));
                        bad = true;
                        break;
                    }
                }
                Palette pal;
                for (int i = 0; cmap && i < colours; ++i)
                    pal.push_back(Rgb{cmap->Colors[i].Red, cmap->Colors[i].Green, cmap->Colors[i].Blue});
                pal.resize(256);
                line8.setPalette(pal);
                Bitmap bmp = line8;
                if (bpp < 8) {
                    bmp = Bitmap::create(d.Width, d.Height, bpp, false, &c);
                    if (bmp.isNull()) return c;
                    std::memset(bmp.mutableBits(), 0, bmp.byteSize());
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
                if (bad) { truncated = true; break; }
            } else {
                // Skip the pixel data without keeping it.
                int codeSize = 0;
                GifByteType* block = nullptr;
                if (DGifGetCode(gif.get(), &codeSize, &block) == GIF_ERROR) { truncated = true; break; }
                while (block) {
                    if (DGifGetCodeNext(gif.get(), &block) == GIF_ERROR) { truncated = true; break; }
                }
                if (truncated) break;
            }
            pending = Frame{};
            ++frameIndex;
            if (opts.progress && !opts.infoOnly) opts.progress(std::min(99, int(reader.pos * 100 / in.size)));
        }
    } while (rec != TERMINATE_RECORD_TYPE);

    if (frameIndex == 0) return truncated ? kErrRead : kErrCorrupt;
    doc.info.width = screenW > 0 ? screenW : firstW;
    doc.info.height = screenH > 0 ? screenH : firstH;
    doc.info.bpp = firstBpp;
    doc.info.pageCount = frameIndex;
    doc.info.formatCode = kFmtGif;
    doc.animation = anim;
    if (opts.infoOnly) return kOk;
    if (frames.empty()) return kErrBadParam;  // first page beyond the last frame
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
