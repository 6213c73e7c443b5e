// Viewing as a user meets it: fitting on load, zooming by the dialog, the
// keys and the buttons (and where zooming stops), the view modes, Img1's
// keys, the "ZOOM" screen sizes and where the pan window opens.
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>

#include "engine/core/pages.h"
#include "engine/dispatch_ids.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "engine/pan_window.h"
#include "files/files.h"
#include "shell/file_lists.h"
#include "shell/get_value.h"
#include "shell/status_bar.h"
#include "shell/zoom.h"
#include "support/fake_context.h"
#include "support/images.h"
#include "view/form3.h"
#include "view/viewing.h"

using namespace qova;
using shell::MenuId;

namespace {

// The view subsystem in a small window, with the real browser panel (Img1's
// drive keys go to it).
struct Window {
    std::unique_ptr<test::FakeContext> form = std::make_unique<test::FakeContext>();
    test::ScriptedUi* ui = &form->scripted();
    files::Files files{*form};
    view::Viewing viewing{*form};
    test::FakeContext* operator->() const { return form.get(); }
    const shell::Controls& c() const { return form->controls(); }
    QString panel(int n) const { return c().StatusBar1->panelText(n); }
    // Puts a made w × h picture into Img1 as a load does.
    void show(int w, int h) {
        engine::Document doc;
        doc.frames.push_back(engine::Frame{test::madeImage(w, h, 24)});
        doc.info.width = w;
        doc.info.height = h;
        doc.info.bpp = 24;
        c().Img1->setDocument(doc);
        form->UpdateImageInfo();
    }
};

// The rectangle calls (323–326) of a call log, in order.
std::vector<int> rectCalls(const engine::ImageControl& c) {
    std::vector<int> out;
    for (int id : c.callLog())
        if (id >= engine::dispid::SetDisplayRect && id <= engine::dispid::SetSourceClipRect) out.push_back(id);
    return out;
}

const std::vector<int> kDisplaySizeOrder = {325, 326, 323, 324};

// Chooses a menu item whose handler shows a modal dialog, and runs `during`
// with that dialog once it is up; a dialog left open is closed afterwards.
// Returns whether a dialog appeared.
bool withModal(QAction* item, const std::function<void(QDialog*)>& during) {
    bool appeared = false;
    // A timer of our own, so none is left pending when no dialog came.
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg) return;
        appeared = true;
        during(dlg);
        if (dlg->isVisible()) dlg->reject();
    });
    timer.start(0);
    item->trigger();
    return appeared;
}

}  // namespace

class ViewingTest : public QObject {
    Q_OBJECT
private slots:
    // Fit by zooming in a 400 × 300 control: proportions kept, top-left anchored.
    void fitByZoom_data() {
        QTest::addColumn<int>("bw");
        QTest::addColumn<int>("bh");
        QTest::addColumn<QRectF>("display");
        QTest::addColumn<int>("zoom");
        // 640 is not below 480 × 400 / 300 = 640; 62.5 rounds to the even 62.
        QTest::newRow("640x480") << 640 << 480 << QRectF(0, 0, 400, 300) << 62;
        QTest::newRow("300x600") << 300 << 600 << QRectF(0, 0, 150, 300) << 50;
    }
    void fitByZoom() {
        QFETCH(int, bw);
        QFETCH(int, bh);
        QFETCH(QRectF, display);
        QFETCH(int, zoom);
        engine::ImageControl c;
        c.setFrameShape(QFrame::NoFrame);
        c.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        c.setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        c.resize(400, 300);
        c.show();   // the view area takes its size when shown
        engine::Document doc;
        doc.frames.push_back(engine::Frame{test::madeImage(bw, bh, 24)});
        c.setDocument(doc);
        c.setCallLogEnabled(true);
        QCOMPARE(shell::ViewFit2(c), std::optional<int16_t>(int16_t(zoom)));
        QCOMPARE(rectCalls(c), kDisplaySizeOrder);
        QCOMPARE(c.displayRect(), display);
        QCOMPARE(c.displayClipRect(), display);
        QCOMPARE(c.sourceRect(), QRectF(0, 0, bw, bh));
    }

