// The engine's file format codes: what each writes and whether the quality
// factor applies. Codes are stable (the database stores pictures with 20 and 26).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qova::engine {

enum FormatCode : int16_t {
    kFmtNone = 0,
    kFmtBmp = 1,          // Windows BMP, uncompressed
    kFmtBmpRle = 2,       // Windows BMP, RLE for 4 and 8 bits
    kFmtOs2Bmp = 3,       // OS/2 1.x BMP
    kFmtPcx = 4,
    kFmtGif = 5,
    kFmtTiff = 6,         // TIFF uncompressed
    kFmtTiffLzw = 7,
    kFmtTiffPackBits = 8,
    kFmtTiffG3 = 9,       // CCITT Group 3, 1 bit
    kFmtTiffJpeg = 10,    // JPEG-in-TIFF
    kFmtPng = 11,
    kFmtTga = 12,
    kFmtSun = 13,         // Sun raster
    kFmtPict = 14,
    kFmtEps = 15,
    kFmtMsp = 16,         // Microsoft Paint
    kFmtGemImg = 17,
    kFmtCals = 18,        // CALS raster type 1 (G4)
    kFmtMacPaint = 19,
    kFmtJpeg = 20,        // JFIF, 4:2:0
    kFmtJpeg422 = 21,
    kFmtJpeg444 = 22,
    kFmtJpegProgressive = 23,
    kFmtTiffDeflate = 24,
    kFmtPsd = 25,
    kFmtTiffG4 = 26,      // CCITT Group 4, 1 bit
    kFmtPcd = 27,         // read only
    kFmtWpg = 28,         // read only
    kFmtWmf = 29,         // read only
    kFmtIco = 30,
    kFmtCur = 31,         // read only
    kFmtBigTiff = 32,     // read as TIFF
    kFmtPpm = 33,
    kFmtWebp = 34,        // read only (through GraphicsMagick)
};

struct FormatInfo {
    FormatCode code;
    const char* name;        // shown in the save dialog
    const char* extension;   // default extension, no dot
    std::vector<int> writeBpp;  // empty = read only; the depths the file really gets
    bool quality;            // the quality factor applies
    bool stamp;              // can carry a thumbnail
    // Depths of writeBpp that write grey levels (a colour picture saved at
    // one of them becomes grey); the others keep colour.
    std::vector<int> greyBpp = {};
    // Other extensions of the format's files, no dot.
    std::vector<const char*> otherExtensions = {};
};

const std::vector<FormatInfo>& formatTable();
const FormatInfo* findFormat(int code);
// True when the format writes `bpp` as grey levels.
bool writesGrey(const FormatInfo& f, int bpp);
// True when a file name extension (no dot, any case) is one of the format's.
bool hasExtension(const FormatInfo& f, const std::string& extension);
// The first writable format whose extension this is (table order), or null.
const FormatInfo* writerForExtension(const std::string& extension);

// What a picture is, for choosing a depth: its bits per pixel, whether its
// levels are grey (grey bitmaps and grey palettes) and whether it carries
// transparency (32 bits).
struct PictureDepth {
    int bpp = 0;    // 0: no picture
    bool grey = false;
};
// The depth a save dialog starts at for `picture` in format `f`: the
// picture's own where the format writes it (grey and colour told apart),
// else the richest colour depth the format offers, else its richest grey.
int startDepth(const FormatInfo& f, const PictureDepth& picture);

// The kinds of image file the program's file browser and open dialog know,
// by extension, in the order of the browser's start pattern. A kind the
// engine cannot read has format 0 (its files fail with kErrBadFormat).
struct FileKind {
    const char* extension;  // lower case, no dot
    int format;             // FormatCode that reads it, 0 = none
    bool listed;            // shown by the browser's start pattern
    bool loadsOnClick;      // a click in the browser's file list loads it
};
const std::vector<FileKind>& fileKinds();

// Rows of the open dialog's file types: the name shown and the extensions
// the row selects (";"-separated, "*" for every file).
struct OpenDialogRow {
    const char* name;
    const char* extensions;
};
const std::vector<OpenDialogRow>& openDialogRows();

// Quality factor: 1..100 (higher is better, 100 near lossless), 0 = default
// (85), or a preset −1 (best, 95) … −6 (smallest, 30). −4 is the standard 75.
// Returns −1 for a value out of range.
int jpegQualityFromFactor(int factor);

}  // namespace qova::engine
