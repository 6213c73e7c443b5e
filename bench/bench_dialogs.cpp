// What a user feels of the processing commands on a 24-megapixel photo:
//  1. each parameter dialog's preview update after a value change (it works
//     on a copy at preview size: within 30 ms), and the dialog's opening;
//  2. each command's whole time in the main window (dialog, snapshot,
//     operation, view reset, repaint painted), beside the operation's own
//     time on the same bitmap in the same run (within 1.5x).
//
// Usage: bench_dialogs [--photo PATH] [--size WxH] [--only NAME] [--updates N]
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QSpinBox>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "engine/core/codes.h"
#include "engine/core/formats/formats.h"
#include "engine/core/ops/ops.h"
#include "engine/core/pages.h"
#include "engine/dialogs/colour_resolution_dialog.h"
#include "engine/dialogs/pair_dialogs.h"
#include "engine/dialogs/preview_pane.h"
#include "engine/dialogs/spatial_filter_dialog.h"
#include "engine/dialogs/value_dialogs.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "shell/menu_table.h"
#include "shell/ui_services.h"

using namespace qova;
using namespace qova::engine;
using shell::MenuId;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

// The photo enlarged (resampled) to the size asked for, or a made picture.
Bitmap photo(const std::string& path, int w, int h) {
    Document doc;
    LoadRequest req;
    req.path = path;
    if (!path.empty() && loadFile(req, doc) == kOk && !doc.frames.empty()) {
        Bitmap b = doc.frames[0].bitmap;
        if (b.bpp() != 24) b = b.convertTo(24);
        if (ops::resize(b, w, h, ops::kResizeResample) == kOk) return b;
    }
    Bitmap b = Bitmap::create(w, h, 24);
    for (int y = 0; y < h; ++y) {
        uint8_t* r = b.mutableRow(y);
        for (int x = 0; x < w; ++x) {
            r[x * 3] = uint8_t((x * 7 + y) & 255);
            r[x * 3 + 1] = uint8_t((y * 255) / h);
            r[x * 3 + 2] = uint8_t(((x / 300 + y / 200) % 3) * 90);
        }
    }
    return b;
}

Document docOf(const Bitmap& b) {
    Document d;
    d.frames.push_back(Frame{b});
    d.info.width = b.width();
    d.info.height = b.height();
    d.info.bpp = 24;
    return d;
}

// Message boxes answered at once (the colour count's).
class QuietUi : public shell::UiServices {
public:
    shell::MsgResult msgBox(const QString&, int, const QString&) override { return shell::MsgOk; }
    QString openFileName(const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QString&, const QString&, bool) override { return {}; }
    void quit() override {}
    bool chooseColour(uint32_t&, const QString&) override { return false; }
};

void setSpin(QDialog& d, const char* name, int v) {
    if (auto* s = d.findChild<QSpinBox*>(name)) s->setValue(v);
}

// One command: its menu item, the values the user sets, and the operation it
// runs (for its own time on the same bitmap).
struct Case {
    const char* name;
    MenuId item;
    std::function<QDialog*(const Bitmap&)> dialog;  // null: no dialog
    std::function<void(QDialog&, int step)> set;    // a value change (step 0 = the one confirmed)
    std::function<int16_t(Bitmap&)> op;
};

const EffectVariant& variant(int flags) { return *EffectDialog::variantFor(flags); }

