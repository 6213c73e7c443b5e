// Choosing a scanner, acquiring from it and capturing the screen, as a user
// meets them from the File menu. The scans are real: SANE's test backend,
// configured by the test (SANE_CONFIG_DIR names a folder of our own).
#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <sane/sane.h>

#include <map>
#include <memory>

#include "engine/core/codes.h"
#include "engine/core/document.h"
#include "engine/dialogs/scan_dialogs.h"
#include "engine/dispatch_ids.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "engine/job_thread.h"
#include "engine/scanner.h"
#include "output/output.h"
#include "shell/status_bar.h"
#include "support/fake_context.h"
#include "support/images.h"

using namespace qova;
using namespace qova::test;
using engine::EngineDialog;
using shell::MenuId;

class TestAcquire : public QObject {
    Q_OBJECT

    QTemporaryDir sane_;
    std::unique_ptr<FakeContext> ctx_;
    std::unique_ptr<output::Output> out_;
    QList<EngineDialog::Kind> shown_;
    QStringList titles_;

    engine::ImageControl* img() { return ctx_->controls().Img1; }
    ScriptedUi& ui() { return ctx_->scripted(); }

    // The test backend's settings: `lines` replace its defaults.
    void backend(const QStringList& lines = {}, const QString& backends = "test") {
        QFile dll(sane_.filePath("dll.conf"));
        QVERIFY(dll.open(QIODevice::WriteOnly));
        dll.write(backends.toUtf8() + "\n");
        QFile conf(sane_.filePath("test.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(("number_of_devices 2\n" + lines.join('\n') + "\n").toUtf8());
    }
    // The scanner dialogs answered by `f` (recording which came up and how).
    void answer(std::function<bool(QDialog&, EngineDialog::Kind)> f) {
        EngineDialog::setAnswerHook([this, f](QDialog& d, EngineDialog::Kind k) {
            shown_ << k;
            titles_ << d.windowTitle();
            return f(d, k);
        });
    }
    // Acquire with these settings in the dialog.
    void acquire(const QString& mode, double dpi, QRectF mm) {
        answer([=](QDialog& d, EngineDialog::Kind k) {
            auto* s = dynamic_cast<engine::ScanSettingsDialog*>(&d);
            if (k != EngineDialog::Kind::ScanSettings || !s) return false;
            s->setMode(mode);
            s->setResolution(dpi);
            s->setArea(mm.left(), mm.top(), mm.right(), mm.bottom());
            return true;
        });
        ctx_->action(MenuId::mnuFileAcquire)->trigger();
    }
    // What SANE's own front end scans with the same settings.
    engine::Bitmap scanimage(const QStringList& args) {
        QTemporaryDir dir;
        const QString out = dir.filePath("ref.pnm");
        QProcess p;
        p.setStandardOutputFile(out);
        p.start("scanimage", args);
        if (!p.waitForFinished(30000) || p.exitCode() != 0) return {};
        return readPnm(out.toStdString());
    }
    QString lastBox() const { return ctx_->scripted().boxes.isEmpty() ? QString() : ctx_->scripted().boxes.last().prompt; }

private slots:
    void initTestCase() {
        // Read by SANE once per process: set before the first scan.
        qputenv("SANE_CONFIG_DIR", sane_.path().toLocal8Bit());
    }
    void init() {
        backend();
        ctx_ = std::make_unique<FakeContext>();
        out_ = std::make_unique<output::Output>(*ctx_);
        shown_.clear();
        titles_.clear();
    }
    void cleanup() {
        EngineDialog::setAnswerHook({});
        out_.reset();
        ctx_.reset();
    }

    // A colour scan comes out as SANE's own front end reads it; fImage and
    // the image menus follow, the file shown before is forgotten, while
    // zoom, status panels and undo snapshot stay as they were; the gauge
    // moves when the preference says so.
    void scanFromTheTestBackend() {
        backend({"test-picture \"Color pattern\""});
        ctx_->state().nZoom = 42;
        ctx_->state().sFilePath = "/pictures/last.jpg";
        ctx_->state().sFileName = "last.jpg";
        ctx_->controls().StatusBar1->setPanelText(4, "640 Width");
        // The progress preference on, as its menu item puts it.
        ctx_->state().fProgress = -1;
        img()->setProgressEnabled(true);
        QList<int> seen;
        connect(img(), &engine::ImageControl::progress, this, [&](int p) { seen << p; });
        acquire("Color", 100, QRectF(QPointF(10, 5), QPointF(60, 45)));
        QCOMPARE(lastBox(), QString());
        QCOMPARE(shown_, QList<EngineDialog::Kind>{EngineDialog::Kind::ScanSettings});
        QCOMPARE(titles_, QStringList{"ｽｷｬﾝ - Noname frontend-tester"});
        QCOMPARE(ctx_->state().fImage, int16_t(1));
        QVERIFY(ctx_->action(MenuId::MainImage)->isEnabled());
        QCOMPARE(ctx_->state().nZoom, int16_t(42));
        // The toolbar's delete and copy no longer point at the file shown before.
        QCOMPARE(ctx_->state().sFilePath, QString());
        QCOMPARE(ctx_->state().sFileName, QString());
        QCOMPARE(ctx_->controls().StatusBar1->panelText(4), QString("640 Width"));
        QVERIFY(ctx_->controls().Img4->isEmpty());
        QCOMPARE(img()->bitsPerPixel(), 24);
        QCOMPARE(img()->bitmapWidth(), 196);  // 50 mm at 100 dpi, as the device counts
        QCOMPARE(img()->bitmapHeight(), 157);
        QVERIFY(seen.size() >= 2);
        QCOMPARE(seen.first(), 0);
        QCOMPARE(seen.last(), 100);
        if (QStandardPaths::findExecutable("scanimage").isEmpty()) QSKIP("scanimage is not installed to compare with");
        const engine::Bitmap ref = scanimage({"-d", "test:0", "--mode", "Color", "--resolution", "100", "-l", "10",
                                              "-t", "5", "-x", "50", "-y", "40", "--test-picture", "Color pattern"});
        QVERIFY(samePixels(img()->currentBitmap(), ref));
    }

    // Grey, line art, 16-bit and three-pass scans become the bitmaps they
    // should: black is black and white is white.
    void depthsAndFrames() {
        struct Case {
            QStringList conf;
            const char* mode;
            int bpp;
            engine::Rgb colour;
        } cases[] = {
            {{"depth 8", "test-picture \"Solid white\""}, "Gray", 8, {255, 255, 255}},
            {{"depth 1", "test-picture \"Solid black\""}, "Gray", 1, {0, 0, 0}},
            {{"depth 1", "test-picture \"Solid white\""}, "Gray", 1, {255, 255, 255}},
            {{"depth 16", "test-picture \"Solid white\""}, "Gray", 16, {255, 255, 255}},
            {{"depth 16", "test-picture \"Solid black\""}, "Color", 24, {0, 0, 0}},
            {{"depth 1", "test-picture \"Solid white\""}, "Color", 24, {255, 255, 255}},
            {{"three-pass true", "test-picture \"Solid white\""}, "Color", 24, {255, 255, 255}},
        };
        for (const Case& c : cases) {
            backend(c.conf);
            ui().boxes.clear();
            acquire(c.mode, 25, QRectF(0, 0, 20, 20));
            QVERIFY2(lastBox().isEmpty(), qPrintable(lastBox()));
            QCOMPARE(img()->bitsPerPixel(), c.bpp);
            QCOMPARE(img()->bitmapWidth(), 19);
            QCOMPARE(img()->currentBitmap().pixel(10, 10), c.colour);
        }
        // Three frames put together, compared with SANE's own front end.
        backend({"three-pass true", "test-picture \"Color pattern\""});
        acquire("Color", 50, QRectF(0, 0, 40, 30));
        if (QStandardPaths::findExecutable("scanimage").isEmpty()) QSKIP("scanimage is not installed to compare with");
        QVERIFY(samePixels(img()->currentBitmap(),
                           scanimage({"-d", "test:0", "--mode", "Color", "--resolution", "50", "-x", "40", "-y", "30",
                                      "--test-picture", "Color pattern"})));
    }

    // The source chosen is kept for the run and the list starts on it; the
    // settings last used on a device are where its dialog starts; a device
    // chosen that has gone is not replaced by another.
    void theChoiceIsKept() {
        QCOMPARE(img()->twainSource(), QString());
        QString startedOn;
        int listed = 0;
        answer([&](QDialog& d, EngineDialog::Kind) {
            auto& s = dynamic_cast<engine::ScanSourceDialog&>(d);
            startedOn = s.chosen();
            listed = s.list()->count();
            return s.choose("test:1");
        });
        ctx_->action(MenuId::mnuFileSelectSource)->trigger();
        QCOMPARE(listed, 2);
        QCOMPARE(startedOn, QString("test:0"));
        QCOMPARE(img()->twainSource(), QString("test:1"));
        ctx_->action(MenuId::mnuFileSelectSource)->trigger();
        QCOMPARE(startedOn, QString("test:1"));
        QVERIFY(ui().boxes.isEmpty());

        acquire("Gray", 30, QRectF(0, 0, 30, 30));
        QCOMPARE(img()->bitmapWidth(), 35);
        double startDpi = 0;
        answer([&](QDialog& d, EngineDialog::Kind) {
            startDpi = dynamic_cast<engine::ScanSettingsDialog&>(d).settings().resolution;
            return false;
        });
        ctx_->action(MenuId::mnuFileAcquire)->trigger();
        QCOMPARE(startDpi, 30.0);

        backend({"number_of_devices 1"});
        ui().boxes.clear();
        acquire("Gray", 30, QRectF(0, 0, 30, 30));
        QCOMPARE(lastBox(), QString("ｴﾗｰ '20082, TWAIN－ﾃﾞｰﾀｿｰｽがありません。' が発生しました。"));
        QCOMPARE(img()->bitmapWidth(), 35);
    }

    // A cancelled dialog and a SANE without devices give their TWAIN codes
    // and messages and leave the picture and fImage as they were.
    void failures() {
        show();
        answer([](QDialog&, EngineDialog::Kind) { return false; });
        ctx_->action(MenuId::mnuFileAcquire)->trigger();
        QCOMPARE(ui().boxes.size(), 1);
        QCOMPARE(ui().boxes[0].prompt, QString("ｴﾗｰ '20090, TWAIN－操作がｷｬﾝｾﾙされました。' が発生しました。"));
        QCOMPARE(ui().boxes[0].title, QString("ｴﾗｰ: TWAIN機器からの入力"));
        QCOMPARE(ui().boxes[0].style, int(shell::OkOnly));
        ctx_->action(MenuId::mnuFileSelectSource)->trigger();
        QCOMPARE(ui().boxes[1].prompt, QString("Error '20090, TWAIN－操作がｷｬﾝｾﾙされました。' was generated."));
        QCOMPARE(ui().boxes[1].title, QString("ｴﾗｰ: TWAIN機器の選択"));

        backend({}, "");  // SANE without a single backend: no device
        acquire("Gray", 25, QRectF(0, 0, 20, 20));
        QCOMPARE(lastBox(), QString("ｴﾗｰ '20082, TWAIN－ﾃﾞｰﾀｿｰｽがありません。' が発生しました。"));
        ctx_->action(MenuId::mnuFileSelectSource)->trigger();
        QCOMPARE(lastBox(), QString("Error '20082, TWAIN－ﾃﾞｰﾀｿｰｽがありません。' was generated."));
        QCOMPARE(img()->bitmapWidth(), 64);
        QCOMPARE(ctx_->state().fImage, int16_t(0));
    }

    // What the device says becomes the TWAIN code. (SANE's test backend can
    // make a read fail, but cancelling its reader thread right at the start
    // of a scan can deadlock inside that backend, so the codes are checked
    // here and the real failures above are those that do not race it.)
    void deviceStatusCodes() {
        const std::pair<SANE_Status, int16_t> codes[] = {
            {SANE_STATUS_GOOD, 0},        {SANE_STATUS_CANCELLED, 20090}, {SANE_STATUS_DEVICE_BUSY, 20083},
            {SANE_STATUS_NO_MEM, 20081},  {SANE_STATUS_JAMMED, 20084},    {SANE_STATUS_NO_DOCS, 20084},
            {SANE_STATUS_IO_ERROR, 20084}, {SANE_STATUS_ACCESS_DENIED, 20084}, {SANE_STATUS_INVAL, 20084}};
        for (const auto& [status, code] : codes) QCOMPARE(engine::scan::codeFor(status), code);
    }

    // A slow scan shows its box at once; its cancel button stops the scan.
    void cancelDuringTheScan() {
        show();
        backend({"read-delay true", "read-delay-duration 50000", "read-limit true", "read-limit-size 256"});
        bool clicked = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            for (auto* box : ctx_->mainWindow()->findChildren<engine::WaitBox*>())
                if (box->isVisible() && box->cancelButton() && !clicked) {
                    clicked = true;
                    box->cancelButton()->click();
                }
        });
        poll.start(20);
        acquire("Gray", 100, QRectF(0, 0, 100, 100));
        QVERIFY(clicked);
        QCOMPARE(lastBox(), QString("ｴﾗｰ '20090, TWAIN－操作がｷｬﾝｾﾙされました。' が発生しました。"));
        QCOMPARE(img()->bitmapWidth(), 64);
    }

