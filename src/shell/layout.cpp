#include "shell/layout.h"

namespace qova::shell {

void applyResizeRules(ResizeLayout& l, double H, double W, bool browserHidden, bool cwhoVisible) {
    if (!browserHidden) {
        if (H > 1500 && W > 2500) {
            l.imgHeight = H - kImgHeightMargin;
            l.imgWidth = W - kImgWidthMarginResize;
            if (H > 4900) l.file1Height = H - 4760;
        }
    } else if (cwhoVisible) {
        // A database open: its grid takes the browser's place on the left,
        // so the image keeps the width beside it (spanning the window from
        // there would push its right edge out of the window).
        if (H > 1500 && W > 2500) {
            l.imgHeight = H - kImgHeightMargin;
            l.imgWidth = W - kImgWidthMarginResize;
        }
    } else if (H > 1500 && W > 200) {
        l.imgHeight = H - kImgHeightMargin;
        l.imgWidth = W - kImgWidthMarginHidden;
    }
    if (H > 3300 && W > 2500) l.gridHeight = H - 3225 + 480;
    if (cwhoVisible) {
        l.imgTop = kImgTopWithName;
        // A window too short for the name box leaves the height alone rather
        // than handing the control a negative one.
        if (H - kImgHeightMargin - 360 >= 0) l.imgHeight = H - kImgHeightMargin - 360;
        if (W > 200) l.cwhoWidth = W - 100;
    } else {
        l.imgTop = kImgTop;
    }
}

}  // namespace qova::shell
