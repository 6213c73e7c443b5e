// Fitting a large image into the main image control by zooming it down.
#pragma once

#include <cstdint>
#include <optional>

namespace qova::engine {
class ImageControl;
}

namespace qova::view {

struct FitSize {
    int16_t width;
    int16_t height;
    int16_t zoom;   // percent
};

// Display size and zoom that show a bw × bh bitmap whole in a control of
// controlW × controlH pixels, keeping proportions; none for empty sizes.
std::optional<FitSize> fitByZoom(double controlW, double controlH, int bw, int bh);

// Makes the engine paint the whole bitmap into (0, 0, w, h); no repaint.
void SetDisplaySize(engine::ImageControl& img, int16_t w, int16_t h);

// Zooms the shown bitmap to fit the control, anchored top left. Returns the
// new zoom, or none when the control or the bitmap has no size (nothing changes).
std::optional<int16_t> ViewFit2(engine::ImageControl& img);

}  // namespace qova::view
