// The toolbar in the real window: its buttons in order with their tooltips
// and pictures, the zoom steps with their snapshot, fit and normal, the
// panel buttons and the layout after them, copying (with and without a file
// of that name at the destination, renamed, cancelled) and deleting the
// shown file, the clipboard, and the guards that make every button safe to
// click at any time.
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QtTest>
#include <qpa/qwindowsysteminterface.h>

#include <functional>

#include "app/main_window.h"
#include "app/toolbar.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "files/form4.h"
#include "shell/file_lists.h"
#include "shell/status_bar.h"
#include "shell/twips.h"
#include "support/images.h"
#include "support/scripted_ui.h"

using namespace qova;
using app::Form1;
using shell::MenuId;

namespace {

QString makeImage(const QString& path, int w, int h, unsigned seed = 1, int format = engine::kFmtTiff) {
    engine::Document doc;
    doc.frames.push_back(engine::Frame{test::madeImage(w, h, 24, seed)});
    engine::SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    if (engine::saveFile(doc, r) != 0) qFatal("cannot write %s", qPrintable(path));
    return path;
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Window {
    test::ScriptedUi* ui;
    std::unique_ptr<Form1> form;
    explicit Window(const QString& commandLine = {}) {
        auto scripted = std::make_unique<test::ScriptedUi>();
        ui = scripted.get();
        form = std::make_unique<Form1>(std::move(scripted));
        form->Form_Load(commandLine);
    }
    Form1* operator->() const { return form.get(); }
    QAction* button(const char* key) const {
        return form->controls().Toolbar1->findChild<QAction*>(QLatin1String(key), Qt::FindDirectChildrenOnly);
    }
    void click(const char* key) const { button(key)->trigger(); }
    QString panel(int n) const { return form->controls().StatusBar1->panelText(n); }
    // Shows the folder in the browser panel and file `index` of it in Img1.
    void browse(const QString& dir, int index) const {
        form->controls().Dir1->setPath(dir);
        form->controls().File1->setListIndex(index);
    }
};

// Answers the copy dialog once it is up (modal): `answer` runs on it.
class Form4Answer {
public:
    explicit Form4Answer(std::function<void(files::Form4&)> answer) {
        QObject::connect(&timer_, &QTimer::timeout, [this, answer] {
            auto* d = qobject_cast<files::Form4*>(QApplication::activeModalWidget());
            if (!d) return;
            timer_.stop();
            ++seen;
            answer(*d);
        });
        timer_.start(5);
    }
    int seen = 0;

private:
    QTimer timer_;
};

}  // namespace

class TestToolbar : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

    // A folder of `n` pictures "p1.tif" … of different widths, and an empty destination.
    struct Folders {
        QTemporaryDir src, dest;
        explicit Folders(int n) {
            for (int i = 1; i <= n; ++i)
                makeImage(src.filePath(QStringLiteral("p%1.tif").arg(i)), 20 + 10 * i, 30, unsigned(i));
        }
    };

private slots:
    void initTestCase() {
        // The engine's own dialogs (Open, Save) are cancelled.
        engine::EngineDialog::setAnswerHook([](QDialog&, engine::EngineDialog::Kind) { return false; });
    }

    void buttonsInOrderBesideTheMenus() {
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QToolBar* bar = w->controls().Toolbar1;
        QStringList keys, tips;
        for (QAction* a : bar->actions()) {
            if (a->isSeparator()) continue;
            keys << a->objectName();
            tips << a->toolTip();
            // Every picture reads at normal and at double density.
            QVERIFY2(!a->icon().isNull(), qPrintable(a->objectName()));
            QCOMPARE(a->icon().pixmap(bar->iconSize(), 2.0).deviceIndependentSize().toSize(), bar->iconSize());
            QCOMPARE(a->icon().pixmap(bar->iconSize(), 2.0).size(), bar->iconSize() * 2);
            // Each button shows on the bar, none in an overflow menu.
            QWidget* b = bar->widgetForAction(a);
            QVERIFY2(b && b->isVisible() && bar->rect().contains(b->geometry()), qPrintable(a->objectName()));
        }
        QCOMPARE(keys, app::Toolbar::keys());
        QCOMPARE(keys, QStringList({"mamo1", "mamo2", "mamo3", "mamo4", "mamo5", "mamo6", "mamo_normal", "mamo7",
                                    "mamo8", "mamo9", "mamo10", "mamo11"}));
        QCOMPARE(tips, QStringList({"OPEN", "SAVE", "PRINT", "拡大", "縮小", "FIT", "NORMAL", "ﾌｧｲﾙ一覧を隠す",
                                    "ﾌｧｲﾙ一覧を表示", "COPY", "削除", "クリップボードへコピー"}));
        // Under the menu bar, above the image and the browser panel.
        QCOMPARE(bar->mapTo(w.form.get(), QPoint(0, 0)).y(), w->clientArea()->y());
        QVERIFY(bar->geometry().bottom() < w->controls().Img1->y());
        QVERIFY(bar->geometry().bottom() < w->controls().Drive1->y());

        // Open, Save and Print are the menu's commands (cancelled here, or
        // nothing to print); a real click reaches them like trigger() does.
        QSignalSpy open(w->action(MenuId::mnuFileOpen), &QAction::triggered);
        QSignalSpy save(w->action(MenuId::mnuFileSave), &QAction::triggered);
        QSignalSpy print(w->action(MenuId::mnuFilePrint), &QAction::triggered);
        QTest::mouseClick(bar->widgetForAction(w.button("mamo1")), Qt::LeftButton);
        w.click("mamo2");
        w.click("mamo3");
        QCOMPARE(open.size(), 1);
        QCOMPARE(save.size(), 1);
        QCOMPARE(print.size(), 1);
        // A key that is none of the buttons' does nothing.
        QAction* stray = bar->addAction(QStringLiteral("?"));
        stray->setData(QStringLiteral("mamo12"));
        stray->trigger();
        QVERIFY(w.ui->boxes.isEmpty());
        QCOMPARE(open.size() + save.size() + print.size(), 3);
    }

