#!/usr/bin/env bash
# Instruction counts of one or more builds of the checker, by callgrind, on
# three generated files and seven sets of options.
#
#   bench/instructions.sh CHECKER [CHECKER...]
#
# Instruction counts hardly change from run to run, where times on a shared
# machine vary by tens of percent, so they are what decides between two
# builds. The files are written once under build/bench/ by gen_config with
# each mode's default seed (see bench/README):
#
#   mix     gen_config 10000000                  (10 MB, the realistic mix)
#   faults  gen_config --mode=faults 10000000    (10 MB, every error and warning)
#   clean   gen_config --mode=clean              (300,000 distinct sound targets)
#
# Each checker runs under valgrind --tool=callgrind from an empty temporary
# folder (so no project file of options applies), with --no-config where it
# takes that option, its output written to a file. The table gives millions
# of instructions (the program's total Ir, start-up included) and the ratio
# of each later checker to the first; then, for the clean file, what -W all
# and -W all -W no-duplicate-target cost against the default, and the
# instructions per distinct target of the duplicate check. Runs go two at a
# time (BENCH_JOBS overrides).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$root/build/bench
jobs=${BENCH_JOBS:-2}
export LC_ALL=C

if [ $# -eq 0 ]; then
    echo "USAGE: bench/instructions.sh CHECKER [CHECKER...]" >&2
    exit 1
fi
command -v valgrind >/dev/null || {
    echo "instructions.sh: valgrind is needed (apt-get install valgrind)" >&2
    exit 1
}

# The checkers, by absolute path: the runs start in another folder.
checkers=()
for c in "$@"; do
    path=$(command -v -- "$c" || true)
    if [ -z "$path" ] || [ ! -x "$path" ]; then
        echo "instructions.sh: no program $c" >&2
        exit 1
    fi
    checkers+=("$(realpath -- "$path")")
done

# The generator, built on its own: it does not need the checker's sources.
mkdir -p "$work"
gen=$work/gen_config
if [ ! -x "$gen" ] || [ "$root/bench/gen_config.cpp" -nt "$gen" ]; then
    "${CXX:-c++}" -std=c++17 -O2 -o "$gen.tmp" "$root/bench/gen_config.cpp"
    mv "$gen.tmp" "$gen"
fi

# The measured files, by name, and the arguments that make each.
names=(mix faults clean)
declare -A makeArgs=([mix]="10000000" [faults]="--mode=faults 10000000" [clean]="--mode=clean")
declare -A input
for name in "${names[@]}"; do
    file=$work/instructions-$name.conf
    if [ ! -s "$file" ] || [ "$gen" -nt "$file" ]; then
        # shellcheck disable=SC2086 # the generator's arguments, split on purpose
        "$gen" ${makeArgs[$name]} >"$file.tmp"
        mv "$file.tmp" "$file"
    fi
    input[$name]=$file
done
cleanTargets=300000

# The sets of options, by label.
optionSets=("" "--format=gcc" "--format=json" "-q" "-W all"
    "-W all -W no-duplicate-target" "-q -W duplicate-target")
optionLabel() { echo "${1:-(default)}"; }

scratch=$(mktemp -d)
trap 'rm -rf -- "$scratch"' EXIT
mkdir "$scratch/cwd"

# Each checker's label (its version, or its position when two agree) and
# whether it takes --no-config.
labels=()
noConfig=()
for i in "${!checkers[@]}"; do
    label=$(cd "$scratch/cwd" && "${checkers[$i]}" --version 2>/dev/null | awk 'NR == 1 { print $NF }') || true
    [ -n "$label" ] || label=$(basename -- "${checkers[$i]}")
    for other in "${labels[@]}"; do
        if [ "$other" = "$label" ]; then
            label="$label#$((i + 1))"
        fi
    done
    labels+=("$label")
    if (cd "$scratch/cwd" && "${checkers[$i]}" --no-config --version >/dev/null 2>&1); then
        noConfig+=(--no-config)
    else
        noConfig+=("")
    fi
done

# Runs checker $1 on file $2 with the options of set $3; writes the total
# instruction count to $scratch/ir.$1.$2.$3, or "fail" and the status.
measure() {
    local c=$1 name=$2 set=$3 out=$scratch/run.$1.$2.$3 status=0
    # shellcheck disable=SC2086 # options split on purpose
    (cd "$scratch/cwd" && valgrind --tool=callgrind --callgrind-out-file="$out.cg" \
        --log-file="$out.valgrind" -- "${checkers[$c]}" ${noConfig[$c]} ${optionSets[$set]} \
        "${input[$name]}" >"$out.stdout" 2>"$out.stderr") || status=$?
    if [ "$status" -eq 0 ]; then
        awk '/^(summary|totals):/ { print $2; exit }' "$out.cg" >"$scratch/ir.$c.$name.$set"
    else
        echo "fail($status)" >"$scratch/ir.$c.$name.$set"
    fi
    rm -f -- "$out.stdout" "$out.cg"
}

running=0
for name in "${names[@]}"; do
    for set in "${!optionSets[@]}"; do
        for c in "${!checkers[@]}"; do
            if [ "$running" -ge "$jobs" ]; then
                wait -n
                running=$((running - 1))
            fi
            measure "$c" "$name" "$set" &
            running=$((running + 1))
        done
    done
done
wait

ir() { cat "$scratch/ir.$1.$2.$3"; }

echo "files:"
for name in "${names[@]}"; do
    file=${input[$name]}
    awk -v n="$name" -v f="${file/$root\//}" '{ b += length($0) + 1; if (length($0) >= 512) l += length($0) + 1 }
        END { printf "  %-6s %s: %d bytes, %d lines, %.1f%% of the bytes in lines of 512 bytes or more\n",
            n, f, b, NR, b ? 100 * l / b : 0 }' "$file"
done
for c in "${!checkers[@]}"; do
    echo "checker ${labels[$c]}: ${checkers[$c]}${noConfig[$c]:+ (run with --no-config)}"
done
echo
echo "millions of instructions (callgrind Ir, whole run):"
{
    header="file	options"
    for c in "${!checkers[@]}"; do
        header+="	${labels[$c]}"
    done
    for ((c = 1; c < ${#checkers[@]}; c++)); do
        header+="	${labels[$c]}/${labels[0]}"
    done
    echo "$header"
    for name in "${names[@]}"; do
        for set in "${!optionSets[@]}"; do
            row="$name	$(optionLabel "${optionSets[$set]}")"
            for c in "${!checkers[@]}"; do
                row+="	$(ir "$c" "$name" "$set")"
            done
            echo "$row"
        done
    done
} | awk -F '\t' -v n="${#checkers[@]}" '
    function millions(v) { return v ~ /^[0-9]+$/ ? sprintf("%.1f", v / 1e6) : v }
    NR == 1 { for (i = 1; i <= NF; i++) cell[i] = $i; print_row(); next }
    {
        cell[1] = $1; cell[2] = $2
        for (c = 0; c < n; c++) cell[3 + c] = millions($(3 + c))
        for (c = 1; c < n; c++)
            cell[2 + n + c] = ($3 ~ /^[0-9]+$/ && $(3 + c) ~ /^[0-9]+$/) ? sprintf("%.3f", $(3 + c) / $3) : "-"
        print_row()
    }
    function print_row(   i) {
        printf "%-7s %-30s", cell[1], cell[2]
        for (i = 3; i <= 2 * n + 1; i++) printf " %12s", cell[i]
        printf "\n"
    }'

echo
echo "clean file ($cleanTargets distinct targets):"
printf "%-58s" ""
for c in "${!checkers[@]}"; do
    printf " %12s" "${labels[$c]}"
done
printf "\n"
# Set numbers: 0 default, 3 -q, 4 -W all, 5 -W all -W no-duplicate-target,
# 6 -q -W duplicate-target.
clean_row() {
    local title=$1 expression=$2 c
    printf "%-58s" "$title"
    for c in "${!checkers[@]}"; do
        awk -v d="$(ir "$c" clean 0)" -v q="$(ir "$c" clean 3)" -v w="$(ir "$c" clean 4)" \
            -v nd="$(ir "$c" clean 5)" -v qd="$(ir "$c" clean 6)" -v t="$cleanTargets" -v e="$expression" '
            BEGIN {
                if ((d q w nd qd) !~ /^[0-9]+$/) { printf " %12s", "-"; exit }
                if (e == "all") printf " %12.3f", w / d
                else if (e == "nodup") printf " %12.3f", nd / d
                else printf " %12.1f", (qd - q) / t
            }'
    done
    printf "\n"
}
clean_row "(-W all) / (default)" all
clean_row "(-W all -W no-duplicate-target) / (default)" nodup
clean_row "((-q -W duplicate-target) - (-q)) / target, instructions" pertarget
