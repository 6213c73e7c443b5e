// Animation: the Animation menu's commands (create, play, loop, palette
// optimisation, screen and frame settings, toolbox), the toolbox Form6
// (created hidden with the window; its page buttons and loop caption are
// the shell's AnimationToolbox service) and Img1's animation notification.
// The menu is hidden at start; Ctrl+Shift+A in the main window shows it
// (and hides it again), since nothing else would let a user reach it.
#pragma once

#include "shell/subsystem.h"

class QAction;

namespace qova::shell {
class ShellContext;
}

namespace qova::animation {

class Form6;

class Animation : public shell::Subsystem {
public:
    explicit Animation(shell::ShellContext& ctx);
    Form6* form6() const { return form6_; }
    // The main window's Ctrl+Shift+A.
    QAction* showMenuAction() const { return showMenu_; }

    void AnimateCreate_Click();
    void AnimateGo_Click();
    void AnimateLoop_Click();
    void MainAnimation_Click();
    void AnimateOptimizeColors_Click();
    void AnimateScreenSettings_Click();
    void AnimateFrameSettings_Click();
    void AnimateToolbox_Click();
    // The animation notification: repaint, then the toolbox's buttons.
    void Img1_Animation();

private:
    void showFrameSettings();
    shell::ShellContext& ctx_;
    Form6* form6_;      // owned by the main window
    QAction* showMenu_;  // owned by the main window
};

}  // namespace qova::animation