std::vector<Case> cases() {
    using namespace ops;
    auto effect = [](const char* name, MenuId item, int flags, int value, int16_t (*op)(Bitmap&, int)) {
        return Case{name, item,
                    [flags](const Bitmap& b) { return new EffectDialog(variant(flags), 0, b); },
                    [value](QDialog& d, int step) { setSpin(d, "Value1", step == 0 ? value : value + (step % 2 ? 1 : -1)); },
                    [op, value](Bitmap& b) { return op(b, value); }};
    };
    return {
        effect("brightness", MenuId::ColorBrightness, 0x2, 40, [](Bitmap& b, int v) { return brightness(b, v); }),
        effect("contrast", MenuId::ColorContrast, 0x4, 50, [](Bitmap& b, int v) { return contrast(b, v); }),
        effect("saturation", MenuId::ColorSaturation, 0x8, 50, [](Bitmap& b, int v) { return saturation(b, v); }),
        effect("histo_contrast", MenuId::ColorHistoContrast, 0x10, 50,
               [](Bitmap& b, int v) { return histogramContrast(b, v); }),
        effect("hue", MenuId::ColorHue, 0x20, 90, [](Bitmap& b, int v) { return hue(b, v); }),
        effect("halftone", MenuId::HalftonePrint, 0x40, 45,
               [](Bitmap& b, int v) { return halftone(b, kHalftonePrint, v); }),
        {"gamma", MenuId::ColorGamma, [](const Bitmap& b) { return new GammaDialog(0, b); },
         [](QDialog& d, int step) { setSpin(d, "Value1", 220 + step); },
         [](Bitmap& b) { return gammaCorrect(b, 220); }},
        {"detect", MenuId::ColorDetect, [](const Bitmap& b) { return new IntensityDetectDialog(0, 255, b); },
         [](QDialog& d, int step) { setSpin(d, "Value1", 128 + step); },
         [](Bitmap& b) { return intensityDetect(b, 128, 255); }},
        {"colour_res8", MenuId::ColorResolution, [](const Bitmap& b) { return new ColourResolutionDialog(b); },
         [](QDialog& d, int step) {
             auto* bits = d.findChild<QComboBox*>("Bits");
             bits->setCurrentIndex(bits->findData(step == 0 ? 8 : (step % 2 ? 4 : 8)));
         },
         [](Bitmap& b) { return colourResolution(b, 8, kResOptimised, kDitherDiffusion, 0); }},
        effect("posterize", MenuId::EffectsPosterize, 0x80, 4, [](Bitmap& b, int v) { return posterize(b, v); }),
        effect("mosaic", MenuId::EffectsMosaic, 0x100, 10, [](Bitmap& b, int v) { return mosaic(b, v); }),
        effect("average", MenuId::EffectsAverage, 0x200, 2, [](Bitmap& b, int v) { return average(b, v); }),
        effect("median", MenuId::EffectsMedian, 0x400, 2, [](Bitmap& b, int v) { return median(b, v); }),
        effect("sharpen", MenuId::EffectsSharpen, 0x1, 60, [](Bitmap& b, int v) { return sharpen(b, v); }),
        {"noise", MenuId::EffectsAddNoise, [](const Bitmap& b) { return new NoiseDialog(0, 0, b); },
         [](QDialog& d, int step) { setSpin(d, "Value1", 20 + step); },
         [](Bitmap& b) { return addNoise(b, 20, 0); }},
        {"emboss", MenuId::EffectsEmboss, [](const Bitmap& b) { return new EmbossDialog(0, 0, b); },
         [](QDialog& d, int step) {
             setSpin(d, "Value1", 45 + step);
             setSpin(d, "Value2", 40);
         },
         [](Bitmap& b) { return emboss(b, 45, 40); }},
        effect("oilify", MenuId::EffectOilify, 0x800, 3, [](Bitmap& b, int v) { return oilify(b, v); }),
        effect("solarize", MenuId::EffectSolarize, 0x4000, 128, [](Bitmap& b, int v) { return solarize(b, v); }),
        {"spatial_sobel", MenuId::SpatialSobel, [](const Bitmap& b) { return new SpatialFilterDialog(0x4, b); },
         [](QDialog& d, int step) { d.findChild<QListWidget*>("Filter")->setCurrentRow(step == 0 ? 1 : step % 2); },
         [](Bitmap& b) { return spatialFilter(b, kFilterSobelV); }},
        {"greyscale", MenuId::ColorGrayscale, nullptr, nullptr, [](Bitmap& b) { return greyscale(b, 8); }},
        {"invert", MenuId::ColorInvert, nullptr, nullptr, [](Bitmap& b) { return invert(b); }},
        {"equalise", MenuId::ColorHistoEq, nullptr, nullptr, [](Bitmap& b) { return histogramEqualise(b); }},
        {"stretch", MenuId::ColorStretchIntensity, nullptr, nullptr, [](Bitmap& b) { return stretchIntensity(b); }},
        {"count_colours", MenuId::CountUniqueColors, nullptr, nullptr,
         [](Bitmap& b) {
             uint32_t n;
             return countColours(b, n);
         }},
        {"edge_enhance", MenuId::EffectsEdgeEnhance, nullptr, nullptr,
         [](Bitmap& b) {
             Bitmap d = b;
             if (int16_t c = spatialFilter(d, kFilterEdgeDetail)) return c;
             return combine(b, 0, 0, b.width(), b.height(), d, 0, 0, kCombineAddDetail);
         }},
    };
}

// The operation's own time: best of three runs on a copy sharing the pixels.
double opMs(const Bitmap& pic, const std::function<int16_t(Bitmap&)>& op) {
    double best = 1e30;
    for (int i = 0; i < 3; ++i) {
        Bitmap work = pic;
        const auto t0 = Clock::now();
        op(work);
        best = std::min(best, msSince(t0));
    }
    return best;
}