    // The capture holds the screen at its depth, fImage follows; a palette
    // capture is repainted, a true-colour one is not; an engine error in
    // the middle leaves the hourglass off.
    void capture() {
        img()->setCallLogEnabled(true);
        ctx_->state().sFilePath = "/pictures/last.jpg";
        ctx_->action(MenuId::mnuFileCaptureScreen)->trigger();
        QCOMPARE(ctx_->state().sFilePath, QString());
        QVERIFY2(ui().boxes.isEmpty(), qPrintable(lastBox()));
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QCOMPARE(img()->bitmapWidth(), screen.width());
        QCOMPARE(img()->bitmapHeight(), screen.height());
        QCOMPARE(ctx_->state().fImage, int16_t(1));
        QVERIFY(ctx_->action(MenuId::mnuColor)->isEnabled());
        QVERIFY(!img()->callLog().empty());
        QCOMPARE(img()->callLog().front(), engine::dispid::Capture);
        QVERIFY(std::count(img()->callLog().begin(), img()->callLog().end(), int(engine::dispid::Repaint)) == 0);

        // A 256-colour screen gives a palette picture (the engine's bitmap
        // read right after the capture stands in for one).
        img()->clearCallLog();
        img()->setCallHook([this](int id) {
            if (id == engine::dispid::BitsPerPixel && img()->currentBitmap().bpp() > 8)
                img()->setCurrentBitmap(img()->currentBitmap().convertTo(8));
        });
        ctx_->action(MenuId::mnuFileCaptureScreen)->trigger();
        QCOMPARE(std::count(img()->callLog().begin(), img()->callLog().end(), int(engine::dispid::Repaint)), 1);

        img()->setCallHook([](int id) {
            if (id == engine::dispid::Capture) throw std::runtime_error("grab failed");
        });
        ctx_->action(MenuId::mnuFileCaptureScreen)->trigger();
        QVERIFY(!QGuiApplication::overrideCursor());
        img()->setCallHook({});
        // The engine's own codes for what cannot be captured.
        QCOMPARE(img()->capture(0, 0, 0, 0, 10), int16_t(engine::kErrBadSize));
        QCOMPARE(img()->capture(0, 0, 0, 10, -1), int16_t(engine::kErrBadSize));
    }

private:
    // Img1 shows a 64 × 48 picture loaded by the user before.
    void show() {
        engine::Document d;
        d.frames.push_back(engine::Frame{madeImage(64, 48, 24)});
        img()->setDocument(d);
    }
};

QTEST_MAIN(TestAcquire)
#include "test_acquire.moc"
