#!/bin/sh
# Regenerates the stored dravik-cli outputs the golden tests compare with.
# Usage: tests/data/golden/regenerate.sh BUILD_DIR   (the build dir holds src/cli/dravik-cli and fixtures/)
# Review the diff before committing: a change here is a change of the tool's output.
set -eu
build=${1:?usage: regenerate.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
cli="$build/src/cli/dravik-cli"
fx="$build/fixtures"

run() { # out-file image args...
    out=$1; image=$2; shift 2
    "$cli" --images-only --image "$fx/$image" "$@" > "$here/$out" 2>/dev/null
}

run ntfs_basic.scan.txt ntfs_basic.img scan --partition 1 --tree
run ntfs_basic.scan.json ntfs_basic.img scan --partition 1 --json
run ntfs_basic.ls.txt ntfs_basic.img ls --partition 1
run ntfs_basic.ls-q4.json ntfs_basic.img ls --partition 1 Documents/Reports/2023/Q4 --json
run ntfs_basic.find.txt ntfs_basic.img find '*.txt' --partition 1
run ntfs_basic.find-r.json ntfs_basic.img find 'r*' --partition 1 --json
run ntfs_basic.search-partitions.txt ntfs_basic.img search-partitions
run multi_part.partitions.txt multi_part.img partitions
run multi_part.search-partitions.json multi_part.img search-partitions --json
run multi_part.p4.scan.txt multi_part.img scan --partition 4 --tree
run unicode.scan.txt unicode.img scan --partition 1 --tree
run unicode.scan.json unicode.img scan --partition 1 --json
run unicode.ls.txt unicode.img ls --partition 1
run unicode.ls-foto.json unicode.img ls --partition 1 Фото --json
run unicode.find.txt unicode.img find '*ОТЧЁТ*' --partition 1
run unicode.find-all.json unicode.img find '*' --partition 1 --json
run gpt.partitions.txt gpt.img partitions
run gpt.partitions.json gpt.img partitions --json
run gpt.p4.scan.txt gpt.img scan --partition 4 --tree
