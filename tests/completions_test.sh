#!/usr/bin/env bash
# The completion scripts that the build writes, run by the real shells, one
# per run:
#
#   completions_test.sh CHECKER SCRIPTS_DIR bash|zsh|fish
#
# Each script is laid out under the name it is installed as, and loaded as
# its shell loads it: bash-completion's loader must register the function
# (from the user's completions folder); zsh completes through its line
# editor on a pseudo-terminal (from fpath); fish through `complete -C`
# (from a vendor completions folder). Each shell completes the same command
# lines, which must give the same words: options, their values (formats,
# colours, warnings with no- and the -WNAME form, checks for --explain), and
# file names otherwise and after --. Status 77 when the shell is not
# installed (.ci/run installs every one).
set -euo pipefail
checker=$1 scripts=$2 shell=$3
command -v "$shell" >/dev/null || { echo "SKIP: no $shell"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
touch a.conf b.conf -- --fake.conf
mkdir -p share/bash-completion/completions share/zsh-functions share/fish/vendor_completions.d home
cp "$scripts/iscsi-config-check.bash" share/bash-completion/completions/iscsi-config-check
cp "$scripts/iscsi-config-check.zsh" share/zsh-functions/_iscsi-config-check
cp "$scripts/iscsi-config-check.fish" share/fish/vendor_completions.d/

# Every warning's name, on and off, as --list-checks gives them.
warnings="all no-all $("$checker" --list-checks | awk -F '\t' '$2 == "warning" { printf "%s no-%s ", $1, $1 }')"
# Each case: the command line typed, then the words it completes to, sorted,
# each as the value alone (without --NAME= or -W before it).
cases=(
    'iscsi-config-check --for|--format'
    'iscsi-config-check --format=j|json'
    'iscsi-config-check --color n|never'
    'iscsi-config-check --colour=a|always auto'
    'iscsi-config-check -W no-co|no-control-char no-count-range'
    'iscsi-config-check -Wno-lea|no-leading-zero'
    'iscsi-config-check --warn=bo|bom'
    'iscsi-config-check -q --explain no-co|no-connections'
    'iscsi-config-check --config a|a.conf'
    'iscsi-config-check -s b|b.conf'
    'iscsi-config-check -- --f|--fake.conf'
    "iscsi-config-check --warn=|$(tr ' ' '\n' <<<"$warnings" | LC_ALL=C sort | xargs)"
)

# Prints the words that the shell completes each line to, one case a line.
complete_bash() {
    # shellcheck disable=SC1091
    source /usr/share/bash-completion/bash_completion
    export BASH_COMPLETION_USER_DIR=$work/share/bash-completion
    __load_completion iscsi-config-check
    [ "$(complete -p iscsi-config-check)" = "complete -F _iscsi_config_check iscsi-config-check" ] ||
        fail "bash: sourcing does not register the completion"
    # shellcheck disable=SC2317 # (called by the script; outside a completion it refuses to run)
    compopt() { :; }
    local line
    for line; do
        # The words as bash splits them, '=' a word of its own.
        COMP_LINE=$line COMP_POINT=${#line}
        read -ra COMP_WORDS <<<"${line//=/ = }"
        [[ $line == *[\ =] ]] && COMP_WORDS+=('')
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        COMPREPLY=()
        _iscsi_config_check iscsi-config-check "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
        printf '%s\n' "${COMPREPLY[@]}" "--end--"
    done
}
complete_fish() {
    local line
    for line; do
        # shellcheck disable=SC2016 # (fish's own variable)
        env PATH="$(dirname "$checker"):$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home" \
            XDG_DATA_HOME="$work/home" XDG_DATA_DIRS="$work/share" fish -c 'complete -C $argv[1]' "$line" | cut -f1
        echo "--end--"
    done
}
# zsh's completion runs only in its line editor: an interactive zsh on a
# pseudo-terminal, whose compadd also prints what it adds, is sent each
# line and a tab once its prompt shows that the editor reads again.
complete_zsh() {
    # shellcheck disable=SC2016
    timeout 60 zsh -f -c '
        zmodload zsh/zpty
        zpty z zsh -f -i
        zpty -w z "PS1=\"READY> \" fpath=($PWD/share/zsh-functions \$fpath); autoload -Uz compinit; compinit -u -D"
        zpty -w z "compadd() { local -a hits; builtin compadd -O hits \"\$@\"; print -rl -- \"\" \"<\${^hits[@]}>\"; }"
        zpty -w z "zstyle \":completion:*\" insert-tab false; bindkey \"^I\" complete-word; print READY\$((1))"
        zpty -r z out "*READY1*READY> "
        for line; do
            zpty -w -n z "$line"$'"'\t'"'
            zpty -w z $'"'\C-u'"'"print DONE\$((1))"
            zpty -r z out "*DONE1*READY> "
            print -rl -- ${(u)${(M)${(f)out//$'"'\r'"'/}:#<*>}} "<--end-->"
        done
        zpty -d z' zsh "$@" | sed -e 's/^<//' -e 's/>$//'
}

lines=() expected=()
for case in "${cases[@]}"; do
    lines+=("${case%%|*}")
    expected+=("${case#*|}")
done
got=$("complete_$shell" "${lines[@]}") || fail "$shell failed: $got"
k=0 words=()
while IFS= read -r word; do
    if [ "$word" != "--end--" ]; then
        # The value alone: no '=' after an option, no --NAME= or -W before it.
        word=${word%=}
        word=${word#--*=}
        [[ ${lines[k]##* } == -W?* ]] && word=${word#-W}
        words+=("$word")
        continue
    fi
    actual=$(printf '%s\n' "${words[@]}" | LC_ALL=C sort | xargs)
    [ "$actual" = "${expected[k]}" ] ||
        fail "$shell: '${lines[k]}' completes to '$actual', not '${expected[k]}'"
    k=$((k + 1)) words=()
done <<<"$got"
[ "$k" = "${#cases[@]}" ] || fail "$shell: $k of ${#cases[@]} lines completed"
echo "ok: $shell completes ${#cases[@]} command lines"
