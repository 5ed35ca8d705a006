#!/usr/bin/env bash
# Checks the manual page against the program: it renders without a warning
# (groff, and mandoc's lint), the texts of the program that it quotes stand in
# it as the program prints them, every entry of --help stands in it and its
# options are the program's, and its version is the program's. (The entries
# of the checks come from the table of checks; doc.generated holds them.)
#
#   man_page_test.sh SOURCE_DIR CHECKER
set -u
root=$1 checker=$2
# (The program is also run in a folder of its own.)
case $checker in /*) ;; */*) checker=$PWD/$checker ;; esac
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

# Every line of the README's Vim examples can be pasted from the page as it
# renders at the usual width, its indent aside: no adjusted or escaped blank
# may creep in.
page80=$(groff -man -Tutf8 -rLL=78n "$page" 2>/dev/null | sed 's/.\x08//g' | sed "s/[‘’]/'/g")
# shellcheck disable=SC2016 # the backticks are the README's code fences, not commands
while IFS= read -r line; do
    line=${line#"${line%%[! ]*}"}
    # shellcheck disable=SC2001 # the blanks at the start of every line, not of the text
    grep -q -F -x -- "$line" < <(sed 's/^ *//' <<<"$page80") || fail "not pasteable from the page: \"$line\""
done < <(sed -n '/^```vim$/,/^```$/p' "$root/README.md" | grep -v '^```')

# The texts of the program that the page quotes, as the page renders them,
# with * where the page writes a placeholder (a name, a number, a message);
# after "|", a command that makes the program print the text, run in a folder
# that holds the files below, with `run` for the program. A text without one
# is provoked by the fault tests (out of memory) or needs another user.
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
mkdir "$work/open"
printf 'target = 1.2.3.4 3260 2 Initiator:h,p\n' | tee "$work/sound.conf" "$work/self.conf" >"$work/open/sound.conf"
printf 'target = 010.2.3.4 3260 2 Initiator:h,p\n' >"$work/warn.conf"
printf -- '--help\n' >"$work/help.opts"
printf -- 'x;y\n' >"$work/word.opts"
printf -- '-q\0\n' >"$work/zero.opts"
printf -- '--fix\n' >"$work/fix.opts"
# What the notes name: CRLF line ends, a byte order mark, a line of blanks,
# an indented comment and directive, an IQN-style identifier, misspelt
# keywords, no '=' after target, a port after ':'.
printf 'target = 1.2.3.4 3260 2 Initiator:h,p\r\n' >"$work/crlf.conf"
printf '\357\273\277target = 1.2.3.4 3260 2 Initiator:h,p\n' >"$work/bom.conf"
# A line that --fix keeps: its note offers no --fix.
printf '# iscsi-config-check: disable=bom\n\r\n' >"$work/kept.conf"
printf '%s\n' $' \t' '  # old' 'traget = 1.2.3.4 3260 2 Initiator:h,p' \
    'target = 1.2.3.4 3260 2 Initiator:iqn.2024-01.lan:h,p' 'target = 1.2.3.4 3260 2 Initator:h,p' \
    '  # iscsi-config-check: disable=bom' 'target: = 1.2.3.4 3260 2 Initiator:h,p' \
    'target = 1.2.3.4:3260 2 Initiator:h,p' 'target = 1.2.3.4 3260 2 initiator:h,p' \
    'target = 1.2.3.4 3260 2 iqn.2024-01.lan:h,p' >"$work/notes.conf"
# (--fix refuses a file only when it needs a fix.)
ln -s warn.conf "$work/link.conf"
printf -- '-q\n' >"$work/open/.iscsi-config-check"
chmod 666 "$work/open/.iscsi-config-check"
# shellcheck disable=SC2317 # called by the commands, through eval
run() { "$checker" "$@"; }
while IFS='|' read -r quoted command; do
    # shellcheck disable=SC2001 # one expression for every special character
    regex=$(sed 's/[]\\.^$[]/\\&/g' <<<"$quoted")
    grep -q -- "${regex//\*/[^ ]*}" <<<"$text" || fail "not in the manual page: \"$quoted\""
    [ -n "$command" ] || continue
    output=$(cd "$work" && eval "$command" 2>&1)
    grep -q -- "${regex//\*/.*}" <<<"$output" ||
        fail "the program does not print \"$quoted\" for: $command"
done <<'EOF'
line *, nConnections = *, target addr = *, portNum = *, loginParamsLen = *, loginParams = *|run sound.conf
==> * <==|run sound.conf warn.conf
line *, pos *, warning: * [-W*]|run -W all warn.conf
USAGE: * <config_file_name>|run
failed to open file *|run missing.conf
failed to read file *|run .
*: unknown format '*' (report, gcc, json, sarif, github, tty)|run --format=bogus sound.conf
*: unknown --color value '*' (auto, always, never)|run --color=bogus sound.conf
*: unknown warning '*'; did you mean '*'?|run -W leading-zeros sound.conf
*: unknown warning '*' (--list-checks lists the checks)|run -W bogus sound.conf
*: '*' is an error, not a warning: errors are always checked|run -W parse sound.conf
*: option '*' needs a value|run sound.conf --format
*: unknown option '*'|run -x sound.conf
*: unknown option '*'; did you mean '*'?|run --qiet sound.conf
*: unknown option '-h' (--help prints the help)|run -h
*: option '*' is ambiguous (*)|run --co sound.conf
*: option '*' takes no value|run --quiet=x sound.conf
*: '-' is not standard input here: use --stdin-filename=NAME|run -
*: no file named|run
*: argument *: unknown option|run sound.conf '--x;y'
*: unknown check '*'|run --explain=bogus
*: *:*: '*' is not allowed here|run --config=help.opts sound.conf
*: argument *: unknown warning; did you mean '*'?|run -W "leading-zero'" sound.conf
*: --stdin-filename needs a name|run --stdin-filename=
*: --config needs a file name|run --config= sound.conf
*: --stdin-filename checks standard input: no file name goes with it|run --stdin-filename=a sound.conf
*: --list-checks takes no file name|run --list-checks sound.conf
*: --explain takes no file name|run --explain=parse sound.conf
*: *:*: not an option|run --config=word.opts sound.conf
*: *:*: holds a zero byte|run --config=zero.opts sound.conf
*: *: * (use --config=FILE or --no-config)|cd open && run sound.conf
*: *: No such file or directory|run --config=missing.opts sound.conf
input file is output file *|run self.conf >>self.conf
*: out of memory|
failed to write output|run sound.conf >/dev/full
, * files not read|run --format=tty missing.conf missing.conf
, * files not fixed|run --format=tty --fix link.conf link.conf
, * files fixed|cp warn.conf w1.conf && cp warn.conf w2.conf && run --format=tty --fix w1.conf w2.conf
*: --fix and --diff cannot be used together|run --fix --diff sound.conf
*: failed to read standard input: *|run --fix --stdin-filename=a --bogus <.
*: *:*: '*' is not allowed here|run --config=fix.opts sound.conf
failed to fix file *: *|run --fix link.conf
is a symbolic link|run --fix link.conf
is not a regular file|mkfifo fifo && (timeout 10 cat warn.conf >fifo &) && run --fix fifo
has several hard links: mending it would part them|ln -f warn.conf hard.conf && run --fix hard.conf
is standard input: --stdin-filename=NAME with --fix writes the mended text to standard output|run --fix /dev/stdin <warn.conf
changed while it was mended|
is owned by another user, and the mended file could not be given to them|
its group * cannot be kept|
its ACL cannot be kept|
has extended attributes that could not be copied|
fixed file *|cp warn.conf w3.conf && run --fix w3.conf
fixed file *, but its folder could not be flushed: *|
*: * and * have different files of options (*, *): check them in separate runs or name one with --config=FILE|mkdir two && printf -- '-q\n' >two/.iscsi-config-check && cp sound.conf two/ && run sound.conf two/sound.conf
file of options: *|run --show-settings sound.conf
options: --format=* --color=*|run --show-settings sound.conf
*:*:*: note: the file has Windows (CRLF) line ends: convert it with --fix, sed -i 's/\r$//' FILE or dos2unix FILE|run --format=gcc crlf.conf
the file has Windows (CRLF) line ends: convert it with sed -i 's/\r$//' FILE or dos2unix FILE|run --format=gcc kept.conf
the file begins with a byte order mark (the bytes EF BB BF), read as part of line 1: remove it with --fix or sed -i '1s/^\xEF\xBB\xBF//' FILE|run --format=gcc bom.conf
the line holds only blanks: a line of blanks is not an empty line (--fix empties it)|run --format=gcc notes.conf
a comment's '#' must be the line's first character (--fix deletes the blanks before it)|run --format=gcc notes.conf
a comment's '#' must be the line's first character: this one is a directive, which would then take effect (--fix leaves it)|run --format=gcc notes.conf
did you mean 'target'?|run --format=gcc notes.conf
'=' must follow the keyword 'target'|run --format=gcc notes.conf
identifiers cannot hold ':', so an IQN-style name cannot be given as it is: use letters, digits, '.', '-' and '_' only|run --format=gcc notes.conf
did you mean 'Initiator:'?|run --format=gcc notes.conf
login parameters do not begin with 'Initiator:'|run --format=gcc notes.conf
the port follows the address after a space, not after a ':'|run --format=gcc notes.conf
EOF

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
