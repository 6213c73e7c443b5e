// Letting the window breathe in the middle of a long command without letting
// the user start another one. The engine's progress reports call
// processEventsDuringCommand(): the gauge repaints, timers tick and posted
// work runs, but keys and clicks wait in the queue until the command has
// ended (a key pressed during a load must not start a nested load).
//
// One control may still answer the user meanwhile: the Abort button of a
// command that can be stopped (the database's directory import). The
// command keeps an AnswersDuringCommand alive for as long as it runs:
//
//     shell::AnswersDuringCommand abortable(abortButton);
//     for (...) { ...; shell::processEventsDuringCommand(); if (aborted) break; }
//
// While it lives, input aimed at that widget (or its children) is handled
// at once; input aimed anywhere else is held and delivered when the guard
// goes, so nothing the user typed is lost.
#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class QEvent;

namespace qova::shell {

// Runs pending events except the user's input (see above).
void processEventsDuringCommand();

class AnswersDuringCommand {
public:
    explicit AnswersDuringCommand(QWidget* answering);
    ~AnswersDuringCommand();
    AnswersDuringCommand(const AnswersDuringCommand&) = delete;
    AnswersDuringCommand& operator=(const AnswersDuringCommand&) = delete;

    // For processEventsDuringCommand: the innermost guard alive (null: none).
    static AnswersDuringCommand* current();
    bool answers(QObject* receiver, QEvent* e) const;
    void hold(QObject* receiver, QEvent* e);

private:
    struct Held {
        QPointer<QObject> receiver;
        std::unique_ptr<QEvent> event;
    };
    QPointer<QWidget> answering_;
    AnswersDuringCommand* outer_;
    std::vector<Held> held_;
};

}  // namespace qova::shell
