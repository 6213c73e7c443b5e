#include "database/database.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

#include "database/database_file.h"
#include "database/record_set.h"
#include "engine/core/codes.h"
#include "engine/image_control.h"
#include "shell/context.h"
#include "shell/error_texts.h"
#include "shell/file_lists.h"
#include "shell/layout.h"
#include "shell/numbers.h"
#include "shell/status_bar.h"
#include "shell/trap.h"
#include "shell/twips.h"
#include "shell/ui_services.h"

namespace qova::database {

using shell::MenuId;

namespace {

const QString kRecordSource = QStringLiteral("SELECT * FROM people ORDER BY who");
const QString kChooserFilter = QStringLiteral("画像データベースファイル (*.mdb)");

// Where the database controls sit in the left column, in twips (their
// heights and widths beside the layout rules are the window's design).
constexpr double kColumnWidth = 2310;
constexpr double kNameTop = 480;
constexpr double kNameHeight = 330;
constexpr double kAddTop = 855;
constexpr double kDeleteTop = 1245;
constexpr double kButtonHeight = 360;
constexpr double kGridTop = 1665;

}  // namespace

Database::Database(shell::ShellContext& ctx) : ctx_(ctx) {
    const shell::Controls& c = ctx_.controls();
    ctx_.onTriggered(MenuId::mnuDatabaseCreate, [this] { mnuDatabaseCreate_Click(); });
    ctx_.onTriggered(MenuId::mnuDatabaseOpen, [this] { mnuDatabaseOpen_Click(); });
    ctx_.onTriggered(MenuId::mnuDatabaseClose, [this] { mnuDatabaseClose_Click(); });
    ctx_.onTriggered(MenuId::mnuDatabaseRestore, [this] { mnuDatabaseRestore_Click(); });
    ctx_.onTriggered(MenuId::mnuDatabaseDir, [this] { mnuDatabaseDir_Click(); });

    c.Command1->setText(QStringLiteral("画像の追加"));
    c.Command2->setText(QStringLiteral("画像の削除"));
    shell::connectTrapped(c.Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    shell::connectTrapped(c.Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });

    dpeople_.setObjectName(QStringLiteral("Dpeople"));
    dpeople_.bindName(c.Cwho);
    dpeople_.bindPicture(c.Img1);
    dpeople_.bindGrid(c.DBGrid1);
    shell::connectTrapped(&dpeople_, &DataControl::validate, this, [this](int action) { Dpeople_Validate(action); });
    shell::connectTrapped(&dpeople_, &DataControl::rowColChange, this, [this] { DBGrid1_RowColChange(); });

    // The design-time places of the database controls (the layout rules
    // size them later).
    for (QWidget* w : {static_cast<QWidget*>(c.Cwho), static_cast<QWidget*>(c.Command1),
                       static_cast<QWidget*>(c.Command2), static_cast<QWidget*>(c.DBGrid1)}) {
        shell::setLeftTwips(w, 0);
        shell::setWidthTwips(w, kColumnWidth);
    }
    shell::setTopTwips(c.Cwho, kNameTop);
    shell::setHeightTwips(c.Cwho, kNameHeight);
    shell::setTopTwips(c.Command1, kAddTop);
    shell::setHeightTwips(c.Command1, kButtonHeight);
    shell::setTopTwips(c.Command2, kDeleteTop);
    shell::setHeightTwips(c.Command2, kButtonHeight);
    shell::setTopTwips(c.DBGrid1, kGridTop);
}

Database::~Database() = default;

// --- binding ---

void Database::Unbind() {
    engine::ImageControl* img = ctx_.controls().Img1;
    dpeople_.setDatabaseName(QString());
    try {
        dpeople_.refresh();
    } catch (const std::exception&) {
        // Closing cannot fail in a way that matters: the database is let go.
    }
    img->setDataField(QString());
    // The record's picture went with the database: so do its size in the
    // status bar and the image menus (an Open cancelled after this leaves
    // nothing shown).
    if (img->isEmpty()) clearImageInfo();
}

void Database::Bind(const QString& path) {
    engine::ImageControl* img = ctx_.controls().Img1;
    dpeople_.setDatabaseName(path);
    dpeople_.setRecordSource(kRecordSource);
    img->setDataField(QStringLiteral("photo"));
    // A picture from the database is no file of the browser: the file
    // commands must not act on the file shown before.
    ctx_.state().sFilePath.clear();
    ctx_.state().sFileName.clear();
    try {
        dpeople_.refresh();
    } catch (...) {
        img->setDataField(QString());
        throw;
    }
    img->setDataBindingOption(0);
    img->setDataStorageBits(24);
    img->setDataStorageFormat(20);
    img->setDataStorageQuality(-4);
}

// --- the window's two modes ---

void Database::enterDatabaseMode() {
    const shell::Controls& c = ctx_.controls();
    if (shell::BrowserService* b = ctx_.services().browser) {
        b->setPanelVisible(false);
    } else {
        for (QWidget* w : {static_cast<QWidget*>(c.Dir1), static_cast<QWidget*>(c.Drive1),
                           static_cast<QWidget*>(c.File1), static_cast<QWidget*>(c.Combo1)})
            w->hide();
    }
    for (QWidget* w : {static_cast<QWidget*>(c.Cwho), static_cast<QWidget*>(c.Command1),
                       static_cast<QWidget*>(c.Command2), static_cast<QWidget*>(c.DBGrid1)})
        w->show();
    ctx_.state().fBrowserHidden = 1;
}

void Database::layoutDatabaseMode() {
    const shell::Controls& c = ctx_.controls();
    QWidget* window = ctx_.mainWindow();
    const double H = shell::heightTwips(window), W = shell::widthTwips(window);
    shell::setTopTwips(c.Img1, shell::kImgTopWithName);
    shell::setLeftTwips(c.Img1, shell::kImgLeftWithBrowser);
    shell::setHeightTwips(c.Img1, H - shell::kImgHeightMargin - 360);
    shell::setWidthTwips(c.Img1, W - shell::kImgWidthMarginResize);
    shell::setHeightTwips(c.DBGrid1, H - 3225 + 480);
    if (W > 200) shell::setWidthTwips(c.Cwho, W - 100);
}

void Database::leaveDatabaseMode() {
    const shell::Controls& c = ctx_.controls();
    if (shell::BrowserService* b = ctx_.services().browser) {
        b->setPanelVisible(true);
    } else {
        for (QWidget* w : {static_cast<QWidget*>(c.Dir1), static_cast<QWidget*>(c.Drive1),
                           static_cast<QWidget*>(c.File1), static_cast<QWidget*>(c.Combo1)})
            w->show();
    }
    for (QWidget* w : {static_cast<QWidget*>(c.Command1), static_cast<QWidget*>(c.Command2),
                       static_cast<QWidget*>(c.Cwho), static_cast<QWidget*>(c.DBGrid1)})
        w->hide();
}

void Database::setDatabaseMenus(bool open) {
    ctx_.action(MenuId::mnuDatabaseClose)->setEnabled(open);
    ctx_.action(MenuId::mnuDatabaseDir)->setEnabled(open);
}

// --- the commands ---

void Database::mnuDatabaseCreate_Click() {
    QString path = ctx_.ui().saveFileName(QStringLiteral("新規製作"), kChooserFilter, {}, false);
    if (path.isEmpty()) return;
    if (QFileInfo(path).suffix().isEmpty()) path += QStringLiteral(".mdb");
    // The chooser lets the user pick any file: a whole database is at stake,
    // so replacing one is asked first (the database open now stays bound on No).
    if (QFileInfo::exists(path)) {
        const QString q = QStringLiteral("'%1' は既にあります。\n新しい空のデータベースで置き換えますか？").arg(path);
        if (ctx_.ui().msgBox(q, shell::YesNo | shell::Critical | shell::DefaultButton2, QStringLiteral("新規製作")) !=
            shell::MsgYes)
            return;
    }
    Unbind();
    try {
        DatabaseFile::create(path);
        enterDatabaseMode();
        Bind(path);
    } catch (const std::exception& e) {
        fileCommandFailed(e, path);
        return;
    }
    layoutDatabaseMode();
    setDatabaseMenus(true);
    ctx_.controls().Img1->repaint();
    recordShown();
}

void Database::mnuDatabaseOpen_Click() {
    Unbind();
    const QString path = ctx_.ui().openFileName(QStringLiteral("開く"), kChooserFilter);
    if (path.isEmpty()) return;
    QDir::setCurrent(QCoreApplication::applicationDirPath());
    try {
        Bind(path);
    } catch (const std::exception& e) {
        fileCommandFailed(e, path);
        return;
    }
    recordShown();
    enterDatabaseMode();
    layoutDatabaseMode();
    setDatabaseMenus(true);
    ctx_.controls().DBGrid1->setFocus();
}

void Database::mnuDatabaseClose_Click() {
    const shell::Controls& c = ctx_.controls();
    leaveDatabaseMode();
    Unbind();
    setDatabaseMenus(false);
    ctx_.state().fBrowserHidden = 0;
    QWidget* window = ctx_.mainWindow();
    const double H = shell::heightTwips(window), W = shell::widthTwips(window);
    shell::setTopTwips(c.Img1, shell::kImgTop);
    shell::setLeftTwips(c.Img1, shell::kImgLeftWithBrowser);
    shell::setHeightTwips(c.Img1, H - shell::kImgHeightMargin);
    shell::setWidthTwips(c.Img1, W - shell::kImgWidthMarginResize);
    if (H > 4900) shell::setHeightTwips(c.File1, H - 4760);
}

void Database::fileCommandFailed(const std::exception& e, const QString& path) {
    // Whatever was open is let go, and the window goes back to its browser.
    if (!ctx_.controls().DBGrid1->isHidden()) {
        mnuDatabaseClose_Click();
    } else {
        Unbind();
        setDatabaseMenus(false);
    }
    QString text;
    if (const auto* de = dynamic_cast<const DataError*>(&e)) text = de->description();
    else text = QString::fromLocal8Bit(e.what());
    if (text.isEmpty()) text = QStringLiteral("データベース '%1' を開けません。").arg(path);
    ctx_.ui().msgBox(text, shell::OkOnly | shell::Exclamation, QStringLiteral("データベース"));
}

// --- what the window shows of the current picture ---

void Database::clearImageInfo() {
    for (int panel = 3; panel <= 6; ++panel) ctx_.controls().StatusBar1->setPanelText(panel, QString());
    ctx_.state().fImage = 0;
    ctx_.MenuItemsEnable(false);
}

void Database::imagePanels() {
    engine::ImageControl* img = ctx_.controls().Img1;
    shell::StatusBar* bar = ctx_.controls().StatusBar1;
    if (img->isEmpty()) {
        for (int panel = 3; panel <= 6; ++panel) bar->setPanelText(panel, QString());
        return;
    }
    bar->setPanelText(3, shell::numberText(img->infoSize()) + QStringLiteral(" Byte"));
    bar->setPanelText(4, shell::numberText(img->infoWidth()) + QStringLiteral(" Width"));
    bar->setPanelText(5, shell::numberText(img->infoHeight()) + QStringLiteral(" Height"));
    bar->setPanelText(6, shell::numberText(img->infoBits()) + QStringLiteral(" Bit"));
}

void Database::recordShown() {
    if (!ctx_.controls().Img1->isEmpty()) {
        ctx_.UpdateImageInfo();
        return;
    }
    clearImageInfo();
    // A stored picture that cannot be shown is said so where the picture's
    // size would stand: a message box on every move would stop a user
    // walking the grid with the arrow keys.
    if (const int16_t code = dpeople_.pictureCode(); code != engine::kOk)
        ctx_.controls().StatusBar1->setPanelText(
            3, shell::engineErrorMessage(QStringLiteral("この画像は表示できません。 "), code));
}

}  // namespace qova::database
