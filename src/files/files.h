// Files and browsing: the browser panel, loading and pages (Open, Close),
// Save and its destination, and format conversion. The window makes one.
#pragma once

#include "files/browser.h"
#include "files/convert_command.h"
#include "files/open_commands.h"
#include "files/save_commands.h"
#include "shell/subsystem.h"

namespace qova::files {

class Files : public shell::Subsystem {
public:
    explicit Files(shell::ShellContext& ctx) : browser(ctx), open(ctx), save(ctx), convert(ctx) {}
    FileBrowser browser;
    OpenCommands open;
    SaveCommands save;
    ConvertCommand convert;
};

}  // namespace qova::files
