#include "animation/animation.h"

#include <QAction>
#include <QDir>
#include <QKeySequence>
#include <QWidget>

#include <exception>

#include "animation/create_ani.h"
#include "animation/settings_dialogs.h"
#include "animation/toolbox.h"
#include "engine/core/animation.h"
#include "engine/core/engine_error.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "shell/context.h"
#include "shell/error_texts.h"
#include "shell/file_lists.h"
#include "shell/numbers.h"
#include "shell/trap.h"
#include "shell/ui_services.h"

namespace qova::animation {

using shell::MenuId;

Animation::Animation(shell::ShellContext& ctx) : ctx_(ctx) {
    form6_ = new Form6(ctx_.controls().Img1, [this] { showFrameSettings(); }, ctx_.mainWindow());
    form6_->hide();
    ctx_.services().toolbox = form6_;

    ctx_.onTriggered(MenuId::AnimateCreate, [this] { AnimateCreate_Click(); });
    ctx_.onTriggered(MenuId::AnimateGo, [this] { AnimateGo_Click(); });
    ctx_.onTriggered(MenuId::AnimateLoop, [this] { AnimateLoop_Click(); });
    ctx_.onTriggered(MenuId::AnimateOptimizeColors, [this] { AnimateOptimizeColors_Click(); });
    ctx_.onTriggered(MenuId::AnimateScreenSettings, [this] { AnimateScreenSettings_Click(); });
    ctx_.onTriggered(MenuId::AnimateFrameSettings, [this] { AnimateFrameSettings_Click(); });
    ctx_.onTriggered(MenuId::AnimateToolbox, [this] { AnimateToolbox_Click(); });
    ctx_.onOpened(MenuId::MainAnimation, [this] { MainAnimation_Click(); });
    ctx_.action(MenuId::AnimateLoop)->setCheckable(true);
    shell::connectTrapped(ctx_.controls().Img1, &engine::ImageControl::animationNotify, ctx_.mainWindow(),
                          [this] { Img1_Animation(); });
    // Another picture or page (Esc emptying the view included): an open
    // toolbox must not offer pages that are gone.
    shell::connectTrapped(ctx_.controls().Img1, &engine::ImageControl::pictureReplaced, ctx_.mainWindow(), [this] {
        if (form6_->isVisible()) form6_->CheckViewMenu();
    });

    // The menu is hidden, so nothing would reach these commands: a shortcut
    // of the main window shows it (and hides it again).
    showMenu_ = new QAction(QStringLiteral("ｱﾆﾒｰｼｮﾝ ﾒﾆｭｰの表示"), ctx_.mainWindow());
    showMenu_->setObjectName(QStringLiteral("mnuShowAnimation"));
    showMenu_->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_A));
    showMenu_->setShortcutContext(Qt::WindowShortcut);
    ctx_.mainWindow()->addAction(showMenu_);
    shell::connectTrapped(showMenu_, &QAction::triggered, ctx_.mainWindow(), [this] {
        QAction* menu = ctx_.action(MenuId::MainAnimation);
        menu->setVisible(!menu->isVisible());
    });
}

void Animation::AnimateCreate_Click() {
    // The browser's directory, where the user is looking.
    QString start = QDir::currentPath();
    if (ctx_.controls().Dir1 && !ctx_.controls().Dir1->path().isEmpty()) start = ctx_.controls().Dir1->path();
    CreateAni dlg(ctx_, start, ctx_.mainWindow());
    runModal(dlg);
    if (dlg.result() != QDialog::Accepted) return;
    shell::WindowState& s = ctx_.state();
    // Img1 no longer shows the file the browser loaded: the file commands
    // (delete, copy) must not act on it.
    s.sFilePath.clear();
    s.sFileName.clear();
    if (dlg.framesBuilt() > 0) {
        ctx_.UpdateImageInfo();
    } else {
        // The first file failed: nothing is shown, as after Close.
        s.fImage = 0;
        ctx_.MenuItemsEnable(false);
    }
}

