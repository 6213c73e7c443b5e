// The body every reader's fuzz target shares: ask for the header first, then
// decode what it describes (huge but valid pictures only cost time, so they
// are left out once the header checks have run).
#pragma once

#include <cstdint>

#include "engine/core/codes.h"
#include "engine/core/formats/codec.h"

inline int fuzzDecoder(qova::engine::DecodeFn decode, const uint8_t* data, size_t size) {
    using namespace qova::engine;
    const ByteSpan in{data, size};
    Document probe;
    DecodeOptions info;
    info.infoOnly = true;
    if (decode(in, info, probe) != kOk) return 0;
    if (uint64_t(probe.info.width) * uint64_t(probe.info.height) > (16u << 20)) return 0;
    Document doc;
    decode(in, DecodeOptions{}, doc);
    return 0;
}
