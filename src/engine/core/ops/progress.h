// Progress of a long operation: the callback runs on the caller's thread,
// first with 0, then with rising percentages, last with 100. Between two
// reports the work is spread over the machine's cores.
#pragma once

#include <functional>

namespace qova::engine {

using ProgressFn = std::function<void(int percent)>;

}  // namespace qova::engine
