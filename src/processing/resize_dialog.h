// Resize: the dialog that asks for a new width and height in pixels, each
// shown as a box and a scroll bar kept in step, with an optional fixed
// aspect ratio (taken from the bitmap, or from the region's box when the
// selection is resized) and a resampling choice. Callers make one, call
// InitTheForm, show it with exec() and read GetResults.
#pragma once

#include <QDialog>

#include <cstdint>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace qova::engine {
class ImageControl;
}

namespace qova::processing {

class Resize : public QDialog {
    Q_OBJECT
public:
    // `img` is Img1, read for the sizes whenever they are needed.
    explicit Resize(engine::ImageControl& img, QWidget* parent = nullptr);

    // 0: resize the whole bitmap; 3: resize the selected region.
    void InitTheForm(int16_t FormType);
    // fOK −1 after an accepted OK, else 0; the two bars' values; fResample
    // −1 when ResampleBox is checked.
    void GetResults(int16_t& fOK, int16_t& nValue1, int16_t& nValue2, int16_t& fResample) const;

    QGroupBox* Frame1;
    QGroupBox* Frame2;
    QLineEdit* Value1Box;
    QScrollBar* Value1Bar;
    QLineEdit* Value2Box;
    QScrollBar* Value2Bar;
    QCheckBox* AspectRatioBox;
    QCheckBox* ResampleBox;
    QPushButton* cmdOKCancel[2];

    // --- event handlers (index 0 width, 1 height) ---
    void ValueBar_Change(int Index);
    void ValueBox_Change(int Index);
    void AspectRatioBox_Click();
    void cmdOKCancel_Click(int Index);

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;
    void reject() override;

private:
    // The aspect source: the region's box (FormType 3) or the bitmap.
    double P() const;
    double Q() const;
    // The other side for a value of this side, keeping the aspect.
    double derived(int Index, int value) const;
    void centreOnScreen();

    engine::ImageControl& img_;
    QLineEdit* box_[2];
    QScrollBar* bar_[2];
    int16_t FormType_ = 0;
    int16_t fOK_ = 0;
    int16_t guard_[2] = {0, 0};
    int16_t fCtrl_ = 0;
};

}  // namespace qova::processing
