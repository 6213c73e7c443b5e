// The number boxes of the frame and screen settings: typing lets only
// digits and backspace through (unless Ctrl is held, so that paste works),
// and text that is no whole number makes the box beep and empty itself.
#pragma once

#include <QLineEdit>
#include <QStringView>

#include <cstdint>

namespace qova::animation {

// True when `text` reads as a number (blanks around it, a sign, a
// fraction or an exponent allowed) that rounds into a 32-bit integer.
bool toLong(QStringView text, int32_t& value);

// A dialog's Ctrl flag (fCtrlDown), shared by all its number boxes.
struct CtrlFlag {
    bool fCtrlDown = false;
};

class NumberBox : public QLineEdit {
    Q_OBJECT
public:
    NumberBox(CtrlFlag& flag, QWidget* parent = nullptr);

signals:
    // The box refused its text (for tests; people hear the beep).
    void beeped();

protected:
    void keyPressEvent(QKeyEvent* e) override;

private:
    void Text_Change();
    CtrlFlag& flag_;
    bool emptying_ = false;
};

}  // namespace qova::animation
