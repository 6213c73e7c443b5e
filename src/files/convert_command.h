// File format conversion: one source file (and page) chosen in the engine's
// open dialog is loaded into Img1, written with the save dialog's choices,
// and Img1 is emptied again.
#pragma once

#include <QString>

namespace qova::shell {
class ShellContext;
}

namespace qova::files {

class ConvertCommand {
public:
    explicit ConvertCommand(shell::ShellContext& ctx);

    void mnuFileConvert_Click();

    // The source dialog's filter: built on the first conversion from the
    // window's format table and kept for the run (apart from the Open command's).
    const QString& filter() const { return filter_; }
    bool filterBuilt() const { return filterBuilt_; }

    // The message of a load or save that returned `code`.
    static QString failureText(int16_t code);

private:
    shell::ShellContext& ctx_;
    bool filterBuilt_ = false;
    QString filter_;
};

}  // namespace qova::files
