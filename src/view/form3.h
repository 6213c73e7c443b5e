// Form3, the "ZOOM" dialog: six standard screen sizes to resample the image
// to. It is hidden, not destroyed, after use, so it keeps the last choice.
#pragma once

#include <QDialog>
#include <QSize>

class QPushButton;
class QRadioButton;

namespace qova::view {

class Form3 : public QDialog {
    Q_OBJECT
public:
    explicit Form3(QWidget* parent = nullptr);

    // Option(1)…Option(6): "640*400" … "1600*1200".
    QRadioButton* Option(int n) const { return options_[n - 1]; }
    QPushButton* Command1;   // "OK"
    QPushButton* Command2;   // "CANCEL"

    // The size the selected option stands for; 640 × 480 for the first
    // option (whose caption says 400) and when none is selected.
    QSize chosenSize() const;

private:
    QRadioButton* options_[6];
};

}  // namespace qova::view
