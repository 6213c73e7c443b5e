// The printer part of the standard common dialog (CommonDialog1): with
// CancelError set a cancelled dialog raises error 32755; Flags 64 shows the
// print-setup dialog (paper and orientation), any other value the print
// dialog (printer, range, copies, and the printer's own properties). Tests
// answer through a hook instead of the real dialogs.
#pragma once

#include <functional>

class QPrinter;
class QWidget;

namespace qova::output {

// The common dialog's published numbers.
constexpr int kCdlCancel = 32755;     // the error a cancelled dialog raises
constexpr int kPdPrintSetup = 64;     // Flags: the print-setup dialog

class PrinterDialog {
public:
    bool CancelError = false;
    int Flags = 0;

    // Shows the dialog on `printer`, which keeps what the user chose.
    void ShowPrinter(QPrinter& printer, QWidget* owner);

    enum class Kind { PrintSetup, Print };
    // Answers in place of the real dialog: may change the printer, returns
    // true for OK, false for Cancel, and may throw to stand for a failing
    // dialog. Null gives the real dialogs again.
    using AnswerHook = std::function<bool(QPrinter&, Kind)>;
    static void setAnswerHook(AnswerHook hook);
};

// The printer's paper size and orientation as the layout's codes (print_layout.h).
int paperSizeCode(const QPrinter& printer);
int orientationCode(const QPrinter& printer);

}  // namespace qova::output
