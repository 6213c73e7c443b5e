// The main window's state: one struct, owned by the window, reached by every
// subsystem through ShellContext::state(). Flags are 16-bit: 0 false,
// non-zero true.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace qova::shell {

// Display preferences; all start at 0 and are changed from the Options menu.
struct DisplayPrefs {
    int16_t ditheringIndex = 0;
    int16_t fixedPalette = 0;
    int16_t browserPalette = 0;
    int16_t paintOption8 = 0;
};

struct WindowState {
    int16_t nZoom = 100;
    int16_t nUndoZoom = 100;
    int16_t fBrowserHidden = 0;
    int16_t fImage = 0;
    int16_t fListKey = 0;
    int16_t fPaintCallback = 0;
    int16_t fProgress = 0;
    QString sDestDir;
    QString sFilePath;   // the file last shown from the file list
    QString sFileName;
    // The open dialog's format table: rows 0–21 (row 22 stays empty).
    std::array<QString, 23> FormatName;
    std::array<QString, 23> FormatPattern;
    DisplayPrefs displayPrefs;
    QString helpFile;
};

}  // namespace qova::shell
