// Fuzz target for the PSD reader.
#include <cstdint>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"
#include "decoder_target.h"

using namespace qova::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzDecoder(decodePsd, data, size); }

// extern: a const array would otherwise be private to this file.
extern const char* const kFuzzSeedExtensions[] = {".psd", ".psb", nullptr};

namespace {

void be16(std::vector<uint8_t>& v, unsigned x) { v.insert(v.end(), {uint8_t(x >> 8), uint8_t(x)}); }
void be32(std::vector<uint8_t>& v, uint32_t x) {
    v.insert(v.end(), {uint8_t(x >> 24), uint8_t(x >> 16), uint8_t(x >> 8), uint8_t(x)});
}

// A 3x2 picture, every row packed as one literal run when `rle`.
std::vector<uint8_t> makePsd(int mode, int depth, int channels, bool rle, uint32_t modeDataLen = 0) {
    const int w = 3, h = 2;
    std::vector<uint8_t> v = {'8', 'B', 'P', 'S', 0, 1, 0, 0, 0, 0, 0, 0};
    be16(v, unsigned(channels));
    be32(v, h);
    be32(v, w);
    be16(v, unsigned(depth));
    be16(v, unsigned(mode));
    be32(v, modeDataLen);
    for (uint32_t i = 0; i < modeDataLen; ++i) v.push_back(uint8_t(i * 7));
    be32(v, 0);  // resources
    be32(v, 0);  // layers
    be16(v, rle ? 1 : 0);
    const int rowBytes = (w * depth + 7) / 8;
    if (rle)
        for (int i = 0; i < channels * h; ++i) be16(v, unsigned(rowBytes + 1));
    for (int c = 0; c < channels; ++c)
        for (int y = 0; y < h; ++y) {
            if (rle) v.push_back(uint8_t(rowBytes - 1));
            for (int x = 0; x < rowBytes; ++x) v.push_back(uint8_t(c * 50 + y * 20 + x * 9));
        }
    return v;
}

}  // namespace

std::vector<std::vector<uint8_t>> fuzzMadeSeeds() {
    return {makePsd(3, 8, 3, true), makePsd(3, 16, 4, false), makePsd(4, 8, 5, true), makePsd(1, 16, 1, true),
            makePsd(2, 8, 1, false, 768), makePsd(0, 1, 1, true), makePsd(8, 8, 1, false, 20)};
}
