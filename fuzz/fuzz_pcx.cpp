// Fuzz target for the PCX reader.
#include <cstdint>
#include <vector>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"

using namespace qova::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ByteSpan in{data, size};
    Document probe;
    DecodeOptions info;
    info.infoOnly = true;
    if (decodePcx(in, info, probe) != kOk) return 0;
    Document doc;
    decodePcx(in, DecodeOptions{}, doc);
    return 0;
}

// extern: a const array would otherwise be private to this file.
extern const char* const kFuzzSeedExtensions[] = {".pcx", nullptr};

std::vector<std::vector<uint8_t>> fuzzMadeSeeds() {
    // A 4×2 picture in three 8-bit planes, run-length coded with a run crossing planes.
    std::vector<uint8_t> f(128, 0);
    f[0] = 0x0A; f[1] = 5; f[2] = 1; f[3] = 8;
    f[8] = 3; f[10] = 1;   // xmax 3, ymax 1
    f[65] = 3; f[66] = 4;  // planes, bytes per line
    const uint8_t data[] = {0xC5, 10, 20, 30, 40, 0xC3, 7, 0xC8, 200, 1, 2, 3, 4, 0xC4, 9};
    f.insert(f.end(), data, data + sizeof data);
    return {f};
}
