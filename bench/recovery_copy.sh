#!/bin/bash
# One file copied out of the reference image without the Standard Scan in the timing, against
# icat: bench/recovery_copy.cpp scans partition 1 once, then copies MFT record RECORD (default
# 40242, the 100 MiB file) RUNS times with the recovery engine, and after each copy runs
# `icat -o 2048 IMAGE RECORD > DIR/file` (alternating, output on the same file system, each run
# into a fresh folder, page cache warm). Both medians are printed. icat's figure is its whole
# command (process start and its own lookup of the record in the MFT included), the engine's
# is the copy alone. At the end the engine's copy is compared with icat's (cmp).
#
# Usage: bench/recovery_copy.sh [BUILD_DIR] [IMAGE] [OUT_DIR]
#   BUILD_DIR  a Release build whose static libraries the program is linked against (default
#              build/h-copy-rel; dravik-cli must have been built there)
#   IMAGE      the reference image (default /work/bench-ref/ref.img; partition 1 at sector 2048)
#   OUT_DIR    where the copies go (default /work/bench-out)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/h-copy-rel}
image=${2:-/work/bench-ref/ref.img}
out=${3:-/work/bench-out}
runs=${RUNS:-5}
record=${RECORD:-40242}
offset=2048
work=$(mktemp -d /tmp/dravik-copy.XXXXXX)
trap 'rm -rf "$work"' EXIT

libs=()
for l in cli/libdravik_cli_lib shell/libdravik_shell snapshot/libdravik_snapshot advscan/libdravik_advscan \
         recovery/libdravik_recovery partitions/libdravik_partitions ntfs/libdravik_ntfs disk/libdravik_disk \
         platform/libdravik_platform core/libdravik_core; do
    libs+=("$build/src/$l.a")
done
c++ -std=c++20 -O2 -I"$here/src" "$here/bench/recovery_copy.cpp" -o "$work/recovery_copy" "${libs[@]}" -ldl

mkdir -p "$out"
cat "$image" > /dev/null   # warm the page cache
"$work/recovery_copy" --image "$image" --record "$record" --runs "$runs" --out "$out" --keep "$work/engine.bin" \
    --between "icat -o $offset '$image' $record > \"\$RUN_DIR/icat.bin\"" --label icat
icat -o $offset "$image" "$record" > "$out/icat-check.bin"
cmp "$work/engine.bin" "$out/icat-check.bin" && echo "the copy is identical to icat's"
rm -f "$out/icat-check.bin"
echo "(icat: whole command, process start and its MFT lookup included; copy: ExtractNtfsFile alone)"
