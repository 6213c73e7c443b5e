#include "view/viewing.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

#include "engine/image_control.h"
#include "shell/context.h"
#include "shell/get_value.h"
#include "shell/numbers.h"
#include "shell/status_bar.h"
#include "shell/trap.h"
#include "shell/twips.h"
#include "view/form3.h"

namespace qova::view {

using shell::MenuId;

PanPlacement panWindowPlacement(double screenWidthTwips) {
    return PanPlacement{screenWidthTwips * 4 / 5, screenWidthTwips / 10};
}

Viewing::Viewing(shell::ShellContext& ctx) : ctx_(ctx) {
    ctx_.onTriggered(MenuId::mnuViewNormal, [this] { mnuViewNormal_Click(); });
    ctx_.onTriggered(MenuId::mnuViewFit, [this] { mnuViewFit_Click(); });
    ctx_.onTriggered(MenuId::mnuViewStretch, [this] { mnuViewStretch_Click(); });
    ctx_.onTriggered(MenuId::mnuViewZoom, [this] { mnuViewZoom_Click(); });
    ctx_.onTriggered(MenuId::mnuViewZoom2, [this] { mnuViewZoom2_Click(); });
    ctx_.onTriggered(MenuId::ViewPanWindow, [this] { ViewPanWindow_Click(); });
    shell::connectTrapped(ctx_.controls().Img1, &engine::ImageControl::keyDown, ctx_.mainWindow(),
                          [this](int k, int s) { Img1_KeyDown(k, s); });
}

void Viewing::mnuViewNormal_Click() {
    ctx_.state().nZoom = 100;
    ctx_.controls().Img1->setViewMode(engine::ImageControl::ViewNormal);
    ctx_.controls().Img1->repaint();
}

void Viewing::mnuViewFit_Click() {
    ctx_.controls().Img1->setViewMode(engine::ImageControl::ViewFit);
    ctx_.controls().Img1->repaint();
}

void Viewing::mnuViewStretch_Click() {
    ctx_.controls().Img1->setViewMode(engine::ImageControl::ViewStretch);
    ctx_.controls().Img1->repaint();
}

void Viewing::mnuViewZoom_Click() {
    shell::WindowState& s = ctx_.state();
    if (!s.fImage) return;
    shell::GetValue dlg(ctx_.mainWindow());
    // A zoom stepped past 800 by the keys starts the dialog at 800 rather
    // than at a value its own range would refuse.
    const int16_t start = s.nZoom > 0 ? std::min<int16_t>(s.nZoom, 800) : 100;
    dlg.InitTheForm(QStringLiteral("ｽﾞｰﾑ ｲﾝ/ｱｳﾄ"), QStringLiteral("拡大率(%):"), 800, 1, start, 100, 10, 0);
    dlg.exec();
    if (dlg.UserResult()) {
        s.nZoom = int16_t(dlg.GetAmount());
        ctx_.ApplyZoom();
    }
}

Form3* Viewing::form3() {
    if (!form3_) {
        form3_ = new Form3(ctx_.mainWindow());
        shell::connectTrapped(form3_->Command1, &QPushButton::clicked, form3_, [this](bool) {
            shell::trapped([this] { ResetAllRects3(); });
            form3_->accept();
        });
    }
    return form3_;
}

void Viewing::mnuViewZoom2_Click() { form3()->exec(); }

void Viewing::ResetAllRects3() {
    if (!ctx_.state().fImage) return;
    ctx_.SaveUndo();
    const QSize s = form3()->chosenSize();
    engine::ImageControl& img = *ctx_.controls().Img1;
    img.setDisplayRect(0, 0, s.width(), s.height());
    img.setDisplayClipRect(0, 0, s.width(), s.height());
    ctx_.controls().StatusBar1->setPanelText(4, shell::numberText(s.width()) + QStringLiteral(" Width"));
    ctx_.controls().StatusBar1->setPanelText(5, shell::numberText(s.height()) + QStringLiteral(" Height"));
    img.resizeBitmap(s.width(), s.height(), 0);
    ctx_.state().nZoom = 100;
}

void Viewing::Img1_KeyDown(int k, int s) {
    if (k == 27) ctx_.ClearOrQuit();
    if (s != 0) return;
    engine::ImageControl* img = ctx_.controls().Img1;
    if (k == 220 && ctx_.state().fImage) {
        img->setViewMode(engine::ImageControl::ViewFit);
        img->repaint();
    } else if (k == 222 && ctx_.state().fImage) {
        img->setViewMode(engine::ImageControl::ViewNormal);
        img->repaint();
    } else if (k >= 96 && k <= 105) {
        if (shell::BrowserService* browser = ctx_.services().browser) browser->DriveKey(k);
    }
}

void Viewing::ViewPanWindow_Click() {
    engine::ImageControl& img = *ctx_.controls().Img1;
    QWidget* window = ctx_.mainWindow();
    const int unit = img.coordinateUnit();
    img.setCoordinateUnit(engine::ImageControl::UnitTwips);
    const QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const double screenTwips = shell::pixelsToTwips(screen ? screen->geometry().width() : 0);
    const PanPlacement at = panWindowPlacement(screenTwips);
    img.setPanWindowLeft(at.left);
    img.setPanWindowTop(at.top);
    img.setPanWindowWidth(img.panWindowWidth() * shell::twipsPerPixel());
    img.setPanWindowHeight(img.panWindowHeight() * shell::twipsPerPixel());
    img.setPanWindowTitle(window->windowTitle());
    img.showPanWindow(true);
    img.setCoordinateUnit(unit);
}

}  // namespace qova::view
