#include "format_table.h"

namespace qova::engine {

const std::vector<FormatInfo>& formatTable() {
    // Depths listed are those the encoder writes without loss of meaning;
    // the saver converts the bitmap to the chosen one first.
    static const std::vector<FormatInfo> table = {
        {kFmtBmp, "Windows BMP", "bmp", {1, 4, 8, 24, 32}, false, false},
        {kFmtBmpRle, "Windows BMP (RLE)", "bmp", {4, 8}, false, false},
        {kFmtOs2Bmp, "OS/2 BMP", "bmp", {1, 4, 8, 24}, false, false},
        {kFmtPcx, "PCX", "pcx", {1, 8, 24}, false, false},
        {kFmtGif, "GIF", "gif", {1, 4, 8}, false, false},
        {kFmtTiff, "TIFF (非圧縮)", "tif", {1, 4, 8, 16, 24, 32}, false, true},
        {kFmtTiffLzw, "TIFF (LZW)", "tif", {1, 4, 8, 16, 24, 32}, false, true},
        {kFmtTiffPackBits, "TIFF (PackBits)", "tif", {1, 4, 8, 16, 24, 32}, false, true},
        {kFmtTiffG3, "TIFF (CCITT G3)", "tif", {1}, false, true},
        {kFmtTiffG4, "TIFF (CCITT G4)", "tif", {1}, false, true},
        {kFmtTiffJpeg, "TIFF (JPEG)", "tif", {8, 24}, true, true},
        {kFmtTiffDeflate, "TIFF (Deflate)", "tif", {1, 4, 8, 16, 24, 32}, false, true},
        {kFmtPng, "PNG", "png", {1, 4, 8, 16, 24, 32}, false, false},
        {kFmtJpeg, "JPEG (4:2:0)", "jpg", {8, 24}, true, true},
        {kFmtJpeg422, "JPEG (4:2:2)", "jpg", {8, 24}, true, true},
        {kFmtJpeg444, "JPEG (4:4:4)", "jpg", {8, 24}, true, true},
        {kFmtJpegProgressive, "JPEG (プログレッシブ)", "jpg", {8, 24}, true, true},
        {kFmtTga, "TGA", "tga", {8, 24, 32}, false, false},
        {kFmtSun, "SUN Raster", "ras", {1, 8, 24}, false, false},
        {kFmtPict, "Macintosh PICT", "pct", {8, 24}, false, false},
        {kFmtEps, "Encapsulated PostScript", "eps", {1, 8, 24}, false, false},
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
        {kFmtPpm, "PPM/PGM/PBM", "ppm", {1, 8, 24}, false, false},
    };
    return table;
}

const FormatInfo* findFormat(int code) {
    for (const auto& f : formatTable())
        if (f.code == code) return &f;
    return nullptr;
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
        // Not listed by the browser, but loaded when the "*.*" type shows them.
        {"gif", kFmtGif, false, true},
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
