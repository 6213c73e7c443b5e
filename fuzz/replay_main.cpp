// Plain driver for a fuzz target: feeds every sample file, then many seeded
// random mutations of them (bit flips, truncations, inserted bytes), so the
// normal test run catches crashes and hangs in the hand-written readers.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Each target names the sample extensions it wants as seeds.
extern const char* const kFuzzSeedExtensions[];
// And may add seeds it makes itself (valid files of its format).
std::vector<std::vector<uint8_t>> fuzzMadeSeeds();

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<std::vector<uint8_t>> seeds = fuzzMadeSeeds();
    if (argc > 1 && fs::is_directory(argv[1])) {
        for (const auto& e : fs::recursive_directory_iterator(argv[1])) {
            if (!e.is_regular_file()) continue;
            std::string ext = e.path().extension().string();
            for (auto& c : ext) c = char(std::tolower(static_cast<unsigned char>(c)));
            for (int i = 0; kFuzzSeedExtensions[i]; ++i) {
                if (ext == kFuzzSeedExtensions[i]) {
                    std::ifstream f(e.path(), std::ios::binary);
                    seeds.emplace_back(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
                }
            }
        }
    }
    std::mt19937 rng(12345);
    size_t runs = 0;
    for (const auto& s : seeds) {
        LLVMFuzzerTestOneInput(s.data(), s.size());
        ++runs;
        for (int i = 0; i < 300; ++i) {
            std::vector<uint8_t> m = s;
            const int kind = int(rng() % 4);
            if (m.empty()) m.push_back(0);
            if (kind == 0) {
                m.resize(rng() % m.size());
            } else if (kind == 1) {
                for (int k = 0; k < 1 + int(rng() % 8); ++k) m[rng() % m.size()] ^= uint8_t(1u << (rng() % 8));
            } else if (kind == 2) {
                // Header fields are where readers go wrong: hit the first bytes hard.
                const size_t lim = std::min<size_t>(m.size(), 64);
                for (int k = 0; k < 4; ++k) m[rng() % lim] = uint8_t(rng());
            } else {
                m.insert(m.begin() + long(rng() % m.size()), size_t(1 + rng() % 16), uint8_t(rng()));
            }
            LLVMFuzzerTestOneInput(m.data(), m.size());
            ++runs;
        }
    }
    std::printf("%zu inputs replayed\n", runs);
    return 0;
}
