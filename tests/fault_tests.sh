#!/usr/bin/env bash
# Fault cases whose inputs are made at run time: unwritable output, a write
# that fails once, a closed pipe, combined streams, a write longer than the
# output's buffer, a multi-megabyte line, random bytes, an unreadable file,
# input from a pipe, output to a terminal and the memory used on large input.
#
#   fault_tests.sh CHECKER CASE
#
# Exits 0 on success, 77 when the case cannot run here (the reason is
# printed), anything else on failure.
set -u
checker=$1 case=$2

# Every failure names the case and the line of this script that found it,
# and ends the run; an exit that no check reported is named as well.
reported=
fail() {
    echo "FAIL ($case, ${0##*/}:${BASH_LINENO[-2]}): $*"
    reported=1
    exit 1
}
finish() {
    local status=$?
    rm -rf "$tmp"
    case $status in
    0 | 77) ;;
    *) [ -n "$reported" ] || echo "FAIL ($case): stopped with status $status" ;;
    esac
}
tmp=$(mktemp -d)
trap finish EXIT
cd "$tmp" || fail "cannot enter $tmp"
banner='iscsi-config-check....'
statement='target = 1.2.3.4 3260 2 Initiator:h,p'

# Runs the checker under the fixed program name on the given arguments.
run() { (exec -a iscsi-config-check "$checker" "$@") </dev/null; }

# Compares file $1 with the text $2 (which gets a final newline).
expect_file() {
    printf '%s\n' "$2" >expected
    cmp -s expected "$1" || { diff -u expected "$1" | head -n 20; fail "$1 differs"; }
}

# Deterministic bytes of every value, from a fixed key.
random_bytes() {
    openssl enc -aes-128-ctr -nosalt -K 000102030405060708090a0b0c0d0e0f \
        -iv 0 -in /dev/zero 2>/dev/null | head -c "$1"
}

case $case in
dev-full)
    # The report cannot be written: that must not pass for success, whether
    # the failure shows at the end, part-way through a long report, or only
    # in stdout's error flag (the last, unterminated line overflows the
    # output buffer, whose failed flush leaves nothing to flush at exit);
    # an endless input must end at once when nobody can see the report.
    printf '%s\n' "$statement" >ok.conf
    yes "$statement" | head -n 20000 >long.conf
    run long.conf >long.out
    lines=$(awk '{ size += length($0) + 1 } size > 65536 { print NR - 1; exit }' long.out)
    head -n "$lines" long.conf | head -c -1 >overflow.conf
    for conf in ok.conf long.conf overflow.conf /dev/zero; do
        timeout 10 "$checker" "$conf" >/dev/full 2>err </dev/null
        status=$?
        [ "$status" = 1 ] || fail "$conf: status $status, expected 1"
        expect_file err 'failed to write output'
    done
    ;;
write-error)
    # A write that fails once: what came before it stays, nothing follows
    # it on standard output, and the message ends the combined log.
    command -v strace >/dev/null || { echo "SKIP: no strace"; exit 77; }
    yes "$statement" | head -n 5000 >long.conf
    # (The leak checker of a sanitizer build cannot run under a tracer.)
    ASAN_OPTIONS=detect_leaks=0 strace -o /dev/null -e trace=write \
        -e inject=write:error=EIO:when=2 "$checker" long.conf >log 2>&1 </dev/null
    status=$?
    [ "$status" = 1 ] || fail "status $status, expected 1"
    "$checker" long.conf | head -c 65536 >expected
    echo 'failed to write output' >>expected
    cmp -s expected log || fail "log is not the first block, then the message"
    # The first write fails: no line of any format, nor its tail, follows.
    yes x | head -n 5000 >x.conf
    for format in report gcc json github tty; do
        ASAN_OPTIONS=detect_leaks=0 strace -o /dev/null -e trace=write \
            -e inject=write:error=ENOSPC:when=1 "$checker" --format=$format x.conf >out 2>/dev/null </dev/null
        [ -s out ] && fail "--format=$format wrote after the failed write: $(head -c 60 out)"
    done
    ;;
closed-pipe)
    # A reader that stops early ends the checker by SIGPIPE, silently, like
    # any other filter.
    yes "$statement" | head -n 100000 >long.conf
    env --default-signal=PIPE "$checker" long.conf 2>err | head -n 1 >/dev/null
    status=${PIPESTATUS[0]}
    [ "$status" = 141 ] || fail "status $status, expected 141 (SIGPIPE)"
    [ -s err ] && fail "unexpected standard error"
    ;;
