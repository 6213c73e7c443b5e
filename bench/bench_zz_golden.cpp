// throwaway: hashes of every changed op at each depth, with/without region, shared/unique
#include <cstdio>
#include <functional>
#include <string>
#include <vector>
#include "engine/core/codes.h"
#include "engine/core/ops/ops.h"
using namespace qova::engine;
static uint64_t hashB(const Bitmap& b) {
    uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < b.height(); ++y) {
        const uint8_t* r = b.row(y);
        size_t n = (size_t(b.width()) * b.bpp() + 7) / 8;
        for (size_t i = 0; i < n; ++i) { h ^= r[i]; h *= 1099511628211ull; }
    }
    for (auto c : b.palette()) { h ^= c.r * 65536 + c.g * 256 + c.b; h *= 1099511628211ull; }
    return h ^ uint64_t(b.bpp()) ^ (uint64_t(b.width()) << 20);
}
int main() {
    const int w = 301, h = 203;
    Bitmap base = Bitmap::create(w, h, 24);
    uint32_t seed = 7;
    for (int y = 0; y < h; ++y) for (int x = 0; x < w * 3; ++x) { seed = seed * 1664525u + 1013904223u; base.mutableRow(y)[x] = uint8_t((x * 3 + y * 5) ^ (seed >> 29)); }
    // include greys, saturated
    for (int x = 0; x < 50; ++x) { uint8_t* p = base.mutableRow(5) + x * 3; p[0] = p[1] = p[2] = uint8_t(x * 5); }
    Region ell = Region::ellipse(RectI{40, 30, 200, 120});
    Region rect = Region::rectangle(RectI{10, 20, 100, 50});
    using namespace ops;
    std::vector<std::pair<std::string, std::function<int16_t(Bitmap&, Region*)>>> cs = {
        {"invert", [](Bitmap& b, Region* r) { return invert(b, r); }},
        {"bright", [](Bitmap& b, Region* r) { return brightness(b, 40, r); }},
        {"sat50", [](Bitmap& b, Region* r) { return saturation(b, 50, r); }},
        {"sat-70", [](Bitmap& b, Region* r) { return saturation(b, -70, r); }},
        {"sat100", [](Bitmap& b, Region* r) { return saturation(b, 100, r); }},
        {"hue90", [](Bitmap& b, Region* r) { return hue(b, 90, r); }},
        {"hue-137", [](Bitmap& b, Region* r) { return hue(b, -137, r); }},
        {"hue13", [](Bitmap& b, Region* r) { return hue(b, 13, r); }},
        {"eq", [](Bitmap& b, Region* r) { return histogramEqualise(b, r); }},
        {"hc", [](Bitmap& b, Region* r) { return histogramContrast(b, 50, r); }},
        {"hc-", [](Bitmap& b, Region* r) { return histogramContrast(b, -60, r); }},
        {"stretch", [](Bitmap& b, Region* r) { return stretchIntensity(b, r); }},
        {"detect", [](Bitmap& b, Region* r) { return intensityDetect(b, 100, 200, r); }},
        {"detect0", [](Bitmap& b, Region* r) { return intensityDetect(b, 0, 37, r); }},
        {"fill", [](Bitmap& b, Region* r) { return fill(b, 0x3366FF, r); }},
        {"flip", [](Bitmap& b, Region* r) { return flip(b, r); }},
        {"reverse", [](Bitmap& b, Region* r) { return reverse(b, r); }},
        {"count", [](Bitmap& b, Region*) { uint32_t n = 0; int16_t c = countColours(b, n); b = Bitmap::createFilled(1, 1, 8, true, 0); std::fprintf(stdout, "n=%u ", n); return c; }},
        {"hist", [](Bitmap& b, Region* r) { int16_t c = 0; for (int ch = 0; ch < 4; ++ch) { Histogram hh; c |= histogram(b, ch, hh, r); for (int i = 0; i < 256; i += 1) std::fprintf(stdout, "%llu,", (unsigned long long)hh[i] % 97); } return c; }},
        {"edge", [](Bitmap& b, Region* r) { Bitmap d = b; spatialFilter(d, kFilterEdgeDetail, r); return combine(b, 0, 0, b.width(), b.height(), d, 0, 0, kCombineAddDetail, r); }},
        {"avg", [](Bitmap& b, Region* r) { return average(b, 2, r); }},
        {"med", [](Bitmap& b, Region* r) { return median(b, 1, r); }},
        {"sharp", [](Bitmap& b, Region* r) { return sharpen(b, 60, r); }},
        {"sobel", [](Bitmap& b, Region* r) { return spatialFilter(b, kFilterSobelV, r); }},
        {"oil", [](Bitmap& b, Region* r) { return oilify(b, 2, r); }},
        {"copy", [](Bitmap& b, Region* r) { Bitmap d = b; invert(d); return combine(b, 5, 7, 100, 90, d, 3, 2, kCombineCopy, r); }},
    };
    for (int bpp : {1, 4, 8, 16, 24, 32}) {
        Bitmap src = bpp == 24 ? base : base.convertTo(bpp);
        Bitmap g8 = src;
        for (auto& c : cs)
            for (int ri = 0; ri < 3; ++ri)
                for (int shared = 0; shared < 2; ++shared) {
                    Bitmap b = src.clone();
                    Bitmap keep;
                    if (shared) keep = b;
                    Region r = ri == 1 ? ell : rect;
                    int16_t code = c.second(b, ri ? &r : nullptr);
                    std::printf("%s bpp%d r%d s%d code%d %016llx b%llx\n", c.first.c_str(), bpp, ri, shared, code, (unsigned long long)hashB(b), (unsigned long long)r.bounds().x * 1000 + r.bounds().y);
                    if (shared && hashB(keep) != hashB(src)) std::printf("SHARED COPY CHANGED\n");
                }
    }
    // grey 8 and grey 16
    for (int bpp : {8, 16}) {
        Bitmap src = Bitmap::create(w, h, bpp, true);
        for (int y = 0; y < h; ++y) for (size_t x = 0; x < src.stride(); ++x) src.mutableRow(y)[x] = uint8_t(x * 7 + y);
        for (auto& c : cs) for (int ri = 0; ri < 3; ++ri) for (int shared = 0; shared < 2; ++shared) {
            Bitmap b = src.clone(); Bitmap keep; if (shared) keep = b;
            Region r = ri == 1 ? ell : rect;
            int16_t code = c.second(b, ri ? &r : nullptr);
            std::printf("%s grey%d r%d s%d code%d %016llx\n", c.first.c_str(), bpp, ri, shared, code, (unsigned long long)hashB(b));
        }
    }
}
