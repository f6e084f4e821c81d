#!/usr/bin/env bash
# Builds the fixture disk images of tests/data (and demo/demo.tar.xz) with the stock Linux NTFS and
# FAT tools, then writes each image's manifest and The Sleuth Kit's / ntfs-3g's listings of it.
#
# Needs root and FUSE (ntfs-3g mounts the volumes) and these Debian packages:
#   ntfs-3g sleuthkit fdisk dosfstools mtools attr xz-utils python3
#
# Usage: sudo bash tests/data/make-fixtures.sh [ntfs_basic|multi_part|mft_runs|reformatted|compressed|demo|unicode|big_gpt|gpt ...]
# With no argument every image is built. Scratch files go to $FIXTURE_WORK (default /tmp/fixtures-work).
#
# File contents are stamped: every 512-byte sector of a file holds the line
# "<path> offset <10-digit byte offset of the sector>\n" repeated, so a misplaced sector shows in a
# diff and the images compress well. mkntfs runs with -T and sfdisk scripts carry a label-id, so the
# boot sectors and tables are reproducible; file times written through ntfs-3g are not.
set -euo pipefail
export LC_ALL=C.UTF-8 TZ=UTC

DATA=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$DATA/../.." && pwd)
WORK=${FIXTURE_WORK:-/tmp/fixtures-work}
MNT=$WORK/mnt
ORACLE=$DATA/oracle
mkdir -p "$WORK" "$MNT" "$ORACLE"

[[ $(id -u) -eq 0 ]] || { echo "make-fixtures.sh: needs root (ntfs-3g FUSE mounts)" >&2; exit 1; }
for tool in mkntfs ntfs-3g ntfsls ntfsinfo ntfsundelete sfdisk mkfs.vfat mcopy mmd setfattr fls istat icat mmls xz python3; do
    command -v "$tool" >/dev/null || { echo "make-fixtures.sh: $tool not found" >&2; exit 1; }
done

cleanup() { mountpoint -q "$MNT" && umount "$MNT" || true; }
trap cleanup EXIT

# ---------------------------------------------------------------------------------------------
# Python helper: stamped contents, interleaved appends, manifest rows.
FT=$WORK/ft.py
cat >"$FT" <<'PY'
import hashlib, os, sys

SECTOR = 512

