#!/usr/bin/env bash
# The command-line options, one group of cases per run:
#
#   options_test.sh CHECKER GEN_CONFIG GROUP
#
# GROUP is usage, values, files, strict, quiet-mask, gcc, warnings,
# settings, formats, agree or fix. Each case states the exit status, then every
# line of standard output prefixed "1|" and of standard error prefixed "2|",
# byte for byte. A failed case is named by its group, the line of this script
# that states it and its command line.
#
# KEEP set and not empty: the work folder stays, and its name is printed;
# each failed case's files (out, err, expected, actual, diff.txt, command)
# are copied to failed-N/ in it before a later case overwrites them.
set -u
checker=$1 gen_config=$2 group=$3
failed=0 failures=0
tmp=$(mktemp -d)
# shellcheck disable=SC2317 # run by the EXIT trap (not followed past the final exit)
finish() {
    local status=$?
    if [ "$status" != 0 ] && [ "$status" != 77 ] && [ "$failures" = 0 ]; then
        echo "FAIL ($group): stopped with status $status"
    fi
    if [ -n "${KEEP:-}" ]; then
        echo "KEEP set: the work folder is kept in $tmp"
    else
        rm -rf "$tmp"
    fi
}
trap finish EXIT
export LC_ALL=C ASAN_OPTIONS=detect_leaks=0 # (no leak checks under strace)

# Reports a failed case, by the line of this script that called fail (or
# $fail_line, set by expect).
fail() {
    echo "FAIL ($group, ${0##*/}:${fail_line:-${BASH_LINENO[0]}}): $*"
    failed=1 failures=$((failures + 1))
}
# Reports a failure that ends the group.
give_up() { fail "$@"; exit 1; }
cd "$tmp" || give_up "cannot enter $tmp"

# Runs the checker as iscsi-config-check with the arguments given, its
# standard output to $OUT if set, and compares the status and both streams
# with the expectation on standard input. $TRACE may hold a command that runs
# it (strace, timeout, setpriv: the checker's name is then its path);
# $CLOSED may name a standard descriptor (0, 1 or 2) to close; $IN may name
# the file read as standard input (default /dev/null).
expect() {
    : >out
    cat >expected
    (
        case ${CLOSED:-} in 0) exec <&- ;; 1) exec >&- ;; 2) exec 2>&- ;; esac
        exec -a iscsi-config-check ${TRACE:-} "$checker" "$@"
    ) >"${OUT:-out}" 2>err <"${IN:-/dev/null}"
    local status=$?
    # A coverage build run as another user tells on standard error that it
    # cannot write its counts: not the checker's own words.
    sed -i '/^profiling:/d' err
    { echo "$status"; sed 's/^/1|/' out; sed 's/^/2|/' err; } >actual
    for stream in out err; do
        # The prefixes hide a missing final newline: none may be missing.
        [ ! -s $stream ] || [ -z "$(tail -c 1 $stream)" ] || echo "(no final newline)" >>actual
    done
    diff -u --label expected --label actual expected actual >diff.txt && return
    local command="${TRACE:+$TRACE }iscsi-config-check $*${OUT:+ >$OUT}"
    fail_line=${BASH_LINENO[0]} fail "$command"
    cat -A diff.txt | head -n 30
    if [ -n "${KEEP:-}" ]; then
        local kept=$tmp/failed-$failures
        mkdir -p "$kept" && cp out err expected actual diff.txt "$kept"/ &&
            printf '%s\n' "$command" >"$kept/command" && echo "(its files: $kept)"
    fi
}

usage='2|USAGE: iscsi-config-check <config_file_name>'
report='1|line 1, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, loginParamsLen = 13, loginParams = Initiator:h,p '
printf 'target = 1.2.3.4 3260 2 Initiator:h,p\n\ntarget = 10.0.0.1 860 1 Initiator:n,\n' >sound.conf
printf 'target = 1.2.3.4 3260 2 Initiator:h,p\ntarget = 1.2.3 3260 2 Initiator:h,p\n' >faulty.conf

case $group in
usage)
    expect --version <<<'0
1|iscsi-config-check 2.8.1'
    # The first of a usage error, --help and --version decides, wherever it
    # stands. (The help text is checked against the manual page.)
    help=$("$checker" --help | sed 's/^/1|/')
    for args in '-q --help sound.conf' '--help -' 'sound.conf --help --bogus'; do
        # shellcheck disable=SC2086 # each entry is a list of words
        expect $args < <(echo 0; echo "$help")
    done
    OUT=/dev/full expect --help <<<'1
2|failed to write output'
    # Anything else that looks like an option, before "--", and a missing
    # name, is usage: nothing is read, and a line before it says why.
    while IFS='|' read -r args message; do
        # shellcheck disable=SC2086 # each entry is a list of words
        expect $args <<<"1
2|iscsi-config-check: $message
$usage"
    done <<'EOF'
-|'-' is not standard input here: use --stdin-filename=NAME
-h|unknown option '-h' (--help prints the help)
-x|unknown option '-x'
--bogus|unknown option '--bogus'
-q|no file named
--|no file named
-q --|no file named
-s -|'-' is not standard input here: use --stdin-filename=NAME
-q -x sound.conf|unknown option '-x'
--bogus --help|unknown option '--bogus'
- --help|'-' is not standard input here: use --stdin-filename=NAME
sound.conf -|'-' is not standard input here: use --stdin-filename=NAME
sound.conf -x|unknown option '-x'
missing.conf --bogus|unknown option '--bogus'
sound.conf -qhelp|unknown option '-h' (--help prints the help)
--qiet sound.conf|unknown option '--qiet'; did you mean '--quiet'?
--colr=always sound.conf|unknown option '--colr'; did you mean '--color'?
--co sound.conf|option '--co' is ambiguous (--color, --colour, --config)
--col=always --quiet=x sound.conf|option '--quiet' takes no value
sound.conf --##[error]y.conf|argument 2: unknown option
--stict' sound.conf|argument 1: unknown option; did you mean '--strict'?
EOF
    # A closed standard output is a failure before anything is read, whatever
    # was asked; no checked file takes the place of a closed stream.
    for args in 'faulty.conf sound.conf' '-q sound.conf' --help --version '-W bogus'; do
        # shellcheck disable=SC2086 # each entry is a list of words
        CLOSED=1 expect $args <<<'1
2|failed to write output'
    done
    CLOSED=0 expect --format=gcc --stdin-filename=in.conf <<<'1
2|failed to open file in.conf: Bad file descriptor'
    CLOSED=0 expect --format=gcc faulty.conf sound.conf <<<'0
1|faulty.conf:2:15: error: address holds '\'' '\'' where '\''.'\'' belongs [address-char]'
    CLOSED=2 expect -qs faulty.conf missing.conf <<<'1
1|==> faulty.conf <==
1|line 2, pos 14, illegal character in address 040 '
    ;;
values)
    # A bad value, or none, is told in a line of its own before the usage.
    p='2|iscsi-config-check:'
    while IFS='|' read -r args message; do
        # shellcheck disable=SC2086 # each entry is a list of words
        expect $args <<<"1
$p $message
$usage"
    done <<'EOF'
--format=xml sound.conf|unknown format 'xml' (report, gcc, json, sarif, github, tty)
--colour=sometimes sound.conf|unknown --color value 'sometimes' (auto, always, never)
--format|option '--format' needs a value
sound.conf -W|option '-W' needs a value
-W leading-zeros sound.conf|unknown warning 'leading-zeros'; did you mean 'leading-zero'?
-Wno-leadng-zero sound.conf|unknown warning 'no-leadng-zero'; did you mean 'no-leading-zero'?
-W adress-rnage sound.conf|unknown warning 'adress-rnage'; did you mean 'address-range'?
-W bogus sound.conf|unknown warning 'bogus' (--list-checks lists the checks)
-W no- sound.conf|unknown warning 'no-' (--list-checks lists the checks)
-W no-connections sound.conf|'no-connections' is an error, not a warning: errors are always checked
-Wno-parse sound.conf|'parse' is an error, not a warning: errors are always checked
-W -Wno-parse sound.conf|'parse' is an error, not a warning: errors are always checked
-W alll sound.conf|unknown warning 'alll'; did you mean 'all'?
--warn=-Wno-al sound.conf|unknown warning '-Wno-al'; did you mean '-Wno-all'?
--explain=-Wleading-zeroes|unknown check '-Wleading-zeroes'; did you mean '-Wleading-zero'?
--explain=leading-zeroes|unknown check 'leading-zeroes'; did you mean 'leading-zero'?
--stdin-filename=|--stdin-filename needs a name
--config= sound.conf|--config needs a file name
--stdin-filename=a.conf sound.conf|--stdin-filename checks standard input: no file name goes with it
--list-checks sound.conf|--list-checks takes no file name
sound.conf --explain=parse|--explain takes no file name
-Wleading-zero' sound.conf|argument 1: unknown warning; did you mean 'leading-zero'?
sound.conf -W no-bom:|argument 3: unknown warning; did you mean 'no-bom'?
--format=j\son|argument 1: unknown format (report, gcc, json, sarif, github, tty)
--colour al"ways sound.conf|argument 2: unknown --color value (auto, always, never)
--explain=pa:rse|argument 1: unknown check; did you mean 'parse'?
-W --aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa sound.conf|unknown warning '--aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa' (--list-checks lists the checks)
-W aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa sound.conf|argument 2: unknown warning (--list-checks lists the checks)
EOF
    ;;
