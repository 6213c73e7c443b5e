// Form1, the program's one main window and its composition root: it builds
// the controls (the image control Img1 with its hidden stores Img2–Img5, the
// browser panel, toolbar, status bar and gauge, the database controls), the
// menu bar, owns the window state, and creates each subsystem in one line
// (createSubsystems). The subsystems see it as a shell::ShellContext.
#pragma once

#include <QMainWindow>
#include <QString>

#include <memory>
#include <vector>

#include "shell/context.h"
#include "shell/subsystem.h"
#include "shell/ui_services.h"

class QAction;
class QMenu;

namespace qova::animation {
class Animation;
class Form6;
}  // namespace qova::animation

namespace qova::engine {
class ReadAhead;
}  // namespace qova::engine

namespace qova::app {

class HelpWindow;

class Form1 : public QMainWindow, public shell::ShellContext {
    Q_OBJECT
public:
    // Without `ui` the window uses the real message boxes.
    explicit Form1(std::unique_ptr<shell::UiServices> ui = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: state, defaults, menus, centring, and the image named by the
    // whole command-line text (shown if it loads, silently skipped if not).
    void Form_Load(const QString& commandLine);

    // --- ShellContext ---
    shell::WindowState& state() override { return state_; }
    const shell::Controls& controls() const override { return controls_; }
    QWidget* mainWindow() override { return this; }
    shell::UiServices& ui() override { return *ui_; }
    QAction* action(shell::MenuId id) const override;
    QMenu* menu(shell::MenuId id) const override;

    // The animation toolbox, created hidden with the window.
    animation::Form6* form6() const;
    QWidget* clientArea() const { return client_; }

    // --- event handlers ---
    void Form_Resize();
    void mnuFile_Click();
    void mnuEdit_Click();
    void mnuColor_Click();
    void mnuView_Click();
    void mmuFileExit_Click();
    void mnuHelpHelp_Click();
    void mnuHelpAbout_Click();
    void Timer1_Timer();
    void Img1_Progress(int percent);

protected:
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void buildMenus();
    void createSubsystems();
    template <class S> S* add() {
        auto s = std::make_unique<S>(static_cast<shell::ShellContext&>(*this));
        S* raw = s.get();
        subsystems_.push_back(std::move(s));
        return raw;
    }

    std::unique_ptr<shell::UiServices> ui_;
    // Decodes the browser's next pictures on the other core; its worker is
    // joined when the window goes, before the program ends.
    std::unique_ptr<engine::ReadAhead> readAhead_;
    shell::WindowState state_;
    shell::Controls controls_;
    QWidget* client_ = nullptr;
    HelpWindow* help_ = nullptr;
    std::vector<QAction*> actions_;
    std::vector<QMenu*> menus_;
    std::vector<std::unique_ptr<shell::Subsystem>> subsystems_;
    animation::Animation* animation_ = nullptr;
};

}  // namespace qova::app
