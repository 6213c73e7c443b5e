// Hostile and broken files, made at run time (a few megabytes at most, so the
// repository holds none): tiny files declaring huge pictures, page and frame
// floods, compression bombs, programs that never end. Qt-free, so the fuzz
// targets can start their corpus from them too.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace qova::test {

struct HostileFile {
    std::string name;            // file name; its extension matters for some formats
    std::vector<uint8_t> bytes;
    // Codes the load may give. 0 in the list means it may also succeed (with
    // a small picture); an empty list is never used.
    std::vector<int16_t> codes;
    std::string what;            // the file's shape, for messages
};

// Every hostile file, in a stable order (made on first use).
const std::vector<HostileFile>& hostileFiles();

// Building blocks, also for tests that need a variant.
std::vector<uint8_t> deflate(const std::vector<uint8_t>& raw);
std::vector<uint8_t> pngFile(uint32_t w, uint32_t h, int depth, int colourType, const std::vector<uint8_t>& idat,
                             const std::vector<std::vector<uint8_t>>& extraChunks = {});
// One PNG chunk with its length and CRC.
std::vector<uint8_t> pngChunk(const char* type, const std::vector<uint8_t>& data);

// A TIFF page for tiffFile: one strip, little-endian.
struct TiffPage {
    uint32_t width = 1, height = 1;
    uint16_t bitsPerSample = 8, samples = 1, photometric = 1, compression = 1, planar = 1;
    std::vector<uint8_t> strip;   // coded data (ignored when sharedStrip)
    bool sharedStrip = false;      // point at the first page's strip instead
};
std::vector<uint8_t> tiffFile(const std::vector<TiffPage>& pages);

// A GIF frame for gifFile: `lzw` is the coded data (min code size byte excluded).
struct GifFrame {
    uint16_t width = 1, height = 1;
    std::vector<uint8_t> lzw;
};
std::vector<uint8_t> gifFile(uint16_t screenW, uint16_t screenH, const std::vector<GifFrame>& frames);
// LZW data (8-bit code size 2 alphabet) of `pixels` zero pixels, as a GIF encoder writes it.
std::vector<uint8_t> gifLzwZeros(uint32_t pixels);

}  // namespace qova::test
