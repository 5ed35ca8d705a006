#!/usr/bin/env bash
# The hook the project provides, run by the pre-commit framework itself from
# the README's snippet as written (the repository and the commit filled in):
# sound files pass; each file that the format lets through wrongly fails the
# commit and is named, however the framework splits the files; a .conf file
# of another program is left alone.
#
#   pre_commit_test.sh SOURCE_DIR CHECKER
set -u
root=$1 checker=$(realpath "$2")
command -v pre-commit >/dev/null || { echo "SKIP: pre-commit is not installed"; exit 77; }
command -v git >/dev/null || { echo "SKIP: git is not installed"; exit 77; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
export HOME=$tmp PRE_COMMIT_HOME=$tmp/cache GIT_CONFIG_NOSYSTEM=1
git config --global user.email test@example.invalid
git config --global user.name test
git config --global init.defaultBranch main
git config --global protocol.file.allow always

# The hook's repository: this project's hook file, committed on its own.
mkdir "$tmp/hook" && cp "$root/.pre-commit-hooks.yaml" "$tmp/hook/"
git -C "$tmp/hook" init -q && git -C "$tmp/hook" add . && git -C "$tmp/hook" commit -q -m hook
rev=$(git -C "$tmp/hook" rev-parse HEAD)

# The hook runs the checker found on the PATH, as an installed one would be.
mkdir "$tmp/bin" && ln -s "$checker" "$tmp/bin/iscsi-config-check"
export PATH=$tmp/bin:$PATH

mkdir "$tmp/work" && cd "$tmp/work" || exit 2
git init -q
# shellcheck disable=SC2016 # the backticks are the README's code fences, not commands
sed -n '/^```yaml$/,/^```$/p' "$root/README.md" | sed -n '/^repos:/,/^```$/p' | grep -v '^```' |
    sed "s|https://example.org/iscsi-config-check.git|$tmp/hook|; s|COMMIT|$rev|" >.pre-commit-config.yaml
grep -q "$rev" .pre-commit-config.yaml || fail "no snippet with the placeholders in the README"
git add .pre-commit-config.yaml && git commit -q -m config
pre-commit install >/dev/null || fail "pre-commit install"
mkdir iscsi
s='target = 10.0.0.1 3260 2 Initiator:h,p'
printf '%s\n' "$s" >iscsi/good.conf
printf 'target = 1.2.3 3260 2 Initiator:h,p\n' >roles-nginx.conf
mkdir -p roles/web/files && printf 'server { listen 80; }\n' >roles/web/files/nginx.conf
{ git add . && git commit -q -m good >log 2>&1; } || { cat log; fail "a sound file, or another program's, was refused"; }
printf '%s\n' 'target = 300.1.2.3 3260 2 Initiator:h,p' >iscsi/wrapped-address.conf
printf '%s\n' 'target = 10.0.0.1 65536 2 Initiator:h,p' >iscsi/wrapped-port.conf
printf '%s\n' "$s" "$s" >iscsi/duplicate.conf
printf '#%511s%s\n' '' 'target = 10.0.0.9 3260 2 Initiator:h,p' >iscsi/revived.conf
printf '%s\r\n' "$s" >iscsi/crlf.conf
git add iscsi
if git commit -q -m faulty >log 2>&1; then
    cat log
    fail "a commit of faulty files passed the hook"
fi
for name in wrapped-address wrapped-port duplicate revived crlf; do
    grep -q "^iscsi/$name.conf:[0-9]*:[0-9]*: " log || { cat log; fail "no fault named in iscsi/$name.conf"; }
done
echo "ok: the hook passes sound files, fails each faulty one by name, and leaves nginx.conf alone"
