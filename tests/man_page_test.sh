#!/usr/bin/env bash
# Checks the manual page: it renders without warnings, and every text the
# program can print (each message literal in src/) appears in it, so the two
# cannot drift apart.
#
#   man_page_test.sh SOURCE_DIR
set -u
root=$1
page=$root/doc/iscsi-config-check.1
command -v groff >/dev/null || { echo "SKIP: groff is not installed"; exit 77; }

warnings=$(groff -man -ww -z "$page" 2>&1)
if [ -n "$warnings" ]; then
    echo "groff warns:"
    echo "$warnings"
    exit 1
fi

# The page as plain text on very long lines, white space folded.
text=$(groff -man -Tutf8 -rLL=2000n -rHY=0 "$page" 2>/dev/null |
    sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g' | tr -s ' \n' '  ' | sed "s/[‘’]/'/g")

# String literals of the code, comments and include lines left out; those
# with fewer than three letters are punctuation and formats.
literals=$(sed -e 's|//.*||' -e '/^#include/d' "$root"/src/*.cpp |
    grep -o '"[^"]*"' | sed 's/^"//; s/"$//; s/\\n$//' | sort -u)

missing=0
while IFS= read -r literal; do
    letters=${literal//[^A-Za-z]/}
    [ ${#letters} -ge 3 ] || continue
    # Trim the blanks and separators that join pieces of a line.
    trimmed=$(printf '%s' "$literal" | sed 's/^[ ,:]*//; s/[ ,:=]*$//')
    pattern=$(printf '%s' "$trimmed" | sed 's/[][\.*^$/]/\\&/g; s/%s/.*/g')
    if ! printf '%s' "$text" | grep -q -- "$pattern"; then
        echo "not in the manual page: \"$literal\""
        missing=1
    fi
done <<<"$literals"
exit "$missing"
