#!/bin/bash
# Standard Scan benchmark: wall time and peak memory of `dravik-cli scan --json` on the reference
# image against ntfsundelete --scan (ntfs-3g) and fls -r -p -d (The Sleuth Kit), run alternately,
# medians of RUNS runs each, page cache warm.
#
# Usage: bench/standard_scan.sh [BUILD_DIR] [IMAGE]
#   BUILD_DIR  a Release build holding src/cli/dravik-cli (default build/h-scan-rel)
#   IMAGE      the reference image (default /work/bench-ref/ref.img; partition 1 at sector 2048)
# ntfsundelete reads a device or file holding the volume alone and has no offset option, so the
# partition is carved once into a temporary file (outside the timing).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/h-scan-rel}
image=${2:-/work/bench-ref/ref.img}
runs=${RUNS:-5}
cli="$build/src/cli/dravik-cli"
offset=2048
work=$(mktemp -d /tmp/dravik-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

sectors=$(sfdisk -d "$image" 2>/dev/null | awk -F'[=,]' '/start=/ {gsub(/ /,""); print $4; exit}')
part="$work/part.img"
dd if="$image" of="$part" bs=1M iflag=skip_bytes,count_bytes skip=$((offset * 512)) \
   count=$((sectors * 512)) status=none
cat "$image" "$part" > /dev/null   # warm the page cache

source "$(dirname "${BASH_SOURCE[0]}")/measure.sh"

for ((i = 0; i < runs; i++)); do
    measure dravik "$cli" --images-only --image "$image" scan --partition 1 --json
    measure ntfsundelete ntfsundelete --scan --force "$part"
    measure fls fls -r -p -d -o "$offset" "$image"
done

printf '%-14s %10s %12s\n' tool "wall (s)" "peak (MiB)"
for t in dravik ntfsundelete fls; do
    w=$(echo "${wall[$t]}" | median)
    m=$(echo "${mem[$t]}" | median)
    printf '%-14s %10s %12.1f\n' "$t" "$w" "$(echo "$m / 1024" | bc -l)"
done
echo "runs: $runs each, alternating; image $image ($sectors sectors at $offset)"
