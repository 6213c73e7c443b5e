#include "handles.h"

namespace qova::engine {

HandleTable& HandleTable::instance() {
    static HandleTable table;
    return table;
}

uint32_t HandleTable::add(const Bitmap& b) { return entries_.add(Entry{b, {}, {}}); }

uint32_t HandleTable::addProvider(std::function<Bitmap()> provider) {
    return entries_.add(Entry{Bitmap(), std::move(provider), {}});
}

uint32_t HandleTable::addProvider(std::function<Bitmap()> provider, std::function<Region()> region) {
    return entries_.add(Entry{Bitmap(), std::move(provider), std::move(region)});
}

bool HandleTable::set(uint32_t h, const Bitmap& b) {
    return entries_.update(h, [&](Entry& e) {
        if (e.provider) return false;
        e.bitmap = b;
        return true;
    });
}

bool HandleTable::get(uint32_t h, Bitmap& out) const {
    // The provider runs outside the lock: it may read a document that is
    // itself asking for a handle.
    const auto e = entries_.get(h);
    if (!e) return false;
    out = e->provider ? e->provider() : e->bitmap;
    return !out.isNull();
}

bool HandleTable::region(uint32_t h, Region& out) const {
    const auto e = entries_.get(h);
    if (!e || !e->region) return false;
    out = e->region();
    return true;
}

void HandleTable::remove(uint32_t h) { entries_.remove(h); }

size_t HandleTable::size() const { return entries_.size(); }

}  // namespace qova::engine
