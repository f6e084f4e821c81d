#!/bin/bash
# Two builds of dravik-cli side by side on the reference image: the Standard Scan (with
# ntfsundelete as the peer) and the Advance Scan sweep of the whole disk (with cat as the raw read
# speed), run alternately, medians of RUNS runs each, page cache warm. Used to show that a change
# (such as the widening of sector numbers to 64 bits) keeps the figures of bench/RESULTS.md.
#
# Usage: bench/compare_builds.sh OLD_CLI NEW_CLI [IMAGE]
#   OLD_CLI, NEW_CLI  two dravik-cli binaries (Release builds)
#   IMAGE             the reference image (default /work/bench-ref/ref.img; partition 1 at 2048)
set -euo pipefail
old=${1:?usage: compare_builds.sh OLD_CLI NEW_CLI [IMAGE]}
new=${2:?usage: compare_builds.sh OLD_CLI NEW_CLI [IMAGE]}
image=${3:-/work/bench-ref/ref.img}
runs=${RUNS:-5}
offset=2048
work=$(mktemp -d /tmp/dravik-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT

sectors=$(sfdisk -d "$image" 2>/dev/null | awk -F'[=,]' '/start=/ {gsub(/ /,""); print $4; exit}')
end=$(( $(stat -c %s "$image") / 512 ))
part="$work/part.img"
dd if="$image" of="$part" bs=1M iflag=skip_bytes,count_bytes skip=$((offset * 512)) \
   count=$((sectors * 512)) status=none
cat "$image" "$part" > /dev/null   # warm the page cache

source "$(dirname "${BASH_SOURCE[0]}")/measure.sh"

for ((i = 0; i < runs; i++)); do
    measure scan-old "$old" --images-only --image "$image" scan --partition 1 --json
    measure scan-new "$new" --images-only --image "$image" scan --partition 1 --json
    measure ntfsundelete ntfsundelete --scan --force "$part"
    measure sweep-old "$old" --images-only --image "$image" advance-scan --start 0 --end "$end" --chunk 60
    measure sweep-new "$new" --images-only --image "$image" advance-scan --start 0 --end "$end" --chunk 60
    measure cat cat "$image"
done

printf '%-14s %10s %12s\n' run "wall (s)" "peak (MiB)"
for t in scan-old scan-new ntfsundelete sweep-old sweep-new cat; do
    w=$(echo "${wall[$t]}" | median)
    m=$(echo "${mem[$t]}" | median)
    printf '%-14s %10s %12.1f\n' "$t" "$w" "$(echo "$m / 1024" | bc -l)"
done
echo "runs: $runs each, alternating; image $image ($sectors sectors at $offset, disk $end sectors)"
