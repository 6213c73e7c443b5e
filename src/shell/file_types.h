// The texts the program builds from the engine's file kinds
// (engine/core/formats/format_table.h): the file browser's start pattern,
// the open dialog's format table and filter, and which names a click in
// the file list loads.
#pragma once

#include <QString>

namespace qova::shell {

struct WindowState;

// "*.cmp;*.jpe;*.jpg;…;*.avi": File1's pattern at start-up and Combo1's "ALL".
QString startPattern();
// FormatName/FormatPattern rows 0–21 of the open dialog's table.
void fillFormatTable(WindowState& s);
// The open dialog's filter from the table: "name|pattern|" for rows 0–21.
QString openFilter(const WindowState& s);
// Whether a click in the file list loads this file (its last four characters, case blind).
bool loadsOnClick(const QString& fileName);

}  // namespace qova::shell
