// What the file command tests share: a small window with the files
// subsystem and scripted message boxes, the engine's open and save dialogs
// answered in order (recording how each came up), and pictures written and
// read back through the engine.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QList>
#include <QSpinBox>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>

#include "engine/core/formats/formats.h"
#include "engine/dialogs/open_dialog.h"
#include "engine/dialogs/save_dialog.h"
#include "engine/engine_dialog.h"
#include "files/files.h"
#include "support/fake_context.h"
#include "support/images.h"

namespace qova::test {

// The files subsystem in a window after start-up with scripted message
// boxes, and a fresh folder.
struct FormFixture {
    ScriptedUi* ui = nullptr;
    std::unique_ptr<FakeContext> ctx;
    std::unique_ptr<files::Files> files;
    std::unique_ptr<QTemporaryDir> tmp;
    QDir dir;
    void start() {
        tmp = std::make_unique<QTemporaryDir>();
        dir = QDir(tmp->path());
        ctx = std::make_unique<FakeContext>();
        ui = &ctx->scripted();
        files = std::make_unique<files::Files>(*ctx);
    }
    void stop() {
        files.reset();
        ctx.reset();
        tmp.reset();
    }
};

// `n` made pictures, the i-th (40 + i) × 30.
inline engine::Document pages(int n, int bpp) {
    engine::Document d;
    for (int i = 0; i < n; ++i) d.frames.push_back(engine::Frame{madeImage(40 + i, 30, bpp, unsigned(i + 1))});
    return d;
}
inline int16_t write(const engine::Document& d, const QString& path, int format) {
    engine::SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    return engine::saveFile(d, r);
}
inline engine::Document loadBack(const QString& path, int16_t* code = nullptr) {
    engine::LoadRequest r;
    r.path = path.toStdString();
    engine::Document d;
    const int16_t c = engine::loadFile(r, d);
    if (code) *code = c;
    return d;
}
inline QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// How a dialog came up: its window title and the ImgDlg1 settings put
// before it, as "title|filter|option 16|flags|save switch".
struct Shown {
    engine::EngineDialog::Kind kind;
    QString text;
};

class EngineAnswers {
public:
    using Answer = std::function<bool(QDialog&)>;
    explicit EngineAnswers(const engine::EngineDialog& dlg) : dlg_(dlg) {
        engine::EngineDialog::setAnswerHook([this](QDialog& d, engine::EngineDialog::Kind k) {
            shown.append({k, QStringList{d.windowTitle(), dlg_.filter, QString::number(dlg_.option16),
                                         QString::number(dlg_.flags), QString::number(dlg_.saveSwitch)}
                                 .join('|')});
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
