#include "geometry.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include "../codes.h"
#include "cv_view.h"
#include "op_support.h"
#include "pixel_runs.h"
#include "ranges.h"

namespace qova::engine::ops {

namespace {

// 1 and 4-bit pixels are moved as one index per byte, then packed again.
Bitmap unpackIndices(const Bitmap& b) {
    if (b.bpp() >= 8) return b;
    Bitmap out = Bitmap::create(b.width(), b.height(), 8, false);
    if (out.isNull()) return out;
    out.setPalette(b.palette());
    for (int y = 0; y < b.height(); ++y) {
        uint8_t* d = out.mutableRow(y);
        for (int x = 0; x < b.width(); ++x) d[x] = uint8_t(b.index(x, y));
    }
    return out;
}

Bitmap packIndices(const Bitmap& b, int bpp) {
    if (bpp >= 8) return b;
    Bitmap out = Bitmap::createFilled(b.width(), b.height(), bpp, false, 0);
    if (out.isNull()) return out;
    out.setPalette(b.palette());
    for (int y = 0; y < b.height(); ++y) {
        const uint8_t* s = b.row(y);
        for (int x = 0; x < b.width(); ++x) out.setIndex(x, y, s[x]);
    }
    return out;
}

cv::Scalar fillScalar(const Bitmap& b, uint32_t colour) {
    const Rgb c = rgbFromRef(colour);
    if (b.hasPalette()) return cv::Scalar(nearestEntry(b.palette(), c));
    if (b.bpp() == 8) return cv::Scalar(luma(c.r, c.g, c.b));
    if (b.bpp() == 16) return cv::Scalar(luma(c.r, c.g, c.b) * 257);
    return cv::Scalar(c.b, c.g, c.r, 255);
}

// Warps the bitmap into a new one of size (w, h) with the forward affine map
// m, in bands so progress can be reported; the region's mask follows.
int16_t warp(Bitmap& bmp, const cv::Mat& m, int w, int h, uint32_t fill, Region* region, Progress& pr) {
    if (w <= 0 || h <= 0 || w > kMaxDimension || h > kMaxDimension) return kErrBadSize;
    const int bpp = bmp.bpp();
    const Bitmap src = unpackIndices(bmp);
    if (src.isNull()) return kErrNoMemory;
    int16_t code = kOk;
    Bitmap dst = Bitmap::create(w, h, src.bpp(), src.isGrey(), &code);
    if (dst.isNull()) return code;
    dst.setPalette(src.palette());
    const cv::Mat s = wrap(src);
    cv::Mat d = wrap(dst);
    const int interp = src.hasPalette() ? cv::INTER_NEAREST : cv::INTER_LINEAR;
    cv::Mat inv;
    cv::invertAffineTransform(m, inv);
    const cv::Scalar border = fillScalar(src, fill);
    parallelRows(0, h, pr, 0, region ? 90 : 100, [&](int y0, int y1) {
        // Destination rows y0..y1: shift the inverse map by y0.
        cv::Mat band = d.rowRange(y0, y1);
        cv::Mat inv2 = inv.clone();
        inv2.at<double>(0, 2) += inv.at<double>(0, 1) * y0;
        inv2.at<double>(1, 2) += inv.at<double>(1, 1) * y0;
        cv::warpAffine(s, band, inv2, band.size(), interp | cv::WARP_INVERSE_MAP, cv::BORDER_CONSTANT, border);
    }, 32);
    if (region) {
        const Bitmap mask = region->toMaskBitmap(bmp.width(), bmp.height());
        Bitmap moved = Bitmap::create(w, h, 8, true);
        if (mask.isNull() || moved.isNull()) return kErrNoMemory;
        cv::Mat mm = wrap(moved);
        cv::warpAffine(wrap(mask), mm, m, mm.size(), cv::INTER_NEAREST, cv::BORDER_CONSTANT, cv::Scalar(0));
        *region = Region::fromMaskBitmap(moved, region->shape());
    }
    bmp = packIndices(dst, bpp);
    return bmp.isNull() ? int16_t(kErrNoMemory) : int16_t(kOk);
}

// Exact quarter turns (clockwise), any depth.
int16_t quarterTurn(Bitmap& bmp, int quarters, Region* region, Progress& pr) {
    const int bpp = bmp.bpp();
    const Bitmap src = unpackIndices(bmp);
    if (src.isNull()) return kErrNoMemory;
    const bool swap = quarters % 2 == 1;
    int16_t code = kOk;
    Bitmap dst = Bitmap::create(swap ? src.height() : src.width(), swap ? src.width() : src.height(), src.bpp(),
                                src.isGrey(), &code);
    if (dst.isNull()) return code;
    dst.setPalette(src.palette());
    const int flag = quarters == 1 ? cv::ROTATE_90_CLOCKWISE : quarters == 2 ? cv::ROTATE_180
                                                                            : cv::ROTATE_90_COUNTERCLOCKWISE;
    const cv::Mat s = wrap(src);
    cv::Mat d = wrap(dst);
    // Destination bands come from source columns (90°, 270°) or rows (180°).
    parallelRows(0, dst.height(), pr, 0, region ? 90 : 100, [&](int y0, int y1) {
        cv::Mat band = d.rowRange(y0, y1);
        if (quarters == 1) cv::rotate(s.colRange(y0, y1), band, flag);
        else if (quarters == 3) cv::rotate(s.colRange(s.cols - y1, s.cols - y0), band, flag);
        else cv::rotate(s.rowRange(s.rows - y1, s.rows - y0), band, flag);
    }, 32);
    if (region) {
        const Bitmap mask = region->toMaskBitmap(bmp.width(), bmp.height());
        if (mask.isNull()) return kErrNoMemory;
        Bitmap moved = Bitmap::create(dst.width(), dst.height(), 8, true);
        cv::Mat mm = wrap(moved);
        cv::rotate(wrap(mask), mm, flag);
        *region = Region::fromMaskBitmap(moved, region->shape());
    }
    bmp = packIndices(dst, bpp);
    return bmp.isNull() ? int16_t(kErrNoMemory) : int16_t(kOk);
}

}  // namespace

int16_t flip(Bitmap& bmp, Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    Progress pr(progress);
    const int h = bmp.height();
    const size_t stride = bmp.stride();
    Bitmap old;
    if (detachForRewrite(bmp, old)) {
        // Each row goes once from the shared pixels to its new place.
        uint8_t* out = bmp.mutableBits();
        parallelRows(0, h, pr, 0, 100, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) std::memcpy(out + stride * size_t(h - 1 - y), old.row(y), stride);
        });
    } else {
        uint8_t* base = bmp.mutableBits();
        parallelRows(0, h / 2, pr, 0, 100, [&](int y0, int y1) {
            std::vector<uint8_t> tmp(stride);
            for (int y = y0; y < y1; ++y) {
                uint8_t* a = base + stride * size_t(y);
                uint8_t* b = base + stride * size_t(h - 1 - y);
                std::memcpy(tmp.data(), a, stride);
                std::memcpy(a, b, stride);
                std::memcpy(b, tmp.data(), stride);
            }
        });
    }
    if (region && !region->isEmpty()) {
        const RectI r = region->bounds();
        Bitmap m = region->normalised().toMaskBitmap(r.w, r.h);
        if (m.isNull()) return kErrNoMemory;
        cv::Mat mm = wrap(m);
        cv::flip(mm, mm, 0);
        const RegionShape shape = region->shape();
        *region = Region::fromMaskBitmap(m, shape);
        region->offset(r.x, h - r.y - r.h);
    }
    return kOk;
}

