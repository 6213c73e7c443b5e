// The Color menu: tone and colour adjustments asked in the engine's
// parameter dialogs (brightness, contrast, saturation, histogram contrast,
// hue, both halftones, gamma, brightness levels, colour resolution), the
// ones without a dialog (greyscale, invert, equalise, stretch), the count of
// colours and the histogram. The fill item belongs to the region tools.
#pragma once

#include <cstdint>

namespace qova::engine {
class ImageControl;
}

namespace qova::shell {
class ShellContext;
}

namespace qova::processing {

class ColourCommands {
public:
    explicit ColourCommands(shell::ShellContext& ctx);

    void ColorBrightness_Click();
    void ColorContrast_Click();
    void ColorSaturation_Click();
    void ColorHistoContrast_Click();
    void ColorHue_Click();
    void HalftoneView_Click();
    void HalftonePrint_Click();
    void ColorGamma_Click();
    void ColorDetect_Click();
    void ColorResolution_Click();
    void ColorGrayscale_Click();
    void ColorInvert_Click();
    void ColorHistoEq_Click();
    void ColorStretchIntensity_Click();
    void CountUniqueColors_Click();
    void ColorViewHistogram_Click();

private:
    // The one-value effect dialog with `flags` (start 0), then `op` with its value.
    void effect(int flags, int16_t (engine::ImageControl::*op)(int));
    void halftone(int16_t kind);

    shell::ShellContext& ctx_;
};

}  // namespace qova::processing
