// libFuzzer start-up hook: with QOVA_FUZZ_DUMP_SEEDS=<dir> the target writes
// the seeds it makes itself (fuzzMadeSeeds) into <dir> and exits, so run.sh
// can start the corpus from valid files of formats that have no samples.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

std::vector<std::vector<uint8_t>> fuzzMadeSeeds();

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const char* dir = std::getenv("QOVA_FUZZ_DUMP_SEEDS");
    if (!dir) return 0;
    int n = 0;
    for (const auto& s : fuzzMadeSeeds()) {
        const std::string path = std::string(dir) + "/made_" + std::to_string(n++);
        if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
            std::fwrite(s.data(), 1, s.size(), f);
            std::fclose(f);
        }
    }
    std::exit(0);
}