files)
    # Options apply wherever they stand among the files; "--" ends them;
    # short options combine; a later --format wins.
    cp sound.conf ./-dash.conf
    expect -q -- -dash.conf <<<0
    expect faulty.conf -qs <<<'2
1|line 2, pos 14, illegal character in address 040 '
    expect -q sound.conf -- -dash.conf -s <<<'1
2|failed to open file -s'
    expect --format=gcc faulty.conf --format=report <<<"0
1|iscsi-config-check....
$report
1|line 2, pos 14, illegal character in address 040 "
    # Every file is checked, in order, with a header before the first line
    # of each; a file that prints nothing, or cannot be opened, gets none,
    # and the run goes on after it.
    printf '# only a comment\n' >comment.conf
    expect sound.conf comment.conf missing.conf faulty.conf <<<"1
1|iscsi-config-check....
1|==> sound.conf <==
$report
1|line 3, nConnections = 1, target addr = 10.0.0.1, portNum = 860, loginParamsLen = 12, loginParams = Initiator:n, 
1|==> faulty.conf <==
$report
1|line 2, pos 14, illegal character in address 040 
2|failed to open file missing.conf"
    expect -qs sound.conf faulty.conf <<<'2
1|==> faulty.conf <==
1|line 2, pos 14, illegal character in address 040 '
    expect -s --format=gcc faulty.conf sound.conf faulty.conf <<<'2
1|faulty.conf:2:15: error: address holds '\'' '\'' where '\''.'\'' belongs [address-char]
1|faulty.conf:2:15: error: address holds '\'' '\'' where '\''.'\'' belongs [address-char]'
    expect -qs faulty.conf missing.conf <<<'1
1|==> faulty.conf <==
1|line 2, pos 14, illegal character in address 040 
2|failed to open file missing.conf'
    ;;
strict)
    expect --strict sound.conf <<<"0
1|iscsi-config-check....
$report
1|line 3, nConnections = 1, target addr = 10.0.0.1, portNum = 860, loginParamsLen = 12, loginParams = Initiator:n, "
    : >empty.conf
    expect -s empty.conf <<<'0
1|iscsi-config-check....'
    printf 'target = 1.2.3.4 3260 0 Initiator:h,p\n' >idle.conf
    expect -s idle.conf <<<'2
1|iscsi-config-check....
1|line 1, pos 37, no connections defined '
    # A failed run is 1, whatever the file holds: it cannot be opened, its
    # report cannot be written, or its reading fails after the faults.
    expect -s missing.conf <<<'1
1|iscsi-config-check....
2|failed to open file missing.conf'
    OUT=/dev/full expect -qs faulty.conf <<<'1
2|failed to write output'
    if command -v strace >/dev/null; then
        TRACE="strace -o /dev/null -P $PWD/faulty.conf -e inject=read:error=EIO:when=2" \
            expect -qs faulty.conf <<<'1
1|line 2, pos 14, illegal character in address 040 
2|failed to read file faulty.conf'
        # A failure that only closing the output shows is a failure too.
        TRACE="strace -o /dev/null -P $PWD/out -e inject=close:error=EIO" \
            expect -qs faulty.conf <<<'1
1|line 2, pos 14, illegal character in address 040 
2|failed to write output'
        # A read interrupted by a signal is tried again, not a failure.
        TRACE="strace -o /dev/null -P $PWD/faulty.conf -e inject=read:error=EINTR:when=1" \
            expect -qs faulty.conf <<<'2
1|line 2, pos 14, illegal character in address 040 '
    else
        echo "no strace: the read-failure case is left out"
    fi
    ;;
quiet-mask)
    expect --quiet faulty.conf <<<'0
1|line 2, pos 14, illegal character in address 040 '
    expect -q missing.conf <<<'1
2|failed to open file missing.conf'
    # A password is masked as eight stars whatever its length, and nothing
    # after the field is printed (it may hold the rest of a password with a
    # blank); the identifier and loginParamsLen stay.
    printf '%s\n' 'target = 1.2.3.4 3260 2 Initiator:h.x,s3cr3t	primary, with,commas' \
        'target = 1.2.3.4 3260 2 Initiator:h,' 'target = 1.2.3.4 3260 2 Initiator:h,abcdefghijklmnop' \
        'target = 1.2.3.4 3260 0 Initiator:h,p' 'target = 1.2.3.4 3260 2 Initiator:h,Xq9-prod pw' \
        'target = 1.2.3.4 3260 2 Initiator:h, pw' >secret.conf
    expect --mask-passwords secret.conf <<<'0
1|iscsi-config-check....
1|line 1, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, loginParamsLen = 20, loginParams = Initiator:h.x,******** 
1|line 2, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, loginParamsLen = 12, loginParams = Initiator:h, 
1|line 3, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, loginParamsLen = 28, loginParams = Initiator:h,******** 
1|line 4, pos 37, no connections defined 
1|line 5, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, loginParamsLen = 20, loginParams = Initiator:h,******** 
1|line 6, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, loginParamsLen = 12, loginParams = Initiator:h, '
    ;;
gcc)
    # The name as given; standard error as usual. (Each format's bytes,
    # positions included, are the unit tests' business.)
    mkdir dir && cp faulty.conf dir/
    expect --format=gcc -s ./dir/faulty.conf <<<'2
1|./dir/faulty.conf:2:15: error: address holds '\'' '\'' where '\''.'\'' belongs [address-char]'
    expect --format=gcc missing.conf <<<'1
2|failed to open file missing.conf: No such file or directory'
    ;;
warnings)
    # One table of lines and their warnings: every name, their order (the
    # outcome first, then by column, then as the names are listed), numbers
    # judged before a later fault, the once-per-file rules and the pieces of
    # long lines (512 bytes are one piece). The second file starts afresh.
    s='target = 1.2.3.4 3260 1 Initiator:h,p'
    {
        printf '\xef\xbb\xbf# byte order mark, and the first CRLF line end\r\n'
        printf '%s\n' 'target = 010.0.0.1 3260 1 Initiator:h,p' \
            'target = 0300.99999999999999999999.2.3 0 1 Initiator:h,p' \
            'target = 1.2.3.4 070000 99999 Initiator:h,p' 'target = 1.2.3.4 65536 70000 Initiator:bad' \
            'target = 300.1.2 3260 2 Initiator:h,p' 'target = 010.0.0.1 3260 0 Initiator:h,p	remark'
        printf '%s\r\n' 'target = 10.0.0.1 3260 2 Initiator:h,p  ' 'target = 10.0.0.1 3260 2 Initiator:h,p # x'
        printf '#%511s%s\n' '' 'target = 10.0.0.1 3260 1 Initiator:old,secret'
        printf '%s %474s\n%1100s\n' "$s" '' ''
    } >w1.conf
    printf '%s %473s\r\n%s\n' "$s" '' "$s" >w2.conf
    expect -q -W all -s w1.conf w2.conf <<<"2
1|==> w1.conf <==
1|line 1, pos 0, parse error 
1|line 1, pos 0, warning: file begins with a byte order mark [-Wbom]
1|line 1, pos 49, warning: line ends with a carriage return: the file has CRLF line ends [-Wcarriage-return]
1|line 2, pos 9, warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]
1|line 3, pos 9, warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]
1|line 3, pos 9, warning: address number over 255, taken as 44 [-Waddress-range]
1|line 3, pos 14, warning: address number over 255, taken as 255 [-Waddress-range]
1|line 3, pos 39, warning: port number 0 is not usable [-Wport-range]
1|line 4, pos 17, warning: port number over 65535, taken as 4464 [-Wport-range]
1|line 4, pos 24, warning: connection count over 65535, taken as 99999 [-Wcount-range]
1|line 5: missing ',' after identifier
1|line 5, pos 17, warning: port number over 65535, taken as 0 [-Wport-range]
1|line 5, pos 23, warning: connection count over 65535, taken as 70000 [-Wcount-range]
1|line 6, pos 16, illegal character in address 040 
1|line 6, pos 9, warning: address number over 255, taken as 44 [-Waddress-range]
1|line 7, pos 39, no connections defined 
1|line 7, pos 9, warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]
1|line 7, pos 40, warning: text after the login parameters is not checked [-Wtrailing-text]
1|line 8, pos 9, warning: target 10.0.0.1 port 3260 also defined on line 2 [-Wduplicate-target]
1|line 9, pos 9, warning: target 10.0.0.1 port 3260 also defined on line 2 [-Wduplicate-target]
1|line 9, pos 39, warning: text after the login parameters is not checked [-Wtrailing-text]
1|line 10, pos 512, warning: line longer than 512 bytes: the text from here on is judged as a line of its own [-Wlong-line]
1|line 10, pos 521, warning: target 10.0.0.1 port 3260 also defined on line 2 [-Wduplicate-target]
1|line 12, pos 512, parse error 
1|line 12, pos 1024, parse error 
1|line 12, pos 512, warning: line longer than 512 bytes: the text from here on is judged as a line of its own [-Wlong-line]
1|line 12, pos 1100, parse error 
1|==> w2.conf <==
1|line 1, pos 511, warning: line ends with a carriage return: the file has CRLF line ends [-Wcarriage-return]
1|line 2, pos 9, warning: target 1.2.3.4 port 3260 also defined on line 1 [-Wduplicate-target]"
    # The targets of a large file are all remembered, however often their
    # table grows: the repeat of the first comes out after 70,000 others.
    awk 'BEGIN { for (i = 0; i <= 70000; i++)
        printf "target = 10.%d.%d.%d 3260 1 Initiator:h,p\n", int(i / 65536), int(i / 256) % 256, i % 256
        print "target = 10.0.0.0 3260 2 Initiator:h,p" }' >many.conf
    expect --format=gcc -Wduplicate-target many.conf <<<'0
