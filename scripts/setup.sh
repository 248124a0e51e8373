#!/usr/bin/env bash
# Shared by run.sh and test.sh: install what is missing, configure once, build incrementally.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$ROOT/build}"

PACKAGES=(cmake ninja-build g++ pkg-config
          qt6-base-dev qt6-multimedia-dev libicu-dev zlib1g-dev
          libgtest-dev libbenchmark-dev libsqlite3-dev libedit-dev sqlite3
          fonts-ipafont-gothic xvfb xauth
          gnugo qt6-translations-l10n dpkg-dev)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${missing[@]}"
fi

if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja
fi
cmake --build "$BUILD_DIR" -j "$(nproc)"
