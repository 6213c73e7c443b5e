// What every bench shares: a steady clock in milliseconds.
#pragma once

#include <chrono>

namespace qova::bench {

inline double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace qova::bench
