// Save through the engine's save dialog and the save destination dialog
// Form2, as a user meets them from the File menu.
#include <sys/resource.h>

#include <csignal>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/dispatch_ids.h"
#include "engine/engine_error.h"
#include "engine/image_control.h"
#include "shell/file_lists.h"
#include "files/form2.h"
#include "shell/ui_services.h"
#include "files/save_commands.h"
#include "file_commands.h"

using namespace qova;
using namespace qova::test;
using shell::MenuId;

class TestSaveCommands : public QObject {
    Q_OBJECT

    FormFixture fx_;
    ScriptedUi*& ui_ = fx_.ui;
    QDir& dir_ = fx_.dir;
    FakeContext& form() { return *fx_.ctx; }
    const shell::Controls& c() { return fx_.ctx->controls(); }

    // Img1 shows a 40×30 true-colour picture.
    void showPicture() {
        const QString src = dir_.filePath("shown.png");
        QCOMPARE(write(pages(1, 24), src, engine::kFmtPng), int16_t(0));
        QCOMPARE(c().Img1->load(src, 0, 0, -1), int16_t(0));
    }
    // Runs the destination command; `inDialog` acts on the open Form2.
    void saveDir(const std::function<void(files::Form2&)>& inDialog) {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            auto* d = qobject_cast<files::Form2*>(QApplication::activeModalWidget());
            QVERIFY(d);
            ran = true;
            inDialog(*d);
            if (d->isVisible()) d->Command2->click();
        });
        form().action(MenuId::mnuFileSaveDir)->trigger();
        QVERIFY(ran);
    }

