#!/usr/bin/env bash
# Runs the tool on the bundled demo disk image: the desktop wizard when a display is available and
# it was built, otherwise a walk-through with dravik-cli (drives, partitions, scan, listing, recovery
# of the deleted files into a temporary folder).
set -euo pipefail
build=${1:-build/release}
image=$build/demo/demo.img
cli=$build/src/cli/dravik-cli
gui=$build/src/gui/dravik
[ -f "$image" ] || { echo "demo image not found: $image (run: cmake --workflow --preset demo)" >&2; exit 1; }

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x "$gui" ] && [ "${DRAVIK_DEMO_CLI:-0}" != 1 ]; then
    exec "$gui" "$image"
fi
[ -x "$gui" ] && echo "(no display: showing the command-line walk-through instead of the desktop wizard)"

run() { echo; echo "\$ dravik-cli $*"; "$cli" --images-only --image "$image" "$@"; }
run drives
run partitions
run scan --partition 1 --tree
run ls --partition 1 /Documents
out=$(mktemp -d)
run recover --partition 1 --all --deleted only --to "$out"
echo; echo "Deleted files recovered into $out:"; find "$out" -type f | sort
