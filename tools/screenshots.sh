#!/bin/sh
# Pictures of each step of the desktop wizard on the demo disk image, taken offscreen (or under
# Xvfb when it is installed and SCREENSHOTS_XVFB=1), written to docs/screenshots/.
#
# Usage: tools/screenshots.sh [BUILD_DIR] [OUT_DIR]
#   BUILD_DIR  a configured build with the GUI (default build/debug); its demo/demo.img is used
#   OUT_DIR    default docs/screenshots
# SCALE=2 takes them at 200 % (QT_SCALE_FACTOR).
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/debug}
out=${2:-$root/docs/screenshots}

cmake --build "$build" --target gui_screenshots dravik_demo_image
image=$build/demo/demo.img
tool=$build/tests/gui/gui_screenshots
export QT_SCALE_FACTOR=${SCALE:-1}

if [ "${SCREENSHOTS_XVFB:-0}" = 1 ] && command -v xvfb-run >/dev/null 2>&1; then
    xvfb-run -a -s "-screen 0 1280x900x24" "$tool" "$image" "$out"
else
    QT_QPA_PLATFORM=offscreen "$tool" "$image" "$out"
fi