1|many.conf:70002:10: warning: target 10.0.0.0 port 3260 also defined on line 1 [-Wduplicate-target]'
    # The options act left to right; a warning asked for makes --strict fail;
    # any other name, an error's included, is usage.
    expect -qs -W no-all -Wall --warn=no-all w2.conf <<<0
    expect -qs --warn=all -W no-carriage-return -Wno-duplicate-target w2.conf <<<0
    # A warning's name as the diagnostics print it, after -W or --explain.
    expect -qs -W -Wall --warn=-Wno-all w2.conf <<<0
    expect --explain -Wduplicate-target <<<"0
$("$checker" --explain duplicate-target | sed 's/^/1|/')"
    expect --format=gcc -Wduplicate-target w2.conf <<<'0
1|w2.conf:2:10: warning: target 1.2.3.4 port 3260 also defined on line 1 [-Wduplicate-target]'
    ;;
settings)
    # The file of options: found here or up to the repository's top, its
    # options before the command line's, refused when it cannot be used or
    # when it holds what it may not; --config and --no-config.
    { mkdir -p repo/.git repo/sub/deep && cp faulty.conf repo/sub/deep/ && cd repo/sub/deep; } ||
        give_up "cannot make repo/sub/deep"
    printf '%s\r\n' '--format=gcc -W leading-zero # the team' '-s' >../../.iscsi-config-check
    chmod 644 ../../.iscsi-config-check
    printf 'target = 010.0.0.1 3260 2 Initiator:h,p\n' >z.conf
    expect z.conf faulty.conf <<<'2
1|z.conf:1:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]
1|faulty.conf:2:15: error: address holds '\'' '\'' where '\''.'\'' belongs [address-char]'
    expect -W no-all --format=json z.conf <<<'0
1|{"file":"z.conf","line":1,"address":"10.0.0.1","port":3260,"connections":2,"initiator":"h"}'
    expect --no-config -q z.conf <<<0
    expect --config=/dev/null -q z.conf <<<0
    expect --list-checks -W no-leading-zero -W control-char <<<"0
$("$checker" --no-config --list-checks | sed 's/^/1|/; s/^\(1|control-char\twarning\t\)off/\1on/')"
    # Each file finds the file of options from its own folder up to its
    # repository's top, wherever the run starts (standard input from its
    # name's): "." and ".." as cd takes them, a missing folder none, only
    # its own folder outside a repository. Files that find different ones
    # (a pre-commit run over a subfolder with a file of its own, two
    # repositories) stop the run before any is checked.
    team="$tmp/repo/.iscsi-config-check" lz="warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]"
    TRACE='env -C /' expect "$PWD/z.conf" <<<"2
1|$PWD/z.conf:1:10: $lz"
    TRACE='env -C /' IN=z.conf expect --stdin-filename="$PWD/z.conf" <<<"2
1|$PWD/z.conf:1:10: $lz"
    { mkdir -p inner "$tmp/other/in" && cp z.conf inner/ && cp z.conf "$tmp/other/in/" &&
        printf -- '-q\n' >inner/.iscsi-config-check && printf -- '-q -W all\n' >"$tmp/other/.iscsi-config-check"; } ||
        give_up "cannot make inner and other"
    expect inner/z.conf <<<0
    while IFS='|' read -r args found words; do
        # shellcheck disable=SC2086 # each entry is a list of words
        expect --show-settings $args <<<"0
1|file of options: ${found:-none}
1|options: --format=${words:-gcc --color=auto --strict -Wleading-zero}"
    done <<EOF
z.conf|$team|
inner/z.conf|$PWD/inner/.iscsi-config-check|report --color=auto --quiet
inner/../z.conf|$team|
z.conf ./z.conf|$team|
-q -- -|$team|gcc --color=auto --quiet --strict -Wleading-zero
nowhere/z.conf||report --color=auto
$tmp/other/in/z.conf||report --color=auto
--no-config z.conf||report --color=auto
--config=inner/.iscsi-config-check z.conf inner/z.conf|inner/.iscsi-config-check|report --color=auto --quiet
EOF
    mixed='have different files of options'
    expect z.conf inner/z.conf <<<"1
2|iscsi-config-check: z.conf and inner/z.conf $mixed ($team, $PWD/inner/.iscsi-config-check): check them in separate runs or name one with --config=FILE"
    expect --show-settings z.conf ./z.conf nowhere/z.conf <<<"1
2|iscsi-config-check: z.conf and nowhere/z.conf $mixed ($team, none): check them in separate runs or name one with --config=FILE"
    mkdir "$tmp/other/.git" || give_up "cannot make other/.git"
    expect z.conf "$tmp/other/in/z.conf" <<<"1
2|iscsi-config-check: z.conf and $tmp/other/in/z.conf $mixed ($team, $tmp/other/.iscsi-config-check): check them in separate runs or name one with --config=FILE"
    # Writable by its group (a team's checkout) is read.
    chmod 664 ../../.iscsi-config-check
    expect -q z.conf <<<'2
1|z.conf:1:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]'
    chmod 644 ../../.iscsi-config-check
    # A file of options that cannot be used is an error, never passed over,
    # and no file is checked: found under each form, named by why. (Under
    # timeout, the checker's name is its path.)
    hint='(use --config=FILE or --no-config)'
    while IFS='|' read -r make reason; do
        { rm -rf .iscsi-config-check && eval "$make"; } || give_up "cannot run: $make"
        TRACE='timeout 10' expect z.conf <<<"1
2|$checker: $PWD/.iscsi-config-check: $reason $hint"
    done <<'EOF'
ln -s ../../.iscsi-config-check .iscsi-config-check|is a symbolic link
ln -s missing .iscsi-config-check|is a symbolic link
mkfifo .iscsi-config-check|is not a regular file
mkdir .iscsi-config-check|is not a regular file
printf '%65537s' '' >.iscsi-config-check|is larger than 64 KiB
printf -- '-q\n' >.iscsi-config-check && chmod 646 .iscsi-config-check|is writable by every user
EOF
    rm .iscsi-config-check
    printf '%65533s-q\n' '' >.iscsi-config-check
    expect z.conf <<<0
    # Another user's file is refused, for a user other than root; root's is
    # trusted; root trusts anyone's file. A folder that every user may
    # write is not looked in at all (with a .git beside it, under /tmp):
    # its file is neither used nor refused.
    if [ "$(id -u)" = 0 ] && id nobody >/dev/null 2>&1 && mkdir -m 1777 "$tmp/shared" &&
        chmod 711 "$tmp" && mkdir -m 755 "$tmp/shared/own" && cp z.conf "$tmp/shared/own/" &&
        cd "$tmp/shared/own"; then
        # (A coverage build writes its counts where that user may.)
        as_nobody="setpriv --reuid=$(id -u nobody) --regid=$(id -g nobody) --clear-groups
            env GCOV_PREFIX=$tmp/shared/gcov"
        printf -- '-q --format=gcc -W leading-zero -s\n' >.iscsi-config-check
        chown 12345 .iscsi-config-check
        if $as_nobody "$checker" --version >/dev/null 2>&1; then
            TRACE=$as_nobody expect z.conf <<<"1
2|$checker: $PWD/.iscsi-config-check: is owned by another user $hint"
            chown 0 .iscsi-config-check
            TRACE=$as_nobody expect -W no-all z.conf <<<0
        else
            echo "SKIP: the user nobody cannot run $checker: another user's file is left out"
        fi
        chown 12345 .iscsi-config-check
        expect -W no-all z.conf <<<0
        { mkdir ../.git && mv .iscsi-config-check z.conf .. && cd ..; } || give_up "cannot enter shared"
        expect -q z.conf <<<0
        expect --show-settings own/../z.conf <<<'0
1|file of options: none
1|options: --format=report --color=auto'
        cd "$tmp/repo/sub/deep" || give_up "cannot enter repo/sub/deep"
    else
        echo "SKIP: not root, or no user nobody: another user's file is left out"
    fi
    # --config's file is the user's own choice: a link is followed, its owner
    # and mode are not judged, and the null device is empty; whatever else
    # is not a regular file of at most 64 KiB, or cannot be read, is refused.
    printf -- '-q\n' >q.opts && chmod 666 q.opts && ln -s q.opts q.link && mkfifo q.fifo
    expect --config=q.link z.conf <<<0
    while IFS='|' read -r file reason; do
        TRACE='timeout 10' expect --config="$file" z.conf <<<"1
2|$checker: $file: $reason"
    done <<EOF
none.conf|No such file or directory
.|is not a regular file $hint
q.fifo|is not a regular file $hint
/dev/zero|is not a regular file $hint
/proc/self/mem|Input/output error $hint
EOF
    printf -- '-q\n--format=gcc z.conf\n' >.iscsi-config-check
    expect z.conf <<<"1
2|iscsi-config-check: $PWD/.iscsi-config-check:2: 'z.conf' is not allowed here"
    # Every spelling a file of options holds, read as the command line reads
    # it: letters alone and together, long options and their abbreviations,
    # --colour for --color, "-W NAME" across a blank or a tab, the value as
    # the next word, a comment word; later words win, and the command line's
    # over them, where the file's warnings stay unless it turns them off.
    printf '%s\n' '-q -s -qs -sq # -x' '--quiet --strict --mask-passwords' '--format=report --colour=never' \
        $'-W\tleading-zero --color=always -Wall -W no-bom' '--warn=no-trailing-text' >.iscsi-config-check
    expect z.conf <<<'2
