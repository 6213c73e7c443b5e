// The animation commands as a user meets them: composing frames in
// CreateAni (list rules, duplicates, a file that fails), the settings
// dialogs' boxes and validation, the toolbox's buttons, the menu's captions,
// palette optimisation with the background's entry, and the hidden menu
// that Ctrl+Shift+A shows.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

#include "animation/animation.h"
#include "animation/create_ani.h"
#include "animation/settings_dialogs.h"
#include "animation/toolbox.h"
#include "engine/core/animation.h"
#include "engine/core/engine_error.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/ops/ranges.h"
#include "engine/core/pages.h"
#include "engine/dispatch_ids.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "shell/file_lists.h"
#include "support/fake_context.h"
#include "support/images.h"

using namespace qova;
using engine::Bitmap;
using engine::Document;
using engine::EngineDialog;
using engine::Frame;
using shell::MenuId;

namespace {

struct Window {
    std::unique_ptr<test::FakeContext> form = std::make_unique<test::FakeContext>();
    animation::Animation anim{*form};
    ~Window() {
        animation::setModalHook({});
        EngineDialog::setAnswerHook({});
        img()->setCallHook({});
    }
    engine::ImageControl* img() const { return form->controls().Img1; }
    animation::Form6* toolbox() const { return anim.form6(); }
    void show(Document doc) {
        img()->setDocument(std::move(doc));
        form->UpdateImageInfo();
    }
    void choose(MenuId id) { form->action(id)->trigger(); }
    // Opens the command's dialog and lets `work` act in it as a user would.
    template <class D> void withDialog(MenuId id, const std::function<void(D&)>& work) {
        bool seen = false;
        animation::setModalHook([&](QDialog& d) {
            auto* dlg = qobject_cast<D*>(&d);
            QVERIFY(dlg);
            seen = true;
            d.show();
            work(*dlg);
            d.hide();
        });
        choose(id);
        animation::setModalHook({});
        QVERIFY(seen);
    }
};

// Frames of distinct widths, so that their order shows.
Document frames(std::initializer_list<int> widths) {
    Document d;
    unsigned seed = 1;
    for (int w : widths) d.frames.push_back(Frame{test::madeImage(w, 20, 24, seed++)});
    d.info.width = d.frames[0].bitmap.width();
    d.info.height = 20;
    d.info.bpp = 24;
    d.info.pageCount = int(d.frames.size());
    return d;
}

QString writeFile(QTemporaryDir& dir, const QString& name, int width, int format) {
    Document d;
    d.frames.push_back(Frame{test::madeImage(width, 12, 24, unsigned(width))});
    return test::saveFixture(d, dir.filePath(name), format);
}

void selectFile(animation::CreateAni& d, const QString& name) {
    for (int i = 0; i < d.File1->listCount(); ++i)
        if (d.File1->entry(i) == name) {
            d.File1->setListIndex(i);
            return;
        }
    QFAIL(qPrintable("no file " + name));
}

void add(animation::CreateAni& d, const QString& name) {
    selectFile(d, name);
    d.Command1->click();
}

}  // namespace

