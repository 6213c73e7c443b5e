#include "main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QIcon>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QToolBar>

#include <exception>

#include "animation/toolbox.h"
#include "app/decode_error.h"
#include "app/help_about.h"
#include "app/layout.h"
#include "app/numbers.h"
#include "app/status_bar.h"
#include "app/subsystem.h"
#include "app/twips.h"
#include "app/ui_services.h"
#include "engine/engine_dialog.h"
#include "engine/engine_error.h"
#include "files/browser.h"
#include "files/browser_widgets.h"
#include "files/convert_command.h"
#include "files/open_commands.h"
#include "files/save_commands.h"
#include "engine/image_control.h"
#include "view/view_fit.h"
#include "view/viewing.h"

namespace qova::app {

namespace {

// The open dialog's formats: name and pattern, rows 0–21 (row 22 stays empty).
constexpr const char* kFormats[22][2] = {
    {"すべてのﾌｧｲﾙ", "*.*"},
    {"Windows & OS/2", "*.bmp"},
    {"CALS", "*.cal"},
    {"GEM Image", "*.img"},
    {"IBM IOCA", "*.ica"},
    {"JPG", "*.jpg;*.jff;*.jtf"},
    {"Macintosh PICTURE", "*.pct"},
    {"MacPaint", "*.mac"},
    {"Microsoft Paint", "*.msp"},
    {"Photo CD", "*.pcd"},
    {"PCX", "*.pcx"},
    {"PostScript Raster", "*.eps"},
    {"SUN Raster", "*.ras"},
    {"TGA", "*.tga"},
    {"TIFF", "*.tif"},
    {"Windows Metafile", "*.wmf"},
    {"CMP", "*.cmp"},
    {"Winfax", "*.wfx"},
    {"FlashPix", "*.fpx"},
    {"Microsoft Fax", "*.awd"},
    {"Icon", "*.ico"},
    {"Cursor", "*.cur"},
};

constexpr const char* kFilePattern =
    "*.cmp;*.jpe;*.jpg;*.jpeg;*.jff;*.jtf;*.bmp;*.tif;*.tga;*.pcx;*.cal;*.mac;*.img;*.msp;*.wpg;*.ras;*.pct;"
    "*.pcd;*.eps;*.wmf;*.psd;*.avi";

// Handlers end quietly on an error unless they report it themselves.
void trapped(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception&) {
    }
}

// Design-time size of the window, in pixels.
constexpr int kStartWidth = 1024;
constexpr int kStartHeight = 720;

}  // namespace

Form1::Form1(std::unique_ptr<UiServices> ui, QWidget* parent) : QMainWindow(parent), ui_(std::move(ui)) {
    if (!ui_) ui_ = std::make_unique<QtUiServices>(this);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("QOVA"));
    buildControls();
    buildMenus();
    createSubsystems();
    resize(kStartWidth, kStartHeight);
}

Form1::~Form1() = default;

void Form1::buildControls() {
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);

    Toolbar1 = new QToolBar(client_);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setMovable(false);
    Toolbar1->setIconSize(QSize(24, 24));
    Toolbar1->setGeometry(0, 0, kStartWidth, twipsToPixels(kImgTop));

    // The file browser panel, left of the image (the browser subsystem fills it).
    Drive1 = new files::DriveList(client_);
    Dir1 = new files::DirList(client_);
    Combo1 = new QComboBox(client_);
    File1 = new files::FileList(client_);
    const int panelW = twipsToPixels(kImgLeftWithBrowser - 90);
    Drive1->setGeometry(twipsToPixels(45), twipsToPixels(525), panelW, twipsToPixels(330));
    Dir1->setGeometry(twipsToPixels(45), twipsToPixels(900), panelW, twipsToPixels(2400));
    Combo1->setGeometry(twipsToPixels(45), twipsToPixels(3390), panelW, twipsToPixels(330));
    File1->setGeometry(twipsToPixels(45), twipsToPixels(3795), panelW, twipsToPixels(3000));

    Img1 = new engine::ImageControl(client_);
    Img1->setGeometry(twipsToPixels(kImgLeftWithBrowser), twipsToPixels(kImgTop), 640, 480);
    Img2 = new engine::ImageControl(client_);
    Img3 = new engine::ImageControl(client_);
    Img4 = new engine::ImageControl(client_);
    Img5 = new engine::ImageControl(client_);
    for (engine::ImageControl* c : {Img2, Img3, Img4, Img5}) c->hide();
    connect(Img1, &engine::ImageControl::progress, this, &Form1::Img1_Progress);

    // Database controls, hidden until a database is opened.
    DBGrid1 = new QTableView(client_);
    Cwho = new QLineEdit(client_);
    Command1 = new QPushButton(client_);
    Command2 = new QPushButton(client_);
    for (QWidget* w : {DBGrid1, Cwho, Command1, Command2}) w->hide();

    const std::pair<QWidget*, const char*> names[] = {
        {Drive1, "Drive1"}, {Dir1, "Dir1"}, {Combo1, "Combo1"}, {File1, "File1"},   {Img1, "Img1"},
        {Img2, "Img2"},     {Img3, "Img3"}, {Img4, "Img4"},     {Img5, "Img5"},     {DBGrid1, "DBGrid1"},
        {Cwho, "Cwho"},     {Command1, "Command1"},             {Command2, "Command2"}};
    for (const auto& [w, name] : names) w->setObjectName(QLatin1String(name));

    StatusBar1 = new StatusBar(this);
    setStatusBar(StatusBar1);

    ImgDlg1 = new engine::EngineDialog(this);
    ImgDlg1->setObjectName(QStringLiteral("ImgDlg1"));

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &Form1::Timer1_Timer);
    Timer1->start();
    // Show the time at once rather than a blank panel for the first second.
    Timer1_Timer();

    form6_ = new animation::Form6(Img1, this);
    form6_->hide();
}

