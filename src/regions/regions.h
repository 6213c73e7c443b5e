// Regions: the region tools of the Edit menu, Img1's mouse handlers that
// select a region, lift its pixels and drop them elsewhere, the saved
// background under the selection (kept in Img2), the region transforms that
// treat the selection as a floating piece over that background (Img3 is
// their scratch), and the fill command of the Color menu. The geometry
// commands reach the transforms through shell::RegionService.
#pragma once

#include <cstdint>

#include "shell/services.h"
#include "shell/subsystem.h"

namespace qova::shell {
class ShellContext;
}

namespace qova::engine {
class ImageStore;
}

namespace qova::regions {

// The engine's tracking shape for a region tool 0–4 (0 = none): the
// ellipse and the rounded rectangle are numbered the other way round.
int trackingShapeFor(int16_t tool);

class Regions : public shell::Subsystem, public shell::RegionService {
public:
    explicit Regions(shell::ShellContext& ctx);
    ~Regions() override;

    // The tool menu's items call it with their number (0 none … 4 freehand).
    void SetRegionTool(int16_t nNewRegionTool);
    int16_t regionTool() const { return nRegionTool_; }
    // True from a press that lifts the selection until its release.
    bool dragging() const { return fDragging_; }

    // --- event handlers ---
    void CancelRegion_Click();
    void ColorFill_Click();
    // Positions in twips (the unit of mouse events); Shift bit 1 Shift, 2 Ctrl.
    void Img1_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
    void Img1_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
    void Img1_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
    // The region-set notification: a tracking drag set a region.
    void Img1_RegionSet();

    // --- the saved background (Img2) ---
    // A copy of the image under the region's box (replacing any earlier one).
    void SaveBackground();
    // Writes the saved background, if any, back inside the region.
    void RestoreBackground();

    // --- the region transforms (shell::RegionService) ---
    void ShearRegion(int16_t Angle, bool bHorizontal) override;
    void FlipRegion() override;
    void ReverseRegion() override;
    void ResizeRegion(int16_t nNewWidth, int16_t nNewHeight, int16_t nResizeFlag) override;
    void RotateRegion(int16_t Angle, bool bResizeRegion) override;
    // Fills the selection's shape with the colour last chosen for the fill.
    void ColorFillRegion();

private:
    // Lifts the selection into the floater for a move (press inside it).
    void liftSelection(float X, float Y);
    // Puts the moved pixels down where the floater is (release).
    void dropSelection();
    void saveBackgroundAt(double left, double top, double width, double height);
    // The six transforms differ only in what is done to Img3's bitmap.
    template <class Step> void transformRegion(Step transform);
    // The picture in Img1 went: its drag and its saved background go too.
    void Img1_PictureReplaced();

    shell::ShellContext& ctx_;
    int16_t nRegionTool_ = 0;
    float LastX_ = 0;
    float LastY_ = 0;
    bool fDragging_ = false;
    uint32_t fillColour_ = 0;  // the colour last chosen for the fill, 0x00BBGGRR
    // Img2's serial when it last took a background of ours (0: none), so a
    // background is only discarded while Img2 still holds it.
    uint64_t backgroundSerial_ = 0;
};

}  // namespace qova::regions