void settle() {
    for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

}  // namespace

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::string path = QOVA_BENCH_DIR "/../../shared/samples/flower.jpg";
    int w = 6000, h = 4000, updates = 12;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--photo") && i + 1 < argc) path = argv[++i];
        else if (!std::strcmp(argv[i], "--size") && i + 1 < argc) std::sscanf(argv[++i], "%dx%d", &w, &h);
        else if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
        else if (!std::strcmp(argv[i], "--updates") && i + 1 < argc) updates = std::atoi(argv[++i]);
    }
    const Bitmap pic = photo(path, w, h);
    std::printf("photo %d x %d (%.1f megapixels), 24 bits\n", pic.width(), pic.height(), pic.width() * double(pic.height()) / 1e6);
    const std::vector<Case> all = cases();

    // Each operation's own time on the whole photo, once for both tables.
    std::vector<double> own(all.size());
    for (size_t i = 0; i < all.size(); ++i)
        if (only.empty() || only == all[i].name) own[i] = opMs(pic, all[i].op);

    // Qt's first dialog loads fonts and styles; that is no dialog's own time.
    delete all[0].dialog(pic);

    std::printf("\n1. Preview update after a value change (copy at preview size, %d changes)\n", updates);
    std::printf("%-16s %8s %9s %9s %9s %11s %9s\n", "dialog", "view", "open ms", "mean ms", "max ms", "max/op", "op ms");
    for (size_t i = 0; i < all.size(); ++i) {
        const Case& c = all[i];
        if (!c.dialog || (!only.empty() && only != c.name)) continue;
        for (int actual = 0; actual < 2; ++actual) {
            const auto t0 = Clock::now();
            std::unique_ptr<QDialog> d(c.dialog(pic));
            auto* pane = d->findChild<PreviewPane*>("Preview");
            const double open = msSince(t0);
            const bool startActual = pane->actualSize();
            if (actual == 1) pane->setActualSize(!startActual);
            pane->updateNow();
            double sum = 0, worst = 0;
            for (int k = 1; k <= updates; ++k) {
                c.set(*d, k);
                const auto u0 = Clock::now();
                pane->updateNow();
                const double t = msSince(u0);
                sum += t;
                worst = std::max(worst, t);
            }
            const bool isActual = actual ? !startActual : startActual;
            std::printf("%-16s %8s %9.1f %9.2f %9.2f %10.3fx %9.1f%s\n", actual ? "" : c.name,
                        isActual ? "1:1" : "whole", actual ? 0.0 : open, sum / updates, worst, worst / own[i], own[i],
                        actual ? " (other view)" : "");
        }
    }

    std::printf("\n2. Command in the main window (dialog answered at once, repaint painted) vs the operation alone\n");
    std::printf("%-16s %9s %9s %9s %9s %9s %9s %9s\n", "command", "total ms", "dialog", "after", "paint", "op ms",
                "total/op", "/op+rep");
    double repaint = 1e30;
    app::Form1 form(std::make_unique<QuietUi>());
    form.Form_Load(QString());
    form.resize(1280, 900);
    form.show();
    settle();
    {
        // The repaint alone: the shown picture's pixels changed, then painted.
        form.controls().Img1->setDocument(docOf(pic));
        form.UpdateImageInfo();
        settle();
        for (int k = 0; k < 3; ++k) {
            form.controls().Img1->setCurrentBitmap(pic.clone());
            const auto t0 = Clock::now();
            form.controls().Img1->repaint();
            settle();
            repaint = std::min(repaint, msSince(t0));
        }
        std::printf("%-16s %9.1f  (showing a changed 24-megapixel picture fitted to the window)\n", "repaint only",
                    repaint);
    }
    for (size_t i = 0; i < all.size(); ++i) {
        const Case& c = all[i];
        if (!only.empty() && only != c.name) continue;
        // Best of three runs, each on the photo as loaded.
        double total = 1e30, dialog = 0, paint = 0;
        for (int run = 0; run < 3; ++run) {
            form.controls().Img1->setDocument(docOf(pic));
            form.UpdateImageInfo();
            settle();
            Clock::time_point closed;
            EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind) {
                c.set(d, 0);
                closed = Clock::now();
                return true;
            });
            const auto t0 = Clock::now();
            closed = t0;
            form.action(c.item)->trigger();
            const double returned = msSince(t0);
            settle();
            const double t = msSince(t0);
            if (t < total) {
                total = t;
                dialog = std::chrono::duration<double, std::milli>(closed - t0).count();
                paint = t - returned;
            }
        }
        std::printf("%-16s %9.1f %9.1f %9.1f %9.1f %9.1f %8.2fx %8.2fx\n", c.name, total, dialog, total - dialog,
                    paint, own[i], total / own[i], total / (own[i] + repaint));
        std::fflush(stdout);
    }
    EngineDialog::setAnswerHook({});
    std::printf("\nview: the preview's view in that row (whole picture reduced, or a part at 1:1).\n"
                "open: making the dialog, its preview copy and the first preview.\n"
                "max/op: slowest preview update over the operation's own time on the whole photo.\n"
                "dialog: from the menu item to the dialog confirmed (no time for the user); after: the rest\n"
                "  (snapshot, operation through the control, view reset, status, repaint painted);\n"
                "  paint: the part of it spent painting the changed picture once the command returned.\n"
                "/op+rep: total over the operation's own time plus \"repaint only\" (the floor of a command\n"
                "  that changes the picture and shows it). Commands: best of three runs.\n");
    return 0;
}
