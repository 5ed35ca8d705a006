#!/usr/bin/env bash
# Checks the manual page against the program: it renders without a warning
# (groff, and mandoc's lint), every text the program can print (each message
# literal in src/) appears in it, every entry of --help stands in it and its
# options are the program's, and its version is the program's.
#
#   man_page_test.sh SOURCE_DIR CHECKER
set -u
root=$1 checker=$2
page=$root/doc/iscsi-config-check.1
command -v groff >/dev/null || { echo "SKIP: groff is not installed"; exit 77; }
failed=0
fail() { echo "$*"; failed=1; }

warnings=$(groff -man -ww -z "$page" 2>&1)
[ -z "$warnings" ] || fail "groff warns: $warnings"
if command -v mandoc >/dev/null; then
    lint=$(mandoc -T lint "$page" 2>&1)
    [ -z "$lint" ] || fail "mandoc -T lint: $lint"
fi

# Folds white space to single spaces and trims it.
fold() { tr -s ' \n\t' '   ' | sed 's/^ //; s/ $//'; }

# The page as plain text, on one line.
rendered=$(groff -man -Tutf8 -rLL=2000n -rHY=0 "$page" 2>/dev/null |
    sed 's/\x1b\[[0-9;]*m//g; s/.\x08//g' | sed "s/[‘’]/'/g")
text=$(fold <<<"$rendered")

# Every line of the README's Vim example can be pasted from the page as it
# renders at the usual width: no adjusted or escaped blank may creep in.
page80=$(groff -man -Tutf8 -rLL=78n "$page" 2>/dev/null | sed 's/.\x08//g' | sed "s/[‘’]/'/g")
# shellcheck disable=SC2016 # the backticks are the README's code fences, not commands
while IFS= read -r line; do
    # shellcheck disable=SC2001 # the blanks at the start of every line, not of the text
    grep -q -F -x -- "$line" < <(sed 's/^ *//' <<<"$page80") || fail "not pasteable from the page: \"$line\""
done < <(sed -n '/^```vim$/,/^```$/p' "$root/README.md" | grep -v '^```')

# String literals of the code (every .cpp and .h file under src/, in its
# sub-folders too), comments, include lines, compile-time assertions and the
# help text (checked below) left out; those with fewer than three letters are
# punctuation and formats. A message's alternatives ("|") are checked each,
# and its placeholders ("{value}") stand for any text.
mapfile -d '' sources < <(find "$root/src" \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
[ ${#sources[@]} -gt 0 ] || { fail "no source file under $root/src"; sources=(/dev/null); }
literals=$(sed -e 's|//.*||' -e '/^#include/d' -e '/static_assert(/d' -e '/^static const char help[A-Z][a-z]*\[\]/,/;$/d' \
    "${sources[@]}" | grep -o '"[^"]*"' | sed 's/^"//; s/"$//; s/\\n$//' | tr '|' '\n' | sort -u)
while IFS= read -r literal; do
    letters=${literal//[^A-Za-z]/}
    [ ${#letters} -ge 3 ] || continue
    # getopt's option string, digit tables, and pieces of JSON, whose
    # escaped quotes this extraction cannot follow
    [[ $literal =~ ^-[A-Za-z:]+$ || $literal =~ ^[0-9A-Fa-f]+$ || $literal == *\\* ]] && continue
    # Trim the blanks and separators that join pieces of a line.
    trimmed=$(printf '%s' "$literal" | sed 's/^[ ,:]*//; s/[ ,:=]*$//')
    pattern=$(printf '%s' "$trimmed" | sed 's/[][\.*^$/]/\\&/g; s/%s/.*/g; s/{[a-z]*}/.*/g')
    grep -q -- "$pattern" <<<"$text" || fail "not in the manual page: \"$literal\""
done <<<"$literals"

# Each entry of --help (the usage line without "Usage:", the summary, each
# option with its description) stands in the page, case aside.
help=$("$checker" --help) || fail "--help failed"
entries=$(awk 'NR == 1 { sub(/^Usage: /, ""); print; next }
               /^  +-/ { if (entry != "") print entry; entry = $0; next }
               /^   / { entry = entry " " $0; next }
               { if (entry != "") print entry; entry = ""; if (NF) print }
               END { if (entry != "") print entry }' <<<"$help")
while IFS= read -r entry; do
    entry=$(fold <<<"$entry" | sed 's/\.$//')
    grep -q -i -F -- "$entry" <<<"$text" || fail "--help entry not in the manual page: \"$entry\""
done <<<"$entries"

# The options of --help are those of the page's OPTIONS, and the program
# takes each of them.
options_of() { grep -o -E '(^|[ ,])--?[a-z][a-z-]*(=[A-Z]+)?' | tr -d ' ,' | sort -u; }
help_options=$(grep -E '^  +-' <<<"$help" | sed 's/  [a-z].*//' | options_of)
page_options=$(sed -n '/^OPTIONS$/,/^[A-Z]/p' <<<"$rendered" | grep -E '^ {7}-' | options_of)
[ "$help_options" = "$page_options" ] ||
    fail "options differ: --help has $(fold <<<"$help_options"), the page $(fold <<<"$page_options")"
for option in $help_options; do
    case $option in --help | --version) continue ;; esac
    option=${option/=FORMAT/=report}
    option=${option/=WHEN/=auto}
    option=${option/explain=NAME/explain=parse}
    "$checker" "${option/=NAME/=all}" --version >/dev/null ||
        fail "the program refuses $option"
done

# The version in the page's header is the program's.
page_version=$(sed -n 's/^\.TH [^"]*"iscsi-config-check \([^"]*\)".*/\1/p' "$page")
[ "$("$checker" --version)" = "iscsi-config-check $page_version" ] ||
    fail "--version says \"$("$checker" --version)\", the page $page_version"
exit "$failed"
