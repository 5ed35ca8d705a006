#!/usr/bin/env bash
# Throughput of the checker against grep on one generated configuration.
#
#   bench/run.sh [MEGABYTES] [RUNS]     (defaults: 100 and 5)
#
# Builds the release checker and the generator, writes the input once under
# build/bench/, then alternates the two commands after a warm-up of each and
# prints the median time, MB/s, the ratio checker/grep and the checker's peak
# resident memory. Both commands write to files: GNU grep stops at its first
# match when its output is /dev/null.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
megabytes=${1:-100}
runs=${2:-5}
build=$root/build/release
work=$root/build/bench
export LC_ALL=C

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j "$(nproc)" --target iscsi-config-check gen_config >/dev/null
checker=$build/iscsi-config-check
mkdir -p "$work"
input=$work/config-${megabytes}MB.conf
[ -s "$input" ] || "$build/bench/gen_config" $((megabytes * 1000000)) >"$input"
bytes=$(stat -c %s "$input")

# A sound statement, as the checker judges it.
id='[A-Za-z0-9._-]'
regex="^[ 	]*target[ 	]*=[ 	]*[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+ [ 	]*[0-9]+ [ 	]*[0-9]*[ 	]*Initiator:${id}{1,63},${id}{0,16}([ 	]|\$)"

run_checker() { "$checker" "$input" >"$work/checker.out"; }
run_grep() { grep -c -E "$regex" "$input" >"$work/grep.out" || true; }

# Prints the microseconds one call of "$@" takes.
elapsed_us() {
    local start=${EPOCHREALTIME/./}
    "$@"
    echo $((${EPOCHREALTIME/./} - start))
}

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

run_checker
run_grep
checker_times=() grep_times=()
for ((i = 0; i < runs; i++)); do
    checker_times+=("$(elapsed_us run_checker)")
    grep_times+=("$(elapsed_us run_grep)")
done
checker_us=$(printf '%s\n' "${checker_times[@]}" | median)
grep_us=$(printf '%s\n' "${grep_times[@]}" | median)
peak_kb=$(/usr/bin/time -f %M "$checker" "$input" 2>&1 >/dev/null | tail -n 1)

echo "input: $input ($bytes bytes, $(wc -l <"$input") lines; grep counts $(cat "$work/grep.out") sound statements)"
echo "machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
awk -v b="$bytes" -v c="$checker_us" -v g="$grep_us" -v r="$runs" -v m="$peak_kb" 'BEGIN {
    printf "checker: median %.3f s, %.0f MB/s (%d runs)\n", c / 1e6, b / c, r
    printf "grep -c -E: median %.3f s, %.0f MB/s (%d runs)\n", g / 1e6, b / g, r
    printf "ratio checker/grep: %.2f\n", c / g
    printf "checker peak resident memory: %d KB\n", m
}'
