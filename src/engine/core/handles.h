// Process-wide bitmap handles: a number naming one bitmap (0 = none).
// Putting a handle into a control copies the bitmap it names (pixels stay
// shared until either side writes).
#pragma once

#include <cstdint>
#include <functional>

#include "bitmap.h"
#include "handle_registry.h"
#include "regions/region.h"

namespace qova::engine {

class HandleTable {
public:
    static HandleTable& instance();

    // A handle holding its own copy of `b`.
    uint32_t add(const Bitmap& b);
    // A live handle: whoever reads it gets what `provider` returns at that time
    // (documents name their current bitmap this way without holding a reference).
    uint32_t addProvider(std::function<Bitmap()> provider);
    // The same for a bitmap that carries a region (the floater): putting its
    // handle into a control carries the region along.
    uint32_t addProvider(std::function<Bitmap()> provider, std::function<Region()> region);
    // Replaces the bitmap of a handle made with add(); false if unknown.
    bool set(uint32_t h, const Bitmap& b);
    // The bitmap a handle names; false for 0, unknown or freed handles.
    bool get(uint32_t h, Bitmap& out) const;
    // The region a handle carries; false when it carries none.
    bool region(uint32_t h, Region& out) const;
    void remove(uint32_t h);
    size_t size() const;

private:
    struct Entry {
        Bitmap bitmap;
        std::function<Bitmap()> provider;
        std::function<Region()> region;
    };
    HandleRegistry<uint32_t, Entry> entries_;
};

}  // namespace qova::engine
