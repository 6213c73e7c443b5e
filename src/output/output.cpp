#include "output/output.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QWidget>

#include <exception>

#include "engine/image_control.h"
#include "output/print_layout.h"
#include "shell/context.h"
#include "shell/error_texts.h"
#include "shell/numbers.h"
#include "shell/twips.h"
#include "shell/ui_services.h"

namespace qova::output {

using shell::MenuId;

namespace {

const QString kHappened = QStringLiteral("が発生しました。");

// The hourglass for as long as it lives, however the command ends.
class Hourglass {
public:
    explicit Hourglass(shell::ShellContext& ctx) : ctx_(ctx) { ctx_.WaitCursorOn(); }
    ~Hourglass() { ctx_.WaitCursorOff(); }

private:
    shell::ShellContext& ctx_;
};

// Marks an output command as running until it ends.
class Running {
public:
    explicit Running(bool& flag) : flag_(flag) { flag_ = true; }
    ~Running() { flag_ = false; }

private:
    bool& flag_;
};

}  // namespace

Output::Output(shell::ShellContext& ctx) : ctx_(ctx) {
    ctx_.onTriggered(MenuId::mnuFilePrintSet, [this] { mnuFilePrintSet_Click(); });
    ctx_.onTriggered(MenuId::mnuFilePrint, [this] { mnuFilePrint_Click(); });
    ctx_.onTriggered(MenuId::mnuFileSelectSource, [this] { mnuFileSelectSource_Click(); });
    ctx_.onTriggered(MenuId::mnuFileAcquire, [this] { mnuFileAcquire_Click(); });
    ctx_.onTriggered(MenuId::mnuFileCaptureScreen, [this] { mnuFileCaptureScreen_Click(); });
}

Output::~Output() = default;

QPrinter& Output::printer() {
    if (!printer_) printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

void Output::mnuFilePrintSet_Click() {
    if (busy_) return;
    Running running(busy_);
    try {
        CommonDialog1.CancelError = true;
        CommonDialog1.Flags = kPdPrintSetup;
        CommonDialog1.ShowPrinter(printer(), ctx_.mainWindow());
    } catch (const std::exception& e) {
        const shell::RunTimeError err = shell::runTimeError(e);
        if (err.number == kCdlCancel) return;
        ctx_.ui().msgBox(shell::runTimeErrorMessage(QStringLiteral("VB Error: "), err), shell::OkOnly,
                         QStringLiteral("Print Setup Error"));
    }
}

void Output::mnuFilePrint_Click() {
    if (!ctx_.state().fImage || busy_) return;
    Running running(busy_);
    engine::ImageControl* img = ctx_.controls().Img1;
    QPrinter& p = printer();
    int16_t r = 0;
    try {
        CommonDialog1.CancelError = true;
        CommonDialog1.Flags = 0;
        CommonDialog1.ShowPrinter(p, ctx_.mainWindow());
        const PrintArea area = printableArea(paperSizeCode(p), orientationCode(p));
        const float W = float(img->bitmapWidth()), H = float(img->bitmapHeight());
        const PrintSize size = printSize(W, H, area);

        Hourglass hourglass(ctx_);
        img->setProgressEnabled(ctx_.state().fProgress != 0);
        // Device units of 1/300 inch, from the printable area's corner.
        p.setResolution(kUnitsPerInch);
        p.setFullPage(false);
        p.setDocName(ctx_.state().sFileName.isEmpty() ? QStringLiteral("QOVA") : ctx_.state().sFileName);
        QPainter painter;
        if (!painter.begin(&p)) return;  // the printer would not start a document: silently, as any failure here
        try {
            r = img->renderToDevice(&painter, 0, 0, size.width, size.height);
        } catch (...) {
            // Nothing half drawn goes to the printer.
            p.abort();
            throw;
        }
        painter.end();
    } catch (const std::exception&) {
        return;
    }
    if (r != 0)
        ctx_.ui().msgBox(QStringLiteral("ｴﾗｰ '") + shell::numberText(r) + QStringLiteral(", ' ") + kHappened,
                         shell::OkOnly, QStringLiteral("印刷 ｴﾗｰ"));
}

void Output::mnuFileSelectSource_Click() {
    if (busy_) return;
    Running running(busy_);
    const int16_t r = ctx_.controls().Img1->selectTwainSource(ctx_.mainWindow());
    if (r != 0)
        ctx_.ui().msgBox(QStringLiteral("Error '") + shell::numberText(r) + QStringLiteral(", ") +
                             shell::DecodeError(r) + QStringLiteral("' was generated."),
                         shell::OkOnly, QStringLiteral("ｴﾗｰ: TWAIN機器の選択"));
}

void Output::mnuFileAcquire_Click() {
    if (busy_) return;
    Running running(busy_);
    const int16_t r = ctx_.controls().Img1->acquireTwain(ctx_.mainWindow());
    if (r != 0) {
        ctx_.ui().msgBox(shell::quotedErrorMessage(r, kHappened), shell::OkOnly,
                         QStringLiteral("ｴﾗｰ: TWAIN機器からの入力"));
        return;
    }
    imageArrived();
}

void Output::mnuFileCaptureScreen_Click() {
    if (busy_) return;
    Running running(busy_);
    engine::ImageControl* img = ctx_.controls().Img1;
    int16_t r = 0;
    {
        Hourglass hourglass(ctx_);
        // The screen as it is once the menu has gone: let the windows under
        // it repaint first (no input is taken meanwhile).
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        const QScreen* screen = QGuiApplication::primaryScreen();
        const QRect g = screen ? screen->geometry() : QRect();
        const double width = shell::pixelsToTwips(g.width()) / shell::twipsPerPixel();
        const double height = shell::pixelsToTwips(g.height()) / shell::twipsPerPixel();
        r = img->capture(0, 0, 0, width, height);
    }
    if (r != 0) {
        ctx_.ui().msgBox(shell::quotedErrorMessage(r, kHappened), shell::OkOnly, QStringLiteral("ｴﾗｰ: 画面ｷｬﾌﾟﾁｬ"));
        return;
    }
    if (img->bitsPerPixel() <= 8) img->repaint();
    imageArrived();
}

void Output::imageArrived() {
    shell::WindowState& s = ctx_.state();
    s.fImage = 1;
    // The picture shown is no longer the file last picked from the list:
    // the toolbar's copy and delete must not act on that file any more.
    s.sFilePath.clear();
    s.sFileName.clear();
    // An image is shown, so its commands are open, as after a load; the
    // zoom, the status panels and the view mode stay as they were.
    ctx_.MenuItemsEnable(true);
}

}  // namespace qova::output
