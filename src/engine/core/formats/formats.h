// Loading and saving files: the engine's public entry points.
#pragma once

#include <cstdint>
#include <string>

#include "../pages.h"
#include "codec.h"
#include "format_table.h"

namespace qova::engine {

struct LoadRequest {
    std::string path;
    int bpp = 0;           // 0 = the file's own depth
    int firstPage = 0;
    int pageCount = -1;    // −1 = all pages from firstPage on
    ProgressFn progress;
    int reduceWidth = 0;   // see DecodeOptions
    int reduceHeight = 0;
    bool runPrograms = true;  // see DecodeOptions
};

// Decodes the file into `out`; on failure `out` is left untouched. What a
// load may cost is bounded (budget.h): a header that claims more than its
// data can fill gives kErrTooLarge, a load past the ceiling kErrNoMemory.
int16_t loadFile(const LoadRequest& req, Document& out);
// The same from bytes in memory; `req.path` only serves as a name for the
// formats that carry no signature (it is not opened).
int16_t loadBytes(ByteSpan bytes, const LoadRequest& req, Document& out);
// True when loading the file would start an outside program (PostScript):
// such files are loaded only when the user asks for them.
bool runsProgram(const std::string& path);
// Reads only what the file says of itself (size, depth, pages).
int16_t probeFile(const std::string& path, LoadInfo& info);
// The same from bytes in memory; `path` names formats without a signature.
int16_t probeBytes(ByteSpan bytes, const std::string& path, LoadInfo& info);
// What a save dialog starts from: a bitmap's depth, grey when its levels
// are grey (a grey bitmap or a grey palette).
PictureDepth pictureDepth(const Bitmap& b);
// The same for a file not loaded yet, from what its header says (`page`
// is not read; 8 bits count as grey only where the format has no palette).
PictureDepth fileDepth(const std::string& path);
// Detects the format from the first bytes (and the name for formats that
// carry no signature). Returns a FormatCode or 0.
int detectFormat(ByteSpan head, const std::string& path);

struct SaveRequest {
    std::string path;
    int format = 0;
    int bpp = 0;            // 0 = the bitmap's own depth (if the format takes it)
    int quality = 0;
    // 0 replaces the file; 1 adds the pages after those of an existing TIFF
    // (TIFF formats only; elsewhere the file is replaced).
    int saveOption = 0;
    bool stamp = false;
    int stampWidth = 0;
    int stampHeight = 0;
    int stampBpp = 24;
};

// Saves `frames[0]` (all frames for formats with pages/frames). Writes to a
// temporary file beside the target and renames it over the target only when
// the whole file was written, so a failure never damages the old file.
int16_t saveFile(const Document& doc, const SaveRequest& req, int currentPage = 0);

}  // namespace qova::engine
