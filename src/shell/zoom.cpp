#include "shell/zoom.h"

#include <algorithm>

#include "shell/numbers.h"
#include "engine/image_control.h"

namespace qova::shell {

std::optional<FitSize> fitByZoom(double controlW, double controlH, int bw, int bh) {
    int32_t W = int32_t(roundHalfEven(controlW));
    int32_t H = int32_t(roundHalfEven(controlH));
    if (W <= 0 || H <= 0 || bw <= 0 || bh <= 0) return std::nullopt;
    int16_t zoom;
    // The proportion test is made in single precision.
    const float limit = float(double(int64_t(bh) * W) / H);
    if (float(bw) < limit) {
        W = int32_t(roundHalfEven(double(int64_t(bw) * H) / bh));
        zoom = toInt16(double(int64_t(W) * 100) / bw);
    } else {
        H = int32_t(roundHalfEven(double(int64_t(bh) * W) / bw));
        zoom = toInt16(double(int64_t(H) * 100) / bh);
    }
    return FitSize{toInt16(W), toInt16(H), zoom};
}

namespace {

int displaySide(int side, int zoom) {
    const int64_t v = roundHalfEven(double(int64_t(side) * zoom) / 100.0);
    return int(std::clamp<int64_t>(v, 1, kMaxDisplaySide));
}

}  // namespace

int16_t maxZoom(int bw, int bh) {
    const int64_t m = std::max(bw, bh);
    if (m <= 0) return INT16_MAX;
    // The largest z with round(m × z / 100) ≤ 32767; start from the exact
    // quotient and settle the rounding at the edge.
    int64_t z = (int64_t(kMaxDisplaySide) * 100 + 50) / m;
    while (z > kMinZoom && roundHalfEven(double(m * z) / 100.0) > kMaxDisplaySide) --z;
    while (z < INT16_MAX && roundHalfEven(double(m * (z + 1)) / 100.0) <= kMaxDisplaySide) ++z;
    return int16_t(std::clamp<int64_t>(z, kMinZoom, INT16_MAX));
}

int16_t boundedZoom(int zoom, int bw, int bh) { return int16_t(std::clamp(zoom, kMinZoom, int(maxZoom(bw, bh)))); }

DisplaySize zoomedSize(int bw, int bh, int zoom) {
    return DisplaySize{int16_t(displaySide(bw, zoom)), int16_t(displaySide(bh, zoom))};
}

void SetDisplaySize(engine::ImageControl& img, int16_t w, int16_t h) {
    const double bw = img.bitmapWidth(), bh = img.bitmapHeight();
    img.setSourceRect(0, 0, bw, bh);
    img.setSourceClipRect(0, 0, bw, bh);
    img.setDisplayRect(0, 0, w, h);
    img.setDisplayClipRect(0, 0, w, h);
}

std::optional<int16_t> ViewFit2(engine::ImageControl& img) {
    const auto fit = fitByZoom(img.controlWidthPx(), img.controlHeightPx(), img.bitmapWidth(), img.bitmapHeight());
    if (!fit) return std::nullopt;
    SetDisplaySize(img, fit->width, fit->height);
    return fit->zoom;
}

}  // namespace qova::shell