void Form1::buildMenus() {
    const auto table = menuTable();
    actions_.assign(table.size(), nullptr);
    menus_.assign(table.size(), nullptr);
    for (const MenuEntry& e : table) {
        const int i = int(e.id);
        const QString name = QLatin1String(e.name);
        QMenu* parentMenu = e.parent == MenuId::None ? nullptr : menus_[size_t(int(e.parent))];
        QAction* a;
        if (e.flags & kSubmenu) {
            auto* m = new QMenu(QString::fromUtf8(e.caption), this);
            m->setObjectName(name);
            menus_[size_t(i)] = m;
            if (parentMenu) parentMenu->addMenu(m);
            else menuBar()->addMenu(m);
            a = m->menuAction();
        } else if (e.flags & kSeparator) {
            a = parentMenu->addSeparator();
        } else {
            a = parentMenu->addAction(QString::fromUtf8(e.caption));
        }
        a->setObjectName(name);
        if (e.flags & kHidden) a->setVisible(false);
        if (e.flags & kDisabled) a->setEnabled(false);
        actions_[size_t(i)] = a;
    }
    for (MenuId id : {MenuId::mnuViewNormal, MenuId::mnuViewZoom, MenuId::mnuViewFit, MenuId::mnuViewStretch})
        action(id)->setCheckable(true);

    onOpened(MenuId::mnuFile, [this] { mnuFile_Click(); });
    onOpened(MenuId::mnuEdit, [this] { mnuEdit_Click(); });
    onOpened(MenuId::mnuColor, [this] { mnuColor_Click(); });
    onOpened(MenuId::mnuView, [this] { mnuView_Click(); });
    onTriggered(MenuId::mmuFileExit, [this] { mmuFileExit_Click(); });
    onTriggered(MenuId::mnuHelpHelp, [this] { mnuHelpHelp_Click(); });
    onTriggered(MenuId::mnuHelpAbout, [this] { mnuHelpAbout_Click(); });
}

void Form1::createSubsystems() {
    // The file browser, viewing, processing, regions, animation, output and
    // database subsystems are created here, each given this window, and
    // connect their menu items and control events with onTriggered()/onOpened().
    addSubsystem(std::make_unique<files::FileBrowser>(*this));
    addSubsystem(std::make_unique<files::OpenCommands>(*this));
    addSubsystem(std::make_unique<files::SaveCommands>(*this));
    addSubsystem(std::make_unique<files::ConvertCommand>(*this));
    addSubsystem(std::make_unique<view::Viewing>(*this));
}

void Form1::addSubsystem(std::unique_ptr<Subsystem> s) { subsystems_.push_back(std::move(s)); }

QAction* Form1::action(MenuId id) const { return actions_[size_t(int(id))]; }
QMenu* Form1::menu(MenuId id) const { return menus_[size_t(int(id))]; }

void Form1::onTriggered(MenuId id, std::function<void()> handler) {
    connect(action(id), &QAction::triggered, this, [h = std::move(handler)] { trapped(h); });
}

void Form1::onOpened(MenuId id, std::function<void()> handler) {
    if (QMenu* m = menu(id)) connect(m, &QMenu::aboutToShow, this, [h = std::move(handler)] { trapped(h); });
}

void Form1::fillFormatTable() {
    for (int row = 0; row < 22; ++row) {
        FormatName[size_t(row)] = QString::fromUtf8(kFormats[row][0]);
        FormatPattern[size_t(row)] = QString::fromUtf8(kFormats[row][1]);
    }
}

