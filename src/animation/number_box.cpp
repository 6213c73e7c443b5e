#include "animation/number_box.h"

#include <QApplication>
#include <QKeyEvent>

#include <cmath>

#include "shell/numbers.h"
#include "shell/trap.h"

namespace qova::animation {

bool toLong(QStringView text, int32_t& value) {
    const QString t = text.trimmed().toString();
    if (t.isEmpty()) return false;
    bool ok = false;
    const double v = QLocale::c().toDouble(t, &ok);
    if (!ok || !std::isfinite(v)) return false;
    const int64_t r = shell::roundHalfEven(v);
    if (r < INT32_MIN || r > INT32_MAX || std::fabs(v) > 4.0e9) return false;
    value = int32_t(r);
    return true;
}

NumberBox::NumberBox(CtrlFlag& flag, QWidget* parent) : QLineEdit(parent), flag_(flag) {
    shell::connectTrapped(this, &QLineEdit::textChanged, this, [this] { Text_Change(); });
}

void NumberBox::keyPressEvent(QKeyEvent* e) {
    // Key down: whether Ctrl is held.
    flag_.fCtrlDown = (e->modifiers() & Qt::ControlModifier) != 0;
    // Key press: the characters typed. Enter, Esc and Tab belong to the dialog.
    const QString typed = e->text();
    const bool character = !typed.isEmpty() && e->key() != Qt::Key_Return && e->key() != Qt::Key_Enter &&
                           e->key() != Qt::Key_Escape && e->key() != Qt::Key_Tab && e->key() != Qt::Key_Backtab;
    if (character && !flag_.fCtrlDown) {
        const QChar c = typed.at(0);
        const bool digit = c >= QLatin1Char('0') && c <= QLatin1Char('9');
        if (!digit && c.unicode() != 8) {
            e->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(e);
}

void NumberBox::Text_Change() {
    int32_t v = 0;
    // Emptying the box is a change too; one beep is enough.
    if (emptying_ || toLong(text(), v)) return;
    QApplication::beep();
    emit beeped();
    emptying_ = true;
    clear();
    emptying_ = false;
    setFocus();
}

}  // namespace qova::animation
