#!/usr/bin/env bash
# Writes the RPM build recipe of a source tree on standard output: the template
# packaging/rpm/iscsi-config-check.spec.in with the version of CMakeLists.txt
# in place of @VERSION@, followed by debian/changelog's entries as RPM
# changelog entries, newest first as there. An entry's date is kept as its
# author wrote it, in the author's time zone; a % in its text is doubled, so
# that rpm reads it as text and not as a macro.
#
#   make_spec.sh SOURCE_DIR
set -euo pipefail
src=${1:-.}
version=$(sed -n 's/^project(iscsi-config-check VERSION \([0-9][0-9.]*\)[ )].*/\1/p' "$src/CMakeLists.txt")
[ -n "$version" ] || { echo "make_spec.sh: no project VERSION in $src/CMakeLists.txt" >&2; exit 1; }
sed "s/@VERSION@/$version/" "$src/packaging/rpm/iscsi-config-check.spec.in"
# A Debian entry: "NAME (VERSION) DIST; urgency=U", its items ("  * " and
# lines indented further), then " -- AUTHOR  Day, DD Mon YYYY HH:MM:SS +ZZZZ".
# The RPM entry heads its items: "* Day Mon DD YYYY AUTHOR - VERSION-1".
awk '
    function fail(why) { printf "make_spec.sh: debian/changelog line %d: %s\n", NR, why > "/dev/stderr"; bad = 1; exit 1 }
    /^[^ ]/ {
        if (!match($0, /\([^()]+\)/)) fail("no version")
        entry_version = substr($0, RSTART + 1, RLENGTH - 2)
        items = ""
        next
    }
    /^  \* / { items = items "- " substr($0, 5) "\n"; next }
    /^    [^ ]/ { items = items "  " substr($0, 5) "\n"; next }
    /^ -- / {
        if (!match($0, /  [A-Z][a-z][a-z], [0-9][0-9]? [A-Z][a-z][a-z] [0-9][0-9][0-9][0-9] /)) fail("no date")
        author = substr($0, 5, RSTART - 5)
        split(substr($0, RSTART + 2, RLENGTH - 3), date, /,? /)
        if (entries++) printf "\n"
        printf "* %s %s %02d %s %s - %s-1\n%s", date[1], date[3], date[2], date[4], author, entry_version, items
        next
    }
    /^ *$/ { next }
    { fail("not an entry'"'"'s line") }
    END { if (!bad && !entries) fail("no entry") }
' "$src/debian/changelog" | sed 's/%/%%/g'