1|line 1, pos 9, warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]'
    printf -- '--format=gcc -W leading-zero -W control-char\n' >.iscsi-config-check
    expect --format=json -W no-leading-zero --list-checks <<<"0
$("$checker" --no-config --list-checks | sed 's/^/1|/; s/^\(1|control-char\twarning\t\)off/\1on/')"
    printf '%s\n' '# iscsi-config-check: disable=leading-zero,trailing-text' \
        'target = 010.0.0.1 3260 2 Initiator:h,p x' 'target = 010.0.0.2 3260 2 Initiator:h,p' \
        '# iscsi-config-check: disable-file=all' 'target = 010.0.0.3 3260 2 Initiator:h,p' >d.conf
    printf '%s\n' '--str --form gcc -qWall' '--war no-all --warn leading-zero --no-dir' >.iscsi-config-check
    expect d.conf <<<'2
1|d.conf:2:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]
1|d.conf:3:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]
1|d.conf:5:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]'
    # What a file may not hold is refused at its line, and nothing is
    # checked: a zero byte; a file name, an option of the command line
    # alone, an unknown or ambiguous one, a value for a flag, a missing
    # value, or a bad one. A word is quoted only when it is plainly harmless.
    printf -- '-q\n-W leading-zero\0 --strict\n' >.iscsi-config-check
    expect z.conf <<<"1
2|iscsi-config-check: $PWD/.iscsi-config-check:2: holds a zero byte"
    while IFS='|' read -r words message; do
        printf -- '-q\n-s %s\n' "$words" >.iscsi-config-check
        expect z.conf <<<"1
2|iscsi-config-check: $PWD/.iscsi-config-check:2: $message"
    done <<'EOF'
--quiet=x|option '--quiet' takes no value
--conf=x|'--conf=x' is not allowed here
--co=x|option '--co' is ambiguous (--color, --colour, --config)
--qiet|unknown option '--qiet'; did you mean '--quiet'?
--no-config|'--no-config' is not allowed here
--help -q|'--help' is not allowed here
--list-checks|'--list-checks' is not allowed here
--fix|'--fix' is not allowed here
-x|unknown option '-x'
-qx|unknown option '-x'
-|'-' is not allowed here
-- -q|'--' is not allowed here
x.conf|'x.conf' is not allowed here
x##[error]y.conf|not an option
--x##[error]y|word 2: unknown option
--stdin-filename=x##[error]y|'--stdin-filename' is not allowed here
--format|option '--format' needs a value
-qW|option '-W' needs a value
-W #leading-zero|option '-W' needs a value
-W leading-zeros|unknown warning 'leading-zeros'; did you mean 'leading-zero'?
-W -Wleading-zeros|unknown warning '-Wleading-zeros'; did you mean '-Wleading-zero'?
-W alll|unknown warning 'alll'; did you mean 'all'?
-W x##[error]y|word 3: unknown warning (--list-checks lists the checks)
--colour=##[x|word 2: unknown --color value (auto, always, never)
EOF
    printf -- '-W leading-zeros\n' >.iscsi-config-check
    expect --help <<<"0
$("$checker" --help | sed 's/^/1|/')"
    # The file's -W no-NAME holds under the command line's -W all, as the
    # recipes give it; naming the warning, or -W no-NAME, still decides.
    printf 'target = 010.0.0.1 3260 2 Initiator:h,p x\n' >t.conf
    lz='1|t.conf:1:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]'
    tt='1|t.conf:1:39: warning: text after the login parameters is not checked [-Wtrailing-text]'
    while IFS='|' read -r words args shown; do
        printf -- '--format=gcc %s\n' "$words" >.iscsi-config-check
        # shellcheck disable=SC2086 # each entry is a list of words
        expect $args t.conf < <(echo 0; for line in $shown; do
            case $line in lz) echo "$lz" ;; tt) echo "$tt" ;; esac
        done)
    done <<'EOF'
-W all -W no-trailing-text|-W all|lz
-W all -W no-trailing-text|-W all -W trailing-text|lz tt
-W all -W no-trailing-text|-W all -W no-leading-zero|
-W no-all -W trailing-text|-W all|tt
-W no-trailing-text -W all|-W all|lz tt
-W no-trailing-text|-W all -W no-all -W all|lz
|-W all|lz tt
EOF
    rm .iscsi-config-check
    # Directives: a line's and a file's, obeyed only with -W, ignored
    # under --no-directives; an empty file, standard input under a name.
    expect -q -W all d.conf <<<'2
1|d.conf:3:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]'
    expect -W all --no-directives d.conf <<<'2
1|d.conf:2:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]
1|d.conf:2:39: warning: text after the login parameters is not checked [-Wtrailing-text]
1|d.conf:3:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]
1|d.conf:5:10: warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]'
    # A directive holds for every piece of the next line that is neither
    # empty nor a comment, and nothing else: not a long comment's live second
    # piece (line 3), all of a long statement's (line 5). "#" and the word
    # need no blank between them; a misspelt name gets the closest one; a
    # carriage return turned off on its line leaves the file's next one to be
    # told. A directive meant but misspelt is malformed, prose naming the
    # program is not; disable-file= never hides its own complaints.
    # --no-directives obeys none, and still tells the malformed.
    {
        printf '%s\n' '# iscsi-config-check: disable=leading-zero,long-line' \
            'target = 010.0.0.1 3260 2 Initiator:h,p'
        printf '#%511s%s\n' '' 'target = 010.0.0.2 3260 2 Initiator:h,p'
        printf '%s\n' '# iscsi-config-check: disable=long-line'
        printf 'target = 10.0.0.3 3260 2 Initiator:h,p%474s#%s\n' '' 'rest'
        printf '%s\n' '#iscsi-config-check:disable=leading-zero' 'target = 010.0.0.6 3260 2 Initiator:h,p' \
            '# iscsi-config-check: enable=x' '# iscsi-config-check: disable=leading-zeros' \
            '# ISCSI-CONFIG-CHECK: disable=bom' '# iscsi-config-check disable=leading-zero' \
            '# iscsi-config-check runs in CI' '# iscsi-config-check: disable-file=bad-directive,bogus' \
            '# iscsi-config-check: disable=carriage-return'
        printf '%s\r\n' 'target = 10.0.0.4 3260 2 Initiator:h,p ' '# CRLF'
    } >dir.conf
    lz='warning: address number with a leading zero: other tools read it as octal [-Wleading-zero]'
    ll='warning: line longer than 512 bytes: the text from here on is judged as a line of its own [-Wlong-line]'
    bad="1|dir.conf:8:1: warning: malformed directive: # iscsi-config-check: disable=NAMES or disable-file=NAMES [-Wbad-directive]
1|dir.conf:9:22: warning: unknown warning 'leading-zeros' in directive; did you mean 'leading-zero'? [-Wbad-directive]
1|dir.conf:10:1: warning: malformed directive: # iscsi-config-check: disable=NAMES or disable-file=NAMES [-Wbad-directive]
1|dir.conf:11:1: warning: malformed directive: # iscsi-config-check: disable=NAMES or disable-file=NAMES [-Wbad-directive]
1|dir.conf:13:22: warning: unknown warning 'bogus' in directive [-Wbad-directive]"
    cr='warning: line ends with a carriage return: the file has CRLF line ends [-Wcarriage-return]'
    expect -q -W all --format=gcc dir.conf <<<"2
1|dir.conf:3:513: $ll
1|dir.conf:3:522: $lz
$bad
1|dir.conf:16:7: $cr"
    expect -q -W all --no-directives --format=gcc dir.conf <<<"2
1|dir.conf:2:10: $lz
1|dir.conf:3:513: $ll
1|dir.conf:3:522: $lz
1|dir.conf:5:513: $ll
1|dir.conf:7:10: $lz
$bad
1|dir.conf:15:38: $cr"
    : >empty.conf
    expect -s -W empty-file empty.conf <<<'2
1|empty.conf:1:1: warning: file defines no target [-Wempty-file]'
    (exec -a iscsi-config-check "$checker" --stdin-filename=in.conf) <faulty.conf >out 2>&1
    [ "$(cat out)" = "in.conf:2:15: error: address holds ' ' where '.' belongs [address-char]" ] || fail "stdin: $(cat out)"
    # shellcheck disable=SC2094 # standard input is the output, on purpose
    (exec -a iscsi-config-check "$checker" --stdin-filename=in.conf) <z.conf >>z.conf 2>err
    [ "$(cat err)" = "input file is output file in.conf" ] || fail "stdin is output: $(cat err)"
    cd "$tmp" || give_up "cannot enter $tmp"
    ;;
formats)
    # The formats as their readers take them (each format's bytes are the
    # unit tests' business): jq reads every JSON line, whatever the file's
    # name; the SARIF log indexes its rules and names the unread file; colour
    # follows the terminal.
    cp faulty.conf "$(printf 'q"\\\001\t\377\303\251.conf')"
    cp faulty.conf a:b.conf
    e=$'\033'
    expect --format=tty --color=always faulty.conf <<<"0
