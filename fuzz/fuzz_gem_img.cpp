// Fuzz target for the GEM bit image reader.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include <unistd.h>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"
#include "decoder_target.h"

using namespace qova::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzDecoder(decodeGemImg, data, size); }

// No GEM samples exist; .img is the format's usual name.
// extern: a const array would otherwise be private to this file.
extern const char* const kFuzzSeedExtensions[] = {".img", nullptr};

std::vector<std::vector<uint8_t>> fuzzMadeSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    // Hand-made: 16x3, one plane: a replicated solid line, a pattern, a literal.
    seeds.push_back({0, 1, 0, 8, 0, 1, 0, 2, 0, 85, 0, 85, 0, 16, 0, 4,  //
                     0, 0, 0xFF, 2, 0x82,                                  //
                     0, 1, 0xAA, 0x55,                                     //
                     0x80, 2, 0x12, 0x34});
    char path[] = "/tmp/qova_fuzz_gemXXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return seeds;
    close(fd);
    for (int bpp : {1, 4, 8}) {
        Bitmap b = Bitmap::createFilled(29, 11, bpp, false, 0);
        for (int y = 0; y < 11; ++y)
            for (int x = 0; x < 29; ++x)
                if (y > 3) b.setIndex(x, y, (x / 3 + y) % (1 << bpp));
        if (encodeGemImg(b, path, EncodeOptions{}) == kOk) {
            std::ifstream f(path, std::ios::binary);
            seeds.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
        }
    }
    std::remove(path);
    return seeds;
}
