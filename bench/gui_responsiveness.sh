#!/bin/sh
# Longest GUI-thread stall of the desktop wizard during a Standard Scan of the reference image
# (a 10 ms timer records the largest gap between ticks), offscreen.
#
# Usage: bench/gui_responsiveness.sh [BUILD_DIR] [IMAGE] [RUNS]
#   BUILD_DIR  a Release build configured with the GUI (default build/release)
#   IMAGE      default /work/bench-ref/ref.img
#   RUNS       default 3
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/release}
image=${2:-/work/bench-ref/ref.img}
runs=${3:-3}

cmake --build "$build" --target gui_responsiveness
i=1
while [ "$i" -le "$runs" ]; do
    QT_QPA_PLATFORM=offscreen "$build/tests/gui/gui_responsiveness" "$image"
    i=$((i + 1))
done
