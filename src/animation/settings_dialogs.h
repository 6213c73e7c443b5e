// The animation's settings dialogs: ScreenSet for the canvas (background
// colour, colour depth, size) and FrameSet for the frame Img1 shows (delay,
// disposal, position, transparent colour). Each reads the engine when it
// opens and writes back on a valid OK, in a fixed order; invalid input
// keeps it open with the focus on the offending box.
#pragma once

#include <QDialog>

#include <cstdint>

#include "animation/number_box.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace qova::engine {
class ImageControl;
}
namespace qova::shell {
class UiServices;
}

namespace qova::animation {

// Modal dialogs of the animation run through this: tests put a hook that
// works the dialog (its buttons) instead of a person; null shows it.
using ModalHook = std::function<void(QDialog&)>;
void setModalHook(ModalHook hook);
void runModal(QDialog& d);

// Paints a colour box in its colour with the text in the colour XOR FFFFFF.
void paintColourBox(QLineEdit* box, uint32_t colour);

class ScreenSet : public QDialog {
    Q_OBJECT
public:
    ScreenSet(engine::ImageControl* img, shell::UiServices& ui, QWidget* parent = nullptr);

    QLineEdit* Text1;        // background colour "&H…"
    QPushButton* cmdBackColor;
    QComboBox* Combo1;       // bit depth
    NumberBox* Text3;        // width
    NumberBox* Text4;        // height
    QPushButton* cmdOkCancel[2];

    // False (focus on the box) when the width or height is out of range.
    bool ValidateSettings();

private:
    void Form_Load();
    void cmdBackColor_Click();
    void cmdOkCancel_Click(int index);
    engine::ImageControl* img_;
    shell::UiServices& ui_;
    CtrlFlag flag_;
};

class FrameSet : public QDialog {
    Q_OBJECT
public:
    FrameSet(engine::ImageControl* img, shell::UiServices& ui, QWidget* parent = nullptr);

    NumberBox* Text2;        // delay
    QComboBox* Combo1;       // disposal
    NumberBox* Text3;        // left
    NumberBox* Text4;        // top
    QCheckBox* Check2;       // transparency
    QLineEdit* Text1;        // transparent colour "&H…"
    QPushButton* cmdColor;
    QPushButton* cmdOKCancel[2];

    // False when a box is not in canonical form (focus unchanged) or out of
    // range (focus on it).
    bool ValidateSettings();

private:
    void Form_Load();
    void Check2_Click();
    void cmdColor_Click();
    void cmdOKCancel_Click(int index);
    engine::ImageControl* img_;
    shell::UiServices& ui_;
    CtrlFlag flag_;
};

}  // namespace qova::animation
