// Inside the engine control: its private data and the picture helpers its
// .cpp files share. Not for use outside src/engine.
#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <vector>

#include "core/document.h"
#include "image_control.h"
#include "image_control_display_p.h"
#include "image_control_regions_p.h"

namespace qova::engine {

class PanWindow;

struct ImageControl::Private {
    ImageDocument doc;
    // View cache: the reduced picture for the current target size.
    QImage reduced;
    QSize reducedFor;
    bool reducedValid = false;
    std::vector<uint8_t> scratch;
    // A reduced copy made ahead for the picture now shown (null: none); it
    // serves the reduced picture when the view wants exactly its size.
    Bitmap viewCopy;
    // A picture's preview while the whole of it decodes, fitted to the view
    // (null: none).
    QImage preview;
    QImage wrapped;
    bool wrappedValid = false;
    PanWindow* pan = nullptr;
    RegionView regions;
    DisplayPaint display;
};

// The bitmap's pixels as a QImage, shared where Qt has the format; 4-bit
// rows are widened into `scratch`, which must outlive the image.
QImage wrapBitmap(const Bitmap& b, std::vector<uint8_t>& scratch);
// An RGB32 copy of the bitmap as it shows (the clipboard's picture).
QImage shownImage(const Bitmap& b);
// `img` as an opaque picture: what is transparent in it shows white.
QImage onWhite(const QImage& img);
// The bitmap reduced (area-averaged) to w × h.
QImage reducedImage(const Bitmap& b, int w, int h);
// The picture the view paints for a reduced copy (view_copy.h) of a bitmap
// (sharing its pixels where it can).
QImage reducedImageOf(const Bitmap& copy);

}  // namespace qova::engine
