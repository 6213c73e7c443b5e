// Viewing: how the image lies in Img1 (normal, fit, stretch, zoomed), the
// zoom dialog, the "ZOOM" screen-size resample, the view and drive keys of
// Img1, and opening the engine's pan window. ApplyZoom and ViewFit2 are on
// Form1, since the browser, the toolbar and Undo call them too.
#pragma once

#include "app/subsystem.h"

namespace qova::app {
class Form1;
}

namespace qova::view {

class Form3;

class Viewing : public app::Subsystem {
public:
    explicit Viewing(app::Form1& form);

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
    app::Form1& f_;
    Form3* form3_ = nullptr;   // owned by Form1
};

}  // namespace qova::view