large-write)
    # What is longer than the output's buffer goes out whole and in order:
    # standard input of 300 KB handed back by --fix, into a file and into a
    # pipe, with the report on standard error.
    { yes "$statement" | head -n 8000; echo x; } >big.conf
    for sink in file pipe; do
        if [ $sink = file ]; then
            (exec -a iscsi-config-check "$checker" --fix --stdin-filename shown.conf) <big.conf >out 2>err
        else
            (exec -a iscsi-config-check "$checker" --fix --stdin-filename shown.conf) <big.conf 2>err | cat >out
        fi
        cmp -s big.conf out || fail "the input handed back into a $sink differs"
        [ "$(wc -l <err)" = 8002 ] || fail "the report into a $sink has $(wc -l <err) lines"
    done
    ;;
terminal)
    # On a terminal the report is line-buffered, and the control characters
    # that a file or its name supplies are shown as '?' (here an attempt to
    # erase the line before); into a pipe the bytes stay as they are.
    command -v script >/dev/null || { echo "SKIP: no script(1) for a terminal"; exit 77; }
    name=$'e\e]0;x\a.conf' erase=$'\e[1A\e[2K\r\e[1A'
    printf '%s\n' "$statement" >ok.conf
    printf '%s\n' "target = 10.0.0.9 3260 2 Initiator:h,pw $erase" >"$name"
    script -qec "$checker ok.conf e*" /dev/null </dev/null | tr -d '\r' >out
    expect_file out "$checker....
==> ok.conf <==
line 1, nConnections = 2, target addr = 1.2.3.4, portNum = 3260, loginParamsLen = 13, loginParams = Initiator:h,p 
==> e?]0;x?.conf <==
line 1, nConnections = 2, target addr = 10.0.0.9, portNum = 3260, loginParamsLen = 14, loginParams = Initiator:h,pw ?[1A?[2K??[1A "
    run e* | grep -c -F "$erase" >count
    expect_file count 1
    ;;
input-is-output)
    # A file that is also the output is not read, whatever its size: the
    # run would otherwise feed on its own report.
    printf '%s\n' "target = 1.2.3 1 2 Initiator:h,p" >f.conf
    cp f.conf g.conf
    # shellcheck disable=SC2094 # the file read is the output, on purpose
    run -q f.conf g.conf >>f.conf 2>err
    [ $? = 1 ] || fail "status with >>, expected 1"
    expect_file err 'input file is output file f.conf'
    # shellcheck disable=SC2094 # the file read is the output, on purpose
    run -q --format=gcc g.conf z.conf >z.conf 2>err
    [ $? = 1 ] || fail "status with >, expected 1"
    expect_file err 'input file is output file z.conf'
    expect_file z.conf "g.conf:1:15: error: address holds ' ' where '.' belongs [address-char]"
    ;;
out-of-memory)
    # When memory runs out, what was judged is written, a SARIF log is
    # closed so that it stays valid, and the program says so: status 1.
    awk 'BEGIN { for (i = 0; i < 1000000; i++)
        printf "target = 10.%d.%d.%d 3260 1 Initiator:h,p\n", int(i / 65536), int(i / 256) % 256, i % 256 }' >many.conf
    run -W duplicate-target many.conf >full.out
    for format in report sarif; do
        (ulimit -v 20000 && run --format=$format -W duplicate-target many.conf >$format.out 2>err)
        status=$?
        [ "$status" = 1 ] || fail "$format: status $status, expected 1"
        expect_file err 'iscsi-config-check: out of memory'
    done
    { [ "$(wc -c <report.out)" -gt 1000 ] && cmp report.out full.out 2>&1 | grep -q '^cmp: EOF on report.out'; } ||
        fail "the report is no prefix of the whole"
    if command -v jq >/dev/null; then
        jq -e '.runs[0].invocations[0].executionSuccessful == false' sarif.out >/dev/null ||
            fail "the SARIF log is not valid"
    fi
    ;;
