#include "regions/regions.h"

#include <QAction>

#include <exception>

#include "engine/core/codes.h"
#include "engine/core/engine_error.h"
#include "engine/core/ops/ranges.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "shell/context.h"
#include "shell/numbers.h"
#include "shell/trap.h"
#include "shell/ui_services.h"

namespace qova::regions {

using engine::ImageControl;
using shell::MenuId;

namespace {

constexpr MenuId kToolItems[] = {MenuId::ToolNone, MenuId::ToolRect, MenuId::ToolEllipse, MenuId::ToolRndRect,
                                 MenuId::ToolFreeHand};
constexpr int kCopy = engine::ops::kCombineCopy;

double N(double v) { return double(shell::roundHalfEven(v)); }

// An engine code that is not success ends the step like a raised error.
void check(int16_t code) {
    if (code != engine::kOk) throw engine::EngineError(code, "region");
}

// The four display rectangle values and the source size, read in the unit in force.
struct View {
    double DL, DT, DW, DH, SW, SH;
    explicit View(const ImageControl& img)
        : DL(img.displayLeft()), DT(img.displayTop()), DW(img.displayWidth()), DH(img.displayHeight()),
          SW(img.sourceWidth()), SH(img.sourceHeight()) {}
};

// Repaints the control rectangle the region's box covers.
void repaintRegion(ImageControl& img) {
    const View v(img);
    const double RL = img.regionLeft(), RT = img.regionTop(), RW = img.regionWidth(), RH = img.regionHeight();
    img.repaintRect(v.DL + v.DW * RL / v.SW, v.DT + v.DH * RT / v.SH, v.DW * RW / v.SW, v.DH * RH / v.SH, false);
}

}  // namespace

int trackingShapeFor(int16_t tool) {
    switch (tool) {
    case 1: return 1;  // rectangle
    case 2: return 3;  // ellipse
    case 3: return 2;  // rounded rectangle
    case 4: return 4;  // freehand
    default: return 0;
    }
}

Regions::Regions(shell::ShellContext& ctx) : ctx_(ctx) {
    for (int16_t tool = 0; tool < 5; ++tool) {
        ctx_.action(kToolItems[tool])->setCheckable(true);
        ctx_.onTriggered(kToolItems[tool], [this, tool] { SetRegionTool(tool); });
    }
    ctx_.onTriggered(MenuId::CancelRegion, [this] { CancelRegion_Click(); });
    ctx_.onTriggered(MenuId::ColorFill, [this] { ColorFill_Click(); });
    ImageControl* img = ctx_.controls().Img1;
    QObject* owner = ctx_.mainWindow();
    shell::connectTrapped(img, &ImageControl::mouseDown, owner, [this](int b, int s, double x, double y) {
        Img1_MouseDown(int16_t(b), int16_t(s), float(x), float(y));
    });
    shell::connectTrapped(img, &ImageControl::mouseMove, owner, [this](int b, int s, double x, double y) {
        Img1_MouseMove(int16_t(b), int16_t(s), float(x), float(y));
    });
    shell::connectTrapped(img, &ImageControl::mouseUp, owner, [this](int b, int s, double x, double y) {
        Img1_MouseUp(int16_t(b), int16_t(s), float(x), float(y));
    });
    shell::connectTrapped(img, &ImageControl::regionSet, owner, [this] { Img1_RegionSet(); });
    shell::connectTrapped(img, &ImageControl::pictureReplaced, owner, [this] { Img1_PictureReplaced(); });
    ctx_.services().regions = this;
}

Regions::~Regions() {
    if (ctx_.services().regions == this) ctx_.services().regions = nullptr;
}

void Regions::SetRegionTool(int16_t nNewRegionTool) {
    nRegionTool_ = nNewRegionTool;
    for (MenuId id : {MenuId::ToolNone, MenuId::ToolRect, MenuId::ToolRndRect, MenuId::ToolEllipse,
                      MenuId::ToolFreeHand})
        ctx_.action(id)->setChecked(false);
    if (nNewRegionTool >= 0 && nNewRegionTool <= 4) ctx_.action(kToolItems[nNewRegionTool])->setChecked(true);
}

// --- mouse ---

void Regions::Img1_MouseDown(int16_t Button, int16_t Shift, float X, float Y) {
    ImageControl& img = *ctx_.controls().Img1;
    // Any engine error ends the press where it is, without a word.
    try {
        img.setCoordinateUnit(ImageControl::UnitTwips);
        // A drag whose release never came (the window lost the mouse) puts
        // its pixels down before anything else is lifted.
        if (Button == 1 && fDragging_) dropSelection();
        if (Button == 1) {
            const View v(img);
            const double bx = (X - v.DL) * v.SW / v.DW, by = (Y - v.DT) * v.SH / v.DH;
            const bool inside = img.pointInRegion(bx, by);
            const bool present = img.hasRegion();
            if (inside && present && (Shift & 3) == 0) {
                liftSelection(X, Y);
            } else if (nRegionTool_ >= 1 && nRegionTool_ <= 4) {
                img.setRegionTrackingShape(trackingShapeFor(nRegionTool_));
            }
            // Every left press discards the saved background.
            ctx_.controls().Img2->setBitmapHandle(0);
            backgroundSerial_ = 0;
        }
        img.setCoordinateUnit(ImageControl::UnitPixels);
    } catch (const std::exception&) {
    }
}

void Regions::liftSelection(float X, float Y) {
    ImageControl& img = *ctx_.controls().Img1;
    engine::ImageStore& background = *ctx_.controls().Img2;
    img.setCoordinateUnit(ImageControl::UnitPixels);
    img.setRegionTrackingShape(0);
    img.setRegionFrameStyle(0);
    LastX_ = X;
    LastY_ = Y;
    img.setFloaterVisible(false);
    img.setFloaterBitmap(img.bitmapHandle());
    // The floater goes exactly over the pixels it was lifted from, so a
    // press and release without a move leaves them where they were.
    const View v(img);
    const double RL = img.regionLeft(), RT = img.regionTop();
    const double FW = img.floaterBitmapWidth(), FH = img.floaterBitmapHeight();
    img.setFloaterDisplayRect(v.DL + v.DW * RL / v.SW, v.DT + v.DH * RT / v.SH, v.DW * FW / v.SW, v.DH * FH / v.SH);
    // What was under the selection goes back under the lifted pixels.
    if (background.bitmapHandle() != 0) {
        img.combine(RL, RT, FW, FH, background.bitmapHandle(), 0, 0, kCopy);
        img.repaintRect(img.floaterLeft(), img.floaterTop(), img.floaterWidth(), img.floaterHeight(), false);
    }
    img.setFloaterVisible(true);
    fDragging_ = true;
}

void Regions::Img1_MouseMove(int16_t Button, int16_t, float X, float Y) {
    ImageControl& img = *ctx_.controls().Img1;
    img.setCoordinateUnit(ImageControl::UnitTwips);
    if (Button == 1 && fDragging_) {
        img.setFloaterDisplayRect(img.floaterLeft() + X - LastX_, img.floaterTop() + Y - LastY_, img.floaterWidth(),
                                  img.floaterHeight());
        LastX_ = X;
        LastY_ = Y;
    }
    img.setCoordinateUnit(ImageControl::UnitPixels);
}

void Regions::Img1_MouseUp(int16_t Button, int16_t, float, float) {
    if (Button != 1) return;
    ImageControl& img = *ctx_.controls().Img1;
    if (img.regionTrackingShape() != 0) {
        img.setRegionTrackingShape(0);
        img.setRegionFrameStyle(2);
        return;
    }
    if (fDragging_) dropSelection();
}

void Regions::dropSelection() {
    ImageControl& img = *ctx_.controls().Img1;
    fDragging_ = false;
    img.setRegionFrameStyle(0);
    const int32_t shape = img.floaterRegionHandle();
    try {
        img.setRegionFromHandle(shape, 0, 0, 1);
        const View v(img);
        img.offsetRegion((img.floaterLeft() - v.DL) * v.SW / v.DW, (img.floaterTop() - v.DT) * v.SH / v.DH);
        // The background at the new place, then the pixels over it.
        const double RL = img.regionLeft(), RT = img.regionTop();
        const double FW = img.floaterBitmapWidth(), FH = img.floaterBitmapHeight();
        saveBackgroundAt(RL, RT, FW, FH);
        img.combine(RL, RT, FW, FH, img.floaterBitmap(), 0, 0, kCopy);
        img.setFloaterBitmap(0);
        repaintRegion(img);
        img.setRegionFrameStyle(2);
    } catch (...) {
        img.deleteRegionHandle(shape);
        throw;
    }
    img.deleteRegionHandle(shape);
}

void Regions::Img1_RegionSet() { SaveBackground(); }

void Regions::Img1_PictureReplaced() {
    fDragging_ = false;
    engine::ImageStore& background = *ctx_.controls().Img2;
    if (backgroundSerial_ != 0 && background.serial() == backgroundSerial_) background.setBitmapHandle(0);
    backgroundSerial_ = 0;
}

void Regions::CancelRegion_Click() {
    ImageControl& img = *ctx_.controls().Img1;
    try {
        // Lifted pixels are put down first, as a release would, so none are lost.
        if (fDragging_) dropSelection();
        RestoreBackground();
        img.freeRegion();
        img.setRegionFrameStyle(0);
    } catch (const std::exception&) {
    }
}

// --- the saved background ---

void Regions::SaveBackground() {
    const ImageControl& img = *ctx_.controls().Img1;
    saveBackgroundAt(img.regionLeft(), img.regionTop(), img.regionWidth(), img.regionHeight());
}

void Regions::saveBackgroundAt(double left, double top, double width, double height) {
    ImageControl& img = *ctx_.controls().Img1;
    engine::ImageStore& background = *ctx_.controls().Img2;
    backgroundSerial_ = 0;
    const int bits = img.bitsPerPixel();
    const int16_t made = background.createBitmap(int(N(width)), int(N(height)), bits);
    if (made != engine::kOk) {
        // No copy at all rather than a stale one.
        background.setBitmapHandle(0);
        check(made);
    }
    // The copy is of the same kind as the picture: its palette, or grey.
    if (bits <= 8 && !img.greyscaleFlag()) check(background.adoptPalette(img.bitmapHandle()));
    if (img.greyscaleFlag()) check(background.greyscale(bits));
    check(background.combine(0, 0, width, height, img.bitmapHandle(), left, top, kCopy));
    backgroundSerial_ = background.serial();
}

void Regions::RestoreBackground() {
    ImageControl& img = *ctx_.controls().Img1;
    engine::ImageStore& background = *ctx_.controls().Img2;
    if (background.bitmapHandle() == 0) return;
    img.combine(img.regionLeft(), img.regionTop(), img.regionWidth(), img.regionHeight(), background.bitmapHandle(), 0,
                0, kCopy);
}

// --- the region transforms ---

template <class Step> void Regions::transformRegion(Step transform) {
    ImageControl& img = *ctx_.controls().Img1;
    engine::ImageStore& scratch = *ctx_.controls().Img3;
    // Pixels being dragged go down first; lifting again would lose them.
    if (fDragging_) dropSelection();
    const double RL = img.regionLeft(), RT = img.regionTop(), RW = img.regionWidth(), RH = img.regionHeight();
    img.setFloaterVisible(false);
    img.setFloaterBitmap(img.bitmapHandle());
    RestoreBackground();
    // The floater's handle brings its shape along into the scratch bitmap.
    scratch.setBitmapHandle(img.floaterBitmap());
    img.setFloaterBitmap(0);
    // A transform that fails leaves the pixels as they were; they still go
    // back over the background below, so nothing of the selection is lost.
    transform(scratch);
    img.setRegionFrameStyle(0);
    const int32_t shape = scratch.regionHandle();
    const double cx = RL + RW / 2, cy = RT + RH / 2;
    const double W3 = scratch.bitmapWidth(), H3 = scratch.bitmapHeight();
    try {
        img.setRegionFromHandle(shape, cx - W3 / 2, cy - H3 / 2, 1);
    } catch (...) {
        img.deleteRegionHandle(shape);
        throw;
    }
    img.deleteRegionHandle(shape);
    SaveBackground();
    img.combine(cx - W3 / 2, cy - H3 / 2, W3, H3, scratch.bitmapHandle(), 0, 0, kCopy);
    repaintRegion(img);
    img.setRegionFrameStyle(2);
    scratch.setBitmapHandle(0);
}

void Regions::ShearRegion(int16_t Angle, bool bHorizontal) {
    transformRegion([&](engine::ImageStore& s) { s.shear(Angle, bHorizontal, 0); });
}

void Regions::FlipRegion() {
    transformRegion([](engine::ImageStore& s) { s.flip(); });
}

void Regions::ReverseRegion() {
    transformRegion([](engine::ImageStore& s) { s.reverse(); });
}

void Regions::ResizeRegion(int16_t nNewWidth, int16_t nNewHeight, int16_t nResizeFlag) {
    transformRegion([&](engine::ImageStore& s) { s.resize(nNewWidth, nNewHeight, nResizeFlag); });
}

void Regions::RotateRegion(int16_t Angle, bool bResizeRegion) {
    transformRegion([&](engine::ImageStore& s) { s.rotate(int32_t(Angle), bResizeRegion, 0); });
}

void Regions::ColorFillRegion() {
    transformRegion([this](engine::ImageStore& s) { s.fill(fillColour_); });
}

void Regions::ColorFill_Click() {
    uint32_t colour = fillColour_;
    if (!ctx_.ui().chooseColour(colour)) return;  // cancelled: nothing changes
    fillColour_ = colour;
    ImageControl& img = *ctx_.controls().Img1;
    if (img.hasRegion()) {
        ColorFillRegion();
        return;
    }
    ctx_.StatusInit();
    shell::trapped([&] { img.fill(fillColour_); });
    ctx_.StatusTerm();
    img.repaint();
}

}  // namespace qova::regions