int16_t reverse(Bitmap& bmp, Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    Progress pr(progress);
    const int w = bmp.width();
    if (bmp.bpp() < 8) {
        const Bitmap src = unpackIndices(bmp);
        if (src.isNull()) return kErrNoMemory;
        parallelRows(0, bmp.height(), pr, 0, 100, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uint8_t* s = src.row(y);
                uint8_t* d = bmp.mutableRow(y);
                if (bmp.bpp() == 1) {
                    std::memset(d, 0, bmp.stride());
                    for (int x = 0; x < w; ++x)
                        if (s[w - 1 - x] & 1) d[x >> 3] |= uint8_t(0x80 >> (x & 7));
                } else {
                    for (int x = 0; x < w; x += 2) {
                        const int hi = s[w - 1 - x] & 15, lo = x + 1 < w ? s[w - 2 - x] & 15 : 0;
                        d[x >> 1] = uint8_t((hi << 4) | lo);
                    }
                }
            }
        });
    } else {
        // Shared pixels are read in place and mirrored into a fresh buffer;
        // pixels of our own are mirrored where they are.
        Bitmap old;
        const bool fresh = detachForRewrite(bmp, old);
        bmp.mutableBits();
        if (fresh && bmp.bpp() == 24 && havePlanes64()) {
            const size_t used = size_t(w) * 3, stride = bmp.stride();
            uint8_t* out = bmp.mutableBits();
            parallelRows(0, bmp.height(), pr, 0, 100, [&](int y0, int y1) {
                for (int y = y0; y < y1; ++y) {
                    uint8_t* d = out + stride * size_t(y);
                    mirrorRun24(old.row(y), d, w);
                    std::memcpy(d + used, old.row(y) + used, stride - used);  // row padding
                }
            });
            old = Bitmap();
        } else {
            const cv::Mat in = wrap(fresh ? old : bmp);
            cv::Mat out = wrap(bmp);
            const size_t used = size_t(w) * size_t(bmp.bpp() / 8), stride = bmp.stride();
            parallelRows(0, bmp.height(), pr, 0, 100, [&](int y0, int y1) {
                cv::Mat band = out.rowRange(y0, y1);
                cv::flip(in.rowRange(y0, y1), band, 1);
                if (fresh && stride > used)  // row padding
                    for (int y = y0; y < y1; ++y) std::memcpy(out.ptr(y) + used, in.ptr(y) + used, stride - used);
            });
        }
    }
    if (region && !region->isEmpty()) {
        const RectI r = region->bounds();
        Bitmap m = region->normalised().toMaskBitmap(r.w, r.h);
        if (m.isNull()) return kErrNoMemory;
        cv::Mat mm = wrap(m);
        cv::flip(mm, mm, 1);
        const RegionShape shape = region->shape();
        *region = Region::fromMaskBitmap(m, shape);
        region->offset(w - r.x - r.w, r.y);
    }
    return kOk;
}

