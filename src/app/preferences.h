// The Options menu: how Img1 paints the picture (dithering method and
// display palette), callback painting and progress display. Each choice
// lives in the window state (displayPrefs, fPaintCallback, fProgress), is
// pushed to Img1 by PaintChange (or directly, for progress) and shown by
// check marks refreshed whenever the menus open. Nothing is kept between runs.
#pragma once

#include <cstdint>

#include "shell/subsystem.h"

namespace qova::shell {
class ShellContext;
}

namespace qova::app {

class Preferences : public shell::Subsystem {
public:
    explicit Preferences(shell::ShellContext& ctx);

    // The palette value PaintChange puts: 1 for the fixed palette, plus 2
    // with the browser palette (0–3).
    static int32_t paletteValue(int16_t fixedPalette, int16_t browserPalette);

    // Puts, in this order, the dithering index (6), paint option 8 (8) and
    // the palette value (19) into Img1, then repaints it (285).
    void PaintChange();

    // --- menu handlers ---
    void DitheringType_Click(int index);
    void PrefFixedPalette_Click();
    void PrefUseNetscape_Click();
    void PrefPaintCallback_Click();
    void PrefProgress_Click();
    void MainPreferences_Click();  // the menu opens: its check marks
    void PrefDithering_Click();    // the submenu opens: the dithering check mark

private:
    shell::ShellContext& ctx_;
};

}  // namespace qova::app
