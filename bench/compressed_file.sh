#!/bin/bash
# One compressed file: builds (root and FUSE: ntfs-3g mounted with `-o compression`) a disk image
# whose NTFS partition holds a 100 MiB file of mixed content (text, random bytes and zeros in
# pieces of 4 KiB to 256 KiB) in a folder carrying the compressed attribute, so that it is stored
# LZNT1-compressed in units stored as is, compressed and sparse. Then times
# `dravik-cli recover --partition 1 Packed/mixed.bin --to DIR` against
# `icat -o 2048 IMAGE RECORD > DIR/mixed.bin`, alternating, RUNS runs each (default 5), page cache
# warm, a sync before each run, output on WORK's file system; prints both medians and compares
# the copies with each other and with the file's sha256 as ntfs-3g read it back.
#
# Usage: sudo bench/compressed_file.sh [BUILD_DIR] [WORK]
#   BUILD_DIR  a Release build holding src/cli/dravik-cli (default build/release)
#   WORK       scratch folder for the image and the copies (default /tmp/dravik-bench-compressed);
#              the image is built once and kept there for later runs
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
work=${2:-/tmp/dravik-bench-compressed}
runs=${RUNS:-5}
cli="$build/src/cli/dravik-cli"
start=2048
sectors=$((320 * 2048))   # 320 MiB volume
image=$work/compressed-bench.img
mkdir -p "$work"

if [[ ! -f $image ]]; then
    [[ $(id -u) -eq 0 ]] || { echo "compressed_file.sh: building the image needs root (ntfs-3g)" >&2; exit 1; }
    mnt=$work/mnt; mkdir -p "$mnt"
    vol=$work/vol.img
    rm -f "$vol"; truncate -s $((sectors * 512)) "$vol"
    mkntfs -F -Q -T -q -s 512 -c 4096 -p $start -H 255 -S 63 -L BENCH "$vol" 2>/dev/null
    ntfs-3g -o compression "$vol" "$mnt"
    mkdir "$mnt/Packed"
    setfattr -n system.ntfs_attrib_be -v 0x00000800 "$mnt/Packed"
    python3 - "$mnt/Packed/mixed.bin" <<'PY'
import os, random, sys
r = random.Random(100)
words = ("the of and to in is was for on that with as by at from his an be this which or had are but not "
         "disk volume cluster record folder file index sector run unit chunk data recovery stream").split()
def prose(n):
    out = bytearray()
    while len(out) < n:
        out += (" ".join(r.choice(words) for _ in range(r.randint(4, 14))) + f" {r.randint(0, 99999)}.\n").encode()
    return bytes(out[:n])
texts = [prose(1 << 18) for _ in range(16)]
size = 100 << 20
with open(sys.argv[1], "wb") as f:
    done = 0
    while done < size:
        n = min(size - done, r.randint(4096, 1 << 18))
        kind = r.random()
        if kind < 0.55:
            t = r.choice(texts); at = r.randint(0, len(t) - n)
            f.write(t[at:at + n])
        elif kind < 0.85:
            f.write(os.urandom(n))
        else:
            f.write(bytes(n))
        done += n
PY
    sha256sum "$mnt/Packed/mixed.bin" | cut -d' ' -f1 >"$work/mixed.sha256"
    stat -c %i "$mnt/Packed/mixed.bin" >"$work/mixed.record"
    sync; umount "$mnt"
    rm -f "$image"; truncate -s $(((start + sectors + 2048) * 512)) "$image"
    printf 'label: dos\nlabel-id: 0x4e544699\nunit: sectors\n\nstart=%d, size=%d, type=7\n' $start $sectors \
        | sfdisk -q --no-reread --no-tell-kernel "$image" >/dev/null
    dd if="$vol" of="$image" bs=1M seek=$((start * 512)) oflag=seek_bytes conv=notrunc,sparse status=none
    rm -f "$vol"
fi
record=$(cat "$work/mixed.record")
want=$(cat "$work/mixed.sha256")
istat -o $start "$image" "$record" >"$work/istat.txt"
grep -q 'Non-Resident, Compressed' "$work/istat.txt" || { echo "mixed.bin is not compressed" >&2; exit 1; }
echo "mixed.bin: record $record, attribute list: $(grep -q '^Type: \$ATTRIBUTE_LIST' "$work/istat.txt" && echo yes || echo no)"
cat "$image" >/dev/null   # warm the page cache

now() { date +%s.%N; }
declare -A wall
time_it() { # name command (through sh)
    local name=$1 t0 t1
    rm -rf "$work/run"; mkdir -p "$work/run"
    sync
    t0=$(now); sh -c "$2" >/dev/null 2>&1; t1=$(now)
    wall[$name]+="$(awk -v a="$t0" -v b="$t1" 'BEGIN {printf "%.3f", b - a}') "
    cp "$work/run/mixed.bin" "$work/$name.bin"
}
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]}'; }

for ((i = 0; i < runs; i++)); do
    time_it dravik "'$cli' --images-only --image '$image' recover --partition 1 Packed/mixed.bin --to '$work/run'"
    time_it icat "icat -o $start '$image' $record > '$work/run/mixed.bin'"
done
mb=$(awk -v s=$((100 << 20)) 'BEGIN {print s / 1e6}')
for name in dravik icat; do
    m=$(echo "${wall[$name]}" | median)
    printf '%-7s runs (s): %s  median %s s  %s MB/s\n' "$name" "${wall[$name]}" "$m" "$(awk -v a="$mb" -v b="$m" 'BEGIN {printf "%.0f", a / b}')"
done
cmp "$work/dravik.bin" "$work/icat.bin" && echo "the copies are identical"
[[ $(sha256sum "$work/dravik.bin" | cut -d' ' -f1) == "$want" ]] && echo "and match the sha256 ntfs-3g read back"
rm -rf "$work/run" "$work/dravik.bin" "$work/icat.bin"
