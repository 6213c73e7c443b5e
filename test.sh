#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test headless through CTest.
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh
./scripts/build.sh
export QT_QPA_PLATFORM=offscreen
ctest --test-dir build --output-on-failure -j2 "$@"
# The readers again, under AddressSanitizer and UBSan: the fuzz replays and
# the hostile-file tests (tests/sanitize; a separate, small build).
./scripts/build-asan.sh
ctest --test-dir build-asan --output-on-failure -j2 "$@"