def pattern(label, sector):
    line = f"{label} offset {sector * SECTOR:010d}\n".encode()
    return (line * (SECTOR // len(line) + 1))[:SECTOR]

def stamped(label, start, count):
    """Bytes [start, start+count) of the stamped content of `label`."""
    out = bytearray()
    pos = start
    end = start + count
    while pos < end:
        sec = pos // SECTOR
        chunk = pattern(label, sec)[pos % SECTOR:]
        take = min(len(chunk), end - pos)
        out += chunk[:take]
        pos += take
    return bytes(out)

def append(path, count, label, zeros=False):
    with open(path, "ab") as f:
        start = f.tell()
        f.write(bytes(count) if zeros else stamped(label, start, count))
        f.flush()
        os.fsync(f.fileno())

def cmd_stamp(path, size, label):
    with open(path, "wb") as f:
        f.write(stamped(label, 0, int(size)))

def cmd_append(path, count, label):
    append(path, int(count), label)

def cmd_write_at(path, offset, count, label):
    offset, count = int(offset), int(count)
    with open(path, "r+b") as f:
        f.seek(offset)
        f.write(stamped(label, offset, count))

def cmd_interleave(a, la, b, lb, rounds, chunk, bmode):
    """Alternate appends to a and b, flushed to disk each time, so their runs interleave."""
    for _ in range(int(rounds)):
        append(a, int(chunk), la)
        append(b, int(chunk), lb, zeros=(bmode == "zeros"))

def sha256(path):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    return h.hexdigest()

def names_of(path):
    try:
        os.getxattr(path, "system.ntfs_dos_name")
        return "win32"
    except OSError:
        return "posix"

def row(mount, rel, part, start, deleted, fs):
    full = os.path.join(mount, rel)
    st = os.lstat(full)
    kind = "d" if os.path.isdir(full) else "f"
    size = st.st_size if kind == "f" else 0
    digest = sha256(full) if kind == "f" else "-"
    names = names_of(full) if fs == "ntfs" else "-"
    record = str(st.st_ino) if fs == "ntfs" else "-"
    return [part, start, kind, rel, str(size), digest, deleted, "-", record, names]

def cmd_walk(mount, sub, part, start, deleted, fs):
    """Rows for `sub` (a path under mount, "" for everything) and all below it."""
    rows = []
    base = os.path.join(mount, sub) if sub else mount
    if sub:
        rows.append(row(mount, sub, part, start, deleted, fs))
    if os.path.isdir(base):
        for dirpath, dirnames, filenames in os.walk(base):
            dirnames.sort()
            for name in sorted(dirnames) + sorted(filenames):
                rel = os.path.relpath(os.path.join(dirpath, name), mount)
                if fs == "ntfs" and rel.startswith("$"):
                    continue
                rows.append(row(mount, rel, part, start, deleted, fs))
    for r in rows:
        print("\t".join(r))

def cmd_dosname(path):
    """Give a file or folder an 8.3 alias the way Windows would (NAME~N.EXT), making its long name Win32."""
    parent, name = os.path.split(path)
    base, dot, ext = name.rpartition(".")
    if not dot:
        base, ext = name, ""
    ok = lambda s: "".join(c for c in s.upper() if c.isascii() and (c.isalnum() or c in "_-"))
    if (len(base) <= 8 and len(ext) <= 3 and ok(base) == base.upper() and ok(ext) == ext.upper()
            and base):
        short = name.upper()
    else:
        existing = set()
        for other in os.listdir(parent or "."):
            try:
                existing.add(os.getxattr(os.path.join(parent, other), "system.ntfs_dos_name").decode())
            except OSError:
                pass
        stem = ok(base)[:6] or "FILE"
        e = ok(ext)[:3]
        n = 1
        while True:
            short = f"{stem}~{n}" + (f".{e}" if e else "")
            if short not in existing:
                break
            n += 1
            if n > 9:
                stem = stem[:5]
    os.setxattr(path, "system.ntfs_dos_name", short.encode())

def chs(lba):
    c, rem = divmod(lba, 255 * 63)
    h, sec = divmod(rem, 63)
    if c > 1023:
        c, h, sec = 1023, 254, 62
    return bytes([h, ((c >> 2) & 0xC0) | (sec + 1), c & 0xFF])

def entry(typ, first, count, rel):
    import struct
    return bytes([0]) + chs(first) + bytes([typ]) + chs(first + count - 1) + struct.pack("<II", rel, count)

def cmd_ebr_chain(disk, ext_start, *logicals):
    """Write the extended chain: for each "ebr:type:start:count" an EBR at `ebr` whose first entry
    is the logical (start relative to the EBR) and whose second links the next EBR (relative to
    the extended partition's start, type 0x05)."""
    ext_start = int(ext_start)
    parts = [tuple(int(x, 0) for x in l.split(":")) for l in logicals]
    with open(disk, "r+b") as f:
        for i, (ebr, typ, start, count) in enumerate(parts):
            sector = bytearray(512)
            sector[446:462] = entry(typ, start, count, start - ebr)
            if i + 1 < len(parts):
                nebr, _, nstart, ncount = parts[i + 1]
                sector[462:478] = entry(0x05, nebr, nstart + ncount - nebr, nebr - ext_start)
            sector[510:512] = b"\x55\xaa"
            f.seek(ebr * 512)
            f.write(sector)

def cmd_old_check(vol, cluster, size, digest, clusters):
    """Does the old content still lie in `vol`? Non-resident: the listed clusters, in order;
    resident (clusters "-"): the bytes anywhere in the volume."""
    import hashlib
    size, cluster = int(size), int(cluster)
    with open(vol, "rb") as f:
        if clusters == "-":
            data = f.read()
            want = None
            print("yes" if any(hashlib.sha256(data[i:i + size]).hexdigest() == digest
                               for i in range(0, len(data) - size, 8)) else "no")
            return
        out = bytearray()
        for c in clusters.split(","):
            f.seek(int(c) * cluster)
            out += f.read(cluster)
    print("yes" if hashlib.sha256(bytes(out[:size])).hexdigest() == digest else "no")

WORDS = ("the of and to in is was for on that with as by at from his an be this which or had are but not "
         "it have were one all their there been if more when will would who so no disk volume cluster record "
         "folder file index sector run unit chunk data recovery compressed stream header table entry").split()

def prose(seed, size):
    """Seeded pseudo-text: words, punctuation and numbers, so LZNT1 meets every kind of match."""
    import random
    r = random.Random(seed)
    out = bytearray()
    while len(out) < size:
        n = r.randint(4, 14)
        line = " ".join(r.choice(WORDS) for _ in range(n))
        out += f"{line.capitalize()} {r.randint(0, 99999)}.\n".encode()
    return bytes(out[:size])

def noise(seed, size):
    import random
    return random.Random(seed).randbytes(size)

def cmd_prose(path, size, seed):
    with open(path, "wb") as f:
        f.write(prose(int(seed), int(size)))

def cmd_noise(path, size, seed):
    with open(path, "wb") as f:
        f.write(noise(int(seed), int(size)))

def cmd_mixed(path, size, seed):
    """Text, random bytes and zeros in pieces of 1-40 KiB, so that units are stored as is,
    compressed, or compressed with some chunks stored as is."""
    import random
    r = random.Random(int(seed))
    size = int(size)
    with open(path, "wb") as f:
        done = 0
        while done < size:
            n = min(size - done, r.randint(1024, 40960))
            kind = r.choice(("prose", "prose", "noise", "zeros"))
            f.write(prose(r.random(), n) if kind == "prose" else noise(r.random(), n) if kind == "noise" else bytes(n))
            done += n

def cmd_sha(path):
    print(sha256(path))

cmd = sys.argv[1]
globals()["cmd_" + cmd.replace("-", "_")](*sys.argv[2:])
PY
ft() { python3 "$FT" "$@"; }

# ---------------------------------------------------------------------------------------------
# Volumes and disks.

# new_ntfs FILE SECTORS PART_START CLUSTER LABEL — a fresh NTFS volume in its own file.
new_ntfs() {
    rm -f "$1"
    truncate -s $(($2 * 512)) "$1"
    mkntfs -F -Q -T -q -s 512 -c "$4" -p "$3" -H 255 -S 63 -L "$5" "$1" 2>/dev/null
}
mount_ntfs() { ntfs-3g "$1" "$MNT"; }
umount_ntfs() { sync; umount "$MNT"; }

# new_disk FILE SECTORS — an empty disk image, then `sfdisk` reads the table script from stdin.
new_disk() {
    rm -f "$1"
    truncate -s $(($2 * 512)) "$1"
    sfdisk -q --no-reread --no-tell-kernel "$1" >/dev/null
}
# put_volume DISK VOLUME START_SECTOR
put_volume() { dd if="$2" of="$1" bs=512 seek="$3" conv=notrunc,sparse status=none; }

# Every file written through these helpers gets stamped content labelled with its path.
# stamp REL SIZE (inside the mounted volume)
stamp() { mkdir -p "$(dirname "$MNT/$1")"; ft stamp "$MNT/$1" "$2" "$1"; }
# win REL... — give Windows-style 8.3 aliases (long name becomes Win32)
win() { local p; for p in "$@"; do ft dosname "$MNT/$p"; done; }
# wstamp REL SIZE — stamped file with a Windows-style name, folders on the way included
wstamp() {
    stamp "$1" "$2"
    local d; d=$(dirname "$1")
    while [[ $d != . ]]; do
        getfattr -n system.ntfs_dos_name "$MNT/$d" >/dev/null 2>&1 || win "$d"
        d=$(dirname "$d")
    done
    win "$1"
}

# Manifest rows collect in $ROWS; deleted ones are captured before they are removed.
# live_rows PART START FS, del_rows PART START FS REL
live_rows() { ft walk "$MNT" "" "$1" "$2" 0 "$3" >>"$ROWS"; }
del_rows() { ft walk "$MNT" "$4" "$1" "$2" 1 "$3" >>"$DELROWS"; }
# delete PART START REL — capture then rm -r
delete() { del_rows "$1" "$2" ntfs "$3"; rm -rf "${MNT:?}/$3"; }

# check_deleted DISK — fill in the state column of deleted rows from the image itself:
#   intact         the MFT record is free and still names the file; its data reads back unchanged
#   overwritten    the record is free, but clusters it names were reused (data differs)
#   record-reused  the MFT record now belongs to another file
check_deleted() {
    local disk=$1 part start kind path size sha del state rec names alloc now
    while IFS=$'\t' read -r part start kind path size sha del state rec names; do
        alloc=$(istat -o "$start" "$disk" "$rec" 2>/dev/null | grep -m1 -E '^(Not )?Allocated' || true)
        if [[ $alloc == Allocated* ]]; then
            state=record-reused
        elif [[ $kind == d ]]; then
            state=intact
        else
            now=$(icat -o "$start" "$disk" "$rec" 2>/dev/null | head -c "$size" | sha256sum | cut -d' ' -f1)
            if [[ $now == "$sha" ]]; then state=intact; else state=overwritten; fi
        fi
        printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$part" "$start" "$kind" "$path" "$size" "$sha" "$del" "$state" "$rec" "$names"
    done <"$DELROWS" >>"$ROWS"
}

# write_manifest NAME — header + rows, live first then deleted, each sorted by partition and path
write_manifest() {
    {
        printf 'part\tstart\ttype\tpath\tsize\tsha256\tdeleted\tstate\trecord\tnames\n'
        sort -t$'\t' -k7,7n -k1,1n -k4,4 "$ROWS"
    } >"$DATA/$1.manifest.tsv"
}

# oracles NAME DISK "PART:START:FS[:VOLFILE] ..." — TSK and ntfs-3g listings
oracles() {
    local name=$1 disk=$2 entry part start fs vol
    mmls "$disk" >"$ORACLE/$name.mmls.txt" 2>&1 || true
    for entry in $3; do
        IFS=: read -r part start fs vol <<<"$entry"
        fls -r -p -l -o "$start" "$disk" >"$ORACLE/$name.p$part.fls.txt" 2>&1 || true
        fls -r -p -d -l -o "$start" "$disk" >"$ORACLE/$name.p$part.fls-deleted.txt" 2>&1 || true
        fsstat -o "$start" "$disk" >"$ORACLE/$name.p$part.fsstat.txt" 2>&1 || true
        if [[ $fs == ntfs && -n $vol ]]; then
            ntfsls -a -R -i -F "$vol" >"$ORACLE/$name.p$part.ntfsls.txt" 2>&1 || true
            ntfsundelete --scan "$vol" >"$ORACLE/$name.p$part.ntfsundelete.txt" 2>&1 || true
        fi
    done
}

# pack NAME DISK DESTDIR — DESTDIR/NAME.tar.xz holding NAME.img
pack() {
    local dir; dir=$(dirname "$2")
    [[ $(basename "$2") == "$1.img" ]] || { echo "pack: $2 must be named $1.img" >&2; exit 1; }
    tar -C "$dir" --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 --sparse -cf - "$1.img" \
        | xz -9e -T1 >"$3/$1.tar.xz"
    ls -l "$3/$1.tar.xz"
}

istat_runs() { istat -o "$1" "$2" "$3" | awk '/^Type: \$DATA|^Type: \$ATTRIBUTE_LIST/{p=1} p'; }

die() { echo "make-fixtures.sh: $*" >&2; exit 1; }
# attr_list_kind START DISK RECORD -> Resident / Non-Resident / none
attr_list_kind() {
    istat -o "$1" "$2" "$3" | awk '/^Type: \$ATTRIBUTE_LIST/{ if ($0 ~ /Non-Resident/) print "Non-Resident"; else print "Resident"; f=1 } END{ if (!f) print "none" }'
}
# data_extent_records START DISK RECORD -> number of FILE records holding pieces of the unnamed $DATA
data_extent_records() {
    istat -o "$1" "$2" "$3" | awk '/^Type: 128-[0-9]+ +\tMFT Entry:|^Type: 128-/{ for(i=1;i<=NF;i++) if ($i=="Entry:") print $(i+1) }' | sort -u | wc -l
}
# run_count VOLUME RECORD -> data runs of the unnamed $DATA (from ntfsinfo's runlist dump)
run_count() { ntfsinfo -v -i "$2" "$1" 2>/dev/null | awk '/Dumping attribute \$DATA/{d=1} /Dumping attribute/ && !/\$DATA/{d=0} d && /^\t\t\t0x/{n++} END{print n+0}'; }
inode_of() { stat -c %i "$MNT/$1"; }

# ---------------------------------------------------------------------------------------------
# ntfs_basic: one primary NTFS partition (4 KiB clusters) at sector 2048 with most of what a
# scan meets on a real volume.
build_ntfs_basic() {
    local W=$WORK/ntfs_basic START=2048 SECTORS=49152
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    new_ntfs "$W/vol.img" $SECTORS $START 4096 BASIC
    mount_ntfs "$W/vol.img"

    # Created first so that its MFT record is the lowest user record: it is deleted at the end and
    # the record handed to a new file, leaving its deleted children without their parent.
    mkdir "$MNT/Temp Build"; win "Temp Build"
    wstamp "Temp Build/build.log" 420
    wstamp "Temp Build/obj/main.o.txt" 7000
    wstamp "Temp Build/obj/deep/util.o.txt" 300
    local orphan_parent; orphan_parent=$(inode_of "Temp Build")

    # Nested folders, resident and non-resident files, Windows-style names.
    wstamp "Documents/Reports/2023/Q4/summary.txt" 10000
    wstamp "Documents/Reports/2023/Q4/notes.txt" 300
    wstamp "Documents/Reports/2023/Q4/Archive/2019/old summary.txt" 2600
    wstamp "Documents/Reports/readme.txt" 690
    wstamp "Documents/Long file name for Windows.txt" 1500
    wstamp "Documents/letter.txt" 5000
    wstamp "Documents/big.txt" 200000
    wstamp "small/tiny.txt" 1
    wstamp "small/resident_100.txt" 100
    wstamp "small/resident_600.txt" 600
    wstamp "small/exactly_4096.txt" 4096
    wstamp "small/empty.txt" 0
    wstamp "README.TXT" 800
    # Latin-1 names.
    wstamp "Café/menú del día.txt" 1200
    wstamp "Über/Größe.txt" 9000
    wstamp "España/niño año.txt" 450
    wstamp "résumé.txt" 3000
    # Names as Linux writes them: POSIX namespace only, no 8.3 alias.
    stamp "posix/Mixed.txt" 700
    stamp "posix/mixed.txt" 710
    stamp "posix/linux only name.txt" 5000
    stamp "posix/façade.txt" 260
    stamp "posix/sub/deeper/leaf.txt" 12000

    # Two files appended to in turn (flushed each time) so their runs interleave.
    mkdir -p "$MNT/frag"; win frag
    ft interleave "$MNT/frag/interleave_a.txt" frag/interleave_a.txt "$MNT/frag/interleave_b.txt" frag/interleave_b.txt 12 8192 text
    win frag/interleave_a.txt frag/interleave_b.txt
    # Two more files in 150 single-cluster runs each (the most ntfs-3g writes before it starts
    # allocating a file contiguously again).
    ft interleave "$MNT/frag/many_runs.txt" frag/many_runs.txt "$MNT/frag/many_runs_partner.txt" frag/many_runs_partner.txt 150 4096 text
    win frag/many_runs.txt frag/many_runs_partner.txt

    # Hard links with long names: 150 $FILE_NAME attributes spread over extension records, listed by
    # a non-resident $ATTRIBUTE_LIST. The first name is Win32 + DOS, the links are POSIX.
    wstamp "links/original.txt" 3000
    local i long; long=$(printf 'n%.0s' {1..110})
    for i in $(seq -w 0 149); do ln "$MNT/links/original.txt" "$MNT/links/link_${i}_$long.txt"; done
    # Two links with 200-character names overflow the base record: a short attribute list, one
    # $FILE_NAME in an extension record (ntfs-3g writes every attribute list non-resident).
    wstamp "links/few/base.txt" 2000
    long=$(printf 'm%.0s' {1..200})
    ln "$MNT/links/few/base.txt" "$MNT/links/few/a_$long.txt"
    ln "$MNT/links/few/base.txt" "$MNT/links/few/b_$long.txt"

    # Sparse: 1 MiB long, 16 KiB of data at 512 KiB, the rest never written.
    mkdir -p "$MNT/sparse"; win sparse
    truncate -s 1048576 "$MNT/sparse/sparse.bin"
    ft write-at "$MNT/sparse/sparse.bin" 524288 16384 sparse/sparse.bin
    win sparse/sparse.bin

    # Files and a folder tree that will be deleted.
    wstamp "Documents/deleted_resident.txt" 500
    wstamp "Documents/deleted_big.txt" 50000
    wstamp "Café/borrado ñ.txt" 3000
    stamp "posix/deleted posix.txt" 6000
    wstamp "Old Project/src/main.c.txt" 4000
    wstamp "Old Project/src/lib/util.c.txt" 650
    wstamp "Old Project/src/lib/util.h.txt" 9000
    wstamp "Old Project/docs/manual.txt" 30000
    wstamp "Old Project/docs/img/logo.txt" 2048
    sync

    delete 1 $START "Documents/deleted_resident.txt"
    delete 1 $START "Documents/deleted_big.txt"
    delete 1 $START "Café/borrado ñ.txt"
    delete 1 $START "posix/deleted posix.txt"
    delete 1 $START "Old Project"
    delete 1 $START "Temp Build"
    umount_ntfs

    # A new mount allocates MFT records from the lowest free one: the new file takes the record of
    # the deleted "Temp Build" folder.
    mount_ntfs "$W/vol.img"
    wstamp "new after delete.txt" 600
    [[ $(inode_of "new after delete.txt") == "$orphan_parent" ]] \
        || die "new file did not reuse record $orphan_parent of the deleted folder"
    : >"$ROWS"; live_rows 1 $START ntfs
    # ntfs-3g hides the 8.3 alias of a file with several links; these two first names are Win32.
    awk -F'\t' -v OFS='\t' '$4=="links/original.txt" || $4=="links/few/base.txt" { $10 = "win32" } 1' "$ROWS" >"$ROWS.t"
    mv "$ROWS.t" "$ROWS"
    local rec_extreme rec_links rec_few rec_ia
    rec_extreme=$(inode_of frag/many_runs.txt); rec_links=$(inode_of links/original.txt)
    rec_few=$(inode_of links/few/base.txt); rec_ia=$(inode_of frag/interleave_a.txt)
    umount_ntfs

    local disk=$W/ntfs_basic.img
    new_disk "$disk" $((START + SECTORS + 2048)) <<SF
label: dos
label-id: 0x4e544601
unit: sectors

start=$START, size=$SECTORS, type=7, bootable
SF
    put_volume "$disk" "$W/vol.img" $START

    # Check the structures this image exists for.
    (( $(run_count "$W/vol.img" "$rec_extreme") >= 100 )) || die "many_runs.txt: too few runs"
    [[ $(attr_list_kind $START "$disk" "$rec_links") == Non-Resident ]] || die "links/original.txt: attribute list not non-resident"
    [[ $(attr_list_kind $START "$disk" "$rec_few") != none ]] || die "links/few/base.txt: no attribute list"
    (( $(run_count "$W/vol.img" "$rec_ia") >= 6 )) || die "interleave_a.txt: too few runs"

    check_deleted "$disk"
    write_manifest ntfs_basic
    oracles ntfs_basic "$disk" "1:$START:ntfs:$W/vol.img"
    istat -o $START "$disk" "$rec_extreme" >"$ORACLE/ntfs_basic.p1.istat-many_runs.txt"
    istat -o $START "$disk" "$rec_links" >"$ORACLE/ntfs_basic.p1.istat-links.txt"
    istat -o $START "$disk" "$rec_few" >"$ORACLE/ntfs_basic.p1.istat-few-links.txt"
    istat -o $START "$disk" "$rec_ia" >"$ORACLE/ntfs_basic.p1.istat-interleave_a.txt"
    istat -o $START "$disk" "$(awk -F'\t' '$4=="sparse/sparse.bin"{print $9}' "$DATA/ntfs_basic.manifest.tsv")" \
        >"$ORACLE/ntfs_basic.p1.istat-sparse.txt"
    pack ntfs_basic "$disk" "$DATA"
}

# new_fat FILE SECTORS PART_START BITS LABEL SERIAL SECTORS_PER_CLUSTER
new_fat() {
    rm -f "$1"
    mkfs.vfat -C --invariant -F "$4" -S 512 -s "$7" -g 255/63 -h "$3" -n "$5" -i "$6" "$1" $(($2 / 2)) >/dev/null
}
# fat_put VOLUME STAGE REL SIZE — stamped file staged locally, then copied in with mtools
fat_put() {
    mkdir -p "$(dirname "$2/$3")"
    ft stamp "$2/$3" "$4" "$3"
    local d="" part
    IFS=/ read -ra parts <<<"$(dirname "$3")"
    for part in "${parts[@]}"; do
        [[ $part == . ]] && continue
        d="$d/$part"
        mdir -i "$1" "::$d" >/dev/null 2>&1 || mmd -i "$1" "::$d"
    done
    mcopy -i "$1" "$2/$3" "::/$3"
}

# ---------------------------------------------------------------------------------------------
# multi_part: primary NTFS at 63, primary FAT32, and an extended chain with two logical NTFS and a
# logical FAT16. Every boot sector sits where a 255-head, 63-sector cylinder walk looks.
build_multi_part() {
    local W=$WORK/multi_part C=16065
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    local P1=63 P1N=$((C - 63))                       # NTFS, 512 B clusters
    local P2=$C P2N=$((5 * C))                        # FAT32
    local EXT=$((6 * C)) EXTN=$((3 * C))              # extended partition
    local L1=$((6 * C + 63)) L2=$((7 * C + 63)) L3=$((8 * C + 63)) LN=$((C - 63))
    local disk=$W/multi_part.img

    new_ntfs "$W/p1.img" $P1N $P1 512 MULTI1
    mount_ntfs "$W/p1.img"
    wstamp "Primary/first.txt" 3000
    wstamp "Primary/Nested/deeper/third.txt" 700
    wstamp "Primary/resident.txt" 200
    wstamp "Primary/to delete.txt" 5000
    wstamp "root file.txt" 12345
    live_rows 1 $P1 ntfs
    delete 1 $P1 "Primary/to delete.txt"
    : >"$ROWS"; live_rows 1 $P1 ntfs
    umount_ntfs

    new_fat "$W/p2.img" $P2N $P2 32 MULTI_FAT32 4e544632 1
    rm -rf "$W/stage2"; mkdir -p "$W/stage2"
    fat_put "$W/p2.img" "$W/stage2" "FAT32DIR/ONE.TXT" 1500
    fat_put "$W/p2.img" "$W/stage2" "FAT32DIR/SUB/TWO.TXT" 40000
    fat_put "$W/p2.img" "$W/stage2" "Long FAT32 name.txt" 777
    # A file removed after a later one was written leaves free clusters between used ones (mtools
    # writes CHAIN.TXT after AFTER.TXT all the same; its chain is contiguous).
    fat_put "$W/p2.img" "$W/stage2" "HOLE.TXT" 3000
    fat_put "$W/p2.img" "$W/stage2" "AFTER.TXT" 2000
    mdel -i "$W/p2.img" ::/HOLE.TXT; rm "$W/stage2/HOLE.TXT"
    fat_put "$W/p2.img" "$W/stage2" "CHAIN.TXT" 9000
    ft walk "$W/stage2" "" 2 $P2 0 fat >>"$ROWS"

    new_ntfs "$W/l1.img" $LN $L1 2048 LOGICAL1
    mount_ntfs "$W/l1.img"
    wstamp "Logical One/alpha.txt" 8000
    wstamp "Logical One/beta.txt" 100
    wstamp "Logical One/Sub/gamma.txt" 20000
    live_rows 3 $L1 ntfs
    umount_ntfs

    new_ntfs "$W/l2.img" $LN $L2 4096 LOGICAL2
    mount_ntfs "$W/l2.img"
    wstamp "Logical Two/delta.txt" 50000
    wstamp "Logical Two/epsilon.txt" 640
    stamp "Logical Two/posix name.txt" 1000
    live_rows 4 $L2 ntfs
    umount_ntfs

    new_fat "$W/l3.img" $LN $L3 16 MULTI_FAT16 4e544616 2
    rm -rf "$W/stage5"; mkdir -p "$W/stage5"
    fat_put "$W/l3.img" "$W/stage5" "FAT16DIR/THREE.TXT" 2500
    fat_put "$W/l3.img" "$W/stage5" "FAT16DIR/DEEP/FOUR.TXT" 30000
    fat_put "$W/l3.img" "$W/stage5" "FIVE.TXT" 0
    ft walk "$W/stage5" "" 5 $L3 0 fat >>"$ROWS"

    new_disk "$disk" $((9 * C)) <<SF
label: dos
label-id: 0x4e544602
unit: sectors

start=$P1, size=$P1N, type=7, bootable
start=$P2, size=$P2N, type=c
start=$EXT, size=$EXTN, type=f
SF
    ft ebr-chain "$disk" $EXT "$EXT:0x07:$L1:$LN" "$((7 * C)):0x07:$L2:$LN" "$((8 * C)):0x06:$L3:$LN"
    put_volume "$disk" "$W/p1.img" $P1
    put_volume "$disk" "$W/p2.img" $P2
    put_volume "$disk" "$W/l1.img" $L1
    put_volume "$disk" "$W/l2.img" $L2
    put_volume "$disk" "$W/l3.img" $L3

    mmls "$disk" | grep -q "0000128583   0000144584   0000016002   DOS FAT16" || die "multi_part: chain not as planned"
    check_deleted "$disk"
    write_manifest multi_part
    oracles multi_part "$disk" "1:$P1:ntfs:$W/p1.img 2:$P2:fat 3:$L1:ntfs:$W/l1.img 4:$L2:ntfs:$W/l2.img 5:$L3:fat"
    istat -o $P2 "$disk" "$(fls -r -p -o $P2 "$disk" | awk -F'\t' '$2=="CHAIN.TXT"{split($1,a," "); sub(":","",a[2]); print a[2]}')" \
        >"$ORACLE/multi_part.p2.istat-chain.txt"
    pack multi_part "$disk" "$DATA"
}

# ---------------------------------------------------------------------------------------------
# mft_runs: one NTFS partition whose $MFT had to grow into scattered free space (several runs).
build_mft_runs() {
    local W=$WORK/mft_runs START=2048 SECTORS=32768
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    new_ntfs "$W/vol.img" $SECTORS $START 4096 MFTRUNS
    mount_ntfs "$W/vol.img"
    # Fill the volume with 64 KiB files, then free every third one: the free space is now holes.
    mkdir -p "$MNT/fill"; win fill
    local i=0
    while ft stamp "$MNT/fill/f$(printf %04d $i).txt" 65536 "fill/f$(printf %04d $i).txt" 2>/dev/null; do
        i=$((i + 1))
    done
    rm -f "$MNT/fill/f$(printf %04d $i).txt"
    for ((j = 0; j < i; j += 3)); do delete 1 $START "fill/f$(printf %04d $j).txt"; done
    # Thousands of small files: each needs a FILE record, so the $MFT grows into the holes.
    python3 - "$MNT" <<'PY2'
import os, sys
mnt = sys.argv[1]
for d in range(12):
    dd = os.path.join(mnt, f"many/d{d:02d}")
    os.makedirs(dd, exist_ok=True)
    for n in range(250):
        rel = f"many/d{d:02d}/s{n:03d}.txt"
        line = f"{rel} offset 0000000000\n".encode()
        with open(os.path.join(mnt, rel), "wb") as f:
            f.write(line * 3)
PY2
    : >"$ROWS"; live_rows 1 $START ntfs
    umount_ntfs
    local runs; runs=$(run_count "$W/vol.img" 0)
    (( runs >= 3 )) || die "mft_runs: \$MFT has only $runs run(s)"
    echo "mft_runs: \$MFT in $runs runs"

    local disk=$W/mft_runs.img
    new_disk "$disk" $((START + SECTORS + 2048)) <<SF
label: dos
label-id: 0x4e544603
unit: sectors

start=$START, size=$SECTORS, type=7
SF
    put_volume "$disk" "$W/vol.img" $START
    check_deleted "$disk"
    write_manifest mft_runs
    oracles mft_runs "$disk" "1:$START:ntfs:$W/vol.img"
    istat -o $START "$disk" 0 >"$ORACLE/mft_runs.p1.istat-mft.txt"
    pack mft_runs "$disk" "$DATA"
}

# ---------------------------------------------------------------------------------------------
# reformatted: a populated NTFS partition quick-formatted again (mkntfs -Q), then a few new files.
# The manifest lists the new files as live and the old ones as deleted, with state "recoverable"
# when their bytes still lie where the old volume put them, "lost" when new data or metadata
# overwrote them.
build_reformatted() {
    local W=$WORK/reformatted START=2048 SECTORS=49152
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    new_ntfs "$W/vol.img" $SECTORS $START 4096 OLDVOL
    mount_ntfs "$W/vol.img"
    wstamp "Projects/Alpha/plan.txt" 15000
    wstamp "Projects/Alpha/notes.txt" 400
    wstamp "Projects/Beta/spec sheet.txt" 60000
    wstamp "Projects/Beta/data/table.txt" 120000
    wstamp "Mail/inbox.txt" 250000
    wstamp "Mail/sent.txt" 33000
    wstamp "Pictures/holiday.jpg" 180000
    wstamp "Pictures/small.txt" 600
    wstamp "top.txt" 7000
    ft walk "$MNT" "" 1 $START 1 ntfs >"$W/old"
    umount_ntfs
    # Where each old file's bytes are: its clusters in order, or "-" when resident.
    : >"$W/oldruns"
    local part start kind path size sha del state rec names cl
    while IFS=$'\t' read -r part start kind path size sha del state rec names; do
        [[ $kind == f ]] || continue
        if istat "$W/vol.img" "$rec" | grep -q '^Type: \$DATA.*Non-Resident'; then
            cl=$(istat "$W/vol.img" "$rec" | awk '/^Type: \$DATA/{d=1; next} d && /^[0-9 ]+$/{for(i=1;i<=NF;i++) printf "%s%s", (n++ ? "," : ""), $i}')
        else
            cl=-
        fi
        printf '%s\t%s\n' "$path" "$cl" >>"$W/oldruns"
    done <"$W/old"

    mkntfs -F -Q -T -q -s 512 -c 4096 -p $START -H 255 -S 63 -L NEWVOL "$W/vol.img" 2>/dev/null
    mount_ntfs "$W/vol.img"
    wstamp "New Folder/after format.txt" 90000
    wstamp "New Folder/small new.txt" 300
    wstamp "fresh.txt" 20000
    : >"$ROWS"; live_rows 1 $START ntfs
    umount_ntfs

    while IFS=$'\t' read -r part start kind path size sha del state rec names; do
        if [[ $kind == f ]]; then
            cl=$(awk -F'\t' -v p="$path" '$1==p{print $2}' "$W/oldruns")
            if [[ $(ft old-check "$W/vol.img" 4096 "$size" "$sha" "$cl") == yes ]]; then state=recoverable; else state=lost; fi
        else
            state=-
        fi
        printf '%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\t%s\n' "$part" "$start" "$kind" "$path" "$size" "$sha" 1 "$state" "$rec" "$names"
    done <"$W/old" >>"$ROWS"

    local disk=$W/reformatted.img
    new_disk "$disk" $((START + SECTORS + 2048)) <<SF
label: dos
label-id: 0x4e544604
unit: sectors

start=$START, size=$SECTORS, type=7
SF
    put_volume "$disk" "$W/vol.img" $START
    write_manifest reformatted
    oracles reformatted "$disk" "1:$START:ntfs:$W/vol.img"
    pack reformatted "$disk" "$DATA"
}

# ---------------------------------------------------------------------------------------------
# demo: a small disk to try the program on: two NTFS partitions, a few folders, deleted files.
build_demo() {
    local W=$WORK/demo P1=2048 P1N=32768 P2=34816 P2N=16384
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    new_ntfs "$W/p1.img" $P1N $P1 4096 DEMO
    mount_ntfs "$W/p1.img"
    wstamp "Documents/Budget 2024.txt" 12000
    wstamp "Documents/Letters/To the bank.txt" 2500
    wstamp "Documents/Letters/Thank you.txt" 600
    wstamp "Documents/Recipes/Crêpes.txt" 1800
    wstamp "Photos/Summer/beach_01.jpg" 150000
    wstamp "Photos/Summer/beach_02.jpg" 140000
    wstamp "Photos/Winter/snow.jpg" 90000
    wstamp "Photos/portrait.png" 60000
    wstamp "notes.txt" 300
    wstamp "Documents/Old report.txt" 25000
    wstamp "Photos/Summer/beach_03.jpg" 120000
    wstamp "Photos/Trash/blurry_01.jpg" 40000
    wstamp "Photos/Trash/blurry_02.jpg" 45000
    delete 1 $P1 "Documents/Old report.txt"
    delete 1 $P1 "Photos/Summer/beach_03.jpg"
    delete 1 $P1 "Photos/Trash"
    live_rows 1 $P1 ntfs
    umount_ntfs

    new_ntfs "$W/p2.img" $P2N $P2 4096 BACKUP
    mount_ntfs "$W/p2.img"
    wstamp "Backup/Documents/Budget 2023.txt" 11000
    wstamp "Backup/Photos/old_camera.jpg" 70000
    wstamp "Backup/readme.txt" 200
    wstamp "Backup/removed.txt" 8000
    delete 2 $P2 "Backup/removed.txt"
    live_rows 2 $P2 ntfs
    umount_ntfs

    local disk=$W/demo.img
    new_disk "$disk" $((P2 + P2N + 2048)) <<SF
label: dos
label-id: 0x4e544605
unit: sectors

start=$P1, size=$P1N, type=7, bootable
start=$P2, size=$P2N, type=7
SF
    put_volume "$disk" "$W/p1.img" $P1
    put_volume "$disk" "$W/p2.img" $P2
    check_deleted "$disk"
    write_manifest demo
    oracles demo "$disk" "1:$P1:ntfs:$W/p1.img 2:$P2:ntfs:$W/p2.img"
    mkdir -p "$ROOT/demo"
    pack demo "$disk" "$ROOT/demo"
}

# ---------------------------------------------------------------------------------------------
# compressed: one NTFS partition written by ntfs-3g with its `compression` option into a folder
# that carries the compressed attribute, so that every file there is stored LZNT1-compressed.
build_compressed() {
    local W=$WORK/compressed START=2048 SECTORS=32768
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    new_ntfs "$W/vol.img" $SECTORS $START 4096 COMPRESSED
    ntfs-3g -o compression "$W/vol.img" "$MNT"
    mkdir "$MNT/Packed"; win Packed
    setfattr -n system.ntfs_attrib_be -v 0x00000800 "$MNT/Packed"
    wstamp "Packed/stamped.txt" 300000
    # So many units that the run list leaves the base record: $DATA in several records.
    wstamp "Packed/split.txt" 12000000
    ft prose "$MNT/Packed/prose.txt" 150000 1; win Packed/prose.txt
    ft noise "$MNT/Packed/random.bin" 100000 2; win Packed/random.bin
    ft mixed "$MNT/Packed/mixed.bin" 300000 3; win Packed/mixed.bin
    ft prose "$MNT/Packed/small.txt" 5000 4; win Packed/small.txt
    # A hole in the middle (and at the end): sparse units between compressed ones.
    truncate -s 524288 "$MNT/Packed/holey.txt"
    ft write-at "$MNT/Packed/holey.txt" 0 100000 Packed/holey.txt
    ft write-at "$MNT/Packed/holey.txt" 393216 65536 Packed/holey.txt
    win Packed/holey.txt
    # Two files appended to in turn, so their compressed units interleave on disk.
    ft interleave "$MNT/Packed/frag_a.txt" Packed/frag_a.txt "$MNT/Packed/frag_b.txt" Packed/frag_b.txt 8 65536 text
    win Packed/frag_a.txt Packed/frag_b.txt
    wstamp "Packed/deleted.txt" 150000
    ft prose "$MNT/Packed/deleted prose.txt" 50000 5; win "Packed/deleted prose.txt"
    sync
    delete 1 $START "Packed/deleted.txt"
    delete 1 $START "Packed/deleted prose.txt"
    : >"$ROWS"; live_rows 1 $START ntfs
    local rec_mixed rec_holey rec_frag rec_split
    rec_mixed=$(inode_of Packed/mixed.bin); rec_holey=$(inode_of Packed/holey.txt); rec_frag=$(inode_of Packed/frag_a.txt)
    rec_split=$(inode_of Packed/split.txt)
    umount_ntfs

    local disk=$W/compressed.img
    new_disk "$disk" $((START + SECTORS + 2048)) <<SF
label: dos
label-id: 0x4e544606
unit: sectors

start=$START, size=$SECTORS, type=7
SF
    put_volume "$disk" "$W/vol.img" $START
    istat -o $START "$disk" "$rec_mixed" >"$W/istat-mixed"
    grep -q 'Non-Resident, Compressed' "$W/istat-mixed" || die "compressed: mixed.bin not compressed"
    [[ $(attr_list_kind $START "$disk" "$rec_split") != none ]] || die "compressed: split.txt has no attribute list"
    check_deleted "$disk"
    write_manifest compressed
    oracles compressed "$disk" "1:$START:ntfs:$W/vol.img"
    istat -o $START "$disk" "$rec_mixed" >"$ORACLE/compressed.p1.istat-mixed.txt"
    istat -o $START "$disk" "$rec_holey" >"$ORACLE/compressed.p1.istat-holey.txt"
    istat -o $START "$disk" "$rec_frag" >"$ORACLE/compressed.p1.istat-frag_a.txt"
    istat -o $START "$disk" "$rec_split" >"$ORACLE/compressed.p1.istat-split.txt"
    pack compressed "$disk" "$DATA"
}

# ---------------------------------------------------------------------------------------------
# unicode: one NTFS partition whose names are not Latin-1: Cyrillic, Greek, Armenian, CJK, fullwidth
# Latin and an emoji outside the BMP (a UTF-16 surrogate pair), live and deleted, Windows-style
# (Win32 + 8.3 alias) and Linux-style (POSIX only). `日本語.txt` and `日本亞.txt` share the low
# byte of every UTF-16 unit (the second is shown as the first when only low bytes are kept).
build_unicode() {
    local W=$WORK/unicode START=2048 SECTORS=16384
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    new_ntfs "$W/vol.img" $SECTORS $START 4096 UNICODE
    mount_ntfs "$W/vol.img"
    wstamp "Фото/отпуск.txt" 5000
    wstamp "Фото/Море и солнце.jpg" 20000
    wstamp "Отчёт 6.doc" 3000
    wstamp "отчёт 7.doc" 700
    wstamp "Έγγραφα/Σημείωση ταξιδιού.txt" 1500
    wstamp "Έγγραφα/ΤΕΛΟΣ.txt" 400
    wstamp "日本語.txt" 2500
    wstamp "日本人.txt" 600
    wstamp "日本亞.txt" 900
    wstamp "資料/中文文件.txt" 8000
    wstamp "😀 smile.txt" 1200
    wstamp "Emoji 🎉/party 🎂 cake.txt" 300
    wstamp "Բարեւ.txt" 250
    wstamp "ＦＵＬＬ ｗｉｄｔｈ.txt" 350
    wstamp "Café/déjà vu.txt" 450
    stamp "posix/Ёлка.txt" 640
    stamp "posix/ёлка.txt" 660
    wstamp "Фото/удалённый.txt" 7000
    wstamp "Старое/Ελληνικά.txt" 2200
    wstamp "Старое/古い/🙈.txt" 500
    wstamp "削除 😢.txt" 300
    sync
    delete 1 $START "Фото/удалённый.txt"
    delete 1 $START "Старое"
    delete 1 $START "削除 😢.txt"
    live_rows 1 $START ntfs
    umount_ntfs

    local disk=$W/unicode.img
    new_disk "$disk" $((START + SECTORS + 2048)) <<SF
label: dos
label-id: 0x4e544606
unit: sectors

start=$START, size=$SECTORS, type=7
SF
    put_volume "$disk" "$W/vol.img" $START
    check_deleted "$disk"
    write_manifest unicode
    oracles unicode "$disk" "1:$START:ntfs:$W/vol.img"
    pack unicode "$disk" "$DATA"
}

# A GPT disk of 3 TiB whose NTFS partition starts beyond sector 2^32. Only the partition image
# and the sectors of both partition tables are committed (big_gpt.part.img, big_gpt.head.bin:
# sectors 0-33, big_gpt.tail.bin: the last 33 sectors); tests assemble the disk as a sparse file.
# The boot sector's 32-bit hidden-sectors field cannot hold the start: it is left 0.
build_big_gpt() {
    local W=$WORK/big_gpt START=4294969344 SECTORS=32768 DISK_SECTORS=6442450944
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    new_ntfs "$W/big_gpt.part.img" $SECTORS 0 4096 BEYOND2TIB
    mount_ntfs "$W/big_gpt.part.img"
    wstamp "Far Away/notes.txt" 5000
    wstamp "Far Away/photos/beach.jpg" 300000
    wstamp "Far Away/photos/tiny.txt" 200
    wstamp "report.doc" 40000
    wstamp "big.bin" 2100000
    wstamp "Far Away/gone.txt" 9000
    wstamp "old/letter.txt" 1200
    sync
    delete 1 $START "Far Away/gone.txt"
    delete 1 $START "old"
    live_rows 1 $START ntfs
    umount_ntfs

    local disk=$W/big_gpt.img
    new_disk "$disk" $DISK_SECTORS <<SF
label: gpt
label-id: 4E544606-0000-4000-8000-00000000B16D
unit: sectors
first-lba: 34

start=$START, size=$SECTORS, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, uuid=4E544606-0001-4000-8000-00000000B16D, name="Beyond 2 TiB"
SF
    put_volume "$disk" "$W/big_gpt.part.img" $START
    dd if="$disk" of="$W/big_gpt.head.bin" bs=512 count=34 status=none
    dd if="$disk" of="$W/big_gpt.tail.bin" bs=512 skip=$((DISK_SECTORS - 33)) count=33 status=none
    check_deleted "$disk"
    write_manifest big_gpt
    oracles big_gpt "$disk" "1:$START:ntfs:$W/big_gpt.part.img"
    tar -C "$W" --sort=name --owner=0 --group=0 --numeric-owner --mtime=@0 --sparse -cf - \
        big_gpt.head.bin big_gpt.part.img big_gpt.tail.bin | xz -9e -T1 >"$DATA/big_gpt.tar.xz"
    ls -l "$DATA/big_gpt.tar.xz"
    rm -f "$disk"
}

# ---------------------------------------------------------------------------------------------
# gpt: a GUID partition table (fixed disk and partition GUIDs) on a 20 MiB disk, partitions on
# 1 MiB boundaries: an EFI System partition (FAT12), a Microsoft Reserved one (empty), two NTFS
# volumes with stamped files (one deleted in each), a BitLocker stub (only its "-FVE-FS-" boot
# sector) and an unformatted Linux one. The protective MBR comes from sfdisk.
build_gpt() {
    local W=$WORK/gpt SECTORS=40960
    mkdir -p "$W"; ROWS=$W/rows; DELROWS=$W/delrows; : >"$ROWS"; : >"$DELROWS"
    local ESP=2048 ESPN=2048 MSR=4096 MSRN=2048 P3=6144 P4=18432 PN=12288 BL=30720 BLN=2048 LX=32768 LXN=4096
    local disk=$W/gpt.img

    new_fat "$W/esp.img" $ESPN $ESP 12 EFI 4e544607 1
    rm -rf "$W/stage1"; mkdir -p "$W/stage1"
    fat_put "$W/esp.img" "$W/stage1" "EFI/BOOT/BOOTX64.TXT" 3000
    ft walk "$W/stage1" "" 1 $ESP 0 fat >>"$ROWS"

    new_ntfs "$W/p3.img" $PN $P3 4096 GPTDATA
    mount_ntfs "$W/p3.img"
    wstamp "Work/report.txt" 9000
    wstamp "Work/small.txt" 300
    wstamp "Work/Archive/old.txt" 20000
    wstamp "top level.txt" 1500
    wstamp "Work/gone.txt" 7000
    sync
    delete 3 $P3 "Work/gone.txt"
    live_rows 3 $P3 ntfs
    umount_ntfs

    new_ntfs "$W/p4.img" $PN $P4 2048 GPTMORE
    mount_ntfs "$W/p4.img"
    wstamp "Photos/list.txt" 40000
    wstamp "Photos/2024/summer.txt" 12000
    stamp "Données/été.txt" 2500
    wstamp "removed.txt" 5000
    sync
    delete 4 $P4 "removed.txt"
    live_rows 4 $P4 ntfs
    umount_ntfs

    new_disk "$disk" $SECTORS <<SF
label: gpt
label-id: 4E544647-5054-4000-8000-000000000001
unit: sectors
first-lba: 34
last-lba: 40926

start=$ESP, size=$ESPN, type=C12A7328-F81F-11D2-BA4B-00A0C93EC93B, uuid=4E544647-5054-4001-8000-000000000001, name="EFI system partition"
start=$MSR, size=$MSRN, type=E3C9E316-0B5C-4DB8-817D-F92DF00215AE, uuid=4E544647-5054-4002-8000-000000000002, name="Microsoft reserved partition"
start=$P3, size=$PN, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, uuid=4E544647-5054-4003-8000-000000000003, name="Basic data partition"
start=$P4, size=$PN, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, uuid=4E544647-5054-4004-8000-000000000004, name="Données"
start=$BL, size=$BLN, type=EBD0A0A2-B9E5-4433-87C0-68B6B72699C7, uuid=4E544647-5054-4005-8000-000000000005, name="Encrypted"
start=$LX, size=$LXN, type=0FC63DAF-8483-4772-8E79-3D69D8477DE4, uuid=4E544647-5054-4006-8000-000000000006, name="linux"
SF
    put_volume "$disk" "$W/esp.img" $ESP
    put_volume "$disk" "$W/p3.img" $P3
    put_volume "$disk" "$W/p4.img" $P4
    # A BitLocker volume's boot sector as far as the tools look: jump, "-FVE-FS-" and the signature.
    { printf '\xeb\x58\x90-FVE-FS-'; head -c 499 /dev/zero; printf '\x55\xaa'; } \
        | dd of="$disk" bs=512 seek=$BL conv=notrunc status=none

    mmls "$disk" | grep -q "0000018432   0000030719   0000012288" || die "gpt: table not as planned"
    check_deleted "$disk"
    write_manifest gpt
    oracles gpt "$disk" "3:$P3:ntfs:$W/p3.img 4:$P4:ntfs:$W/p4.img"
    pack gpt "$disk" "$DATA"
}

# ---------------------------------------------------------------------------------------------
main() {
    local targets=("$@")
    (( ${#targets[@]} )) || targets=(ntfs_basic multi_part mft_runs reformatted compressed demo unicode big_gpt gpt)
    local t
    for t in "${targets[@]}"; do
        echo "== $t"
        "build_$t"
    done
}
main "$@"
