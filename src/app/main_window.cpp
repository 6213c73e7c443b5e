#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTime>
#include <QTimer>
#include <QToolBar>

#include <exception>

#include "animation/animation.h"
#include "animation/toolbox.h"
#include "app/help_about.h"
#include "app/preferences.h"
#include "app/toolbar.h"
#include "database/database.h"
#include "engine/core/formats/read_ahead.h"
#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "files/files.h"
#include "output/output.h"
#include "processing/geometry_commands.h"
#include "processing/processing.h"
#include "regions/regions.h"
#include "shell/file_lists.h"
#include "shell/file_types.h"
#include "shell/layout.h"
#include "shell/long_command.h"
#include "shell/menu_bar.h"
#include "shell/status_bar.h"
#include "shell/trap.h"
#include "shell/twips.h"
#include "view/viewing.h"

namespace qova::app {

using shell::MenuId;
using shell::connectTrapped;

namespace {

// Design-time size of the window, in pixels.
constexpr int kStartWidth = 1024;
constexpr int kStartHeight = 720;

}  // namespace

Form1::Form1(std::unique_ptr<shell::UiServices> ui, QWidget* parent) : QMainWindow(parent), ui_(std::move(ui)) {
    if (!ui_) ui_ = std::make_unique<shell::QtUiServices>(this);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("QOVA"));
    buildControls();
    buildMenus();
    createSubsystems();
    resize(kStartWidth, kStartHeight);
}

Form1::~Form1() {
    // The subsystems go before the widgets: nothing a dying widget emits may
    // reach them.
    for (QObject* o : findChildren<QObject*>()) o->blockSignals(true);
    controls_.Img1->setReadAhead(nullptr);
    readAhead_.reset();  // waits for a decode under way
}

void Form1::createSubsystems() {
    // One line per subsystem (each in its slot, so subsystems landing side
    // by side do not touch the same lines); each wires its own menu items
    // and events and offers its services through the context.
    add<files::Files>();
    add<view::Viewing>();
    animation_ = add<animation::Animation>();
    // processing
    add<processing::Processing>();
    add<processing::Geometry>();
    // regions
    add<regions::Regions>();
    // output
    add<output::Output>();
    // database
    add<database::Database>();
    // toolbar and display preferences (app)
    add<Toolbar>();
    add<Preferences>();
}

animation::Form6* Form1::form6() const { return animation_->form6(); }

