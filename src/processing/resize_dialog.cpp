#include "processing/resize_dialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "engine/image_control.h"
#include "shell/numbers.h"
#include "shell/trap.h"

namespace qova::processing {

namespace {

constexpr int kWidthMax = 16384;
constexpr int kLimit = 32767;

int64_t R(double v) { return shell::roundHalfEven(v); }
int limited(double v) { return int(std::min<int64_t>(R(v), kLimit)); }

// The box's text as a 16-bit whole number; false when it holds more than
// 16 bits or no number at all.
bool toInt16(const QString& text, int& v) {
    bool ok = false;
    const double d = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(d) || !shell::fitsInt16(d)) return false;
    v = int(R(d));
    return true;
}

// Whether a key press types a character into a box (rather than moving the
// caret or working the dialog's buttons).
bool typesCharacter(const QKeyEvent* e, QChar& c) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;
    case Qt::Key_Backspace:
        c = QChar(8);
        return true;
    default: break;
    }
    const QString t = e->text();
    if (t.isEmpty() || !t.at(0).isPrint()) return false;
    c = t.at(0);
    return true;
}

}  // namespace

Resize::Resize(engine::ImageControl& img, QWidget* parent) : QDialog(parent), img_(img) {
    setObjectName(QStringLiteral("Resize"));
    setWindowTitle(QStringLiteral("ﾘｻｲｽﾞ"));
    Frame1 = new QGroupBox(QStringLiteral("幅(&H) :"), this);
    Frame2 = new QGroupBox(QStringLiteral("高さ(&H) :"), this);
    QGroupBox* frames[2] = {Frame1, Frame2};
    for (int i = 0; i < 2; ++i) {
        box_[i] = new QLineEdit(frames[i]);
        box_[i]->setObjectName(QStringLiteral("Value%1Box").arg(i + 1));
        box_[i]->setAttribute(Qt::WA_InputMethodEnabled, false);
        box_[i]->setMinimumWidth(box_[i]->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
        box_[i]->installEventFilter(this);
        bar_[i] = new QScrollBar(Qt::Horizontal, frames[i]);
        bar_[i]->setObjectName(QStringLiteral("Value%1Bar").arg(i + 1));
        bar_[i]->setMinimumWidth(220);
        auto* caption = new QLabel(QStringLiteral("ﾋﾟｸｾﾙ"), frames[i]);
        caption->setObjectName(QStringLiteral("lblCaption"));
        auto* row = new QGridLayout(frames[i]);
        row->addWidget(box_[i], 0, 0);
        row->addWidget(caption, 0, 1);
        row->addWidget(bar_[i], 1, 0, 1, 2);
        shell::connectTrapped(bar_[i], &QScrollBar::valueChanged, this, [this, i](int) { ValueBar_Change(i); });
        shell::connectTrapped(box_[i], &QLineEdit::textChanged, this, [this, i](const QString&) { ValueBox_Change(i); });
    }
    Value1Box = box_[0];
    Value1Bar = bar_[0];
    Value2Box = box_[1];
    Value2Bar = bar_[1];
    AspectRatioBox = new QCheckBox(QStringLiteral("ｱｽﾍﾟｸﾄ比に準拠(&A)"), this);
    AspectRatioBox->setObjectName(QStringLiteral("AspectRatioBox"));
    ResampleBox = new QCheckBox(QStringLiteral("ﾘｻﾝﾌﾟﾘﾝｸﾞ(&R)"), this);
    ResampleBox->setObjectName(QStringLiteral("ResampleBox"));
    cmdOKCancel[0] = new QPushButton(QStringLiteral("OK"), this);
    cmdOKCancel[1] = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    cmdOKCancel[0]->setObjectName(QStringLiteral("cmdOKCancel(0)"));
    cmdOKCancel[1]->setObjectName(QStringLiteral("cmdOKCancel(1)"));
    cmdOKCancel[0]->setDefault(true);
    cmdOKCancel[1]->setAutoDefault(false);
    shell::connectTrapped(AspectRatioBox, &QCheckBox::toggled, this, [this](bool) { AspectRatioBox_Click(); });
    for (int i = 0; i < 2; ++i)
        shell::connectTrapped(cmdOKCancel[i], &QPushButton::clicked, this, [this, i](bool) { cmdOKCancel_Click(i); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addWidget(AspectRatioBox);
    layout->addWidget(ResampleBox);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOKCancel[0]);
    buttons->addWidget(cmdOKCancel[1]);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    centreOnScreen();
}

double Resize::P() const { return FormType_ == 3 ? img_.regionWidth() : img_.bitmapWidth(); }
double Resize::Q() const { return FormType_ == 3 ? img_.regionHeight() : img_.bitmapHeight(); }

double Resize::derived(int Index, int value) const {
    const double p = P(), q = Q();
    return Index == 0 ? q * value / p : p * value / q;
}

void Resize::InitTheForm(int16_t FormType) {
    fOK_ = 0;
    FormType_ = FormType;
    const double W = img_.bitmapWidth(), H = img_.bitmapHeight();
    Value1Bar->setMinimum(1);
    Value1Bar->setMaximum(kWidthMax);
    Value1Bar->setPageStep(100);
    Value1Bar->setSingleStep(10);
    Value2Bar->setMinimum(1);
    Value2Bar->setMaximum(limited(H * kWidthMax / W));
    Value2Bar->setPageStep(100);
    Value2Bar->setSingleStep(10);
    if (FormType == 3) {
        Value1Bar->setValue(int(R(img_.regionWidth())));
        Value2Bar->setValue(int(R(img_.regionHeight())));
    } else {
        Value1Bar->setValue(int(R(W)));
        Value2Bar->setValue(int(R(H)));
    }
    // The bars may not have moved (a value they already held): the boxes
    // show them all the same.
    for (int i = 0; i < 2; ++i) {
        guard_[i] = -1;
        box_[i]->setText(QString::number(bar_[i]->value()));
        guard_[i] = 0;
    }
    ResampleBox->setChecked(false);
    // Checking the box runs its click handling once.
    if (AspectRatioBox->isChecked()) AspectRatioBox_Click();
    else AspectRatioBox->setChecked(true);
    guard_[0] = guard_[1] = 0;
    centreOnScreen();
}

void Resize::GetResults(int16_t& fOK, int16_t& nValue1, int16_t& nValue2, int16_t& fResample) const {
    fOK = fOK_;
    nValue1 = int16_t(Value1Bar->value());
    nValue2 = int16_t(Value2Bar->value());
    fResample = ResampleBox->isChecked() ? -1 : 0;
}

void Resize::AspectRatioBox_Click() {
    // Runs on every change of the box, and looks only at the sizes.
    const double p = P(), q = Q();
    if (!(p > 0) || !(q > 0)) return;
    Value2Bar->setMinimum(1);
    Value2Bar->setMaximum(limited(q * kWidthMax / p));
    Value2Bar->setValue(limited(q * Value1Bar->value() / p));
}

void Resize::ValueBar_Change(int i) {
    if (guard_[i]) return;
    guard_[i] = -1;
    box_[i]->setText(QString::number(bar_[i]->value()));
    guard_[i] = 0;
    if (!AspectRatioBox->isChecked() || !(P() > 0) || !(Q() > 0)) return;
    QScrollBar* other = bar_[1 - i];
    const int v = limited(derived(i, bar_[i]->value()));
    if (v >= other->minimum() && v <= other->maximum() && v != other->value()) other->setValue(v);
}

void Resize::ValueBox_Change(int i) {
    if (guard_[i]) return;
    const QString text = box_[i]->text();
    if (text.isEmpty()) return;
    auto failed = [&] {
        // What the bar already holds stays there.
        box_[i]->clear();
        box_[i]->setFocus();
    };
    int v = 0;
    if (!toInt16(text, v)) return failed();
    if (v < bar_[i]->minimum() || v > bar_[i]->maximum()) return;
    guard_[i] = -1;
    bar_[i]->setValue(v);
    guard_[i] = 0;
    if (!AspectRatioBox->isChecked() || !(P() > 0) || !(Q() > 0)) return;
    // Derived from the box the value is not limited: beyond 16 bits it fails
    // like a box that holds no number.
    const double d = derived(i, v);
    if (!shell::fitsInt16(d)) return failed();
    const int w = int(R(d));
    QScrollBar* other = bar_[1 - i];
    if (w >= other->minimum() && w <= other->maximum() && w != other->value()) other->setValue(w);
}

void Resize::cmdOKCancel_Click(int Index) {
    if (Index == 1) {
        fOK_ = 0;
        QDialog::reject();
        return;
    }
    if (Value1Box->text().isEmpty() || Value2Box->text().isEmpty()) return;
    const double w = shell::readNumber(Value1Box->text());
    if (w > Value1Bar->maximum() || w < Value1Bar->minimum()) {
        Value1Box->setFocus();
        return;
    }
    const double h = shell::readNumber(Value2Box->text());
    if (h > Value2Bar->maximum() || h < Value2Bar->minimum()) {
        Value2Box->setFocus();
        return;
    }
    fOK_ = -1;
    accept();
}

void Resize::reject() { cmdOKCancel_Click(1); }

void Resize::centreOnScreen() {
    adjustSize();
    const QWidget* top = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* s = top && top->screen() ? top->screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect g = s->geometry();
    const QSize outer = frameGeometry().size();
    move(g.left() + (g.width() - outer.width()) / 2, g.top() + (g.height() - outer.height()) / 2);
}

bool Resize::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::WindowActivate: Value1Box->setFocus(Qt::ActiveWindowFocusReason); break;
    case QEvent::Close: fOK_ = 0; break;  // the close box counts as Cancel
    default: break;
    }
    return QDialog::event(e);
}

bool Resize::eventFilter(QObject* watched, QEvent* e) {
    if ((watched == Value1Box || watched == Value2Box) && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        fCtrl_ = (k->modifiers() & Qt::ControlModifier) ? -1 : 0;
        QChar c;
        // Digits and backspace; with Ctrl held anything passes (paste).
        if (typesCharacter(k, c) && !fCtrl_ && !(c >= u'0' && c <= u'9') && c != QChar(8)) return true;
    }
    return QDialog::eventFilter(watched, e);
}

}  // namespace qova::processing
