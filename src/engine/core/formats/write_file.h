// Writes a whole encoded file in one go, for encoders that build the file in
// memory first (small formats where that is simpler than streaming).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "../codes.h"

namespace qova::engine {

inline int16_t writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return kErrCannotOpen;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0 && ok) ? kOk : kErrWrite;
}

}  // namespace qova::engine
