#include "budget.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>

#include "../bitmap.h"

namespace qova::engine {

namespace {

std::atomic<uint64_t> overrideCeiling{0};

uint64_t defaultCeiling() {
    static const uint64_t value = [] {
        const long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
        const uint64_t physical = pages > 0 && pageSize > 0 ? uint64_t(pages) * uint64_t(pageSize) : 4ull << 30;
        return std::clamp<uint64_t>(physical / 4, 256ull << 20, kMaxBitmapBytes);
    }();
    return value;
}

}  // namespace

uint64_t loadCeiling() {
    const uint64_t o = overrideCeiling.load(std::memory_order_relaxed);
    return o ? o : defaultCeiling();
}

void setLoadCeiling(uint64_t bytes) { overrideCeiling.store(bytes, std::memory_order_relaxed); }

bool PlausibleFile::admit(uint64_t decodedBytes, uint64_t dataBytes, uint64_t ratio) {
    const uint64_t filled = dataBytes > UINT64_MAX / std::max<uint64_t>(ratio, 1) ? UINT64_MAX : dataBytes * ratio;
    if (decodedBytes <= filled) return true;
    if (decodedBytes - filled > slackLeft_) return false;
    slackLeft_ -= decodedBytes - filled;
    return true;
}

bool fitsCeiling(int width, int height, int bpp) {
    if (width <= 0 || height <= 0) return true;  // refused elsewhere, for its own reason
    return uint64_t(Bitmap::strideFor(width, bpp)) * uint64_t(height) <= loadCeiling();
}

bool plausibleSize(uint64_t decodedBytes, uint64_t dataBytes, uint64_t ratio) {
    if (decodedBytes <= kPlausibleSlack) return true;
    // Written as a division so that huge data sizes cannot overflow.
    return ratio > 0 && (decodedBytes - kPlausibleSlack + ratio - 1) / ratio <= dataBytes;
}

}  // namespace qova::engine
