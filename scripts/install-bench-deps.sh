#!/usr/bin/env bash
# Installs what the screen benchmarks need beside the program's own packages
# (scripts/install-deps.sh): the viewers bench/peers_walk.sh compares with,
# and what the X latency tools build and drive with. Not needed to build or
# test QOVA. Safe to run again: it only asks apt for what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh

PKGS=(qimgv feh xdotool libxtst-dev libx11-dev xvfb)

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
