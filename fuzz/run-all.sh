#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR with its corpus when present: FUZZ_SECONDS seconds each (30 by
# default), a third of that for the small decoders that saturate fast, three times for the whole scan.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${FUZZ_SECONDS:-30}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for target in "$build"/fuzz/fuzz_*; do
    [ -x "$target" ] || continue
    name=$(basename "$target"); name=${name#fuzz_}
    corpus=$(mktemp -d)
    if [ -d "$here/corpus/$name" ]; then cp -r "$here/corpus/$name/." "$corpus/"; fi
    # Decoders of one small structure saturate in seconds; the whole scan and the record and
    # snapshot decoders keep finding paths, so they get the time the small ones leave.
    case $name in
        boot_sector|data_runs|partition_table|gpt) budget=$(( (seconds + 2) / 3 )) ;;
        whole_scan) budget=$(( seconds * 3 )) ;;
        *) budget=$seconds ;;
    esac
    echo "fuzzing $name for ${budget}s"
    if ! "$target" -max_total_time="$budget" -print_final_stats=0 "$corpus" >"$corpus.log" 2>&1; then
        tail -n 60 "$corpus.log"
        status=1
    fi
    rm -rf "$corpus" "$corpus.log"
done
exit $status
