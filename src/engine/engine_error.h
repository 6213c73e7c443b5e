// The engine's raised errors (see core/engine_error.h) and the one the
// engine dialogs raise on Cancel.
#pragma once

#include "core/codes.h"
#include "core/engine_error.h"

namespace qova::engine {

// Raised by an engine dialog when the user cancels it.
inline EngineError dialogCancelled() { return EngineError(kErrDialogCancelled, "Cancel"); }

}  // namespace qova::engine
