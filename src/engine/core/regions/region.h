// A region: the set of bitmap pixels an operation may change. It is a mask
// over a bounding box in bitmap coordinates; the box may reach outside the
// bitmap (operations clip it). A rectangle keeps no mask at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "../bitmap.h"

namespace qova::engine {

struct PointF {
    double x = 0, y = 0;
};

// Shape numbers of the region tracking tool.
enum class RegionShape : int { None = 0, Rectangle = 1, RoundedRect = 2, Ellipse = 3, Freehand = 4, Mask = 5 };

class Region {
public:
    Region() = default;

    static Region rectangle(const RectI& r);
    // Corner ellipses of rx × ry pixels (limited to half the box).
    static Region roundedRect(const RectI& r, int rx, int ry);
    static Region ellipse(const RectI& r);
    // Closed polygon through the points, even-odd filling, pixel centres tested.
    static Region polygon(const std::vector<PointF>& points);
    // Pixels of an 8-bit mask (w × h bytes, row after row) that are not 0,
    // placed with the mask's top-left at (x, y).
    static Region fromMask(int x, int y, int w, int h, const uint8_t* mask, size_t maskStride);

    bool isEmpty() const { return bounds_.isEmpty(); }
    RegionShape shape() const { return shape_; }
    const RectI& bounds() const { return bounds_; }
    bool isRectangle() const { return mask_.empty() && !bounds_.isEmpty(); }

    bool contains(int x, int y) const;
    // Mask bytes (0 or 1) of bitmap row y from bounds().x, bounds().w long;
    // nullptr when the whole row span is inside (rectangle) or y is outside.
    const uint8_t* maskRow(int y) const;
    // Number of pixels inside.
    int64_t area() const;

    void offset(int dx, int dy) { bounds_.x += dx; bounds_.y += dy; }
    // The part inside `r` (a tracked shape clipped to the bitmap).
    Region intersected(const RectI& r) const;
    // The same region with its box moved so that it starts at (0, 0).
    Region normalised() const;

    // A bitmap-sized 8-bit grey mask (255 inside), for transforms that move
    // pixels and must move the region with them.
    Bitmap toMaskBitmap(int width, int height) const;
    static Region fromMaskBitmap(const Bitmap& mask, RegionShape shape = RegionShape::Mask);

    bool operator==(const Region& o) const;

private:
    void trim();

    RectI bounds_;
    std::vector<uint8_t> mask_;  // bounds_.w × bounds_.h, empty for a rectangle
    RegionShape shape_ = RegionShape::None;
};

}  // namespace qova::engine
