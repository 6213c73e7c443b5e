// A part of the program that lives inside the main window (files, view,
// processing, regions, animation, output, database). The window creates
// each in one line of its composition root and keeps it for the whole run;
// a subsystem wires its menu items with ShellContext::onTriggered() and
// reaches the window's state, controls and the other subsystems' services
// through the ShellContext it is given.
#pragma once

namespace qova::shell {

class Subsystem {
public:
    virtual ~Subsystem() = default;
};

}  // namespace qova::shell
