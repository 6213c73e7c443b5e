#include "shell/get_value.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>

#include "shell/numbers.h"
#include "shell/trap.h"

namespace qova::shell {

namespace {

// The key filter: the digits, "-" and backspace reach the box.
bool acceptsTypedCharacter(QChar c) { return (c >= u'0' && c <= u'9') || c == u'-' || c == QChar(8); }

// Whether a key press types a character into the box (as opposed to moving
// the caret, deleting forward or working the dialog's buttons).
bool typesCharacter(const QKeyEvent* e, QChar& c) {
    switch (e->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return false;   // the dialog's default and cancel buttons, focus moves
    case Qt::Key_Backspace:
        c = QChar(8);
        return true;
    default: break;
    }
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    const bool alt = e->modifiers() & Qt::AltModifier;
    // Control with a letter or one of @[\]^_ types a control character
    // (Ctrl+V is code 22, …); these are typed characters too and get refused.
    if (ctrl && !alt &&
        ((e->key() >= Qt::Key_A && e->key() <= Qt::Key_Z) || e->key() == Qt::Key_At ||
         (e->key() >= Qt::Key_BracketLeft && e->key() <= Qt::Key_Underscore))) {
        c = QChar(e->key() & 0x1f);
        return true;
    }
    const QString t = e->text();
    if (t.isEmpty() || !t.at(0).isPrint()) return false;
    c = t.at(0);
    return true;
}

}  // namespace

GetValue::GetValue(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("GetValue"));
    setWindowTitle(QStringLiteral("GetValue"));

    GetValueType = new QLabel(QStringLiteral("Label1"), this);
    GetValueBox = new QLineEdit(QStringLiteral("Text1"), this);
    GetValueBar = new QScrollBar(Qt::Horizontal, this);
    GetValueBar->setRange(0, 32767);
    Resize_Horz = new QCheckBox(QStringLiteral("Resize/Horizontal"), this);
    OK = new QPushButton(QStringLiteral("&OK"), this);
    Cancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ(&L)"), this);
    const std::pair<QWidget*, const char*> names[] = {{GetValueType, "GetValueType"}, {GetValueBox, "GetValueBox"},
                                                      {GetValueBar, "GetValueBar"},   {Resize_Horz, "Resize_Horz"},
                                                      {OK, "OK"},                     {Cancel, "Cancel"}};
    for (const auto& [w, name] : names) w->setObjectName(QLatin1String(name));

    OK->setDefault(true);
    Cancel->setAutoDefault(false);
    // A number field: no input method composing text past the key filter.
    GetValueBox->setAttribute(Qt::WA_InputMethodEnabled, false);
    GetValueBox->setMinimumWidth(GetValueBox->fontMetrics().horizontalAdvance(QStringLiteral("0000000")));
    GetValueBar->setMinimumWidth(260);

    auto* grid = new QGridLayout(this);
    grid->addWidget(GetValueType, 0, 0);
    grid->addWidget(GetValueBox, 0, 1);
    grid->addWidget(GetValueBar, 1, 0, 1, 2);
    grid->addWidget(Resize_Horz, 2, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK);
    buttons->addWidget(Cancel);
    grid->addLayout(buttons, 3, 0, 1, 2);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    // The bar is a tab stop of its own, worked from the keyboard the way a
    // horizontal bar reads: Right, Down and PageDown raise the value.
    GetValueBar->setFocusPolicy(Qt::StrongFocus);
    GetValueBar->installEventFilter(this);
    setTabOrder(GetValueBox, GetValueBar);
    GetValueBox->installEventFilter(this);
    connectTrapped(GetValueBar, &QScrollBar::valueChanged, this, [this](int) { GetValueBar_Change(); });
    connectTrapped(GetValueBox, &QLineEdit::textChanged, this, [this](const QString&) { GetValueBox_Change(); });
    connectTrapped(OK, &QPushButton::clicked, this, [this](bool) { OK_Click(); });
    connectTrapped(Cancel, &QPushButton::clicked, this, [this](bool) { Cancel_Click(); });

    guard_ = 0;
    centreOnScreen();
}

