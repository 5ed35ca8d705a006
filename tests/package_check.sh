#!/usr/bin/env bash
# Checks the Debian package: two builds of the tree give the same bytes, the
# binary in it is hardened and names no build path, lintian finds no error and
# no warning, its version is the program's, and it installs, runs on the
# example and removes cleanly. Needs root and Debian's packaging tools; run it
# where installing a package is acceptable (CI does).
#
#   package_check.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"; dpkg -r iscsi-config-check >/dev/null 2>&1 || true' EXIT

# Builds the package in directory $1, stamped with the last commit's time.
stamp=$(git log -1 --format=%ct)
build() {
    make --no-print-directory -C "$1" deb SOURCE_DATE_EPOCH="$stamp" >"$work/build.log" 2>&1 ||
        { tail -n 40 "$work/build.log"; fail "make deb"; }
}
# The second build runs elsewhere, from a copy whose files are all newer.
build "$root"
deb=$(ls build/deb/iscsi-config-check_*.deb)
mkdir "$work/copy"
tar -c --exclude=./build --exclude=./.git . | tar -x -C "$work/copy" --touch
build "$work/copy"
cmp "$deb" "$work/copy/$deb" || fail "two builds of the same tree differ"

dpkg-deb -x "$deb" "$work/root"
binary=$work/root/usr/bin/iscsi-config-check
for file in usr/share/man/man1/iscsi-config-check.1.gz usr/share/doc/iscsi-config-check/copyright \
    usr/share/doc/iscsi-config-check/changelog.gz usr/share/doc/iscsi-config-check/examples/initiator.conf \
    usr/share/bash-completion/completions/iscsi-config-check usr/share/zsh/vendor-completions/_iscsi-config-check \
    usr/share/fish/vendor_completions.d/iscsi-config-check.fish; do
    [ -f "$work/root/$file" ] || fail "no $file in $deb"
done
tests/hardening_test.sh "$binary" >/dev/null || fail "the packaged binary is not hardened"
! grep -a -q -F -e "$root" -e build/deb "$binary" || fail "a build path in the packaged binary"
version=$(dpkg-parsechangelog -S Version)
[ "$("$binary" --version)" = "iscsi-config-check $version" ] ||
    fail "the program's version is not the changelog's ($version)"

tags=$(lintian -i --pedantic -I "$deb" 2>"$work/lintian.err") || cat "$work/lintian.err"
[ -z "$tags" ] || echo "$tags"
! grep -q -E '^[EW]: ' <<<"$tags" || fail "lintian reports errors or warnings"

dpkg -i "$deb" >/dev/null
[ "$(iscsi-config-check /usr/share/doc/iscsi-config-check/examples/initiator.conf)" = "$(cat tests/golden/example.out)" ] ||
    fail "installed checker printed other output"
man -w iscsi-config-check >/dev/null || fail "man does not find the page"
dpkg -r iscsi-config-check >/dev/null
[ ! -e /usr/bin/iscsi-config-check ] || fail "binary left after removal"
[ ! -e /usr/share/man/man1/iscsi-config-check.1.gz ] || fail "page left after removal"
echo "ok: $(basename "$deb") is reproducible, hardened, lintian-clean, and installs, runs and removes cleanly"
