// The main window as a user meets it: the menu tree and its start states,
// start-up with a command line, the View menu's page items, Esc, the busy
// bracket with its gauge, the undo snapshot, the layout and Help.
#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QTimer>
#include <QtTest>
#include <qpa/qwindowsysteminterface.h>

#include <QLabel>
#include <QLineEdit>

#include "animation/toolbox.h"
#include "app/help_about.h"
#include "app/main_window.h"
#include "engine/image_store.h"
#include "shell/file_lists.h"
#include "shell/status_bar.h"
#include "shell/twips.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "engine/image_control.h"
#include "engine/core/formats/read_ahead.h"
#include "support/images.h"
#include "support/scripted_ui.h"

using namespace qova;
using app::Form1;
using shell::MenuId;

namespace {

// The menu bar as it must be: depth|objectName|caption|start state.
const char* const kExpectedMenus = R"(0|mnuFile|ﾌｧｲﾙ(&F)|
1|mnuFileOpen|開く(&O)|
1|mnuFileClose|閉じる(&C)|
1|mnuFileSave|保存(&S)|
1|mnuFileConvert|ﾌｧｲﾙ形式の変換(&C)|
1|mnuFileBar1|-|
1|FileMergeMenu|ｶﾗｰﾌﾟﾚｰﾝの合成(&M)|
2|FileColorMerge(0)|&RGB...|
2|FileColorMerge(1)|CMY&K...|
2|FileColorMerge(2)|HS&V...|
2|FileColorMerge(3)|H&LS...|
2|FileColorMerge(4)|&CMY...|
1|mnuFileCaptureScreen|画面のｷｬﾌﾟﾁｬ(&T)|
1|mnuFileBar2|-|
1|mnuFileAcquire|TWAIN機器からの入力(&Q)|
1|mnuFileSelectSource|TWAIN機器の選択(&L)|
1|mnuFileBar3|-|
1|mnuFilePrintSet|印刷の設定|
1|mnuFilePrint|印刷(&P)|
1|mnuFileBa5|-|
1|mnuFileSaveDir|保存先|
1|mnuFileBa6|-|
1|mmuFileExit|終了(&X)|
0|mnuDatabase|Database|
1|mnuDatabaseOpen|開く(&O)|
1|mnuDatabaseClose|閉じる(&C)|disabled
1|mnuDatabaseDir|ディレクトリの選択|disabled
1|mnuDatabaseCreate|新規製作|
1|mnuDatabaseBar1|-|
1|mnuDatabaseRestore|削除画像を元に戻す|
0|mnuEdit|編集(&E)|
1|mnuEditUndo|元に戻す|
1|EditCopy|ｺﾋﾟｰ(&C)|disabled
1|EditPaste|貼り付け(&P)|disabled
1|mnuEditBar1|-|
1|RegionTool|範囲の選択(&R)|
2|ToolNone|なし(&N)|
2|ToolRect|長方形(&R)|
2|ToolEllipse|楕円(&E)|
2|ToolRndRect|丸角の長方形（&O)|
2|ToolFreeHand|ﾌﾘｰﾊﾝﾄﾞ(&F)|
1|CancelRegion|選択範囲の解放(&N)|
0|mnuView|表示(&V)|disabled
1|mnuViewNormal|通常(&N)|
1|mnuViewZoom|ｽﾞｰﾑ(&Z)|
1|mnuViewZoom2|ｽﾞｰﾑ2|
1|mnuViewFit|ｳｨﾝﾄﾞｳｻｲｽﾞに合わせる(&I)|
1|mnuViewStretch|ｳｨﾝﾄﾞｳｻｲｽﾞに合わせて伸縮(&S)|
1|Sep1|-|
1|FirstPage|先頭ﾍﾟｰｼﾞ(&F)|hidden
1|PrevPage|前のﾍﾟｰｼﾞ(&P)|hidden
1|NextPage|次のﾍﾟｰｼﾞ(&N)|hidden
1|LastPage|最終ﾍﾟｰｼﾞ(&L)|hidden
1|Sep2|-|hidden
1|ViewPanWindow|ﾅﾋﾞｹﾞｰｼｮﾝ(&V)|
0|MainAnimation|ｱﾆﾒｰｼｮﾝ(&A)|hidden disabled
1|AnimateCreate|作成(&C)|
1|Sep3|-|
1|AnimateGo|再生(&P)|
1|Sep4|-|
1|AnimateLoop|連続再生(&L)|
1|AnimateOptimizeColors|色の最適化(&O)|
1|AnimateScreenSettings|画面の設定(&S)|
1|AnimateFrameSettings|ﾌﾚｰﾑの設定(&F)|
1|AnimateToolbox|ツールボックス(&T)|
0|MainImage|ｲﾒｰｼﾞ(&I)|disabled
1|mnuEditFlip|上下反転|
1|mnuEditReverse|左右反転|
1|Rotate|回転(&O)|
2|RotateCase(0)|&90度-時計まわり|
2|RotateCase(1)|&180度-時計まわり|
2|RotateCase(2)|&270度-時計まわり|
2|RotateCase(3)|角度指定(&A)|
1|ImageShear|傾き(&S)|
1|ImageResize|ﾘｻｲｽﾞ(&Z)|
1|Sep5|-|
1|ImageEffects|画像処理(&E)|
2|EffectsPosterize|ﾎﾟｽﾀﾗｲｽﾞ(&P)|
2|EffectsMosaic|ﾓｻﾞｲｸ(&M)|
2|EffectsAverage|平均化(&A)|
2|EffectsMedian|ﾒﾃﾞｨｱﾝ(&E)|
2|EffectsSharpen|ｼｬｰﾌﾟﾈｽ(&S)|
2|EffectsAddNoise|ﾉｲｽﾞ(&N)|
2|EffectsEmboss|ｴﾝﾎﾞｽ(&B)|
2|EffectOilify|塗料(&O)|
2|EffectSolarize|ｿﾗﾘｾﾞｰｼｮﾝ(&R)|
2|EffectsEdgeEnhance|ｴｯｼﾞの強調(&G)|
1|ImageSpatialFilters|空間ﾌｨﾙﾀ(&A)|
2|SpatialGradient|ｸﾞﾗｼﾞｴﾝﾄ(&G)|
2|SpatialLaplacian|ﾗﾌﾟﾗｼｱﾝ法(&L)|
2|SpatialSobel|&Sobel法|
2|SpatialPrewitt|&Prewitt法|
2|SpatialShiftDiff|ｼﾌﾄ差分法(&H)|
2|SpatialLineSeg|線要素の抽出(&I)|
0|mnuColor|ｶﾗｰ(&C)|disabled
1|ColorHalftone|ﾊｰﾌﾄｰﾝ|
2|HalftoneView|表示用(&V)|
2|HalftonePrint|印刷用(&P)|
1|ColorGrayscale|ｸﾞﾚｰｽｹｰﾙ &8ﾋﾞｯﾄ|
1|ColorResolution|ｶﾗｰ階調(&R)|
1|ColorWindowLevel|ｳｨﾝﾄﾞｳﾚﾍﾞﾙ(&W)|hidden
1|Sep6|-|
1|ColorInvert|色の反転(&I)|
1|ColorBrightness|輝度(&B)|
1|ColorContrast|ｺﾝﾄﾗｽﾄ(&C)|
1|ColorHistoContrast|ﾋｽﾄｸﾞﾗﾑｺﾝﾄﾗｽﾄ(&O)|
1|ColorHue|色相(&U)|
1|ColorSaturation|彩度(&S)|
1|ColorViewHistogram|ﾋｽﾄｸﾞﾗﾑの表示(&V)|
1|ColorHistoEq|ｺﾝﾄﾗｽﾄの平均化(&Q)|
1|ColorStretchIntensity|ｺﾝﾄﾗｽﾄの強調(&T)|
1|ColorGamma|ｶﾞﾝﾏ補正(&M)|
1|ColorDetect|輝度ﾚﾍﾞﾙの抽出(&D)|
1|ColorFill|塗りつぶし(&F)|
1|ColorSepMenu|ｶﾗｰﾌﾟﾚｰﾝ分解(&P)|
2|ColorSeparate(0)|&RGB|
2|ColorSeparate(1)|CMY&K|
2|ColorSeparate(2)|HS&V|
2|ColorSeparate(3)|H&LS|
2|ColorSeparate(4)|&CMY|
1|CountUniqueColors|使用色数(&E)|
0|MainPreferences|ｵﾌﾟｼｮﾝ(&P)|
1|PrefDithering|ﾃﾞｨｻﾞﾘﾝｸﾞ(&D)|
2|DitheringType(0)|ﾊﾟﾀｰﾝ法(&O)|
2|DitheringType(1)|誤差拡散法(&E)|
1|PrefPaintCallback|ｺｰﾙﾊﾞｯｸﾍﾟｲﾝﾄ(&C)|
1|PrefPaintPalette|表示ﾊﾟﾚｯﾄ(&L)|
2|PrefFixedPalette|固定(&F)|
2|PrefUseNetscape|ﾌﾞﾗｳｻﾞ(&U)|
1|PrefProgress|ﾌﾟﾛｸﾞﾚｽ表示(&P)|
0|mnuHelp|ﾍﾙﾌﾟ(&H)|
1|mnuHelpHelp|ﾍﾙﾌﾟ|
1|mnuHelpAbout|About|)";

