// The animation toolbox: a small tool window that steps through the frames
// of the main image control, plays them and sets the loop. The animation
// subsystem creates it hidden; the shell keeps its page buttons and loop
// caption current through the AnimationToolbox service.
#pragma once

#include <QWidget>

#include "shell/services.h"

class QPushButton;

namespace qova::engine {
class ImageControl;
}

namespace qova::animation {

class Form6 : public QWidget, public shell::AnimationToolbox {
    Q_OBJECT
public:
    // `img` is the main window's image control whose frames the buttons turn.
    explicit Form6(engine::ImageControl* img, QWidget* parent = nullptr);

    // Command1 … Command7: first, previous, next, last, play, loop, settings.
    QPushButton* Command(int n) const;

    // Enables the page buttons for the frame shown and redraws at once.
    void CheckViewMenu();

    // --- AnimationToolbox ---
    void setPageButtons(shell::PageSteps steps) override;
    void setLoopCaption(bool loop) override;

private:
    engine::ImageControl* img_;
    QPushButton* buttons_[7];
};

}  // namespace qova::animation
