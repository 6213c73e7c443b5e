// Every handler the window connects runs inside the one error trap: an
// engine call that fails in a menu item, a key in File1, Dir1, Drive1 or
// Img1, a list click, the timer or a dialog button ends that handler, and
// the program goes on as before.
#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "app/main_window.h"
#include "engine/core/codes.h"
#include "engine/core/engine_error.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/dispatch_ids.h"
#include "engine/image_control.h"
#include "shell/file_lists.h"
#include "shell/trap.h"
#include "support/images.h"
#include "support/scripted_ui.h"
#include "view/form3.h"

using namespace qova;
using shell::MenuId;

namespace {

struct Window {
    test::ScriptedUi* ui;
    std::unique_ptr<app::Form1> form;
    QTemporaryDir dir;
    Window() {
        auto scripted = std::make_unique<test::ScriptedUi>();
        ui = scripted.get();
        form = std::make_unique<app::Form1>(std::move(scripted));
        form->Form_Load({});
        for (const char* name : {"a.bmp", "b.bmp"}) {
            engine::Document d;
            d.frames.push_back(engine::Frame{test::madeImage(30, 20, 24)});
            engine::SaveRequest r;
            r.path = dir.filePath(name).toStdString();
            r.format = engine::kFmtBmp;
            if (engine::saveFile(d, r) != 0) qFatal("cannot write %s", name);
        }
        form->controls().Dir1->setPath(dir.path());
        form->controls().File1->setListIndex(0);   // a.bmp shown
    }
    ~Window() { img()->setCallHook({}); }
    engine::ImageControl* img() const { return form->controls().Img1; }
    // From now on every engine call of Img1 (or only the one with `id`) fails.
    void failEngine(int id = -1) {
        img()->setCallHook([id](int called) {
            if (id < 0 || called == id) throw engine::EngineError(engine::kErrUnknown, "injected");
        });
    }
    void healEngine() { img()->setCallHook({}); }
};

}  // namespace

class ErrorTrapTest : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { shell::setTrapProbe({}); }

    // One event of each kind with the engine failing under it; afterwards the
    // window still answers the same kind of event normally.
    void engineFailuresEndOnlyTheHandler_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("menu item") << "menu";
        QTest::newRow("key in File1") << "File1";
        QTest::newRow("key in Dir1") << "Dir1";
        QTest::newRow("Esc in Drive1") << "Drive1";
        QTest::newRow("key in Img1") << "Img1";
        QTest::newRow("list click") << "click";
        QTest::newRow("dialog button") << "dialog";
    }
    void engineFailuresEndOnlyTheHandler() {
        QFETCH(QString, kind);
        Window w;
        const shell::Controls& c = w.form->controls();
        QCOMPARE(w.img()->bitmapWidth(), 30);
        std::function<void()> fire;
        if (kind == "menu") {
            fire = [&] { w.form->action(MenuId::mnuViewFit)->trigger(); };
        } else if (kind == "File1") {
            fire = [&] { QTest::keyClick(c.File1, Qt::Key_Insert); };   // zoom in
        } else if (kind == "Dir1") {
            fire = [&] { QTest::keyClick(c.Dir1, Qt::Key_Backslash); };   // fit view
        } else if (kind == "Drive1") {
            fire = [&] { QTest::keyClick(c.Drive1, Qt::Key_Escape); };   // empties Img1
        } else if (kind == "Img1") {
            fire = [&] { QTest::keyClick(c.Img1, Qt::Key_Backslash); };
        } else if (kind == "click") {
            fire = [&] { c.File1->setListIndex(c.File1->listIndex() == 0 ? 1 : 0); };
        } else {
            fire = [&] {
                QTimer::singleShot(0, w.form.get(), [] {
                    auto* f = qobject_cast<view::Form3*>(QApplication::activeModalWidget());
                    if (f) f->Command1->click();
                });
                w.form->action(MenuId::mnuViewZoom2)->trigger();
            };
        }
        w.failEngine(kind == "Drive1" ? engine::dispid::ImageSource : -1);
        fire();   // must come back: an escaping error would end the test program
        w.healEngine();
        QCOMPARE(w.img()->bitmapWidth(), 30);   // the picture is still there
        QVERIFY(w.ui->boxes.isEmpty());
        QCOMPARE(w.ui->quits, 0);
        // The same event works once the engine does.
        w.form->state().nZoom = 100;
        fire();
        if (kind == "menu" || kind == "Dir1" || kind == "Img1") QCOMPARE(w.img()->viewMode(), 3);
        if (kind == "File1") QCOMPARE(w.form->state().nZoom, int16_t(110));
        if (kind == "Drive1") QVERIFY(w.img()->isEmpty());
        if (kind == "click") QCOMPARE(w.form->state().sFileName, QStringLiteral("a.bmp"));
        if (kind == "dialog") QCOMPARE(w.img()->bitmapWidth(), 640);
        QVERIFY(!QApplication::overrideCursor());
    }

    // The timer and the list click run through the trap too: a handler that
    // fails before it starts (the probe) ends quietly.
    void timerAndListClickAreTrapped() {
        Window w;
        const shell::Controls& c = w.form->controls();
        int probed = 0;
        shell::setTrapProbe([&] {
            ++probed;
            throw engine::EngineError(engine::kErrUnknown, "injected");
        });
        QMetaObject::invokeMethod(c.Timer1, "timeout");
        QCOMPARE(probed, 1);
        c.File1->setListIndex(1);
        QVERIFY(probed >= 2);
        shell::setTrapProbe({});
        QCOMPARE(w.form->state().sFileName, QStringLiteral("a.bmp"));   // the click did not run
        c.File1->setListIndex(0);
        c.File1->setListIndex(1);
        QCOMPARE(w.form->state().sFileName, QStringLiteral("b.bmp"));
    }

    // A damaged file clicked first (nothing shown before), then Insert or
    // Delete in the file list: the keys end quietly instead of the program.
    void keysAfterADamagedFirstFile() {
        QTemporaryDir dir;
        QFile bad(dir.filePath("bad.jpg"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("\xFF\xD8\xFF not really a picture");
        bad.close();
        auto scripted = std::make_unique<test::ScriptedUi>();
        app::Form1 form(std::move(scripted));
        form.Form_Load({});
        const shell::Controls& c = form.controls();
        c.Dir1->setPath(dir.path());
        c.File1->setListIndex(0);
        QVERIFY(c.Img1->isEmpty());
        QTest::keyClick(c.File1, Qt::Key_Insert);
        QTest::keyClick(c.File1, Qt::Key_Delete);
        QVERIFY(c.Img1->isEmpty());
        QVERIFY(QFile::exists(dir.filePath("bad.jpg")));
    }
};

QTEST_MAIN(ErrorTrapTest)
#include "test_error_trap.moc"
