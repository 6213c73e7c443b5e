// File format conversion from the File menu: the two dialogs, the page, the
// messages, and Img1 left empty afterwards.
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/engine_error.h"
#include "engine/image_control.h"
#include "files/convert_command.h"
#include "files/open_commands.h"
#include "file_commands.h"

using namespace qova;
using namespace qova::test;
using shell::MenuId;

class TestConvertCommand : public QObject {
    Q_OBJECT

    FormFixture fx_;
    ScriptedUi*& ui_ = fx_.ui;
    QDir& dir_ = fx_.dir;
    FakeContext& form() { return *fx_.ctx; }
    const shell::Controls& c() { return fx_.ctx->controls(); }
    void convert() { form().action(MenuId::mnuFileConvert)->trigger(); }

private slots:
    void init() { fx_.start(); }
    void cleanup() { fx_.stop(); }

    // GIF to PNG: both dialogs with their settings, the pixels kept, no
    // message, and the main image area empty afterwards.
    void convertsAndLeavesTheImageAreaEmpty() {
        const QString gif = dir_.filePath("in.gif"), png = dir_.filePath("out.png");
        const engine::Document src = pages(1, 8);
        QCOMPARE(write(src, gif, engine::kFmtGif), int16_t(0));
        QCOMPARE(c().Img1->load(gif, 0, 0, -1), int16_t(0));  // something shown before
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::open(gif) << EngineAnswers::save(png, engine::kFmtPng, 8);
        convert();
        QVERIFY(ui_->boxes.isEmpty());
        QCOMPARE(a.shown.size(), 2);
        QCOMPARE(a.shown[0].kind, engine::EngineDialog::Kind::Open);
        QVERIFY(a.shown[0].text.startsWith("変換元ﾌｧｲﾙの指定|すべてのﾌｧｲﾙ|*.*|"));
        QVERIFY(a.shown[0].text.contains("|Cursor|*.cur||4096|486|"));
        QCOMPARE(a.shown[1].kind, engine::EngineDialog::Kind::Save);
        QCOMPARE(a.shown[1].text, QString("Save File|すべてのﾌｧｲﾙ(*.*)|*.*|4096|60|-1"));
        int16_t code = -1;
        const engine::Document back = loadBack(png, &code);
        QCOMPARE(code, int16_t(0));
        QVERIFY(samePixels(back.frames[0].bitmap, src.frames[0].bitmap));
        QVERIFY(c().Img1->isEmpty());
        QCOMPARE(form().state().fImage, int16_t(0));
        QVERIFY(!form().action(shell::MenuId::mnuColor)->isEnabled());
        QCOMPARE(c().Img1->bitmapHandle(), 0u);
        QVERIFY(!QApplication::overrideCursor());
    }

    // The page chosen in the source dialog is the one converted.
    void convertsTheChosenPage() {
        const QString tif = dir_.filePath("book.tif"), bmp = dir_.filePath("page.bmp");
        const engine::Document src = pages(3, 24);
        QCOMPARE(write(src, tif, engine::kFmtTiffLzw), int16_t(0));
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::open(tif, 2) << EngineAnswers::save(bmp, engine::kFmtBmp, 24);
        convert();
        QVERIFY(ui_->boxes.isEmpty());
        QVERIFY(samePixels(loadBack(bmp).frames[0].bitmap, src.frames[1].bitmap));
    }

    void cancelEndsSilently() {
        EngineAnswers a(*c().ImgDlg1);
        convert();  // the source dialog cancelled: no destination dialog
        QCOMPARE(a.shown.size(), 1);
        QCOMPARE(a.shown[0].kind, engine::EngineDialog::Kind::Open);

        const QString gif = dir_.filePath("in.gif");
        QCOMPARE(write(pages(1, 8), gif, engine::kFmtGif), int16_t(0));
        a.shown.clear();
        a.answers << EngineAnswers::open(gif);
        convert();  // the destination dialog cancelled: nothing loaded
        QCOMPARE(a.shown.size(), 2);
        QVERIFY(ui_->boxes.isEmpty());
        QVERIFY(c().Img1->isEmpty());
        QVERIFY(!QApplication::overrideCursor());
    }

    // An unreadable source: one message titled for reading, nothing written,
    // the image shown before stays.
    void unloadableSourceGivesOneMessage() {
        const QString shown = dir_.filePath("shown.png"), bad = dir_.filePath("bad.jpg");
        const QString out = dir_.filePath("out.png");
        QCOMPARE(write(pages(1, 24), shown, engine::kFmtPng), int16_t(0));
        QCOMPARE(c().Img1->load(shown, 0, 0, -1), int16_t(0));
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a picture at all");
        f.close();
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::open(bad) << EngineAnswers::save(out, engine::kFmtPng);
        convert();
        QCOMPARE(ui_->boxes.size(), 1);
        QCOMPARE(ui_->boxes[0].prompt, QString("ｴﾗｰ '20009, ﾌｧｲﾙﾌｫｰﾏｯﾄが無効です。' ﾌｧｲﾙ形式の変換中に発生しました。"));
        QCOMPARE(ui_->boxes[0].title, QString("ｴﾗｰ: ﾌｧｲﾙの読み込み"));
        QCOMPARE(ui_->boxes[0].style, int(shell::OkOnly));
        QVERIFY(!QFile::exists(out));
        QCOMPARE(c().Img1->bitmapWidth(), 40);
    }

