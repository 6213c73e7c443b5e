#include "output/printer_dialog.h"

#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

#include "engine/core/engine_error.h"
#include "output/print_layout.h"

namespace qova::output {

namespace {

PrinterDialog::AnswerHook& hook() {
    static PrinterDialog::AnswerHook h;
    return h;
}

}  // namespace

void PrinterDialog::setAnswerHook(AnswerHook h) { hook() = std::move(h); }

void PrinterDialog::ShowPrinter(QPrinter& printer, QWidget* owner) {
    const Kind kind = (Flags & kPdPrintSetup) ? Kind::PrintSetup : Kind::Print;
    bool ok = false;
    if (hook()) {
        ok = hook()(printer, kind);
    } else if (kind == Kind::PrintSetup) {
        QPageSetupDialog d(&printer, owner);
        d.setWindowTitle(QStringLiteral("印刷の設定"));
        ok = d.exec() == QDialog::Accepted;
    } else {
        QPrintDialog d(&printer, owner);
        d.setWindowTitle(QStringLiteral("印刷"));
        // One picture on one page: no page range to choose.
        d.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
        ok = d.exec() == QDialog::Accepted;
    }
    if (!ok && CancelError) throw engine::EngineError(kCdlCancel, "ｷｬﾝｾﾙが選択されました。", "CommonDialog");
}

int paperSizeCode(const QPrinter& printer) {
    switch (printer.pageLayout().pageSize().id()) {
    case QPageSize::Letter: return kPaperLetter;
    case QPageSize::Legal: return kPaperLegal;
    case QPageSize::A4: return kPaperA4;
    default: return kPaperOther;
    }
}

int orientationCode(const QPrinter& printer) {
    return printer.pageLayout().orientation() == QPageLayout::Portrait ? kPortrait : kLandscape;
}

}  // namespace qova::output
