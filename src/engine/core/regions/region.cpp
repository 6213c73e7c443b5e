#include "region.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "../bitmap.h"

namespace qova::engine {

Region Region::rectangle(const RectI& r) {
    Region g;
    if (r.isEmpty()) return g;
    g.bounds_ = r;
    g.shape_ = RegionShape::Rectangle;
    return g;
}

Region Region::roundedRect(const RectI& r, int rx, int ry) {
    if (r.isEmpty()) return Region();
    rx = std::clamp(rx, 0, r.w / 2);
    ry = std::clamp(ry, 0, r.h / 2);
    if (rx == 0 || ry == 0) {
        Region g = rectangle(r);
        g.shape_ = RegionShape::RoundedRect;
        return g;
    }
    std::vector<uint8_t> m(size_t(r.w) * size_t(r.h), 1);
    // Corners: pixel centres outside the corner ellipse are cut away.
    for (int y = 0; y < ry; ++y) {
        const double dy = (ry - (y + 0.5)) / ry;
        const double half = rx * std::sqrt(std::max(0.0, 1.0 - dy * dy));
        const int cut = std::clamp(int(std::lround(rx - half)), 0, rx);
        for (int x = 0; x < cut; ++x) {
            m[size_t(y) * r.w + x] = 0;
            m[size_t(y) * r.w + (r.w - 1 - x)] = 0;
            m[size_t(r.h - 1 - y) * r.w + x] = 0;
            m[size_t(r.h - 1 - y) * r.w + (r.w - 1 - x)] = 0;
        }
    }
    Region g;
    g.bounds_ = r;
    g.mask_ = std::move(m);
    g.shape_ = RegionShape::RoundedRect;
    return g;
}

Region Region::ellipse(const RectI& r) {
    if (r.isEmpty()) return Region();
    std::vector<uint8_t> m(size_t(r.w) * size_t(r.h), 0);
    const double a = r.w / 2.0, b = r.h / 2.0;
    for (int y = 0; y < r.h; ++y) {
        const double dy = (y + 0.5 - b) / b;
        if (dy * dy > 1.0) continue;
        const double half = a * std::sqrt(1.0 - dy * dy);
        // Pixel centres x + 0.5 within [a - half, a + half].
        const int x0 = std::max(0, int(std::ceil(a - half - 0.5)));
        const int x1 = std::min(r.w - 1, int(std::floor(a + half - 0.5)));
        if (x1 >= x0) std::memset(&m[size_t(y) * r.w + x0], 1, size_t(x1 - x0 + 1));
    }
    Region g;
    g.bounds_ = r;
    g.mask_ = std::move(m);
    g.shape_ = RegionShape::Ellipse;
    g.trim();
    return g;
}

Region Region::polygon(const std::vector<PointF>& pts) {
    if (pts.size() < 3) return Region();
    double minX = pts[0].x, maxX = pts[0].x, minY = pts[0].y, maxY = pts[0].y;
    for (const PointF& p : pts) {
        minX = std::min(minX, p.x); maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y); maxY = std::max(maxY, p.y);
    }
    const RectI box{int(std::floor(minX)), int(std::floor(minY)),
                    int(std::ceil(maxX)) - int(std::floor(minX)) + 1,
                    int(std::ceil(maxY)) - int(std::floor(minY)) + 1};
    std::vector<uint8_t> m(size_t(box.w) * size_t(box.h), 0);
    std::vector<double> xs;
    const size_t n = pts.size();
    for (int row = 0; row < box.h; ++row) {
        const double cy = box.y + row + 0.5;
        xs.clear();
        for (size_t i = 0; i < n; ++i) {
            const PointF& p = pts[i];
            const PointF& q = pts[(i + 1) % n];
            if ((p.y <= cy && q.y > cy) || (q.y <= cy && p.y > cy))
                xs.push_back(p.x + (cy - p.y) * (q.x - p.x) / (q.y - p.y));
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            // Pixel centres box.x + col + 0.5 inside [xs[i], xs[i+1]).
            const int c0 = std::max(0, int(std::ceil(xs[i] - box.x - 0.5)));
            const int c1 = std::min(box.w - 1, int(std::ceil(xs[i + 1] - box.x - 0.5)) - 1);
            if (c1 >= c0) std::memset(&m[size_t(row) * box.w + c0], 1, size_t(c1 - c0 + 1));
        }
    }
    Region g;
    g.bounds_ = box;
    g.mask_ = std::move(m);
    g.shape_ = RegionShape::Freehand;
    g.trim();
    return g;
}

