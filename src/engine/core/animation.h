// Playing an animation: the frames of a document drawn one after another on
// the animation's canvas, each at its position, with its transparent colour,
// and cleared away by its disposal method before the next one, as web
// browsers show GIF animations. Colours here are 0x00BBGGRR values (the
// program's colour values); 0x1000000 | i names entry i of the animation's
// palette.
#pragma once

#include <cstdint>

#include "bitmap.h"
#include "pages.h"

namespace qova::engine {

constexpr uint32_t kPaletteEntryFlag = 0x1000000;

inline Rgb rgbOfColour(uint32_t c) { return Rgb{uint8_t(c & 255), uint8_t((c >> 8) & 255), uint8_t((c >> 16) & 255)}; }
inline uint32_t colourOfRgb(Rgb c) { return uint32_t(c.r) | (uint32_t(c.g) << 8) | (uint32_t(c.b) << 16); }
// The RGB a colour value stands for: a palette entry's colour (black for an
// entry the palette lacks), else the value itself.
Rgb resolveColour(uint32_t colour, const Palette& palette);

// The palette entry (or grey level) a frame draws as transparent, −1 when
// nothing is: the entry its file named while that still holds the
// transparent colour, else the first entry holding it.
int transparentEntry(const Frame& f);
// Makes transparentIndex follow the frame's transparent colour and palette
// (after either changed).
void resolveTransparency(Frame& f);

// The largest canvas the settings take.
constexpr int kLargestCanvasWidth = 2048;
constexpr int kLargestCanvasHeight = 1536;

// The canvas size an animation shows: the size set on it (0: the extent
// of its frames); a size past the largest canvas only as far as the
// frames reach.
int canvasWidth(const Document& doc);
int canvasHeight(const Document& doc);

// The delay a player waits after frame `f`: browsers wait 100 ms after a
// frame whose delay is 10 ms or less (such files mean "as fast as sensible").
int playDelayMs(const Frame& f);

// The canvas of a playing animation: 32-bit B, G, R, A; alpha 0 where no
// frame has drawn (or a disposal cleared it).
class AnimationCanvas {
public:
    // Shows frame `i` of `doc`: frame 0 starts on an empty canvas; any other
    // first disposes of the frame shown before it, as that frame asks. A
    // frame that is not the next one rebuilds the canvas from frame 0.
    // False when the canvas cannot be allocated (the canvas is then empty).
    bool show(const Document& doc, int i);
    const Bitmap& bitmap() const { return canvas_; }
    int frame() const { return shown_; }
    bool isNull() const { return canvas_.isNull(); }

private:
    bool start(const Document& doc);
    void draw(const Frame& f);
    Bitmap canvas_;
    Bitmap saved_;       // the canvas before the shown frame, for Disposal::Previous
    RectI shownRect_;    // where the shown frame lies on the canvas
    Disposal shownDisposal_ = Disposal::None;
    int shown_ = -1;
};

}  // namespace qova::engine
