#!/usr/bin/env bash
# Writes the release tarball iscsi-config-check-VERSION.tar.gz into OUT_DIR
# (the current folder by default) from the last commit: its files as
# committed, under iscsi-config-check-VERSION/, and at the top the RPM build recipe
# file that packaging/rpm/make_spec.sh writes. VERSION is CMakeLists.txt's
# project version. Names are sorted, every entry belongs to root and bears the
# time SOURCE_DATE_EPOCH (the commit's time when unset), and gzip records no
# name nor time, so that one commit always gives the same bytes.
#
#   dist.sh [OUT_DIR]
set -euo pipefail
out=$(cd "${1:-.}" && pwd)
cd "$(dirname "$0")/.."
git rev-parse -q --verify HEAD >/dev/null ||
    { echo "dist.sh: the tarball is made from a commit: run it in a git checkout" >&2; exit 1; }
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/tree"
git archive --format=tar HEAD | tar -x -C "$work/tree"
# The commit's own tools write the recipe, whatever the working tree holds.
recipe=$("$work/tree/packaging/rpm/make_spec.sh" "$work/tree")
name=iscsi-config-check-$(sed -n 's/^Version: *//p' <<<"$recipe")
mv "$work/tree" "$work/$name"
printf '%s\n' "$recipe" >"$work/$name/iscsi-config-check.spec"
# rpmlint reads the filters beside the recipe it is given.
cp "$work/$name/packaging/rpm/iscsi-config-check.rpmlintrc" "$work/$name/"
tar -c -C "$work" --sort=name --format=gnu --owner=0 --group=0 --numeric-owner \
    --mtime="@$stamp" --mode=u+w,go-w,a+rX "$name" | gzip -9 -n >"$work/$name.tar.gz"
mv "$work/$name.tar.gz" "$out/"
echo "$out/$name.tar.gz"
