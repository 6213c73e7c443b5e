// The body every reader's fuzz target shares: ask for the header first, then
// decode what it describes. Nothing is skipped for its size: the readers
// check a declared size against their data and the load ceiling themselves,
// which is lowered here so that a bomb that gets through is a finding (the
// fuzzer's memory limit) rather than a slow input.
#pragma once

#include <cstdint>

#include "engine/core/codes.h"
#include "engine/core/formats/budget.h"
#include "engine/core/formats/codec.h"

// The ceiling while fuzzing: far below the fuzzer's 2 GB memory limit.
constexpr uint64_t kFuzzCeiling = 256ull << 20;

inline int fuzzDecoder(qova::engine::DecodeFn decode, const uint8_t* data, size_t size) {
    using namespace qova::engine;
    static const bool ceilingSet = (setLoadCeiling(kFuzzCeiling), true);
    (void)ceilingSet;
    const ByteSpan in{data, size};
    Document probe;
    DecodeOptions info;
    info.infoOnly = true;
    if (decode(in, info, probe) != kOk) return 0;
    Document doc;
    decode(in, DecodeOptions{}, doc);
    return 0;
}
