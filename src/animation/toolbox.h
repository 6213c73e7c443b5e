// The animation toolbox: a small tool window that steps through the frames
// of the main image control, plays them and sets the loop. The main window
// creates it hidden and keeps its page buttons and loop caption current.
#pragma once

#include <QWidget>

class QPushButton;

namespace qova::engine {
class ImageControl;
}

namespace qova::animation {

class Form6 : public QWidget {
    Q_OBJECT
public:
    // `img` is the main window's image control whose frames the buttons turn.
    explicit Form6(engine::ImageControl* img, QWidget* parent = nullptr);

    // Command1 … Command7: first, previous, next, last, play, loop, settings.
    QPushButton* Command(int n) const;

    // Enables the page buttons for the frame shown and redraws at once.
    void CheckViewMenu();

private:
    engine::ImageControl* img_;
    QPushButton* buttons_[7];
};

}  // namespace qova::animation
