// The status bar: six panels (1 the date, kept current by the bar itself;
// 2 the time; 3–6 the image's size, width, height and depth) and the
// progress gauge, an outline with a fill bar laid over it.
#pragma once

#include <QStatusBar>

class QLabel;
class QFrame;
class QTimer;

namespace qova::shell {

class StatusBar : public QStatusBar {
    Q_OBJECT
public:
    explicit StatusBar(QWidget* parent = nullptr);

    static constexpr int kPanels = 6;
    // Panels are numbered from 1.
    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);
    QLabel* panel(int panel) const;

    QFrame* StatGauge() const { return gauge_; }
    QFrame* StatGaugeFill() const { return fill_; }
    // Fill := gauge width × percent / 100.
    void setGaugePercent(int percent);

private:
    void refreshDate();
    QLabel* panels_[kPanels];
    QFrame* gauge_;
    QFrame* fill_;
    QTimer* dateTimer_;
};

}  // namespace qova::shell
