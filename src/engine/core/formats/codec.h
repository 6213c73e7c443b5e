// Inner interface between the loader/saver and the per-format codecs.
// Decoders read from memory so that they can be fuzzed; the loader reads the
// whole file first (budget.h says what a decode may allocate).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "../pages.h"

namespace qova::engine {

struct ByteSpan {
    const uint8_t* data = nullptr;
    size_t size = 0;
};

using ProgressFn = std::function<void(int percent)>;

struct DecodeOptions {
    int firstPage = 0;     // first page (frame) to decode
    int pageCount = -1;    // −1 = every page from firstPage on
    ProgressFn progress;   // may be empty
    bool infoOnly = false; // fill Document::info only, decode no pixels
    // When set, decoders that can scale while decoding (JPEG) may return a
    // smaller bitmap, no smaller than this; info still reports the file's size.
    int reduceWidth = 0;
    int reduceHeight = 0;
    // False: formats that need an outside program (PostScript through
    // Ghostscript) answer kErrSubtype instead of starting it. Decoding
    // ahead and fuzzing run without them.
    bool runPrograms = true;
};

// Every decoder fills doc.info (width, height and bpp of the first decoded
// page, pageCount of the whole file) and, unless infoOnly, doc.frames.
// Returns kOk or an engine code; never throws, never reads out of bounds.
// Before allocating it checks the declared size against its data and the
// load's ceiling (budget.h): kErrTooLarge and kErrNoMemory.
// Pages: the count equals the pages a full load returns; a page that cannot
// be decoded is left out (info.pagesLeftOut), unless it is the first one
// asked for, which fails the load.
using DecodeFn = int16_t (*)(ByteSpan, const DecodeOptions&, Document&);

int16_t decodeBmp(ByteSpan, const DecodeOptions&, Document&);
int16_t decodeJpeg(ByteSpan, const DecodeOptions&, Document&);
int16_t decodePng(ByteSpan, const DecodeOptions&, Document&);
int16_t decodeTiff(ByteSpan, const DecodeOptions&, Document&);
int16_t decodeGif(ByteSpan, const DecodeOptions&, Document&);
int16_t decodePsd(ByteSpan, const DecodeOptions&, Document&);
int16_t decodeMsp(ByteSpan, const DecodeOptions&, Document&);
int16_t decodeGemImg(ByteSpan, const DecodeOptions&, Document&);
int16_t decodeTga(ByteSpan, const DecodeOptions&, Document&);
int16_t decodePcx(ByteSpan, const DecodeOptions&, Document&);
// Everything GraphicsMagick reads; `magick` names its coder ("PCX", "TGA", …).
int16_t decodeWithMagick(ByteSpan, const std::string& magick, const DecodeOptions&, Document&);
// PostScript and EPS (also DOS EPS binaries), rendered by Ghostscript in a
// separate process with a time and memory limit.
int16_t decodePostScript(ByteSpan, const DecodeOptions&, Document&);

struct EncodeOptions {
    int format = 0;
    int quality = 0;       // engine quality factor (format_table.h)
    int saveOption = 0;
    // Multi-page TIFF only: `path` already holds a copy of the old file with
    // `existingPages` pages, and the new pages go after them.
    bool append = false;
    int existingPages = 0;
    bool stamp = false;    // store a thumbnail where the format has one
    int stampWidth = 0;
    int stampHeight = 0;
    int stampBpp = 24;
    // The page's resolution (Frame::dpiX/dpiY; 0 = none known): formats
    // that store one write it. TIFF takes each page's from its frame.
    double dpiX = 0;
    double dpiY = 0;
};

// Encoders write to `path` directly (the saver hands them a temporary name and
// renames it over the target only on success). The bitmap already has a
// depth the format accepts.
int16_t encodeBmp(const Bitmap&, const std::string& path, const EncodeOptions&);
int16_t encodeJpeg(const Bitmap&, const std::string& path, const EncodeOptions&);
int16_t encodePng(const Bitmap&, const std::string& path, const EncodeOptions&);
int16_t encodeTiff(const std::vector<Frame>&, const std::string& path, const EncodeOptions&);
int16_t encodeGif(const std::vector<Frame>&, const AnimationInfo&, const std::string& path, const EncodeOptions&);
int16_t encodeMsp(const Bitmap&, const std::string& path, const EncodeOptions&);
int16_t encodeGemImg(const Bitmap&, const std::string& path, const EncodeOptions&);
int16_t encodePcx(const Bitmap&, const std::string& path, const EncodeOptions&);
int16_t encodeWithMagick(const Bitmap&, const std::string& magick, const std::string& path, const EncodeOptions&);

// Little helpers the codecs share.
inline uint16_t rd16le(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t rd32le(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
inline uint16_t rd16be(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t rd32be(const uint8_t* p) { return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]); }

}  // namespace qova::engine
