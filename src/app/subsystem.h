// A part of the program that lives inside the main window (file browser,
// viewing, processing, regions, animation, output, database). Form1 creates
// each one in one place and keeps it for the whole run; the subsystem wires
// its menu items with Form1::onTriggered() and reaches the window's state and
// controls through the Form1 it is given.
#pragma once

namespace qova::app {

class Subsystem {
public:
    virtual ~Subsystem() = default;
};

}  // namespace qova::app