class TestAnimationCommands : public QObject {
    Q_OBJECT
private slots:
    void menuIsHiddenUntilCtrlShiftA() {
        Window w;
        QAction* menu = w.form->action(MenuId::MainAnimation);
        QVERIFY(!menu->isVisible());
        QAction* show = w.anim.showMenuAction();
        QCOMPARE(show->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+A")));
        QVERIFY(w.form->mainWindow()->actions().contains(show));
        show->trigger();
        QVERIFY(menu->isVisible());
        show->trigger();
        QVERIFY(!menu->isVisible());
        // Shown, it follows the image menus' enabling, also what happened while hidden.
        w.show(frames({10}));
        show->trigger();
        QVERIFY(menu->isVisible());
        QVERIFY(menu->isEnabled());
        w.form->MenuItemsEnable(false);
        QVERIFY(!menu->isEnabled());
    }

    void createAniListRules() {
        Window w;
        QTemporaryDir dir;
        writeFile(dir, "a.bmp", 10, engine::kFmtBmp);
        writeFile(dir, "b.jpg", 14, engine::kFmtJpeg);
        writeFile(dir, "c.png", 16, engine::kFmtPng);  // not among the patterns
        w.form->controls().Dir1->setPath(dir.path());
        w.withDialog<animation::CreateAni>(MenuId::AnimateCreate, [&](animation::CreateAni& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("ｱﾆﾒｰｼｮﾝの作成"));
            QCOMPARE(d.Dir1->path(), dir.path());
            QCOMPARE(d.File1->listCount(), 2);
            QVERIFY(!d.Command1->isEnabled() && !d.Command2->isEnabled() && !d.Command3->isEnabled());
            selectFile(d, "a.bmp");
            QVERIFY(d.Command1->isEnabled());
            d.Command1->click();
            QCOMPARE(d.List2->item(0)->text(), dir.filePath("a.bmp"));
            QVERIFY(d.Command2->isEnabled() && d.Command3->isEnabled());
            // Right after adding nothing is selected: "<-" removes nothing.
            d.Command2->click();
            QCOMPARE(d.List2->count(), 1);
            add(d, "b.jpg");
            add(d, "a.bmp");
            // Removing the selected item leaves the last one selected.
            d.List2->setCurrentRow(0);
            d.Command2->click();
            QCOMPARE(d.List2->count(), 2);
            QCOMPARE(d.List2->selectedItems().size(), 1);
            QCOMPARE(d.List2->row(d.List2->selectedItems().first()), 1);
            d.Command2->click();
            d.Command2->click();
            QCOMPARE(d.List2->count(), 0);
            QVERIFY(!d.Command2->isEnabled() && !d.Command3->isEnabled());
            // A change of directory disables "->" until a file is clicked.
            selectFile(d, "a.bmp");
            d.Dir1->setPath(QDir::rootPath());
            QVERIFY(!d.Command1->isEnabled());
            d.Command4->click();
        });
        QVERIFY(w.img()->isEmpty());  // cancel builds nothing
    }

    void createAniJoinsADriveRootWithoutASecondSeparator() {
        Window w;
        w.withDialog<animation::CreateAni>(MenuId::AnimateCreate, [&](animation::CreateAni& d) {
            d.File1->setPath(QDir::rootPath());
            // A root holds no frame to pick here: an entry as the list makes them.
            auto* entry = new QListWidgetItem(QStringLiteral("frame.jpg"));
            entry->setData(Qt::UserRole, QStringLiteral("frame.jpg"));
            d.File1->addItem(entry);
            d.File1->setListIndex(d.File1->listCount() - 1);
            d.Command1->click();
            QCOMPARE(d.List2->item(0)->text(), QDir::rootPath() + QStringLiteral("frame.jpg"));
            d.Command4->click();
        });
    }

    // List order, the same file twice, and the frames reached through the toolbox.
    void createAniBuildsFramesInListOrder() {
        Window w;
        QTemporaryDir dir;
        writeFile(dir, "a.bmp", 10, engine::kFmtBmp);
        writeFile(dir, "b.tif", 14, engine::kFmtTiffLzw);
        w.show(frames({50}));
        w.form->state().sFilePath = dir.filePath("shown.jpg");
        w.form->controls().Dir1->setPath(dir.path());
        w.withDialog<animation::CreateAni>(MenuId::AnimateCreate, [&](animation::CreateAni& d) {
            add(d, "b.tif");
            add(d, "a.bmp");
            add(d, "b.tif");
            d.Command3->click();
        });
        QCOMPARE(w.img()->bitmapListCount(), 3);
        QCOMPARE(w.form->state().sFilePath, QString());  // the shown file is no longer on view
        QCOMPARE(w.form->state().fImage, int16_t(1));
        animation::Form6* t = w.toolbox();
        const int widths[] = {14, 10, 14};
        QCOMPARE(w.img()->bitmapWidth(), widths[0]);
        for (int i = 1; i < 3; ++i) {
            t->Command(3)->click();
            QCOMPARE(w.img()->bitmapListIndex(), i);
            QCOMPARE(w.img()->bitmapWidth(), widths[i]);
        }
        QVERIFY(!t->Command(3)->isEnabled() && !t->Command(4)->isEnabled());
        QVERIFY(t->Command(1)->isEnabled() && t->Command(2)->isEnabled());
    }