target-memory)
    # The duplicate check takes at most 32 bytes a distinct target, also
    # just after its table has grown (at 3 * 2^18 + 1 targets, three
    # quarters of 2^20 slots).
    command -v /usr/bin/time >/dev/null || { echo "SKIP: no /usr/bin/time"; exit 77; }
    for n in 524289 786433 1000000; do
        awk -v n=$n 'BEGIN { for (i = 0; i < n; i++)
            printf "target = 10.%d.%d.%d 3260 1 Initiator:h,p\n", int(i / 65536), int(i / 256) % 256, i % 256 }' >t.conf
        with=$(/usr/bin/time -f %M "$checker" -q -W duplicate-target t.conf 2>&1 >/dev/null | tail -n 1)
        without=$(/usr/bin/time -f %M "$checker" -q t.conf 2>&1 >/dev/null | tail -n 1)
        echo "$n targets: $(((with - without) * 1024 / n)) bytes each"
        [ $(((with - without) * 1024)) -le $((32 * n)) ] || fail "$n targets: over 32 bytes each"
    done
    ;;
held-duplicates)
    # Past 393,216 distinct targets the table's slots outgrow the caches and
    # a sound line's duplicate check waits for the lines after it: each
    # report and warning still comes on its line, in order, the first
    # definition being the earliest line even when it still waits.
    awk -v out=expected 'function addr(n) { return int(n / 65536) "." int(n / 256) % 256 "." n % 256 }
        function put(text, a, pre, rest) {
            print text
            printf "line %d, nConnections = 1, target addr = %s, portNum = 3260, loginParamsLen = 13, loginParams = Initiator:h,p%s \n", ++n, a, rest >out
            if (a in first && pre != "") printf "line %d, pos %d, warning: target %s port 3260 also defined on line %d [-Wduplicate-target]\n", n, pre, a, first[a] >out
            else if (!(a in first)) first[a] = n
            if (rest != "") printf "line %d, pos %d, warning: text after the login parameters is not checked [-Wtrailing-text]\n", n, length(text) - 1 >out
        }
        BEGIN {
            print "iscsi-config-check...." >out
            for (i = 0; i < 400000; i++) put("target = 10." addr(i) " 3260 1 Initiator:h,p", "10." addr(i), 9, "")
            for (j = 0; j < 600; j++) {
                a = "11." addr(j); t = "10." addr(j * 661 % 400000); u = "10." addr(j * 379 % 400000)
                put("target = " a " 3260 1 Initiator:h,p", a, 9, "")
                put("target = " a " 3260 1 Initiator:h,p", a, 9, "")
                put("target = " t " 3260 1 Initiator:h,p", t, 9, "")
                put("  target =  " u " 3260 1 Initiator:h,p", u, 12, "")
                print "# iscsi-config-check: disable=duplicate-target"; n++
                put("target = " t " 3260 1 Initiator:h,p", t, "", "")
                put("target = " a " 3260 1 Initiator:h,p x", a, 9, " x")
                print ""; n++
            }
        }' >held.conf
    run -W all held.conf >out 2>err || fail "status $?"
    [ -s err ] && fail "unexpected standard error"
    cmp out expected || fail "reports or warnings differ: $(diff out expected | head -n 4)"
    # A control character after a sound field is found after the check was
    # to wait: the check is done at once, its warning first by position.
    awk 'BEGIN { for (i = 0; i < 400000; i++) printf "target = 10.%d.%d.%d 3260 1 Initiator:h,p\n", int(i / 65536), int(i / 256) % 256, i % 256
        print "target = 10.0.0.7 3260 1 Initiator:h,p \001\n" }' >control.conf
    run -q -W duplicate-target -W control-char control.conf >out 2>err || fail "status $?"
    expect_file out "line 400001, pos 9, warning: target 10.0.0.7 port 3260 also defined on line 8 [-Wduplicate-target]
line 400001, pos 39, warning: control character 0x01 [-Wcontrol-char]"
    ;;
combined-order)
    # With both streams in one file the banner comes first.
    run missing.conf >both 2>&1
    status=$?
    [ "$status" = 1 ] || fail "status $status, expected 1"
    expect_file both "$banner
failed to open file missing.conf"
    printf '%s\n' "$statement" >ok.conf
    run ok.conf ok.conf >both 2>&1 || fail "status $?"
    [ "$(head -n 1 both)" = "$banner" ] || fail "banner not first"
    ;;
no-newline)
    # 3,000,001 bytes and no newline: 5860 pieces, all on line 1.
    head -c 3000001 /dev/zero | tr '\0' 'a' >long.conf
    run long.conf >out 2>err || fail "status $?"
    expect_file out "$banner
$(seq 0 512 3000000 | sed 's/.*/line 1, pos &, parse error /')"
    [ -s err ] && fail "unexpected standard error"
    ;;
