// Form1, the program's one main window: the image control Img1 with its
// hidden stores Img2–Img5, the menu bar, toolbar, status bar and gauge, the
// shared window state, and the procedures every other part of the program
// calls (UpdateImageInfo, StatusInit/StatusTerm, DecodeError …).
#pragma once

#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "app/menu_table.h"
#include "app/subsystem.h"
#include "app/ui_services.h"

class QAction;
class QMenu;
class QTimer;
class QToolBar;

namespace qova::engine {
class EngineDialog;
class ImageControl;
}
namespace qova::animation {
class Form6;
}

namespace qova::app {

class HelpWindow;
class StatusBar;

// Display preferences; all start at 0 and are changed from the Options menu.
struct DisplayPrefs {
    int16_t ditheringIndex = 0;
    int16_t fixedPalette = 0;
    int16_t browserPalette = 0;
    int16_t paintOption8 = 0;
};

class Form1 : public QMainWindow {
    Q_OBJECT
public:
    // Without `ui` the window uses the real message boxes.
    explicit Form1(std::unique_ptr<UiServices> ui = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // Start-up: state, defaults, menus, centring, and the image named by the
    // whole command-line text (shown if it loads, silently skipped if not).
    void Form_Load(const QString& commandLine);

    // --- window state (flags: 0 false, non-zero true) ---
    int16_t nZoom = 100;
    int16_t nUndoZoom = 100;
    int16_t fBrowserHidden = 0;
    int16_t fImage = 0;
    int16_t fListKey = 0;
    int16_t fPaintCallback = 0;
    int16_t fProgress = 0;
    QString sDestDir;
    QString sFilePath;
    QString sFileName;
    std::array<QString, 23> FormatName;
    std::array<QString, 23> FormatPattern;
    DisplayPrefs displayPrefs;
    QString helpFile;

    // --- controls ---
    engine::ImageControl* Img1;
    engine::ImageControl* Img2;   // saved background, scratch, frame loader
    engine::ImageControl* Img3;   // scratch of the region transforms
    engine::ImageControl* Img4;   // undo bitmap
    engine::ImageControl* Img5;   // undo exchange, deleted database picture
    engine::EngineDialog* ImgDlg1;  // the engine's open and save dialogs
    QToolBar* Toolbar1;
    StatusBar* StatusBar1;
    QTimer* Timer1;
    // File browser panel and database controls; the browser and database
    // subsystems put their own widgets here (see createSubsystems()).
    QWidget* Drive1;
    QWidget* Dir1;
    QWidget* Combo1;
    QWidget* File1;
    QWidget* DBGrid1;
    QWidget* Cwho;
    QWidget* Command1;
    QWidget* Command2;
    // The animation toolbox, created hidden with the window.
    animation::Form6* form6() const { return form6_; }
    QWidget* clientArea() const { return client_; }

    // --- menus ---
    QAction* action(MenuId id) const;
    QMenu* menu(MenuId id) const;   // null for plain items
    // Runs `handler` when the item is chosen / when its menu opens.
    void onTriggered(MenuId id, std::function<void()> handler);
    void onOpened(MenuId id, std::function<void()> handler);

    // --- procedures used throughout the program ---
    static QString DecodeError(int16_t nError);
    void StatusInit();
    void StatusTerm();
    void MenuItemsEnable(bool fEnable);
    void CheckViewMenu();
    void WaitCursorOn();
    void WaitCursorOff();
    void UpdateImageInfo();
    void ClearOrQuit();
    void SaveUndo();
    void ViewFit2();
    // Shows the whole image at nZoom percent and puts the displayed size in
    // panels 4 and 5; nZoom is first kept within the bounds of view_fit.h.
    void ApplyZoom();
    // The zoom keys and buttons: SaveUndo, nZoom stepped by `delta` within
    // the bounds, ApplyZoom. Does nothing (no snapshot) and returns false
    // when nZoom already sits at the bound in that direction.
    bool ZoomStep(int delta);

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

    UiServices& ui() const { return *ui_; }

    // Subsystems living as long as the window.
    void addSubsystem(std::unique_ptr<Subsystem> s);
    template <class T> T* subsystem() const {
        for (const auto& s : subsystems_)
            if (auto* t = dynamic_cast<T*>(s.get())) return t;
        return nullptr;
    }

protected:
    void resizeEvent(QResizeEvent* e) override;
    void closeEvent(QCloseEvent* e) override;

private:
    void buildControls();
    void buildMenus();
    void createSubsystems();
    void imageInfoFromStep2();
    void fillFormatTable();

    std::unique_ptr<UiServices> ui_;
    QWidget* client_;
    animation::Form6* form6_;
    HelpWindow* help_ = nullptr;
    std::vector<QAction*> actions_;
    std::vector<QMenu*> menus_;
    std::vector<std::unique_ptr<Subsystem>> subsystems_;
};

}  // namespace qova::app
