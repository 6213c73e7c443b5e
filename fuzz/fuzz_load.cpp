// Fuzz target for the generic load entry: every format, chosen by content
// as a file would be, from memory. The first byte picks a file name among
// those that decide formats without a signature; the rest is the file.
// Outside programs (Ghostscript) are not started.
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include "engine/core/codes.h"
#include "engine/core/formats/format_table.h"
#include "engine/core/formats/formats.h"
#include "decoder_target.h"
#include "support/hostile_files.h"

using namespace qova::engine;

namespace {

const char* const kNames[] = {"file", "file.tga", "file.pct", "file.mac", "file.img", "file.cal", "file.ico", "file.wpg"};
constexpr size_t kNameCount = sizeof kNames / sizeof kNames[0];

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ceilingSet = (setLoadCeiling(kFuzzCeiling), true);
    (void)ceilingSet;
    if (size < 1) return 0;
    LoadRequest req;
    req.path = kNames[data[0] % kNameCount];
    req.runPrograms = false;
    Document doc;
    loadBytes(ByteSpan{data + 1, size - 1}, req, doc);
    return 0;
}

// extern: a const array would otherwise be private to this file. The replay
// in the test run keeps to the made seeds (every format is among them).
extern const char* const kFuzzSeedExtensions[] = {nullptr};

namespace {

// A small picture saved in `format` by the engine, or nothing.
std::vector<uint8_t> saved(int format, int bpp, int pages) {
    Document doc;
    for (int p = 0; p < pages; ++p) {
        Bitmap b = Bitmap::createFilled(24, 16, 24, false, 0);
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 24 * 3; ++x) b.mutableRow(y)[x] = uint8_t(x * 5 + y * 11 + p * 60);
        doc.frames.push_back(Frame{b});
    }
    char path[] = "/tmp/qova_fuzz_loadXXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0) return {};
    close(fd);
    SaveRequest r;
    r.path = path;
    r.format = format;
    r.bpp = bpp;
    std::vector<uint8_t> out;
    if (saveFile(doc, r) == kOk) {
        std::ifstream f(path, std::ios::binary);
        out.assign(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
    }
    std::remove(path);
    return out;
}

uint8_t nameFor(const std::string& ext) {
    for (size_t i = 0; i < kNameCount; ++i)
        if (std::string(kNames[i]).size() > 4 && std::string(kNames[i]).substr(4) == ext) return uint8_t(i);
    return 0;
}

}  // namespace

std::vector<std::vector<uint8_t>> fuzzMadeSeeds() {
    std::vector<std::vector<uint8_t>> seeds;
    // Every format the engine writes, at each depth, and pages where it has them.
    for (const FormatInfo& f : formatTable()) {
        for (int bpp : f.writeBpp) {
            const bool pages = f.code == kFmtGif || f.code == kFmtTiffLzw;
            std::vector<uint8_t> s = saved(f.code, bpp, pages ? 3 : 1);
            if (s.empty()) continue;
            s.insert(s.begin(), nameFor(std::string(".") + f.extension));
            seeds.push_back(std::move(s));
        }
    }
    // And the hostile files of the tests.
    for (const auto& h : qova::test::hostileFiles()) {
        std::vector<uint8_t> s;
        s.push_back(nameFor(h.name.substr(h.name.rfind('.'))));
        s.insert(s.end(), h.bytes.begin(), h.bytes.end());
        seeds.push_back(std::move(s));
    }
    return seeds;
}
