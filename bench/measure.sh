# Timing helpers the benchmark scripts source. Needs $work (a scratch folder) set by the caller.
#   measure NAME COMMAND...  runs COMMAND, output discarded, and appends its wall time (s) and peak
#                            memory (KiB) to ${wall[NAME]} and ${mem[NAME]}
#   median                   reads numbers separated by blanks or lines, prints their median
declare -A wall mem
measure() {
    local name=$1; shift
    /usr/bin/time -f "%e %M" -o "$work/time" "$@" > /dev/null 2> /dev/null || true
    read -r w m < "$work/time"
    wall[$name]+="$w "; mem[$name]+="$m "
}
median() { tr ' ' '\n' | grep -v '^$' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