    void zoomStepsKeepASnapshot() {
        Window w(makeImage(path("zoom.tif"), 64, 48));
        for (int i = 0; i < 3; ++i) w.click("mamo4");
        QCOMPARE(w->state().nZoom, int16_t(130));
        QCOMPARE(w.panel(4), QStringLiteral("83 Width"));   // 83.2
        QCOMPARE(w.panel(5), QStringLiteral("62 Height"));  // 62.4
        QCOMPARE(w->controls().Img1->displayRect(), QRectF(0, 0, 83, 62));
        // The snapshot was taken before the last step; Undo goes back to it.
        QCOMPARE(w->state().nUndoZoom, int16_t(120));
        w->action(MenuId::mnuEditUndo)->trigger();
        QCOMPARE(w->state().nZoom, int16_t(120));
        QCOMPARE(w.panel(4), QStringLiteral("77 Width"));
        w.click("mamo5");
        QCOMPARE(w->state().nZoom, int16_t(110));
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(w->controls().Img1->isVisible() || !w->isVisible());

        // Fit and normal set the view mode and leave nZoom alone.
        w.click("mamo6");
        QCOMPARE(w->controls().Img1->viewMode(), int(engine::ImageControl::ViewFit));
        w.click("mamo_normal");
        QCOMPARE(w->controls().Img1->viewMode(), int(engine::ImageControl::ViewNormal));
        QCOMPARE(w->state().nZoom, int16_t(110));

        // The clipboard gets the picture.
        w.click("mamo11");
        QCOMPARE(QApplication::clipboard()->image().size(), QSize(64, 48));
    }

    void withoutAnImageTheButtonsDoNothing() {
        Folders f(2);
        Window w;
        w->state().sDestDir = f.dest.path();
        QApplication::clipboard()->setText(QStringLiteral("kept"));
        for (const char* key : {"mamo4", "mamo5", "mamo9", "mamo10", "mamo11", "mamo6", "mamo_normal"}) w.click(key);
        QCOMPARE(w->state().nZoom, int16_t(100));
        QVERIFY(w->controls().Img4->isEmpty());   // no snapshot either
        QVERIFY(w.ui->boxes.isEmpty());
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("kept"));
        QVERIFY(QDir(f.dest.path()).isEmpty());

