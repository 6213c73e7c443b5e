// The file browser and the open commands as a user drives them: walking
// with the arrow keys, modified keys that wait for the release, deleting and
// copying the shown file, file types, drive keys, Open, Close and pages.
#include <unistd.h>

#include <QComboBox>
#include <QDialog>
#include <QMainWindow>
#include <QProcess>
#include <QScrollBar>
#include <QStandardPaths>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/core/formats/read_ahead.h"
#include "engine/dialogs/open_dialog.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/native_path.h"
#include "engine/image_store.h"
#include "files/files.h"
#include "files/form4.h"
#include "shell/file_lists.h"
#include "shell/status_bar.h"
#include "support/fake_context.h"
#include "support/images.h"

using namespace qova;
using files::FileBrowser;
using shell::MenuId;

namespace {

void writeImage(const QString& path, int w, int h, int bpp = 24, int format = engine::kFmtPng, int pages = 1) {
    engine::Document d;
    for (int i = 0; i < pages; ++i) d.frames.push_back(engine::Frame{test::madeImage(w, h, bpp, unsigned(i))});
    engine::SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    QCOMPARE(engine::saveFile(d, r), int16_t(0));
}

struct Fixture {
    QTemporaryDir dir;
    QTemporaryDir dest;
    test::FakeContext ctx;
    test::ScriptedUi* ui = &ctx.scripted();
    files::Files files{ctx};
    FileBrowser* browser = &files.browser;
    Fixture() {
        // Three images of different widths, so the one shown is easy to tell.
        writeImage(dir.filePath("a.jpg"), 11, 10, 24, engine::kFmtJpeg);
        writeImage(dir.filePath("b.bmp"), 22, 10, 24, engine::kFmtBmp);
        writeImage(dir.filePath("c.tif"), 33, 10, 24, engine::kFmtTiff);
        QFile t(dir.filePath("notes.txt"));
        t.open(QIODevice::WriteOnly);
        t.write("hello");
        t.close();
        ctx.state().sDestDir = dest.path();
        browser->dir()->setPath(dir.path());
    }
    const shell::Controls& c() const { return ctx.controls(); }
    shell::WindowState& s() { return ctx.state(); }
    shell::FileList* list() const { return browser->file(); }
    int shownWidth() const { return c().Img1->isEmpty() ? 0 : c().Img1->bitmapWidth(); }
};

}  // namespace

class TestBrowser : public QObject {
    Q_OBJECT
private slots:
    void cleanup() { engine::EngineDialog::setAnswerHook({}); }

    void acceptedExtensions() {
        QVERIFY(FileBrowser::acceptedExtension("photo.jpeg"));
        QVERIFY(FileBrowser::acceptedExtension("PHOTO.JPE"));
        QVERIFY(FileBrowser::acceptedExtension("anim.gif"));
        QVERIFY(!FileBrowser::acceptedExtension("notes.txt"));
        // Today's pictures open with a click too.
        QVERIFY(FileBrowser::acceptedExtension("x.png"));
        QVERIFY(FileBrowser::acceptedExtension("photo.WEBP"));
    }

    void comboPatterns() {
        QCOMPARE(FileBrowser::comboEntries().size(), 22);
        QCOMPARE(FileBrowser::comboPattern("JPG"), QString("*.jpg;*.jpeg;*.jpe"));
        QCOMPARE(FileBrowser::comboPattern("PSD"), QString("*.psd"));
        QCOMPARE(FileBrowser::comboPattern("*.*"), QString("*.*"));
        QCOMPARE(FileBrowser::comboPattern("ALL"), FileBrowser::startPattern());
        QVERIFY(FileBrowser::comboPattern("nonsense").isEmpty());
        Fixture f;
        QCOMPARE(f.list()->listCount(), 3);  // notes.txt is not listed
        f.browser->combo()->setCurrentText("*.*");
        f.browser->Combo1_Click();
        QCOMPARE(f.list()->listCount(), 4);
        // A listed file that is no image does nothing when clicked.
        f.list()->setListIndex(3);
        QCOMPARE(f.list()->fileName(), QString("notes.txt"));
        QVERIFY(f.c().Img1->isEmpty());
        QVERIFY(f.s().sFilePath.isEmpty());
        f.browser->combo()->setCurrentText("JPG");
        f.browser->Combo1_Click();
        QCOMPARE(f.list()->listCount(), 1);
        // Suffixes in any case, other wildcards, and everything.
        QVERIFY(shell::FileList::matches("A.JPEG", "*.bmp;*.jpeg"));
        QVERIFY(!shell::FileList::matches("a.jpeg.txt", "*.bmp;*.jpeg"));
        QVERIFY(shell::FileList::matches("scan07.tif", "*.png;scan??.tif"));
        QVERIFY(!shell::FileList::matches("scan7.tif", "scan??.tif"));
        QVERIFY(shell::FileList::matches("README", "*.*"));
        QVERIFY(!shell::FileList::matches("a.png", ""));
    }

