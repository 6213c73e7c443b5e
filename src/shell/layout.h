// The main window's resize rules, in twips, kept apart from the widgets so
// the thresholds can be checked on their own.
#pragma once

namespace qova::shell {

// Sizes the rules may change; a rule that does not fire leaves its value.
struct ResizeLayout {
    double imgTop = 0, imgHeight = 0, imgWidth = 0;
    double file1Height = 0;
    double gridHeight = 0;
    double cwhoWidth = 0;
};

// H × W is the window's outer size in twips.
void applyResizeRules(ResizeLayout& l, double H, double W, bool browserHidden, bool cwhoVisible);

// Offsets of the image control used by the load paths and the panel buttons.
constexpr double kImgHeightMargin = 1425;   // H − 1425
constexpr double kImgWidthMarginLoad = 2420;
constexpr double kImgWidthMarginResize = 2460;
constexpr double kImgWidthMarginHidden = 100;
constexpr double kImgLeftWithBrowser = 2355;
constexpr double kImgTop = 480;             // below the toolbar
constexpr double kImgTopWithName = 840;     // below the name box of the database

}  // namespace qova::shell