int16_t rotate(Bitmap& bmp, int hundredths, bool enlarge, uint32_t fill, Region* region,
               const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (hundredths < kRangeRotate.min || hundredths > kRangeRotate.max) return kErrBadParam;
    const int a = ((hundredths % 36000) + 36000) % 36000;
    Progress pr(progress);
    if (a == 0) return kOk;
    const int w = bmp.width(), h = bmp.height();
    if (a % 9000 == 0 && (enlarge || a == 18000 || w == h)) return quarterTurn(bmp, a / 9000, region, pr);
    const double deg = a / 100.0;
    const double rad = deg * CV_PI / 180.0;
    int nw = w, nh = h;
    if (enlarge) {
        const double c = std::abs(std::cos(rad)), s = std::abs(std::sin(rad));
        nw = int(std::lround(w * c + h * s));
        nh = int(std::lround(w * s + h * c));
    }
    // Clockwise on screen (y down) is a negative angle for OpenCV.
    cv::Mat m = cv::getRotationMatrix2D(cv::Point2f(float((w - 1) / 2.0), float((h - 1) / 2.0)), -deg, 1.0);
    m.at<double>(0, 2) += (nw - w) / 2.0;
    m.at<double>(1, 2) += (nh - h) / 2.0;
    return warp(bmp, m, nw, nh, fill, region, pr);
}

