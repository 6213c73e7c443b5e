// Putting images into Img1 and taking them out: Open through the engine's
// open dialog, Close, and turning the pages of a multi-page file.
#pragma once

#include <QString>

namespace qova::shell {
class ShellContext;
}

namespace qova::files {

class OpenCommands {
public:
    explicit OpenCommands(shell::ShellContext& ctx);

    void mnuFileOpen_Click();
    void mnuFileClose_Click();
    void FirstPage_Click();
    void PrevPage_Click();
    void NextPage_Click();
    void LastPage_Click();

    // The open dialog's filter, built on first use and kept for the run.
    const QString& filter() const { return filter_; }
    bool filterBuilt() const { return filterBuilt_; }

    // The message a failed load shows.
    static QString loadErrorText(const QString& path, int16_t code);

private:
    void turnTo(int index);
    shell::ShellContext& ctx_;
    bool filterBuilt_ = false;
    QString filter_;
    QString lastPath_;
    int lastPage_ = 0;
};

}  // namespace qova::files
