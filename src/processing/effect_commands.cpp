#include "processing/effect_commands.h"

#include "engine/core/bitmap.h"
#include "engine/core/document_ops.h"
#include "engine/core/ops/ranges.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "processing/engine_dialog_command.h"
#include "shell/context.h"
#include "shell/trap.h"

namespace qova::processing {

using engine::EngineDialog;
using engine::ImageControl;
using shell::MenuId;

EffectCommands::EffectCommands(shell::ShellContext& ctx)
    : ctx_(ctx), scratch_(std::make_unique<engine::ImageStore>(QStringLiteral("EdgeScratch"))) {
    const std::pair<MenuId, void (EffectCommands::*)()> items[] = {
        {MenuId::EffectsPosterize, &EffectCommands::EffectsPosterize_Click},
        {MenuId::EffectsMosaic, &EffectCommands::EffectsMosaic_Click},
        {MenuId::EffectsAverage, &EffectCommands::EffectsAverage_Click},
        {MenuId::EffectsMedian, &EffectCommands::EffectsMedian_Click},
        {MenuId::EffectsSharpen, &EffectCommands::EffectsSharpen_Click},
        {MenuId::EffectsAddNoise, &EffectCommands::EffectsAddNoise_Click},
        {MenuId::EffectsEmboss, &EffectCommands::EffectsEmboss_Click},
        {MenuId::EffectOilify, &EffectCommands::EffectOilify_Click},
        {MenuId::EffectSolarize, &EffectCommands::EffectSolarize_Click},
        {MenuId::EffectsEdgeEnhance, &EffectCommands::EffectsEdgeEnhance_Click},
        {MenuId::SpatialGradient, &EffectCommands::SpatialGradient_Click},
        {MenuId::SpatialLaplacian, &EffectCommands::SpatialLaplacian_Click},
        {MenuId::SpatialSobel, &EffectCommands::SpatialSobel_Click},
        {MenuId::SpatialPrewitt, &EffectCommands::SpatialPrewitt_Click},
        {MenuId::SpatialShiftDiff, &EffectCommands::SpatialShiftDiff_Click},
        {MenuId::SpatialLineSeg, &EffectCommands::SpatialLineSeg_Click},
    };
    for (const auto& [id, handler] : items) ctx_.onTriggered(id, [this, h = handler] { (this->*h)(); });
}

EffectCommands::~EffectCommands() = default;

void EffectCommands::effect(int flags, int16_t (ImageControl::*op)(int)) {
    DialogCommand c;
    c.start = [](EngineDialog& d) { d.effectValue = 0; };
    c.flags = flags;
    c.show = &EngineDialog::showEffect;
    c.operation = [op](ImageControl& img, const EngineDialog& d) { (img.*op)(int16_t(d.effectValue)); };
    runDialogCommand(ctx_, c);
}

void EffectCommands::EffectsPosterize_Click() { effect(0x40000080, &ImageControl::posterize); }
void EffectCommands::EffectsMosaic_Click() { effect(0x40000100, &ImageControl::mosaic); }
void EffectCommands::EffectsAverage_Click() { effect(0x40000200, &ImageControl::average); }
void EffectCommands::EffectsMedian_Click() { effect(0x40000400, &ImageControl::median); }
void EffectCommands::EffectsSharpen_Click() { effect(0x40000001, &ImageControl::sharpen); }
void EffectCommands::EffectOilify_Click() { effect(0x40000800, &ImageControl::oilify); }
void EffectCommands::EffectSolarize_Click() { effect(0x40004000, &ImageControl::solarize); }

void EffectCommands::EffectsAddNoise_Click() {
    DialogCommand c;
    c.start = [](EngineDialog& d) {
        d.noiseValue1 = 0;
        d.noiseValue2 = 0;
    };
    c.flags = 0x40000000;
    c.show = &EngineDialog::showAddNoise;
    c.operation = [](ImageControl& img, const EngineDialog& d) {
        img.addNoise(int16_t(d.noiseValue1), int16_t(d.noiseValue2));
    };
    runDialogCommand(ctx_, c);
}

void EffectCommands::EffectsEmboss_Click() {
    DialogCommand c;
    c.start = [](EngineDialog& d) {
        d.embossValue1 = 0;
        d.embossValue2 = 0;
    };
    c.flags = 0x40000000;
    c.show = &EngineDialog::showEmboss;
    c.operation = [](ImageControl& img, const EngineDialog& d) {
        img.emboss(int16_t(d.embossValue1), int16_t(d.embossValue2));
    };
    runDialogCommand(ctx_, c);
}

void EffectCommands::spatial(int flags) {
    DialogCommand c;
    c.flags = flags;
    c.show = &EngineDialog::showSpatialFilter;
    c.operation = [](ImageControl& img, const EngineDialog& d) { img.spatialFilter(int16_t(d.filterNumber)); };
    runDialogCommand(ctx_, c);
}

void EffectCommands::SpatialGradient_Click() { spatial(0x40000001); }
void EffectCommands::SpatialLaplacian_Click() { spatial(0x40000002); }
void EffectCommands::SpatialSobel_Click() { spatial(0x40000004); }
void EffectCommands::SpatialPrewitt_Click() { spatial(0x40000008); }
void EffectCommands::SpatialShiftDiff_Click() { spatial(0x40000010); }
void EffectCommands::SpatialLineSeg_Click() { spatial(0x40000020); }

void EffectCommands::EffectsEdgeEnhance_Click() {
    ImageControl& img = *ctx_.controls().Img1;
    shell::trapped([&] {
        ctx_.StatusInit();
        scratch_->setBitmapHandle(img.bitmapHandle());
        const engine::Bitmap source = scratch_->currentBitmap();
        engine::docops::spatialFilter(*scratch_, engine::ops::kFilterEdgeDetail, img.progressReporter());
        // The filter's progress reports let events run: a picture put into
        // Img1 meanwhile must not get this one's edges.
        if (!img.currentBitmap().sharesWith(source)) return;
        const double w = scratch_->bitmapWidth(), h = scratch_->bitmapHeight();
        img.combine(0, 0, w, h, scratch_->bitmapHandle(), 0, 0, engine::ops::kCombineAddDetail);
    });
    shell::trapped([&] { ctx_.StatusTerm(); });
    shell::trapped([&] { img.repaint(); });
    scratch_->setBitmapHandle(0);
    ctx_.WaitCursorOff();
}

}  // namespace qova::processing
