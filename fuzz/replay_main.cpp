// Plain driver for a fuzz target: feeds every seed, then seeded random
// mutations of them (bit flips, truncations, inserted bytes), so the normal
// test run catches crashes and hangs in the readers. Like the fuzzer, it
// fails on a finding, not only on a crash: an input that runs longer than
// kSlowInput, or a run whose memory peaks past kPeakLimit, fails it (the
// input is written to replay-finding-<target>.bin); under the sanitizer
// build their reports (and leaks) end it with an error as well.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// Each target names the sample extensions it wants as seeds.
extern const char* const kFuzzSeedExtensions[];
// And may add seeds it makes itself (valid files of its format).
std::vector<std::vector<uint8_t>> fuzzMadeSeeds();

namespace {

constexpr double kSlowInput = 10.0;                // seconds, as the fuzzer's -timeout
constexpr long kPeakLimit = 2048L * 1024;          // KB, as its -rss_limit_mb
constexpr size_t kMutationBytes = size_t(8) << 20;  // fewer mutations of large seeds
constexpr double kSeedSeconds = 2.0;                // and of slow ones

bool finding(const char* self, const std::vector<uint8_t>& input, const char* what) {
    std::string name = std::filesystem::path(self).filename().string();
    const std::string out = "replay-finding-" + name + ".bin";
    std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(input.data()), std::streamsize(input.size()));
    std::fprintf(stderr, "finding: %s (input of %zu bytes written to %s)\n", what, input.size(), out.c_str());
    return false;
}

}  // namespace

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
    auto run = [&](const std::vector<uint8_t>& input) {
        const auto start = std::chrono::steady_clock::now();
        LLVMFuzzerTestOneInput(input.data(), input.size());
        const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (s > kSlowInput) return finding(argv[0], input, "slow input");
        rusage ru {};
        getrusage(RUSAGE_SELF, &ru);
        if (ru.ru_maxrss > kPeakLimit) return finding(argv[0], input, "memory peak past the limit");
        return true;
    };
    std::mt19937 rng(12345);
    size_t runs = 0;
    const bool verbose = std::getenv("QOVA_REPLAY_VERBOSE") != nullptr;
    for (const auto& s : seeds) {
        const auto seedStart = std::chrono::steady_clock::now();
        if (!run(s)) return 1;
        ++runs;
        const int mutations = int(std::clamp<size_t>(kMutationBytes / (s.size() + 1), 10, 300));
        for (int i = 0; i < mutations; ++i) {
            if (std::chrono::duration<double>(std::chrono::steady_clock::now() - seedStart).count() > kSeedSeconds) break;
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
            if (!run(m)) return 1;
            ++runs;
        }
        if (verbose)
            std::printf("seed of %zu bytes (%02x %02x %02x %02x): %.2f s\n", s.size(), s.size() > 0 ? s[0] : 0,
                        s.size() > 1 ? s[1] : 0, s.size() > 2 ? s[2] : 0, s.size() > 3 ? s[3] : 0,
                        std::chrono::duration<double>(std::chrono::steady_clock::now() - seedStart).count());
    }
    std::printf("%zu inputs replayed\n", runs);
    return 0;
}
