// Toolbar1's buttons: one click for the commands used most while browsing
// (open, save, print, zoom in and out, fit, normal, hiding and showing the
// file browser panel, copying and deleting the shown file, the clipboard).
// Each button carries its key as objectName; a click dispatches on the key.
// The buttons stay enabled while a long command runs, so each one checks
// for itself that there is something to act on.
#pragma once

#include <QString>
#include <QStringList>

#include "shell/subsystem.h"

class QAction;

namespace qova::shell {
class ShellContext;
}

namespace qova::app {

class Toolbar : public shell::Subsystem {
public:
    explicit Toolbar(shell::ShellContext& ctx);

    // The buttons' keys, in their order on the bar.
    static const QStringList& keys();
    QAction* button(const QString& key) const;

    // A click on the button with this key; an unknown key does nothing.
    void Toolbar1_ButtonClick(const QString& key);

private:
    void zoom(int delta);
    void setViewMode(int mode);
    void hidePanel();
    void showPanel();
    void copyShownFile();
    void deleteShownFile();
    void copyToClipboard();
    void setPanelVisible(bool visible);
    // True while the picture on screen is the file the list last showed
    // (sFilePath): the file buttons never act on a file not in view.
    bool showsListedFile() const;

    shell::ShellContext& ctx_;
};

}  // namespace qova::app
