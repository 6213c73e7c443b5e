#include "shell/status_bar.h"

#include <QDate>
#include <QDateTime>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <algorithm>
#include <cmath>

#include "shell/trap.h"

namespace qova::shell {

namespace {

// A panel asks for its width but gives it up to a narrow window (down to
// a sliver), so the status bar never decides how narrow the window may be.
class Panel : public QLabel {
public:
    Panel(int preferred, QWidget* parent) : QLabel(parent), preferred_(preferred) {}
    QSize sizeHint() const override { return {std::max(preferred_, QLabel::sizeHint().width()), QLabel::sizeHint().height()}; }
    QSize minimumSizeHint() const override { return {8, QLabel::minimumSizeHint().height()}; }

private:
    int preferred_;
};

class Gauge : public QFrame {
public:
    using QFrame::QFrame;
    QSize sizeHint() const override { return {160, 14}; }
    QSize minimumSizeHint() const override { return {16, 14}; }
};

}  // namespace

StatusBar::StatusBar(QWidget* parent) : QStatusBar(parent) {
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    static const int widths[kPanels] = {90, 80, 120, 100, 100, 60};
    for (int i = 0; i < kPanels; ++i) {
        auto* l = new Panel(widths[i], this);
        l->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        l->setFrameShape(QFrame::Panel);
        l->setFrameShadow(QFrame::Sunken);
        l->setContentsMargins(4, 0, 4, 0);
        panels_[i] = l;
        addWidget(l, i == 2 ? 1 : 0);
    }
    // The gauge sits at the right end, clear of the window edge.
    auto* holder = new QWidget(this);
    holder->setContentsMargins(4, 0, 8, 0);
    auto* row = new QHBoxLayout(holder);
    row->setContentsMargins(0, 0, 0, 0);
    gauge_ = new Gauge(holder);
    gauge_->setObjectName(QStringLiteral("StatGauge"));
    gauge_->setFrameShape(QFrame::Box);
    gauge_->setFixedHeight(14);
    gauge_->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    fill_ = new QFrame(gauge_);
    fill_->setObjectName(QStringLiteral("StatGaugeFill"));
    fill_->setAutoFillBackground(true);
    QPalette p = fill_->palette();
    p.setColor(QPalette::Window, p.color(QPalette::Highlight));
    fill_->setPalette(p);
    fill_->setGeometry(0, 0, 0, gauge_->height());
    row->addWidget(gauge_);
    addPermanentWidget(holder);

    // The date panel keeps itself current: refresh just after each midnight.
    dateTimer_ = new QTimer(this);
    dateTimer_->setSingleShot(true);
    connectTrapped(dateTimer_, &QTimer::timeout, this, [this] { refreshDate(); });
    refreshDate();
}

void StatusBar::refreshDate() {
    const QDateTime now = QDateTime::currentDateTime();
    panels_[0]->setText(QLocale::system().toString(now.date(), QLocale::ShortFormat));
    const QDateTime next(now.date().addDays(1), QTime(0, 0, 1));
    dateTimer_->start(int(std::min<qint64>(now.msecsTo(next), 3600 * 1000)));
}

QLabel* StatusBar::panel(int n) const { return (n >= 1 && n <= kPanels) ? panels_[n - 1] : nullptr; }

QString StatusBar::panelText(int n) const { return panel(n) ? panel(n)->text() : QString(); }

void StatusBar::setPanelText(int n, const QString& text) {
    if (QLabel* l = panel(n)) l->setText(text);
}

void StatusBar::setGaugePercent(int percent) {
    const double w = double(gauge_->width()) * percent / 100.0;
    fill_->setGeometry(0, 0, int(std::lround(w)), gauge_->height());
}

}  // namespace qova::shell