1|${e}[01m${e}[Kfaulty.conf:2:15:${e}[m${e}[K ${e}[01;31m${e}[Kerror: ${e}[m${e}[Kaddress holds ' ' where '.' belongs [address-char]
1|    2 | target = 1.2.3 3260 2 Initiator:h,********
1|      |               ${e}[01;32m${e}[K^${e}[m${e}[K
1|1 error, 0 warnings, 1 file checked"
    if command -v script >/dev/null; then
        # Each case: the environment, an option, the coloured lines expected.
        for case in 'TERM=xterm;;2' 'TERM=xterm NO_COLOR=1;;0' 'TERM=dumb;;0' 'TERM=;;0' \
            'TERM=xterm;--color=never;0'; do
            IFS=';' read -r env option expected <<<"$case"
            script -qec "env $env $checker --format=tty $option faulty.conf" /dev/null </dev/null |
                tr -d '\r' >term.out
            colored=$(grep -c $'\033' term.out)
            [ "$colored" = "$expected" ] || fail "$case: $colored coloured lines, expected $expected"
        done
        # The name of a file of options, on a terminal.
        script -qec "$checker --config=$(printf 'c\033[2Jd') x" /dev/null </dev/null | tr -d '\r' >term.out
        [ "$(cat term.out)" = "$checker: c?[2Jd: No such file or directory" ] ||
            fail "terminal: $(cat -A term.out)"
    fi
    # A name's control characters (C0, DEL, C1), which the runner does not
    # decode, as %XX of their bytes on both streams in the github format;
    # the other formats write them as they are off a terminal.
    name=$'e\e[2K\e[1A\x7f\xc2\x85\x9b\t.conf'
    cp faulty.conf "$name"
    expect --no-config --format=github "$name" $'m\a.conf' <<'EOF'
1
1|::error file=e%1B[2K%1B[1A%7F%C2%85%9B%09.conf,line=2,col=15,title=address-char::address holds ' ' where '.' belongs
1|::error file=m%07.conf,title=open-failed::failed to open file: No such file or directory
2|failed to open file m%07.conf: No such file or directory
EOF
    expect --no-config --format=gcc $'m\a.conf' <<<$'1\n2|failed to open file m\a.conf: No such file or directory'
    rm "$name"
    # Names made to forge CI workflow commands forge none on either stream:
    # a model of the runner's two syntaxes ("::name ...::" at a line's start,
    # "##[name ...]" anywhere) finds only the checker's own annotations.
    { mkdir forged && cd forged; } || give_up "cannot make forged"
    cp ../faulty.conf 'a##[warning file=README.md;line=1]Reviewed: no faults.conf'
    mkdir 'z##[stop-commands]tok.conf'
    ln -s missing.conf $'l\n::add-mask::hunter2.conf'
    "$checker" --format=github -W all ./* >out 2>err
    awk -v stream=out '/##\[/ || (/^[ \t]*::/ && (stream == "err" ||
            !/^::(error|warning) file=[^:,]*(,line=[0-9]+,col=[0-9]+)?,title=[a-z-]+::/)) {
            print stream ": forged: " $0; bad = 1 } END { exit bad }' out ||
        fail "github: a command forged on standard output"
    awk '/##\[/ || /^[ \t]*::/ { print "err: forged: " $0; bad = 1 } END { exit bad }' err ||
        fail "github: a command forged on standard error"
    [ "$(wc -l <out) $(wc -l <err)" = "3 2" ] || fail "github: $(cat out err)"
    # Nor do words made to forge them: from an argument (a glob takes a file's
    # name for an option), from the file of options or in its name, before
    # or after --format=github, on the command line or in the file. The
    # messages name where such a word stands instead of quoting it.
    unforged() {
        awk '/##\[/ || /^[ \t]*::/ { print "forged: " $0; bad = 1 } END { exit bad }' out err ||
            fail_line=${BASH_LINENO[0]} fail "github: a command forged by: $*"
    }
    : >'-W##[error]x.conf'
    p="2|iscsi-config-check:" unknown='unknown warning (--list-checks lists the checks)'
    # shellcheck disable=SC2035 # the glob takes a name for an option, on purpose
    expect --format=github -W all * <<<"1
$p argument 4: $unknown
$usage" && unforged "an argument"
    # shellcheck disable=SC2035 # the glob takes a name for an option, on purpose
    expect * --format=github <<<"1
$p argument 1: $unknown
$usage" && unforged "an argument before the format"
    printf -- '--format=github\n' >.iscsi-config-check
    # shellcheck disable=SC2035 # the glob takes a name for an option, on purpose
    expect -W all * <<<"1
$p argument 3: $unknown
$usage" && unforged "an argument, the format in the file"
    cp ../faulty.conf . || give_up "cannot copy faulty.conf"
    printf -- '-Wq##[error]x.conf --format=github\n' >.iscsi-config-check
    expect --format=github faulty.conf <<<"1
$p $PWD/.iscsi-config-check:1: word 1: $unknown" && unforged "a word of the file"
    printf -- '--format=github\nq##[error]x.conf\n' >.iscsi-config-check
    expect faulty.conf <<<"1
$p $PWD/.iscsi-config-check:2: not an option" && unforged "a word after the format in the file"
    rm .iscsi-config-check
    expect --config='c##[error]d.opts' ../faulty.conf <<<"1
$p c#%23[error]d.opts: No such file or directory" && unforged "the name of --config's file"
    { mkdir 'p##[error]q' && cd 'p##[error]q' && printf -- '-x\n' >.iscsi-config-check &&
        mv ../faulty.conf .; } || give_up "cannot make p##[error]q"
    expect --format=github faulty.conf <<<"1
$p ${PWD%/*}/p#%23[error]q/.iscsi-config-check:1: unknown option '-x'" &&
        unforged "the name of the file found"
    cd .. || give_up "cannot leave p##[error]q"
    expect --format=github --config=$'/none\n::error::forged' ../faulty.conf <<<"1
$p /none%0A::error::forged: No such file or directory" && unforged "a newline in --config's file"
    (exec -a '::error::forged' "$checker" --format=github -W bogus ../faulty.conf) >out 2>err
    [ "$(cat err)" = "%3A%3Aerror%3A%3Aforged: unknown warning 'bogus' (--list-checks lists the checks)
USAGE: ::error::forged <config_file_name>" ] || fail "the program's name: $(cat err)"
    unforged "the program's name"
    # The lookup starts from the folder the shell names, a link included,
    # and one it cannot make stops the run.
    { mkdir -p real/.git && printf -- '-s\n' >real/.iscsi-config-check && mkdir real/in &&
        ln -s real/in linked; } || give_up "cannot make the linked folder"
    printf 'target = 1.2.3 3260 2 Initiator:h,p\n' >real/in/f.conf
    (cd linked && PWD=$PWD/linked exec -a iscsi-config-check "$checker" -q f.conf) >out 2>&1
    [ $? = 2 ] || fail "through a link: the project's --strict was not applied: $(cat out)"
    if command -v strace >/dev/null; then
        # (In this shell, not a subshell, so that a failure counts.)
        TRACE="env -C real/in strace -o /dev/null -e inject=getcwd:error=EACCES" PWD='' \
            expect -q f.conf <<<"1
2|$checker: .: Permission denied (use --config=FILE or --no-config)"
    fi
    cd .. || give_up "cannot leave forged"
    command -v jq >/dev/null || { echo "SKIP: no jq, the JSON and SARIF readers' checks"; exit 77; }
    "$checker" --format=json -W all sound.conf q* >json.out 2>&1
    jq -e -s 'length == 4 and .[3].file == "q\"\\\u0001\t\ufffd\u00e9.conf"' json.out >/dev/null ||
        fail "json: jq reads otherwise"
    (exec -a iscsi-config-check "$checker" --format=sarif -W all a:b.conf missing.conf) >log.sarif 2>err
    [ $? = 1 ] || fail "sarif: status, expected 1"
    jq -e '.runs[0] as $r | ($r.results | length) == 1 and
        ([$r.results[] | $r.tool.driver.rules[.ruleIndex].id == .ruleId] | all) and
        $r.results[0].locations[0].physicalLocation.artifactLocation.uri == "a%3Ab.conf" and
        $r.results[0].locations[0].physicalLocation.region == {startLine: 2, startColumn: 15} and
        ($r.tool.driver.rules | map(.id) | unique | length) == ($r.tool.driver.rules | length) and
        $r.invocations[0].executionSuccessful == false and
        $r.invocations[0].toolExecutionNotifications[0].message.text == "failed to open file missing.conf: No such file or directory"' \
        log.sarif >/dev/null || fail "sarif: unexpected log"
    ;;
agree)
    # On realistic and on random input, the machine formats, as jq reads
    # them, give the gcc format's diagnostics: line, column, severity,
    # message and the check's name, which gcc gives after each message.
    command -v jq >/dev/null || { echo "SKIP: no jq"; exit 77; }
    "$gen_config" 400000 >g.conf
    # Statements with numbers that wrap, leading zeros, repeated targets and
    # remarks, for the warnings.
    awk 'BEGIN { srand(7); for (i = 0; i < 4000; i++) {
            z = rand() < 0.3 ? "0" : ""
            printf "target = %s%d.%d.%d.%d %d %d Initiator:h,p%s\n", z, int(rand() * 400),
                int(rand() * 3), int(rand() * 300), int(rand() * 2), int(rand() * 70000),
                int(rand() * 70000), rand() < 0.2 ? " # remark" : ""
        } }' >>g.conf
    openssl enc -aes-128-ctr -nosalt -K 000102030405060708090a0b0c0d0e0f \
        -iv 0 -in /dev/zero 2>/dev/null | head -c 200000 >>g.conf
    for format in gcc json sarif github; do
        "$checker" -W all --format="$format" g.conf >"$format.out" || fail "$format: status"
    done
    { [ "$(grep -c ': warning: ' gcc.out)" -gt 1000 ] && [ "$(grep -c ': error: ' gcc.out)" -gt 1000 ]; } ||
        fail "too few diagnostics generated"
    grep -v '^g\.conf:[0-9]*:[0-9]*: note: ' gcc.out |
        sed 's/^g\.conf:\([0-9]*\):\([0-9]*\): \([a-z]*\): \(.*\)/\1 \2 \3 \4/; s/ \[\(-W\)\{0,1\}[a-z-]*\]$//' \
            >gcc.tuples
    jq -r 'select(.severity) | "\(.line) \(.column) \(.severity) \(.message)"' json.out >json.tuples
    jq -r '.runs[0].results[] | .locations[0].physicalLocation.region as $r |
        "\($r.startLine) \($r.startColumn) \(.level) \(.message.text)"' sarif.out >sarif.tuples
    sed -n 's/%0A.*//; s/^::\([a-z]*\) file=g\.conf,line=\([0-9]*\),col=\([0-9]*\),title=[a-z-]*::/\2 \3 \1 /p' \
        github.out >github.tuples
    # The notes, each after its diagnostic's line.
    sed -n 's/^g\.conf:\([0-9]*\):[0-9]*: note: /\1 /p' gcc.out >gcc.notes
    [ -s gcc.notes ] || fail "no note in the gcc format"
    jq -r 'select(.notes) | .line as $l | .notes[] | "\($l) \(.)"' json.out |
        cmp -s - gcc.notes || fail "json gives other notes than gcc"
    # SARIF counts characters, not bytes: a valid UTF-8 sequence is one, so
    # is each byte that is not part of one (as Python's surrogateescape
    # decodes them).
    python3 -c '
import sys
lines = open("g.conf", "rb").read().split(b"\n")
for tuple in open("gcc.tuples", "rb"):
    line, column, rest = tuple.split(b" ", 2)
    chars = lines[int(line) - 1].decode("utf-8", "surrogateescape")
    start = count = 0
    for char in chars:
        if start >= int(column) - 1:
            break
        start += len(char.encode("utf-8", "surrogateescape"))
        count += 1
    sys.stdout.buffer.write(line + b" " + str(count + 1).encode() + b" " + rest)
' >sarif.expected || fail "python3 cannot convert the columns"
    cmp -s sarif.expected sarif.tuples || fail "sarif finds other diagnostics than gcc"
    for format in json github; do
        cmp -s gcc.tuples "$format.tuples" || fail "$format finds other diagnostics than gcc"
    done
    jq -r 'select(.check) | "\(.line) \(.column) \(.check)"' json.out >json.names
    sed -n 's/^g\.conf:\([0-9]*\):\([0-9]*\): [a-z]*: .* \[\(-W\)\{0,1\}\([a-z-]*\)\]$/\1 \2 \4/p' \
        gcc.out | cmp -s - json.names || fail "gcc names its checks otherwise"
    jq -r '.runs[0].results[] | "\(.locations[0].physicalLocation.region.startLine) \(.ruleId)"' \
        sarif.out | cmp -s - <(cut -d' ' -f1,3 json.names) || fail "sarif names its checks otherwise"
    jq -r '.runs[0].results[] | .locations[0].physicalLocation.region.startLine as $l |
        (.relatedLocations // [])[] | "\($l) \(.message.text)"' sarif.out |
        cmp -s - gcc.notes || fail "sarif gives other notes than gcc"
    sed -n 's/^::[a-z]* file=g\.conf,line=\([0-9]*\),col=\([0-9]*\),title=\([a-z-]*\)::.*/\1 \2 \3/p' \
        github.out | cmp -s - json.names || fail "github names its checks otherwise"
    ;;
fix)
    # Every safe fix in one file, shown as a diff; nothing changes, and
    # what remains (nothing) goes to standard error. Under --strict a fix
    # not made fails like a fault.
    printf 'target = 010.001.0.1 3260 2 Initiator:h,p\n \t\n  # note\n' >z.conf
    cp z.conf z.orig
    for strict in "" --strict; do
        expect --no-config -q $strict --diff z.conf <<EOF
$([ -n "$strict" ] && echo 2 || echo 0)
1|--- a/z.conf
1|+++ b/z.conf
1|@@ -1,3 +1,3 @@
1|-target = 010.001.0.1 3260 2 Initiator:h,p
1|- $(printf '\t')
1|-  # note
1|+target = 10.1.0.1 3260 2 Initiator:h,p
1|+
1|+# note
EOF
    done
    cmp -s z.conf z.orig || fail "--diff changed the file"
    # A Windows file with a byte order mark: the diff applied by patch and
    # by git gives what --fix writes, byte for byte; then nothing is left.
    printf '\357\273\277target = 1.2.3.4 3260 2 Initiator:h,pw\r\n' >w.conf
    for k in 1 2 3 4 5 6 7 8; do printf '# %s\n' "$k" >>w.conf; done
    printf 'target = 1.2.3.5 3260 2 Initiator:h,pw\r\n\r' >>w.conf
    cp w.conf w.orig
    "$checker" --no-config --diff w.conf >w.diff 2>/dev/null
    [ "$(grep -c '^@@' w.diff)" = 2 ] || fail "the diff of w.conf is not two hunks"
    mkdir -p p g && cp w.orig p/w.conf && cp w.orig g/w.conf
    (cd p && patch -s -p1 <../w.diff) || fail "patch refused the diff"
    (cd g && git init -q . && git apply ../w.diff) || fail "git apply refused the diff"
    expect --no-config -s --fix w.conf <<'EOF'
0
1|iscsi-config-check....
1|line 1, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, loginParamsLen = 14, loginParams = Initiator:h,pw 
1|line 10, nConnections = 2, target addr = 1.2.3.5, portNum = 3260, loginParamsLen = 14, loginParams = Initiator:h,pw 
2|fixed file w.conf
EOF
    { cmp -s w.conf p/w.conf && cmp -s w.conf g/w.conf; } || fail "--fix and the patched file differ"
    # Where patch -p1 and git apply land: an absolute name below the current
    # folder is written relative to it, any other as given (mended from /,
    # or by naming the file to patch); git apply keeps a trailing blank.
    mkdir -p abs/sub && cp z.orig fixed.conf && "$checker" --no-config -q --fix fixed.conf >/dev/null
    for f in abs/sub/x.conf "abs/sub/x.conf " abs/y.conf; do cp z.orig "$f"; done
    "$checker" --no-config --diff "$PWD/abs/sub/x.conf" >x.diff 2>/dev/null
    "$checker" --no-config --diff "abs/sub/x.conf " >blank.diff 2>/dev/null
    (cd abs/sub && "$checker" --no-config --diff "$tmp/abs/y.conf" 2>/dev/null) >y.diff
    [ "$(head -n 1 x.diff)|$(head -n 1 y.diff)" = "--- a/abs/sub/x.conf|--- $tmp/abs/y.conf" ] ||
        fail "the diff's names: $(head -n 1 x.diff y.diff)"
    # Without a $PWD that names the current folder, the system's name of it.
    for env in -uPWD PWD=/; do
        [ "$(env "$env" "$checker" --no-config --diff "$(pwd -P)/abs/sub/x.conf" 2>/dev/null | head -n 1)" = \
            "--- a/abs/sub/x.conf" ] || fail "env $env: the diff's name is not below the current folder"
    done
    # Checks that FILE is what --fix makes (HOW made it), and puts it back.
    mended() { cmp -s fixed.conf "$1" || fail "$2 did not mend '$1'"; cp z.orig "$1"; }
    patch -s -p1 <x.diff; mended abs/sub/x.conf "patch -p1"
    git apply x.diff; mended abs/sub/x.conf "git apply"
    git apply blank.diff; mended "abs/sub/x.conf " "git apply"
    cmp -s z.orig abs/sub/x.conf || fail "git apply dropped a name's trailing blank"
    (cd / && patch -s -p1) <y.diff; mended abs/y.conf "patch -p1 from /"
    (cd / && git apply) <y.diff; mended abs/y.conf "git apply from /"
    (cd abs/sub && patch -s "$tmp/abs/y.conf") <y.diff; mended abs/y.conf "patch FILE"
    # A file that needs no fix is not rewritten; a mode-0600 file keeps it.
    before=$(stat -c '%i %Y' w.conf)
    "$checker" --no-config --fix w.conf >/dev/null
    [ "$(stat -c '%i %Y' w.conf)" = "$before" ] || fail "--fix rewrote a file that needs no fix"
    cp z.orig secret.conf && chmod 600 secret.conf
    [ "$("$checker" --no-config --format=tty --fix secret.conf 2>/dev/null)" = \
        "0 errors, 0 warnings, 1 file checked, 1 file fixed" ] || fail "--fix in tty: no count of files fixed"
    [ "$(stat -c %a secret.conf)" = 600 ] || fail "--fix changed the mode of a 0600 file"
    # A file named twice is diffed, or rewritten, once, and checked each
    # time; a folder is told once, as the check tells it. Each file
    # rewritten is told on standard error (its name as the format's
    # failures give it), but for -q.
    "$checker" --no-config -q --diff z.conf 2>&1 | cmp -s - <("$checker" --no-config -q --diff z.conf ./z.conf 2>&1) ||
        fail "--diff z.conf ./z.conf: not one diff"
    # Many files, each named twice: one diff each, however many came before.
    many=()
    for k in $(seq 20); do cp z.conf "m$k.conf" && many+=("m$k.conf" "./m$k.conf"); done
    [ "$("$checker" --no-config -q --diff "${many[@]}" 2>/dev/null | grep -c '^--- a/m')" = 20 ] ||
        fail "--diff of twenty files named twice: not one diff each"
    mkdir -p d.conf && cp z.orig t.conf && cp z.orig 'n%,1.conf' && cp z.orig q.conf
    expect --no-config --format=tty --fix t.conf ./t.conf d.conf <<'EOF'
1
1|0 errors, 0 warnings, 2 files checked, 1 file not read, 1 file fixed
2|fixed file t.conf
2|failed to read file d.conf: Is a directory
EOF
    expect --no-config --format=github --fix 'n%,1.conf' <<'EOF'
0
2|fixed file n%25%2C1.conf
EOF
    expect --no-config -q --format=gcc --fix q.conf <<<0
    # Every step after the folder's opening is made in it, by its
    # descriptor: no later change of the path can redirect the write.
    mkdir -p sub && cp z.orig sub/x.conf
    if command -v strace >/dev/null; then
        strace -o trace -e trace=%file,fsync "$checker" --no-config -q --fix sub/x.conf
        { [ "$(grep -v '^execve' trace | grep -c 'sub')" = 1 ] &&
            grep -v '^execve' trace | grep -m 1 'sub\|x\.conf' | grep -q '^openat(AT_FDCWD, "sub", .*O_DIRECTORY'; } ||
            fail "--fix named the folder more than once: $(cat trace)"
    fi
    # Refused and left alone, but checked as they are: a link, a file with
    # two links, standard input by name; but one that needs no fix is only
    # checked. --fix and --diff together; either in a file of options.
    ln -sf z.conf link.conf && ln -f z.conf hard.conf && ln -sf w.conf clean.conf
    expect --no-config -q --format=gcc --fix link.conf hard.conf clean.conf <<'EOF'
1
1|link.conf:2:3: error: parse error [parse]
1|link.conf:2:1: note: the line holds only blanks: a line of blanks is not an empty line (--fix empties it)
1|link.conf:3:3: error: parse error [parse]
1|link.conf:3:3: note: a comment's '#' must be the line's first character (--fix deletes the blanks before it)
1|hard.conf:2:3: error: parse error [parse]
1|hard.conf:2:1: note: the line holds only blanks: a line of blanks is not an empty line (--fix empties it)
1|hard.conf:3:3: error: parse error [parse]
1|hard.conf:3:3: note: a comment's '#' must be the line's first character (--fix deletes the blanks before it)
2|failed to fix file link.conf: is a symbolic link
2|failed to fix file hard.conf: has several hard links: mending it would part them
EOF
    # Where --fix keeps a line (a directive it would change, a line of 512
    # bytes or more), no note offers it, nothing is fixable and no diff
    # shows; the '=' note after any number of blanks; none past the hide
    # point. A directive, and the line a disable= reaches, stay as they are.
    printf '\357\273\277\357\273\277# iscsi-config-check: disable-file=all\n' >k1.conf
    printf '\357\273\277# iscsi-config-check: bogus\ntarget = 1.2.3.4 1 1 Initiator:a,b\n' >k2.conf
    { printf '%600s#x\ntarget = 1.2.3.4 1 1 Initiator:a,b%600s#x\n' '' ''
        printf '%70starget%20s1.2.3.4 1 1 Initiator:a,b\n' '' ''; } >k3.conf
    expect --no-config --format=gcc k1.conf k2.conf k3.conf <<'EOF'
0
1|k1.conf:1:1: error: parse error [parse]
1|k2.conf:1:1: error: parse error [parse]
1|k3.conf:1:513: error: parse error [parse]
1|k3.conf:1:601: error: parse error [parse]
1|k3.conf:1:601: note: a comment's '#' must be the line's first character
1|k3.conf:2:34: error: parse error [parse]
1|k3.conf:3:97: error: parse error [parse]
1|k3.conf:3:97: note: '=' must follow the keyword 'target'
EOF
    # A note that offers --fix, then one of its kind that cannot: the formats
    # that escape a note's text once per run give each its own.
    printf ' #y\n%511s#x\n' '' >k6.conf
    for format in json sarif github; do
        [ "$("$checker" --no-config --format=$format k6.conf | grep -o 'deletes the blanks before it)' | wc -l)" = 1 ] ||
            fail "$format: a note offers --fix on a line of 512 bytes or more"
    done
    { [ -z "$("$checker" --no-config --diff k1.conf k2.conf k3.conf 2>/dev/null)" ] &&
        ! "$checker" --no-config --format=json -W all k2.conf | grep -q fixable; } ||
        fail "--fix offered on a line it keeps"
    printf '# iscsi-config-check: disable-file=all\r\r\ntarget = 010.0.0.1 3260 2 Initiator:x,pw\ntarget = 010.0.0.1 3260 2 Initiator:y,pw\n' >k4.conf
    printf '# iscsi-config-check: disable=duplicate-target\n  # old entry\n\r\ntarget = 1.2.3.4 1 1 Initiator:a,b\ntarget = 1.2.3.4 1 1 Initiator:a,b\n' >k5.conf
    expect --no-config --format=gcc -W all -W no-control-char --fix k4.conf k5.conf <<'EOF'
0
1|k4.conf:1:22: warning: unknown warning 'all?' in directive [-Wbad-directive]
1|k4.conf:1:22: warning: line ends with a carriage return: the file has CRLF line ends [-Wcarriage-return]
1|k4.conf:3:10: warning: target 10.0.0.1 port 3260 also defined on line 2 [-Wduplicate-target]
1|k5.conf:2:3: error: parse error [parse]
1|k5.conf:2:3: note: a comment's '#' must be the line's first character
1|k5.conf:5:10: warning: target 1.2.3.4 port 1 also defined on line 4 [-Wduplicate-target]
2|fixed file k4.conf
2|fixed file k5.conf
EOF
    [ "$("$checker" --no-config -q --fix /dev/stdin <z.conf 2>&1 >/dev/null)" = \
        "failed to fix file /dev/stdin: is standard input: --stdin-filename=NAME with --fix writes the mended text to standard output" ] ||
        fail "--fix took /dev/stdin by name"
    cmp -s z.conf z.orig || fail "a refused file was changed"
    expect --no-config --fix --diff z.conf <<EOF
1
2|iscsi-config-check: --fix and --diff cannot be used together
$usage
EOF
    # A folder the user may not write: told, status 1, the file as it was.
    if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
        mkdir -p ro && cp z.orig ro/z.conf && chown nobody ro/z.conf && chmod 755 ro . &&
            setpriv --reuid=nobody --regid=nogroup --clear-groups "$checker" --no-config -q \
                --fix ro/z.conf >/dev/null 2>ro.err
        { [ $? = 1 ] && grep -qx "failed to fix file ro/z.conf: Permission denied" ro.err &&
            cmp -s ro/z.conf z.orig; } || fail "--fix in a read-only folder: $(cat ro.err)"
    fi
    # z.orig's faults, in the gcc format, for the name $1.
    z_faults() {
        printf "1|$1:%s\n" '2:3: error: parse error [parse]' \
            '2:1: note: the line holds only blanks: a line of blanks is not an empty line (--fix empties it)' \
            '3:3: error: parse error [parse]' \
            "3:3: note: a comment's '#' must be the line's first character (--fix deletes the blanks before it)"
    }
    # A folder that lets no name go (append-only) is refused before any
    # new name is made in it; a set-group-ID bit the system drops without a
    # word (root without the privilege to keep it) is refused too.
    if [ "$(id -u)" = 0 ] && mkdir -p ap && cp z.orig ap/z.conf && chattr +a ap 2>/dev/null; then
        expect --no-config -q --format=gcc --fix ap/z.conf < <(echo 1; z_faults ap/z.conf; echo '2|failed to fix file ap/z.conf: Operation not permitted')
        [ "$(ls -A ap)" = z.conf ] || fail "--fix left a name in an append-only folder: $(ls -A ap)"
        # A file's flags are kept, and none taken from its folder; flags
        # that cannot be kept are a refusal.
        chattr -a ap && chattr +d ap && cp z.orig ap/f.conf && chattr -d +A ap/f.conf &&
            "$checker" --no-config -q --fix ap/f.conf
        flags=$(lsattr ap/f.conf | cut -d' ' -f1)
        [[ $flags == *A* && $flags != *d* ]] || fail "--fix lost a file's flags, or took its folder's: $flags"
        if command -v strace >/dev/null; then
            cp z.orig ap/f.conf && strace -o trace -e trace=ioctl "$checker" --no-config -q --fix ap/f.conf >/dev/null
            setting=$(grep '^ioctl' trace | grep -n -m 1 SETFLAGS | cut -d: -f1)
            cp z.orig ap/f.conf && TRACE="strace -o /dev/null -e trace=ioctl -e inject=ioctl:error=EPERM:when=$setting" \
                expect --no-config -q --format=gcc --fix ap/f.conf < <(echo 1; z_faults ap/f.conf; echo '2|failed to fix file ap/f.conf: its file flags cannot be kept')
        fi
    fi
    if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
        cp z.orig sg.conf && chown nobody:daemon sg.conf && chmod 2750 sg.conf
        TRACE="setpriv --inh-caps=-all --bounding-set=-fsetid" expect --no-config -q --format=gcc \
            --fix sg.conf < <(echo 1; z_faults sg.conf; echo '2|failed to fix file sg.conf: its mode cannot be kept')
        { [ "$(stat -c %a sg.conf)" = 2750 ] && cmp -s sg.conf z.orig; } || fail "sg.conf was changed"
    fi
    # A line "fixed file" that cannot be written fails the run, whose
    # report still goes to its end.
    cp z.orig full.conf && cp z.orig full2.conf &&
        "$checker" --no-config --format=json --fix full.conf full2.conf >full.json 2>/dev/full
    { [ $? = 1 ] && [ "$(grep -c '"file":"full' full.json)" = 2 ]; } || fail "--fix passed though standard error was full"
    # The file that takes the output (the diff's, the report's) is neither
    # mended nor checked: it would take in what the run wrote before it.
    for option in --fix --diff; do
        cp z.orig o.conf
        # shellcheck disable=SC2094 # the file read is the output, on purpose
        "$checker" --no-config -q $option o.conf >>o.conf 2>o.err
        { [ $? = 1 ] && [ "$(cat o.err)" = "input file is output file o.conf" ] && cmp -s o.conf z.orig; } ||
            fail "$option took in its own output: $(cat o.err)"
    done
    cp z.orig o.conf && cp z.orig p.conf
    # shellcheck disable=SC2094 # the file read is the output, on purpose
    "$checker" --no-config --fix p.conf o.conf >/dev/null 2>>o.conf
    { [ $? = 1 ] && printf '%s\n' 'fixed file p.conf' 'input file is output file o.conf' | cat z.orig - | cmp -s - o.conf; } ||
        fail "--fix took in its own standard error"
    # Whatever the new file could not carry of the original's access (a
    # group the user is not in, whatever the group's bits, and an ACL) is
    # refused: the file is left as it was, and checked as it is.
    if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null && command -v setfacl >/dev/null; then
        mkdir -p acl && chmod 777 acl
        for mode in 640 600; do
            cp z.orig acl/g.conf && chown nobody:daemon acl/g.conf && chmod $mode acl/g.conf
            [ $mode = 600 ] || setfacl -m u:bin:r acl/g.conf
            before=$(stat -c '%U %G %a %i' acl/g.conf; getfacl -c acl/g.conf)
            TRACE="setpriv --reuid=nobody --regid=nogroup --clear-groups" expect --no-config -q --format=gcc \
                --fix acl/g.conf < <(echo 1; z_faults acl/g.conf; echo '2|failed to fix file acl/g.conf: its group daemon cannot be kept')
            [ "$(stat -c '%U %G %a %i' acl/g.conf; getfacl -c acl/g.conf)" = "$before" ] || fail "acl/g.conf ($mode) was changed"
        done
        # The user's own file, of their group, keeps its ACL.
        cp z.orig acl/own.conf && chown nobody:nogroup acl/own.conf && setfacl -m u:bin:r acl/own.conf
        before=$(stat -c '%U %G %a' acl/own.conf; getfacl -c acl/own.conf)
        TRACE="setpriv --reuid=nobody --regid=nogroup --clear-groups" expect --no-config -q --fix acl/own.conf <<<0
        [ "$(stat -c '%U %G %a' acl/own.conf; getfacl -c acl/own.conf)" = "$before" ] || fail "acl/own.conf lost its access"
    fi
    if command -v strace >/dev/null; then
        if command -v setfacl >/dev/null; then
            cp z.orig a.conf && setfacl -m u:bin:r a.conf
            TRACE="strace -o /dev/null -e inject=fsetxattr:error=EPERM" expect --no-config -q --format=gcc \
                --fix a.conf < <(echo 1; z_faults a.conf; echo '2|failed to fix file a.conf: its ACL cannot be kept')
            cmp -s a.conf z.orig || fail "a.conf was changed"
        fi
        # Only the folder's flush fails, after the rename: the file is
        # mended all the same, and what remains of it told.
        cp z.orig f.conf
        TRACE="strace -o /dev/null -e inject=fsync:error=EIO:when=2" expect --no-config --format=gcc --fix f.conf <<'EOF'
1
2|fixed file f.conf, but its folder could not be flushed: Input/output error
EOF
        printf 'target = 10.1.0.1 3260 2 Initiator:h,p\n\n# note\n' | cmp -s - f.conf || fail "f.conf was not mended"
        # SIGTERM while the new file has its temporary name: the name is
        # removed, and the original stays.
        cp z.orig sig.conf
        # shellcheck disable=SC2016 # $$ and $0 are the inner shell's
        strace -o /dev/null -e trace=linkat -e inject=linkat:delay_exit=5000000 \
            sh -c 'echo $$ >pid; exec "$0" --no-config -q --fix sig.conf' "$checker" &
        for _ in $(seq 100); do compgen -G '.sig.conf.fix-*' >/dev/null && break; sleep 0.1; done
        kill -TERM "$(cat pid)"
        wait $!
        status=$?
        { [ "$status" = 143 ] && ! compgen -G '.sig.conf.fix-*' >/dev/null && cmp -s sig.conf z.orig; } ||
            fail "SIGTERM during --fix: status $status, $(ls -A)"
    fi
    for option in --fix --diff; do
        echo "$option" >opts
        expect --config=opts z.conf <<EOF
1
2|iscsi-config-check: opts:1: '$option' is not allowed here
EOF
    done
    # Standard input mended onto standard output, what remains on standard
    # error, as editors that format on save expect.
    printf 'target = 1.2.3.4 3260 2 Initiator:h,pw\r\ntarget = 1.2.3 3260 2 Initiator:h,p\r\n' >in.conf
    "$checker" --no-config --format=gcc --stdin-filename=in.conf --fix <in.conf >fixed.out 2>fixed.err
    printf 'target = 1.2.3.4 3260 2 Initiator:h,pw\ntarget = 1.2.3 3260 2 Initiator:h,p\n' | cmp -s - fixed.out ||
        fail "--stdin-filename --fix did not write the mended text"
    grep -qx "in.conf:2:15: error: address holds ' ' where '.' belongs \[address-char\]" fixed.err ||
        fail "--stdin-filename --fix did not tell what remains: $(cat fixed.err)"
    grep -q '^fixed file' fixed.err && fail "--stdin-filename --fix told of a file rewritten"
    # A run that fails under --fix with --stdin-filename, however early,
    # writes standard input back as it came (KEPT), so that an editor's
    # filter keeps the buffer; without both options it writes nothing.
    kept=$(sed 's/^/1|/' in.conf)
    while IFS='|' read -r args output message; do
        # shellcheck disable=SC2086 # each entry is a list of words
        IN=in.conf expect $args <<END
1${output:+
$kept}
2|iscsi-config-check: $message
$usage
END
    done <<'END'
--fix --stdin-filename=in.conf --bogus|KEPT|unknown option '--bogus'
-q --bogus --fix --stdin-f=in.conf|KEPT|unknown option '--bogus'
--fix --stdin-filename|KEPT|option '--stdin-filename' needs a value
--stdin-filename=in.conf --fix --diff|KEPT|--fix and --diff cannot be used together
--stdin-filename=in.conf sound.conf --fix|KEPT|--stdin-filename checks standard input: no file name goes with it
--stdin-filename=in.conf --bogus||unknown option '--bogus'
--fix --bogus sound.conf||unknown option '--bogus'
--bogus --fix -- --stdin-filename=in.conf||unknown option '--bogus'
END
    echo -W bogus >opts
    IN=in.conf expect --fix --stdin-filename=in.conf --config=opts <<END
1
$kept
2|iscsi-config-check: opts:1: unknown warning 'bogus' (--list-checks lists the checks)
END
    # Input that cannot be read whole (a folder, a closed one) writes
    # nothing, and says so.
    IN=. expect --fix --stdin-filename=in.conf --config=opts <<'END'
1
2|iscsi-config-check: opts:1: unknown warning 'bogus' (--list-checks lists the checks)
2|iscsi-config-check: failed to read standard input: Is a directory
END
    CLOSED=0 expect --fix --stdin-filename=in.conf --bogus <<END
1
2|iscsi-config-check: unknown option '--bogus'
$usage
2|iscsi-config-check: failed to read standard input: Bad file descriptor
END
    # Input that is the output's own file is neither mended into itself nor
    # written back to itself, however the run ends.
    for extra in '' --bogus; do
        cp in.conf io.conf
        # shellcheck disable=SC2094,SC2086 # the same file on purpose; no word or one
        "$checker" --no-config --fix --stdin-filename=io.conf $extra <io.conf >>io.conf 2>/dev/null
        status=$?
        { cmp -s io.conf in.conf && [ $status = 1 ]; } || fail "--fix --stdin-filename $extra into its own input: $status"
    done
    # Which checks --fix mends, in the list's fifth column.
    [ "$("$checker" --no-config --list-checks | awk -F'\t' '$5 == "fix" { printf "%s ", $1 }')" = \
        "parse password-char chars-after-password bom leading-zero trailing-text carriage-return control-char " ] ||
        fail "--list-checks names other fixable checks"
    ;;
*)
    fail "unknown group"
    ;;
esac
if [ "$failed" = 0 ]; then
    echo "ok: $group"
else
    echo "FAIL ($group): $failures failed"
fi
exit "$failed"
