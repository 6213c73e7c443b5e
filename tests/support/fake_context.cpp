#include "support/fake_context.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QToolBar>

#include "engine/engine_dialog.h"
#include "engine/image_control.h"
#include "engine/image_store.h"
#include "shell/file_lists.h"
#include "shell/file_types.h"
#include "shell/status_bar.h"

namespace qova::test {

FakeContext::FakeContext() : window_(std::make_unique<QMainWindow>()) {
    QMainWindow* w = window_.get();
    w->setObjectName(QStringLiteral("Form1"));
    w->setWindowTitle(QStringLiteral("QOVA"));
    auto* client = new QWidget(w);
    w->setCentralWidget(client);
    shell::Controls& c = controls_;
    c.Toolbar1 = new QToolBar(client);
    c.Drive1 = new shell::DriveList(client);
    c.Dir1 = new shell::DirList(client);
    c.Combo1 = new QComboBox(client);
    c.File1 = new shell::FileList(client);
    c.Img1 = new engine::ImageControl(client);
    c.Img1->setGeometry(157, 32, 640, 480);
    c.Img2 = new engine::ImageStore(QStringLiteral("Img2"), w);
    c.Img3 = new engine::ImageStore(QStringLiteral("Img3"), w);
    c.Img4 = new engine::ImageStore(QStringLiteral("Img4"), w);
    c.Img5 = new engine::ImageStore(QStringLiteral("Img5"), w);
    c.ImgDlg1 = new engine::EngineDialog(w);
    c.StatusBar1 = new shell::StatusBar(w);
    w->setStatusBar(c.StatusBar1);
    c.Timer1 = new QTimer(w);
    c.DBGrid1 = new QTableView(client);
    c.Cwho = new QLineEdit(client);
    c.Command1 = new QPushButton(client);
    c.Command2 = new QPushButton(client);
    for (QWidget* x : {static_cast<QWidget*>(c.DBGrid1), static_cast<QWidget*>(c.Cwho),
                       static_cast<QWidget*>(c.Command1), static_cast<QWidget*>(c.Command2)})
        x->hide();
    const std::pair<QObject*, const char*> names[] = {
        {c.Toolbar1, "Toolbar1"}, {c.Drive1, "Drive1"},   {c.Dir1, "Dir1"}, {c.Combo1, "Combo1"},
        {c.File1, "File1"},       {c.Img1, "Img1"},       {c.ImgDlg1, "ImgDlg1"}, {c.Timer1, "Timer1"},
        {c.DBGrid1, "DBGrid1"},   {c.Cwho, "Cwho"},       {c.Command1, "Command1"}, {c.Command2, "Command2"}};
    for (const auto& [o, name] : names) o->setObjectName(QLatin1String(name));
    menus_ = shell::buildMenuBar(w->menuBar(), w);
    w->resize(1024, 720);

    state_.sDestDir = QDir::currentPath();
    state_.helpFile = QStringLiteral("QOVA.HLP");
    c.File1->setPattern(shell::startPattern());
    shell::fillFormatTable(state_);
    for (shell::MenuId id :
         {shell::MenuId::mnuView, shell::MenuId::MainImage, shell::MenuId::mnuColor, shell::MenuId::MainAnimation})
        action(id)->setEnabled(false);
}

FakeContext::~FakeContext() {
    // The subsystems of a test usually go first; nothing a dying widget
    // emits may reach whatever is left.
    for (QObject* o : window_->findChildren<QObject*>()) o->blockSignals(true);
}

QWidget* FakeContext::mainWindow() { return window_.get(); }
QAction* FakeContext::action(shell::MenuId id) const { return menus_.actions[size_t(int(id))]; }
QMenu* FakeContext::menu(shell::MenuId id) const { return menus_.menus[size_t(int(id))]; }

}  // namespace qova::test
