// A loaded file's pages or animation frames, with the settings each frame
// carries, and what the last load reported.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "bitmap.h"

namespace qova::engine {

// How a frame is cleared before the next one is drawn (GIF disposal).
enum class Disposal : uint8_t { None = 0, Keep = 1, Background = 2, Previous = 3 };

struct Frame {
    Bitmap bitmap;
    int left = 0;          // position on the animation canvas
    int top = 0;
    int delayMs = 0;       // shown this long before the next frame
    Disposal disposal = Disposal::None;
    // Pixels of the transparent colour (0x00BBGGRR) let the canvas show
    // through while `transparent` is on. A palette frame keeps the entry its
    // file named (a palette may hold the colour twice); −1 = none.
    bool transparent = false;
    uint32_t transparentColour = 0;
    int transparentIndex = -1;
    bool waitForInput = false;
    // Dots per inch the file gave for this page, 0 when it gave none. Kept
    // with the page so that saving (and printing) keeps its size on paper.
    double dpiX = 0;
    double dpiY = 0;
};

struct AnimationInfo {
    int canvasWidth = 0;   // 0 = the extent of the frames
    int canvasHeight = 0;
    // 0x00BBGGRR, or 0x1000000 | i for entry i of `palette`.
    uint32_t backColor = 0xFFFFFF;
    // False for a file's animation: players show a GIF's clear parts in the
    // page's colour (white) whatever background its header names; putting a
    // background colour shows it.
    bool backgroundShown = true;
    int bpp = 8;           // colour depth of the animation (its palette)
    Palette palette;       // shared by the frames (a GIF's global colour table)
    bool loop = false;     // play again from the start when the last frame ends
};

// A file on disk as the engine sees it.
struct LoadInfo {
    int width = 0;
    int height = 0;
    int bpp = 0;            // bits per pixel as stored in the file
    int64_t sizeBytes = 0;  // size of the file on disk
    int pageCount = 0;      // pages (or frames) the file holds
    int formatCode = 0;     // engine format code of the file
    // The file holds more than was decoded. `truncated`: the picture ends
    // early and rows past the end are blank. `pagesLeftOut`: pages or frames
    // that could not be decoded were dropped (pageCount counts only the rest).
    bool truncated = false;
    int pagesLeftOut = 0;
};

struct Document {
    std::vector<Frame> frames;
    AnimationInfo animation;
    LoadInfo info;
};

}  // namespace qova::engine
