#!/usr/bin/env bash
# Sets everything up (packages, configure, build) and runs the whole test suite.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$ROOT/scripts/setup.sh"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "${BUILD_DIR:-$ROOT/build}" --output-on-failure -j "$(nproc)" --timeout 600 "$@"
