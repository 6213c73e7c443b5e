#include "format_table.h"

#include <algorithm>
#include <cctype>

namespace qova::engine {

const std::vector<FormatInfo>& formatTable() {
    // Depths listed are those the encoder writes without loss of meaning;
    // the saver converts the bitmap to the chosen one first.
    static const std::vector<FormatInfo> table = {
        {kFmtBmp, "Windows BMP", "bmp", {1, 4, 8, 24, 32}, false, false, {}, {"dib"}},
        {kFmtBmpRle, "Windows BMP (RLE)", "bmp", {4, 8}, false, false, {}, {"dib", "rle"}},
        {kFmtOs2Bmp, "OS/2 BMP", "bmp", {1, 4, 8, 24}, false, false},
        {kFmtPcx, "PCX", "pcx", {1, 8, 24}, false, false},
        {kFmtGif, "GIF", "gif", {1, 4, 8}, false, false},
        {kFmtTiff, "TIFF (非圧縮)", "tif", {1, 4, 8, 16, 24, 32}, false, true, {16}, {"tiff"}},
        {kFmtTiffLzw, "TIFF (LZW)", "tif", {1, 4, 8, 16, 24, 32}, false, true, {16}, {"tiff"}},
        {kFmtTiffPackBits, "TIFF (PackBits)", "tif", {1, 4, 8, 16, 24, 32}, false, true, {16}, {"tiff"}},
        {kFmtTiffG3, "TIFF (CCITT G3)", "tif", {1}, false, true, {}, {"tiff"}},
        {kFmtTiffG4, "TIFF (CCITT G4)", "tif", {1}, false, true, {}, {"tiff"}},
        {kFmtTiffJpeg, "TIFF (JPEG)", "tif", {8, 24}, true, true, {8}, {"tiff"}},
        {kFmtTiffDeflate, "TIFF (Deflate)", "tif", {1, 4, 8, 16, 24, 32}, false, true, {16}, {"tiff"}},
        {kFmtPng, "PNG", "png", {1, 4, 8, 16, 24, 32}, false, false, {16}},
        {kFmtJpeg, "JPEG (4:2:0)", "jpg", {8, 24}, true, true, {8}, {"jpeg", "jpe", "jff", "jtf", "jfif"}},
        {kFmtJpeg422, "JPEG (4:2:2)", "jpg", {8, 24}, true, true, {8}, {"jpeg", "jpe", "jff", "jtf", "jfif"}},
        {kFmtJpeg444, "JPEG (4:4:4)", "jpg", {8, 24}, true, true, {8}, {"jpeg", "jpe", "jff", "jtf", "jfif"}},
        {kFmtJpegProgressive, "JPEG (プログレッシブ)", "jpg", {8, 24}, true, true, {8},
         {"jpeg", "jpe", "jff", "jtf", "jfif"}},
        {kFmtTga, "TGA", "tga", {8, 24, 32}, false, false},
        {kFmtSun, "SUN Raster", "ras", {1, 8, 24}, false, false},
        // Its writer keeps colour only at 24 bits; 8 bits are grey.
        {kFmtPict, "Macintosh PICT", "pct", {8, 24}, false, false, {8}, {"pict"}},
        {kFmtEps, "Encapsulated PostScript", "eps", {1, 8, 24}, false, false, {8}},
        {kFmtMsp, "Microsoft Paint", "msp", {1}, false, false},
        {kFmtGemImg, "GEM Image", "img", {1}, false, false},
        {kFmtCals, "CALS", "cal", {1}, false, false},
        {kFmtMacPaint, "MacPaint", "mac", {}, false, false},
        {kFmtPsd, "Photoshop", "psd", {}, false, false},
        {kFmtPcd, "Photo CD", "pcd", {}, false, false},
        {kFmtWpg, "WordPerfect Graphics", "wpg", {}, false, false},
        {kFmtWmf, "Windows Metafile", "wmf", {}, false, false},
        {kFmtIco, "Icon", "ico", {}, false, false},
        {kFmtCur, "Cursor", "cur", {}, false, false},
        {kFmtBigTiff, "BigTIFF", "tif", {}, false, false},
        // PBM at 1 bit, PGM (grey) at 8, PPM at 24.
        {kFmtPpm, "PPM/PGM/PBM", "ppm", {1, 8, 24}, false, false, {8}, {"pbm", "pgm", "pnm"}},
        {kFmtWebp, "WebP", "webp", {}, false, false},
    };
    return table;
}

const FormatInfo* findFormat(int code) {
    for (const auto& f : formatTable())
        if (f.code == code) return &f;
    return nullptr;
}

bool writesGrey(const FormatInfo& f, int bpp) {
    return std::find(f.greyBpp.begin(), f.greyBpp.end(), bpp) != f.greyBpp.end();
}

bool hasExtension(const FormatInfo& f, const std::string& extension) {
    auto same = [&](const char* e) {
        const std::string want(e);
        return want.size() == extension.size() &&
               std::equal(want.begin(), want.end(), extension.begin(),
                          [](char a, char b) { return std::tolower((unsigned char)a) == std::tolower((unsigned char)b); });
    };
    if (same(f.extension)) return true;
    return std::any_of(f.otherExtensions.begin(), f.otherExtensions.end(), same);
}

const FormatInfo* writerForExtension(const std::string& extension) {
    if (extension.empty()) return nullptr;
    for (const auto& f : formatTable())
        if (!f.writeBpp.empty() && hasExtension(f, extension)) return &f;
    return nullptr;
}

int startDepth(const FormatInfo& f, const PictureDepth& picture) {
    if (f.writeBpp.empty()) return 0;
    for (int b : f.writeBpp) {
        if (b != picture.bpp) continue;
        // The format's depth must keep what the picture is: a grey depth
        // only for a grey picture, and the picture's palette colours only
        // where the depth is not grey.
        const bool greyDepth = writesGrey(f, b);
        if (!greyDepth || picture.grey) return b;
    }
    // Richest colour first, then richest grey.
    int best = 0;
    for (int b : f.writeBpp)
        if (!writesGrey(f, b)) best = std::max(best, b);
    if (best) return best;
    for (int b : f.writeBpp) best = std::max(best, b);
    return best;
}

const std::vector<FileKind>& fileKinds() {
    static const std::vector<FileKind> kinds = {
        {"cmp", 0, true, true},           {"jpe", kFmtJpeg, true, true},  {"jpg", kFmtJpeg, true, true},
        {"jpeg", kFmtJpeg, true, true},   {"jff", kFmtJpeg, true, true},  {"jtf", kFmtJpeg, true, true},
        {"bmp", kFmtBmp, true, true},     {"tif", kFmtTiff, true, true},  {"tga", kFmtTga, true, true},
        {"pcx", kFmtPcx, true, true},     {"cal", kFmtCals, true, true},  {"mac", kFmtMacPaint, true, true},
        {"img", kFmtGemImg, true, true},  {"msp", kFmtMsp, true, true},   {"wpg", kFmtWpg, true, true},
        {"ras", kFmtSun, true, true},     {"pct", kFmtPict, true, true},  {"pcd", kFmtPcd, true, true},
        {"eps", kFmtEps, true, true},     {"wmf", kFmtWmf, true, true},   {"psd", kFmtPsd, true, true},
        {"avi", 0, true, true},
        // Today's common pictures, beyond the classic list: listed and loaded too.
        {"png", kFmtPng, true, true},     {"gif", kFmtGif, true, true},   {"webp", kFmtWebp, true, true},
        // Offered by the open dialog only.
        {"ica", 0, false, false},         {"wfx", 0, false, false},       {"fpx", 0, false, false},
        {"awd", 0, false, false},         {"ico", kFmtIco, false, false}, {"cur", kFmtCur, false, false},
    };
    return kinds;
}

const std::vector<OpenDialogRow>& openDialogRows() {
    static const std::vector<OpenDialogRow> rows = {
        {"すべてのﾌｧｲﾙ", "*"},       {"Windows & OS/2", "bmp"},   {"CALS", "cal"},
        {"GEM Image", "img"},         {"IBM IOCA", "ica"},          {"JPG", "jpg;jff;jtf"},
        {"Macintosh PICTURE", "pct"}, {"MacPaint", "mac"},          {"Microsoft Paint", "msp"},
        {"Photo CD", "pcd"},          {"PCX", "pcx"},               {"PostScript Raster", "eps"},
        {"SUN Raster", "ras"},        {"TGA", "tga"},               {"TIFF", "tif"},
        {"Windows Metafile", "wmf"},  {"CMP", "cmp"},               {"Winfax", "wfx"},
        {"FlashPix", "fpx"},          {"Microsoft Fax", "awd"},     {"Icon", "ico"},
        {"Cursor", "cur"},
    };
    return rows;
}

int jpegQualityFromFactor(int factor) {
    static const int presets[] = {95, 90, 85, 75, 50, 30};
    if (factor == 0) return 85;
    if (factor >= 1 && factor <= 100) return factor;
    if (factor <= -1 && factor >= -6) return presets[-factor - 1];
    return -1;
}

}  // namespace qova::engine
