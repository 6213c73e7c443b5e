// Answers the engine's open and save dialogs in order for the file command
// tests and records which dialogs came up, with their window titles and the
// ImgDlg1 settings they were shown with.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QList>
#include <QSpinBox>
#include <QString>

#include <functional>

#include "engine/dialogs/open_dialog.h"
#include "engine/dialogs/save_dialog.h"
#include "engine/engine_dialog.h"

namespace qova::test {

struct Shown {
    engine::EngineDialog::Kind kind;
    QString windowTitle;
    QString filter;
    int option16, flags, saveSwitch;
};

class EngineAnswers {
public:
    using Answer = std::function<bool(QDialog&)>;
    explicit EngineAnswers(const engine::EngineDialog& dlg) : dlg_(dlg) {
        engine::EngineDialog::setAnswerHook([this](QDialog& d, engine::EngineDialog::Kind k) {
            shown.append({k, d.windowTitle(), dlg_.filter, dlg_.option16, dlg_.flags, dlg_.saveSwitch});
            if (answers.isEmpty()) return false;
            return answers.takeFirst()(d);
        });
    }
    ~EngineAnswers() { engine::EngineDialog::setAnswerHook({}); }

    QList<Answer> answers;  // none left: Cancel
    QList<Shown> shown;

    // Open: pick `path` (and the 1-based page when given) and press OK.
    static Answer open(const QString& path, int page = 0) {
        return [=](QDialog& d) {
            qobject_cast<engine::OpenDialog*>(&d)->selectFile(path);
            if (page > 0) d.findChild<QSpinBox*>("Page")->setValue(page);
            return pressOk(d);
        };
    }
    // Save: name, format, optional depth and quality, then OK; `more` may
    // change further controls first. An overwrite question is answered Yes.
    static Answer save(const QString& path, int format, int bits = 0, int quality = 0,
                       std::function<void(QDialog&)> more = {}) {
        return [=](QDialog& d) {
            auto* fmt = d.findChild<QComboBox*>("Format");
            fmt->setCurrentIndex(fmt->findData(format));
            if (bits) {
                auto* b = d.findChild<QComboBox*>("Bits");
                b->setCurrentIndex(b->findData(bits));
            }
            if (quality) d.findChild<QSpinBox*>("Quality")->setValue(quality);
            d.findChild<QLineEdit*>("FileName")->setText(path);
            if (more) more(d);
            qobject_cast<engine::SaveDialog*>(&d)->confirmOverwrite = [](const QString&) { return true; };
            return pressOk(d);
        };
    }
    static bool pressOk(QDialog& d) {
        d.accept();
        return d.result() == QDialog::Accepted;
    }

private:
    const engine::EngineDialog& dlg_;
};

}  // namespace qova::test