    void largeImageFittedOnLoadSmallOneNot() {
        Window w;
        w.show(3000, 2000);
        QVERIFY(w->action(MenuId::mnuViewZoom)->isChecked());
        QVERIFY(w.c().Img1->displayRect().width() <= w.c().Img1->controlWidthPx());
        QVERIFY(w->state().nZoom < 100);
        // The next, small picture shows at its own size, not stretched to
        // the display size the large one had.
        w.show(120, 80);
        QCOMPARE(w->state().nZoom, int16_t(100));
        QCOMPARE(w.c().Img1->displayRect(), QRectF(0, 0, 120, 80));
    }

    void applyZoomRoundsHalfToEven() {
        Window w;
        w.show(101, 101);
        w->state().nZoom = 150;
        w.c().Img1->setCallLogEnabled(true);
        w->ApplyZoom();
        QCOMPARE(rectCalls(*w.c().Img1), kDisplaySizeOrder);
        QCOMPARE(w.c().Img1->displayRect(), QRectF(0, 0, 152, 152));   // 151.5 → 152
        QCOMPARE(w.c().Img1->sourceRect(), QRectF(0, 0, 101, 101));
        QCOMPARE(w.panel(4), QStringLiteral("152 Width"));
        QCOMPARE(w.panel(5), QStringLiteral("152 Height"));
        QVERIFY(w.c().Img1->viewMode() != 0 && w.c().Img1->viewMode() != 1 && w.c().Img1->viewMode() != 3);
    }

    void zoomBounds_data() {
        QTest::addColumn<int>("bw");
        QTest::addColumn<int>("bh");
        QTest::addColumn<int>("maxZoom");
        QTest::newRow("1x1") << 1 << 1 << 32767;
        QTest::newRow("3000x1000") << 3000 << 1000 << 1092;
        QTest::newRow("tall 100x5000") << 100 << 5000 << 655;
        // 65535 × 50 % is 32767.5, which rounds to the even 32768: one less.
        QTest::newRow("65535 wide") << 65535 << 1 << 49;
        QTest::newRow("wider than any zoom") << 4000000 << 1 << 1;
    }
    void zoomBounds() {
        QFETCH(int, bw);
        QFETCH(int, bh);
        QFETCH(int, maxZoom);
        QCOMPARE(int(shell::maxZoom(bw, bh)), maxZoom);
        const shell::DisplaySize s = shell::zoomedSize(bw, bh, maxZoom);
        QVERIFY(s.width <= 32767 && s.height <= 32767 && s.width >= 1);
        QCOMPARE(int(shell::boundedZoom(-40, bw, bh)), 1);
        QCOMPARE(int(shell::boundedZoom(40000, bw, bh)), maxZoom);
    }

    void zoomStepsStopAtTheBounds() {
        Window w;
        w.show(101, 101);
        // Down: 15 → 5 → 1, then nothing more (and no new undo snapshot).
        w->state().nZoom = 15;
        QVERIFY(w->ZoomStep(-10));
        QVERIFY(w->ZoomStep(-10));
        QCOMPARE(w->state().nZoom, int16_t(1));
        QCOMPARE(w.c().Img1->displayRect(), QRectF(0, 0, 1, 1));
        QVERIFY(!w->ZoomStep(-10));
        QCOMPARE(w->state().nUndoZoom, int16_t(5));
        // Up: to the largest zoom whose display fits in 16 bits, no wrap-around.
        w->state().nZoom = 32440;
        QVERIFY(w->ZoomStep(+10));
        QVERIFY(!w->ZoomStep(+10));
        QCOMPARE(w->state().nZoom, int16_t(32443));
        QCOMPARE(w.panel(4), QStringLiteral("32767 Width"));
        // A zoom left at 0, or past the bound by the dialog, is brought into range.
        w->state().nZoom = 0;
        w->ApplyZoom();
        QCOMPARE(w->state().nZoom, int16_t(1));
        w.show(100, 5000);
        w->state().nZoom = 800;
        w->ApplyZoom();
        QCOMPARE(w.c().Img1->displayRect(), QRectF(0, 0, 655, 32750));
    }