void Animation::AnimateGo_Click() {
    engine::ImageControl* img = ctx_.controls().Img1;
    img->setAnimationPlaying(!img->animationPlaying());
}

void Animation::AnimateLoop_Click() {
    engine::ImageControl* img = ctx_.controls().Img1;
    img->setAnimationLoop(!img->animationLoop());
    // The check mark is the menu's opening's business; keep it true meanwhile.
    ctx_.action(MenuId::AnimateLoop)->setChecked(img->animationLoop());
}

void Animation::MainAnimation_Click() {
    engine::ImageControl* img = ctx_.controls().Img1;
    ctx_.action(MenuId::AnimateGo)->setText(img->animationPlaying() ? QStringLiteral("停止(&S)")
                                                                    : QStringLiteral("再生(&P)"));
    ctx_.action(MenuId::AnimateLoop)->setChecked(img->animationLoop());
}

void Animation::AnimateOptimizeColors_Click() {
    engine::EngineDialog& dlg = *ctx_.controls().ImgDlg1;
    engine::ImageControl& img = *ctx_.controls().Img1;
    bool busy = false;
    try {
        dlg.flags = 0x0FFFFFFC;
        dlg.bitmap = 0;  // no preview
        dlg.showColourResolution(ctx_.mainWindow());
        ctx_.StatusInit();
        busy = true;
        const int b = dlg.colourBits, f = dlg.paletteKind, d = dlg.dithering;
        auto check = [](int16_t code) {
            if (code != 0) throw engine::EngineError(code, shell::DecodeError(code).toStdString());
        };
        if (b > 8) {
            check(img.colourResList(b, f, d, 0));
        } else {
            const int n = 1 << b;
            if ((f & 2) && n > 2) {
                // The last entry is kept for the background, so that it stays exact.
                uint32_t bg = img.animationBackColor();
                if (bg >= engine::kPaletteEntryFlag) bg = img.animationPalette(int(bg & 255));
                check(img.colourResList(b, f, d, n - 1));
                img.setAnimationPalette(n - 1, bg);
                img.setAnimationBackColor(uint32_t(n - 1) | engine::kPaletteEntryFlag);
                for (int i = 0; i < img.bitmapListCount(); ++i) {
                    img.setBitmapListIndex(i);
                    img.setBitmapPalette(n - 1, bg);
                }
                img.setBitmapListIndex(0);
            } else {
                check(img.colourResList(b, f, d, n));
            }
        }
        ctx_.action(MenuId::mnuViewNormal)->trigger();
        busy = false;
        ctx_.StatusTerm();
        img.repaint();
    } catch (const std::exception& e) {
        // The busy state ends whatever happened after it began.
        if (busy) shell::trapped([this] { ctx_.StatusTerm(); });
        const shell::RunTimeError err = shell::runTimeError(e);
        if (shell::isCancel(err)) return;
        QString source = QStringLiteral("QOVA");
        if (const auto* ee = dynamic_cast<const engine::EngineError*>(&e)) source = QString::fromStdString(ee->source());
        ctx_.ui().msgBox(source + QLatin1Char(' ') + QString::number(err.number) + QLatin1Char('\r') + err.description,
                         shell::OkOnly);
    }
}

void Animation::AnimateScreenSettings_Click() {
    ScreenSet dlg(ctx_.controls().Img1, ctx_.ui(), ctx_.mainWindow());
    runModal(dlg);
}

void Animation::AnimateFrameSettings_Click() {
    if (ctx_.controls().Img1->animationPlaying()) return;
    showFrameSettings();
}

void Animation::showFrameSettings() {
    FrameSet dlg(ctx_.controls().Img1, ctx_.ui(), ctx_.mainWindow());
    runModal(dlg);
}

void Animation::AnimateToolbox_Click() {
    form6_->show();
    form6_->raise();
    form6_->CheckViewMenu();
}

void Animation::Img1_Animation() {
    ctx_.controls().Img1->repaint();
    form6_->CheckViewMenu();
}

}  // namespace qova::animation
