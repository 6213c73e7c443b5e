#include "region_handles.h"

#include <mutex>
#include <unordered_map>

#include "../codes.h"

namespace qova::engine {

namespace {

struct Table {
    std::mutex lock;
    std::unordered_map<int32_t, Region> regions;
    int32_t next = 1;
};

Table& table() {
    static Table t;
    return t;
}

}  // namespace

int32_t regionHandleCreate(const Region& region) {
    Table& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    // Skip 0 and any handle still alive after the counter wrapped.
    while (t.next <= 0 || t.regions.count(t.next)) t.next = t.next <= 0 ? 1 : t.next + 1;
    const int32_t h = t.next++;
    t.regions.emplace(h, region);
    return h;
}

std::optional<Region> regionHandleGet(int32_t handle) {
    Table& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.regions.find(handle);
    if (it == t.regions.end()) return std::nullopt;
    return it->second;
}

int16_t regionHandleDelete(int32_t handle) {
    Table& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return t.regions.erase(handle) ? int16_t(kOk) : int16_t(kErrBadHandle);
}

int regionHandleCount() {
    Table& t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return int(t.regions.size());
}

}  // namespace qova::engine
