#!/usr/bin/env bash
# Installs what the screen benchmarks need beside the program's own packages
# (scripts/install-deps.sh, which installs both): the viewers
# bench/peers_walk.sh compares with, and what the X latency tools build and
# drive with. Not needed to build or test QOVA. Safe to run again: apt is
# asked only for what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
exec ./scripts/install-deps.sh qimgv feh xdotool libxtst-dev libx11-dev xvfb
