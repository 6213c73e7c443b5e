// UI services for tests: records every message box and answers questions
// from a queue (No when the queue is empty, the safe default of the program's
// questions); file pickers take names from a queue ("" = cancelled);
// quitting is recorded instead of ending the test; the colour dialog takes
// colours from a queue (cancelled when it is empty).
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "shell/ui_services.h"

namespace qova::test {

class ScriptedUi : public shell::UiServices {
public:
    struct Box {
        QString prompt;
        int style;
        QString title;
    };
    QList<Box> boxes;
    QList<shell::MsgResult> answers;
    QStringList fileNames;
    // Colours the colour dialog answers (0x00BBGGRR); empty = cancelled.
    QList<uint32_t> colours;
    int colourDialogs = 0;
    int quits = 0;

    shell::MsgResult msgBox(const QString& prompt, int style, const QString& title) override {
        boxes.append({prompt, style, title});
        if (!answers.isEmpty()) return answers.takeFirst();
        return (style & 7) == shell::YesNo ? shell::MsgNo : shell::MsgOk;
    }
    QString openFileName(const QString&, const QString&, const QString&) override { return nextFile(); }
    QString saveFileName(const QString&, const QString&, const QString&, bool) override { return nextFile(); }
    void quit() override { ++quits; }
    bool chooseColour(uint32_t& colour, const QString&) override {
        ++colourDialogs;
        if (colours.isEmpty()) return false;
        colour = colours.takeFirst();
        return true;
    }

private:
    QString nextFile() { return fileNames.isEmpty() ? QString() : fileNames.takeFirst(); }
};

}  // namespace qova::test
