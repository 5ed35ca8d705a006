#!/usr/bin/env bash
# Checks the release tarball and the RPMs built from it: two runs of make dist
# give the same bytes; rpmbuild builds the source and binary RPMs from the
# tarball, unpacked outside git, twice to the same bytes (the first time
# with make test as %check, the second without); rpmlint finds no
# error and no warning in the build recipe and the packages, with the findings
# that packaging/rpm/iscsi-config-check.rpmlintrc gives reasons for left out;
# the package installs into a scratch root, its files where the RPM family
# keeps them, and the installed program checks the example as the golden
# case says and has a manual page. Needs rpm, rpmlint and man-db, and
# diffoscope to show how two builds differ. RPMFLAGS passes options to
# rpmbuild, by default --nodeps: on Debian the rpm database lists nothing,
# so the requirements of the build are read, not tested.
#
#   rpm_check.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
flags=${RPMFLAGS---nodeps}
quiet() { "$@" >"$work/log" 2>&1 || { tail -n 40 "$work/log"; fail "$*"; }; }

tarball=$(packaging/dist.sh "$work")
cmp "$tarball" "$(packaging/dist.sh .)" || fail "two runs of make dist differ"
name=$(basename "$tarball" .tar.gz)

# Both builds run in the same folder outside git, as a distribution's build
# system builds; the first one's packages are kept aside. Its %check is make
# test, in the tarball as rpmbuild unpacked it. The second skips the %check
# (--nocheck; --without check would build no test, but changes the build recipe
# that the source RPM records as parsed).
rpms=$work/rpm
quiet make --no-print-directory rpm RPM_DIR="$rpms" RPMFLAGS="$flags"
mv "$rpms" "$work/first"
quiet make --no-print-directory rpm RPM_DIR="$rpms" RPMFLAGS="$flags --nocheck"
mapfile -t packages < <(cd "$rpms" && find SRPMS RPMS -name '*.rpm' | LC_ALL=C sort)
[ "${#packages[@]}" -eq 2 ] || fail "not one source and one binary RPM: ${packages[*]}"
for package in "${packages[@]}"; do
    if command -v diffoscope >/dev/null; then
        diffoscope --text "$work/diff" "$work/first/$package" "$rpms/$package" >/dev/null ||
            { head -n 60 "$work/diff"; fail "two builds of $package differ"; }
    else
        cmp "$work/first/$package" "$rpms/$package" || fail "two builds of $package differ"
    fi
done
rpm=$rpms/${packages[0]} srpm=$rpms/${packages[1]}

rpmlint -r packaging/rpm/iscsi-config-check.rpmlintrc "$rpms/SPECS/iscsi-config-check.spec" \
    "$srpm" "$rpm" >"$work/rpmlint" 2>&1 || { cat "$work/rpmlint"; fail "rpmlint"; }
cat "$work/rpmlint"
! grep -q -E '(^|: )[EW]: ' "$work/rpmlint" || fail "rpmlint reports errors or warnings"
grep -q -E ' 0 errors, 0 warnings' "$work/rpmlint" || fail "rpmlint's summary"

# Installed by rpm itself, into a root of its own with a database of its own.
mkdir "$work/root"
rpm --root "$work/root" --initdb
quiet rpm --root "$work/root" -i --nodeps "$rpm"
for file in usr/bin/iscsi-config-check usr/share/man/man1/iscsi-config-check.1.gz \
    usr/share/licenses/iscsi-config-check/LICENSE usr/share/doc/iscsi-config-check/README.md \
    usr/share/doc/iscsi-config-check/examples/initiator.conf \
    usr/share/bash-completion/completions/iscsi-config-check usr/share/zsh/site-functions/_iscsi-config-check \
    usr/share/fish/vendor_completions.d/iscsi-config-check.fish; do
    [ -f "$work/root/$file" ] || fail "no /$file in $rpm"
    rpm --root "$work/root" -qf "/$file" >/dev/null || fail "/$file is not the package's"
done
binary=$work/root/usr/bin/iscsi-config-check
version=$(rpm -qp --qf '%{VERSION}' "$rpm")
[ "$("$binary" --version)" = "iscsi-config-check $version" ] ||
    fail "the program's version is not the package's ($version)"
# The report's first line names the program as it was called: by its name.
[ "$(PATH=$work/root/usr/bin:$PATH iscsi-config-check \
    "$work/root/usr/share/doc/iscsi-config-check/examples/initiator.conf")" = "$(cat tests/golden/example.out)" ] ||
    fail "the installed checker printed other output"
MANPATH=$work/root/usr/share/man man -w iscsi-config-check >/dev/null || fail "man does not find the page"
MANPATH=$work/root/usr/share/man MANWIDTH=80 man iscsi-config-check 2>"$work/man.err" | head -n 12
[ ! -s "$work/man.err" ] || { cat "$work/man.err"; fail "man complains"; }
quiet rpm --root "$work/root" -e iscsi-config-check
[ ! -e "$binary" ] || fail "binary left after removal"
echo "ok: $name.tar.gz is reproducible and builds outside git; $(basename "$srpm") and $(basename "$rpm") are reproducible, rpmlint-clean, and install, run and remove cleanly"
