// The control's display preferences: the dithering method (6), paint
// option 8 (8) and the display palette (19), and the mapping of the shown
// picture onto that palette; and their dispatch table.
//
// Both palettes are colour cubes, so the nearest colour is found channel by
// channel (exact for a cube) and the mapping runs at table-lookup speed.
#include <QImage>
#include <QVector>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include <opencv2/core.hpp>

#include "control_dispatch.h"
#include "core/codes.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "image_control.h"
#include "image_control_display_p.h"
#include "image_control_p.h"

namespace qova::engine {

namespace {

constexpr uint8_t kBayer8[8][8] = {{0, 32, 8, 40, 2, 34, 10, 42},  {48, 16, 56, 24, 50, 18, 58, 26},
                                   {12, 44, 4, 36, 14, 46, 6, 38},  {60, 28, 52, 20, 62, 30, 54, 22},
                                   {3, 35, 11, 43, 1, 33, 9, 41},   {51, 19, 59, 27, 49, 17, 57, 25},
                                   {15, 47, 7, 39, 13, 45, 5, 37},  {63, 31, 55, 23, 61, 29, 53, 21}};

// Levels per channel (red, green, blue), evenly spread from 0 to 255.
using Cube = std::array<int, 3>;

Cube cubeOf(int palette) {
    // The browser palette (also with the fixed flag set beside it, since it
    // is a fixed palette itself): the 216 colours of six levels per channel
    // that browsers kept on 256-colour screens.
    if (palette & 2) return {6, 6, 6};
    // The fixed palette: all 256 entries, eight levels of red and green and
    // four of blue, the channel the eye resolves least.
    return {8, 8, 4};
}

int levelValue(int level, int levels) { return (level * 255 + (levels - 1) / 2) / (levels - 1); }

// Row y of `img` as r, g, b bytes; `img` is one of the formats below.
void readRow(const QImage& img, int y, uint8_t* rgb) {
    const uchar* s = img.constScanLine(y);
    const int w = img.width();
    switch (img.format()) {
    case QImage::Format_BGR888:
        for (int x = 0; x < w; ++x, s += 3, rgb += 3) {
            rgb[0] = s[2];
            rgb[1] = s[1];
            rgb[2] = s[0];
        }
        break;
    case QImage::Format_RGB888: std::copy(s, s + 3 * w, rgb); break;
    case QImage::Format_Grayscale8:
        for (int x = 0; x < w; ++x, rgb += 3) rgb[0] = rgb[1] = rgb[2] = s[x];
        break;
    default: {  // RGB32
        const QRgb* p = reinterpret_cast<const QRgb*>(s);
        for (int x = 0; x < w; ++x, rgb += 3) {
            rgb[0] = uint8_t(qRed(p[x]));
            rgb[1] = uint8_t(qGreen(p[x]));
            rgb[2] = uint8_t(qBlue(p[x]));
        }
    }
    }
}

// Ordered dithering (or the nearest colour, with one threshold of a half
// for every pixel): each channel's level is floor(v × (L − 1) / 255 + t) for
// the threshold t in (0, 1) of the 8 × 8 pattern, which averages to v.
void mapOrdered(const QImage& src, QImage& out, const Cube& cube, bool dither) {
    // Per channel, position in the pattern and value: the level already
    // weighted by its place in the palette index.
    std::vector<uint8_t> lut(size_t(3) * 64 * 256);
    const int weight[3] = {cube[1] * cube[2], cube[2], 1};
    for (int c = 0; c < 3; ++c)
        for (int t = 0; t < 64; ++t) {
            const double threshold = dither ? (t + 0.5) / 64.0 : 0.5;
            for (int v = 0; v < 256; ++v) {
                const int level = std::min(cube[c] - 1, int(v * (cube[c] - 1) / 255.0 + threshold));
                lut[(size_t(c) * 64 + size_t(t)) * 256 + size_t(v)] = uint8_t(level * weight[c]);
            }
        }
    const int w = src.width();
    cv::parallel_for_(cv::Range(0, src.height()), [&](const cv::Range& rows) {
        std::vector<uint8_t> rgb(size_t(w) * 3);
        for (int y = rows.start; y < rows.end; ++y) {
            readRow(src, y, rgb.data());
            uchar* d = out.scanLine(y);
            const uint8_t* pattern = kBayer8[y & 7];
            for (int x = 0; x < w; ++x) {
                const size_t t = pattern[x & 7];
                d[x] = uint8_t(lut[t * 256 + rgb[size_t(x) * 3]] + lut[(64 + t) * 256 + rgb[size_t(x) * 3 + 1]] +
                               lut[(128 + t) * 256 + rgb[size_t(x) * 3 + 2]]);
            }
        }
    });
}

// Floyd–Steinberg error diffusion, serpentine so the error does not drift
// to one side; errors kept in sixteenths.
void mapDiffused(const QImage& src, QImage& out, const Cube& cube) {
    const int w = src.width(), h = src.height();
    const int weight[3] = {cube[1] * cube[2], cube[2], 1};
    std::vector<uint8_t> rgb(size_t(w) * 3);
    // One column of margin on each side.
    std::vector<int> cur(size_t(w + 2) * 3, 0), next(size_t(w + 2) * 3, 0);
    for (int y = 0; y < h; ++y) {
        readRow(src, y, rgb.data());
        uchar* d = out.scanLine(y);
        std::fill(next.begin(), next.end(), 0);
        const int dir = (y & 1) ? -1 : 1;
        for (int i = 0; i < w; ++i) {
            const int x = dir > 0 ? i : w - 1 - i;
            int index = 0;
            for (int c = 0; c < 3; ++c) {
                const int L = cube[c];
                const int v = std::clamp(int(rgb[size_t(x) * 3 + size_t(c)]) + cur[size_t(x + 1) * 3 + size_t(c)] / 16,
                                         0, 255);
                const int level = (v * (L - 1) + 127) / 255;
                index += level * weight[c];
                const int e = v - levelValue(level, L);
                cur[size_t(x + 1 + dir) * 3 + size_t(c)] += e * 7;
                next[size_t(x + 1 - dir) * 3 + size_t(c)] += e * 3;
                next[size_t(x + 1) * 3 + size_t(c)] += e * 5;
                next[size_t(x + 1 + dir) * 3 + size_t(c)] += e;
            }
            d[x] = uchar(index);
        }
        std::swap(cur, next);
    }
}

}  // namespace

QVector<QRgb> displayPaletteColours(int palette) {
    const Cube cube = cubeOf(palette);
    QVector<QRgb> colours;
    colours.reserve(cube[0] * cube[1] * cube[2]);
    for (int r = 0; r < cube[0]; ++r)
        for (int g = 0; g < cube[1]; ++g)
            for (int b = 0; b < cube[2]; ++b)
                colours.push_back(
                    qRgb(levelValue(r, cube[0]), levelValue(g, cube[1]), levelValue(b, cube[2])));
    return colours;
}

QImage throughDisplayPalette(const QImage& picture, int palette, int method, bool dither) {
    if (picture.isNull() || palette == 0) return QImage();
    QImage src = picture;
    switch (picture.format()) {
    case QImage::Format_RGB32:
    case QImage::Format_BGR888:
    case QImage::Format_RGB888:
    case QImage::Format_Grayscale8: break;
    default: src = picture.convertToFormat(QImage::Format_RGB32);
    }
    QImage out(src.size(), QImage::Format_Indexed8);
    if (src.isNull() || out.isNull()) return QImage();
    out.setColorTable(displayPaletteColours(palette));
    const Cube cube = cubeOf(palette);
    if (dither && method == 1) mapDiffused(src, out, cube);
    else mapOrdered(src, out, cube, dither);
    return out;
}

const QImage& DisplayPaint::shown(const QImage& picture, Slot& slot) {
    if (!active() || picture.isNull()) return picture;
    if (!slot.valid) {
        slot.image = throughDisplayPalette(picture, palette, dithering, option8 == 0);
        slot.valid = true;
    }
    return slot.image.isNull() ? picture : slot.image;
}

QImage DisplayPaint::floaterShown(const QImage& floater) const {
    if (!active() || floater.isNull()) return floater;
    QImage mapped = throughDisplayPalette(floater.convertToFormat(QImage::Format_RGB32), palette, dithering,
                                          option8 == 0);
    if (mapped.isNull()) return floater;
    mapped = mapped.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    mapped.setAlphaChannel(floater.convertToFormat(QImage::Format_Alpha8));
    return mapped;
}

int ImageControl::ditheringMethod() const {
    log(dispid::DitheringMethod);
    return d->display.dithering;
}

void ImageControl::setDitheringMethod(int method) {
    log(dispid::DitheringMethod);
    if (method != 0 && method != 1) throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。");
    if (method == d->display.dithering) return;
    d->display.dithering = method;
    d->display.forget();
    d->regions.floaterImage = QImage();  // painted through the palette too
}

int ImageControl::paintOption8() const {
    log(dispid::PaintOption8);
    return d->display.option8;
}

void ImageControl::setPaintOption8(int value) {
    log(dispid::PaintOption8);
    if (value == d->display.option8) return;
    d->display.option8 = value;
    d->display.forget();
    d->regions.floaterImage = QImage();  // painted through the palette too
}

int ImageControl::paintPalette() const {
    log(dispid::PaintPalette);
    return d->display.palette;
}

void ImageControl::setPaintPalette(int palette) {
    log(dispid::PaintPalette);
    if (palette < 0 || palette > 3) throw EngineError(kErrBadParam, "無効なﾊﾟﾗﾒｰﾀが渡されました。");
    if (palette == d->display.palette) return;
    d->display.palette = palette;
    d->display.forget();
    d->regions.floaterImage = QImage();  // painted through the palette too
}

namespace dispatch {

std::span<const Entry> displayEntries() {
    using C = ImageControl;
    using L = QVariantList;
    using V = QVariant;
    static const Entry table[] = {
        {dispid::DitheringMethod, "ditheringMethod", [](C& c, const L&) { return V(c.ditheringMethod()); },
         [](C& c, const V& v) { c.setDitheringMethod(v.toInt()); }},
        {dispid::PaintOption8, "paintOption8", [](C& c, const L&) { return V(c.paintOption8()); },
         [](C& c, const V& v) { c.setPaintOption8(v.toInt()); }},
        {dispid::PaintPalette, "paintPalette", [](C& c, const L&) { return V(c.paintPalette()); },
         [](C& c, const V& v) { c.setPaintPalette(v.toInt()); }},
    };
    return table;
}

}  // namespace dispatch

}  // namespace qova::engine
