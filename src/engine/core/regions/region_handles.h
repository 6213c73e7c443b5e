// Region handles: a process-wide table that lets a region outlive the
// bitmap it was taken from (the floater's region, a region handed from one
// engine control to another). Handle 0 names no region. Safe from any thread.
#pragma once

#include <cstdint>
#include <optional>

#include "region.h"

namespace qova::engine {

// Stores a copy of the region and returns its new handle (never 0).
int32_t regionHandleCreate(const Region& region);
// The region a handle holds, or nothing for 0 and deleted handles.
std::optional<Region> regionHandleGet(int32_t handle);
// kOk, or kErrBadHandle when the handle holds nothing.
int16_t regionHandleDelete(int32_t handle);
// Handles still alive (for leak checks in tests).
int regionHandleCount();

}  // namespace qova::engine
