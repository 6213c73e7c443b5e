#include "bitmap.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include <sys/mman.h>

#include "codes.h"
#include "pixel_memory.h"

namespace qova::engine {

namespace {

// Freed pixel mappings, kept for the next large bitmap. A page the process
// has already touched costs nothing to write again, while a mapping fresh
// from the kernel is zeroed and faulted in page by page, which for a photo
// costs as much as the operation that fills it. Walking a folder and every
// operation that writes a new bitmap free one photo-sized buffer as they
// take the next, so a few kept buffers cover them; the cap bounds what idle
// memory this holds.
class MappingCache {
public:
    static MappingCache& instance() {
        static MappingCache* cache = new MappingCache;  // outlives every static Bitmap
        return *cache;
    }

    // A kept mapping of at least len bytes, shortened to len; null if none.
    uint8_t* take(size_t len) {
        std::lock_guard<std::mutex> hold(lock_);
        size_t best = kept_.size();
        for (size_t i = 0; i < kept_.size(); ++i)
            if (kept_[i].len >= len && (best == kept_.size() || kept_[i].len < kept_[best].len)) best = i;
        if (best == kept_.size()) return nullptr;
        const Entry e = kept_[best];
        kept_.erase(kept_.begin() + std::ptrdiff_t(best));
        bytes_ -= e.len;
        if (e.len > len) munmap(e.bytes + len, e.len - len);
        return e.bytes;
    }

    void give(uint8_t* bytes, size_t len) {
        if (len > kMaxBytes) {
            munmap(bytes, len);
            return;
        }
        std::vector<Entry> drop;
        {
            std::lock_guard<std::mutex> hold(lock_);
            kept_.push_back(Entry{bytes, len});
            bytes_ += len;
            while (bytes_ > kMaxBytes || kept_.size() > kMaxEntries) {
                drop.push_back(kept_.front());
                bytes_ -= kept_.front().len;
                kept_.erase(kept_.begin());
            }
        }
        for (const Entry& e : drop) munmap(e.bytes, e.len);
    }

    void clear() {
        std::vector<Entry> drop;
        {
            std::lock_guard<std::mutex> hold(lock_);
            drop.swap(kept_);
            bytes_ = 0;
        }
        for (const Entry& e : drop) munmap(e.bytes, e.len);
    }

