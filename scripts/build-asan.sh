#!/usr/bin/env bash
# Configures (once) and builds the sanitizer build into ./build-asan: the
# engine's readers and writers with AddressSanitizer and UBSan, the replays
# of the fuzz targets and the hostile-file tests (tests/sanitize). ./test.sh
# runs it after the main suite.
set -euo pipefail
cd "$(dirname "$0")/.."
export CCACHE_BASEDIR="$PWD"
export CCACHE_NOHASHDIR=1
if [ ! -f build-asan/build.ninja ]; then
  # -O1 keeps the instrumented build quick to compile and still fast to run.
  cmake -S . -B build-asan -G Ninja -DQOVA_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -g" -DCMAKE_C_FLAGS_RELWITHDEBINFO="-O1 -g"
fi
cmake --build build-asan -j "$(nproc)"
