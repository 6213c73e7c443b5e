#!/usr/bin/env bash
# Installs the Debian 12 packages QOVA needs to build, run, test and benchmark,
# and any packages named as arguments (scripts/install-bench-deps.sh).
# Safe to run again: it only asks apt for what is missing.
set -euo pipefail

# What the installed program needs besides the shared libraries it links
# (those the Debian package finds by itself). The package's dependencies are
# read from this list: keep it one package name per word.
RUNTIME=(
  libqt6sql6-sqlite libqt6svg6 qt6-translations-l10n ghostscript fonts-ipafont-gothic
  libsane1 libcups2
)

PKGS=(
  "${RUNTIME[@]}"
  build-essential cmake ninja-build ccache pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-base-private-dev
  libjpeg62-turbo-dev libpng-dev libtiff-dev libgif-dev zlib1g-dev
  libgraphicsmagick++1-dev graphicsmagick
  libopencv-imgproc-dev
  librsvg2-bin desktop-file-utils appstream
  xvfb xauth x11-apps
  libjpeg-turbo-progs
  imagemagick libvips-tools
  clang libclang-rt-14-dev
  cups printer-driver-cups-pdf poppler-utils libsane-dev sane-utils
  "$@"
)

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
