// What a subsystem sees of the main window: the window state, the controls
// with their real types, the menus, the other subsystems' services and the
// procedures shared by all (UpdateImageInfo, StatusInit/StatusTerm, SaveUndo,
// the zoom …). The window (Form1) provides the state, controls and menus;
// the procedures are written once here on top of them, so a test's small
// context runs the same code as the program.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>

#include "shell/menu_table.h"
#include "shell/services.h"
#include "shell/window_state.h"

class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;
class QTimer;
class QToolBar;
class QWidget;

namespace qova::engine {
class EngineDialog;
class ImageControl;
class ImageStore;
}  // namespace qova::engine

namespace qova::shell {

class DirList;
class DriveList;
class FileList;
class StatusBar;
class UiServices;

// The window's controls; a test's context may leave out those it does not need.
struct Controls {
    engine::ImageControl* Img1 = nullptr;
    engine::ImageStore* Img2 = nullptr;  // saved background, scratch, frame loader
    engine::ImageStore* Img3 = nullptr;  // scratch of the region transforms
    engine::ImageStore* Img4 = nullptr;  // undo bitmap
    engine::ImageStore* Img5 = nullptr;  // undo exchange, deleted database picture
    engine::EngineDialog* ImgDlg1 = nullptr;  // the engine's dialogs
    QToolBar* Toolbar1 = nullptr;
    StatusBar* StatusBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    // The file browser panel.
    DriveList* Drive1 = nullptr;
    DirList* Dir1 = nullptr;
    QComboBox* Combo1 = nullptr;
    FileList* File1 = nullptr;
    // The database controls, hidden until a database is opened.
    QTableView* DBGrid1 = nullptr;
    QLineEdit* Cwho = nullptr;
    QPushButton* Command1 = nullptr;
    QPushButton* Command2 = nullptr;
};

class ShellContext {
public:
    virtual ~ShellContext() = default;

    // --- what the window provides ---
    virtual WindowState& state() = 0;
    virtual const Controls& controls() const = 0;
    // The main window: owner of dialogs, measured by the layout rules.
    virtual QWidget* mainWindow() = 0;
    virtual UiServices& ui() = 0;
    virtual QAction* action(MenuId id) const = 0;
    virtual QMenu* menu(MenuId id) const = 0;  // null for plain items
    Services& services() { return services_; }

    // --- handlers: run inside the error trap (trap.h) ---
    // `handler` runs when the item is chosen / when its menu opens.
    void onTriggered(MenuId id, std::function<void()> handler);
    void onOpened(MenuId id, std::function<void()> handler);

    // --- procedures shared by the subsystems ---
    // After an image was put into Img1: zoom 100, fImage 1, panels 3–6 from
    // the last load, a large image zoomed down to fit, menus on, the
    // toolbox's loop caption, CheckViewMenu.
    void UpdateImageInfo();
    // The busy bracket of a long image command (StatusInit takes the undo snapshot).
    void StatusInit();
    void StatusTerm();
    void MenuItemsEnable(bool fEnable);
    // View menu check marks from Img1's view mode; toolbox page buttons off.
    void CheckViewMenu();
    void WaitCursorOn();
    void WaitCursorOff();
    // Undo snapshot: Img4 := Img1's bitmap, nUndoZoom := nZoom.
    void SaveUndo();
    // Esc: empties Img1 when it holds an image, else asks whether to quit.
    void ClearOrQuit();
    // Zooms the shown bitmap to fit Img1 (nZoom follows when it can).
    void ViewFit2();
    // Shows the whole image at nZoom percent and puts the displayed size in
    // panels 4 and 5; nZoom is first kept within the bounds of zoom.h.
    void ApplyZoom();
    // The zoom keys and buttons: SaveUndo, nZoom stepped by `delta` within
    // the bounds, ApplyZoom. Does nothing (no snapshot) and returns false
    // when nZoom already sits at the bound in that direction.
    bool ZoomStep(int delta);
    // UpdateImageInfo from its second step on (the start-up path sets nZoom and fImage itself).
    void imageInfoFromStep2();

private:
    Services services_;
};

}  // namespace qova::shell
