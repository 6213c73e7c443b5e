#include "shell/long_command.h"

#include <QApplication>
#include <QEvent>
#include <QInputEvent>
#include <QMouseEvent>
#include <QWindow>

namespace qova::shell {

namespace {

AnswersDuringCommand* innermost = nullptr;

bool isUserInput(const QEvent* e) {
    switch (e->type()) {
    case QEvent::KeyPress: case QEvent::KeyRelease: case QEvent::ShortcutOverride:
    case QEvent::MouseButtonPress: case QEvent::MouseButtonRelease: case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: case QEvent::Wheel: case QEvent::TouchBegin: case QEvent::TouchUpdate:
    case QEvent::TouchEnd: case QEvent::TabletPress: case QEvent::TabletRelease: case QEvent::ContextMenu:
        return true;
    default:
        return false;
    }
}

// The widget an input event is for: the receiver itself, or for an event
// the window system gives a whole window, the widget under the mouse or
// the one with the keyboard focus.
QWidget* targetOf(QObject* receiver, QEvent* e) {
    if (auto* w = qobject_cast<QWidget*>(receiver)) return w;
    auto* window = qobject_cast<QWindow*>(receiver);
    if (!window) return nullptr;
    QWidget* top = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (t->windowHandle() == window) top = t;
    if (!top) return nullptr;
    if (auto* m = dynamic_cast<QMouseEvent*>(e)) {
        QWidget* under = top->childAt(m->position().toPoint());
        return under ? under : top;
    }
    QWidget* focus = QApplication::focusWidget();
    return focus && focus->window() == top ? focus : top;
}

// Holds back, while a guard lives, the input that is not for its widget.
class Gate : public QObject {
public:
    bool eventFilter(QObject* receiver, QEvent* e) override {
        AnswersDuringCommand* g = AnswersDuringCommand::current();
        if (!g || !isUserInput(e) || g->answers(receiver, e)) return false;
        g->hold(receiver, e);
        return true;
    }
};

}  // namespace

void processEventsDuringCommand() {
    if (!AnswersDuringCommand::current()) {
        // The user's input stays queued until the event loop runs again.
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        return;
    }
    Gate gate;
    qApp->installEventFilter(&gate);
    QCoreApplication::processEvents();
    qApp->removeEventFilter(&gate);
}

AnswersDuringCommand::AnswersDuringCommand(QWidget* answering) : answering_(answering), outer_(innermost) {
    innermost = this;
}

AnswersDuringCommand::~AnswersDuringCommand() {
    innermost = outer_;
    // The command is over: what the user did meanwhile happens now, in order
    // (or waits for the outer command, whose guard holds it in turn).
    for (Held& h : held_)
        if (h.receiver) QCoreApplication::postEvent(h.receiver, h.event.release());
}

AnswersDuringCommand* AnswersDuringCommand::current() { return innermost; }

bool AnswersDuringCommand::answers(QObject* receiver, QEvent* e) const {
    QWidget* target = targetOf(receiver, e);
    if (!target || !answering_) return false;
    return target == answering_ || answering_->isAncestorOf(target);
}

void AnswersDuringCommand::hold(QObject* receiver, QEvent* e) {
    // Moves are not worth replaying, and a shortcut check is made again
    // for the key it belongs to.
    if (e->type() == QEvent::MouseMove || e->type() == QEvent::ShortcutOverride) return;
    // A key goes to the widget that had the focus when it was typed (a
    // click meanwhile may have moved the focus); a click to its window,
    // which finds the widget under it again.
    QObject* to = receiver;
    if (e->type() == QEvent::KeyPress || e->type() == QEvent::KeyRelease)
        if (QWidget* w = targetOf(receiver, e)) to = w;
    held_.push_back({QPointer<QObject>(to), std::unique_ptr<QEvent>(e->clone())});
}

}  // namespace qova::shell
