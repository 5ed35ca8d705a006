#!/usr/bin/env bash
# Two builds of the checker side by side: instructions per line of each
# format and option on three files, with each build's ratio to its own
# default and the second build's to the first, then wall times on 100 MB
# against cat and a cat | tr pipe.
#
#   bench/table.sh OLD_CHECKER NEW_CHECKER [RUNS]
#
# Files, written once under build/bench/ by gen_config:
#
#   clean   gen_config --mode=clean --long-fields 19000000   (about 300,000
#           distinct sound targets with long fields)
#   mix     gen_config 10000000
#   faults  gen_config --mode=faults 10000000
#   big     gen_config --mode=clean --long-fields            (100 MB, timed only)
#
# Instructions are callgrind's (whole run, start-up included), two runs at a
# time (BENCH_JOBS overrides), from an empty folder with --no-config. Wall
# times are the least of RUNS (default 7) interleaved runs into /dev/null.
# "dup/target" is what the duplicate check costs a distinct target:
# ((-q -W duplicate-target) - (-q)) / lines on the clean file.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/bench
jobs=${BENCH_JOBS:-2}
runs=${3:-7}
export LC_ALL=C

if [ $# -lt 2 ] || [ $# -gt 3 ]; then
    echo "USAGE: bench/table.sh OLD_CHECKER NEW_CHECKER [RUNS]" >&2
    exit 1
fi
command -v valgrind >/dev/null || {
    echo "table.sh: valgrind is needed (apt-get install valgrind)" >&2
    exit 1
}
checkers=()
for c in "$1" "$2"; do
    [ -x "$c" ] || { echo "table.sh: no program $c" >&2; exit 1; }
    checkers+=("$(realpath -- "$c")")
done

mkdir -p "$work"
gen=$work/gen_config
if [ ! -x "$gen" ] || [ "$root/bench/gen_config.cpp" -nt "$gen" ]; then
    "${CXX:-c++}" -std=c++17 -O2 -o "$gen.tmp" "$root/bench/gen_config.cpp"
    mv "$gen.tmp" "$gen"
fi
names=(clean mix faults big)
declare -A makeArgs=([clean]="--mode=clean --long-fields 19000000" [mix]="10000000"
    [faults]="--mode=faults 10000000" [big]="--mode=clean --long-fields")
declare -A input lines
for name in "${names[@]}"; do
    file=$work/table-$name.conf
    if [ ! -s "$file" ] || [ "$gen" -nt "$file" ]; then
        # shellcheck disable=SC2086 # the generator's arguments, split on purpose
        "$gen" ${makeArgs[$name]} >"$file.tmp"
        mv "$file.tmp" "$file"
    fi
    input[$name]=$file
    lines[$name]=$(wc -l <"$file")
done

optionSets=("" "--format=gcc" "--format=json" "--format=sarif" "--format=github" "--format=tty"
    "-q" "--mask-passwords" "-W all" "--diff" "-q -W duplicate-target")
scratch=$(mktemp -d)
trap 'rm -rf -- "$scratch"' EXIT
mkdir "$scratch/cwd"

measure() { # checker, file, option set: writes the Ir total to $scratch/ir.C.F.S
    local out=$scratch/run.$1.$2.$3
    # shellcheck disable=SC2086 # options split on purpose
    if (cd "$scratch/cwd" && valgrind --tool=callgrind --callgrind-out-file="$out.cg" \
        --log-file="$out.valgrind" -- "${checkers[$1]}" --no-config ${optionSets[$3]} \
        "${input[$2]}" >/dev/null 2>&1) || [ "${optionSets[$3]}" = --diff ]; then
        awk '/^(summary|totals):/ { print $2; exit }' "$out.cg" >"$scratch/ir.$1.$2.$3"
    else
        echo fail >"$scratch/ir.$1.$2.$3"
    fi
    rm -f -- "$out.cg"
}
running=0
for name in clean mix faults; do
    for set in "${!optionSets[@]}"; do
        for c in 0 1; do
            if [ "$running" -ge "$jobs" ]; then wait -n; running=$((running - 1)); fi
            measure "$c" "$name" "$set" &
            running=$((running + 1))
        done
    done
done
wait
ir() { cat "$scratch/ir.$1.$2.$3"; }

echo "old: ${checkers[0]}"
echo "new: ${checkers[1]}"
for name in "${names[@]}"; do
    echo "$name: ${input[$name]/$root\//} ($(stat -c %s "${input[$name]}") bytes, ${lines[$name]} lines)"
done
echo
printf "%-7s %-24s %10s %10s %9s %9s %9s\n" file option "old/line" "new/line" "old/dflt" "new/dflt" "new/old"
for name in clean mix faults; do
    for set in "${!optionSets[@]}"; do
        [ "$set" -lt $((${#optionSets[@]} - 1)) ] || continue
        awk -v f="$name" -v o="${optionSets[$set]:-(default)}" -v n="${lines[$name]}" \
            -v a="$(ir 0 "$name" "$set")" -v b="$(ir 1 "$name" "$set")" \
            -v a0="$(ir 0 "$name" 0)" -v b0="$(ir 1 "$name" 0)" 'BEGIN {
            if ((a b a0 b0) !~ /^[0-9]+$/) { printf "%-7s %-24s %s\n", f, o, "failed"; exit }
            printf "%-7s %-24s %10.0f %10.0f %9.2f %9.2f %9.3f\n", f, o, a / n, b / n, a / a0, b / b0, b / a
        }'
    done
done
last=$((${#optionSets[@]} - 1))
awk -v n="${lines[clean]}" -v a="$(ir 0 clean "$last")" -v b="$(ir 1 clean "$last")" \
    -v qa="$(ir 0 clean 6)" -v qb="$(ir 1 clean 6)" 'BEGIN {
    if ((a b qa qb) ~ /^[0-9]+$/)
        printf "%-7s %-24s %10.0f %10.0f %29.3f\n", "clean", "dup/target", (a - qa) / n, (b - qb) / n, (b - qb) / (a - qa)
}'

# Wall times on the big file: the least of interleaved runs.
big=${input[big]}
wallLabels=(cat "cat | tr a a" "old default" "new default" "old -W all" "new -W all")
run_wall() {
    case $1 in
    0) cat "$big" >/dev/null ;;
    1)
        # shellcheck disable=SC2002 # the pipe is what is measured
        cat "$big" | tr a a >/dev/null
        ;;
    2) "${checkers[0]}" --no-config "$big" >/dev/null ;;
    3) "${checkers[1]}" --no-config "$big" >/dev/null ;;
    4) "${checkers[0]}" --no-config -W all "$big" >/dev/null ;;
    5) "${checkers[1]}" --no-config -W all "$big" >/dev/null ;;
    esac
}
declare -A best
for ((r = 0; r <= runs; r++)); do
    for i in "${!wallLabels[@]}"; do
        start=${EPOCHREALTIME/./}
        (cd "$scratch/cwd" && run_wall "$i") || true
        t=$((${EPOCHREALTIME/./} - start))
        # The first round only warms the caches.
        if [ "$r" -gt 0 ] && { [ -z "${best[$i]:-}" ] || [ "$t" -lt "${best[$i]}" ]; }; then best[$i]=$t; fi
    done
done
echo
echo "wall time on big, least of $runs interleaved runs:"
for i in "${!wallLabels[@]}"; do
    awk -v l="${wallLabels[$i]}" -v t="${best[$i]}" -v p="${best[1]}" -v d="${best[$(((i - 2) % 2 + 2))]}" -v i="$i" 'BEGIN {
        printf "  %-14s %7.3f s  %5.2fx the tr pipe", l, t / 1e6, t / p
        if (i >= 4) printf "  %5.2fx its default", t / d
        printf "\n"
    }'
done
