#!/bin/bash
# Advance Scan benchmark: wall time and peak memory of `dravik-cli advance-scan` over the whole
# reference image (sweep and analysis) against `cat image > /dev/null`, run alternately, medians
# of RUNS runs each; page cache warm, and cold as well when the caches can be dropped (root).
#
# Usage: bench/advance_scan.sh [BUILD_DIR] [IMAGE]
#   BUILD_DIR  a Release build holding src/cli/dravik-cli (default build/h-adv-rel)
#   IMAGE      the reference image (default /work/bench-ref/ref.img)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/h-adv-rel}
image=${2:-/work/bench-ref/ref.img}
runs=${RUNS:-5}
chunk=${CHUNK:-60}
cli="$build/src/cli/dravik-cli"
work=$(mktemp -d /tmp/dravik-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

sectors=$(( $(stat -c %s "$image") / 512 ))
declare -A wall mem
measure() { # name command...
    local name=$1; shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" > "$work/out.$name" 2> /dev/null || true
    read -r w m < "$work/time"
    wall[$name]+="$w "; mem[$name]+="$m "
}
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
can_drop() { [ -w /proc/sys/vm/drop_caches ] && sync && echo 3 > /proc/sys/vm/drop_caches 2>/dev/null; }

run_set() { # suffix drop
    for ((i = 0; i < runs; i++)); do
        [ "$2" = 1 ] && can_drop
        measure "dravik$1" "$cli" --images-only --image "$image" advance-scan --start 0 --end "$sectors" --chunk "$chunk"
        [ "$2" = 1 ] && can_drop
        measure "cat$1" cat "$image"
    done
}

cat "$image" > /dev/null   # warm the page cache
run_set "" 0
modes=("")
if can_drop; then run_set "-cold" 1; modes+=("-cold"); fi

printf '%-12s %10s %12s\n' tool "wall (s)" "peak (MiB)"
for mode in "${modes[@]}"; do
    for t in dravik cat; do
        w=$(echo "${wall[$t$mode]}" | median)
        m=$(echo "${mem[$t$mode]}" | median)
        printf '%-12s %10s %12.1f\n' "$t$mode" "$w" "$(echo "$m / 1024" | bc -l)"
    done
done
echo "runs: $runs each, alternating; image $image ($sectors sectors); chunk $chunk sectors"
echo "last advance-scan output:"
cat "$work/out.dravik"
