#include "shell/context.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include "engine/core/engine_error.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "shell/numbers.h"
#include "shell/status_bar.h"
#include "shell/trap.h"
#include "shell/twips.h"
#include "shell/ui_services.h"
#include "shell/zoom.h"

namespace qova::shell {

void ShellContext::onTriggered(MenuId id, std::function<void()> handler) {
    connectTrapped(action(id), &QAction::triggered, mainWindow(), [h = std::move(handler)](bool) { h(); });
}

void ShellContext::onOpened(MenuId id, std::function<void()> handler) {
    if (QMenu* m = menu(id)) connectTrapped(m, &QMenu::aboutToShow, mainWindow(), std::move(handler));
}

void ShellContext::UpdateImageInfo() {
    state().nZoom = 100;
    state().fImage = 1;
    imageInfoFromStep2();
}

void ShellContext::imageInfoFromStep2() {
    const Controls& c = controls();
    engine::ImageControl* img = c.Img1;
    c.StatusBar1->setPanelText(3, numberText(img->infoSize()) + QStringLiteral(" Byte"));
    c.StatusBar1->setPanelText(4, numberText(img->infoWidth()) + QStringLiteral(" Width"));
    c.StatusBar1->setPanelText(5, numberText(img->infoHeight()) + QStringLiteral(" Height"));
    c.StatusBar1->setPanelText(6, numberText(img->infoBits()) + QStringLiteral(" Bit"));
    // Fit test at 15.05 twips per pixel, in single precision.
    const float w = float(widthTwips(img) / 15.05);
    const float h = float(heightTwips(img) / 15.05);
    if (float(img->infoWidth()) > w || float(img->infoHeight()) > h) ViewFit2();
    MenuItemsEnable(true);
    const bool loop = img->animationLoop();
    if (services().toolbox) services().toolbox->setLoopCaption(loop);
    CheckViewMenu();
    // A new picture: the toolbox's buttons follow its frames.
    if (services().toolbox) services().toolbox->CheckViewMenu();
}

void ShellContext::ViewFit2() {
    if (const auto zoom = shell::ViewFit2(*controls().Img1)) state().nZoom = *zoom;
}

void ShellContext::ApplyZoom() {
    engine::ImageControl* img = controls().Img1;
    const int bw = img->bitmapWidth(), bh = img->bitmapHeight();
    state().nZoom = boundedZoom(state().nZoom, bw, bh);
    const DisplaySize s = zoomedSize(bw, bh, state().nZoom);
    SetDisplaySize(*img, s.width, s.height);
    controls().StatusBar1->setPanelText(4, numberText(s.width) + QStringLiteral(" Width"));
    controls().StatusBar1->setPanelText(5, numberText(s.height) + QStringLiteral(" Height"));
}

bool ShellContext::ZoomStep(int delta) {
    engine::ImageControl* img = controls().Img1;
    const int16_t zoom = boundedZoom(state().nZoom + delta, img->bitmapWidth(), img->bitmapHeight());
    if (zoom == state().nZoom) return false;
    SaveUndo();
    state().nZoom = zoom;
    ApplyZoom();
    return true;
}

void ShellContext::MenuItemsEnable(bool fEnable) {
    for (MenuId id : {MenuId::mnuView, MenuId::MainAnimation, MenuId::MainImage, MenuId::mnuColor,
                      MenuId::MainPreferences})
        action(id)->setEnabled(fEnable);
}

void ShellContext::CheckViewMenu() {
    for (MenuId id : {MenuId::mnuViewNormal, MenuId::mnuViewZoom, MenuId::mnuViewFit, MenuId::mnuViewStretch})
        action(id)->setChecked(false);
    if (services().toolbox) services().toolbox->setPageButtons(PageSteps{});
    switch (controls().Img1->viewMode()) {
    case 0: action(MenuId::mnuViewNormal)->setChecked(true); break;
    case 3: action(MenuId::mnuViewFit)->setChecked(true); break;
    case 1: action(MenuId::mnuViewStretch)->setChecked(true); break;
    default: action(MenuId::mnuViewZoom)->setChecked(true); break;
    }
}

void ShellContext::ClearOrQuit() {
    bool hasImage = true;
    try {
        (void)controls().Img1->bitmapWidth();
    } catch (const engine::EngineError&) {
        hasImage = false;
    }
    if (hasImage) {
        controls().Img1->setImageSource(QString());
        state().sFilePath.clear();
        state().sFileName.clear();
        // Like Close: no image, so the image commands are off.
        state().fImage = 0;
        MenuItemsEnable(false);
        return;
    }
    if (ui().msgBox(QStringLiteral("終了しますか。"), YesNo | Critical | DefaultButton2, QStringLiteral("終了")) == MsgYes)
        ui().quit();
}

void ShellContext::WaitCursorOn() {
    if (QApplication::overrideCursor()) QApplication::changeOverrideCursor(Qt::WaitCursor);
    else QApplication::setOverrideCursor(Qt::WaitCursor);
}

void ShellContext::WaitCursorOff() {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void ShellContext::StatusInit() {
    WaitCursorOn();
    controls().Img1->setProgressEnabled(state().fProgress != 0);
    MenuItemsEnable(false);
    SaveUndo();
}

void ShellContext::StatusTerm() {
    MenuItemsEnable(true);
    WaitCursorOff();
}

void ShellContext::SaveUndo() {
    controls().Img4->setBitmapHandle(controls().Img1->bitmapHandle());
    state().nUndoZoom = state().nZoom;
}

}  // namespace qova::shell
