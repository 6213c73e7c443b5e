// Acquisition and output: Print settings and Print (the picture on one page
// through the printer dialogs and the engine's render), choosing a scanner
// and acquiring from it, and capturing the screen, all into or from Img1.
#pragma once

#include <QString>

#include <memory>

#include "output/printer_dialog.h"
#include "shell/subsystem.h"

class QPrinter;

namespace qova::shell {
class ShellContext;
}

namespace qova::output {

class Output : public shell::Subsystem {
public:
    explicit Output(shell::ShellContext& ctx);
    ~Output() override;

    void mnuFilePrintSet_Click();
    void mnuFilePrint_Click();
    void mnuFileSelectSource_Click();
    void mnuFileAcquire_Click();
    void mnuFileCaptureScreen_Click();

    // The printer the dialogs set up, made on first use and kept for the
    // run, so Print starts from what Print settings chose.
    QPrinter& printer();
    PrinterDialog CommonDialog1;

private:
    // After an acquisition or capture: fImage, the shown file forgotten,
    // the image menus on.
    void imageArrived();
    shell::ShellContext& ctx_;
    std::unique_ptr<QPrinter> printer_;
    // One output command at a time: the print gauge lets the window run.
    bool busy_ = false;
};

}  // namespace qova::output
