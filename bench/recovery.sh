#!/bin/bash
# Recovery benchmark on the reference image: one 100 MiB file (dravik-cli recover PATH against
# icat) and Recover All of the partition against tsk_recover -a, run alternately, output on the
# same file system, page cache warm; medians of RUNS runs (RUNS_ALL for Recover All).
# tsk_recover -a copies allocated files only, so dravik-cli is timed both with
# "--deleted exclude" (the like-for-like figure) and with deleted files included.
# Every Recover All run writes into a directory of its own and the copies are removed only at
# the end: on ext4 without a journal, files created right after 150,000 files were deleted pay
# for the allocator skipping every recently freed inode, which would measure the previous run. dravik-cli's figures include its Standard Scan, which the script also times
# alone so that the copy itself can be read off.
#
# Usage: bench/recovery.sh [BUILD_DIR] [IMAGE] [OUT_DIR]
#   BUILD_DIR  a Release build holding src/cli/dravik-cli (default build/h-rec-rel)
#   IMAGE      the reference image (default /work/bench-ref/ref.img; partition 1 at sector 2048)
#   OUT_DIR    where the copies go (default /work/bench-out); emptied after each run
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/h-rec-rel}
image=${2:-/work/bench-ref/ref.img}
out=${3:-/work/bench-out}
runs=${RUNS:-5}
runsAll=${RUNS_ALL:-$runs}
cli="$build/src/cli/dravik-cli"
offset=2048
manifest=$(dirname "$image")/manifest.tsv
record=40242
path=$(awk -F'\t' -v r=$record '$1 == r {print $7; exit}' "$manifest")
mkdir -p "$out"
work=$(mktemp -d /tmp/dravik-bench.XXXXXX)
trap 'rm -rf "$work"' EXIT
cat "$image" > /dev/null   # warm the page cache

declare -A wall
measure() { # name command...
    local name=$1; shift
    rm -rf "$out/run"; mkdir -p "$out/run"
    /usr/bin/time -f "%e" -o "$work/time" "$@" > /dev/null 2> /dev/null || true
    wall[$name]+="$(cat "$work/time") "
}
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }

for ((i = 0; i < runs; i++)); do
    measure scan "$cli" --images-only --image "$image" scan --partition 1
    measure dravik-one "$cli" --images-only --image "$image" recover --partition 1 --to "$out/run" "$path"
    measure icat sh -c "icat -o $offset '$image' $record > '$out/run/one.mkv'"
done
# Check the single copies once.
"$cli" --images-only --image "$image" recover --partition 1 --to "$out/check" "$path" > /dev/null 2>&1
icat -o $offset "$image" $record > "$out/check/icat.mkv"
cmp "$out/check/$(basename "$path")" "$out/check/icat.mkv" && echo "single file: identical to icat's"
rm -rf "$out/check"

measureAll() { # name command... (the output directory is the last argument)
    local name=$1; shift
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" > /dev/null 2> /dev/null || true
    read -r w u s < "$work/time"
    wall[$name]+="$w "; user[$name]+="$u "; sys[$name]+="$s "
}
declare -A user sys
rm -rf "$out/run" "$out"/all-*
for ((i = 0; i < runsAll; i++)); do
    measureAll dravik-alloc "$cli" --images-only --image "$image" recover --partition 1 --all --deleted exclude \
        --to "$out/all-$i-dravik-alloc"
    measureAll tsk_recover tsk_recover -a -o $offset "$image" "$out/all-$i-tsk"
    measureAll dravik-all "$cli" --images-only --image "$image" recover --partition 1 --all \
        --to "$out/all-$i-dravik-all"
done
rm -rf "$out"/all-*

printf '%-13s %10s %10s %10s\n' tool "wall (s)" "user (s)" "sys (s)"
for t in scan dravik-one icat dravik-alloc tsk_recover dravik-all; do
    printf '%-13s %10s %10s %10s\n' "$t" "$(echo "${wall[$t]}" | median)" "$(echo "${user[$t]:-}" | median)" \
        "$(echo "${sys[$t]:-}" | median)"
done
echo "runs: $runs (single file), $runsAll (Recover All), alternating; image $image; output $out"
