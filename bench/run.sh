#!/usr/bin/env bash
# Throughput of the checker against grep on one generated configuration.
#
#   bench/run.sh [MEGABYTES] [RUNS] [BASELINE_CHECKER]   (defaults: 100 and 5)
#
# Builds the release checker and the generator, writes the input once under
# build/bench/, then times in turn, round after round after a warm-up of each:
# the checker with no option, with --quiet, with --format=gcc, with -W all
# (every warning, in the report format) and in each other format, the
# optional baseline checker (an older build, with no option), and grep
# counting the sound statements. Prints for each the median time, MB/s and
# the ratio to grep, then the checker's peak resident memory. Every command
# writes to a file: GNU grep stops at its first match when its output is
# /dev/null.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
megabytes=${1:-100}
runs=${2:-5}
baseline=${3:-}
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

# The commands timed, by label.
labels=(checker quiet gcc warn json sarif github tty)
commands=("$checker" "$checker --quiet" "$checker --format=gcc" "$checker -W all"
    "$checker --format=json" "$checker --format=sarif" "$checker --format=github"
    "$checker --format=tty")
if [ -n "$baseline" ]; then
    labels+=(baseline)
    commands+=("$baseline")
fi
labels+=(grep)
commands+=("grep -c -E REGEX")

# Prints the microseconds one run of command $1 takes.
elapsed_us() {
    local start=${EPOCHREALTIME/./}
    if [ "${labels[$1]}" = grep ]; then
        grep -c -E "$regex" "$input" >"$work/grep.out" || true
    else
        # shellcheck disable=SC2086 # a command and its option, split on purpose
        ${commands[$1]} "$input" >"$work/${labels[$1]}.out"
    fi
    echo $((${EPOCHREALTIME/./} - start))
}

median() { tr ' ' '\n' | sort -n | awk 'NF { v[++n] = $1 } END { print v[int((n + 1) / 2)] }'; }

declare -A times
for i in "${!labels[@]}"; do
    elapsed_us "$i" >/dev/null # warm-up
done
for ((run = 0; run < runs; run++)); do
    for i in "${!labels[@]}"; do
        times[$i]+=" $(elapsed_us "$i")"
    done
done
peak_kb=$(/usr/bin/time -f %M "$checker" "$input" 2>&1 >/dev/null | tail -n 1)

echo "input: $input ($bytes bytes, $(wc -l <"$input") lines; grep counts $(cat "$work/grep.out") sound statements)"
echo "machine: $(nproc) cores, $(grep -m 1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ *//')"
grep_us=$(median <<<"${times[$((${#labels[@]} - 1))]}")
for i in "${!labels[@]}"; do
    us=$(median <<<"${times[$i]}")
    awk -v l="${labels[$i]}" -v c="${commands[$i]/$root\//}" -v b="$bytes" \
        -v t="$us" -v g="$grep_us" -v r="$runs" 'BEGIN {
        printf "%-8s median %.3f s, %4.0f MB/s, ratio to grep %.2f  (%s, %d runs)\n",
            l, t / 1e6, b / t, t / g, c, r
    }'
done
echo "checker peak resident memory: $peak_kb KB"
