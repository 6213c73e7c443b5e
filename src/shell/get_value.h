// GetValue: the small modal dialog that asks for one whole number in a
// range, shown both as text and as a scroll bar kept in step. A caller
// sets it up with InitTheForm, shows it with exec(), and reads UserResult,
// GetAmount and GetResizeHorz afterwards. The zoom command and the
// processing commands share it.
#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollBar;

namespace qova::shell {

class GetValue : public QDialog {
    Q_OBJECT
public:
    explicit GetValue(QWidget* parent = nullptr);

    void InitTheForm(const QString& Title, const QString& UnitType, int16_t UnitMax, int16_t UnitMin,
                     int16_t UnitInit, int16_t LargeStep, int16_t SmallStep, int16_t ResizeHorz);
    // −1 when the last showing ended with an accepted OK, else 0.
    int16_t UserResult() const { return confirmed_; }
    // The bar's value when OK was accepted.
    int32_t GetAmount() const { return amount_; }
    // −1 while Resize_Horz is checked, else 0.
    int16_t GetResizeHorz() const;

    QLabel* GetValueType;
    QLineEdit* GetValueBox;
    QScrollBar* GetValueBar;
    QCheckBox* Resize_Horz;
    QPushButton* OK;
    QPushButton* Cancel;

    // --- event handlers ---
    void GetValueBar_Change();
    void GetValueBox_Change();
    void OK_Click();
    void Cancel_Click();

protected:
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void centreOnScreen();
    int16_t guard_ = 0;       // box and bar do not update each other while set
    int16_t confirmed_ = 0;
    int16_t amount_ = 0;
};

}  // namespace qova::shell
