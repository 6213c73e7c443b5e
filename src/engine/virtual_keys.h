// Windows virtual-key numbers for Qt key events, so handlers test the same
// numbers the program's key rules are written in (27 Esc, 45 Insert, 96–105
// number pad, 220 and 222 the backslash/yen and quote/caret keys …).
#pragma once

class QKeyEvent;

namespace qova::engine {

// Shift state bits as key and mouse handlers receive them.
constexpr int kShiftMask = 1;
constexpr int kCtrlMask = 2;
constexpr int kAltMask = 4;

int virtualKey(int qtKey, bool keypad);
int virtualKey(const QKeyEvent* e);
int shiftState(const QKeyEvent* e);
int shiftStateFromModifiers(int qtModifiers);

}  // namespace qova::engine
