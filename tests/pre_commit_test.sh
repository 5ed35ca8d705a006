#!/usr/bin/env bash
# The hook the project provides, run by the pre-commit framework itself from
# the README's snippet as written (the repository and the commit filled in):
# sound files pass; each file that the format lets through wrongly fails the
# commit and is named, however the framework splits the files; a .conf file
# of another program, the iSCSI daemon's iscsid.conf among them, is left
# alone. The hook that fixes mends the files and fails the commit, which
# passes once they are staged.
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
printf 'node.startup = automatic\n' | tee iscsi/iscsid.conf >iscsid.conf
{ git add . && git commit -q -m good >log 2>&1; } || { cat log; fail "a sound file, or another program's, was refused"; }
printf '%s\n' 'target = 300.1.2.3 3260 2 Initiator:h,p' >iscsi/wrapped-address.conf
printf '%s\n' 'target = 10.0.0.1 65536 2 Initiator:h,p' >iscsi/wrapped-port.conf
printf '%s\n' "$s" "$s" >iscsi/duplicate.conf
printf '#%511s%s\n' '' 'target = 10.0.0.9 3260 2 Initiator:h,p' >iscsi/revived.conf
printf '%s\r\n' "$s" >iscsi/crlf.conf
cp iscsid.conf iscsi/iscsid-copy.conf
git add iscsi
if git commit -q -m faulty >log 2>&1; then
    cat log
    fail "a commit of faulty files passed the hook"
fi
for name in wrapped-address wrapped-port duplicate revived crlf iscsid-copy; do
    grep -q "^iscsi/$name.conf:[0-9]*:[0-9]*: " log || { cat log; fail "no fault named in iscsi/$name.conf"; }
done
git reset -q --hard

# The hook that fixes, in place of the other.
sed -i 's/id: iscsi-config-check$/id: iscsi-config-check-fix/' .pre-commit-config.yaml
grep -q 'id: iscsi-config-check-fix$' .pre-commit-config.yaml || fail "the snippet's hook id is not iscsi-config-check"
git commit -q -am 'the hook that fixes' >log 2>&1 || { cat log; fail "committing the configuration"; }
printf '%s\r\n' "$s" >iscsi/crlf.conf
printf 'node.startup = manual\r\n' >iscsi/iscsid.conf
git add iscsi
if git commit -q -m crlf >log 2>&1; then
    cat log
    fail "a commit of files that the fixes mend passed the hook"
fi
grep -q 'files were modified by this hook' log || { cat log; fail "the hook that fixes did not mend the file"; }
[ "$(cat iscsi/crlf.conf)" = "$s" ] || fail "the hook that fixes did not mend iscsi/crlf.conf"
[ "$(cat -v iscsi/iscsid.conf)" = 'node.startup = manual^M' ] || fail "the hook that fixes changed iscsid.conf"
{ git add iscsi && git commit -q -m crlf >log 2>&1; } || { cat log; fail "the mended files, staged, were refused"; }
echo "ok: the hooks pass sound files, fail each faulty one by name, mend what they may, and leave nginx.conf and iscsid.conf alone"
