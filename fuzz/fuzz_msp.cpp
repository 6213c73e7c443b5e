// Fuzz target for the Microsoft Paint reader.
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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzDecoder(decodeMsp, data, size); }

// extern: a const array would otherwise be private to this file.
extern const char* const kFuzzSeedExtensions[] = {".msp", nullptr};

std::vector<std::vector<uint8_t>> fuzzMadeSeeds() {
    // A version 2 file from our writer: blank rows, runs and literal bytes.
    Bitmap b = Bitmap::createFilled(37, 9, 1, false, 0xFF);
    for (int y = 2; y < 9; ++y)
        for (int x = 0; x < 37; ++x)
            if ((x * y) % 5 == 0 || y == 4) b.setIndex(x, y, 0);
    char path[] = "/tmp/qova_fuzz_mspXXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    std::vector<std::vector<uint8_t>> seeds;
    if (encodeMsp(b, path, EncodeOptions{}) == kOk) {
        std::ifstream f(path, std::ios::binary);
        seeds.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::remove(path);
    return seeds;
}
