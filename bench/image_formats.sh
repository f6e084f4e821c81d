#!/bin/bash
# Disk image formats benchmark: Standard Scan and Recover All of the reference image read as raw,
# as E01 (libewf) and as QCOW2 (libqcow), and the E01 read through ewfmount (FUSE) as a raw image,
# medians of RUNS runs each, run alternately, page cache warm.
#
# Usage: bench/image_formats.sh [BUILD_DIR] [IMAGE]
#   BUILD_DIR  a Release build holding src/cli/dravik-cli (default build/release)
#   IMAGE      the reference image (default /work/bench-ref/ref.img; partition 1 at sector 2048)
# Environment: RUNS (default 5), DEST (a folder for the recovered files, default a temporary folder
# under /tmp), JOBS (recover --jobs, default: the program's own choice).
# The E01 (deflate, fast) and QCOW2 (uncompressed clusters, as a VM disk) are made in a temporary
# folder first and deleted at the end; making them is not timed.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
image=${2:-/work/bench-ref/ref.img}
runs=${RUNS:-5}
cli="$build/src/cli/dravik-cli"
work=$(mktemp -d /tmp/dravik-bench-formats.XXXXXX)
dest=${DEST:-$work/out}
jobs=()
if [ -n "${JOBS:-}" ]; then jobs=(--jobs "$JOBS"); fi
cleanup() {
    mountpoint -q "$work/mnt" 2>/dev/null && umount "$work/mnt"
    rm -rf "$work" "$dest"
}
trap cleanup EXIT

start=$(date +%s.%N)
ewfacquire -u -q -t "$work/ref" -c deflate:fast "$image" > /dev/null 2>&1
echo "ewfacquire (deflate:fast): $(echo "$(date +%s.%N) - $start" | bc) s, $(du -ch "$work"/ref.E* | tail -1 | cut -f1)"
start=$(date +%s.%N)
qemu-img convert -O qcow2 "$image" "$work/ref.qcow2"
echo "qemu-img convert -O qcow2: $(echo "$(date +%s.%N) - $start" | bc) s, $(du -h "$work/ref.qcow2" | cut -f1)"
mkdir -p "$work/mnt"
ewfmount "$work/ref.E01" "$work/mnt" > /dev/null
ewfraw="$work/mnt/ewf1"

declare -A images=([raw]="$image" [e01]="$work/ref.E01" [qcow2]="$work/ref.qcow2" [ewfmount]="$ewfraw")
order=(raw e01 qcow2 ewfmount)
cat "$image" "$work"/ref.E* "$work/ref.qcow2" > /dev/null  # warm the page cache

source "$(dirname "${BASH_SOURCE[0]}")/measure.sh"

for ((i = 0; i < runs; i++)); do
    for f in "${order[@]}"; do
        measure "scan-$f" "$cli" --images-only --image "${images[$f]}" scan --partition 1 --json
    done
    for f in "${order[@]}"; do
        rm -rf "$dest"
        measure "recover-$f" "$cli" --images-only --image "${images[$f]}" recover --partition 1 --all \
            "${jobs[@]}" --to "$dest"
    done
done
rm -rf "$dest"

printf '%-10s %16s %12s %16s %12s\n' source "scan wall (s)" "peak (MiB)" "recover wall (s)" "peak (MiB)"
for f in "${order[@]}"; do
    printf '%-10s %16s %12.1f %16s %12.1f\n' "$f" \
        "$(echo "${wall[scan-$f]}" | median)" "$(echo "$(echo "${mem[scan-$f]}" | median) / 1024" | bc -l)" \
        "$(echo "${wall[recover-$f]}" | median)" "$(echo "$(echo "${mem[recover-$f]}" | median) / 1024" | bc -l)"
done
echo "runs: $runs each, alternating; image $image; recover --all ${jobs[*]:-(default jobs)} to $dest"
