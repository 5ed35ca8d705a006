#!/usr/bin/env bash
# Builds the Debian package, checks its contents, installs it, runs the
# installed checker on the example and removes the package again. Needs root;
# run it on a machine where installing a package is acceptable (CI does).
#
#   package_check.sh BUILD_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1
fail() { echo "FAIL: $*"; exit 1; }

(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/iscsi-config-check_*.deb)
contents=$(dpkg-deb -c "$deb")
grep -q ' ./usr/bin/iscsi-config-check$' <<<"$contents" || fail "no binary in $deb"
grep -q ' ./usr/share/man/man1/iscsi-config-check.1.gz$' <<<"$contents" ||
    fail "no manual page in $deb"

dpkg -i "$deb" >/dev/null
trap 'dpkg -r iscsi-config-check >/dev/null 2>&1 || true' EXIT
expected=$(cat "$root/tests/golden/example.out")
actual=$(cd "$root" && iscsi-config-check examples/initiator.conf)
[ "$actual" = "$expected" ] || fail "installed checker printed other output"
man -w iscsi-config-check >/dev/null || fail "man does not find the page"

dpkg -r iscsi-config-check >/dev/null
trap - EXIT
[ ! -e /usr/bin/iscsi-config-check ] || fail "binary left after removal"
[ ! -e /usr/share/man/man1/iscsi-config-check.1.gz ] || fail "page left after removal"
echo "ok: $(basename "$deb") builds, installs, runs and removes cleanly"
