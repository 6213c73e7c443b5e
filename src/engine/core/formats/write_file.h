// Writes a whole encoded file in one go, for encoders that build the file in
// memory first (small formats where that is simpler than streaming).
#pragma once

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "../codes.h"

namespace qova::engine {

// A write past the process's file size limit raises SIGXFSZ, which ends the
// program by default. Ignored, the write fails with EFBIG instead and the
// caller reports kErrWrite (and removes what it wrote). A handler someone
// else installed is left alone. Every writer calls this first.
inline void ignoreFileSizeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction old {};
        if (sigaction(SIGXFSZ, nullptr, &old) == 0 && old.sa_handler == SIG_DFL) std::signal(SIGXFSZ, SIG_IGN);
    });
}

inline int16_t writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    ignoreFileSizeSignal();
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrCannotOpen;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0 && ok) ? kOk : kErrWrite;
}

}  // namespace qova::engine
