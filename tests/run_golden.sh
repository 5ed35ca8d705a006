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
set -u
checker=$1 dir=$2 name=$3
cd "$dir" || exit 2

args=("$name.conf")
if [ -f "$name.args" ]; then
    mapfile -t args <"$name.args"
fi
expected_status=0
[ -f "$name.status" ] && expected_status=$(<"$name.status")
argv0=iscsi-config-check
[ -f "$name.argv0" ] && argv0=$(<"$name.argv0")

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
: >"$tmp/empty"
# A fixed program name keeps the banner and usage text independent of the
# build directory.
(exec -a "$argv0" "$checker" "${args[@]}") \
    >"$tmp/out" 2>"$tmp/err" </dev/null
status=$?

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
exit "$failed"
