#include "app/preferences.h"

#include <QAction>
#include <QActionGroup>

#include "engine/dispatch_ids.h"
#include "engine/image_control.h"
#include "shell/context.h"

namespace qova::app {

using shell::MenuId;

Preferences::Preferences(shell::ShellContext& ctx) : ctx_(ctx) {
    // The two dithering methods exclude each other: choosing one takes the
    // mark from the other, so the submenu never shows both.
    auto* methods = new QActionGroup(ctx_.mainWindow());
    methods->setObjectName(QStringLiteral("DitheringType"));
    for (MenuId id : {MenuId::DitheringType_0, MenuId::DitheringType_1}) methods->addAction(ctx_.action(id));
    for (MenuId id : {MenuId::DitheringType_0, MenuId::DitheringType_1, MenuId::PrefPaintCallback,
                      MenuId::PrefFixedPalette, MenuId::PrefUseNetscape, MenuId::PrefProgress})
        ctx_.action(id)->setCheckable(true);

    ctx_.onTriggered(MenuId::DitheringType_0, [this] { DitheringType_Click(0); });
    ctx_.onTriggered(MenuId::DitheringType_1, [this] { DitheringType_Click(1); });
    ctx_.onTriggered(MenuId::PrefFixedPalette, [this] { PrefFixedPalette_Click(); });
    ctx_.onTriggered(MenuId::PrefUseNetscape, [this] { PrefUseNetscape_Click(); });
    ctx_.onTriggered(MenuId::PrefPaintCallback, [this] { PrefPaintCallback_Click(); });
    ctx_.onTriggered(MenuId::PrefProgress, [this] { PrefProgress_Click(); });
    ctx_.onOpened(MenuId::MainPreferences, [this] { MainPreferences_Click(); });
    ctx_.onOpened(MenuId::PrefDithering, [this] { PrefDithering_Click(); });
}

int32_t Preferences::paletteValue(int16_t fixedPalette, int16_t browserPalette) {
    return browserPalette != 0 ? int32_t(fixedPalette) + 2 : fixedPalette;
}

void Preferences::PaintChange() {
    const shell::DisplayPrefs& p = ctx_.state().displayPrefs;
    engine::ImageControl* img = ctx_.controls().Img1;
    img->setDitheringMethod(p.ditheringIndex);
    img->setPaintOption8(p.paintOption8);
    img->setPaintPalette(paletteValue(p.fixedPalette, p.browserPalette));
    img->repaint();
}

void Preferences::DitheringType_Click(int index) {
    ctx_.state().displayPrefs.ditheringIndex = int16_t(index);
    PaintChange();
}

void Preferences::PrefFixedPalette_Click() {
    int16_t& fixed = ctx_.state().displayPrefs.fixedPalette;
    fixed = fixed == 0 ? 1 : 0;
    PaintChange();
}

void Preferences::PrefUseNetscape_Click() {
    int16_t& browser = ctx_.state().displayPrefs.browserPalette;
    browser = int16_t(~browser);
    PaintChange();
}

void Preferences::PrefPaintCallback_Click() {
    ctx_.state().fPaintCallback = int16_t(~ctx_.state().fPaintCallback);
}

void Preferences::PrefProgress_Click() {
    shell::WindowState& s = ctx_.state();
    s.fProgress = int16_t(~s.fProgress);
    ctx_.controls().Img1->dispatchPut(engine::dispid::ProgressEnabled, s.fProgress != 0);
}

void Preferences::MainPreferences_Click() {
    const shell::WindowState& s = ctx_.state();
    ctx_.action(MenuId::PrefProgress)->setChecked(s.fProgress == -1);
    ctx_.action(MenuId::PrefPaintCallback)->setChecked(s.fPaintCallback == -1);
    ctx_.action(MenuId::PrefFixedPalette)->setChecked(s.displayPrefs.fixedPalette == 1);
    ctx_.action(MenuId::PrefUseNetscape)->setChecked(s.displayPrefs.browserPalette != 0);
}

void Preferences::PrefDithering_Click() {
    const MenuId items[] = {MenuId::DitheringType_0, MenuId::DitheringType_1};
    const int index = ctx_.state().displayPrefs.ditheringIndex;
    if (index < 0 || index > 1) return;
    QAction* current = ctx_.action(items[index]);
    if (current->isChecked()) return;
    for (MenuId id : items) ctx_.action(id)->setChecked(false);
    current->setChecked(true);
}

}  // namespace qova::app