// Writes `pages` made pictures of w × h into one file of `format`.
QString makeImage(const QString& path, int w, int h, int pages = 1, int format = engine::kFmtTiff) {
    engine::Document doc;
    for (int i = 0; i < pages; ++i) doc.frames.push_back(engine::Frame{test::madeImage(w, h, 24, unsigned(i + 1))});
    engine::SaveRequest r;
    r.path = path.toStdString();
    r.format = format;
    if (engine::saveFile(doc, r) != 0) qFatal("cannot write %s", qPrintable(path));
    return path;
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
    QString panel(int n) const { return form->controls().StatusBar1->panelText(n); }
    bool enabled(MenuId id) const { return form->action(id)->isEnabled(); }
};

// Qt keeps a hidden action disabled, so "hidden" says all there is to see.
QString stateOf(const QAction* a) {
    if (!a->isVisible()) return QStringLiteral("hidden");
    return a->isEnabled() ? QString() : QStringLiteral("disabled");
}

void walk(const QList<QAction*>& actions, int depth, QStringList& out) {
    for (const QAction* a : actions) {
        const QString caption = a->isSeparator() ? QStringLiteral("-") : a->text();
        out << QStringLiteral("%1|%2|%3|%4").arg(depth).arg(a->objectName(), caption, stateOf(a));
        if (a->menu()) walk(a->menu()->actions(), depth + 1, out);
    }
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString path(const QString& name) const { return dir.filePath(name); }

private slots:
    void menuTreeAndStartStates() {
        Window w;
        QStringList got;
        walk(w->menuBar()->actions(), 0, got);
        const QStringList want = QString::fromUtf8(kExpectedMenus).replace("|hidden disabled", "|hidden").split('\n');
        QCOMPARE(got.size(), want.size());
        for (int i = 0; i < want.size(); ++i) QCOMPARE(got[i], want[i]);
        // Start-up selects the region tool "none", which checks its item;
        // nothing else is checked.
        for (const QAction* a : w->findChildren<QAction*>())
            QVERIFY2(a->isChecked() == (a == w->action(MenuId::ToolNone)), qPrintable(a->objectName()));
        // The table lookup and the objects agree.
        QCOMPARE(w->action(MenuId::RotateCase_3)->objectName(), QStringLiteral("RotateCase(3)"));
        QCOMPARE(w->menu(MenuId::PrefDithering)->objectName(), QStringLiteral("PrefDithering"));
        QCOMPARE(w->windowTitle(), QStringLiteral("QOVA"));
    }

    void startUpState() {
        Window w;
        QCOMPARE(w->state().nZoom, int16_t(100));
        QCOMPARE(w->state().fImage, int16_t(0));
        QCOMPARE(w->state().sDestDir, QDir::currentPath());
        QCOMPARE(w->state().helpFile, QStringLiteral("QOVA.HLP"));
        QVERIFY(w->controls().File1->pattern().startsWith("*.cmp;*.jpe;*.jpg;"));
        QCOMPARE(w->state().FormatName[0], QStringLiteral("すべてのﾌｧｲﾙ"));
        QCOMPARE(w->state().FormatPattern[5], QStringLiteral("*.jpg;*.jff;*.jtf"));
        QCOMPARE(w->state().FormatName[21], QStringLiteral("Cursor"));
        QVERIFY(w->state().FormatName[22].isEmpty());
        // The stores are never shown (they are no widgets at all).
        for (const char* name : {"Img2", "Img3", "Img4", "Img5"}) {
            const QObject* img = w->findChild<QObject*>(QLatin1String(name));
            QVERIFY2(img, name);
            QVERIFY(!img->isWidgetType() || static_cast<const QWidget*>(img)->isHidden());
        }
        QVERIFY(!w->controls().Img1->isHidden());
        QVERIFY(w->form6()->isHidden());
        QCOMPARE(w->controls().Timer1->interval(), 1000);
        QVERIFY(w->controls().Timer1->isActive());
        QVERIFY(!w.panel(1).isEmpty());
        QVERIFY(!w.panel(2).isEmpty());
        QVERIFY(w.ui->boxes.isEmpty());
    }

    void commandLineSmallImageShownAtItsSize() {
        const QString file = makeImage(path("small.tif"), 64, 48);
        Window w(file);
        QCOMPARE(w->state().fImage, int16_t(1));
        QCOMPARE(w->state().nZoom, int16_t(100));
        QCOMPARE(w->controls().Img1->bitmapWidth(), 64);
        QCOMPARE(w.panel(3), QString::number(QFileInfo(file).size()) + " Byte");
        QCOMPARE(w.panel(4), QStringLiteral("64 Width"));
        QCOMPARE(w.panel(5), QStringLiteral("48 Height"));
        QCOMPARE(w.panel(6), QStringLiteral("24 Bit"));
        for (MenuId id : {MenuId::mnuView, MenuId::MainImage, MenuId::mnuColor, MenuId::MainPreferences})
            QVERIFY(w.enabled(id));
        QVERIFY(!w->action(MenuId::MainAnimation)->isVisible());
        QVERIFY(w->action(MenuId::mnuViewNormal)->isChecked());
        QCOMPARE(w->form6()->Command(6)->text(), QStringLiteral("１回"));
        QVERIFY(w.ui->boxes.isEmpty());
    }

    void commandLineLargeImageZoomedToFit() {
        Window w(makeImage(path("large.tif"), 3000, 1000));
        QCOMPARE(w->state().fImage, int16_t(1));
        const QRectF shown = w->controls().Img1->displayRect();
        QVERIFY(shown.width() <= w->controls().Img1->controlWidthPx());
        QVERIFY(shown.height() <= w->controls().Img1->controlHeightPx());
        QCOMPARE(shown.width(), w->controls().Img1->controlWidthPx());   // the wide side fills the control
        QCOMPARE(int(w->state().nZoom), qRound(shown.width() * 100 / 3000));
        QVERIFY(w->action(MenuId::mnuViewZoom)->isChecked());
        QCOMPARE(w.panel(4), QStringLiteral("3000 Width"));   // the file's size, not the shown one
    }

    void commandLineWithoutReadableImageIsSilent_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::newRow("missing") << path("nothing-here.jpg");
        QTest::newRow("not an image") << QStringLiteral(__FILE__);
        // The text is passed on whole, quotes and all, so no file of that name exists.
        QTest::newRow("quoted") << '"' + makeImage(path("quoted.tif"), 20, 20) + '"';
    }
    void commandLineWithoutReadableImageIsSilent() {
        QFETCH(QString, commandLine);
        Window w(commandLine);
        QVERIFY(w.ui->boxes.isEmpty());
        QVERIFY(w->controls().Img1->isEmpty());
        QVERIFY(!w->controls().Img1->isHidden());
        QCOMPARE(w->state().fImage, int16_t(0));
        QVERIFY(!w.enabled(MenuId::mnuColor));
        QVERIFY(w.panel(3).isEmpty());
    }

    void viewMenuPageItems_data() {
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("page");
        QTest::addColumn<bool>("back");
        QTest::addColumn<bool>("forward");
        QTest::newRow("single page") << 1 << 0 << false << false;
        QTest::newRow("first of three") << 3 << 0 << false << true;
        QTest::newRow("middle of three") << 3 << 1 << true << true;
        QTest::newRow("last of three") << 3 << 2 << true << false;
    }
    void viewMenuPageItems() {
        QFETCH(int, pages);
        QFETCH(int, page);
        QFETCH(bool, back);
        QFETCH(bool, forward);
        Window w(makeImage(path(QStringLiteral("pages%1.tif").arg(pages)), 40, 30, pages));
        QCOMPARE(w->controls().Img1->bitmapListCount(), pages);
        w->controls().Img1->setBitmapListIndex(page);
        emit w->menu(MenuId::mnuView)->aboutToShow();
        // The page items themselves are hidden (and so never enabled in Qt):
        // the toolbox's page buttons are where the rule shows.
        QCOMPARE(w->form6()->Command(1)->isEnabled(), back);
        QCOMPARE(w->form6()->Command(2)->isEnabled(), back);
        QCOMPARE(w->form6()->Command(3)->isEnabled(), forward);
        QCOMPARE(w->form6()->Command(4)->isEnabled(), forward);
        QVERIFY(w.enabled(MenuId::ViewPanWindow));
        QVERIFY(!w->action(MenuId::NextPage)->isVisible());
        // CheckViewMenu on its own turns the toolbox's page buttons off again.
        w->CheckViewMenu();
        for (int n = 1; n <= 4; ++n) QVERIFY(!w->form6()->Command(n)->isEnabled());
    }

    void viewMenuChecksTheViewMode() {
        Window w(makeImage(path("mode.tif"), 40, 30));
        const std::pair<int, MenuId> cases[] = {{0, MenuId::mnuViewNormal}, {1, MenuId::mnuViewStretch},
                                                {3, MenuId::mnuViewFit}, {2, MenuId::mnuViewZoom}};
        for (const auto& [mode, item] : cases) {
            w->controls().Img1->setViewMode(mode);
            emit w->menu(MenuId::mnuView)->aboutToShow();
            for (MenuId id : {MenuId::mnuViewNormal, MenuId::mnuViewZoom, MenuId::mnuViewFit, MenuId::mnuViewStretch})
                QCOMPARE(w->action(id)->isChecked(), id == item);
        }
    }

    void openingFileEditColorClearsListKey() {
        Window w;
        for (MenuId id : {MenuId::mnuFile, MenuId::mnuEdit, MenuId::mnuColor}) {
            w->state().fListKey = 1;
            emit w->menu(id)->aboutToShow();
            QCOMPARE(w->state().fListKey, int16_t(0));
        }
        w->state().fListKey = 1;
        emit w->menu(MenuId::mnuDatabase)->aboutToShow();
        QCOMPARE(w->state().fListKey, int16_t(1));
    }

    void escWithImageEmptiesIt() {
        Window w(makeImage(path("esc.tif"), 40, 30));
        w->state().sFilePath = path("esc.tif");
        w->state().sFileName = "esc.tif";
        QTest::keyClick(w->controls().Img1, Qt::Key_Escape);
        QVERIFY(w->controls().Img1->isEmpty());
        QVERIFY(w->state().sFilePath.isEmpty() && w->state().sFileName.isEmpty());
        QVERIFY(w.ui->boxes.isEmpty());
        QCOMPARE(w.ui->quits, 0);
        QCOMPARE(w->state().fImage, int16_t(0));
        QVERIFY(!w.enabled(MenuId::mnuColor));
    }

    void escWithoutImageAsksToQuit() {
        Window w;
        w->ClearOrQuit();   // no answer given: No, the default
        QCOMPARE(w.ui->boxes.size(), 1);
        QCOMPARE(w.ui->boxes[0].prompt, QStringLiteral("終了しますか。"));
        QCOMPARE(w.ui->boxes[0].title, QStringLiteral("終了"));
        QCOMPARE(w.ui->boxes[0].style, shell::YesNo | shell::Critical | shell::DefaultButton2);
        QCOMPARE(w.ui->quits, 0);
        w.ui->answers << shell::MsgYes;
        w->ClearOrQuit();
        QCOMPARE(w.ui->quits, 1);
    }

    void gaugeFollowsProgressWhenShown_data() {
        QTest::addColumn<int>("fProgress");
        QTest::newRow("progress off") << 0;
        QTest::newRow("progress on") << -1;
    }
    void gaugeFollowsProgressWhenShown() {
        QFETCH(int, fProgress);
        const QString file = makeImage(path("gauge.jpg"), 1200, 1200, 1, engine::kFmtJpeg);
        Window w;
        w->show();
        w->state().fProgress = int16_t(fProgress);
        QList<int> fills;
        connect(w->controls().Img1, &engine::ImageControl::progress, w.form.get(),
                [&] { fills << w->controls().StatusBar1->StatGaugeFill()->width(); });
        // A message waiting to be handled: runs mid-load only when the gauge
        // lets the window process its messages.
        bool ranDuringLoad = false, loading = false;
        QTimer::singleShot(0, w.form.get(), [&] { ranDuringLoad = loading; });
        w->StatusInit();
        QCOMPARE(QApplication::overrideCursor() ? QApplication::overrideCursor()->shape() : Qt::ArrowCursor,
                 Qt::WaitCursor);
        QVERIFY(!w.enabled(MenuId::MainPreferences));
        loading = true;
        QCOMPARE(w->controls().Img1->load(file, 0, 0, -1), int16_t(0));
        loading = false;
        w->StatusTerm();
        QVERIFY(!QApplication::overrideCursor());
        QVERIFY(w.enabled(MenuId::MainPreferences));
        const int full = w->controls().StatusBar1->StatGauge()->width();
        if (fProgress == 0) {
            QVERIFY(fills.isEmpty());
            QCOMPARE(w->controls().StatusBar1->StatGaugeFill()->width(), 0);
            QVERIFY(!ranDuringLoad);
        } else {
            QVERIFY(fills.size() >= 3);
            QCOMPARE(fills.first(), 0);
            QCOMPARE(fills.last(), full);
            QVERIFY(std::is_sorted(fills.begin(), fills.end()));
            QVERIFY(ranDuringLoad);
        }
    }

    void statusInitTakesTheUndoSnapshot() {
        Window w(makeImage(path("undo.tif"), 50, 40));
        w->state().nZoom = 130;
        w->StatusInit();
        w->StatusTerm();
        QCOMPARE(w->state().nUndoZoom, int16_t(130));
        QCOMPARE(w->controls().Img4->bitmapWidth(), 50);
        QVERIFY(test::samePixels(w->controls().Img4->currentBitmap(), w->controls().Img1->currentBitmap()));
        // The snapshot is a copy: changing Img1 later leaves it alone.
        engine::Bitmap changed = w->controls().Img1->currentBitmap();
        changed.mutableRow(0)[0] ^= 0xFF;
        w->controls().Img1->setCurrentBitmap(changed);
        QVERIFY(!test::samePixels(w->controls().Img4->currentBitmap(), w->controls().Img1->currentBitmap()));
    }

    void resizeLaysOutInTwips() {
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        auto twipsOf = [](int px) { return shell::pixelsToTwips(px); };
        w->resize(900, 600);
        QTRY_COMPARE(w->width(), 900);
        const double H = twipsOf(w->frameGeometry().height()), W = twipsOf(w->frameGeometry().width());
        QCOMPARE(w->controls().Img1->height(), shell::twipsToPixels(H - 1425));
        QCOMPARE(w->controls().Img1->width(), shell::twipsToPixels(W - 2460));
        QCOMPARE(w->controls().Img1->y(), shell::twipsToPixels(480));
        QCOMPARE(w->controls().File1->height(), shell::twipsToPixels(H - 4760));
        // Browser hidden: the image spans the window less 100 twips.
        w->state().fBrowserHidden = 1;
        w->resize(800, 500);
        QTRY_COMPARE(w->width(), 800);
        QCOMPARE(w->controls().Img1->width(), shell::twipsToPixels(twipsOf(w->frameGeometry().width()) - 100));
        // With the name box of a database shown the image starts lower and is shorter.
        w->controls().Cwho->show();
        w->resize(820, 520);
        QTRY_COMPARE(w->width(), 820);
        QCOMPARE(w->controls().Img1->y(), shell::twipsToPixels(840));
        QCOMPARE(w->controls().Img1->height(), shell::twipsToPixels(twipsOf(w->frameGeometry().height()) - 1425 - 360));
        QCOMPARE(w->controls().Cwho->width(), shell::twipsToPixels(twipsOf(w->frameGeometry().width()) - 100));
    }

    void helpShowsTheGuideOrSaysThereIsNone() {
        Window w;
        w->state().helpFile.clear();
        w->action(MenuId::mnuHelpHelp)->trigger();
        QCOMPARE(w.ui->boxes.size(), 1);
        QCOMPARE(w.ui->boxes[0].style, int(shell::Information));
        QCOMPARE(w.ui->boxes[0].title, QStringLiteral("QOVA"));
        QVERIFY(w.ui->boxes[0].prompt.startsWith(QStringLiteral("ﾍﾙﾌﾟの目次を表示できません。")));
        w->state().helpFile = QStringLiteral(QOVA_SOURCE_DIR "/resources/QOVA.HLP");
        w->action(MenuId::mnuHelpHelp)->trigger();
        QCOMPARE(w.ui->boxes.size(), 1);
        auto* help = w->findChild<QTextBrowser*>(QStringLiteral("HelpWindow"));
        QVERIFY(help && help->isVisible());
        QVERIFY(help->toPlainText().contains(QStringLiteral("ﾌｧｲﾙ(F)")));
        // The hidden Animation menu and the key that shows it are in the guide.
        QVERIFY(help->toPlainText().contains(QStringLiteral("Ctrl+Shift+A")));
        QVERIFY(help->toPlainText().contains(QStringLiteral("ｱﾆﾒｰｼｮﾝ(A)")));
    }

    // Ctrl+Shift+A in the main window shows the Animation menu.
    void ctrlShiftAShowsTheAnimationMenu() {
        Window w;
        QAction* menu = w->action(MenuId::MainAnimation);
        QVERIFY(!menu->isVisible());
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        QTest::keyClick(w.form.get(), Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(menu->isVisible());
    }

    void aboutBoxVersion() {
        app::Form5 about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About"));
        QCOMPARE(about.lblVersion->text(), QStringLiteral("QOVA Version " QOVA_VERSION_STRING));
        about.show();
        about.Command1->click();
        QVERIFY(about.isHidden());
    }

    void exitAndCloseEndTheRun() {
        Window w;
        w->action(MenuId::mmuFileExit)->trigger();
        QCOMPARE(w.ui->quits, 1);
        w->close();
        QCOMPARE(w.ui->quits, 2);
        QVERIFY(w.ui->boxes.isEmpty());
    }

    // A key pressed while a list load runs waits for it: no second load
    // starts inside the first, so the picture shown is always the file
    // sFilePath names; the key then moves on as the user meant.
    void keyDuringALoadWaitsForIt() {
        QTemporaryDir walk;
        for (int i = 0; i < 3; ++i) makeImage(walk.filePath(QString("walk%1.jpg").arg(i)), 1600, 1200, 1, engine::kFmtJpeg);
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowActive(w.form.get()));
        shell::FileList* list = w->controls().File1;
        w->controls().Dir1->setPath(walk.path());
        list->setPath(walk.path());
        list->setFocus();
        w->controls().Img1->setProgressEnabled(true);
        QStringList during;
        bool queued = false;
        connect(w->controls().Img1, &engine::ImageControl::progress, w.form.get(), [&] {
            during << w->state().sFilePath;
            if (queued) return;
            queued = true;
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                w->windowHandle(), QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
            QWindowSystemInterface::handleKeyEvent<QWindowSystemInterface::AsynchronousDelivery>(
                w->windowHandle(), QEvent::KeyRelease, Qt::Key_Down, Qt::NoModifier);
        });
        list->setListIndex(0);
        QVERIFY(queued);
        QCOMPARE(w->state().sFileName, QString("walk0.jpg"));
        QCOMPARE(during.removeDuplicates(), during.size() - 1);  // one file named all through the load
        QCOMPARE(w->controls().Img1->imageSource(), w->state().sFilePath);
        // Back in the event loop the key walks on to the next picture.
        QTRY_COMPARE(w->state().sFileName, QString("walk1.jpg"));
        QCOMPARE(w->controls().Img1->imageSource(), w->state().sFilePath);
    }

    // The read-ahead's worker is the window's: gone when the window goes.
    void readAheadEndsWithTheWindow() {
        for (int i = 0; i < 4; ++i) makeImage(path(QString("ra%1.jpg").arg(i)), 300, 200, 1, engine::kFmtJpeg);
        const int before = engine::ReadAhead::runningWorkers();
        {
            Window w;
            w->controls().File1->setPath(dir.path());
            w->controls().File1->setListIndex(0);
            QCOMPARE(engine::ReadAhead::runningWorkers(), before + 1);
        }
        QCOMPARE(engine::ReadAhead::runningWorkers(), before);
    }

    // The status bar lets the window get narrow enough for the narrow-window
    // rules: at 2500 twips wide or less the image keeps its size.
    void windowCanBeNarrowerThanTheBrowserRule() {
        Window w;
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.form.get()));
        const int narrow = shell::twipsToPixels(2400);
        QVERIFY2(w->minimumSizeHint().width() <= narrow, qPrintable(QString::number(w->minimumSizeHint().width())));
        w->resize(600, 500);
        QTRY_COMPARE(w->width(), 600);
        const int imgWidth = w->controls().Img1->width();
        w->resize(narrow, 500);
        QTRY_COMPARE(w->width(), narrow);
        QCOMPARE(w->controls().Img1->width(), imgWidth);
        // Wide again: the panels take their widths back.
        w->resize(1000, 600);
        QTRY_VERIFY(w->controls().StatusBar1->panel(6)->width() >= 60);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
