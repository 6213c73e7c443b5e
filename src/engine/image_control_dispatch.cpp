// Dispatch by id over the tables of the control's feature areas.
#include <string>

#include "control_dispatch.h"
#include "core/codes.h"
#include "dispatch_ids.h"
#include "engine_error.h"
#include "image_control.h"

namespace qova::engine {

namespace {

using Area = std::span<const dispatch::Entry> (*)();

// One line per feature area (see control_dispatch.h).
constexpr Area kAreas[] = {
    dispatch::documentEntries,
    dispatch::viewEntries,
    // processing
    dispatch::opsEntries,

    // regions
    dispatch::regionEntries,

    // animation
    dispatch::animationEntries,

    // output
    dispatch::outputEntries,

    // display
    dispatch::displayEntries,

    // data binding
    dispatch::dataEntries,
};

const dispatch::Entry* findEntry(int id, bool put) {
    for (Area area : kAreas)
        for (const dispatch::Entry& e : area())
            if (e.id == id && (put ? e.put != nullptr : e.get != nullptr)) return &e;
    return nullptr;
}

}  // namespace

QVariant ImageControl::dispatch(int id, const QVariantList& args) {
    const dispatch::Entry* e = findEntry(id, false);
    if (!e) throw EngineError(kErrBadParam, "unknown dispatch id " + std::to_string(id));
    return e->get(*this, args);
}

void ImageControl::dispatchPut(int id, const QVariant& value) {
    const dispatch::Entry* e = findEntry(id, true);
    if (!e) throw EngineError(kErrBadParam, "read-only or unknown dispatch id " + std::to_string(id));
    e->put(*this, value);
}

std::vector<dispid::Entry> ImageControl::dispatchTable() {
    std::vector<dispid::Entry> out;
    for (Area area : kAreas)
        for (const dispatch::Entry& e : area()) out.push_back(dispid::Entry{e.id, e.member});
    return out;
}

}  // namespace qova::engine