    void createAniReportsAFileThatFailsAndKeepsTheFramesBefore() {
        Window w;
        QTemporaryDir dir;
        writeFile(dir, "a.bmp", 10, engine::kFmtBmp);
        QFile bad(dir.filePath("bad.jpg"));
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write("not a picture at all");
        bad.close();
        w.form->controls().Dir1->setPath(dir.path());
        w.withDialog<animation::CreateAni>(MenuId::AnimateCreate, [&](animation::CreateAni& d) {
            add(d, "a.bmp");
            add(d, "bad.jpg");
            add(d, "a.bmp");
            d.Command3->click();
        });
        QCOMPARE(w.img()->bitmapListCount(), 1);
        QCOMPARE(w.form->scripted().boxes.size(), 1);
        const QString text = w.form->scripted().boxes[0].prompt;
        QVERIFY2(text.startsWith(QStringLiteral("ﾌｧｲﾙ '") + dir.filePath("bad.jpg")), qPrintable(text));
        QVERIFY(text.contains(QStringLiteral("'2000")));
        // A list whose first file fails leaves nothing, as after Close.
        w.form->scripted().boxes.clear();
        w.withDialog<animation::CreateAni>(MenuId::AnimateCreate, [&](animation::CreateAni& d) {
            add(d, "bad.jpg");
            d.Command3->click();
        });
        QVERIFY(w.img()->isEmpty());
        QCOMPARE(w.form->state().fImage, int16_t(0));
        QVERIFY(!w.form->action(MenuId::mnuColor)->isEnabled());
    }

    void screenSetLimitsAndWrites() {
        Window w;
        w.show(frames({40, 30}));
        w.img()->setAnimationBackColor(0x0000FF);
        w.img()->setAnimationBits(8);
        w.withDialog<animation::ScreenSet>(MenuId::AnimateScreenSettings, [&](animation::ScreenSet& d) {
            QCOMPARE(d.Text1->text(), QStringLiteral("&HFF"));
            QCOMPARE(d.Text3->text(), QStringLiteral("40"));
            QCOMPARE(d.Combo1->currentText(), QStringLiteral("8"));
            d.Text3->setText("2049");
            d.Text4->setText("1537");
            d.cmdOkCancel[0]->click();
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget(), d.Text3);
            d.Text3->setText("2048");
            d.cmdOkCancel[0]->click();
            QCOMPARE(d.focusWidget(), d.Text4);
            QVERIFY(d.isVisible());
            d.Text4->setText("1536");
            // A colour chosen shows eight digits.
            w.form->scripted().colours = {0x00FF00};
            d.cmdBackColor->click();
            QCOMPARE(d.Text1->text(), QStringLiteral("&H0000FF00"));
            d.Combo1->setCurrentIndex(d.Combo1->findText("4"));
            d.cmdOkCancel[0]->click();
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(w.img()->animationWidth(), 2048.0);
        QCOMPARE(w.img()->animationHeight(), 1536.0);
        QCOMPARE(w.img()->animationBackColor(), 0x00FF00u);
        QCOMPARE(int(w.img()->animationBits()), 4);
        // A depth no item has: nothing selected, and OK keeps the engine's.
        w.img()->setAnimationBits(12);
        w.withDialog<animation::ScreenSet>(MenuId::AnimateScreenSettings, [&](animation::ScreenSet& d) {
            QCOMPARE(d.Combo1->currentIndex(), -1);
            d.cmdOkCancel[0]->click();
        });
        QCOMPARE(int(w.img()->animationBits()), 12);
        // Cancel writes nothing.
        w.withDialog<animation::ScreenSet>(MenuId::AnimateScreenSettings, [&](animation::ScreenSet& d) {
            d.Text3->setText("7");
            d.cmdOkCancel[1]->click();
        });
        QCOMPARE(w.img()->animationWidth(), 2048.0);
    }

    void frameSetCanonicalNumbersAndLimits() {
        Window w;
        w.show(frames({300, 20}));
        w.withDialog<animation::FrameSet>(MenuId::AnimateFrameSettings, [&](animation::FrameSet& d) {
            QCOMPARE(d.windowTitle(), QStringLiteral("ﾌﾚｰﾑの設定"));
            QVERIFY(!d.Check2->isChecked());
            QVERIFY(!d.cmdColor->isEnabled());
            d.Check2->click();
            QVERIFY(d.cmdColor->isEnabled());
            d.Text3->setFocus();
            QWidget* before = d.focusWidget();
            d.Text2->setText("0100");
            d.cmdOKCancel[0]->click();
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget(), before);
            // Emptying the box takes the focus there (it beeps); OK leaves it where it is.
            d.Text2->setText("");
            QCOMPARE(d.focusWidget(), d.Text2);
            d.Text3->setFocus();
            d.cmdOKCancel[0]->click();
            QVERIFY(d.isVisible());
            QCOMPARE(d.focusWidget(), before);
            d.Text2->setText("5001");
            d.cmdOKCancel[0]->click();
            QCOMPARE(d.focusWidget(), d.Text2);
            d.Text2->setText("100");
            d.Text3->setText("1749");  // 2048 − 300 = 1748
            d.cmdOKCancel[0]->click();
            QCOMPARE(d.focusWidget(), d.Text3);
            d.Text3->setText("1748");
            d.Text4->setText("1517");  // 1536 − 20 = 1516
            d.cmdOKCancel[0]->click();
            QCOMPARE(d.focusWidget(), d.Text4);
            QVERIFY(d.isVisible());
            d.Text4->setText("1516");
            d.Combo1->setCurrentIndex(3);
            d.cmdOKCancel[0]->click();
            QVERIFY(!d.isVisible());
        });
        QCOMPARE(w.img()->frameDelay(), 100);
        QCOMPARE(w.img()->frameLeft(), 1748.0);
        QCOMPARE(w.img()->frameTop(), 1516.0);
        QCOMPARE(int(w.img()->frameDisposal()), 3);
        QVERIFY(w.img()->frameTransparent());
        // The second frame is edited when it is the one shown.
        w.img()->setBitmapListIndex(1);
        w.withDialog<animation::FrameSet>(MenuId::AnimateFrameSettings, [&](animation::FrameSet& d) {
            QCOMPARE(d.Text3->text(), QStringLiteral("0"));
            QVERIFY(!d.Check2->isChecked());
            d.cmdOKCancel[1]->click();
        });
    }

