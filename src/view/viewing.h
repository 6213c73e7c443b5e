// Viewing: how the image lies in Img1 (normal, fit, stretch, zoomed), the
// zoom dialog, the "ZOOM" screen-size resample, the view and drive keys of
// Img1, and opening the engine's pan window. ApplyZoom and ViewFit2 are
// shared procedures of the shell (shell/context.h), since the browser, the
// toolbar and Undo call them too.
#pragma once

#include "shell/subsystem.h"

namespace qova::shell {
class ShellContext;
}

namespace qova::view {

class Form3;

// Where the pan window goes, in twips, on a screen this many twips wide:
// four fifths across, and a tenth of the width (not the height) down.
struct PanPlacement {
    double left;
    double top;
};
PanPlacement panWindowPlacement(double screenWidthTwips);

class Viewing : public shell::Subsystem {
public:
    explicit Viewing(shell::ShellContext& ctx);

    // --- menu handlers (processing commands call mnuViewNormal_Click too) ---
    void mnuViewNormal_Click();
    void mnuViewFit_Click();
    void mnuViewStretch_Click();
    void mnuViewZoom_Click();
    void mnuViewZoom2_Click();
    void ViewPanWindow_Click();

    // The "ZOOM" action: resamples the image to the size chosen in Form3.
    void ResetAllRects3();
    void Img1_KeyDown(int keyCode, int shift);

    // Form3, made on first use and kept (hidden) for the rest of the run.
    Form3* form3();

private:
    shell::ShellContext& ctx_;
    Form3* form3_ = nullptr;   // owned by the main window
};

}  // namespace qova::view