void Form1::buildControls() {
    using shell::twipsToPixels;
    shell::Controls& c = controls_;
    client_ = new QWidget(this);
    client_->setObjectName(QStringLiteral("client"));
    setCentralWidget(client_);

    c.Toolbar1 = new QToolBar(client_);
    c.Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    c.Toolbar1->setMovable(false);
    c.Toolbar1->setIconSize(QSize(24, 24));
    c.Toolbar1->setGeometry(0, 0, kStartWidth, twipsToPixels(shell::kImgTop));

    // The file browser panel, left of the image (the files subsystem drives it).
    c.Drive1 = new shell::DriveList(client_);
    c.Dir1 = new shell::DirList(client_);
    c.Combo1 = new QComboBox(client_);
    c.File1 = new shell::FileList(client_);
    const int panelW = twipsToPixels(shell::kImgLeftWithBrowser - 90);
    c.Drive1->setGeometry(twipsToPixels(45), twipsToPixels(525), panelW, twipsToPixels(330));
    c.Dir1->setGeometry(twipsToPixels(45), twipsToPixels(900), panelW, twipsToPixels(2400));
    c.Combo1->setGeometry(twipsToPixels(45), twipsToPixels(3390), panelW, twipsToPixels(330));
    c.File1->setGeometry(twipsToPixels(45), twipsToPixels(3795), panelW, twipsToPixels(3000));

    c.Img1 = new engine::ImageControl(client_);
    c.Img1->setGeometry(twipsToPixels(shell::kImgLeftWithBrowser), twipsToPixels(shell::kImgTop), 640, 480);
    readAhead_ = std::make_unique<engine::ReadAhead>();
    c.Img1->setReadAhead(readAhead_.get());
    // The hidden stores hold pictures only; they are never shown.
    c.Img2 = new engine::ImageStore(QStringLiteral("Img2"), this);
    c.Img3 = new engine::ImageStore(QStringLiteral("Img3"), this);
    c.Img4 = new engine::ImageStore(QStringLiteral("Img4"), this);
    c.Img5 = new engine::ImageStore(QStringLiteral("Img5"), this);
    connectTrapped(c.Img1, &engine::ImageControl::progress, this, [this](int p) { Img1_Progress(p); });

    // Database controls, hidden until a database is opened.
    c.DBGrid1 = new QTableView(client_);
    c.Cwho = new QLineEdit(client_);
    c.Command1 = new QPushButton(client_);
    c.Command2 = new QPushButton(client_);
    for (QWidget* w : {static_cast<QWidget*>(c.DBGrid1), static_cast<QWidget*>(c.Cwho),
                       static_cast<QWidget*>(c.Command1), static_cast<QWidget*>(c.Command2)})
        w->hide();

    const std::pair<QWidget*, const char*> names[] = {
        {c.Drive1, "Drive1"}, {c.Dir1, "Dir1"},       {c.Combo1, "Combo1"}, {c.File1, "File1"},
        {c.Img1, "Img1"},     {c.DBGrid1, "DBGrid1"}, {c.Cwho, "Cwho"},     {c.Command1, "Command1"},
        {c.Command2, "Command2"}};
    for (const auto& [w, name] : names) w->setObjectName(QLatin1String(name));

    c.StatusBar1 = new shell::StatusBar(this);
    setStatusBar(c.StatusBar1);

    c.ImgDlg1 = new engine::EngineDialog(this);
    c.ImgDlg1->setObjectName(QStringLiteral("ImgDlg1"));

    c.Timer1 = new QTimer(this);
    c.Timer1->setObjectName(QStringLiteral("Timer1"));
    c.Timer1->setInterval(1000);
    connectTrapped(c.Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    c.Timer1->start();
    // Show the time at once rather than a blank panel for the first second.
    Timer1_Timer();
}

void Form1::buildMenus() {
    shell::MenuBar bar = shell::buildMenuBar(menuBar(), this);
    actions_ = std::move(bar.actions);
    menus_ = std::move(bar.menus);
    onOpened(MenuId::mnuFile, [this] { mnuFile_Click(); });
    onOpened(MenuId::mnuEdit, [this] { mnuEdit_Click(); });
    onOpened(MenuId::mnuColor, [this] { mnuColor_Click(); });
    onOpened(MenuId::mnuView, [this] { mnuView_Click(); });
    onTriggered(MenuId::mmuFileExit, [this] { mmuFileExit_Click(); });
    onTriggered(MenuId::mnuHelpHelp, [this] { mnuHelpHelp_Click(); });
    onTriggered(MenuId::mnuHelpAbout, [this] { mnuHelpAbout_Click(); });
}

QAction* Form1::action(MenuId id) const { return actions_[size_t(int(id))]; }
QMenu* Form1::menu(MenuId id) const { return menus_[size_t(int(id))]; }

void Form1::Form_Load(const QString& commandLine) {
    shell::WindowState& s = state_;
    const shell::Controls& c = controls_;
    s.nZoom = 100;
    s.fBrowserHidden = s.fImage = s.fListKey = 0;
    s.sDestDir = QDir::currentPath();
    s.helpFile = QStringLiteral("QOVA.HLP");
    c.File1->setPattern(shell::startPattern());
    s.fPaintCallback = s.fProgress = 0;
    s.displayPrefs = shell::DisplayPrefs{};
    for (MenuId id : {MenuId::mnuView, MenuId::MainImage, MenuId::mnuColor, MenuId::MainAnimation})
        action(id)->setEnabled(false);

    if (const QScreen* sc = screen()) {
        const double left = (shell::pixelsToTwips(sc->geometry().width()) - shell::widthTwips(this)) / 2;
        const double top = (shell::pixelsToTwips(sc->geometry().height()) - shell::heightTwips(this)) / 2;
        move(sc->geometry().left() + shell::twipsToPixels(left), sc->geometry().top() + shell::twipsToPixels(top));
    }
    shell::fillFormatTable(s);
    for (QWidget* w : {static_cast<QWidget*>(c.Cwho), static_cast<QWidget*>(c.Command1),
                       static_cast<QWidget*>(c.Command2), static_cast<QWidget*>(c.DBGrid1)})
        shell::setLeftTwips(w, 0);
    action(MenuId::ToolNone)->trigger();

    // Anything going wrong with the command-line image only means no image.
    try {
        if (!commandLine.isEmpty()) {
            c.Img1->hide();
            shell::setHeightTwips(c.Img1, shell::heightTwips(this) - shell::kImgHeightMargin);
            shell::setWidthTwips(c.Img1, shell::widthTwips(this) - shell::kImgWidthMarginLoad);
            c.Img1->setPreLoad(true);
            s.fImage = 0;
            // An image that did not load leaves the window as it started
            // (no image, image menus off) instead of claiming one.
            if (c.Img1->load(commandLine, 0, 0, -1) == 0) {
                s.nZoom = 100;
                s.fImage = 1;
                imageInfoFromStep2();
            }
        }
    } catch (const std::exception&) {
    }
    c.Img1->show();
}

void Form1::mnuView_Click() {
    action(MenuId::ViewPanWindow)->setEnabled(!isMinimized());
    CheckViewMenu();
    const shell::PageSteps steps =
        shell::pageSteps(controls_.Img1->bitmapListIndex(), controls_.Img1->bitmapListCount());
    action(MenuId::PrevPage)->setEnabled(steps.back);
    action(MenuId::FirstPage)->setEnabled(steps.back);
    action(MenuId::NextPage)->setEnabled(steps.forward);
    action(MenuId::LastPage)->setEnabled(steps.forward);
    if (services().toolbox) services().toolbox->setPageButtons(steps);
}

void Form1::mnuFile_Click() { state_.fListKey = 0; }
void Form1::mnuEdit_Click() { state_.fListKey = 0; }
void Form1::mnuColor_Click() { state_.fListKey = 0; }

void Form1::Img1_Progress(int percent) {
    controls_.StatusBar1->setGaugePercent(percent);
    // Let the gauge and the window repaint mid-operation, but keep the
    // user's clicks and keys queued until the command is through: a key
    // handled now would start a second load inside this one, and a toolbar
    // button would act on a picture that is half there. They run, in order,
    // as soon as the command returns to the event loop (shell/long_command.h;
    // a command that can be stopped lets its Abort button through).
    shell::processEventsDuringCommand();
}

void Form1::Timer1_Timer() {
    // The system's time format with seconds, without a zone name.
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QLatin1Char('t'));
    controls_.StatusBar1->setPanelText(2, QLocale::system().toString(QTime::currentTime(), format.trimmed()));
}

