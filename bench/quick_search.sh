#!/bin/bash
# Quick search benchmark: a sparse 3 TiB image with no partition table, holding NTFS boot sectors
# taken from the ntfs_basic fixture at a few places, searched by bench/quick_search.cpp (requests
# counted) and by `dravik-cli search-partitions` (wall time, and the system calls by strace -c).
#
# Usage: bench/quick_search.sh [BUILD_DIR]
#   BUILD_DIR  a Release build holding src/cli/dravik-cli and its libraries (default build/release)
#   FIXTURE    the unpacked ntfs_basic.img (default BUILD_DIR/fixtures/ntfs_basic.img)
# Places (sectors), each a volume of 49151 sectors whose copy sits at start + 49151:
#   2048               first and backup boot sector
#   2^31 (1 TiB)       backup only: found by the copy at the sector before a 1 MiB boundary
#   16065 * 200000     first boot sector on a cylinder start, backup not written
#   2^32 + 2048        first and backup boot sector, beyond 32-bit sector numbers
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
cli="$build/src/cli/dravik-cli"
fixture=${FIXTURE:-$build/fixtures/ntfs_basic.img}  # any build's unpacked fixtures
work=$(mktemp -d /tmp/dravik-qsearch.XXXXXX)
trap 'rm -rf "$work"' EXIT
image="$work/3t.img"

c++ -std=c++20 -O2 -I"$here/src" -I"$build/generated" "$here/bench/quick_search.cpp" -o "$work/quick_search" \
    "$build/src/partitions/libdravik_partitions.a" "$build/src/ntfs/libdravik_ntfs.a" \
    "$build/src/catalog/libdravik_catalog.a" \
    "$build/src/disk/libdravik_disk.a" "$build/src/platform/libdravik_platform.a" \
    "$build/src/core/libdravik_core.a" -ldl

truncate -s 3T "$image"
dd if="$fixture" of="$work/boot" bs=512 skip=2048 count=1 status=none
put() { # sector hidden-sectors
    cp "$work/boot" "$work/b"
    printf "$(printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($2 & 255)) $(($2 >> 8 & 255)) $(($2 >> 16 & 255)) $(($2 >> 24 & 255)))" |
        dd of="$work/b" bs=1 seek=28 conv=notrunc status=none
    dd if="$work/b" of="$image" bs=512 seek="$1" conv=notrunc status=none
}
total=49151
put 2048 2048; put $((2048 + total)) 2048
put $(((1 << 31) + total)) $((1 << 31))
put $((16065 * 200000)) $((16065 * 200000))
put $(((1 << 32) + 2048)) 0; put $(((1 << 32) + 2048 + total)) 0

echo "== counted (bench/quick_search.cpp)"
"$work/quick_search" "$image"
echo "== dravik-cli --images-only --image 3t.img search-partitions"
/usr/bin/time -f "wall %e s, peak %M KiB" "$cli" --images-only --quiet --image "$image" search-partitions
if command -v strace > /dev/null; then
    echo "== strace -c -e trace=pread64"
    strace -f -c -e trace=pread64 "$cli" --images-only --quiet --image "$image" search-partitions 2>&1 >/dev/null |
        grep -E 'pread64|calls'
fi