random-bytes)
    # Arbitrary bytes, NUL and 0xFF among them: every line of output must
    # be a well-formed outcome with a line number that never decreases.
    random_bytes 2000000 >random.conf
    grep -c -a -P '\x00' random.conf >/dev/null || fail "no NUL byte generated"
    run random.conf >out 2>err || fail "status $?"
    [ -s err ] && fail "unexpected standard error"
    [ "$(head -n 1 out)" = "$banner" ] || fail "banner missing"
    tail -n +2 out | LC_ALL=C awk '
        /^line [0-9]+, pos [0-9]+, (parse error|error in address|error in port number|no connections defined|illegal character in address 0[0-7]*) $/ ||
        /^line [0-9]+: / ||
        /^line [0-9]+, nConnections = / {
            n = $2 + 0
            if (n < last) { print "line number went back at output line " NR; bad = 1 }
            last = n; next
        }
        { print "malformed output line " NR; bad = 1 }
        END { exit bad }' || fail "bad output"
    lines=$(tr -cd '\n' <random.conf | wc -c)
    [ "$(tail -n 1 out | awk '{ print $2 + 0 }')" -le $((lines + 1)) ] ||
        fail "line number beyond the file"
    ;;
unreadable)
    # Root reads any file, so when the suite runs as root (as CI does) the
    # checker runs without the capabilities that override file permissions:
    # unlike switching to another user, this works wherever the checkout lies.
    as_user=()
    if [ "$(id -u)" = 0 ]; then
        as_user=(setpriv --inh-caps=-all '--bounding-set=-dac_override,-dac_read_search')
    fi
    printf '%s\n' "$statement" >secret.conf
    chmod 000 secret.conf
    # shellcheck disable=SC2016 # $0 is the checker, expanded by the inner bash
    "${as_user[@]}" bash -c 'exec -a iscsi-config-check "$0" secret.conf secret.conf' \
        "$checker" >out 2>err </dev/null
    status=$?
    [ "$status" = 1 ] || fail "status $status, expected 1"
    expect_file out "$banner"
    expect_file err 'failed to open file secret.conf
failed to open file secret.conf'
    ;;
many-files)
    # Every file is closed after it is checked: a thousand files go through
    # a process allowed 32 open files.
    printf '%s\n' "$statement" >ok.conf
    for i in $(seq 1000); do ln ok.conf "f$i.conf"; done
    (ulimit -n 32 && run -s f*.conf >out 2>err) || fail "status $?"
    [ -s err ] && fail "unexpected standard error: $(head -n 2 err)"
    [ "$(grep -c '^==> f[0-9]*.conf <==$' out)" = 1000 ] || fail "not every file was checked"
    ;;
fifo)
    # From a pipe, a line is judged and shown as soon as it has arrived:
    # the writer waits for its outcome before it ends the input.
    mkfifo in.fifo
    run in.fifo >out 2>err &
    exec 3>in.fifo
    printf '%s\n' "$statement" >&3
    for _ in $(seq 100); do
        [ -s out ] && [ "$(wc -l <out)" = 2 ] && break
        sleep 0.1
    done
    lines=$(wc -l <out)
    exec 3>&-
    wait $! || fail "status $?"
    [ "$lines" = 2 ] || fail "the line was not shown before the input ended"
    ;;
flat-memory)
    # Peak resident memory must not grow with the input.
    command -v /usr/bin/time >/dev/null || { echo "SKIP: no /usr/bin/time"; exit 77; }
    block=$(printf '%s\n# comment\n\ntarget = 1.2.3 3260 2 Initiator:h,p\n' "$statement")
    yes "$block" | head -c 1000000 >small.conf
    yes "$block" | head -c 100000000 >large.conf
    # Address randomisation moves the libraries by a few pages from run to
    # run; without it the figure depends on the checker alone.
    norandom=(setarch "$(uname -m)" -R)
    "${norandom[@]}" true 2>/dev/null || norandom=()
    peak() {
        "${norandom[@]}" /usr/bin/time -f %M "$checker" "$1" 2>&1 >/dev/null |
            tail -n 1
    }
    small=$(peak small.conf) large=$(peak large.conf)
    echo "peak resident memory: 1 MB input ${small} KB, 100 MB input ${large} KB"
    [ $((large - small)) -le 64 ] || fail "memory grows with input"
    [ "$large" -lt 4096 ] || fail "more than 4 MB resident"
    ;;
*)
    fail "unknown case"
    ;;
esac
echo "ok: $case"
