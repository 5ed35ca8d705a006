#!/usr/bin/env bash
# Runs the checker on one golden case and compares standard output, standard
# error and the exit status with the case's expected files, byte for byte.
#
#   run_golden.sh CHECKER CASE_DIR NAME
#
# NAME.conf   the configuration file, passed as the only argument
# NAME.args   optional: the arguments instead, one per line (an empty line is
#             an empty argument, an empty file means no argument)
# NAME.argv0  optional: the program name to run under (default:
#             iscsi-config-check)
# NAME.out    expected standard output (the banner included)
# NAME.err    optional: expected standard error (default: nothing)
# NAME.status optional: expected exit status (default: 0)
#
# ICC_UPDATE_EXPECTED set (to any value): instead of comparing, writes the
# actual outputs into NAME.out, NAME.err and NAME.status (an optional file
# whose value becomes the default is removed) and names each file changed.
# KEEP set and not empty: a failed case's actual outputs stay in a temporary
# folder, whose name is printed.
set -u
checker=$1 dir=$2 name=$3
cd "$dir" || { echo "$name: cannot enter $dir"; exit 2; }

args=("$name.conf")
if [ -f "$name.args" ]; then
    mapfile -t args <"$name.args"
fi
expected_status=0
[ -f "$name.status" ] && expected_status=$(<"$name.status")
argv0=iscsi-config-check
[ -f "$name.argv0" ] && argv0=$(<"$name.argv0")

tmp=$(mktemp -d)
keep=
trap '[ -n "$keep" ] || rm -rf "$tmp"' EXIT
: >"$tmp/empty"
# A fixed program name keeps the banner and usage text independent of the
# build directory.
(exec -a "$argv0" "$checker" "${args[@]}") \
    >"$tmp/out" 2>"$tmp/err" </dev/null
status=$?
printf '%s\n' "$status" >"$tmp/status"

# Update mode: file $1 gets the content of $2; an optional file ($3 set)
# whose content would be the default ($4: the empty file or "0") goes.
if [ -n "${ICC_UPDATE_EXPECTED+set}" ]; then
    changed=0
    update() {
        local expected=$1 actual=$2 optional=${3:-} default=${4:-}
        if [ -n "$optional" ] && cmp -s "$actual" "$default"; then
            [ -e "$expected" ] || return 0
            rm -f "$expected"
            echo "$name: removed $expected (the default)"
        else
            ! cmp -s "$expected" "$actual" || return 0
            cp "$actual" "$expected"
            echo "$name: updated $expected"
        fi
        changed=1
    }
    printf '0\n' >"$tmp/zero"
    update "$name.out" "$tmp/out"
    update "$name.err" "$tmp/err" optional "$tmp/empty"
    update "$name.status" "$tmp/status" optional "$tmp/zero"
    [ "$changed" = 1 ] || echo "$name: ICC_UPDATE_EXPECTED set: the expected files already match"
    exit 0
fi

failed=0
check_stream() {
    local label=$1 expected=$2 actual=$3
    if ! cmp -s "$expected" "$actual"; then
        echo "$name: $label differs (expected, then actual):"
        diff --text -u "$expected" "$actual" | cat -A | head -n 40
        failed=1
    fi
}
check_stream stdout "$name.out" "$tmp/out"
if [ -f "$name.err" ]; then
    check_stream stderr "$name.err" "$tmp/err"
else
    check_stream stderr "$tmp/empty" "$tmp/err"
fi
if [ "$status" != "$expected_status" ]; then
    echo "$name: exit status $status, expected $expected_status"
    failed=1
fi
if [ "$failed" = 1 ]; then
    echo "FAIL: golden case $name"
    if [ -n "${KEEP:-}" ]; then
        keep=1
        rm -f "$tmp/empty"
        echo "$name: KEEP set: the actual stdout, stderr and status are kept in $tmp (out, err, status)"
    fi
fi
exit "$failed"