    void numberBoxesTakeDigitsOnly() {
        Window w;
        w.show(frames({30}));
        w.withDialog<animation::FrameSet>(MenuId::AnimateFrameSettings, [&](animation::FrameSet& d) {
            animation::NumberBox* box = d.Text2;
            QSignalSpy beeps(box, &animation::NumberBox::beeped);
            box->setFocus();
            box->selectAll();
            QTest::keyClicks(box, "1a2-b");
            QCOMPARE(box->text(), QStringLiteral("12"));
            QCOMPARE(beeps.count(), 0);
            // Deleting the last digit beeps and leaves the box empty.
            QTest::keyClick(box, Qt::Key_Backspace);
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), QString());
            QCOMPARE(beeps.count(), 1);
            // Ctrl+V pastes: digits stay, anything else beeps and empties.
            QApplication::clipboard()->setText(QStringLiteral("250"));
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(box->text(), QStringLiteral("250"));
            box->selectAll();
            QApplication::clipboard()->setText(QStringLiteral("ab"));
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QCOMPARE(box->text(), QString());
            QCOMPARE(beeps.count(), 2);
            d.cmdOKCancel[1]->click();
        });
        int32_t v = 0;
        QVERIFY(animation::toLong(u" 12 ", v));
        QCOMPARE(v, 12);
        QVERIFY(!animation::toLong(u"", v));
        QVERIFY(!animation::toLong(u"12a", v));
        QVERIFY(!animation::toLong(u"3000000000", v));
        QVERIFY(animation::toLong(u"-2147483648", v));
        QCOMPARE(v, INT32_MIN);
    }

    // Settings are refused while the animation plays, from the menu and the toolbox.
    void frameSettingsRefusedWhilePlaying() {
        Window w;
        w.show(frames({30, 20}));
        w.img()->setAnimationLoop(true);
        w.img()->setAnimationPlaying(true);
        int opened = 0;
        animation::setModalHook([&](QDialog&) { ++opened; });
        w.choose(MenuId::AnimateFrameSettings);
        w.toolbox()->Command(7)->click();
        QCOMPARE(opened, 0);
        w.img()->setAnimationPlaying(false);
        w.toolbox()->Command(7)->click();
        QCOMPARE(opened, 1);
    }

    void toolboxButtonsFollowTheFrame() {
        Window w;
        animation::Form6* t = w.toolbox();
        w.show(frames({30}));
        for (int n = 1; n <= 4; ++n) QVERIFY(!t->Command(n)->isEnabled());
        w.show(frames({30, 20, 10}));
        QVERIFY(!t->Command(1)->isEnabled() && !t->Command(2)->isEnabled());
        QVERIFY(t->Command(3)->isEnabled() && t->Command(4)->isEnabled());
        t->Command(4)->click();
        QCOMPARE(w.img()->bitmapListIndex(), 2);
        QVERIFY(t->Command(1)->isEnabled() && t->Command(2)->isEnabled());
        QVERIFY(!t->Command(3)->isEnabled() && !t->Command(4)->isEnabled());
        t->Command(2)->click();
        QCOMPARE(w.img()->bitmapListIndex(), 1);
        t->Command(1)->click();
        QCOMPARE(w.img()->bitmapListIndex(), 0);
        // Play and stop.
        t->Command(5)->click();
        QVERIFY(w.img()->animationPlaying());
        QCOMPARE(t->Command(5)->text(), QStringLiteral("停止"));
        t->Command(5)->click();
        QVERIFY(!w.img()->animationPlaying());
        QCOMPARE(t->Command(5)->text(), QStringLiteral("再生"));
        // Loop.
        QCOMPARE(t->Command(6)->text(), QStringLiteral("１回"));
        t->Command(6)->click();
        QVERIFY(w.img()->animationLoop());
        QCOMPARE(t->Command(6)->text(), QStringLiteral("連続"));
        // A single run ends by itself: the notification brings the caption back.
        t->Command(6)->click();
        for (Frame& f : w.img()->mutableDocument().frames) f.delayMs = 20;
        t->Command(5)->click();
        QSignalSpy notify(w.img(), &engine::ImageControl::animationNotify);
        QVERIFY(notify.wait(5000));
        QCOMPARE(t->Command(5)->text(), QStringLiteral("再生"));
    }

    void menuCaptionsFollowPlayAndLoop() {
        Window w;
        w.show(frames({30, 20}));
        emit w.form->menu(MenuId::MainAnimation)->aboutToShow();
        QCOMPARE(w.form->action(MenuId::AnimateGo)->text(), QStringLiteral("再生(&P)"));
        QVERIFY(!w.form->action(MenuId::AnimateLoop)->isChecked());
        w.choose(MenuId::AnimateLoop);
        w.choose(MenuId::AnimateGo);
        QVERIFY(w.img()->animationPlaying());
        emit w.form->menu(MenuId::MainAnimation)->aboutToShow();
        QCOMPARE(w.form->action(MenuId::AnimateGo)->text(), QStringLiteral("停止(&S)"));
        QVERIFY(w.form->action(MenuId::AnimateLoop)->isChecked());
        w.choose(MenuId::AnimateGo);
        QVERIFY(!w.img()->animationPlaying());
        // The toolbox opens modeless and shows the frame's buttons.
        w.choose(MenuId::AnimateToolbox);
        QVERIFY(w.toolbox()->isVisible());
        QVERIFY(w.toolbox()->Command(3)->isEnabled());
        // Esc empties the view: the open toolbox offers no pages any more.
        w.form->ClearOrQuit();
        QVERIFY(!w.toolbox()->Command(3)->isEnabled());
        w.toolbox()->hide();
    }

    void paletteOptimisation_data() {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("kind");
        QTest::addColumn<uint32_t>("background");
        QTest::addColumn<int>("reserved");  // entry kept for the background, −1 none
        QTest::newRow("24 bits") << 24 << int(engine::ops::kResOptimised) << 0x123456u << -1;
        QTest::newRow("8 bits optimised") << 8 << int(engine::ops::kResOptimised) << 0x123456u << 255;
        QTest::newRow("8 bits fixed") << 8 << 0 << 0x123456u << -1;
        QTest::newRow("3 bits optimised") << 3 << int(engine::ops::kResOptimised) << 0x00FF00u << 7;
        QTest::newRow("1 bit optimised") << 1 << int(engine::ops::kResOptimised) << 0x123456u << -1;
        QTest::newRow("background names an entry") << 8 << int(engine::ops::kResOptimised) << 0x1000005u << 255;
    }
    void paletteOptimisation() {
        QFETCH(int, bits);
        QFETCH(int, kind);
        QFETCH(uint32_t, background);
        QFETCH(int, reserved);
        Window w;
        w.show(frames({30, 24, 16}));
        w.img()->setAnimationPalette(5, 0xABCDEF);
        w.img()->setAnimationBackColor(background);
        w.img()->setBitmapListIndex(2);
        EngineDialog::setAnswerHook([&](QDialog& d, EngineDialog::Kind k) {
            if (k != EngineDialog::Kind::ColourResolution) return false;
            auto pick = [&](const char* name, int value) {
                auto* box = d.findChild<QComboBox*>(QLatin1String(name));
                box->setCurrentIndex(box->findData(value));
            };
            pick("Bits", bits);
            if (bits <= 8) pick("Palette", kind);
            return true;
        });
        w.choose(MenuId::AnimateOptimizeColors);
        QVERIFY(w.form->scripted().boxes.isEmpty());
        QVERIFY(w.form->action(MenuId::mnuColor)->isEnabled());  // the busy state ended
        const std::vector<Frame>& f = w.img()->document().frames;
        const uint32_t colour = background >= engine::kPaletteEntryFlag ? 0xABCDEF : background;
        if (bits > 8) {
            for (const Frame& fr : f) QCOMPARE(fr.bitmap.bpp(), 24);
            QCOMPARE(w.img()->animationBackColor(), background);
            return;
        }
        const int storage = bits == 1 ? 1 : bits <= 4 ? 4 : 8;
        for (const Frame& fr : f) {
            QCOMPARE(fr.bitmap.bpp(), storage);
            QVERIFY(fr.bitmap.palette() == f[0].bitmap.palette());  // one shared palette
        }
        if (reserved < 0) {
            QCOMPARE(w.img()->animationBackColor(), background);
            QVERIFY(int(f[0].bitmap.palette().size()) <= 1 << bits);
            return;
        }
        QCOMPARE(w.img()->animationBackColor(), uint32_t(reserved) | engine::kPaletteEntryFlag);
        QCOMPARE(w.img()->animationPalette(reserved), colour);
        for (const Frame& fr : f) {
            QCOMPARE(int(fr.bitmap.palette().size()), reserved + 1);
            QCOMPARE(engine::colourOfRgb(fr.bitmap.palette()[size_t(reserved)]), colour);
        }
        QCOMPARE(w.img()->bitmapListIndex(), 0);  // the first frame is shown
    }

    void paletteOptimisationCancelledOrFailing() {
        Window w;
        w.show(frames({30, 24}));
        EngineDialog::setAnswerHook([](QDialog&, EngineDialog::Kind) { return false; });
        w.choose(MenuId::AnimateOptimizeColors);
        QVERIFY(w.form->scripted().boxes.isEmpty());
        QCOMPARE(w.img()->document().frames[0].bitmap.bpp(), 24);
        // An engine error: "source number\rdescription", the busy state ended.
        EngineDialog::setAnswerHook([](QDialog&, EngineDialog::Kind) { return true; });
        w.img()->setCallHook([](int id) {
            if (id == engine::dispid::ColourResList) throw engine::EngineError(20001, "out of memory");
        });
        w.choose(MenuId::AnimateOptimizeColors);
        QCOMPARE(w.form->scripted().boxes.size(), 1);
        QCOMPARE(w.form->scripted().boxes[0].prompt, QStringLiteral("QOVA Engine 20001\rout of memory"));
        QCOMPARE(w.form->scripted().boxes[0].style, int(shell::OkOnly));
        QVERIFY(w.form->action(MenuId::mnuColor)->isEnabled());
    }
};

QTEST_MAIN(TestAnimationCommands)
#include "test_animation.moc"
