#!/usr/bin/env bash
# Checks that the program is built hardened, as a distribution builds its
# packages: a position-independent executable, full RELRO (read-only
# relocations, bound at start), no executable stack, the stack protector and
# fortified libc functions, and no library but libc (and the dynamic
# loader, which starts every program anyway).
#
#   hardening_test.sh PROGRAM
set -u
program=$1
command -v readelf >/dev/null || { echo "SKIP: no readelf"; exit 77; }
failed=0
need() { grep -q -E -- "$2" <<<"$3" || { echo "FAIL: $1"; failed=1; }; }

headers=$(readelf -W -h -l -d "$program")
symbols=$(readelf -W --dyn-syms "$program")
need "not position-independent" 'Type: +DYN' "$headers"
need "no PIE flag" 'FLAGS_1.*PIE' "$headers"
need "no RELRO segment" '^ +GNU_RELRO ' "$headers"
need "not bound at start (-z now)" '\(BIND_NOW\)|\(FLAGS\).*BIND_NOW|FLAGS_1.*NOW' "$headers"
need "executable stack" '^ +GNU_STACK( +0x[0-9a-f]+){5} RW ' "$headers"
need "no stack protector" ' __stack_chk_fail' "$symbols"
need "no fortified functions" ' __[a-z]+_chk\b' "$symbols"
# The C library is all it needs: no C++ runtime, which costs start-up time.
[ "$(grep '(NEEDED)' <<<"$headers" | grep -vc 'ld-linux')" = 1 ] || { echo "FAIL: needs more than libc"; failed=1; }
need "does not need libc" '\(NEEDED\).*libc\.so' "$headers"
[ "$failed" = 0 ] && echo "ok: hardened"
exit "$failed"
