// UI services for tests: records every message box and answers questions
// from a queue (No when the queue is empty, the safe default of the program's
// questions); quitting is recorded instead of ending the test.
#pragma once

#include <QList>
#include <QString>

#include "app/ui_services.h"

namespace qova::test {

class ScriptedUi : public app::UiServices {
public:
    struct Box {
        QString prompt;
        int style;
        QString title;
    };
    QList<Box> boxes;
    QList<app::MsgResult> answers;
    int quits = 0;

    app::MsgResult msgBox(const QString& prompt, int style, const QString& title) override {
        boxes.append({prompt, style, title});
        if (!answers.isEmpty()) return answers.takeFirst();
        return (style & 7) == app::YesNo ? app::MsgNo : app::MsgOk;
    }
    void quit() override { ++quits; }
};

}  // namespace qova::test
