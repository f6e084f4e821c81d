#!/bin/bash
# Recovery benchmark on the reference image: one 100 MiB file (dravik-cli recover PATH against
# icat) and Recover All of the partition against tsk_recover -a, run alternately, output on the
# same file system, page cache warm; medians of RUNS runs (RUNS_ALL for Recover All).
# tsk_recover -a copies allocated files only, so dravik-cli is timed both with
# "--deleted exclude" (the like-for-like figure) and with deleted files included.
# Every Recover All run writes into a directory of its own, dirty pages are written back (sync,
# not timed) before each run so that no run pays for the previous one's writeback, the order of
# the tools turns round from one round to the next, and the copies are removed only at the end.
# On ext4 without a journal, files created within six minutes of many deletions on the same file
# system pay for the inode allocator skipping every recently freed inode (seen with perf as
# recently_deleted in ext4_create), which would time an earlier run: the script waits SETTLE
# seconds (default 400) before the first Recover All run; leave that much time after deleting a
# previous run's copies too. Recover All of 5 rounds needs about 30 GB free in OUT_DIR (45 GB
# with WITH_DELETED=1, which also times dravik-cli with deleted files included).
# With SCRATCH_FS=FILE (root only) every Recover All run instead writes to a new ext4 file system
# made in FILE (a sparse file of 10 GiB, created when missing) and mounted on OUT_DIR, so that
# every run of every tool starts from the same empty file system and no waiting is needed.
# dravik-cli's Recover All figures include its Standard Scan, which the script also times alone;
# the single file is found through the directory indexes without a scan. dravik-cli copies with
# its default number of workers (one per core, at most 4).
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
scratch=${SCRATCH_FS:-}
settle=${SETTLE:-400}
[ -n "$scratch" ] && settle=${SETTLE:-0}
withDeleted=${WITH_DELETED:-0}
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
    sync
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

freshFs() { # a new empty ext4 on OUT_DIR
    umount "$out" 2> /dev/null || true
    [ -f "$scratch" ] || truncate -s 10G "$scratch"
    mkfs.ext4 -q -F -E lazy_itable_init=0,lazy_journal_init=0 "$scratch"
    mount -o loop "$scratch" "$out"
}
measureAll() { # name command... (the output directory is the last argument)
    local name=$1; shift
    [ -n "$scratch" ] && freshFs
    sync
    /usr/bin/time -f "%e %U %S" -o "$work/time" "$@" > /dev/null 2> /dev/null || true
    read -r w u s < "$work/time"
    wall[$name]+="$w "; user[$name]+="$u "; sys[$name]+="$s "
}
declare -A user sys
rm -rf "$out/run"
sync; sleep "$settle"
tools=(dravik-alloc tsk_recover)
[ "$withDeleted" = 1 ] && tools+=(dravik-all)
for ((i = 0; i < runsAll; i++)); do
    for ((k = 0; k < ${#tools[@]}; k++)); do
        t=${tools[(i + k) % ${#tools[@]}]}
        case $t in
        dravik-alloc) measureAll $t "$cli" --images-only --image "$image" recover --partition 1 --all \
                          --deleted exclude --to "$out/all-$i-$t" ;;
        tsk_recover) measureAll $t tsk_recover -a -o $offset "$image" "$out/all-$i-$t" ;;
        dravik-all) measureAll $t "$cli" --images-only --image "$image" recover --partition 1 --all \
                        --to "$out/all-$i-$t" ;;
        esac
    done
done
rm -rf "$out"/all-*
[ -n "$scratch" ] && umount "$out"

printf '%-13s %10s %10s %10s\n' tool "wall (s)" "user (s)" "sys (s)"
for t in scan dravik-one icat dravik-alloc tsk_recover dravik-all; do
    printf '%-13s %10s %10s %10s\n' "$t" "$(echo "${wall[$t]:-}" | median)" "$(echo "${user[$t]:-}" | median)" \
        "$(echo "${sys[$t]:-}" | median)"
done
echo "runs: $runs (single file), $runsAll (Recover All), alternating; image $image; output $out${scratch:+ (a new ext4 in $scratch for each Recover All run)}"
