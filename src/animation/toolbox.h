// The animation toolbox Form6: a small modeless tool window that steps
// through the frames of the main image control, plays them, sets the loop
// and opens the frame settings. The animation subsystem creates it hidden;
// the shell keeps its page buttons and loop caption current through the
// AnimationToolbox service.
#pragma once

#include <QWidget>

#include <functional>

#include "shell/services.h"

class QPushButton;

namespace qova::engine {
class ImageControl;
}

namespace qova::animation {

class Form6 : public QWidget, public shell::AnimationToolbox {
    Q_OBJECT
public:
    // `img` is the main window's image control whose frames the buttons
    // turn; `frameSettings` opens FrameSet modally (the settings button).
    Form6(engine::ImageControl* img, std::function<void()> frameSettings, QWidget* parent = nullptr);

    // Command1 … Command7: first, previous, next, last, play, loop, settings.
    QPushButton* Command(int n) const;

    // --- AnimationToolbox ---
    // Page buttons for the frame shown, the play button's caption, and a
    // redraw at once.
    void CheckViewMenu() override;
    void setPageButtons(shell::PageSteps steps) override;
    void setLoopCaption(bool loop) override;

protected:
    void showEvent(QShowEvent* e) override;

private:
    void turnTo(int index);
    void Command5_Click();
    void Command6_Click();
    void Command7_Click();
    engine::ImageControl* img_;
    std::function<void()> frameSettings_;
    QPushButton* buttons_[7];
};

}  // namespace qova::animation