    void zoomDialogStartsAtTheZoom_data() {
        QTest::addColumn<int>("nZoom");
        QTest::addColumn<int>("start");
        QTest::newRow("0 starts at 100") << 0 << 100;
        QTest::newRow("negative starts at 100") << -20 << 100;
        QTest::newRow("250") << 250 << 250;
        QTest::newRow("past 800 starts at 800") << 900 << 800;
    }
    void zoomDialogStartsAtTheZoom() {
        QFETCH(int, nZoom);
        QFETCH(int, start);
        Window w;
        w.show(101, 101);
        w->state().nZoom = int16_t(nZoom);
        const bool shown = withModal(w->action(MenuId::mnuViewZoom), [&](QDialog* d) {
            auto* g = qobject_cast<shell::GetValue*>(d);
            QVERIFY(g);
            QCOMPARE(g->windowTitle(), QStringLiteral("ｽﾞｰﾑ ｲﾝ/ｱｳﾄ"));
            QCOMPARE(g->GetValueType->text(), QStringLiteral("拡大率(%):"));
            const QScrollBar* bar = g->GetValueBar;
            QCOMPARE((QList<int>{bar->minimum(), bar->maximum(), bar->pageStep(), bar->singleStep(), bar->value()}),
                     (QList<int>{1, 800, 100, 10, start}));
            QVERIFY(g->Resize_Horz->isHidden());
        });
        QVERIFY(shown);
        QCOMPARE(w->state().nZoom, int16_t(nZoom));   // cancelled: unchanged
    }

    void zoomDialogOkAppliesCancelDoesNot() {
        Window w;
        w.show(101, 101);
        for (bool ok : {true, false}) {
            withModal(w->action(MenuId::mnuViewZoom), [&](QDialog* d) {
                auto* g = static_cast<shell::GetValue*>(d);
                g->GetValueBox->selectAll();
                QTest::keyClicks(g->GetValueBox, ok ? "150" : "30");
                (ok ? g->OK : g->Cancel)->click();
            });
            QCOMPARE(w->state().nZoom, int16_t(150));
            QCOMPARE(w.c().Img1->displayRect(), QRectF(0, 0, 152, 152));
        }
        QCOMPARE(w->state().nUndoZoom, int16_t(100));   // the menu's zoom takes no snapshot
        w->state().fImage = 0;   // without an image there is no dialog
        QVERIFY(!withModal(w->action(MenuId::mnuViewZoom), [](QDialog*) {}));
    }

    void zoomScreenSizes_data() {
        QTest::addColumn<int>("option");
        QTest::addColumn<QSize>("size");
        QTest::newRow("640*400 gives 640x480") << 1 << QSize(640, 480);
        QTest::newRow("800*600") << 2 << QSize(800, 600);
        QTest::newRow("1024*768") << 3 << QSize(1024, 768);
        QTest::newRow("1152*864") << 4 << QSize(1152, 864);
        QTest::newRow("1280*1024") << 5 << QSize(1280, 1024);
        QTest::newRow("1600*1200") << 6 << QSize(1600, 1200);
    }
    void zoomScreenSizes() {
        QFETCH(int, option);
        QFETCH(QSize, size);
        Window w;
        w.show(300, 600);
        w->state().nZoom = 40;
        withModal(w->action(MenuId::mnuViewZoom2), [&](QDialog* d) {
            auto* f = qobject_cast<view::Form3*>(d);
            QVERIFY(f);
            QVERIFY(f->Option(1)->isChecked());   // first showing
            QCOMPARE(f->Option(option)->text(), QStringLiteral("%1*%2").arg(size.width()).arg(option == 1 ? 400 : size.height()));
            f->Option(option)->click();
            f->Command1->click();
        });
        QCOMPARE(QSize(w.c().Img1->bitmapWidth(), w.c().Img1->bitmapHeight()), size);   // proportions not kept
        QCOMPARE(w.c().Img1->displayRect(), QRectF(QPointF(0, 0), size));
        QCOMPARE(w.panel(4) + w.panel(5), QStringLiteral("%1 Width%2 Height").arg(size.width()).arg(size.height()));
        QCOMPARE(w->state().nZoom, int16_t(100));
        QCOMPARE(w.c().Img4->bitmapWidth(), 300);   // undo snapshot of the picture before
        QCOMPARE(w->state().nUndoZoom, int16_t(40));

        // The dialog keeps its choice; CANCEL changes nothing, nor OK without an image.
        w.show(50, 60);
        withModal(w->action(MenuId::mnuViewZoom2), [&](QDialog* d) {
            QVERIFY(static_cast<view::Form3*>(d)->Option(option)->isChecked());
            static_cast<view::Form3*>(d)->Command2->click();
        });
        w->state().fImage = 0;
        withModal(w->action(MenuId::mnuViewZoom2), [](QDialog* d) { static_cast<view::Form3*>(d)->Command1->click(); });
        QCOMPARE(w.c().Img1->bitmapWidth(), 50);
        QVERIFY(w.viewing.form3()->isHidden());
    }

