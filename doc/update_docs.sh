#!/usr/bin/env bash
# Writes the parts of the manual page and of the README that come from the
# table of checks (src/checks/checks.cpp), between their BEGIN GENERATED and
# END GENERATED lines; or, with --check, changes nothing and fails when a
# document in the tree differs from what the table gives.
#
#   update_docs.sh [BUILD_DIR]          builds gen_checks in BUILD_DIR
#                                       (build/release) and rewrites
#   update_docs.sh --check GEN_CHECKS   compares (the test doc.generated)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
documents=(doc/iscsi-config-check.1 README.md)
tmp=$(mktemp) || exit 1
trap 'rm -f "$tmp"' EXIT

if [ "${1:-}" = --check ]; then
    [ $# = 2 ] || { echo "usage: $0 --check GEN_CHECKS" >&2; exit 2; }
    gen_checks=$2 failed=0
    for document in "${documents[@]}"; do
        "$gen_checks" --rewrite "$root/$document" >"$tmp" || { failed=1; continue; }
        cmp -s "$root/$document" "$tmp" && continue
        diff -u --label "$document (in the tree)" --label "$document (from the table of checks)" \
            "$root/$document" "$tmp" | head -n 60
        echo "$document is stale: run make docs"
        failed=1
    done
    exit "$failed"
fi

build=${1:-$root/build/release}
cmake --build "$build" --target gen_checks >/dev/null || exit 1
for document in "${documents[@]}"; do
    "$build/doc/gen_checks" --rewrite "$root/$document" >"$tmp" || exit 1
    if ! cmp -s "$root/$document" "$tmp"; then
        # Written over, not moved, so that the file keeps its mode.
        cat "$tmp" >"$root/$document" || exit 1
        echo "rewrote $document"
    fi
done
