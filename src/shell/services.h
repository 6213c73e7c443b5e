// Services one subsystem offers the others. A subsystem never includes
// another one: the owner implements the interface and puts itself into
// ShellContext::services(); a user asks there and copes with none.
#pragma once

#include <cstdint>

class QString;
class QWidget;

namespace qova::shell {

// Which of the page buttons and items (first/previous, next/last) apply to
// page `index` of `count`.
struct PageSteps {
    bool back = false;     // first, previous
    bool forward = false;  // next, last
};
inline PageSteps pageSteps(int index, int count) { return PageSteps{index >= 1, index < count - 1}; }

// The file browser panel (files).
class BrowserService {
public:
    virtual ~BrowserService() = default;
    // Number-pad drive keys (96–105) from any control, Img1 included; the
    // focus ends on `focusAfter` (Dir1 when null). True when `keyCode` is one.
    virtual bool DriveKey(int keyCode, QWidget* focusAfter = nullptr) = 0;
    // Shows or hides Drive1, Dir1, Combo1 and File1 and sets fBrowserHidden
    // (the caller lays out Img1).
    virtual void setPanelVisible(bool visible) = 0;
    // Deletes the shown file (sFilePath) from the disk: panel 3 := File1's
    // index, Img1 emptied, the list refreshed, the entry before selected.
    // Reports a failure itself ("ファイルを削除できません。").
    virtual void deleteShownFile() = 0;
    // Copies the shown file to sDestDir under `name`, replacing a file of
    // that name only once the copy is whole. Reports a failure itself
    // ("ファイルをコピーできません。") and returns false.
    virtual bool copyShownFile(const QString& name) = 0;
};

// The animation toolbox Form6 (animation).
class AnimationToolbox {
public:
    virtual ~AnimationToolbox() = default;
    // The toolbox's own refresh: page buttons for Img1's frame, the play
    // button's caption (after a new image and the animation notification).
    virtual void CheckViewMenu() = 0;
    // Enables the page buttons Command1–Command4 as `steps` says.
    virtual void setPageButtons(PageSteps steps) = 0;
    // Command6's caption: "連続" for a looping animation, else "１回".
    virtual void setLoopCaption(bool loop) = 0;
};

// The region transforms (regions): each acts on the selected pixels of Img1
// as a floating piece over the saved background. Angles are hundredths of a
// degree, clockwise.
class RegionService {
public:
    virtual ~RegionService() = default;
    virtual void ShearRegion(int16_t Angle, bool bHorizontal) = 0;
    virtual void FlipRegion() = 0;
    virtual void ReverseRegion() = 0;
    virtual void ResizeRegion(int16_t nNewWidth, int16_t nNewHeight, int16_t nResizeFlag) = 0;
    virtual void RotateRegion(int16_t Angle, bool bResizeRegion) = 0;
};

// What the subsystems have put in; null where no subsystem offers it.
struct Services {
    BrowserService* browser = nullptr;
    AnimationToolbox* toolbox = nullptr;
    // A new service: its interface above and one pointer here, in the
    // offering subsystem's slot.
    // processing
    // regions
    RegionService* regions = nullptr;
    // output
    // database
};

}  // namespace qova::shell
