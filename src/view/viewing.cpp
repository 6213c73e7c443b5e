#include "viewing.h"

#include <QGuiApplication>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <exception>

#include "app/main_window.h"
#include "app/menu_table.h"
#include "app/numbers.h"
#include "app/status_bar.h"
#include "app/twips.h"
#include "engine/image_control.h"
#include "files/browser.h"
#include "processing/get_value.h"
#include "view/form3.h"
#include "view/view_fit.h"

namespace qova::view {

using app::MenuId;

namespace {

// Handlers end quietly on an error.
template <class F> void trapped(F&& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}

}  // namespace

Viewing::Viewing(app::Form1& form) : f_(form) {
    f_.onTriggered(MenuId::mnuViewNormal, [this] { mnuViewNormal_Click(); });
    f_.onTriggered(MenuId::mnuViewFit, [this] { mnuViewFit_Click(); });
    f_.onTriggered(MenuId::mnuViewStretch, [this] { mnuViewStretch_Click(); });
    f_.onTriggered(MenuId::mnuViewZoom, [this] { mnuViewZoom_Click(); });
    f_.onTriggered(MenuId::mnuViewZoom2, [this] { mnuViewZoom2_Click(); });
    f_.onTriggered(MenuId::ViewPanWindow, [this] { ViewPanWindow_Click(); });
    QObject::connect(f_.Img1, &engine::ImageControl::keyDown, &f_,
                     [this](int k, int s) { trapped([&] { Img1_KeyDown(k, s); }); });
}

void Viewing::mnuViewNormal_Click() {
    f_.nZoom = 100;
    f_.Img1->setViewMode(engine::ImageControl::ViewNormal);
    f_.Img1->repaint();
}

void Viewing::mnuViewFit_Click() {
    f_.Img1->setViewMode(engine::ImageControl::ViewFit);
    f_.Img1->repaint();
}

void Viewing::mnuViewStretch_Click() {
    f_.Img1->setViewMode(engine::ImageControl::ViewStretch);
    f_.Img1->repaint();
}

void Viewing::mnuViewZoom_Click() {
    if (!f_.fImage) return;
    processing::GetValue dlg(&f_);
    // A zoom stepped past 800 by the keys starts the dialog at 800 rather
    // than at a value its own range would refuse.
    const int16_t start = f_.nZoom > 0 ? std::min<int16_t>(f_.nZoom, 800) : 100;
    dlg.InitTheForm(QStringLiteral("ｽﾞｰﾑ ｲﾝ/ｱｳﾄ"), QStringLiteral("拡大率(%):"), 800, 1, start, 100, 10, 0);
    dlg.exec();
    if (dlg.UserResult()) {
        f_.nZoom = int16_t(dlg.GetAmount());
        f_.ApplyZoom();
    }
}

Form3* Viewing::form3() {
    if (!form3_) {
        form3_ = new Form3(&f_);
        QObject::connect(form3_->Command1, &QPushButton::clicked, form3_, [this] {
            trapped([this] { ResetAllRects3(); });
            form3_->accept();
        });
    }
    return form3_;
}

void Viewing::mnuViewZoom2_Click() { form3()->exec(); }

void Viewing::ResetAllRects3() {
    if (!f_.fImage) return;
    f_.SaveUndo();
    const QSize s = form3()->chosenSize();
    engine::ImageControl& img = *f_.Img1;
    img.setDisplayRect(0, 0, s.width(), s.height());
    img.setDisplayClipRect(0, 0, s.width(), s.height());
    f_.StatusBar1->setPanelText(4, app::numberText(s.width()) + QStringLiteral(" Width"));
    f_.StatusBar1->setPanelText(5, app::numberText(s.height()) + QStringLiteral(" Height"));
    img.resizeBitmap(s.width(), s.height(), 0);
    f_.nZoom = 100;
}

void Viewing::Img1_KeyDown(int k, int s) {
    if (k == 27) f_.ClearOrQuit();
    if (s != 0) return;
    if (k == 220 && f_.fImage) {
        f_.Img1->setViewMode(engine::ImageControl::ViewFit);
        f_.Img1->repaint();
    } else if (k == 222 && f_.fImage) {
        f_.Img1->setViewMode(engine::ImageControl::ViewNormal);
        f_.Img1->repaint();
    } else if (k >= 96 && k <= 105) {
        if (auto* browser = f_.subsystem<files::FileBrowser>()) browser->DriveKey(k);
    }
}

void Viewing::ViewPanWindow_Click() {
    engine::ImageControl& img = *f_.Img1;
    const int unit = img.coordinateUnit();
    img.setCoordinateUnit(engine::ImageControl::UnitTwips);
    const QScreen* screen = f_.screen() ? f_.screen() : QGuiApplication::primaryScreen();
    const double screenTwips = app::pixelsToTwips(screen ? screen->geometry().width() : 0);
    const PanPlacement at = panWindowPlacement(screenTwips);
    img.setPanWindowLeft(at.left);
    img.setPanWindowTop(at.top);
    img.setPanWindowWidth(img.panWindowWidth() * app::twipsPerPixel());
    img.setPanWindowHeight(img.panWindowHeight() * app::twipsPerPixel());
    img.setPanWindowTitle(f_.windowTitle());
    img.showPanWindow(true);
    img.setCoordinateUnit(unit);
}

}  // namespace qova::view