private slots:
    void init() { fx_.start(); }
    void cleanup() { fx_.stop(); }

    // The dialog comes up with the save settings; what it returns goes to
    // the save unchanged, so two qualities give two different files.
    void saveWritesWhatTheDialogChose() {
        showPicture();
        EngineAnswers a(*c().ImgDlg1);
        const QString lo = dir_.filePath("q30.jpg"), hi = dir_.filePath("q95.jpg");
        a.answers << EngineAnswers::save(lo, engine::kFmtJpeg, 24, 30) << EngineAnswers::save(hi, engine::kFmtJpeg, 24, 95);
        form().action(MenuId::mnuFileSave)->trigger();
        form().action(MenuId::mnuFileSave)->trigger();
        QCOMPARE(a.shown.size(), 2);
        QCOMPARE(a.shown[0].kind, engine::EngineDialog::Kind::Save);
        QCOMPARE(a.shown[0].text, QString("ﾌｧｲﾙの保存|すべてのﾌｧｲﾙ(*.*)|*.*|4096|60|-1"));
        QVERIFY(ui_->boxes.isEmpty());
        QVERIFY(QFileInfo(lo).size() < QFileInfo(hi).size());
        const engine::Document back = loadBack(hi);
        QCOMPARE(back.frames[0].bitmap.width(), 40);
        QCOMPARE(back.frames[0].bitmap.height(), 30);
        // A 1-bit fax TIFF through the same path.
        a.answers << EngineAnswers::save(dir_.filePath("fax.tif"), engine::kFmtTiffG4, 1);
        form().action(MenuId::mnuFileSave)->trigger();
        QCOMPARE(loadBack(dir_.filePath("fax.tif")).frames[0].bitmap.bpp(), 1);
        QVERIFY(ui_->boxes.isEmpty());
    }

    void cancelShowsNothingAndChangesNothing() {
        showPicture();
        const uint32_t before = c().Img1->bitmapHandle();
        EngineAnswers a(*c().ImgDlg1);
        form().action(MenuId::mnuFileSave)->trigger();
        QCOMPARE(a.shown.size(), 1);
        QVERIFY(ui_->boxes.isEmpty());
        QCOMPARE(c().Img1->bitmapHandle(), before);
        QVERIFY(!QApplication::overrideCursor());
        QCOMPARE(QDir(dir_.path()).entryList({"*.jpg"}, QDir::Files).size(), 0);
    }

    // Save option 1 adds pages to a TIFF; asking for a stamp takes the stamp
    // save, which has no save option, so the old file is replaced.
    void stampSaveDoesNotReadTheSaveOption() {
        showPicture();
        const QString tif = dir_.filePath("book.tif");
        auto addPages = [](QDialog& d) {
            auto* o = d.findChild<QComboBox*>("SaveOption");
            o->setCurrentIndex(o->findData(1));
        };
        auto withStamp = [&](QDialog& d) {
            addPages(d);
            d.findChild<QCheckBox*>("Stamp")->setChecked(true);
        };
        QCOMPARE(write(pages(2, 24), tif, engine::kFmtTiffLzw), int16_t(0));
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::save(tif, engine::kFmtTiffLzw, 24, 0, addPages);
        form().action(MenuId::mnuFileSave)->trigger();
        QCOMPARE(int(loadBack(tif).frames.size()), 3);

        c().Img1->setCallLogEnabled(true);
        a.answers << EngineAnswers::save(tif, engine::kFmtTiffLzw, 24, 0, withStamp);
        form().action(MenuId::mnuFileSave)->trigger();
        QVERIFY(ui_->boxes.isEmpty());
        QCOMPARE(int(loadBack(tif).frames.size()), 1);
        const auto& log = c().Img1->callLog();
        QVERIFY(std::count(log.begin(), log.end(), engine::dispid::SaveFileWithStamp) == 1);
        QVERIFY(std::count(log.begin(), log.end(), engine::dispid::SaveFile) == 0);
    }

    // Replacing a file that cannot be written to the end reports the engine
    // code and leaves the old file exactly as it was.
    void failedSaveReportsAndKeepsTheOldFile() {
        // An uncompressed 400×300 picture is far larger than the limit below.
        const QString src = dir_.filePath("big.bmp");
        engine::Document big;
        big.frames.push_back(engine::Frame{madeImage(400, 300, 24)});
        engine::SaveRequest r;
        r.path = src.toStdString();
        r.format = engine::kFmtBmp;
        QCOMPARE(engine::saveFile(big, r), int16_t(0));
        QCOMPARE(c().Img1->load(src, 0, 0, -1), int16_t(0));

        const QString target = dir_.filePath("keep.bmp");
        QCOMPARE(write(pages(1, 24), target, engine::kFmtBmp), int16_t(0));
        const QByteArray before = bytesOf(target);
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::save(target, engine::kFmtBmp, 24);
        signal(SIGXFSZ, SIG_IGN);
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit small = old;
        small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        form().action(MenuId::mnuFileSave)->trigger();
        setrlimit(RLIMIT_FSIZE, &old);
        QCOMPARE(ui_->boxes.size(), 1);
        QCOMPARE(ui_->boxes[0].prompt, QString("ｴﾗｰ '20005, ﾌｧｲﾙ書き込み中にｴﾗｰが発生しました。' が発生しました。"));
        QCOMPARE(ui_->boxes[0].title, QString("ｴﾗｰ: ﾌｧｲﾙの保存"));
        QCOMPARE(ui_->boxes[0].style, int(shell::OkOnly));
        QCOMPARE(bytesOf(target), before);
        QCOMPARE(QDir(dir_.path()).entryList({".*qova*"}, QDir::Files | QDir::Hidden).size(), 0);
        QCOMPARE(c().Img1->bitmapWidth(), 400);
    }

    // Anything else going wrong shows the run-time error and restores the cursor.
    void runTimeErrorIsReported() {
        form().WaitCursorOn();
        engine::EngineDialog::setAnswerHook([](QDialog&, engine::EngineDialog::Kind) -> bool {
            throw engine::EngineError(20013, "無効なﾊﾟﾗﾒｰﾀ");
        });
        form().action(MenuId::mnuFileSave)->trigger();
        engine::EngineDialog::setAnswerHook({});
        QCOMPARE(ui_->boxes.size(), 1);
        QCOMPARE(ui_->boxes[0].prompt, QString("VB Error: '20013' - 無効なﾊﾟﾗﾒｰﾀ."));
        QCOMPARE(ui_->boxes[0].title, QString("ｴﾗｰ: ﾌｧｲﾙの保存"));
        QVERIFY(!QApplication::overrideCursor());
    }

    void form2ShowsTheDestinationAndTakesADirectory() {
        const QString old = form().state().sDestDir;
        const QString other = dir_.filePath("photos");
        QVERIFY(QDir().mkdir(other));
        saveDir([&](files::Form2& d) {
            QCOMPARE(d.Text1->text(), old);
            QCOMPARE(d.Label1->text(), QString("保存先ディレクトリ"));
            d.Text1->setText(other);
            d.Command1->click();
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(form().state().sDestDir, other);
        QVERIFY(ui_->boxes.isEmpty());
        // The next time the box starts from the new destination.
        saveDir([&](files::Form2& d) { QCOMPARE(d.Text1->text(), other); });
    }

    // OK checks the typed path: a file of that name is refused; a missing
    // folder is offered, No keeping everything, Yes making it (one level
    // only: a path two levels deep cannot be made).
    void form2OkChecksThePath() {
        const QString old = form().state().sDestDir;
        const QString file = dir_.filePath("a.txt"), fresh = dir_.filePath("fresh"), deep = dir_.filePath("no/such");
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        ui_->answers = {shell::MsgOk, shell::MsgNo, shell::MsgYes, shell::MsgOk, shell::MsgYes};
        saveDir([&](files::Form2& d) {
            for (const QString& p : {file, fresh, deep}) {
                d.Text1->setText(p);
                d.Command1->click();
                QVERIFY(d.isVisible());
            }
            QVERIFY(!QFileInfo::exists(fresh));
            QCOMPARE(form().state().sDestDir, old);
            d.Text1->setText(fresh);
            d.Command1->click();
            QVERIFY(!d.isVisible());
        });
        const QList<std::pair<QString, int>> expected = {{"同名のファイルが有ります", shell::Critical},
                                                         {"ホルダを作成しますか。", 292},
                                                         {"ホルダを作成しますか。", 292},
                                                         {"ホルダが作成できません", shell::Critical},
                                                         {"ホルダを作成しますか。", 292}};
        QCOMPARE(ui_->boxes.size(), expected.size());
        for (int i = 0; i < expected.size(); ++i) {
            QCOMPARE(ui_->boxes[i].prompt, expected[i].first);
            QCOMPARE(ui_->boxes[i].style, expected[i].second);
            QCOMPARE(ui_->boxes[i].title, QString());
            // The question's title is given empty; the others have none (the program's name).
            QCOMPARE(ui_->boxes[i].title.isNull(), expected[i].second != 292);
        }
        QVERIFY(QFileInfo(fresh).isDir());
        QCOMPARE(form().state().sDestDir, fresh);
    }

    void form2CancelAfterBrowsingKeepsTheOldDestination() {
        const QString old = form().state().sDestDir;
        const QString sub = dir_.filePath("browse");
        QVERIFY(QDir().mkdir(sub));
        saveDir([&](files::Form2& d) {
            d.Dir1->setPath(sub);
            QCOMPARE(d.Text1->text(), sub);
            d.Command2->click();
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(form().state().sDestDir, old);
        QVERIFY(ui_->boxes.isEmpty());
    }

    // Choosing a drive moves the tree to its root; one that is not ready
    // sends the drive list back to the tree's drive, the tree staying put.
    void form2DriveNotReadySnapsBack() {
        QTemporaryDir second;
        files::Form2* d = fx_.files->save.form2();
        d->Drive1->setRoots({"/", second.path(), dir_.filePath("unplugged")});
        d->Dir1->setPath(dir_.path());
        d->Drive1->setCurrentIndex(1);
        QCOMPARE(d->Dir1->path(), second.path());
        QCOMPARE(d->Text1->text(), second.path());
        d->Dir1->setPath(dir_.path());
        d->Drive1->setCurrentIndex(2);
        QCOMPARE(d->Drive1->drive(), QString("A:"));
        QCOMPARE(d->Dir1->path(), dir_.path());
    }

    // Bits start from the picture each time the dialog opens and each time
    // the format changes, never from the last save: a colour photo saved as
    // GIF and then as JPEG stays colour; walking the formats to a TIFF
    // keeps 24 bits. Grey depths say so.
    void bitsStartFromThePictureEachTime() {
        showPicture();
        EngineAnswers a(*c().ImgDlg1);
        QStringList seen;
        auto bitsNow = [](QDialog& d) { return d.findChild<QComboBox*>("Bits")->currentData().toInt(); };
        a.answers << EngineAnswers::save(dir_.filePath("photo.gif"), engine::kFmtGif, 8);
        a.answers << [&](QDialog& d) {
            auto* fmt = d.findChild<QComboBox*>("Format");
            seen << QString::number(bitsNow(d));  // GIF is still chosen: its 8 is what the picture gets there
            fmt->setCurrentIndex(fmt->findData(int(engine::kFmtJpeg)));
            seen << QString::number(bitsNow(d));
            // The arrow keys through the list, from JPEG to TIFF (LZW).
            for (int i = 0; i < fmt->count(); ++i) {
                fmt->setCurrentIndex(i);
                if (fmt->currentData().toInt() == engine::kFmtTiffLzw) break;
            }
            seen << QString::number(bitsNow(d));
            auto* bits = d.findChild<QComboBox*>("Bits");
            seen << bits->itemText(bits->findData(16)) << bits->itemText(bits->findData(8));
            fmt->setCurrentIndex(fmt->findData(int(engine::kFmtJpeg)));
            seen << bits->itemText(bits->findData(8));
            d.findChild<QLineEdit*>("FileName")->setText(dir_.filePath("photo.jpg"));
            return EngineAnswers::pressOk(d);
        };
        form().action(MenuId::mnuFileSave)->trigger();
        form().action(MenuId::mnuFileSave)->trigger();
        QCOMPARE(seen, QStringList({"8", "24", "24", "16 (ｸﾞﾚｰ)", "8", "8 (ｸﾞﾚｰ)"}));
        const engine::Document jpg = loadBack(dir_.filePath("photo.jpg"));
        QCOMPARE(jpg.frames[0].bitmap.bpp(), 24);
        // A grey picture starts grey where the format has grey.
        const QString grey = dir_.filePath("grey.png");
        QCOMPARE(write(pages(1, 8), grey, engine::kFmtPng), int16_t(0));
        QCOMPARE(c().Img1->load(grey, 0, 0, -1), int16_t(0));
        int greyStart = 0;
        a.answers << [&](QDialog& d) {
            auto* fmt = d.findChild<QComboBox*>("Format");
            fmt->setCurrentIndex(fmt->findData(int(engine::kFmtJpeg)));
            greyStart = bitsNow(d);
            return false;
        };
        form().action(MenuId::mnuFileSave)->trigger();
        QCOMPARE(greyStart, 8);
    }

    // Typing a name whose extension belongs to another format chooses that
    // format; an extension no writer knows keeps the chosen one.
    void typedExtensionChoosesTheFormat() {
        showPicture();
        EngineAnswers a(*c().ImgDlg1);
        int formatAfter = 0, formatUnknown = 0;
        a.answers << [&](QDialog& d) {
            auto* fmt = d.findChild<QComboBox*>("Format");
            fmt->setCurrentIndex(fmt->findData(int(engine::kFmtPict)));
            auto* name = d.findChild<QLineEdit*>("FileName");
            name->clear();
            QTest::keyClicks(name, "odd.foo");
            formatUnknown = fmt->currentData().toInt();
            name->clear();
            QTest::keyClicks(name, dir_.filePath("x.jpg"));
            formatAfter = fmt->currentData().toInt();
            return EngineAnswers::pressOk(d);
        };
        form().action(MenuId::mnuFileSave)->trigger();
        QCOMPARE(formatUnknown, int(engine::kFmtPict));
        QCOMPARE(formatAfter, int(engine::kFmtJpeg));
        int16_t code = -1;
        loadBack(dir_.filePath("x.jpg"), &code);
        QCOMPARE(code, int16_t(0));
        QVERIFY(ui_->boxes.isEmpty());
    }

    // A file the user may not write is kept, and the save says why.
    void readOnlyTargetIsKeptAndReported() {
        showPicture();
        const QString target = dir_.filePath("locked.png");
        QCOMPARE(write(pages(1, 8), target, engine::kFmtPng), int16_t(0));
        QVERIFY(QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        const QByteArray before = bytesOf(target);
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::save(target, engine::kFmtPng, 24);
        form().action(MenuId::mnuFileSave)->trigger();
        QCOMPARE(ui_->boxes.size(), 1);
        QCOMPARE(ui_->boxes[0].prompt, QString("ｴﾗｰ '20014, ﾌｧｲﾙを開けません。' が発生しました。"));
        QCOMPARE(bytesOf(target), before);
        QFile::setPermissions(target, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // A name is written as typed: blanks around it are part of it.
    void typedNameKeepsItsBlanks() {
        showPicture();
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::save(dir_.filePath(" spaced.png "), engine::kFmtPng, 24);
        form().action(MenuId::mnuFileSave)->trigger();
        QVERIFY(ui_->boxes.isEmpty());
        QVERIFY(QFileInfo::exists(dir_.filePath(" spaced.png ")));
        QVERIFY(!QFileInfo::exists(dir_.filePath("spaced.png")));
    }

    // The question's window shows the empty title it was given; a box with
    // no title shows the program's name.
    void emptyTitleIsShownEmpty() {
        shell::QtUiServices real;
        QStringList titles;
        for (const QString& title : {QStringLiteral(""), QString()}) {
            QTimer::singleShot(0, this, [&] {
                QWidget* box = QApplication::activeModalWidget();
                QVERIFY(box);
                titles << box->windowTitle();
                QTest::keyClick(box, Qt::Key_Escape);
            });
            real.msgBox(QStringLiteral("ホルダを作成しますか。"), 292, title);
        }
        QCOMPARE(titles, QStringList({"", "QOVA"}));
    }
};

QTEST_MAIN(TestSaveCommands)
#include "test_save_commands.moc"
