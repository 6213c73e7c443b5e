// Inside the engine control: the display preferences and the pictures the
// view paints through them (image_control_display.cpp). With a display
// palette chosen, the view paints only that palette's colours, the way a
// 256-colour screen shows a photo; the mapped picture is made once per
// picture, view and preference and kept until one of them changes.
#pragma once

#include <QImage>

namespace qova::engine {

struct DisplayPaint {
    int dithering = 0;  // 6: 0 ordered (pattern), 1 error diffusion
    int option8 = 0;    // 8: 0 dithers through the palette; other values take the nearest colour
    int palette = 0;    // 19: 0 the picture's own colours, 1 fixed, 2 and 3 browser

    // A mapped picture and whether it still belongs to its source.
    struct Slot {
        QImage image;
        bool valid = false;
    };
    Slot reduced;  // for the view's reduced picture
    Slot wrapped;  // for the bitmap at its own size

    bool active() const { return palette != 0; }
    // What the view draws for `picture`: the picture itself without a
    // display palette, else its mapping, made on first use and kept in
    // `slot` (the picture when the mapping cannot be made).
    const QImage& shown(const QImage& picture, Slot& slot);
    // A floating selection as painted (premultiplied, transparent outside
    // its shape) through the display palette, its shape kept.
    QImage floaterShown(const QImage& floater) const;
    // The source pictures or the preferences changed.
    void forget() { reduced = Slot{}; wrapped = Slot{}; }
};

// `picture` painted through display palette `palette` (1 fixed, 2 or 3
// browser): an 8-bit indexed picture of the palette's colours, dithered
// by `method` (0 ordered, 1 error diffusion) when `dither`, else each pixel
// taking its nearest colour. A null image when memory runs short.
QImage throughDisplayPalette(const QImage& picture, int palette, int method, bool dither);

// The colours of display palette `palette`.
QVector<QRgb> displayPaletteColours(int palette);

}  // namespace qova::engine
