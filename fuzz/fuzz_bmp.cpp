// Fuzz target for the BMP reader (every header version, RLE, bit fields,
// and the JPEG or PNG a BMP may wrap).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include <unistd.h>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"
#include "engine/core/formats/format_table.h"
#include "decoder_target.h"

using namespace qova::engine;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return fuzzDecoder(decodeBmp, data, size); }

// extern: a const array would otherwise be private to this file.
extern const char* const kFuzzSeedExtensions[] = {".bmp", nullptr};

namespace {

std::vector<uint8_t> encoded(const Bitmap& b, int format) {
    char path[] = "/tmp/qova_fuzz_bmpXXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    EncodeOptions o;
    o.format = format;
    std::vector<uint8_t> out;
    if (encodeBmp(b, path, o) == kOk) {
        std::ifstream f(path, std::ios::binary);
        out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::remove(path);
    return out;
}

Bitmap pattern(int w, int h, int bpp) {
    Bitmap b = Bitmap::createFilled(w, h, bpp, false, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (bpp <= 8) b.setIndex(x, y, (x / 3 + y) % (1 << bpp));
            else for (int c = 0; c < bpp / 8; ++c) b.mutableRow(y)[x * (bpp / 8) + c] = uint8_t(x * 9 + y * 5 + c * 70);
        }
    return b;
}

}  // namespace

std::vector<std::vector<uint8_t>> fuzzMadeSeeds() {
    // Our writer's files: plain at every depth, RLE4 and RLE8, OS/2.
    std::vector<std::vector<uint8_t>> seeds;
    for (int bpp : {1, 4, 8, 24, 32}) seeds.push_back(encoded(pattern(13, 7, bpp), kFmtBmp));
    for (int bpp : {4, 8}) seeds.push_back(encoded(pattern(21, 6, bpp), kFmtBmpRle));
    seeds.push_back(encoded(pattern(9, 5, 8), kFmtOs2Bmp));
    // A 16-bit bit-field file (5-6-5) with a v3 header and its masks after it.
    std::vector<uint8_t> f = {'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 66, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0,
                              1, 0, 16, 0, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              0x00, 0xF8, 0, 0, 0xE0, 0x07, 0, 0, 0x1F, 0, 0, 0};
    for (int i = 0; i < 16; ++i) f.push_back(uint8_t(i * 17));
    seeds.push_back(f);
    return seeds;
}
