// Fuzz target for the TGA reader.
#include <cstdint>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"
#include "decoder_target.h"

using namespace qova::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzDecoder(decodeTga, data, size); }

// extern: a const array would otherwise be private to this file.
extern const char* const kFuzzSeedExtensions[] = {".tga", nullptr};

std::vector<std::vector<uint8_t>> fuzzMadeSeeds() {
    // A 3×2 run-length true-colour picture, bottom-up.
    std::vector<uint8_t> f = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 2, 0, 24, 0};
    const uint8_t runs[] = {0x82, 1, 2, 3, 0x01, 9, 9, 9, 7, 7, 7, 0x80, 5, 5, 5};
    f.insert(f.end(), runs, runs + sizeof runs);
    return {f};
}
