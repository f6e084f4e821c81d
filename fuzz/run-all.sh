#!/usr/bin/env bash
# Runs every fuzz target in BUILD_DIR for FUZZ_SECONDS seconds each, with its corpus when present.
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
    echo "fuzzing $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -print_final_stats=0 "$corpus" >"$corpus.log" 2>&1; then
        tail -n 60 "$corpus.log"
        status=1
    fi
    rm -rf "$corpus" "$corpus.log"
done
exit $status
