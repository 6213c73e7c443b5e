// File format conversion: one source file (and page) chosen in the engine's
// open dialog is loaded into Img1, written with the save dialog's choices,
// and Img1 is emptied again.
#pragma once

#include <QString>

#include "app/subsystem.h"

namespace qova::app {
class Form1;
}

namespace qova::files {

class ConvertCommand : public app::Subsystem {
public:
    explicit ConvertCommand(app::Form1& form);

    void mnuFileConvert_Click();

    // The source dialog's filter: built on the first conversion from Form1's
    // format table and kept for the run (apart from the Open command's).
    const QString& filter() const { return filter_; }
    bool filterBuilt() const { return filterBuilt_; }

    // The message of a load or save that returned `code`.
    static QString failureText(int16_t code);

private:
    app::Form1& f_;
    bool filterBuilt_ = false;
    QString filter_;
};

}  // namespace qova::files
