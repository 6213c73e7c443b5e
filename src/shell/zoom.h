// Zoom arithmetic of the main image control, shared by the view commands,
// the file list's zoom keys, the toolbar and Undo: fitting a large image by
// zooming it down, the zoom bounds and the display size at a zoom.
#pragma once

#include <cstdint>
#include <optional>

namespace qova::engine {
class ImageControl;
}

namespace qova::shell {

struct FitSize {
    int16_t width;
    int16_t height;
    int16_t zoom;   // percent
};

// Display size and zoom that show a bw × bh bitmap whole in a control of
// controlW × controlH pixels, keeping proportions; none for empty sizes.
std::optional<FitSize> fitByZoom(double controlW, double controlH, int bw, int bh);

// Zoom bounds. The zoom never goes below 1 % and never so high that a side
// of the display would leave the 16-bit range (32767 pixels); the display is
// at least one pixel on each side, so a tiny zoom of a small image still
// shows something.
constexpr int kMinZoom = 1;
constexpr int kMaxDisplaySide = 32767;
// Largest zoom keeping both sides of a bw × bh display within 32767 pixels.
int16_t maxZoom(int bw, int bh);
// `zoom` moved into [kMinZoom, maxZoom(bw, bh)].
int16_t boundedZoom(int zoom, int bw, int bh);

struct DisplaySize {
    int16_t width;
    int16_t height;
};
// The display size of a bw × bh bitmap at `zoom` percent: each side
// round(side × zoom / 100), halves to even, kept within 1…32767.
DisplaySize zoomedSize(int bw, int bh, int zoom);

// Makes the engine paint the whole bitmap into (0, 0, w, h); no repaint.
void SetDisplaySize(engine::ImageControl& img, int16_t w, int16_t h);

// Zooms the shown bitmap to fit the control, anchored top left. Returns the
// new zoom, or none when the control or the bitmap has no size (nothing changes).
std::optional<int16_t> ViewFit2(engine::ImageControl& img);

}  // namespace qova::shell
