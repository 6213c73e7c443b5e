// Animation: the toolbox Form6 (created hidden with the window; its page
// buttons and loop caption are the shell's AnimationToolbox service). The
// composition, settings and playback commands come here.
#pragma once

#include "shell/subsystem.h"

namespace qova::shell {
class ShellContext;
}

namespace qova::animation {

class Form6;

class Animation : public shell::Subsystem {
public:
    explicit Animation(shell::ShellContext& ctx);
    Form6* form6() const { return form6_; }

private:
    shell::ShellContext& ctx_;
    Form6* form6_;  // owned by the main window
};

}  // namespace qova::animation