    // A save that fails is titled for saving, and Img1 is emptied all the same.
    void failedSaveIsTitledForSaving() {
        const QString gif = dir_.filePath("in.gif");
        QCOMPARE(write(pages(1, 8), gif, engine::kFmtGif), int16_t(0));
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::open(gif) << EngineAnswers::save(dir_.filePath("gone/out.png"), engine::kFmtPng);
        convert();
        QCOMPARE(ui_->boxes.size(), 1);
        QCOMPARE(ui_->boxes[0].prompt, QString("ｴﾗｰ '20005, ﾌｧｲﾙ書き込み中にｴﾗｰが発生しました。' ﾌｧｲﾙ形式の変換中に発生しました。"));
        QCOMPARE(ui_->boxes[0].title, QString("ｴﾗｰ: ﾌｧｲﾙの保存"));
        QVERIFY(c().Img1->isEmpty());
    }

    // The source filter is the 22 rows of Form1's table, built once and apart
    // from the Open command's.
    void sourceFilterIsBuiltOnce() {
        EngineAnswers a(*c().ImgDlg1);
        convert();
        convert();
        auto* c = &fx_.files->convert;
        QVERIFY(c->filterBuilt());
        QCOMPARE(a.shown[0].text, a.shown[1].text);
        QVERIFY(a.shown[1].text.contains(c->filter()));
        const QStringList parts = c->filter().split('|');
        QCOMPARE(parts.size(), 45);  // 22 name|pattern pairs and the empty text after the last "|"
        QCOMPARE(parts[0], QString("すべてのﾌｧｲﾙ"));
        QCOMPARE(parts[1], QString("*.*"));
        QCOMPARE(parts[42], QString("Cursor"));
        QCOMPARE(parts[44], QString());
        QVERIFY(!fx_.files->open.filterBuilt());
    }

    // A run-time error while the dialogs are up has its own message.
    void runTimeErrorIsReported() {
        engine::EngineDialog::setAnswerHook([](QDialog&, engine::EngineDialog::Kind) -> bool { throw std::bad_alloc(); });
        convert();
        engine::EngineDialog::setAnswerHook({});
        QCOMPARE(ui_->boxes.size(), 1);
        QCOMPARE(ui_->boxes[0].prompt, QString("VB ｴﾗｰ: '7' - Out of memory."));
        QCOMPARE(ui_->boxes[0].title, QString("ｴﾗｰ: ﾌｧｲﾙ変換"));
    }

    // After page 3 of a book, a typed single-page name starts at page 1.
    void typedNameStartsAtTheFirstPage() {
        const QString tif = dir_.filePath("book.tif"), one = dir_.filePath("one.bmp");
        QCOMPARE(write(pages(3, 24), tif, engine::kFmtTiffLzw), int16_t(0));
        QCOMPARE(write(pages(1, 24), one, engine::kFmtBmp), int16_t(0));
        EngineAnswers a(*c().ImgDlg1);
        a.answers << EngineAnswers::open(tif, 3) << EngineAnswers::save(dir_.filePath("p3.bmp"), engine::kFmtBmp, 24);
        convert();
        QVERIFY(ui_->boxes.isEmpty());
        a.answers << [&](QDialog& d) {
            auto* name = d.findChild<QLineEdit*>("FileName");
            name->clear();
            QTest::keyClicks(name, "one.bmp");
            return EngineAnswers::pressOk(d);
        } << EngineAnswers::save(dir_.filePath("copy.bmp"), engine::kFmtBmp, 24);
        convert();
        QVERIFY2(ui_->boxes.isEmpty(), ui_->boxes.isEmpty() ? "" : qPrintable(ui_->boxes[0].prompt));
        QCOMPARE(loadBack(dir_.filePath("copy.bmp")).frames[0].bitmap.width(), 40);
    }

    // The Open dialog's "reduce large photos" served that Open only: a
    // conversion afterwards writes the whole picture.
    void reducedOpenDoesNotReduceALaterConversion() {
        const QString big = dir_.filePath("big.jpg");
        engine::Document d;
        d.frames.push_back(engine::Frame{madeImage(1800, 1700, 24)});
        QCOMPARE(write(d, big, engine::kFmtJpeg), int16_t(0));
        EngineAnswers a(*c().ImgDlg1);
        a.answers << [&](QDialog& dlg) {
            qobject_cast<engine::OpenDialog*>(&dlg)->selectFile(big);
            dlg.findChild<QCheckBox*>("ReduceLarge")->setChecked(true);
            return EngineAnswers::pressOk(dlg);
        };
        form().action(MenuId::mnuFileOpen)->trigger();
        QVERIFY(c().Img1->bitmapWidth() < 1800);
        a.answers << [&](QDialog& dlg) {
            qobject_cast<engine::OpenDialog*>(&dlg)->selectFile(big);
            dlg.findChild<QCheckBox*>("ReduceLarge")->setChecked(false);
            return EngineAnswers::pressOk(dlg);
        } << EngineAnswers::save(dir_.filePath("whole.png"), engine::kFmtPng, 24);
        convert();
        QCOMPARE(loadBack(dir_.filePath("whole.png")).frames[0].bitmap.width(), 1800);
    }
};

QTEST_MAIN(TestConvertCommand)
#include "test_convert_command.moc"