        // Nor on a file that is no longer on screen: shown, then emptied by Esc.
        w.browse(f.src.path(), 0);
        QCOMPARE(w->state().fImage, int16_t(1));
        w->controls().Img1->setImageSource(QString());
        w.ui->answers << shell::MsgYes;
        w.click("mamo10");
        w.click("mamo9");
        QVERIFY(QFile::exists(f.src.filePath("p1.tif")));
        QVERIFY(w.ui->boxes.isEmpty());
        QVERIFY(QDir(f.dest.path()).isEmpty());
    }

    void clicksDuringAListLoadWaitForIt() {
        // A click arriving while a load reports progress finds no image yet
        // (fImage is 0 until the load is through) and does nothing.
        Folders f(1);
        makeImage(f.src.filePath("big.jpg"), 1600, 1200, 3, engine::kFmtJpeg);
        Window w;
        w->state().sDestDir = f.dest.path();
        w->controls().Img1->setProgressEnabled(true);
        w.ui->answers << shell::MsgYes;
        int clicks = 0;
        QObject::connect(w->controls().Img1, &engine::ImageControl::progress, w.form.get(), [&] {
            if (clicks++) return;
            for (const char* key : {"mamo4", "mamo9", "mamo10", "mamo11"}) w.click(key);
        });
        w.browse(f.src.path(), 0);   // big.jpg comes first
        QVERIFY(clicks > 0);
        QCOMPARE(w->controls().Img1->bitmapWidth(), 1600);
        QVERIFY(w.ui->boxes.isEmpty());
        QVERIFY(QFile::exists(f.src.filePath("big.jpg")));
        QVERIFY(QDir(f.dest.path()).isEmpty());
        QVERIFY(w->controls().Img4->isEmpty());
        // Once it is through, the same clicks act.
        w.click("mamo9");
        QVERIFY(QFile::exists(f.dest.filePath("big.jpg")));
    }

    void aClickDuringALoadActsWhenTheLoadEnds() {
        // A real click (queued by the window system, as a user's is) that
        // arrives while a load reports progress is not handled in the middle
        // of it: the gauge repaints, the click waits, and once the load is
        // through it zooms the new picture.
        Folders f(1);
        makeImage(f.src.filePath("big.jpg"), 1600, 1200, 3, engine::kFmtJpeg);
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        w->state().fProgress = -1;
        w->controls().Img1->setProgressEnabled(true);
        QWidget* zoomIn = w->controls().Toolbar1->widgetForAction(w.button("mamo4"));
        const QPoint at = zoomIn->mapTo(w.form.get(), zoomIn->rect().center());
        QWindow* window = w->windowHandle();
        int reports = 0;
        QObject::connect(w->controls().Img1, &engine::ImageControl::progress, w.form.get(), [&] {
            if (reports++) return;
            for (QEvent::Type t : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
                QWindowSystemInterface::handleMouseEvent<QWindowSystemInterface::AsynchronousDelivery>(
                    window, at, window->mapToGlobal(at),
                    t == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::LeftButton, t);
        });
        w.browse(f.src.path(), 0);
        QVERIFY2(reports > 1, "the load must report progress after the click");
        QCOMPARE(w->state().fImage, int16_t(1));
        const int16_t loaded = w->state().nZoom;   // the large photo came in fitted
        QVERIFY(w->controls().Img4->isEmpty());     // no zoom step yet
        QTRY_COMPARE(w->state().nZoom, int16_t(loaded + 10));
        QCOMPARE(w->state().nUndoZoom, loaded);
    }

    void copyWithoutAFileOfThatNameAsksNothing() {
        Folders f(3);
        Window w;
        w->state().sDestDir = f.dest.path();
        w.browse(f.src.path(), 1);
        Form4Answer never([](files::Form4& d) { d.reject(); });
        w.click("mamo9");
        QCOMPARE(never.seen, 0);
        QVERIFY(w.ui->boxes.isEmpty());
        QCOMPARE(contents(f.dest.filePath("p2.tif")), contents(f.src.filePath("p2.tif")));
    }

    void copyOverAFileOfThatName_data() {
        QTest::addColumn<QString>("answer");   // "ok", "rename" or "close"
        QTest::newRow("kept name replaces") << "ok";
        QTest::newRow("renamed") << "rename";
        QTest::newRow("closed copies nothing") << "close";
    }
    void copyOverAFileOfThatName() {
        QFETCH(QString, answer);
        Folders f(2);
        const QString there = makeImage(f.dest.filePath("p2.tif"), 90, 70, 9);
        const QByteArray before = contents(there);
        Window w;
        w->state().sDestDir = f.dest.path();
        w.browse(f.src.path(), 1);
        w->state().fListKey = 1;
        QString shownName;
        int previewWidth = 0;
        Form4Answer a([&](files::Form4& d) {
            shownName = d.Text1->text();
            previewWidth = d.Img1->bitmapWidth();
            if (answer == "rename") d.Text1->setText(QStringLiteral("copy of p2.tif"));
            if (answer == "close") d.reject();
            else d.Command1->click();
        });
        w.click("mamo9");
        QCOMPARE(a.seen, 1);
        // The dialog shows the file already there, under the shown file's name.
        QCOMPARE(shownName, QStringLiteral("p2.tif"));
        QCOMPARE(previewWidth, 90);
        QCOMPARE(w->state().fListKey, int16_t(0));
        QVERIFY(w.ui->boxes.isEmpty());
        const QByteArray source = contents(f.src.filePath("p2.tif"));
        if (answer == "ok") {
            QCOMPARE(contents(there), source);
        } else if (answer == "rename") {
            QCOMPARE(contents(there), before);
            QCOMPARE(contents(f.dest.filePath("copy of p2.tif")), source);
        } else {
            QCOMPARE(contents(there), before);
            QCOMPARE(QDir(f.dest.path()).entryList(QDir::Files).size(), 1);
        }

        // The next copy starts from a fresh dialog: closing it now copies nothing.
        Form4Answer again([](files::Form4& d) { d.close(); });
        const QByteArray now = contents(there);
        w.click("mamo9");
        QCOMPARE(again.seen, 1);
        QCOMPARE(contents(there), now);
    }

    void failedCopyIsReported() {
        Folders f(1);
        Window w;
        w->state().sDestDir = f.dest.filePath("no such folder");
        w.browse(f.src.path(), 0);
        w.click("mamo9");
        QCOMPARE(w.ui->boxes.size(), 1);
        QCOMPARE(w.ui->boxes[0].prompt, QStringLiteral("ファイルをコピーできません。"));
        QCOMPARE(w.ui->boxes[0].style, int(shell::OkOnly));
    }

    void deleteAsksThenSelectsTheEntryBefore() {
        Folders f(6);
        Window w;
        w.browse(f.src.path(), 4);
        QCOMPARE(w->state().sFileName, QStringLiteral("p5.tif"));
        // No, the default answer, keeps the file.
        w.click("mamo10");
        QCOMPARE(w.ui->boxes.size(), 1);
        QCOMPARE(w.ui->boxes[0].prompt, QStringLiteral("ファイルを削除しますか？"));
        QCOMPARE(w.ui->boxes[0].title, QStringLiteral("ファイルの削除"));
        QCOMPARE(w.ui->boxes[0].style, shell::YesNo | shell::Critical | shell::DefaultButton2);
        QVERIFY(QFile::exists(f.src.filePath("p5.tif")));
        // Yes deletes it; the fourth entry is selected and shown.
        w.ui->answers << shell::MsgYes;
        w.click("mamo10");
        QVERIFY(!QFile::exists(f.src.filePath("p5.tif")));
        QCOMPARE(w->controls().File1->listCount(), 5);
        QCOMPARE(w->controls().File1->listIndex(), 3);
        QCOMPARE(w->state().sFileName, QStringLiteral("p4.tif"));
        QCOMPARE(w->controls().Img1->bitmapWidth(), 60);
        QCOMPARE(w.ui->boxes.size(), 2);
    }

    void databaseOpenStopsTheFileButtons() {
        Folders f(2);
        Window w;
        w->state().sDestDir = f.dest.path();
        w.browse(f.src.path(), 0);
        w->controls().DBGrid1->show();
        w.ui->answers << shell::MsgYes;
        w.click("mamo9");
        w.click("mamo10");
        w.click("mamo7");
        QCOMPARE(w.ui->boxes.size(), 2);
        QCOMPARE(w.ui->boxes[0].prompt, QStringLiteral("ファイルをコピーできません"));
        QCOMPARE(w.ui->boxes[1].prompt, QStringLiteral("ファイルを削除できません"));
        QVERIFY(QFile::exists(f.src.filePath("p1.tif")));
        QVERIFY(QDir(f.dest.path()).isEmpty());
        QCOMPARE(w->state().fBrowserHidden, int16_t(0));
        QVERIFY(!w->controls().File1->isHidden());
    }

    void hidingThePanelLetsTheImageSpanTheWindow() {
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        auto twips = [](int px) { return shell::pixelsToTwips(px); };
        const shell::Controls& c = w->controls();
        w.click("mamo7");
        QCOMPARE(w->state().fBrowserHidden, int16_t(1));
        for (QWidget* x : {static_cast<QWidget*>(c.Drive1), static_cast<QWidget*>(c.Dir1),
                           static_cast<QWidget*>(c.Combo1), static_cast<QWidget*>(c.File1)})
            QVERIFY(x->isHidden());
        QCOMPARE(c.Img1->x(), 0);
        QCOMPARE(c.Img1->width(), shell::twipsToPixels(twips(w->frameGeometry().width()) - 100));
        QCOMPARE(c.Img1->height(), shell::twipsToPixels(twips(w->frameGeometry().height()) - 1425));
        // The resize layout keeps it spanning the window.
        w->resize(900, 640);
        QTRY_COMPARE(w->width(), 900);
        QCOMPARE(c.Img1->x(), 0);
        QCOMPARE(c.Img1->width(), shell::twipsToPixels(twips(w->frameGeometry().width()) - 100));
        // Showing the panel puts the image back beside it.
        w.click("mamo8");
        QCOMPARE(w->state().fBrowserHidden, int16_t(0));
        QVERIFY(!c.File1->isHidden());
        QCOMPARE(c.Img1->x(), shell::twipsToPixels(2355));
        QCOMPARE(c.Img1->width(), shell::twipsToPixels(twips(w->frameGeometry().width()) - 2460));
        QCOMPARE(c.File1->height(), shell::twipsToPixels(twips(w->frameGeometry().height()) - 4760));
    }
};

QTEST_MAIN(TestToolbar)
#include "test_toolbar.moc"