void GetValue::InitTheForm(const QString& Title, const QString& UnitType, int16_t UnitMax, int16_t UnitMin,
                           int16_t UnitInit, int16_t LargeStep, int16_t SmallStep, int16_t ResizeHorz) {
    setWindowTitle(Title);
    GetValueType->setText(UnitType);
    GetValueBar->setMaximum(UnitMax);
    GetValueBar->setMinimum(UnitMin);
    GetValueBar->setValue(UnitInit);
    GetValueBox->setText(QString::number(UnitInit));
    GetValueBar->setPageStep(LargeStep);
    GetValueBar->setSingleStep(SmallStep);
    confirmed_ = 0;
    Resize_Horz->setChecked(true);
    Resize_Horz->setVisible(ResizeHorz != 0);
    centreOnScreen();
}

int16_t GetValue::GetResizeHorz() const { return Resize_Horz->isChecked() ? -1 : 0; }

void GetValue::centreOnScreen() {
    adjustSize();
    const QWidget* top = parentWidget() ? parentWidget()->window() : nullptr;
    const QScreen* s = top && top->screen() ? top->screen() : QGuiApplication::primaryScreen();
    if (!s) return;
    const QRect g = s->geometry();
    const QSize outer = frameGeometry().size();
    move(g.left() + (g.width() - outer.width()) / 2, g.top() + (g.height() - outer.height()) / 2);
}

void GetValue::GetValueBar_Change() {
    if (guard_) {
        guard_ = 0;
        return;
    }
    guard_ = -1;
    GetValueBox->setText(QString::number(GetValueBar->value()));
    guard_ = 0;
}

void GetValue::GetValueBox_Change() {
    if (!guard_) {
        guard_ = -1;
        const QString text = GetValueBox->text();
        if (!text.isEmpty()) {
            // The range test comes before any narrowing, so a long row of
            // digits is refused rather than wrapped.
            const double v = readNumber(text);
            if (v >= GetValueBar->minimum() && v <= GetValueBar->maximum()) {
                GetValueBar->setValue(int(roundHalfEven(v)));
            } else {
                GetValueBox->setText(QString::number(GetValueBar->value()));
                GetValueBox->setCursorPosition(int(GetValueBox->text().size()));
            }
        }
    }
    guard_ = 0;
}

void GetValue::OK_Click() {
    const QString text = GetValueBox->text();
    if (text.isEmpty()) return;
    const double v = readNumber(text);
    if (v > GetValueBar->maximum() || v < GetValueBar->minimum()) return;
    confirmed_ = -1;
    amount_ = int16_t(GetValueBar->value());
    done(Accepted);   // hides the form, which ends the modal showing
}

void GetValue::Cancel_Click() { done(Rejected); }

bool GetValue::event(QEvent* e) {
    switch (e->type()) {
    case QEvent::WindowActivate:
        GetValueBox->setFocus(Qt::ActiveWindowFocusReason);
        GetValueBox->selectAll();
        break;
    case QEvent::Close:
        // The close box unloads the form: nothing confirmed.
        confirmed_ = 0;
        break;
    default: break;
    }
    return QDialog::event(e);
}

bool GetValue::eventFilter(QObject* watched, QEvent* e) {
    if (watched == GetValueBar && e->type() == QEvent::KeyPress) {
        const auto* k = static_cast<QKeyEvent*>(e);
        QAbstractSlider::SliderAction a = QAbstractSlider::SliderNoAction;
        switch (k->key()) {
        case Qt::Key_Right: case Qt::Key_Down: a = QAbstractSlider::SliderSingleStepAdd; break;
        case Qt::Key_Left: case Qt::Key_Up: a = QAbstractSlider::SliderSingleStepSub; break;
        case Qt::Key_PageDown: a = QAbstractSlider::SliderPageStepAdd; break;
        case Qt::Key_PageUp: a = QAbstractSlider::SliderPageStepSub; break;
        case Qt::Key_Home: a = QAbstractSlider::SliderToMinimum; break;
        case Qt::Key_End: a = QAbstractSlider::SliderToMaximum; break;
        default: break;
        }
        if (a != QAbstractSlider::SliderNoAction) {
            GetValueBar->triggerAction(a);
            return true;
        }
    }
    if (watched == GetValueBox) {
        if (e->type() == QEvent::FocusIn) {
            GetValueBox->selectAll();
        } else if (e->type() == QEvent::KeyPress) {
            QChar c;
            if (typesCharacter(static_cast<QKeyEvent*>(e), c) && !acceptsTypedCharacter(c)) return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

}  // namespace qova::shell
