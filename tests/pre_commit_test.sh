#!/usr/bin/env bash
# The hook the project provides, run by the pre-commit framework itself: a
# commit that holds a sound and a faulty configuration fails, and one of sound
# files passes.
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
printf 'repos:\n  - repo: %s\n    rev: %s\n    hooks:\n      - id: iscsi-config-check\n' \
    "$tmp/hook" "$rev" >.pre-commit-config.yaml
git add .pre-commit-config.yaml && git commit -q -m config
pre-commit install >/dev/null || fail "pre-commit install"
printf 'target = 1.2.3.4 3260 2 Initiator:h,p\n' >good.conf
git add good.conf
git commit -q -m good >log 2>&1 || { cat log; fail "a sound file was refused"; }
printf 'target = 1.2.3 3260 2 Initiator:h,p\n' >prod.conf
cp good.conf other.conf
git add prod.conf other.conf
if git commit -q -m faulty >log 2>&1; then
    cat log
    fail "a commit with a faulty file passed the hook"
fi
grep -q 'prod.conf' log || { cat log; fail "the hook's output does not name the faulty file"; }
echo "ok: the hook passes sound files and fails a commit that adds a fault"
