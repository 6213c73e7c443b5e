// Geometry and undo: the Image menu's rotations (fixed and by a chosen
// angle), shear, resize, flip and mirror, each on the whole bitmap or, when
// Img1 has a region, handed to the region transforms (shell::RegionService);
// and the Edit menu's Undo, which exchanges Img1's bitmap and zoom with the
// snapshot SaveUndo keeps in Img4.
//
// The exchange goes through a holder of its own, not Img5: Img5 keeps the
// database's last deleted picture, and an Undo passing through it would
// make a later restore of that picture bring back the wrong one.
#pragma once

#include <cstdint>
#include <memory>

#include "shell/subsystem.h"

namespace qova::shell {
class ShellContext;
}

namespace qova::engine {
class ImageStore;
}

namespace qova::processing {

// Colour of the corners a whole-image rotation or shear uncovers.
constexpr uint32_t kWhite = 0x00FFFFFF;

// An angle in hundredths of a degree as the 16-bit value the region
// transforms take: angles beyond its range become the same turn within
// −180°…180°.
int16_t regionAngle(int32_t hundredths);

class Geometry : public shell::Subsystem {
public:
    explicit Geometry(shell::ShellContext& ctx);
    ~Geometry() override;

    // --- menu handlers ---
    // 0, 1, 2: 90°, 180°, 270° clockwise; 3: the angle asked in the dialog.
    void RotateCase_Click(int Index);
    void ImageShear_Click();
    void ImageResize_Click();
    void mnuEditFlip_Click();
    void mnuEditReverse_Click();
    void mnuEditUndo_Click();

    // Exchanges Img1's bitmap and nZoom with the undo snapshot (Img4, nUndoZoom).
    void SwapUndo();
    // The holder the exchange passes through (empty between Undos).
    const engine::ImageStore& undoExchange() const { return *exchange_; }

private:
    void rotateByAngle();
    // The view reset of the View menu's "normal" item.
    void viewNormal();
    // After a resize: a picture now larger than the control is zoomed to fit.
    void ViewSnap();

    shell::ShellContext& ctx_;
    std::unique_ptr<engine::ImageStore> exchange_;
};

}  // namespace qova::processing