    void walkingShowsEveryImage() {
        Fixture f;
        f.list()->setFocus();
        f.list()->setListIndex(0);
        QCOMPARE(f.shownWidth(), 11);
        QCOMPARE(f.s().fImage, int16_t(1));
        QTest::keyClick(f.list(), Qt::Key_Down);
        QCOMPARE(f.shownWidth(), 22);
        QTest::keyClick(f.list(), Qt::Key_Down);
        QCOMPARE(f.shownWidth(), 33);
        QCOMPARE(f.s().sFileName, QString("c.tif"));
        QCOMPARE(f.s().sFilePath, QDir(f.dir.path()).filePath("c.tif"));
        QVERIFY(f.c().StatusBar1->panelText(4).startsWith("33"));
    }

    // Pictures larger than the view, read ahead in the walk's direction:
    // down and back up, each key shows its own picture, and what the view
    // paints from the copy made ahead is what it paints when it reduces
    // the picture itself.
    void walkUpAndDownThroughTheReadAhead() {
        QTemporaryDir dir;
        for (int i = 0; i < 5; ++i)
            writeImage(dir.filePath(QString("p%1.jpg").arg(i)), 1500 + 100 * i, 1100, 24, engine::kFmtJpeg);
        test::FakeContext ctx;
        files::Files files{ctx};
        engine::ReadAhead ahead;
        engine::ImageControl* img = ctx.controls().Img1;
        img->setReadAhead(&ahead);
        shell::FileList* list = files.browser.file();
        files.browser.dir()->setPath(dir.path());
        list->setFocus();
        list->setListIndex(0);
        auto check = [&](int i) {
            QCOMPARE(list->listIndex(), i);
            QCOMPARE(img->bitmapWidth(), 1500 + 100 * i);
            QCOMPARE(ctx.state().sFileName, QString("p%1.jpg").arg(i));
            QVERIFY(ctx.controls().StatusBar1->panelText(4).startsWith(QString::number(1500 + 100 * i)));
            const QImage painted = img->viewport()->grab().toImage();
            img->bitmapChanged();  // the view reduces the picture itself
            QCOMPARE(img->viewport()->grab().toImage(), painted);
        };
        check(0);
        for (int i = 1; i < 5; ++i) {
            QTRY_VERIFY(ahead.idle());
            QVERIFY(ahead.heldCount() >= 1);  // the next one waits decoded
            QTest::keyClick(list, Qt::Key_Down);
            check(i);
        }
        for (int i = 3; i >= 0; --i) {
            QTRY_VERIFY(ahead.idle());
            QTest::keyClick(list, Qt::Key_Up);
            check(i);
        }
        img->setReadAhead(nullptr);
    }