    size_t keptBytes() {
        std::lock_guard<std::mutex> hold(lock_);
        return bytes_;
    }

private:
    struct Entry {
        uint8_t* bytes;
        size_t len;
    };
    static constexpr size_t kMaxBytes = size_t(256) << 20;  // three 24-megapixel colour photos
    static constexpr size_t kMaxEntries = 4;
    std::mutex lock_;
    std::vector<Entry> kept_;
    size_t bytes_ = 0;
};

}  // namespace

Bitmap::Buffer::~Buffer() {
    if (mapped) MappingCache::instance().give(bytes, mapped);
    else std::free(bytes);
}


namespace {

#if defined(__SANITIZE_ADDRESS__)
#define QOVA_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QOVA_ASAN 1
#endif
#endif

// Large pixel buffers are mapped, aligned to 2 MB and on huge pages: a fresh
// 24-megapixel bitmap would otherwise take tens of thousands of page faults
// while a decoder fills it. Fresh mappings read as zero and cost no memory
// until written, so a decoder that stops early (or a picture left mostly
// blank) only pays for what it wrote, and never shows an older picture's
// pixels. A caller that writes every byte (a copy, an operation's result)
// says so and gets a mapping a freed bitmap left instead (see MappingCache). Under AddressSanitizer plain malloc is kept so that overruns
// are caught.
// Set while a caller that writes every byte of its new bitmap creates it.
thread_local bool tlsRewrite = false;

void allocatePixels(size_t bytes, bool zero, uint8_t*& out, size_t& mapped, bool& zeroed, bool rewrite) {
    mapped = 0;
#ifndef QOVA_ASAN
    constexpr size_t kHuge = size_t(2) << 20;
    if (bytes >= kHuge) {
        const size_t len = (bytes + kHuge - 1) & ~(kHuge - 1);
        if (rewrite && !zero) {
            if (uint8_t* kept = MappingCache::instance().take(len)) {
                out = kept;
                mapped = len;
                zeroed = false;
                return;
            }
        }
        void* p = mmap(nullptr, len + kHuge, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED) {
            out = nullptr;
            return;
        }
        const uintptr_t start = uintptr_t(p), aligned = (start + kHuge - 1) & ~uintptr_t(kHuge - 1);
        if (aligned > start) munmap(p, aligned - start);
        if (start + kHuge > aligned) munmap(reinterpret_cast<void*>(aligned + len), start + kHuge - aligned);
        madvise(reinterpret_cast<void*>(aligned), len, MADV_HUGEPAGE);
        out = reinterpret_cast<uint8_t*>(aligned);
        mapped = len;
        zeroed = true;
        return;
    }
#endif
    out = static_cast<uint8_t*>(zero ? std::calloc(bytes, 1) : std::malloc(bytes));
    zeroed = zero;
}

}  // namespace

namespace pixel_memory {

size_t keptBytes() { return MappingCache::instance().keptBytes(); }

void releaseKept() { MappingCache::instance().clear(); }

Bitmap createForRewrite(int width, int height, int bpp, bool grey, int16_t* code) {
    struct Flag {
        Flag() { tlsRewrite = true; }
        ~Flag() { tlsRewrite = false; }
    } flag;
    return Bitmap::create(width, height, bpp, grey, code);
}

}  // namespace pixel_memory

Bitmap Bitmap::create(int width, int height, int bpp, bool grey, int16_t* code) {
    return allocate(width, height, bpp, grey, false, code);
}

Bitmap Bitmap::allocate(int width, int height, int bpp, bool grey, bool zero, int16_t* code) {
    auto fail = [&](int16_t c) {
        if (code) *code = c;
        return Bitmap();
    };
    if (!validBpp(bpp)) return fail(kErrBadBpp);
    if (width <= 0 || height <= 0 || width > kMaxDimension || height > kMaxDimension) return fail(kErrBadSize);
    const size_t stride = strideFor(width, bpp);
    const uint64_t bytes = uint64_t(stride) * uint64_t(height);
    if (bytes > kMaxBitmapBytes) return fail(kErrNoMemory);
    auto buf = std::make_shared<Buffer>();
    bool zeroed = false;
    allocatePixels(bytes, zero, buf->bytes, buf->mapped, zeroed, tlsRewrite);
    if (!buf->bytes) return fail(kErrNoMemory);
    buf->size = bytes;
    if (zero && !zeroed) std::memset(buf->bytes, 0, bytes);
    Bitmap b;
    b.data_ = std::move(buf);
    b.stride_ = stride;
    b.width_ = width;
    b.height_ = height;
    b.bpp_ = bpp;
    b.grey_ = (bpp == 16) || (bpp == 8 && grey);
    if (b.hasPalette()) b.palette_ = bpp == 4 ? vgaPalette() : greyPalette(1 << bpp);
    if (code) *code = kOk;
    return b;
}

Bitmap Bitmap::createFilled(int width, int height, int bpp, bool grey, uint8_t fill, int16_t* code) {
    // Zero comes free with fresh memory: nothing is touched.
    Bitmap b = allocate(width, height, bpp, grey, fill == 0, code);
    if (!b.isNull() && fill != 0) std::memset(b.data_->bytes, fill, b.data_->size);
    return b;
}

uint8_t* Bitmap::mutableBits() {
    if (!data_) return nullptr;
    if (data_.use_count() > 1) {
        auto buf = std::make_shared<Buffer>();
        bool zeroed = false;
        allocatePixels(data_->size, false, buf->bytes, buf->mapped, zeroed, true);
        if (!buf->bytes) throw std::bad_alloc();
        buf->size = data_->size;
        std::memcpy(buf->bytes, data_->bytes, data_->size);
        data_ = std::move(buf);
    }
    return data_->bytes;
}

Bitmap Bitmap::clone() const {
    Bitmap b = *this;
    if (b.data_) {
        b.data_.reset();
        Bitmap fresh = pixel_memory::createForRewrite(width_, height_, bpp_, grey_);
        if (fresh.isNull()) return Bitmap();
        std::memcpy(fresh.data_->bytes, data_->bytes, data_->size);
        b.data_ = fresh.data_;
    }
    return b;
}

int Bitmap::index(int x, int y) const {
    const uint8_t* r = row(y);
    switch (bpp_) {
    case 1: return (r[x >> 3] >> (7 - (x & 7))) & 1;
    case 4: return (x & 1) ? (r[x >> 1] & 0x0F) : (r[x >> 1] >> 4);
    case 8: return r[x];
    case 16: return reinterpret_cast<const uint16_t*>(r)[x] >> 8;
    default: return 0;
    }
}

void Bitmap::setIndex(int x, int y, int v) {
    uint8_t* r = mutableRow(y);
    switch (bpp_) {
    case 1: {
        const uint8_t m = uint8_t(0x80 >> (x & 7));
        if (v & 1) r[x >> 3] |= m; else r[x >> 3] &= uint8_t(~m);
        break;
    }
    case 4:
        if (x & 1) r[x >> 1] = uint8_t((r[x >> 1] & 0xF0) | (v & 0x0F));
        else r[x >> 1] = uint8_t((r[x >> 1] & 0x0F) | ((v & 0x0F) << 4));
        break;
    case 8: r[x] = uint8_t(v); break;
    case 16: reinterpret_cast<uint16_t*>(r)[x] = uint16_t(v); break;
    default: break;
    }
}

Rgb Bitmap::pixel(int x, int y) const {
    const uint8_t* r = row(y);
    switch (bpp_) {
    case 24: return Rgb{r[x * 3 + 2], r[x * 3 + 1], r[x * 3]};
    case 32: return Rgb{r[x * 4 + 2], r[x * 4 + 1], r[x * 4]};
    case 16: {
        const uint8_t g = uint8_t(reinterpret_cast<const uint16_t*>(r)[x] >> 8);
        return Rgb{g, g, g};
    }
    default: {
        const int i = index(x, y);
        if (grey_) return Rgb{uint8_t(i), uint8_t(i), uint8_t(i)};
        if (i < int(palette_.size())) return palette_[size_t(i)];
        return Rgb{};
    }
    }
}

Palette Bitmap::greyPalette(int entries) {
    Palette p(size_t(std::max(entries, 1)));
    const int n = int(p.size());
    for (int i = 0; i < n; ++i) {
        const uint8_t v = n == 1 ? 0 : uint8_t(i * 255 / (n - 1));
        p[size_t(i)] = Rgb{v, v, v};
    }
    return p;
}

Palette Bitmap::vgaPalette() {
    static const uint8_t v[16][3] = {{0, 0, 0},     {128, 0, 0},   {0, 128, 0},   {128, 128, 0},
                                     {0, 0, 128},   {128, 0, 128}, {0, 128, 128}, {192, 192, 192},
                                     {128, 128, 128}, {255, 0, 0}, {0, 255, 0},   {255, 255, 0},
                                     {0, 0, 255},   {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
    Palette p(16);
    for (int i = 0; i < 16; ++i) p[size_t(i)] = Rgb{v[i][0], v[i][1], v[i][2]};
    return p;
}

namespace {

// 6x7x6 colour cube used when a colour image is reduced to 8 bits without a
// smarter quantiser: fast, stable and good enough for a default.
Palette cubePalette() {
    Palette p;
    p.reserve(256);
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 7; ++g)
            for (int b = 0; b < 6; ++b)
                p.push_back(Rgb{uint8_t(r * 51), uint8_t(g * 255 / 6), uint8_t(b * 51)});
    while (p.size() < 256) p.push_back(Rgb{});
    return p;
}

inline int cubeIndex(int r, int g, int b) {
    return ((r * 5 + 127) / 255) * 42 + ((g * 6 + 127) / 255) * 6 + ((b * 5 + 127) / 255);
}

}  // namespace

bool isGreyPalette(const Palette& p) {
    return std::all_of(p.begin(), p.end(), [](const Rgb& c) { return c.r == c.g && c.g == c.b; });
}

int nearestEntry(const Palette& p, Rgb c) {
    int best = 0, bestD = 1 << 30;
    for (size_t i = 0; i < p.size(); ++i) {
        const int dr = p[i].r - c.r, dg = p[i].g - c.g, db = p[i].b - c.b;
        const int d = dr * dr * 3 + dg * dg * 4 + db * db * 2;
        if (d < bestD) {
            bestD = d;
            best = int(i);
            if (d == 0) break;
        }
    }
    return best;
}

RectI RectI::intersected(const RectI& o) const {
    const int l = std::max(x, o.x), t = std::max(y, o.y);
    const int r = std::min(x + w, o.x + o.w), b = std::min(y + h, o.y + o.h);
    if (r <= l || b <= t) return RectI{};
    return RectI{l, t, r - l, b - t};
}

Bitmap crop(const Bitmap& src, const RectI& r0) {
    const RectI r = r0.intersected(RectI{0, 0, src.width(), src.height()});
    if (r.isEmpty()) return Bitmap();
    if (r.x == 0 && r.y == 0 && r.w == src.width() && r.h == src.height()) return src;  // shares the pixels
    Bitmap out = Bitmap::create(r.w, r.h, src.bpp(), src.isGrey());
    if (out.isNull()) return out;
    out.setPalette(src.palette());
    if (src.bpp() >= 8) {
        const int bpp = src.bpp() / 8;
        for (int y = 0; y < r.h; ++y)
            std::memcpy(out.mutableRow(y), src.row(r.y + y) + size_t(r.x) * bpp, size_t(r.w) * bpp);
    } else {
        std::memset(out.mutableBits(), 0, out.byteSize());
        for (int y = 0; y < r.h; ++y)
            for (int x = 0; x < r.w; ++x) out.setIndex(x, y, src.index(r.x + x, r.y + y));
    }
    return out;
}

Bitmap Bitmap::convertTo(int bpp, int16_t* code) const {
    if (code) *code = kOk;
    if (isNull()) { if (code) *code = kErrBadHandle; return Bitmap(); }
    if (!validBpp(bpp)) { if (code) *code = kErrBadBpp; return Bitmap(); }
    if (bpp == bpp_) return *this;

    const int w = width_, h = height_;
    if (bpp == 24 || bpp == 32) {
        Bitmap out = create(w, h, bpp, false, code);
        if (out.isNull()) return out;
        const int n = bpp / 8;
        for (int y = 0; y < h; ++y) {
            uint8_t* d = out.mutableRow(y);
            const uint8_t* s = row(y);
            for (int x = 0; x < w; ++x) {
                uint8_t* p = d + x * n;
                if (bpp_ == 24 || bpp_ == 32) {
                    const int sn = bpp_ / 8;
                    p[0] = s[x * sn]; p[1] = s[x * sn + 1]; p[2] = s[x * sn + 2];
                    if (n == 4) p[3] = sn == 4 ? s[x * 4 + 3] : 255;
                } else {
                    const Rgb c = pixel(x, y);
                    p[0] = c.b; p[1] = c.g; p[2] = c.r;
                    if (n == 4) p[3] = 255;
                }
            }
        }
        return out;
    }
    if (bpp == 16) {
        Bitmap out = create(w, h, 16, true, code);
        if (out.isNull()) return out;
        for (int y = 0; y < h; ++y) {
            auto* d = reinterpret_cast<uint16_t*>(out.mutableRow(y));
            for (int x = 0; x < w; ++x) {
                const Rgb c = pixel(x, y);
                d[x] = uint16_t(luma(c.r, c.g, c.b) * 257);
            }
        }
        return out;
    }
    // 1, 4 or 8 bits.
    const bool toGrey = grey_ && bpp == 8;
    Bitmap out = create(w, h, bpp, toGrey, code);
    if (out.isNull()) return out;
    Palette pal;
    const bool greySource = grey_ || (hasPalette() && isGreyPalette(palette_));
    if (toGrey) {
        // palette-less grey
    } else if (bpp == 8 && !greySource) {
        pal = cubePalette();
    } else if (bpp == 4 && !greySource) {
        pal = vgaPalette();
    } else {
        pal = greyPalette(1 << bpp);
    }
    if (!toGrey) out.setPalette(pal);
    const bool cube = bpp == 8 && !greySource && !toGrey;
    std::vector<int> map;
    if (hasPalette()) {
        map.resize(palette_.size());
        for (size_t i = 0; i < palette_.size(); ++i) {
            const Rgb c = palette_[i];
            map[i] = cube ? cubeIndex(c.r, c.g, c.b) : nearestEntry(pal, c);
        }
    }
    std::memset(out.mutableBits(), 0, out.byteSize());
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            int v;
            if (hasPalette()) {
                const int i = index(x, y);
                v = i < int(map.size()) ? map[size_t(i)] : 0;
            } else {
                const Rgb c = pixel(x, y);
                if (toGrey) v = luma(c.r, c.g, c.b);
                else if (cube) v = cubeIndex(c.r, c.g, c.b);
                else if (greySource) {
                    v = (luma(c.r, c.g, c.b) * ((1 << bpp) - 1) + 127) / 255;
                } else v = nearestEntry(pal, c);
            }
            out.setIndex(x, y, v);
        }
    }
    return out;
}

}  // namespace qova::engine