void Form1::Form_Load(const QString& commandLine) {
    nZoom = 100;
    fBrowserHidden = fImage = fListKey = 0;
    sDestDir = QDir::currentPath();
    helpFile = QStringLiteral("QOVA.HLP");
    static_cast<files::FileList*>(File1)->setPattern(QString::fromLatin1(kFilePattern));
    fPaintCallback = fProgress = 0;
    displayPrefs = DisplayPrefs{};
    for (MenuId id : {MenuId::mnuView, MenuId::MainImage, MenuId::mnuColor, MenuId::MainAnimation})
        action(id)->setEnabled(false);

    if (const QScreen* s = screen()) {
        const double left = (pixelsToTwips(s->geometry().width()) - widthTwips(this)) / 2;
        const double top = (pixelsToTwips(s->geometry().height()) - heightTwips(this)) / 2;
        move(s->geometry().left() + twipsToPixels(left), s->geometry().top() + twipsToPixels(top));
    }
    fillFormatTable();
    for (QWidget* w : {Cwho, Command1, Command2, DBGrid1}) setLeftTwips(w, 0);
    action(MenuId::ToolNone)->trigger();

    // Anything going wrong with the command-line image only means no image.
    try {
        if (!commandLine.isEmpty()) {
            Img1->hide();
            setHeightTwips(Img1, heightTwips(this) - kImgHeightMargin);
            setWidthTwips(Img1, widthTwips(this) - kImgWidthMarginLoad);
            Img1->setPreLoad(true);
            fImage = 0;
            // An image that did not load leaves the window as it started
            // (no image, image menus off) instead of claiming one.
            if (Img1->load(commandLine, 0, 0, -1) == 0) {
                nZoom = 100;
                fImage = 1;
                imageInfoFromStep2();
            }
        }
    } catch (const std::exception&) {
    }
    Img1->show();
}

void Form1::UpdateImageInfo() {
    nZoom = 100;
    fImage = 1;
    imageInfoFromStep2();
}

void Form1::imageInfoFromStep2() {
    StatusBar1->setPanelText(3, numberText(Img1->infoSize()) + QStringLiteral(" Byte"));
    StatusBar1->setPanelText(4, numberText(Img1->infoWidth()) + QStringLiteral(" Width"));
    StatusBar1->setPanelText(5, numberText(Img1->infoHeight()) + QStringLiteral(" Height"));
    StatusBar1->setPanelText(6, numberText(Img1->infoBits()) + QStringLiteral(" Bit"));
    // Fit test at 15.05 twips per pixel, in single precision.
    const float w = float(widthTwips(Img1) / 15.05);
    const float h = float(heightTwips(Img1) / 15.05);
    if (float(Img1->infoWidth()) > w || float(Img1->infoHeight()) > h) ViewFit2();
    MenuItemsEnable(true);
    form6_->Command(6)->setText(Img1->animationLoop() ? QStringLiteral("連続") : QStringLiteral("１回"));
    CheckViewMenu();
}

void Form1::ViewFit2() {
    if (const auto zoom = view::ViewFit2(*Img1)) nZoom = *zoom;
}

void Form1::ApplyZoom() {
    const int bw = Img1->bitmapWidth(), bh = Img1->bitmapHeight();
    nZoom = view::boundedZoom(nZoom, bw, bh);
    const view::DisplaySize s = view::zoomedSize(bw, bh, nZoom);
    view::SetDisplaySize(*Img1, s.width, s.height);
    StatusBar1->setPanelText(4, numberText(s.width) + QStringLiteral(" Width"));
    StatusBar1->setPanelText(5, numberText(s.height) + QStringLiteral(" Height"));
}

bool Form1::ZoomStep(int delta) {
    const int16_t zoom = view::boundedZoom(nZoom + delta, Img1->bitmapWidth(), Img1->bitmapHeight());
    if (zoom == nZoom) return false;
    SaveUndo();
    nZoom = zoom;
    ApplyZoom();
    return true;
}

QString Form1::DecodeError(int16_t nError) { return app::DecodeError(nError); }

void Form1::MenuItemsEnable(bool fEnable) {
    for (MenuId id : {MenuId::mnuView, MenuId::MainAnimation, MenuId::MainImage, MenuId::mnuColor,
                      MenuId::MainPreferences})
        action(id)->setEnabled(fEnable);
}

void Form1::CheckViewMenu() {
    for (MenuId id : {MenuId::mnuViewNormal, MenuId::mnuViewZoom, MenuId::mnuViewFit, MenuId::mnuViewStretch})
        action(id)->setChecked(false);
    for (int n = 1; n <= 4; ++n) form6_->Command(n)->setEnabled(false);
    switch (Img1->viewMode()) {
    case 0: action(MenuId::mnuViewNormal)->setChecked(true); break;
    case 3: action(MenuId::mnuViewFit)->setChecked(true); break;
    case 1: action(MenuId::mnuViewStretch)->setChecked(true); break;
    default: action(MenuId::mnuViewZoom)->setChecked(true); break;
    }
}

