// A small main window for subsystem tests: the menus of the menu table, the
// controls a subsystem may use (Img1 and its stores, ImgDlg1, the browser
// lists, status bar, timer, database controls) and the window state, with
// message boxes answered by a ScriptedUi. The shared procedures are the
// shell's own, so a test of one subsystem runs the program's code without
// building the whole window:
//     test::FakeContext ctx;
//     files::Files files(ctx);
//     ctx.action(shell::MenuId::mnuFileOpen)->trigger();
#pragma once

#include <QString>

#include <memory>

#include "shell/context.h"
#include "shell/menu_bar.h"
#include "support/scripted_ui.h"

class QMainWindow;

namespace qova::test {

class FakeContext : public shell::ShellContext {
public:
    // Set up as the window is after start-up: state defaults, the format
    // table filled, the image menus off, the window 1024 × 720 and not shown.
    FakeContext();
    ~FakeContext() override;

    shell::WindowState& state() override { return state_; }
    const shell::Controls& controls() const override { return controls_; }
    QWidget* mainWindow() override;
    shell::UiServices& ui() override { return ui_; }
    QAction* action(shell::MenuId id) const override;
    QMenu* menu(shell::MenuId id) const override;

    ScriptedUi& scripted() { return ui_; }
    QMainWindow* window() const { return window_.get(); }

private:
    std::unique_ptr<QMainWindow> window_;
    shell::WindowState state_;
    shell::Controls controls_;
    shell::MenuBar menus_;
    ScriptedUi ui_;
};

}  // namespace qova::test
