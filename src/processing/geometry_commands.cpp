#include "processing/geometry_commands.h"

#include <QAction>

#include <exception>

#include "engine/core/codes.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "processing/resize_dialog.h"
#include "shell/context.h"
#include "shell/numbers.h"
#include "shell/trap.h"

namespace qova::processing {

using engine::ImageControl;
using shell::MenuId;
using shell::trapped;

namespace {

// The dialog's flags: 3 asks a rotation, 4 a shear; with the picture given
// it also offers the fill colour and a preview.
constexpr int kRotateFlags = 3;
constexpr int kShearFlags = 4;
constexpr int kWithPicture = 0x40000000;

// Shows the rotate/shear dialog; false when the user cancelled it.
bool askAngle(engine::EngineDialog& dlg, QWidget* owner) {
    try {
        dlg.showRotate(owner);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

int16_t regionAngle(int32_t hundredths) {
    if (shell::fitsInt16(hundredths)) return int16_t(hundredths);
    int32_t a = hundredths % 36000;
    if (a > 18000) a -= 36000;
    if (a < -18000) a += 36000;
    return int16_t(a);
}

Geometry::Geometry(shell::ShellContext& ctx)
    : ctx_(ctx), exchange_(std::make_unique<engine::ImageStore>(QStringLiteral("UndoExchange"))) {
    const MenuId rotations[] = {MenuId::RotateCase_0, MenuId::RotateCase_1, MenuId::RotateCase_2, MenuId::RotateCase_3};
    for (int i = 0; i < 4; ++i) ctx_.onTriggered(rotations[i], [this, i] { RotateCase_Click(i); });
    ctx_.onTriggered(MenuId::ImageShear, [this] { ImageShear_Click(); });
    ctx_.onTriggered(MenuId::ImageResize, [this] { ImageResize_Click(); });
    ctx_.onTriggered(MenuId::mnuEditFlip, [this] { mnuEditFlip_Click(); });
    ctx_.onTriggered(MenuId::mnuEditReverse, [this] { mnuEditReverse_Click(); });
    ctx_.onTriggered(MenuId::mnuEditUndo, [this] { mnuEditUndo_Click(); });
}

Geometry::~Geometry() = default;

void Geometry::viewNormal() { ctx_.action(MenuId::mnuViewNormal)->trigger(); }

void Geometry::ViewSnap() {
    ImageControl& img = *ctx_.controls().Img1;
    if (img.isEmpty()) return;
    if (img.bitmapWidth() > img.controlWidthPx() || img.bitmapHeight() > img.controlHeightPx()) {
        ctx_.ViewFit2();
        img.repaint();
    }
}

void Geometry::RotateCase_Click(int Index) {
    if (Index == 3) {
        rotateByAngle();
        return;
    }
    const int16_t angle = int16_t(9000 * (Index + 1));
    ImageControl& img = *ctx_.controls().Img1;
    shell::RegionService* regions = ctx_.services().regions;
    if (regions && img.hasRegion()) {
        regions->RotateRegion(angle, true);
        return;
    }
    // Every step runs, whatever the one before it did.
    trapped([&] { ctx_.StatusInit(); });
    trapped([&] { img.rotate(angle, true, kWhite); });
    trapped([&] { ctx_.StatusTerm(); });
    trapped([&] { img.repaint(); });
}

void Geometry::rotateByAngle() {
    ImageControl& img = *ctx_.controls().Img1;
    engine::EngineDialog& dlg = *ctx_.controls().ImgDlg1;
    shell::RegionService* regions = ctx_.services().regions;
    dlg.angle = 0;
    // Enlarging, as the fixed rotations do, rather than what the last use chose.
    dlg.angleOption = true;
    if (regions && img.hasRegion()) {
        dlg.flags = kRotateFlags;
        if (!askAngle(dlg, ctx_.mainWindow())) return;
        regions->RotateRegion(regionAngle(dlg.angle), dlg.angleOption);
        return;
    }
    dlg.flags = kWithPicture | kRotateFlags;
    dlg.fillColour = kWhite;
    dlg.bitmap = img.bitmapHandle();
    const bool chosen = askAngle(dlg, ctx_.mainWindow());
    dlg.bitmap = 0;
    // A cancelled dialog changes nothing: no snapshot, no view reset.
    if (!chosen) return;
    trapped([&] { ctx_.StatusInit(); });
    trapped([&] { img.rotate(dlg.angle, dlg.angleOption, dlg.fillColour); });
    trapped([&] { viewNormal(); });
    trapped([&] { ctx_.StatusTerm(); });
    trapped([&] { img.repaint(); });
}

void Geometry::ImageShear_Click() {
    ImageControl& img = *ctx_.controls().Img1;
    engine::EngineDialog& dlg = *ctx_.controls().ImgDlg1;
    shell::RegionService* regions = ctx_.services().regions;
    dlg.angle = 0;
    dlg.angleOption = true;  // horizontal
    if (regions && img.hasRegion()) {
        dlg.flags = kShearFlags;
        if (!askAngle(dlg, ctx_.mainWindow())) return;
        regions->ShearRegion(int16_t(dlg.angle), dlg.angleOption);
        return;
    }
    dlg.flags = kWithPicture | kShearFlags;
    dlg.fillColour = kWhite;
    dlg.bitmap = img.bitmapHandle();
    const bool chosen = askAngle(dlg, ctx_.mainWindow());
    dlg.bitmap = 0;
    if (!chosen) return;
    ctx_.StatusInit();
    bool done = false;
    trapped([&] {
        img.shear(int16_t(dlg.angle), dlg.angleOption, dlg.fillColour);
        viewNormal();
        done = true;
    });
    ctx_.StatusTerm();
    if (done) img.repaint();
}

void Geometry::ImageResize_Click() {
    if (!ctx_.state().fImage) return;
    ImageControl& img = *ctx_.controls().Img1;
    shell::RegionService* regions = ctx_.services().regions;
    const bool region = regions && img.hasRegion();
    Resize dlg(img, ctx_.mainWindow());
    dlg.InitTheForm(region ? 3 : 0);
    dlg.exec();
    int16_t fOK = 0, nValue1 = 0, nValue2 = 0, fResample = 0;
    dlg.GetResults(fOK, nValue1, nValue2, fResample);
    if (!fOK) return;
    ctx_.StatusInit();
    const int16_t flag = fResample ? 1 : 0;
    bool resized = false;
    trapped([&] {
        if (region) {
            regions->ResizeRegion(nValue1, nValue2, flag);
            return;
        }
        if (img.resizeBitmap(float(nValue1), float(nValue2), flag) != engine::kOk) return;
        viewNormal();
        resized = true;
    });
    ctx_.StatusTerm();
    if (resized) ViewSnap();
}

void Geometry::mnuEditFlip_Click() {
    ImageControl& img = *ctx_.controls().Img1;
    if (shell::RegionService* regions = ctx_.services().regions; regions && img.hasRegion()) {
        regions->FlipRegion();
        return;
    }
    trapped([&] { ctx_.StatusInit(); });
    trapped([&] { img.flip(); });
    trapped([&] { ctx_.StatusTerm(); });
    trapped([&] { img.repaint(); });
}

void Geometry::mnuEditReverse_Click() {
    ImageControl& img = *ctx_.controls().Img1;
    if (shell::RegionService* regions = ctx_.services().regions; regions && img.hasRegion()) {
        regions->ReverseRegion();
        return;
    }
    trapped([&] { ctx_.StatusInit(); });
    trapped([&] { img.reverse(); });
    trapped([&] { ctx_.StatusTerm(); });
    trapped([&] { img.repaint(); });
}

void Geometry::mnuEditUndo_Click() {
    if (!ctx_.state().fImage) return;
    SwapUndo();
    // An Undo before any snapshot leaves Img1 empty: nothing to zoom then.
    if (!ctx_.controls().Img1->isEmpty()) ctx_.ApplyZoom();
}

void Geometry::SwapUndo() {
    ImageControl& img = *ctx_.controls().Img1;
    engine::ImageStore& undo = *ctx_.controls().Img4;
    shell::WindowState& s = ctx_.state();
    // Img1 is not painted half way through; it keeps the keyboard focus
    // (hiding it would hand the focus to the file list).
    struct Quiet {
        shell::ShellContext& ctx;
        ImageControl& img;
        Quiet(shell::ShellContext& c, ImageControl& i) : ctx(c), img(i) {
            ctx.WaitCursorOn();
            img.setUpdatesEnabled(false);
        }
        ~Quiet() {
            img.setUpdatesEnabled(true);
            ctx.WaitCursorOff();
        }
    } quiet(ctx_, img);
    exchange_->setBitmapHandle(img.bitmapHandle());
    const int16_t zoom = s.nZoom;
    img.setBitmapHandle(undo.bitmapHandle());
    s.nZoom = s.nUndoZoom;
    undo.setBitmapHandle(exchange_->bitmapHandle());
    s.nUndoZoom = zoom;
    // The exchange keeps no picture between Undos.
    exchange_->setBitmapHandle(0);
}

}  // namespace qova::processing