    void viewMenuModes() {
        Window w;
        w.show(3000, 2000);
        const int16_t fitted = w->state().nZoom;
        w->action(MenuId::mnuViewFit)->trigger();
        QCOMPARE(w.c().Img1->viewMode(), 3);
        w->action(MenuId::mnuViewStretch)->trigger();
        QCOMPARE(w.c().Img1->viewMode(), 1);
        QCOMPARE(w->state().nZoom, fitted);   // Fit and Stretch leave the zoom
        w->action(MenuId::mnuViewNormal)->trigger();
        QCOMPARE(w.c().Img1->viewMode(), 0);
        QCOMPARE(w->state().nZoom, int16_t(100));
        // Normal view of a picture larger than the control scrolls.
        QVERIFY(w.c().Img1->horizontalScrollBar()->maximum() > 0);
        QVERIFY(w.c().Img1->verticalScrollBar()->maximum() > 0);
    }

    void img1ViewKeys() {
        Window w;
        engine::ImageControl* img = w.c().Img1;
        const int mode = img->viewMode();
        emit img->keyDown(220, 0);   // no image: nothing
        QCOMPARE(img->viewMode(), mode);
        w.show(3000, 2000);
        const int16_t zoom = w->state().nZoom;
        emit img->keyDown(220, 0);
        QCOMPARE(img->viewMode(), 3);
        emit img->keyDown(222, 1);   // with Shift: nothing
        QCOMPARE(img->viewMode(), 3);
        emit img->keyDown(222, 0);
        QCOMPARE(img->viewMode(), 0);
        QCOMPARE(w->state().nZoom, zoom);
        emit img->keyDown(27, 0);    // Esc empties the control
        QVERIFY(img->isEmpty());
        QVERIFY(w.ui->boxes.isEmpty());
    }

    void img1DriveKeys() {
        QTemporaryDir a, b;
        Window w;
        auto* drives = w.c().Drive1;
        drives->setRoots({a.path(), b.path()});
        emit w.c().Img1->keyDown(98, 0);   // Num2: the second drive, "B:"
        QCOMPARE(w.c().Dir1->path(), b.path());
        emit w.c().Img1->keyDown(105, 0);   // Num9: "I:" is missing, silently
        QVERIFY(w.ui->boxes.isEmpty());
    }

    void panWindowPlacement() {
        // A 1024-pixel screen at 15 twips per pixel is 15360 twips wide; the
        // top is a tenth of the width, not of the height.
        QCOMPARE(view::panWindowPlacement(15360).left, 12288.0);
        QCOMPARE(view::panWindowPlacement(15360).top, 1536.0);
    }

    void panWindowOpensWhereTheScreenSays() {
        Window w;
        w.show(3000, 2000);
        engine::ImageControl* img = w.c().Img1;
        img->setCoordinateUnit(engine::ImageControl::UnitPixels);
        const QSize before = img->panWindow()->size();
        img->setCallLogEnabled(true);
        w->action(MenuId::ViewPanWindow)->trigger();
        using namespace engine::dispid;
        // (the engine logs puts of the unit, not reads)
        QCOMPARE(img->callLog(),
                 (std::vector<int>{CoordinateUnit, PanWindowLeft, PanWindowTop, PanWindowWidth,
                                   PanWindowWidth, PanWindowHeight, PanWindowHeight, PanWindowTitle, ShowPanWindow,
                                   CoordinateUnit}));
        QCOMPARE(img->coordinateUnit(), int(engine::ImageControl::UnitPixels));   // put back
        engine::PanWindow* pan = img->panWindow();
        QVERIFY(pan->isVisible());
        QCOMPARE(pan->windowTitle(), QStringLiteral("QOVA"));
        QCOMPARE(pan->size(), before);   // its own size, only restated in twips
        const int screenW = w->mainWindow()->screen()->geometry().width();
        QVERIFY(qAbs(pan->x() - screenW * 4 / 5.0) <= 1);
        QVERIFY(qAbs(pan->y() - screenW / 10.0) <= 1);
    }
};

QTEST_MAIN(ViewingTest)
#include "test_viewing.moc"