int16_t shear(Bitmap& bmp, int hundredths, bool horizontal, uint32_t fill, Region* region,
              const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (hundredths < kRangeShear.min || hundredths > kRangeShear.max) return kErrBadParam;
    Progress pr(progress);
    if (hundredths == 0) return kOk;
    const double t = std::tan(hundredths / 100.0 * CV_PI / 180.0);
    const int w = bmp.width(), h = bmp.height();
    cv::Mat m = cv::Mat::eye(2, 3, CV_64F);
    int nw = w, nh = h;
    if (horizontal) {
        const double grow = std::abs(t) * (h - 1);
        nw = w + int(std::ceil(grow));
        m.at<double>(0, 1) = t;
        m.at<double>(0, 2) = t < 0 ? grow : 0;
    } else {
        const double grow = std::abs(t) * (w - 1);
        nh = h + int(std::ceil(grow));
        m.at<double>(1, 0) = t;
        m.at<double>(1, 2) = t < 0 ? grow : 0;
    }
    return warp(bmp, m, nw, nh, fill, region, pr);
}

int16_t resize(Bitmap& bmp, int width, int height, int flags, Region* region, const ProgressFn& progress) {
    if (bmp.isNull()) return kErrBadHandle;
    if (width < 1 || height < 1 || width > kMaxDimension || height > kMaxDimension) return kErrBadSize;
    if (flags != kResizePlain && flags != kResizeResample) return kErrBadParam;
    Progress pr(progress);
    const int w = bmp.width(), h = bmp.height();
    if (width == w && height == h) return kOk;
    const int bpp = bmp.bpp();
    int16_t code = kOk;
    Bitmap out;
    if (flags == kResizePlain) {
        const Bitmap src = unpackIndices(bmp);
        out = Bitmap::create(width, height, src.bpp(), src.isGrey(), &code);
        if (out.isNull()) return code;
        out.setPalette(src.palette());
        const int px = src.bpp() / 8;
        // Source column of each destination column: the pixel whose centre
        // is nearest, so corners map to corners.
        std::vector<int> col(static_cast<size_t>(width));
        for (int x = 0; x < width; ++x) col[size_t(x)] = std::min(w - 1, int((x + 0.5) * w / width));
        parallelRows(0, height, pr, 0, region ? 90 : 100, [&](int y0, int y1) {
            for (int y = y0; y < y1; ++y) {
                const uint8_t* s = src.row(std::min(h - 1, int((y + 0.5) * h / height)));
                uint8_t* d = out.mutableRow(y);
                switch (px) {
                case 1: for (int x = 0; x < width; ++x) d[x] = s[col[size_t(x)]]; break;
                case 2: for (int x = 0; x < width; ++x)
                            reinterpret_cast<uint16_t*>(d)[x] = reinterpret_cast<const uint16_t*>(s)[col[size_t(x)]];
                        break;
                case 3: for (int x = 0; x < width; ++x) std::memcpy(d + x * 3, s + col[size_t(x)] * 3, 3); break;
                default: for (int x = 0; x < width; ++x) std::memcpy(d + x * 4, s + col[size_t(x)] * 4, 4); break;
                }
            }
        }, 32);
        out = packIndices(out, bpp);
    } else {
        const Bitmap src = promoted(bmp);
        out = Bitmap::create(width, height, src.bpp(), src.isGrey(), &code);
        if (out.isNull()) return code;
        cv::Mat d = wrap(out);
        const bool shrink = width < w && height < h;
        // OpenCV spreads one resize over the cores itself; progress comes
        // at its start and end.
        cv::resize(wrap(src), d, d.size(), 0, 0, shrink ? cv::INTER_AREA : cv::INTER_LINEAR);
        pr.to(90);
    }
    if (out.isNull()) return kErrNoMemory;
    if (region) {
        const Bitmap mask = region->toMaskBitmap(w, h);
        Bitmap moved = Bitmap::create(width, height, 8, true);
        if (mask.isNull() || moved.isNull()) return kErrNoMemory;
        cv::Mat mm = wrap(moved);
        cv::resize(wrap(mask), mm, mm.size(), 0, 0, cv::INTER_NEAREST);
        *region = Region::fromMaskBitmap(moved, region->shape());
    }
    bmp = std::move(out);
    return kOk;
}

}  // namespace qova::engine::ops
