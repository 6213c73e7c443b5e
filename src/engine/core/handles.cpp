#include "handles.h"

namespace qova::engine {

HandleTable& HandleTable::instance() {
    static HandleTable table;
    return table;
}

uint32_t HandleTable::add(const Bitmap& b) {
    std::lock_guard lock(mutex_);
    const uint32_t h = next_++;
    entries_[h] = Entry{b, {}};
    return h;
}

uint32_t HandleTable::addProvider(std::function<Bitmap()> provider) {
    std::lock_guard lock(mutex_);
    const uint32_t h = next_++;
    entries_[h] = Entry{Bitmap(), std::move(provider)};
    return h;
}

bool HandleTable::set(uint32_t h, const Bitmap& b) {
    std::lock_guard lock(mutex_);
    auto it = entries_.find(h);
    if (it == entries_.end() || it->second.provider) return false;
    it->second.bitmap = b;
    return true;
}

bool HandleTable::get(uint32_t h, Bitmap& out) const {
    std::function<Bitmap()> provider;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(h);
        if (h == 0 || it == entries_.end()) return false;
        if (!it->second.provider) {
            out = it->second.bitmap;
            return !out.isNull();
        }
        provider = it->second.provider;
    }
    out = provider();
    return !out.isNull();
}

void HandleTable::remove(uint32_t h) {
    std::lock_guard lock(mutex_);
    entries_.erase(h);
}

size_t HandleTable::size() const {
    std::lock_guard lock(mutex_);
    return entries_.size();
}

}  // namespace qova::engine
