#include "region_handles.h"

#include "../codes.h"
#include "../handle_registry.h"

namespace qova::engine {

namespace {

HandleRegistry<int32_t, Region>& table() {
    static HandleRegistry<int32_t, Region> t;
    return t;
}

}  // namespace

int32_t regionHandleCreate(const Region& region) { return table().add(region); }

std::optional<Region> regionHandleGet(int32_t handle) { return table().get(handle); }

int16_t regionHandleDelete(int32_t handle) { return table().remove(handle) ? int16_t(kOk) : int16_t(kErrBadHandle); }

int regionHandleCount() { return int(table().size()); }

}  // namespace qova::engine