void Form1::resizeEvent(QResizeEvent* e) {
    QMainWindow::resizeEvent(e);
    controls_.Toolbar1->setGeometry(0, 0, client_->width(), controls_.Toolbar1->height());
    shell::trapped([this] { Form_Resize(); });
}

void Form1::Form_Resize() {
    using namespace shell;
    const Controls& c = controls_;
    const double H = heightTwips(this), W = widthTwips(this);
    ResizeLayout l;
    l.imgTop = pixelsToTwips(c.Img1->y());
    l.imgHeight = heightTwips(c.Img1);
    l.imgWidth = widthTwips(c.Img1);
    l.file1Height = heightTwips(c.File1);
    l.gridHeight = heightTwips(c.DBGrid1);
    l.cwhoWidth = widthTwips(c.Cwho);
    applyResizeRules(l, H, W, state_.fBrowserHidden != 0, !c.Cwho->isHidden());
    setTopTwips(c.Img1, l.imgTop);
    setHeightTwips(c.Img1, l.imgHeight);
    setWidthTwips(c.Img1, l.imgWidth);
    setHeightTwips(c.File1, l.file1Height);
    setHeightTwips(c.DBGrid1, l.gridHeight);
    setWidthTwips(c.Cwho, l.cwhoWidth);
}

void Form1::mmuFileExit_Click() { ui().quit(); }

void Form1::closeEvent(QCloseEvent* e) {
    e->accept();
    ui().quit();
}

void Form1::mnuHelpHelp_Click() {
    if (state_.helpFile.isEmpty()) {
        ui().msgBox(QStringLiteral("ﾍﾙﾌﾟの目次を表示できません。 このﾌﾟﾛｼﾞｪｸﾄに関連付けられたﾍﾙﾌﾟが存在しません。"),
                    shell::Information, windowTitle());
        return;
    }
    try {
        if (!help_) help_ = new HelpWindow(this);
        help_->showContents(state_.helpFile);
    } catch (const std::exception& e) {
        ui().msgBox(QString::fromLocal8Bit(e.what()));
    }
}

void Form1::mnuHelpAbout_Click() {
    Form5 about(this);
    about.exec();
}

}  // namespace qova::app