Region Region::fromMask(int x, int y, int w, int h, const uint8_t* mask, size_t maskStride) {
    if (w <= 0 || h <= 0 || !mask) return Region();
    Region g;
    g.bounds_ = RectI{x, y, w, h};
    g.mask_.resize(size_t(w) * size_t(h));
    for (int r = 0; r < h; ++r)
        for (int c = 0; c < w; ++c) g.mask_[size_t(r) * w + c] = mask[size_t(r) * maskStride + c] ? 1 : 0;
    g.shape_ = RegionShape::Mask;
    g.trim();
    return g;
}

// Shrinks the box to the pixels inside; drops the mask when it is full.
void Region::trim() {
    if (mask_.empty()) return;
    const int w = bounds_.w, h = bounds_.h;
    int l = w, r = -1, t = h, b = -1;
    for (int y = 0; y < h; ++y) {
        const uint8_t* row = &mask_[size_t(y) * w];
        for (int x = 0; x < w; ++x)
            if (row[x]) {
                l = std::min(l, x); r = std::max(r, x);
                t = std::min(t, y); b = std::max(b, y);
            }
    }
    if (r < 0) { *this = Region(); return; }
    if (l != 0 || t != 0 || r != w - 1 || b != h - 1) {
        const int nw = r - l + 1, nh = b - t + 1;
        std::vector<uint8_t> m(size_t(nw) * size_t(nh));
        for (int y = 0; y < nh; ++y) std::memcpy(&m[size_t(y) * nw], &mask_[size_t(y + t) * w + l], size_t(nw));
        mask_ = std::move(m);
        bounds_ = RectI{bounds_.x + l, bounds_.y + t, nw, nh};
    }
    if (std::all_of(mask_.begin(), mask_.end(), [](uint8_t v) { return v != 0; })) mask_.clear();
}

bool Region::contains(int x, int y) const {
    if (bounds_.isEmpty()) return false;
    const int cx = x - bounds_.x, cy = y - bounds_.y;
    if (cx < 0 || cy < 0 || cx >= bounds_.w || cy >= bounds_.h) return false;
    return mask_.empty() || mask_[size_t(cy) * bounds_.w + cx] != 0;
}

const uint8_t* Region::maskRow(int y) const {
    const int cy = y - bounds_.y;
    if (mask_.empty() || cy < 0 || cy >= bounds_.h) return nullptr;
    return &mask_[size_t(cy) * bounds_.w];
}

int64_t Region::area() const {
    if (bounds_.isEmpty()) return 0;
    if (mask_.empty()) return int64_t(bounds_.w) * bounds_.h;
    return std::count_if(mask_.begin(), mask_.end(), [](uint8_t v) { return v != 0; });
}

Region Region::intersected(const RectI& r) const {
    const RectI box = bounds_.intersected(r);
    if (box.isEmpty()) return Region();
    if (box == bounds_) return *this;
    Region g;
    g.bounds_ = box;
    g.shape_ = shape_;
    if (!mask_.empty()) {
        g.mask_.resize(size_t(box.w) * size_t(box.h));
        for (int y = 0; y < box.h; ++y)
            std::memcpy(&g.mask_[size_t(y) * box.w],
                        &mask_[size_t(y + box.y - bounds_.y) * bounds_.w + (box.x - bounds_.x)], size_t(box.w));
        g.trim();
    }
    return g;
}

Region Region::normalised() const {
    Region g = *this;
    g.bounds_.x = 0;
    g.bounds_.y = 0;
    return g;
}

Bitmap Region::toMaskBitmap(int width, int height) const {
    Bitmap m = Bitmap::createFilled(width, height, 8, true, 0);
    if (m.isNull()) return m;
    const RectI clip = bounds_.intersected(RectI{0, 0, width, height});
    for (int y = clip.y; y < clip.y + clip.h; ++y) {
        uint8_t* d = m.mutableRow(y);
        const uint8_t* mr = maskRow(y);
        for (int x = clip.x; x < clip.x + clip.w; ++x)
            d[x] = (!mr || mr[x - bounds_.x]) ? 255 : 0;
    }
    return m;
}

Region Region::fromMaskBitmap(const Bitmap& mask, RegionShape shape) {
    if (mask.isNull() || mask.bpp() != 8) return Region();
    Region g = fromMask(0, 0, mask.width(), mask.height(), mask.bits(), mask.stride());
    if (!g.isEmpty()) g.shape_ = shape;
    return g;
}

bool Region::operator==(const Region& o) const {
    if (bounds_ != o.bounds_) return false;
    if (mask_.empty() != o.mask_.empty()) return false;
    return mask_ == o.mask_;
}

}  // namespace qova::engine
