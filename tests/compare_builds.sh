#!/usr/bin/env bash
# Runs two builds of the checker on the same random files and the same
# options, and compares their exit status, standard output and standard error
# byte for byte. Only the version in the SARIF log's driver may differ (on
# standard error too, where --diff writes the log).
# Under --fix, each build mends copies of the same files, and the files it
# leaves are compared too.
#
#   compare_builds.sh OLD_CHECKER NEW_CHECKER [RUNS] [SEED]
#
# Runs cycle through every format with every option set, so the default 504
# runs try each of the 56 combinations 9 times. The same SEED gives the same
# files. Exits 1 if any run differs (its inputs are kept), 2 on a usage fault.
set -u

usage() { echo "usage: $0 OLD_CHECKER NEW_CHECKER [RUNS] [SEED]" >&2; exit 2; }
if [ $# -lt 2 ] || [ $# -gt 4 ]; then usage; fi
runs=${3:-504} seed=${4:-4242}
case $runs$seed in *[!0-9]*) usage ;; esac
old=$(realpath -e -- "$1") || usage
new=$(realpath -e -- "$2") || usage
if ! [ -x "$old" ] || ! [ -x "$new" ]; then usage; fi
export LC_ALL=C
RANDOM=$seed

work=$(mktemp -d /tmp/icc-compare.XXXXXX) || exit 2
trap 'rm -rf -- "$work"' EXIT
mkdir "$work/run" "$work/run/sub.d" && cd "$work/run" || exit 2
# A file of options here or in a folder above would be read by both builds and
# take the place of the command line's own options: refuse to run under one.
d=$(pwd -P)
while :; do
    [ -e "$d/.iscsi-config-check" ] && { echo "$0: $d/.iscsi-config-check would be read; move it away" >&2; exit 2; }
    [ -n "$d" ] || break
    d=${d%/*}
done

# File contents are kept as printf %b text: \xHH stands for any byte, NUL too.
pick() { shift $((RANDOM % $#)); REPLY=$1; }
rep() { printf -v REPLY '%*s' "$1" ''; REPLY=${REPLY// /"$2"}; }

num() {  # an address number: mostly plain, sometimes zero-led, wrapped or absent
    case $((RANDOM % 20)) in
    0) REPLY= ;;
    1 | 2) REPLY=0$((RANDOM % 300)) ;;
    3 | 4) REPLY=$((256 + RANDOM % 5000)) ;;
    5) pick 00 255 256 4294967296 99999999999 ;;
    *) pick 10 0 1 2 168 192 172 16 $((RANDOM % 256)) ;;
    esac
}

login() {  # Initiator:ID,PW with a fault now and then
    local l id pw
    ((RANDOM % 20)) || { REPLY=; return; }
    l=Initiator:; ((RANDOM % 15)) || { pick initiator: Initiator 'Initiator;' INITIATOR: x Initiator:Initiator:; l=$REPLY; }
    case $((RANDOM % 12)) in
    0) pick '' bad@id 'h\xc3\xa9' a:b 'x\x01y' 'q\xff' 'i\x00d' ;;
    1) rep $((62 + RANDOM % 4)) a ;;
    2) rep $((66 + RANDOM % 60)) i ;;
    *) pick h db01 iqn.2024-01.lan.example.db01 backup-host_02 A-1.b_2 ;;
    esac; id=$REPLY
    case $((RANDOM % 12)) in
    0) pick p@ss pa%ss 'p\\w' 'pw!' 'p\xc3\xa9w' p,w 'p\x7f' ;;
    1) rep $((15 + RANDOM % 4)) s ;;
    2) rep 16 p; pw=$REPLY; pick @ : '\x00' ';' '\xe2\x80\xa8'; REPLY=$pw$REPLY ;;
    3) rep $((20 + RANDOM % 40)) z ;;
    *) pick '' Str0ngSecret pw Xq9-prod abcdefghijklmnop ;;
    esac; pw=,$REPLY
    ((RANDOM % 15)) || pw=''  # no comma after the identifier
    REPLY=$l$id$pw
}

statement() {  # a target statement; $last holds the file's last address and port
    local s a i
    pick '' '' '' ' ' '\t' ' \t  '; s=$REPLY
    if ((RANDOM % 20)); then s+=target; else pick Target targe targets 'tar get' '' x= '\x00target'; s+=$REPLY; fi
    if ((RANDOM % 25)); then pick '=' ' = ' ' =' '= ' '\t=\t' '  =  '; else pick '' : == '=\r'; fi; s+=$REPLY
    if [ -z "$last" ] || ((RANDOM % 5)); then
        num; a=$REPLY
        for i in 1 2 3; do
            if ((RANDOM % 30)); then a+=.; else pick , ' ' '\t' .. x '\x00' '\xc3\xa9'; a+=$REPLY; fi
            num; a+=$REPLY
        done
        if ((RANDOM % 25)); then a+=' '; else pick '\t' x '' .5 '\r'; a+=$REPLY; fi
        if ((RANDOM % 8)); then pick 3260 3260 860 3261 "$RANDOM"; else pick '' 0 03260 65535 65536 70000 99999999999 00; fi
        a+=$REPLY
        if ((RANDOM % 25)); then last=$a' '; else pick '\t' p '' '\r'; last=$a$REPLY; fi
    fi
    pick '' '' ' ' '  '; s+=$last$REPLY
    if ((RANDOM % 8)); then pick 1 2 4 8 16; else pick '' 0 00 007 65535 65536 2147483647 2147483648 4294967297; fi; s+=$REPLY
    pick ' ' ' ' '' '\t' '   '; s+=$REPLY
    login; s+=$REPLY
    if ((RANDOM % 3)); then REPLY=; else pick ' ' ' remark' '\t# note' '\r' ' \r' '\r\r' '\x00tail' ' \x1b[2J' '  pw'; fi
    REPLY=$s$REPLY
}

sound() {  # target = A.B.C.D PORT COUNT Initiator:ID,PW, often an address used before
    local s
    if [ -z "$good" ] || ((RANDOM % 3)); then
        pick 10 192 172 1; s=$REPLY.$((RANDOM % 3)).$((RANDOM % 3)).$((RANDOM % 256))
        pick 3260 860 3260 $((1 + RANDOM)); good="$s $REPLY"
    fi
    pick h db01 iqn.2024-01.lan.example.db01 backup-host_02; s="target = $good $((1 + RANDOM % 8)) Initiator:$REPLY,"
    pick '' pw Str0ngSecret abcdefghijklmnop; REPLY=$s$REPLY
}

garbage() {  # control bytes, NUL, UTF-8 good and bad, and strings readers treat specially
    local g='' i
    for ((i = RANDOM % 4; i >= 0; i--)); do
        pick '\x01' '\x1b[31m' '\x7f' '\x00' '\xc3\xa9' '\xe2\x80\xa8' '\xc2\x85' '\xff' '\xfe\xff' '\xe2\x82' \
            '\xf0\x9f\x98\x80' '\xed\xa0\x80' '\xc0\xaf' '\x9b' '::error::x' '##[' '%' : , '\x5c' '\x0b\x0c' target =; g+=$REPLY
    done
    REPLY=$g
}

directive() {  # the sound forms and malformed ones
    local d
    pick '# iscsi-config-check: ' '# iscsi-config-check: ' '# iscsi-config-check:' '#iscsi-config-check: ' \
        '# iscsi-config-check:  ' '# ISCSI-config-check: '; d=$REPLY
    pick disable=leading-zero disable-file=all disable=all disable=duplicate-target,trailing-text \
        disable-file=carriage-return disable-file=long-line,bom disable=address-range disable=port-range,count-range \
        disable=bogus disable= enable=leading-zero 'disable leading-zero' disable=parse disable-file= \
        disable=leading-zero, 'disable=leading-zero extra' 'disable=leading-zero\r' 'disable=all\t'
    REPLY=$d$REPLY
}

longline() {  # lines of 505 to 1030 bytes, most of them of an exact length
    local n base
    pick 505 510 511 512 513 514 600 1023 1024 1025 1030 $((512 + RANDOM % 520)); n=$REPLY
    case $((RANDOM % 5)) in
    0) rep $((n - 1)) ' '; base="#$REPLY"; statement; REPLY=$base$REPLY ;;
    1) base='target = 10.1.2.3 3260 2 Initiator:a,b '; rep $((n - ${#base})) x; REPLY=$base$REPLY ;;
    2) rep $((n - 1)) c; REPLY="#$REPLY" ;;
    3) base='target = 10.0.0.1 3260 1 Initiator:'; rep $((n - ${#base} - 3)) a; REPLY=$base$REPLY,pw ;;
    *) statement; base=$REPLY; rep $((n - 40)) ' '; base+=$REPLY; statement; REPLY=$base$REPLY ;;
    esac
}

line() {
    case $((RANDOM % 40)) in
    0 | 1) REPLY= ;;
    2 | 3) pick '# Targets' '#' '#target = 1.2.3.4 3260 1 Initiator:old,pw' ' # indented' '\t#tab' '#\xc3\xa9t\xc3\xa9' ;;
    4 | 5 | 6) directive ;;
    7 | 8) garbage ;;
    9 | 10 | 11) longline ;;
    12 | 13) pick 'target = 1.2.3' 'target = 1.2.3.4' 'target = 1.2.3.4 3260' 'target = 1.2.3.4 3260 2' 'target =' target 'target = 1.2.' '=' ;;
    14 | 15) garbage; local g=$REPLY; statement; REPLY=$REPLY$g ;;
    16 | 17 | 18 | 19 | 20 | 21 | 22 | 23 | 24 | 25) sound ;;
    *) statement ;;
    esac
}

genfile() {  # $1: name; 1 to 12 lines, sometimes none, a BOM, CRLF, no final newline
    local c='' nl='\n' k n prev=''
    last='' good=''
    ((RANDOM % 12)) || { : >"$1"; return; }
    ((RANDOM % 6)) || nl='\r\n'
    ((RANDOM % 8)) || c='\xef\xbb\xbf'
    n=$((1 + RANDOM % 12))
    for ((k = 1; k <= n; k++)); do
        if [ -n "$prev" ] && ((RANDOM % 10 == 0)); then REPLY=$prev; else line; prev=$REPLY; fi  # a repeated line
        c+=$REPLY
        ((k == n && RANDOM % 4 == 0)) && break  # no final newline
        if ((RANDOM % 30)); then c+=$nl; else pick '\n' '\r\n' '\r'; c+=$REPLY; fi
    done
    printf '%b' "$c" >"$1"
}

printf -v odd '%b' 'caf\xc3\xa9 \xff,x:y%.conf'
names=(a.conf b.conf initiator.conf 'two words,a:b%.conf' '##[warning]x.conf' "$odd")
formats=(report gcc json sarif github tty tty-color)
optsets=('' -q -s --mask-passwords '-W all' '-W all --no-directives' --diff --fix)
combos=$((${#formats[@]} * ${#optsets[@]}))
passed=0 failed=0 keep=

for ((run = 1; run <= runs; run++)); do
    files=()
    for ((k = RANDOM % 3; k >= 0; k--)); do
        case $((RANDOM % 12)) in
        0) files+=(absent.conf) ;;
        1) files+=(sub.d) ;;
        *) pick "${names[@]}"; name=$REPLY; genfile "$name"; files+=("$name") ;;
        esac
    done
    c=$(((run - 1) % combos))
    fmt=${formats[c / ${#optsets[@]}]}
    read -ra opts <<<"${optsets[c % ${#optsets[@]}]}"
    case $fmt in
    tty-color) opts=(--format=tty --color=always "${opts[@]}") ;;
    report) (((run - 1) / combos % 2)) && opts=(--format=report "${opts[@]}") ;;
    *) opts=(--format="$fmt" "${opts[@]}") ;;
    esac
    if ((RANDOM % 4)); then args=("${opts[@]}" "${files[@]}"); else args=("${files[@]}" "${opts[@]}"); fi

    # Under --fix, the files as generated are kept, those the old build left
    # are put aside, and the new build mends the kept ones.
    fixing=; for o in "${opts[@]}"; do [ "$o" != --fix ] || fixing=1; done
    if [ -n "$fixing" ]; then
        rm -rf "$work/kept" "$work/old-fixed" && mkdir "$work/kept" "$work/old-fixed" || exit 2
        for f in "${files[@]}"; do [ ! -f "$f" ] || cp -p -- "$f" "$work/kept/"; done
    fi

    # Both under one program name, which the banner and the usage message show.
    (exec -a iscsi-config-check "$old" "${args[@]}") </dev/null >"$work/old.out" 2>"$work/old.err"; old_status=$?
    if [ -n "$fixing" ]; then
        for f in "${files[@]}"; do [ ! -f "$f" ] || cp -p -- "$f" "$work/old-fixed/"; done
        for f in "${files[@]}"; do [ ! -f "$work/kept/$f" ] || cp -p -- "$work/kept/$f" .; done
    fi
    (exec -a iscsi-config-check "$new" "${args[@]}") </dev/null >"$work/new.out" 2>"$work/new.err"; new_status=$?
    [ "$fmt" != sarif ] || sed -i '1s/"version":"[^"]*","semanticVersion":"[^"]*"/"version":"X","semanticVersion":"X"/' \
        "$work/old.out" "$work/new.out" "$work/old.err" "$work/new.err"

    differs=
    [ "$old_status" = "$new_status" ] || differs+=" status (old $old_status, new $new_status)"
    cmp -s "$work/old.out" "$work/new.out" || differs+=' stdout'
    cmp -s "$work/old.err" "$work/new.err" || differs+=' stderr'
    if [ -n "$fixing" ]; then
        for f in "${files[@]}"; do
            [ ! -f "$f" ] || cmp -s -- "$work/old-fixed/$f" "$f" || { printf -v REPLY ' fixed %q' "$f"; differs+=$REPLY; }
        done
    fi
    if [ -z "$differs" ]; then passed=$((passed + 1)); continue; fi

    failed=$((failed + 1))
    echo "run $run differs in:$differs"
    printf -v cmd ' %q' iscsi-config-check "${args[@]}"
    echo "  command:$cmd"
    for s in out err; do
        cmp -s "$work/old.$s" "$work/new.$s" && continue
        echo "  std$s (diff old new):"
        diff -a "$work/old.$s" "$work/new.$s" | head -n 12 | cat -v | sed 's/^/    /'
    done
    [ -n "$keep" ] || keep=$(mktemp -d /tmp/icc-compare-failed.XXXXXX) || exit 2
    k=$keep/run-$run; mkdir "$k" || exit 2
    for f in "${files[@]}"; do [ -e "$f" ] && cp -r -- "$f" "$k/"; done
    [ -z "$fixing" ] || cp -rp -- "$work/kept/." "$k/" # the files as generated
    cp -- "$work"/{old,new}.{out,err} "$k/"; echo "cd $k &&$cmd" >"$k/command"
    echo "  inputs kept in $k"
done

echo "$passed passed, $failed failed"
[ -z "$keep" ] || echo "inputs of the failed runs: $keep"
[ "$failed" -eq 0 ]