    // A picture much larger than the view: its preview is on screen while
    // the whole picture decodes, yet the control, the panels and every
    // command still have the picture before; a key pressed meanwhile waits
    // and then walks on from the new picture; the preview gives way to
    // the whole picture, with its true size in the panels.
    void largePictureShowsAPreviewWhileItDecodes() {
        QTemporaryDir dir;
        writeImage(dir.filePath("a.jpg"), 40, 30, 24, engine::kFmtJpeg);
        writeImage(dir.filePath("b.jpg"), 3000, 2200, 24, engine::kFmtJpeg);
        writeImage(dir.filePath("c.jpg"), 50, 30, 24, engine::kFmtJpeg);
        test::FakeContext ctx;
        files::Files files{ctx};
        // A view a quarter of the picture's size or less.
        ctx.mainWindow()->resize(640, 480);
        ctx.mainWindow()->show();
        engine::ImageControl* img = ctx.controls().Img1;
        shell::FileList* list = files.browser.file();
        files.browser.dir()->setPath(dir.path());
        list->setFocus();
        list->setListIndex(0);
        QCOMPARE(img->bitmapWidth(), 40);

        struct Watch : QObject {
            engine::ImageControl* img;
            shell::FileList* list;
            test::FakeContext* ctx;
            int previews = 0, widthDuring = 0, indexAfterKey = -1;
            QString panelDuring;
            QImage preview;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() != QEvent::Paint || img->previewImage().isNull() || previews++) return false;
                preview = img->previewImage();
                widthDuring = img->bitmapWidth();
                panelDuring = ctx->controls().StatusBar1->panelText(4);
                // The impatient user: a key while the picture decodes.
                QCoreApplication::postEvent(list, new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
                QCoreApplication::postEvent(list, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier));
                return false;
            }
        } watch;
        watch.img = img;
        watch.list = list;
        watch.ctx = &ctx;
        img->viewport()->installEventFilter(&watch);
        QTest::keyClick(list, Qt::Key_Down);
        img->viewport()->removeEventFilter(&watch);
        QCOMPARE(watch.previews, 1);
        QVERIFY(watch.preview.width() < 3000 / 4 + 1);
        QCOMPARE(watch.widthDuring, 40);  // commands see the picture before
        QVERIFY(watch.panelDuring.startsWith("40"));
        // The load is through: the whole picture, its true size, no preview,
        // and the key still waiting.
        QCOMPARE(list->listIndex(), 1);
        QCOMPARE(img->bitmapWidth(), 3000);
        QVERIFY(img->previewImage().isNull());
        QVERIFY(ctx.controls().StatusBar1->panelText(4).startsWith("3000"));
        QCOMPARE(ctx.state().sFileName, QString("b.jpg"));
        // Then the key walks on from there.
        QTRY_COMPARE(list->listIndex(), 2);
        QCOMPARE(img->bitmapWidth(), 50);
        QCOMPARE(ctx.state().sFileName, QString("c.jpg"));
    }

    // A file rewritten after it was read ahead is read again at the key.
    void fileChangedAfterReadAheadIsReadAgain() {
        Fixture f;
        engine::ReadAhead ahead;
        f.c().Img1->setReadAhead(&ahead);
        f.list()->setFocus();
        f.list()->setListIndex(0);
        QTRY_VERIFY(ahead.idle());
        QVERIFY(ahead.heldCount() >= 1);
        writeImage(f.dir.filePath("b.bmp"), 44, 12, 24, engine::kFmtBmp);
        QTest::keyClick(f.list(), Qt::Key_Down);
        QCOMPARE(f.shownWidth(), 44);
        QVERIFY(f.c().StatusBar1->panelText(4).startsWith("44"));
        f.c().Img1->setReadAhead(nullptr);
    }

    void shiftWalkShowsOnRelease() {
        Fixture f;
        f.list()->setListIndex(0);
        QTest::keyPress(f.list(), Qt::Key_Down, Qt::ShiftModifier);
        QTest::keyPress(f.list(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(f.list()->listIndex(), 2);
        QCOMPARE(f.shownWidth(), 11);  // nothing loads while Shift is down
        QTest::keyRelease(f.list(), Qt::Key_Shift, Qt::ShiftModifier);
        QCOMPARE(f.shownWidth(), 33);
        QCOMPARE(f.s().fListKey, int16_t(0));
    }

    void shiftDeleteFirstAndThird() {
        Fixture f;
        f.list()->setListIndex(0);
        QTest::keyPress(f.list(), Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(!QFile::exists(f.dir.filePath("a.jpg")));
        QVERIFY(f.c().Img1->isEmpty());
        QCOMPARE(f.list()->listCount(), 2);
        QCOMPARE(f.list()->listIndex(), -1);
        QCOMPARE(f.c().StatusBar1->panelText(3), QString("0"));
        QTest::keyRelease(f.list(), Qt::Key_Shift, Qt::ShiftModifier);
        QVERIFY(f.c().Img1->isEmpty());

        writeImage(f.dir.filePath("d.pcx"), 44, 10, 24, engine::kFmtPcx);
        f.list()->refresh();
        QCOMPARE(f.list()->listCount(), 3);  // b.bmp c.tif d.pcx
        f.list()->setListIndex(2);
        QCOMPARE(f.shownWidth(), 44);
        QTest::keyPress(f.list(), Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(!QFile::exists(f.dir.filePath("d.pcx")));
        QCOMPARE(f.list()->listIndex(), 1);
        QVERIFY(f.c().Img1->isEmpty());  // the entry before is selected but waits for the release
        QTest::keyRelease(f.list(), Qt::Key_Shift, Qt::ShiftModifier);
        QCOMPARE(f.shownWidth(), 33);
        QVERIFY(f.ui->boxes.isEmpty());
    }

    // With nothing shown, Delete and Insert have no file to act on.
    void fileKeysWithNothingShownDoNothing() {
        Fixture f;
        QTest::keyPress(f.list(), Qt::Key_Delete, Qt::ShiftModifier);
        QTest::keyPress(f.list(), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files).size(), 4);
        QCOMPARE(QDir(f.dest.path()).entryList(QDir::Files).size(), 0);
        QVERIFY(f.ui->boxes.isEmpty());
    }

    void shiftInsertCopies() {
        Fixture f;
        f.list()->setListIndex(1);
        QTest::keyPress(f.list(), Qt::Key_Insert, Qt::ShiftModifier);
        QVERIFY(QFile::exists(f.dest.filePath("b.bmp")));
        QVERIFY(f.ui->boxes.isEmpty());  // no file of that name: copied silently
        // Now the target exists: preview and question, No by default keeps it.
        QFile::remove(f.dest.filePath("b.bmp"));
        writeImage(f.dest.filePath("b.bmp"), 5, 5, 24, engine::kFmtBmp);
        const qint64 before = QFileInfo(f.dest.filePath("b.bmp")).size();
        QTest::keyPress(f.list(), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(f.ui->boxes.size(), 1);
        QCOMPARE(f.ui->boxes[0].prompt, QString("同名のファイルがあります。コピーしますか？"));
        QCOMPARE(f.ui->boxes[0].title, QString("ファイルコピー"));
        QCOMPARE(f.ui->boxes[0].style, shell::YesNo | shell::Critical | shell::DefaultButton2);
        QCOMPARE(QFileInfo(f.dest.filePath("b.bmp")).size(), before);
        QCOMPARE(f.s().fListKey, int16_t(0));
        f.ui->answers << shell::MsgYes;
        QTest::keyPress(f.list(), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(QFileInfo(f.dest.filePath("b.bmp")).size(), QFileInfo(f.dir.filePath("b.bmp")).size());
    }

    void zoomAndViewKeys() {
        Fixture f;
        f.list()->setListIndex(2);
        QCOMPARE(f.s().nZoom, int16_t(100));
        QTest::keyClick(f.list(), Qt::Key_Insert);
        QCOMPARE(f.s().nZoom, int16_t(110));
        QCOMPARE(f.c().Img1->displayRect(), QRectF(0, 0, 36, 11));  // 33 × 1.1 = 36.3, 10 × 1.1 = 11
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QCOMPARE(f.s().nZoom, int16_t(90));
        QCOMPARE(f.c().Img4->bitmapWidth(), 33);  // each step took the undo snapshot
        QTest::keyClick(f.list(), Qt::Key_Backslash);
        QCOMPARE(f.c().Img1->viewMode(), 3);
        QTest::keyClick(f.list(), Qt::Key_Apostrophe);
        QCOMPARE(f.c().Img1->viewMode(), 0);
    }

    void driveKeys() {
        QCOMPARE(FileBrowser::driveForKey(96), QString("J:"));
        QCOMPARE(FileBrowser::driveForKey(99), QString("C:"));
        QCOMPARE(FileBrowser::driveForKey(105), QString("I:"));
        Fixture f;
        QTemporaryDir a, b, c;
        f.browser->drive()->setRoots({a.path(), b.path(), c.path()});
        QTest::keyClick(f.list(), Qt::Key_3, Qt::KeypadModifier);
        QCOMPARE(f.browser->dir()->path(), c.path());
        QCOMPARE(f.list()->path(), c.path());
        QCOMPARE(f.browser->drive()->drive(), QString("C:"));
        // J: does not exist: nothing moves, nothing is said.
        QTest::keyClick(f.list(), Qt::Key_0, Qt::KeypadModifier);
        QCOMPARE(f.browser->dir()->path(), c.path());
        QVERIFY(f.ui->boxes.isEmpty());
    }

    // Enter opens the highlighted directory and hands the keys to the file
    // list; Space opens it and stays; with a modifier Dir1 ignores keys.
    void directoryKeys() {
        Fixture f;
        QDir(f.dir.path()).mkdir("sub");
        writeImage(f.dir.filePath("sub/in.bmp"), 7, 7, 24, engine::kFmtBmp);
        f.browser->dir()->refresh();
        shell::DirList* d = f.browser->dir();
        int sub = -1;
        for (int i = 0; i < d->count(); ++i)
            if (d->entryPath(i) == f.dir.filePath("sub")) sub = i;
        QVERIFY(sub >= 0);
        d->setCurrentRow(sub);
        QTest::keyClick(d, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(d->path(), f.dir.path());
        d->setCurrentRow(sub);
        QTest::keyClick(d, Qt::Key_Return);
        QCOMPARE(d->path(), f.dir.filePath("sub"));
        QCOMPARE(f.list()->path(), f.dir.filePath("sub"));
        QCOMPARE(f.list()->listCount(), 1);
        // Back up with Space on the parent entry.
        d->setCurrentRow(d->count() - 2);
        QTest::keyClick(d, Qt::Key_Space);
        QCOMPARE(d->path(), f.dir.path());
    }

    void driveNotReadySnapsBack() {
        Fixture f;
        QTemporaryDir a;
        const QString gone = a.path() + "/gone";
        f.browser->drive()->setRoots({f.dir.path(), gone});
        f.browser->drive()->setCurrentIndex(0);
        f.browser->dir()->setPath(f.dir.path());
        f.browser->drive()->setCurrentIndex(1);  // a "drive" with no medium
        QCOMPARE(f.browser->dir()->path(), f.dir.path());
        QCOMPARE(f.browser->drive()->drive(), QString("A:"));
    }

    void escInTheListClearsThenAsks() {
        Fixture f;
        f.list()->setListIndex(0);
        QTest::keyClick(f.list(), Qt::Key_Escape);
        QVERIFY(f.c().Img1->isEmpty());
        QVERIFY(f.ui->boxes.isEmpty());
        QTest::keyClick(f.list(), Qt::Key_Escape);
        QCOMPARE(f.ui->boxes.size(), 1);
        QCOMPARE(f.ui->boxes[0].prompt, QString("終了しますか。"));
    }

    // Open: the filter is built once; a failed load reports and keeps the image.
    void openBuildsFilterOnceAndReportsErrors() {
        Fixture f;
        auto* open = &f.files.open;
        QString pick = f.dir.filePath("c.tif");
        engine::EngineDialog::setAnswerHook([&](QDialog& d, engine::EngineDialog::Kind) {
            qobject_cast<engine::OpenDialog*>(&d)->selectFile(pick);
            d.accept();
            return d.result() == QDialog::Accepted;
        });
        f.ctx.action(MenuId::mnuFileOpen)->trigger();
        QCOMPARE(f.shownWidth(), 33);
        QCOMPARE(f.c().ImgDlg1->flags, 486);
        QCOMPARE(f.c().ImgDlg1->title, QString("ﾌｧｲﾙを開く"));
        const QString filter = open->filter();
        QCOMPARE(filter.count('|'), 44);
        QVERIFY(filter.startsWith("すべてのﾌｧｲﾙ|*.*|Windows & OS/2|*.bmp|"));
        QVERIFY(filter.endsWith("Cursor|*.cur|"));
        pick = f.dir.filePath("notes.txt");
        f.ctx.action(MenuId::mnuFileOpen)->trigger();
        QCOMPARE(open->filter(), filter);
        QCOMPARE(f.ui->boxes.size(), 1);
        QCOMPARE(f.ui->boxes[0].title, QString("ｴﾗｰ: ﾌｧｲﾙの読み込み"));
        QCOMPARE(f.ui->boxes[0].prompt,
                 QString("ﾌｧｲﾙ '%1' でｴﾗｰが発生しました。 '20009', ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。.").arg(pick));
        QCOMPARE(f.shownWidth(), 33);  // the old image stays
        // Cancel changes nothing and says nothing.
        engine::EngineDialog::setAnswerHook([](QDialog&, engine::EngineDialog::Kind) { return false; });
        f.ctx.action(MenuId::mnuFileOpen)->trigger();
        QCOMPARE(f.ui->boxes.size(), 1);
        QCOMPARE(f.shownWidth(), 33);
    }

    void openEightBitRepaintsOnceMoreAndPagesTurn() {
        Fixture f;
        writeImage(f.dir.filePath("pages.tif"), 9, 9, 8, engine::kFmtTiff, 3);
        engine::EngineDialog::setAnswerHook([&](QDialog& d, engine::EngineDialog::Kind) {
            qobject_cast<engine::OpenDialog*>(&d)->selectFile(f.dir.filePath("pages.tif"));
            d.accept();
            return true;
        });
        f.c().Img1->setCallLogEnabled(true);
        f.ctx.action(MenuId::mnuFileOpen)->trigger();
        const auto& log = f.c().Img1->callLog();
        const auto load = std::find(log.begin(), log.end(), 310);
        QVERIFY(load != log.end());
        QVERIFY(std::find(load, log.end(), 285) != log.end());
        QCOMPARE(f.c().Img1->bitmapListCount(), 3);
        auto* open = &f.files.open;
        open->LastPage_Click();
        QCOMPARE(f.c().Img1->bitmapListIndex(), 2);
        open->PrevPage_Click();
        QCOMPARE(f.c().Img1->bitmapListIndex(), 1);
        open->FirstPage_Click();
        QCOMPARE(f.c().Img1->bitmapListIndex(), 0);
        open->NextPage_Click();
        QCOMPARE(f.c().Img1->bitmapListIndex(), 1);
        // Close empties the view; then Esc asks to quit.
        f.ctx.action(MenuId::mnuFileClose)->trigger();
        QVERIFY(f.c().Img1->isEmpty());
        QCOMPARE(f.s().fImage, int16_t(0));
        QVERIFY(!f.ctx.action(MenuId::mnuView)->isEnabled());
        f.ctx.ClearOrQuit();
        QCOMPARE(f.ui->boxes.size(), 1);
    }

    // A damaged file clicked with nothing shown leaves no image behind: no
    // "0 Byte" panels, image menus off, and the zoom keys have nothing to do.
    void failedClickWithNothingShownShowsNothing() {
        Fixture f;
        QFile bad(f.dir.filePath("0bad.jpg"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("\xFF\xD8\xFF\xE0 not a picture");
        bad.close();
        f.list()->refresh();
        f.list()->setListIndex(0);
        QCOMPARE(f.s().sFileName, QString("0bad.jpg"));
        QVERIFY(f.c().Img1->isEmpty());
        QCOMPARE(f.s().fImage, int16_t(0));
        QVERIFY(!f.ctx.action(MenuId::mnuView)->isEnabled());
        QVERIFY(!f.ctx.action(MenuId::MainImage)->isEnabled());
        QVERIFY(!f.c().StatusBar1->panelText(3).endsWith("Byte"));
        QTest::keyClick(f.list(), Qt::Key_Insert);
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QCOMPARE(f.s().nZoom, int16_t(100));
        // A good picture, then a damaged one: the good one stays, reported.
        f.list()->setListIndex(1);
        QCOMPARE(f.shownWidth(), 11);
        f.list()->setListIndex(0);
        QCOMPARE(f.shownWidth(), 11);
        QCOMPARE(f.s().fImage, int16_t(1));
    }

    // Deleting the shown file (or failing to) empties the view like Close:
    // a plain Delete after it has no image to zoom.
    void afterShiftDeleteNoImageIsClaimed() {
        Fixture f;
        f.list()->setListIndex(0);
        QTest::keyPress(f.list(), Qt::Key_Delete, Qt::ShiftModifier);
        QTest::keyRelease(f.list(), Qt::Key_Shift, Qt::ShiftModifier);
        QVERIFY(f.c().Img1->isEmpty());
        QCOMPARE(f.s().fImage, int16_t(0));
        QVERIFY(!f.ctx.action(MenuId::mnuColor)->isEnabled());
        QTest::keyClick(f.list(), Qt::Key_Delete);
        QCOMPARE(f.s().nZoom, int16_t(100));
        QCOMPARE(f.list()->listCount(), 2);  // the plain key deleted nothing
    }

    // Shift+Delete and Shift+Insert act on the file on screen only: after
    // Close, an Open from another folder or a conversion they do nothing.
    void fileKeysActOnlyOnTheFileShown() {
        Fixture f;
        QTemporaryDir other;
        writeImage(other.filePath("far.png"), 55, 10);
        auto shiftKey = [&](Qt::Key k) {
            f.list()->setFocus();
            QTest::keyPress(f.list(), k, Qt::ShiftModifier);
            QTest::keyRelease(f.list(), Qt::Key_Shift, Qt::ShiftModifier);
        };
        f.list()->setListIndex(0);  // a.jpg shown
        f.ctx.action(MenuId::mnuFileClose)->trigger();
        shiftKey(Qt::Key_Delete);
        QVERIFY(QFile::exists(f.dir.filePath("a.jpg")));
        // The release loaded a.jpg again: now Open a file of another folder.
        QCOMPARE(f.shownWidth(), 11);
        engine::EngineDialog::setAnswerHook([&](QDialog& d, engine::EngineDialog::Kind) {
            qobject_cast<engine::OpenDialog*>(&d)->selectFile(other.filePath("far.png"));
            d.accept();
            return true;
        });
        f.ctx.action(MenuId::mnuFileOpen)->trigger();
        QCOMPARE(f.shownWidth(), 55);
        QTest::keyPress(f.list(), Qt::Key_Delete, Qt::ShiftModifier);
        QTest::keyPress(f.list(), Qt::Key_Insert, Qt::ShiftModifier);
        QVERIFY(QFile::exists(f.dir.filePath("a.jpg")));
        QVERIFY(QFile::exists(other.filePath("far.png")));
        QCOMPARE(QDir(f.dest.path()).entryList(QDir::Files).size(), 0);
        QCOMPARE(f.shownWidth(), 55);
        QVERIFY(f.ui->boxes.isEmpty());
        // The toolbar's delete goes through the same service.
        f.ctx.services().browser->deleteShownFile();
        QVERIFY(QFile::exists(f.dir.filePath("a.jpg")));
    }

    // The shown file went from the disk: Shift+Insert says it cannot copy.
    void shiftInsertOfAVanishedFileSaysSo() {
        Fixture f;
        f.list()->setListIndex(1);
        QVERIFY(QFile::remove(f.dir.filePath("b.bmp")));
        QTest::keyPress(f.list(), Qt::Key_Insert, Qt::ShiftModifier);
        QCOMPARE(f.ui->boxes.size(), 1);
        QCOMPARE(f.ui->boxes[0].prompt, QString("ファイルをコピーできません。"));
        QCOMPARE(f.ui->boxes[0].style, shell::OkOnly);
        QCOMPARE(QDir(f.dest.path()).entryList(QDir::Files).size(), 0);
    }

    // Only a real click or key loads: Enter in Dir1 hands the focus to the
    // file list without showing its first file, and a click below the last
    // entry does not reload the shown one (losing its zoom).
    void onlyTheUsersMoveLoads() {
        Fixture f;
        f.ctx.window()->show();
        QVERIFY(QTest::qWaitForWindowActive(f.ctx.window()));
        QDir(f.dir.path()).mkdir("sub");
        writeImage(f.dir.filePath("sub/in.bmp"), 7, 7, 24, engine::kFmtBmp);
        shell::DirList* d = f.browser->dir();
        d->refresh();
        d->setFocus();
        for (int i = 0; i < d->count(); ++i)
            if (d->entryPath(i) == f.dir.filePath("sub")) d->setCurrentRow(i);
        QTest::keyClick(d, Qt::Key_Return);
        QCOMPARE(f.list()->path(), f.dir.filePath("sub"));
        QTRY_VERIFY(f.list()->hasFocus());
        QVERIFY(f.c().Img1->isEmpty());
        QVERIFY(f.s().sFilePath.isEmpty());
        // Down walks from there and shows.
        QTest::keyClick(f.list(), Qt::Key_Down);
        QCOMPARE(f.shownWidth(), 7);
        QTest::keyClick(f.list(), Qt::Key_Insert);
        QCOMPARE(f.s().nZoom, int16_t(110));
        const QPoint below(5, f.list()->viewport()->height() - 3);
        QTest::mouseClick(f.list()->viewport(), Qt::LeftButton, {}, below);
        QCOMPARE(f.s().nZoom, int16_t(110));
        // A click on the entry itself is a click, even on the selected one.
        const QRect row = f.list()->visualItemRect(f.list()->item(0));
        QTest::mouseClick(f.list()->viewport(), Qt::LeftButton, {}, row.center());
        QCOMPARE(f.s().nZoom, int16_t(100));
    }

    // The focus arriving while a click's picture loads (a large picture's
    // preview lets events run before the entry shows selected) leaves the
    // clicked entry current: the next Down walks on from it.
    void focusDuringAClickKeepsTheEntry() {
        QTemporaryDir dir;
        for (int i = 0; i < 3; ++i) writeImage(dir.filePath(QString("p%1.png").arg(i)), 5, 5);
        shell::FileList list;
        list.setPath(dir.path());
        list.show();
        QVector<int> rows;
        QObject::connect(&list, &shell::FileList::clicked, &list, [&] {
            rows << list.currentRow();
            if (rows.size() == 1) {
                QFocusEvent in(QEvent::FocusIn, Qt::ActiveWindowFocusReason);
                QApplication::sendEvent(&list, &in);
            }
        });
        QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualItemRect(list.item(0)).center());
        QCOMPARE(list.currentRow(), 0);
        QTest::keyClick(&list, Qt::Key_Down);
        QCOMPARE(rows, QVector<int>({0, 1}));
    }

    // PNG, GIF and WebP are listed under "ALL" and open with a click.
    void todaysPicturesListedAndShown() {
        Fixture f;
        writeImage(f.dir.filePath("p.png"), 44, 10);
        writeImage(f.dir.filePath("g.gif"), 45, 10, 8, engine::kFmtGif);
        const QString gm = QStandardPaths::findExecutable("gm");
        if (!gm.isEmpty())
            QCOMPARE(QProcess::execute(gm, {"convert", f.dir.filePath("p.png"), f.dir.filePath("w.webp")}), 0);
        f.list()->refresh();
        QStringList names;
        for (int i = 0; i < f.list()->listCount(); ++i) names << f.list()->entry(i);
        QVERIFY(names.contains("p.png"));
        QVERIFY(names.contains("g.gif"));
        f.list()->setListIndex(int(names.indexOf("p.png")));
        QCOMPARE(f.shownWidth(), 44);
        f.list()->setListIndex(int(names.indexOf("g.gif")));
        QCOMPARE(f.shownWidth(), 45);
        if (!gm.isEmpty()) {
            QVERIFY(names.contains("w.webp"));
            f.list()->setListIndex(int(names.indexOf("w.webp")));
            QCOMPARE(f.shownWidth(), 44);
        }
    }

    // A Shift-JIS name from an old disc is listed in Japanese and shown,
    // copied and deleted by its real bytes.
    void shiftJisNamesListedAndHandled() {
        Fixture f;
        const std::string name = "\x8e\xca\x90\x5e.bmp";  // "写真.bmp"
        const std::string dir = QFile::encodeName(f.dir.path()).toStdString();
        writeImage(f.dir.filePath("made.bmp"), 66, 10, 24, engine::kFmtBmp);
        QVERIFY(::rename((dir + "/made.bmp").c_str(), (dir + "/" + name).c_str()) == 0);
        f.list()->refresh();
        int row = -1;
        for (int i = 0; i < f.list()->count(); ++i)
            if (f.list()->item(i)->text() == QStringLiteral("写真.bmp")) row = i;
        QVERIFY2(row >= 0, qPrintable(f.list()->item(0)->text()));
        f.list()->setListIndex(row);
        QCOMPARE(f.shownWidth(), 66);
        QTest::keyPress(f.list(), Qt::Key_Insert, Qt::ShiftModifier);
        QTest::keyRelease(f.list(), Qt::Key_Shift, Qt::ShiftModifier);
        const std::string copied = QFile::encodeName(f.dest.path()).toStdString() + "/" + name;
        QVERIFY(::access(copied.c_str(), F_OK) == 0);
        QTest::keyPress(f.list(), Qt::Key_Delete, Qt::ShiftModifier);
        QVERIFY(::access((dir + "/" + name).c_str(), F_OK) != 0);
        QVERIFY(f.ui->boxes.isEmpty());
    }

    // The fit on load measures the control without the scroll bars of the
    // view shown before: a wide picture fits at the same zoom either way.
    void fitOnLoadIgnoresTheOldScrollBars() {
        Fixture f;
        f.ctx.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.ctx.window()));
        writeImage(f.dir.filePath("w_wide.png"), 2000, 800);
        writeImage(f.dir.filePath("v_big.png"), 1800, 1600);
        f.list()->refresh();
        const auto row = [&](const QString& n) {
            for (int i = 0; i < f.list()->listCount(); ++i)
                if (f.list()->entry(i) == n) return i;
            return -1;
        };
        f.list()->setListIndex(row("w_wide.png"));
        const int16_t fresh = f.s().nZoom;
        QVERIFY(fresh < 100);
        f.list()->setListIndex(row("v_big.png"));
        QTest::keyClick(f.list(), Qt::Key_Apostrophe);  // normal view: scroll bars both ways
        QTRY_VERIFY(f.c().Img1->verticalScrollBar()->isVisible());
        f.list()->setListIndex(row("w_wide.png"));
        QCOMPARE(f.s().nZoom, fresh);
    }

    // The copy question sits over the middle of the window: the preview of
    // the file already there is put beside it, not under it.
    void copyPreviewBesideTheQuestion() {
        Fixture f;
        f.ctx.window()->resize(1024, 720);
        f.ctx.window()->move(100, 100);
        f.ctx.window()->show();
        QVERIFY(QTest::qWaitForWindowExposed(f.ctx.window()));
        files::Form4 preview(f.ctx.window());
        preview.placeBesideQuestion(f.ctx.window());
        preview.show();
        QVERIFY(QTest::qWaitForWindowExposed(&preview));
        const QPoint centre = f.ctx.window()->frameGeometry().center();
        const QRect question(centre.x() - 200, centre.y() - 60, 400, 120);
        QVERIFY(!preview.frameGeometry().intersects(question));
    }
};

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
