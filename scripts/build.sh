#!/usr/bin/env bash
# Configures (once) and builds QOVA into ./build with Ninja and ccache.
set -euo pipefail
cd "$(dirname "$0")/.."
# Paths relative to the checkout, so clones share ccache's cache.
export CCACHE_BASEDIR="$PWD"
export CCACHE_NOHASHDIR=1
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build build -j "$(nproc)"
