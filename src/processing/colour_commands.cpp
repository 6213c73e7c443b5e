#include "processing/colour_commands.h"

#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "processing/engine_dialog_command.h"
#include "processing/histogram.h"
#include "shell/context.h"
#include "shell/numbers.h"
#include "shell/trap.h"
#include "shell/ui_services.h"

namespace qova::processing {

using engine::EngineDialog;
using engine::ImageControl;
using shell::MenuId;

ColourCommands::ColourCommands(shell::ShellContext& ctx) : ctx_(ctx) {
    const std::pair<MenuId, void (ColourCommands::*)()> items[] = {
        {MenuId::ColorBrightness, &ColourCommands::ColorBrightness_Click},
        {MenuId::ColorContrast, &ColourCommands::ColorContrast_Click},
        {MenuId::ColorSaturation, &ColourCommands::ColorSaturation_Click},
        {MenuId::ColorHistoContrast, &ColourCommands::ColorHistoContrast_Click},
        {MenuId::ColorHue, &ColourCommands::ColorHue_Click},
        {MenuId::HalftoneView, &ColourCommands::HalftoneView_Click},
        {MenuId::HalftonePrint, &ColourCommands::HalftonePrint_Click},
        {MenuId::ColorGamma, &ColourCommands::ColorGamma_Click},
        {MenuId::ColorDetect, &ColourCommands::ColorDetect_Click},
        {MenuId::ColorResolution, &ColourCommands::ColorResolution_Click},
        {MenuId::ColorGrayscale, &ColourCommands::ColorGrayscale_Click},
        {MenuId::ColorInvert, &ColourCommands::ColorInvert_Click},
        {MenuId::ColorHistoEq, &ColourCommands::ColorHistoEq_Click},
        {MenuId::ColorStretchIntensity, &ColourCommands::ColorStretchIntensity_Click},
        {MenuId::CountUniqueColors, &ColourCommands::CountUniqueColors_Click},
        {MenuId::ColorViewHistogram, &ColourCommands::ColorViewHistogram_Click},
    };
    for (const auto& [id, handler] : items) ctx_.onTriggered(id, [this, h = handler] { (this->*h)(); });
}

void ColourCommands::effect(int flags, int16_t (ImageControl::*op)(int)) {
    DialogCommand c;
    c.start = [](EngineDialog& d) { d.effectValue = 0; };
    c.flags = flags;
    c.show = &EngineDialog::showEffect;
    c.operation = [op](ImageControl& img, const EngineDialog& d) { (img.*op)(int16_t(d.effectValue)); };
    runDialogCommand(ctx_, c);
}

void ColourCommands::ColorBrightness_Click() { effect(0x40000002, &ImageControl::brightness); }
void ColourCommands::ColorContrast_Click() { effect(0x40000004, &ImageControl::contrast); }
void ColourCommands::ColorSaturation_Click() { effect(0x40000008, &ImageControl::saturation); }
void ColourCommands::ColorHistoContrast_Click() { effect(0x40000010, &ImageControl::histogramContrast); }
void ColourCommands::ColorHue_Click() { effect(0x40000020, &ImageControl::hue); }

void ColourCommands::halftone(int16_t kind) {
    DialogCommand c;
    c.start = [](EngineDialog& d) { d.effectValue = 0; };
    c.flags = 0x40000040;
    c.show = &EngineDialog::showEffect;
    // The value goes on as a 32-bit number, read as 16 bits like every value.
    c.operation = [kind](ImageControl& img, const EngineDialog& d) { img.halftone(kind, int32_t(int16_t(d.effectValue))); };
    c.viewReset = true;
    runDialogCommand(ctx_, c);
}

void ColourCommands::HalftoneView_Click() { halftone(1); }
void ColourCommands::HalftonePrint_Click() { halftone(0); }

void ColourCommands::ColorGamma_Click() {
    DialogCommand c;
    c.start = [](EngineDialog& d) { d.gammaValue = 0; };
    c.flags = 0x40000000;
    c.show = &EngineDialog::showGamma;
    c.operation = [](ImageControl& img, const EngineDialog& d) { img.gammaCorrect(int16_t(d.gammaValue)); };
    runDialogCommand(ctx_, c);
}

void ColourCommands::ColorDetect_Click() {
    DialogCommand c;
    c.start = [](EngineDialog& d) {
        d.detectLow = 0;
        d.detectHigh = 255;
    };
    c.flags = 0x40000000;
    c.show = &EngineDialog::showIntensityDetect;
    c.operation = [](ImageControl& img, const EngineDialog& d) {
        img.intensityDetect(int16_t(d.detectLow), int16_t(d.detectHigh));
    };
    runDialogCommand(ctx_, c);
}

void ColourCommands::ColorResolution_Click() {
    DialogCommand c;
    c.flags = 0x0FFFFFFD;
    c.show = &EngineDialog::showColourResolution;
    c.operation = [](ImageControl& img, const EngineDialog& d) {
        img.colourResolution(int16_t(d.colourBits), int16_t(d.paletteKind), int16_t(d.dithering), 0);
    };
    c.viewReset = true;
    runDialogCommand(ctx_, c);
}

void ColourCommands::ColorGrayscale_Click() {
    runPlainCommand(ctx_, [](ImageControl& img) { img.greyscale(8); });
}

void ColourCommands::ColorInvert_Click() {
    runPlainCommand(ctx_, [](ImageControl& img) { img.invert(); });
}

void ColourCommands::ColorHistoEq_Click() {
    runPlainCommand(ctx_, [](ImageControl& img) { img.histogramEqualise(); });
}

void ColourCommands::ColorStretchIntensity_Click() {
    runPlainCommand(ctx_, [](ImageControl& img) { img.stretchIntensity(); });
}

void ColourCommands::CountUniqueColors_Click() {
    int32_t count = 0;
    bool counted = false;
    shell::trapped([&] {
        ctx_.StatusInit();
        count = ctx_.controls().Img1->countColours();
        counted = true;
    });
    shell::trapped([&] { ctx_.StatusTerm(); });
    if (counted) {
        ctx_.ui().msgBox(shell::signedCountText(count) + QStringLiteral("色 がこのﾋﾞｯﾄﾏｯﾌﾟに使用されています。"),
                         shell::OkOnly, QStringLiteral("色数"));
    } else {
        ctx_.controls().Img1->repaint();
    }
    ctx_.WaitCursorOff();
}

void ColourCommands::ColorViewHistogram_Click() {
    Histogram form(ctx_);
    form.exec();
}

}  // namespace qova::processing