void Form1::mnuView_Click() {
    action(MenuId::ViewPanWindow)->setEnabled(!isMinimized());
    CheckViewMenu();
    const int i = Img1->bitmapListIndex();
    const int n = Img1->bitmapListCount();
    const bool back = i >= 1, forward = i < n - 1;
    action(MenuId::PrevPage)->setEnabled(back);
    action(MenuId::FirstPage)->setEnabled(back);
    form6_->Command(1)->setEnabled(back);
    form6_->Command(2)->setEnabled(back);
    action(MenuId::NextPage)->setEnabled(forward);
    action(MenuId::LastPage)->setEnabled(forward);
    form6_->Command(3)->setEnabled(forward);
    form6_->Command(4)->setEnabled(forward);
}

void Form1::mnuFile_Click() { fListKey = 0; }
void Form1::mnuEdit_Click() { fListKey = 0; }
void Form1::mnuColor_Click() { fListKey = 0; }

void Form1::ClearOrQuit() {
    bool hasImage = true;
    try {
        (void)Img1->bitmapWidth();
    } catch (const engine::EngineError&) {
        hasImage = false;
    }
    if (hasImage) {
        Img1->setImageSource(QString());
        sFilePath.clear();
        sFileName.clear();
        // Like Close: no image, so the image commands are off.
        fImage = 0;
        MenuItemsEnable(false);
        return;
    }
    if (ui().msgBox(QStringLiteral("終了しますか。"), YesNo | Critical | DefaultButton2, QStringLiteral("終了")) == MsgYes)
        ui().quit();
}

void Form1::WaitCursorOn() {
    if (QApplication::overrideCursor()) QApplication::changeOverrideCursor(Qt::WaitCursor);
    else QApplication::setOverrideCursor(Qt::WaitCursor);
}

void Form1::WaitCursorOff() {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
}

void Form1::StatusInit() {
    WaitCursorOn();
    Img1->setProgressEnabled(fProgress != 0);
    MenuItemsEnable(false);
    SaveUndo();
}

void Form1::StatusTerm() {
    MenuItemsEnable(true);
    WaitCursorOff();
}

void Form1::SaveUndo() {
    Img4->setBitmapHandle(Img1->bitmapHandle());
    nUndoZoom = nZoom;
}

void Form1::Img1_Progress(int percent) {
    StatusBar1->setGaugePercent(percent);
    // Let the gauge (and whatever else is waiting) repaint mid-operation.
    QCoreApplication::processEvents();
}

void Form1::Timer1_Timer() {
    // The system's time format with seconds, without a zone name.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    StatusBar1->setPanelText(2, QLocale::system().toString(QTime::currentTime(), format.trimmed()));
}

void Form1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    Toolbar1->setGeometry(0, 0, client_->width(), Toolbar1->height());
    trapped([this] { Form_Resize(); });
}

void Form1::Form_Resize() {
    const double H = heightTwips(this), W = widthTwips(this);
    ResizeLayout l;
    l.imgTop = pixelsToTwips(Img1->y());
    l.imgHeight = heightTwips(Img1);
    l.imgWidth = widthTwips(Img1);
    l.file1Height = heightTwips(File1);
    l.gridHeight = heightTwips(DBGrid1);
    l.cwhoWidth = widthTwips(Cwho);
    applyResizeRules(l, H, W, fBrowserHidden != 0, !Cwho->isHidden());
    setTopTwips(Img1, l.imgTop);
    setHeightTwips(Img1, l.imgHeight);
    setWidthTwips(Img1, l.imgWidth);
    setHeightTwips(File1, l.file1Height);
    setHeightTwips(DBGrid1, l.gridHeight);
    setWidthTwips(Cwho, l.cwhoWidth);
}

void Form1::mmuFileExit_Click() { ui().quit(); }

void Form1::closeEvent(QCloseEvent* e) {
    e->accept();
    ui().quit();
}

void Form1::mnuHelpHelp_Click() {
    if (helpFile.isEmpty()) {
        ui().msgBox(QStringLiteral("ﾍﾙﾌﾟの目次を表示できません。 このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"),
                    Information, windowTitle());
        return;
    }
    try {
        if (!help_) help_ = new HelpWindow(this);
        help_->showContents(helpFile);
    } catch (const std::exception& e) {
        ui().msgBox(QString::fromLocal8Bit(e.what()));
    }
}

void Form1::mnuHelpAbout_Click() {
    Form5 about(this);
    about.exec();
}

}  // namespace qova::app
