#include "app/toolbar.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QLineEdit>
#include <QTableView>
#include <QToolBar>

#include <algorithm>

#include "engine/image_control.h"
#include "files/form4.h"
#include "shell/context.h"
#include "shell/file_lists.h"
#include "shell/layout.h"
#include "shell/paths.h"
#include "shell/trap.h"
#include "shell/twips.h"
#include "shell/ui_services.h"

namespace qova::app {

using shell::MenuId;

namespace {

struct Button {
    const char* key;
    const char* tooltip;   // UTF-8
    const char* themeIcon; // the desktop theme's name for it ("" when it has none)
    const char* ownIcon;   // our picture, used where the theme has none
    bool groupEnds;        // a separator follows
};

// The panel buttons' tooltips say which way they turn the file panel.
constexpr Button kButtons[] = {
    {"mamo1", "OPEN", "document-open", "open", false},
    {"mamo2", "SAVE", "document-save", "save", false},
    {"mamo3", "PRINT", "document-print", "print", true},
    {"mamo4", "拡大", "zoom-in", "zoom-in", false},
    {"mamo5", "縮小", "zoom-out", "zoom-out", false},
    {"mamo6", "FIT", "zoom-fit-best", "zoom-fit", false},
    {"mamo_normal", "NORMAL", "zoom-original", "zoom-original", true},
    {"mamo7", "ﾌｧｲﾙ一覧を隠す", "", "panel-hide", false},
    {"mamo8", "ﾌｧｲﾙ一覧を表示", "", "panel-show", true},
    {"mamo9", "COPY", "", "file-copy", false},
    {"mamo10", "削除", "edit-delete", "delete", false},
    {"mamo11", "クリップボードへコピー", "edit-copy", "clipboard-copy", false},
};

QIcon buttonIcon(const Button& b) {
    const QIcon own(QStringLiteral(":/toolbar/%1.svg").arg(QLatin1String(b.ownIcon)));
    if (*b.themeIcon == 0) return own;
    return QIcon::fromTheme(QLatin1String(b.themeIcon), own);
}

// The busy pointer of a button, taken down however the command ends.
class BusyPointer {
public:
    explicit BusyPointer(shell::ShellContext& ctx) : ctx_(ctx) { ctx_.WaitCursorOn(); }
    ~BusyPointer() { ctx_.WaitCursorOff(); }
    BusyPointer(const BusyPointer&) = delete;
    BusyPointer& operator=(const BusyPointer&) = delete;

private:
    shell::ShellContext& ctx_;
};

}  // namespace

const QStringList& Toolbar::keys() {
    static const QStringList k = [] {
        QStringList out;
        for (const Button& b : kButtons) out << QLatin1String(b.key);
        return out;
    }();
    return k;
}

Toolbar::Toolbar(shell::ShellContext& ctx) : ctx_(ctx) {
    QToolBar* bar = ctx_.controls().Toolbar1;
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The bar sits in the 480 twips above the image control.
    bar->setIconSize(QSize(22, 22));
    for (const Button& b : kButtons) {
        QAction* a = bar->addAction(buttonIcon(b), QString());
        a->setObjectName(QLatin1String(b.key));
        a->setData(QLatin1String(b.key));
        a->setToolTip(QString::fromUtf8(b.tooltip));
        a->setIconText(QString::fromUtf8(b.tooltip));
        if (b.groupEnds) bar->addSeparator();
    }
    shell::connectTrapped(bar, &QToolBar::actionTriggered, ctx_.mainWindow(),
                          [this](QAction* a) { Toolbar1_ButtonClick(a->data().toString()); });
}

QAction* Toolbar::button(const QString& key) const {
    return ctx_.controls().Toolbar1->findChild<QAction*>(key, Qt::FindDirectChildrenOnly);
}

void Toolbar::Toolbar1_ButtonClick(const QString& key) {
    if (key == QLatin1String("mamo1")) ctx_.action(MenuId::mnuFileOpen)->trigger();
    else if (key == QLatin1String("mamo2")) ctx_.action(MenuId::mnuFileSave)->trigger();
    else if (key == QLatin1String("mamo3")) ctx_.action(MenuId::mnuFilePrint)->trigger();
    else if (key == QLatin1String("mamo4")) zoom(+10);
    else if (key == QLatin1String("mamo5")) zoom(-10);
    else if (key == QLatin1String("mamo6")) setViewMode(engine::ImageControl::ViewFit);
    else if (key == QLatin1String("mamo_normal")) setViewMode(engine::ImageControl::ViewNormal);
    else if (key == QLatin1String("mamo7")) hidePanel();
    else if (key == QLatin1String("mamo8")) showPanel();
    else if (key == QLatin1String("mamo9")) copyShownFile();
    else if (key == QLatin1String("mamo10")) deleteShownFile();
    else if (key == QLatin1String("mamo11")) copyToClipboard();
}

void Toolbar::zoom(int delta) {
    engine::ImageControl* img = ctx_.controls().Img1;
    if (img->infoSize() == 0 || ctx_.state().fImage != 1) return;
    BusyPointer busy(ctx_);
    // The snapshot, the step (within the zoom bounds) and the new display size.
    ctx_.ZoomStep(delta);
    img->show();
}

void Toolbar::setViewMode(int mode) {
    // Unlike the menu's Normal, nZoom stays as it is.
    ctx_.controls().Img1->setViewMode(mode);
}

void Toolbar::setPanelVisible(bool visible) {
    if (shell::BrowserService* browser = ctx_.services().browser) {
        browser->setPanelVisible(visible);
        return;
    }
    const shell::Controls& c = ctx_.controls();
    for (QWidget* w : {static_cast<QWidget*>(c.Dir1), static_cast<QWidget*>(c.Drive1),
                       static_cast<QWidget*>(c.File1), static_cast<QWidget*>(c.Combo1)})
        w->setVisible(visible);
    ctx_.state().fBrowserHidden = visible ? 0 : 1;
}

void Toolbar::hidePanel() {
    const shell::Controls& c = ctx_.controls();
    if (!c.DBGrid1->isHidden()) return;
    setPanelVisible(false);
    QWidget* window = ctx_.mainWindow();
    const double H = shell::heightTwips(window), W = shell::widthTwips(window);
    shell::setLeftTwips(c.Img1, 0);
    shell::setHeightTwips(c.Img1, std::max(0.0, H - shell::kImgHeightMargin));
    shell::setWidthTwips(c.Img1, std::max(0.0, W - shell::kImgWidthMarginHidden));
}

void Toolbar::showPanel() {
    const shell::Controls& c = ctx_.controls();
    if (!c.DBGrid1->isHidden()) return;
    setPanelVisible(true);
    QWidget* window = ctx_.mainWindow();
    const double H = shell::heightTwips(window), W = shell::widthTwips(window);
    shell::setLeftTwips(c.Img1, shell::kImgLeftWithBrowser);
    shell::setHeightTwips(c.Img1, std::max(0.0, H - shell::kImgHeightMargin));
    shell::setWidthTwips(c.Img1, std::max(0.0, W - shell::kImgWidthMarginResize));
    if (H > 4900) shell::setHeightTwips(c.File1, H - 4760);
}

bool Toolbar::showsListedFile() const {
    const QString& path = ctx_.state().sFilePath;
    const QString shown = ctx_.controls().Img1->imageSource();
    if (path.isEmpty() || shown.isEmpty()) return false;
    return QDir::cleanPath(QFileInfo(shown).absoluteFilePath()) == QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

void Toolbar::copyShownFile() {
    const shell::Controls& c = ctx_.controls();
    shell::WindowState& s = ctx_.state();
    if (!c.DBGrid1->isHidden()) {
        ctx_.ui().msgBox(QStringLiteral("ファイルをコピーできません"), shell::OkOnly);
        return;
    }
    shell::BrowserService* browser = ctx_.services().browser;
    if (s.fImage != 1 || !showsListedFile() || !browser) return;
    const QString name = s.sFileName;
    const QString target = shell::joinPath(s.sDestDir, name);
    QFile probe(target);
    if (!probe.open(QIODevice::ReadOnly)) {
        // Nothing of that name there yet: copy without asking.
        browser->copyShownFile(name);
        return;
    }
    probe.close();
    // A new dialog each time, starting from the file already there; loading
    // it clears fCopyConfirmed and sCopyName.
    files::Form4 dialog(ctx_.mainWindow());
    dialog.setWindowModality(Qt::ApplicationModal);
    {
        BusyPointer busy(ctx_);
        // Shown first, so the preview is fitted to the size it really has.
        dialog.show();
        try {
            dialog.showPreview(target);
        } catch (const std::exception&) {
            // A preview that cannot be loaded is not reported; the dialog still asks.
        }
        dialog.Text1->setText(name);
    }
    dialog.exec();
    s.fListKey = 0;
    if (files::CopyResult::confirmed() != -1) return;
    // The name as edited: keeping it replaces the file there.
    browser->copyShownFile(files::CopyResult::name());
}

void Toolbar::deleteShownFile() {
    const shell::Controls& c = ctx_.controls();
    if (!c.DBGrid1->isHidden()) {
        ctx_.ui().msgBox(QStringLiteral("ファイルを削除できません"), shell::OkOnly);
        return;
    }
    shell::BrowserService* browser = ctx_.services().browser;
    if (ctx_.state().fImage != 1 || !showsListedFile() || !browser) return;
    if (ctx_.ui().msgBox(QStringLiteral("ファイルを削除しますか？"), shell::YesNo | shell::Critical | shell::DefaultButton2,
                         QStringLiteral("ファイルの削除")) != shell::MsgYes)
        return;
    browser->deleteShownFile();
}

void Toolbar::copyToClipboard() {
    engine::ImageControl* img = ctx_.controls().Img1;
    if (img->infoSize() == 0 || ctx_.state().fImage != 1) return;
    BusyPointer busy(ctx_);
    img->copyToClipboard(3);
    img->show();
}

}  // namespace qova::app
