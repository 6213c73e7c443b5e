#include "histogram.h"

#include <deque>
#include <mutex>
#include <vector>

#include "../codes.h"
#include "op_support.h"

namespace qova::engine::ops {

int16_t histogram(const Bitmap& bmp, int channel, Histogram& out, const Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (channel < 0 || channel > 3) return kErrBadParam;
    out.fill(0);
    const RectI area = workArea(bmp, region);
    Progress pr(progress);
    if (area.isEmpty()) return kOk;
    // Level of each palette index for the chosen channel.
    uint8_t palLevel[256] = {};
    if (bmp.hasPalette()) {
        const Palette& p = bmp.palette();
        for (size_t i = 0; i < p.size() && i < 256; ++i) {
            const Rgb c = p[i];
            palLevel[i] = uint8_t(channel == kHistLuma ? luma(c.r, c.g, c.b)
                                  : channel == kHistRed ? c.r : channel == kHistGreen ? c.g : c.b);
        }
    }
    // Byte offset of the channel inside a 24/32-bit pixel (B, G, R order).
    const int chanOff = channel == kHistRed ? 2 : channel == kHistGreen ? 1 : 0;
    const bool masked = region && !region->isRectangle();
    std::mutex lock;
    // Whole rows count their levels two at a time in tables kept per worker
    // for the whole call (too large to clear for every band).
    std::deque<PairCounts> tables;  // stays in place as it grows
    std::vector<PairCounts*> idle;
    parallelRows(area.y, area.y + area.h, pr, 0, 100, [&](int y0, int y1) {
        Histogram local{};
        const int cn = bmp.bpp() / 8;
        PairCounts* counts = nullptr;
        std::vector<uint8_t> levels;
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = bmp.row(y);
            const uint8_t* m = masked ? region->maskRow(y) : nullptr;
            const int mo = masked ? region->bounds().x : 0;
            if (!m && (cn == 3 || cn == 4 || (cn == 1 && bmp.isGrey()))) {
                if (!counts) {
                    std::lock_guard<std::mutex> g(lock);
                    if (idle.empty()) idle.push_back(&tables.emplace_back());
                    counts = idle.back();
                    idle.pop_back();
                }
                // Whole rows: the levels of the row first, then one counting loop.
                const uint8_t* row = s + size_t(area.x) * cn;
                if (cn == 1) {
                    counts->add(row, area.w);
                    continue;
                }
                levels.resize(size_t(area.w));
                if (channel == kHistLuma) lumaRow(row, cn, area.w, levels.data());
                else for (int x = 0; x < area.w; ++x) levels[size_t(x)] = row[size_t(x) * cn + chanOff];
                counts->add(levels.data(), area.w);
                continue;
            }
            for (int x = area.x; x < area.x + area.w; ++x) {
                if (m && !m[x - mo]) continue;
                int v;
                switch (bmp.bpp()) {
                case 24:
                case 32: {
                    const uint8_t* p = s + size_t(x) * (bmp.bpp() / 8);
                    v = channel == kHistLuma ? luma(p[2], p[1], p[0]) : p[chanOff];
                    break;
                }
                case 16: v = reinterpret_cast<const uint16_t*>(s)[x] >> 8; break;
                case 8: v = bmp.isGrey() ? s[x] : palLevel[s[x]]; break;
                default: v = palLevel[bmp.index(x, y)]; break;
                }
                ++local[size_t(v)];
            }
        }
        std::lock_guard<std::mutex> g(lock);
        if (counts) idle.push_back(counts);
        for (int i = 0; i < 256; ++i) out[size_t(i)] += local[size_t(i)];
    });
    for (const PairCounts& t : tables) t.addTo(out.data());
    pr.done();
    return kOk;
}

int16_t countColours(const Bitmap& bmp, uint32_t& count, const ProgressFn& progress) {
    count = 0;
    if (bmp.isNull()) return kErrBadHandle;
    Progress pr(progress);
    const int w = bmp.width();
    if (bmp.hasPalette() || bmp.bpp() == 16 || (bmp.bpp() == 8 && bmp.isGrey())) {
        // Small value spaces: mark what is used, then count distinct colours.
        std::vector<uint8_t> used(bmp.bpp() == 16 ? 65536 : 256, 0);
        std::mutex lock;
        parallelRows(0, bmp.height(), pr, 0, 90, [&](int y0, int y1) {
            std::vector<uint8_t> local(used.size(), 0);
            for (int y = y0; y < y1; ++y) {
                const uint8_t* s = bmp.row(y);
                if (bmp.bpp() == 16) {
                    const auto* s16 = reinterpret_cast<const uint16_t*>(s);
                    for (int x = 0; x < w; ++x) local[s16[x]] = 1;
                } else if (bmp.bpp() == 8) {
                    for (int x = 0; x < w; ++x) local[s[x]] = 1;
                } else {
                    for (int x = 0; x < w; ++x) local[size_t(bmp.index(x, y))] = 1;
                }
            }
            std::lock_guard<std::mutex> g(lock);
            for (size_t i = 0; i < used.size(); ++i) used[i] |= local[i];
        });
        if (bmp.hasPalette()) {
            std::vector<uint8_t> seen(1u << 24, 0);
            for (size_t i = 0; i < 256 && i < used.size(); ++i) {
                if (!used[i]) continue;
                const Rgb c = i < bmp.palette().size() ? bmp.palette()[i] : Rgb{};
                uint8_t& s = seen[(uint32_t(c.r) << 16) | (uint32_t(c.g) << 8) | c.b];
                if (!s) { s = 1; ++count; }
            }
        } else {
            for (uint8_t u : used) count += u;
        }
        pr.done();
        return kOk;
    }
    // 24/32 bits: one bit per possible colour (2 MiB). Each worker marks
    // its own table with plain stores (shared tables need atomic writes,
    // which cost more than the marking itself); the tables are merged once.
    constexpr size_t kWords = (1u << 24) / 64;
    std::deque<std::vector<uint64_t>> tables;  // stays in place as it grows
    std::vector<std::vector<uint64_t>*> idle;
    std::mutex lock;
    const int n = bmp.bpp() / 8;
    parallelRows(0, bmp.height(), pr, 0, 90, [&](int y0, int y1) {
        std::vector<uint64_t>* table;
        {
            std::lock_guard<std::mutex> g(lock);
            if (idle.empty()) {
                tables.emplace_back(kWords, 0);
                idle.push_back(&tables.back());
            }
            table = idle.back();
            idle.pop_back();
        }
        uint64_t* bits = table->data();
        for (int y = y0; y < y1; ++y) {
            const uint8_t* s = bmp.row(y);
            uint32_t prev = 0xFFFFFFFF;
            for (int x = 0; x < w; ++x, s += n) {
                const uint32_t c = uint32_t(s[0]) | (uint32_t(s[1]) << 8) | (uint32_t(s[2]) << 16);
                if (c == prev) continue;  // runs of one colour are common in photos and drawings
                prev = c;
                bits[c >> 6] |= uint64_t(1) << (c & 63);
            }
        }
        std::lock_guard<std::mutex> g(lock);
        idle.push_back(table);
    });
    std::vector<uint64_t> bits(kWords, 0);
    for (const std::vector<uint64_t>& t : tables)
        for (size_t i = 0; i < kWords; ++i) bits[i] |= t[i];
    pr.to(95);
    uint64_t total = 0;
    for (uint64_t word : bits) total += uint64_t(__builtin_popcountll(word));
    count = uint32_t(total);
    pr.done();
    return kOk;
}

}  // namespace qova::engine::ops
