#!/usr/bin/env bash
# Sets everything up (packages, configure, build) and runs the program.
# Arguments go to the program, e.g. ./run.sh --screenshot board.png
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
"$ROOT/scripts/setup.sh"
BIN="${BUILD_DIR:-$ROOT/build}/bin/miretoka"

# The program finds its lessons in ./kyozai, so it runs from its own folder;
# a relative screenshot path is made absolute first so it still lands where the user asked.
args=()
screenshot=0
want_file=0
for a in "$@"; do
  if [ $want_file -eq 1 ]; then
    case "$a" in /*) ;; *) a="$PWD/$a" ;; esac
    want_file=0
  fi
  if [ "$a" = "--screenshot" ]; then screenshot=1; want_file=1; fi
  args+=("$a")
done
cd "$(dirname "$BIN")"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  if [ $screenshot -eq 1 ]; then
    echo "No display: rendering off-screen." >&2
    exec env QT_QPA_PLATFORM=offscreen "$BIN" "${args[@]}"
  fi
  echo "No display found: starting the program on a virtual display (Xvfb)." >&2
  echo "Use ./run.sh --screenshot board.png to get a picture of the window instead." >&2
  exec xvfb-run -a -s "-screen 0 1600x1200x24" "$BIN" "${args[@]}"
fi
exec "$BIN" "${args[@]}"
