// Image processing: the Color menu's tone and colour commands with the
// histogram, and the Image menu's effects and spatial filters, each asking
// its values in the engine's parameter dialogs. The window makes one.
// (Geometry and undo are processing::Geometry, a subsystem of their own.)
#pragma once

#include "processing/colour_commands.h"
#include "processing/effect_commands.h"
#include "shell/subsystem.h"

namespace qova::processing {

class Processing : public shell::Subsystem {
public:
    explicit Processing(shell::ShellContext& ctx) : colour(ctx), effects(ctx) {}
    ColourCommands colour;
    EffectCommands effects;
};

}  // namespace qova::processing
