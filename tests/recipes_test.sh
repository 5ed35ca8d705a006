#!/usr/bin/env bash
# The README's recipes, taken from README.md as written and run by their real
# clients, one group per run:
#
#   recipes_test.sh SOURCE_DIR CHECKER BUILD_DIR [GROUP]
#
#   vim           :make fills the quickfix list, warnings typed as warnings,
#                 for a file whose name holds a blank and a quote; saving
#                 makes the fixes, or keeps the buffer when the run fails
#   neovim        its diagnostics (headless) report the buffer as it stands,
#                 and saving fixes it as in Vim
#   emacs         flymake (in batch) reports the buffer as it stands, unsaved
#                 edits included, and leaves other conf-mode files alone;
#                 saving fixes it as in Vim
#   neovim-lsp    the language server's recipe: its diagnostics of the buffer
#   emacs-eglot   as it stands (a line of multibyte characters included), in
#                 Neovim's client and eglot's flymake, and those of a CRLF
#                 file and of one with a byte order mark as on disk; saving
#                 makes its fixes as --fix does (those two files included),
#                 or keeps the buffer
#   vim-ale       the same diagnostics in ALE's location list
#   ansible       a local playbook's template task refuses a faulty render,
#                 keeps the file in place, logs no password, and installs a
#                 sound one with mode 0600; the task passes ansible-lint's
#                 production profile, offline
#   puppet        the same for puppet apply and a file resource
#   pull-request  the base branch's options and no directives judge a change
#                 that relaxed both
#   install       make install, as the README gives it, with PREFIX and DESTDIR
#   fix           --diff piped to git apply mends the files as --fix does,
#                 and tells what remains without a password, in a shell
#                 with pipefail and under a project's --strict
#
# Without GROUP every group runs. A group whose client is not installed is
# skipped, saying so; the status is 77 when every group run was skipped.
# The checker's folder comes first in PATH, so the recipes' plain
# iscsi-config-check is the one under test, and everything runs in a fresh
# temporary folder with no file of options above it. Each client run is
# bounded by TIME_LIMIT seconds (default 120).
set -u
root=$(realpath "$1") checker=$(realpath "$2") build=$(realpath "$3") group=${4:-all}

if [ "$group" = all ]; then
    ran=0 failed=0
    for g in vim neovim emacs neovim-lsp emacs-eglot vim-ale ansible puppet pull-request install fix; do
        "$0" "$root" "$checker" "$build" "$g"
        case $? in 0) ran=$((ran + 1)) ;; 77) ;; *) failed=$((failed + 1)) ;; esac
    done
    [ "$failed" = 0 ] || exit 1
    [ "$ran" -gt 0 ] || exit 77
    exit 0
fi

tmp=$(mktemp -d)
trap '[ -n "${KEEP:-}" ] || rm -rf "$tmp"' EXIT
failures=0
fail() {
    echo "FAIL ($group, ${0##*/}:${BASH_LINENO[0]}): $*"
    failures=$((failures + 1))
}
give_up() {
    echo "FAIL ($group, ${0##*/}:${BASH_LINENO[0]}): $*"
    exit 1
}
skip() {
    echo "SKIP ($group): $*"
    exit 77
}
# Ends the group: its verdict.
finish() {
    [ "$failures" = 0 ] || exit 1
    echo "ok ($group): $*"
    exit 0
}
# Shows a client's log, control characters made visible and the test's
# password hidden.
show() { sed "s/$password/[password]/g" "$1" | cat -v | head -n "${2:-40}"; }
# Compares the expected and the actual file, showing the differences as show
# does.
same() {
    diff -u "$1" "$2" >diff.txt && return
    show diff.txt
    return 1
}
bounded() { timeout -k 5 "${TIME_LIMIT:-120}" "$@"; }

# The fenced block of language LANG (the COUNT-th, default the first) in the
# README's section whose heading reads HEADING.
recipe() {
    awk -v heading="$1" -v lang="$2" -v count="${3:-1}" '
        fenced && /^```[[:space:]]*$/ { fenced = 0; if (taking) exit; next }
        fenced { if (taking) print; next }
        /^```/ {
            fenced = 1
            if (in_section && $0 == "```" lang) taking = (++seen == count)
            next
        }
        /^#+ / { title = $0; sub(/^#+ /, "", title); in_section = (title == heading) }
    ' "$root/README.md"
}
# Writes the recipe to FILE, and fails the group when there is none.
take_recipe() {
    recipe "$1" "$2" "${4:-1}" >"$3"
    [ -s "$3" ] || give_up "no \`\`\`$2 block in the README's section '$1'"
}

export HOME=$tmp/home TMPDIR=$tmp LC_ALL=C.UTF-8 SHELL=/bin/sh
export PATH=${checker%/*}:$PATH
work=$tmp/work
mkdir -p "$HOME" "$work"
cd "$work" || give_up "cannot enter $work"
[ "$(command -v iscsi-config-check)" = "$checker" ] || give_up "iscsi-config-check on the PATH is not $checker"
dir=$PWD
while :; do
    [ ! -e "$dir/.iscsi-config-check" ] || give_up "$dir/.iscsi-config-check would change the checks: run the test elsewhere (TMPDIR)"
    [ "$dir" != / ] || break
    dir=$(dirname "$dir")
done

password=Pw7-qZ3x9Kt
sound="target = 10.0.0.1 3260 2 Initiator:db01,$password"
wrapped="target = 300.0.0.1 3260 2 Initiator:db02,$password"
faulty="target = 1.2.3 3260 2 Initiator:db03,$password"

# Files that hold the password are made readable by their owner alone;
# no_open_passwords fails the group when an editor left one (a copy, a
# backup, a file saved anew) that others may read.
private_samples() { grep -rlZF "$password" "$work" | xargs -0r chmod 600; }
no_open_passwords() {
    local open
    open=$(grep -rlZF "$password" "$tmp" | xargs -0r stat -c '%A %n' | grep -v '^-...------')
    [ -z "$open" ] || fail "files holding the password that others may read: $open"
}
# editor_files, for the language server, and the files of raw.txt, whose
# diagnostics (as NAME|LINE|...) follow in expected.txt: the samples
# private, and every warning on, as the diagnostics expected are, by a file
# of options in the file's folder, which the server finds wherever the
# editor was started.
server_files() {
    editor_files "$@"
    printf '%s\r\n' '# rack 2' '  # old' >iscsi/crlf.conf
    printf '\357\273\277%s\n' "$sound" >iscsi/bom.conf
    for f in iscsi/crlf.conf iscsi/bom.conf; do
        expected_diagnostics "$f" "$f" | grep -v ': note: ' >>expected.txt
        echo "$f" >>raw.txt
    done
    private_samples
    printf -- '-W all\n' >iscsi/.iscsi-config-check
}
# The files an editor would convert as it reads them (CRLF line ends, a
# byte order mark), saved through SAVE with the line of added.txt: the
# file's bytes as --fix makes them.
raw_saves() {
    for f in iscsi/crlf.conf iscsi/bom.conf; do
        cat "$f" added.txt | iscsi-config-check --no-config -q --fix --stdin-filename=x >expected.txt
        chmod 600 "$f" && "$1" "$f"
        same expected.txt "$f" || fail "saving $f did not make --fix's bytes"
    done
}
# The README's section of the language server's recipes, and a line whose
# fault follows characters of two, three and four bytes in UTF-8 (one or
# two units in UTF-16).
server_section='Use in an editor through the language server'
multibyte=$'# caf\u00e9 \u20ac\U0001D11E\x01 x'

# The checker's own gcc-format diagnostics of FILE (named NAME), as
# NAME|LINE|COLUMN|e-or-w|MESSAGE: what an editor should show.
expected_diagnostics() {
    iscsi-config-check --no-config --format=gcc -W all --stdin-filename="$2" <"$1" |
        sed -E 's/^(.*):([0-9]+):([0-9]+): (e)rror: /\1|\2|\3|\4|/; s/^(.*):([0-9]+):([0-9]+): (w)arning: /\1|\2|\3|\4|/'
}
# An editor's files: iscsi/initiator.conf as saved, and edited.conf as its
# buffer will stand, with the lines of unsaved.txt (two, and those given);
# then files beside it, named in others.txt. expected.txt holds the buffer's diagnostics as
# LINE|COLUMN|e-or-w|MESSAGE, then each other file as NAME|on or NAME|off,
# as the recipe checks it or not.
editor_files() {
    mkdir -p iscsi iscsi/sub Storage roles/web/files
    printf '%s\n' "$sound" >iscsi/initiator.conf
    printf '%s\n' "$wrapped" "$faulty" "$@" >unsaved.txt
    cat iscsi/initiator.conf unsaved.txt >edited.conf
    expected_diagnostics edited.conf x | cut -d'|' -f2- >expected.txt
    for f in nginx.conf roles/web/files/nginx.conf iscsi/sub/site.conf iscsi/iscsid.conf Storage/ISCSI-rack.conf initiator-b.conf; do
        printf 'server { listen 80; }\n' >"$f"
        echo "$f" >>others.txt
        case $f in Storage/* | initiator-*) echo "$f|on" ;; *) echo "$f|off" ;; esac >>expected.txt
    done
}

# Fix on save, through the editor's function given, which opens FILE with
# the recipe, appends the line of added.txt and saves: the file saved is
# what --fix makes of the buffer (a carriage return after multibyte
# characters included); where the run fails (a file of options
# beside the file that cannot be used, while the editor runs elsewhere; a
# stand-in checker that fails and prints nothing), and for iscsid.conf, the
# buffer is saved as it stands.
fix_on_save() {
    local save=$1 mendable
    mendable=$(printf '%s\n' "${sound/10.0.0.1/010.0.0.1}" $' \t' '  # old' $'# caf\u00e9 \U0001D11E\r')
    printf '%s\n' "${sound/10.0.0.1/010.0.0.9}" >added.txt
    { printf '%s\n' "$mendable"; cat added.txt; } >edited.txt
    iscsi-config-check --no-config -q --fix --stdin-filename=x <edited.txt >expected.txt
    ! cmp -s edited.txt expected.txt || give_up "the sample needs no fix"
    mkdir -p iscsi broken/iscsi stub
    printf -- '-W bogus\n' >broken/iscsi/.iscsi-config-check
    printf '#!/bin/sh\nexit 1\n' >stub/iscsi-config-check && chmod +x stub/iscsi-config-check
    for f in iscsi/save.conf broken/iscsi/save.conf iscsi/stub.conf iscsi/iscsid.conf; do
        printf '%s\n' "$mendable" >"$f"
    done
    private_samples
    "$save" iscsi/save.conf
    same expected.txt iscsi/save.conf || fail "saving did not make the fixes"
    # Opened from another folder, the file is checked under its own
    # project's options, as the hook checks it.
    "$save" broken/iscsi/save.conf
    same edited.txt broken/iscsi/save.conf || fail "a failed run (an unusable file of options beside the file) changed the buffer"
    PATH=$work/stub:$PATH "$save" iscsi/stub.conf
    same edited.txt iscsi/stub.conf || fail "a run that failed and printed nothing changed the buffer"
    "$save" iscsi/iscsid.conf
    same edited.txt iscsi/iscsid.conf || fail "saving mended iscsid.conf"
}

# The command word of a configuration-management line (after "KEY: '" or
# "KEY => '") must be found on the PATH as the checker under test.
uses_checker_from_path() {
    local word
    word=$(sed -n "s/.*$1[^']*'\([^ ']*\).*/\1/p" "$2" | head -n 1)
    [ "$(command -v "$word")" = "$checker" ] || fail "$1 runs '$word', not the iscsi-config-check found on the PATH"
    grep "$1" "$2" | grep -q -e '--no-config' || fail "$1 runs without --no-config"
}
# The recipe's owner and group root, as this user's where the test runs as
# another (who may not give files to root).
own_file_as_user() {
    [ "$(id -u)" = 0 ] || sed -i -E "s/((owner|group)[:=> ]+'?)root/\1$(id -un)/" "$1"
}
# The installed file holds passwords: mode 0600 whatever the umask.
private() { [ "$(stat -c %a "$1")" = 600 ] || fail "$1 has mode $(stat -c %a "$1"), not 600"; }
umask 022

case $group in
vim)
    command -v vim >/dev/null || skip "vim is not installed"
    take_recipe 'Use in an editor' vim recipe.vim
    mkdir iscsi
    name="iscsi/rack 2's.conf"
    printf '%s\n' "$sound" "$wrapped" "$faulty" >"$name"
    cat >after.vim <<'EOF'
call writefile(map(getqflist(), {_, e -> bufname(e.bufnr) . '|' . e.lnum . '|' . e.col . '|' . e.type . '|' . e.text}), 'quickfix.txt')
let s:lines = ['dir/a b.conf:4:15: error: illegal character in address 040 [address-char]',
      \ 'dir/a b.conf:5:1: warning: file begins with a byte order mark [-Wbom]',
      \ 'a.conf:6: note: not a diagnostic']
let s:efm = empty(&l:errorformat) ? &errorformat : &l:errorformat
call writefile(map(getqflist({'lines': s:lines, 'efm': s:efm}).items,
      \ {_, e -> (e.bufnr ? bufname(e.bufnr) : '') . '|' . e.lnum . '|' . e.col . '|' . e.type . '|' . e.valid . '|' . e.text}), 'parsed.txt')
qall!
EOF
    bounded vim -N -u NONE -i NONE -n -es -c 'source recipe.vim' -c 'source after.vim' "$name" </dev/null >vim.log 2>&1
    [ -f quickfix.txt ] || { show vim.log; give_up "vim did not get through the recipe"; }
    expected_diagnostics "$name" "$name" >expected.txt
    if ! grep -q '|w|' expected.txt || ! grep -q '|e|' expected.txt; then
        give_up "the sample file lacks an error or a warning"
    fi
    same expected.txt quickfix.txt || fail "the quickfix list of :make differs from the checker's diagnostics (type e or w)"
    cat >expected.txt <<'EOF'
dir/a b.conf|4|15|e|1|illegal character in address 040 [address-char]
dir/a b.conf|5|1|w|1|file begins with a byte order mark [-Wbom]
|0|0||0|a.conf:6: note: not a diagnostic
EOF
    same expected.txt parsed.txt || fail "the recipe's errorformat misreads gcc-format lines"
    take_recipe 'Use in an editor' vim fix.vim 2
    # shellcheck disable=SC2317 # (run by fix_on_save)
    vim_save() {
        bounded vim -N -u NONE -i NONE -n -es -c "source $work/fix.vim" \
            -c "call append('\$', readfile('$work/added.txt'))" -c w -c 'qall!' "$1" </dev/null >>vim.log 2>&1
    }
    fix_on_save vim_save
    finish "Vim's :make lists errors and warnings by type, for a name with a blank and a quote; saving fixes, or keeps the buffer"
    ;;

emacs)
    command -v emacs >/dev/null || skip "emacs is not installed"
    take_recipe 'Use in an editor' elisp iscsi-config-check.el
    take_recipe 'Use in an editor' elisp fix.el 2
    cat fix.el >>iscsi-config-check.el
    editor_files
    sed -i -E 's/^([^|]*)\|(on|off)$/\1|conf|\2/' expected.txt
    cat >drive.el <<EOF
(require 'flymake)
(defvar root default-directory)
(defun checked-p ()
  (if (and (bound-and-true-p flymake-mode)
           (memq 'iscsi-config-check-flymake flymake-diagnostic-functions))
      "on" "off"))
(defun diagnostics-now ()
  "Runs flymake on the current buffer and waits for the recipe's report."
  (flymake-start nil t)
  (let ((deadline (+ (float-time) 30)))
    (while (and (not (memq 'iscsi-config-check-flymake (flymake-reporting-backends)))
                (< (float-time) deadline))
      (accept-process-output nil 0.05)))
  (sort (flymake-diagnostics)
        (lambda (a b) (< (flymake-diagnostic-beg a) (flymake-diagnostic-beg b)))))
(with-temp-file "results.txt"
  (let ((out (current-buffer)))
    (with-current-buffer (find-file-noselect (expand-file-name "iscsi/initiator.conf" root))
      (if (equal (checked-p) "off")
          (with-current-buffer out (insert "initiator.conf not checked\n"))
        (goto-char (point-max))
        (insert "$wrapped\n$faulty\n")
        (dolist (d (diagnostics-now))
          (let ((beg (flymake-diagnostic-beg d)))
            (let ((line (line-number-at-pos beg))
                  (column (save-excursion (goto-char beg) (1+ (current-column))))
                  (kind (if (eq (flymake-diagnostic-type d) :error) "e" "w"))
                  (text (flymake-diagnostic-text d)))
              (with-current-buffer out
                (insert (format "%d|%d|%s|%s\n" line column kind text))))))))
    (dolist (f '("nginx.conf" "roles/web/files/nginx.conf" "iscsi/sub/site.conf"
                 "iscsi/iscsid.conf" "Storage/ISCSI-rack.conf" "initiator-b.conf"))
      (with-current-buffer (find-file-noselect (expand-file-name f root))
        (let ((mode (if (derived-mode-p 'conf-mode) "conf" (symbol-name major-mode)))
              (state (checked-p)))
          (with-current-buffer out (insert (format "%s|%s|%s\n" f mode state))))))))
EOF
    bounded emacs -Q --batch -l ./iscsi-config-check.el -l ./drive.el >emacs.log 2>&1 ||
        { show emacs.log; give_up "emacs failed on the recipe"; }
    [ -f results.txt ] || { show emacs.log; give_up "emacs wrote no results"; }
    same expected.txt results.txt || { show emacs.log; fail "flymake's diagnostics, or the buffers it checks, differ"; }
    [ "$(cat iscsi/initiator.conf)" = "$sound" ] || fail "the edits were saved: the test would not tell the buffer from the file"
    # shellcheck disable=SC2317 # (run by fix_on_save)
    emacs_save() {
        bounded emacs -Q --batch -l "$work/iscsi-config-check.el" --eval "(with-current-buffer (find-file-noselect \"$1\")
            (goto-char (point-max)) (insert-file-contents \"$work/added.txt\") (save-buffer))" >>emacs.log 2>&1
    }
    fix_on_save emacs_save
    finish "flymake reports the unsaved buffer by line, column and type, and leaves nginx.conf and iscsid.conf alone; saving fixes, or keeps the buffer"
    ;;

neovim)
    command -v nvim >/dev/null || skip "nvim is not installed"
    take_recipe 'Use in an editor' lua init.lua
    editor_files
    cat >drive.lua <<'EOF'
local changed = false
vim.api.nvim_create_autocmd('DiagnosticChanged', { callback = function() changed = true end })
local function settle()
  vim.wait(30000, function() return changed end, 20)
  changed = false
end
local results = {}
vim.cmd('edit iscsi/initiator.conf')
local buf = vim.api.nvim_get_current_buf()
settle()
-- The unsaved lines, as if typed in insert mode.
vim.api.nvim_buf_set_lines(buf, -1, -1, false, vim.fn.readfile('unsaved.txt'))
vim.cmd('doautocmd InsertLeave')
settle()
for _, d in ipairs(vim.diagnostic.get(buf)) do
  local kind = d.severity == vim.diagnostic.severity.ERROR and 'e' or 'w'
  table.insert(results, string.format('%d|%d|%s|%s', d.lnum + 1, d.col + 1, kind, d.message))
end
for _, f in ipairs(vim.fn.readfile('others.txt')) do
  vim.cmd('edit ' .. f)
  local hooked = #vim.api.nvim_get_autocmds({ event = 'BufWritePre', buffer = 0 }) > 0
  table.insert(results, f .. '|' .. (hooked and 'on' or 'off'))
end
-- Read again, the buffer keeps one hook, not two.
vim.cmd('buffer ' .. buf .. ' | edit!')
local hooks = #vim.api.nvim_get_autocmds({ event = 'BufWritePre', buffer = buf })
if hooks ~= 1 then table.insert(results, 'BufWritePre hooks after :edit!: ' .. hooks) end
vim.fn.writefile(results, 'results.txt')
vim.cmd('qall!')
EOF
    bounded nvim --headless -i NONE -n -u init.lua -c 'luafile drive.lua' </dev/null >nvim.log 2>&1
    [ -f results.txt ] || { show nvim.log; give_up "nvim wrote no results"; }
    same expected.txt results.txt || { show nvim.log; fail "the diagnostics, or the buffers checked, differ"; }
    [ "$(cat iscsi/initiator.conf)" = "$sound" ] || fail "the edits were saved: the test would not tell the buffer from the file"
    # shellcheck disable=SC2317 # (run by fix_on_save)
    nvim_save() {
        bounded nvim --headless -i NONE -n -u "$work/init.lua" -c "call append('\$', readfile('$work/added.txt'))" \
            -c w -c 'qall!' "$1" </dev/null >>nvim.log 2>&1
    }
    fix_on_save nvim_save
    finish "Neovim's diagnostics report the unsaved buffer by line, column and type, and leave nginx.conf alone; saving fixes, or keeps the buffer"
    ;;

neovim-lsp)
    command -v nvim >/dev/null || skip "nvim is not installed"
    take_recipe "$server_section" lua init.lua
    server_files "$multibyte"
    # Each wait ends when the buffer's diagnostics name its current version,
    # or when no server runs (it could not start, or it ended).
    cat >wait.lua <<'EOF'
local published = {}
local publish = vim.lsp.handlers['textDocument/publishDiagnostics']
vim.lsp.handlers['textDocument/publishDiagnostics'] = function(err, result, ctx, config)
  publish(err, result, ctx, config)
  published[vim.uri_to_bufnr(result.uri)] = result.version
end
function Settle(buf)
  buf = buf == 0 and vim.api.nvim_get_current_buf() or buf
  vim.wait(30000, function() -- (the recipe's one client is the first)
    return not vim.lsp.get_client_by_id(1) or published[buf] == vim.lsp.util.buf_versions[buf]
  end, 20)
end
EOF
    cat >drive.lua <<'EOF'
local results = {}
vim.cmd('edit iscsi/initiator.conf')
local buf = vim.api.nvim_get_current_buf()
Settle(buf)
-- The unsaved lines, as if typed.
vim.api.nvim_buf_set_lines(buf, -1, -1, false, vim.fn.readfile('unsaved.txt'))
Settle(buf)
local function report(prefix)
  for _, d in ipairs(vim.diagnostic.get(0)) do
    local kind = d.severity == vim.diagnostic.severity.ERROR and 'e' or 'w'
    local code = (kind == 'w' and '-W' or '') .. tostring(d.code)
    table.insert(results, string.format('%s%d|%d|%s|%s [%s]', prefix, d.lnum + 1, d.col + 1, kind, d.message, code))
  end
end
report('')
for _, f in ipairs(vim.fn.readfile('others.txt')) do
  vim.cmd('edit ' .. f)
  table.insert(results, f .. '|' .. (#vim.lsp.buf_get_clients(0) > 0 and 'on' or 'off'))
end
for _, f in ipairs(vim.fn.readfile('raw.txt')) do
  vim.cmd('edit ' .. f)
  Settle(0)
  report(f .. '|')
end
vim.fn.writefile(results, 'results.txt')
vim.cmd('qall!')
EOF
    bounded nvim --headless -i NONE -n -u init.lua -c 'luafile wait.lua' -c 'luafile drive.lua' </dev/null >nvim.log 2>&1
    [ -f results.txt ] || { show nvim.log; give_up "nvim wrote no results"; }
    same expected.txt results.txt || { show nvim.log; fail "the server's diagnostics, or the buffers it checks, differ"; }
    [ "$(cat iscsi/initiator.conf)" = "$sound" ] || fail "the edits were saved: the test would not tell the buffer from the file"
    # shellcheck disable=SC2317 # (run by fix_on_save)
    nvim_save() {
        bounded nvim --headless -i NONE -n -u "$work/init.lua" -c "luafile $work/wait.lua" -c 'lua Settle(0)' \
            -c "call append('\$', readfile('$work/added.txt'))" -c 'lua Settle(0)' -c w -c 'qall!' "$1" </dev/null >>nvim.log 2>&1
    }
    rm iscsi/.iscsi-config-check
    fix_on_save nvim_save
    raw_saves nvim_save
    no_open_passwords
    finish "Neovim's client shows the server's diagnostics of the unsaved buffer, a line of multibyte characters included, and leaves nginx.conf alone; saving makes the fix-all action's edits, or keeps the buffer"
    ;;

emacs-eglot)
    command -v emacs >/dev/null || skip "emacs is not installed"
    # Debian's elpa-eglot is found as an installed package, which -Q leaves out.
    emacs_eglot() { bounded emacs -q --no-site-file --batch "$@"; }
    emacs_eglot --eval "(require 'eglot)" >/dev/null 2>&1 || skip "eglot is not installed"
    take_recipe "$server_section" elisp iscsi-config-check-eglot.el
    server_files "$multibyte"
    # settle waits until the buffer's diagnostics name its current version
    # and flymake shows them, or until no server runs.
    cat >settle.el <<'EOF'
(defvar published nil "The version each document's diagnostics name, by URI.")
(advice-add 'eglot-handle-notification :after
            (lambda (_server method &rest params)
              (when (eq method 'textDocument/publishDiagnostics)
                (push (cons (plist-get params :uri) (plist-get params :version)) published))))
(defun settle ()
  ;; As after a command: eglot connects then (an error is shown, not raised).
  (with-demoted-errors "%S" (run-hooks 'post-command-hook))
  ;; Flymake starts as the buffer is shown in a window, which batch has not.
  (when flymake-mode (flymake-start nil t))
  (let ((deadline (+ (float-time) 30)) (uri (eglot--path-to-uri buffer-file-name)))
    (while (and (< (float-time) deadline)
                (eglot-current-server)
                (not (and (equal (cdr (assoc uri published)) eglot--versioned-identifier)
                          (memq 'eglot-flymake-backend (flymake-reporting-backends)))))
      (with-demoted-errors "%S" (run-hooks 'post-command-hook))
      ;; Idle, as a user who stops typing: eglot sends the changes then.
      (mapc #'timer-event-handler (copy-sequence timer-idle-list))
      (accept-process-output nil 0.05))))
EOF
    cat >drive.el <<'EOF'
(defvar root default-directory)
(defun report (out prefix)
      (dolist (d (sort (flymake-diagnostics)
                       ;; By place, errors first at one place, as the checker lists them.
                       (lambda (a b) (let ((ba (flymake-diagnostic-beg a)) (bb (flymake-diagnostic-beg b)))
                                       (or (< ba bb) (and (= ba bb) (eq (flymake-diagnostic-type a) 'eglot-error)))))))
        (let* ((beg (flymake-diagnostic-beg d))
               (line (line-number-at-pos beg))
               ;; The column in bytes, as the checker counts it.
               (column (1+ (string-bytes (save-excursion (goto-char beg)
                                                         (buffer-substring-no-properties (line-beginning-position) beg)))))
               (kind (if (eq (flymake-diagnostic-type d) 'eglot-error) "e" "w"))
               (text (flymake-diagnostic-text d)))
          (with-current-buffer out
            (insert prefix (if (string-match "\\`iscsi-config-check \\[\\(.*\\)\\]: \\(.*\\)\\'" text)
                               (format "%d|%d|%s|%s [%s%s]\n" line column kind (match-string 2 text)
                                       (if (equal kind "w") "-W" "") (match-string 1 text))
                             (format "%d|%d|%s|%s\n" line column kind text)))))))
(defun lines (file) (with-temp-buffer (insert-file-contents file) (split-string (buffer-string) "\n" t)))
(with-temp-file "results.txt"
  (let ((out (current-buffer)))
    (with-current-buffer (find-file-noselect "iscsi/initiator.conf")
      (settle)
      (goto-char (point-max))
      (insert-file-contents (expand-file-name "unsaved.txt" root))
      (settle)
      (report out ""))
    (dolist (f (lines "others.txt"))
      (with-current-buffer (find-file-noselect (expand-file-name f root))
        (settle)
        (let ((state (if (eglot-managed-p) "on" "off")))
          (with-current-buffer out (insert (format "%s|%s\n" f state))))))
    (dolist (f (lines "raw.txt"))
      (with-current-buffer (find-file-noselect (expand-file-name f root))
        (settle)
        (report out (concat f "|"))))))
EOF
    emacs_eglot -l ./iscsi-config-check-eglot.el -l ./settle.el -l ./drive.el >emacs.log 2>&1 ||
        { show emacs.log; give_up "emacs failed on the recipe"; }
    [ -f results.txt ] || { show emacs.log; give_up "emacs wrote no results"; }
    same expected.txt results.txt || { show emacs.log; fail "flymake's diagnostics from the server, or the buffers it checks, differ"; }
    [ "$(cat iscsi/initiator.conf)" = "$sound" ] || fail "the edits were saved: the test would not tell the buffer from the file"
    # shellcheck disable=SC2317 # (run by fix_on_save)
    eglot_save() {
        emacs_eglot -l "$work/iscsi-config-check-eglot.el" -l "$work/settle.el" \
            --eval "(with-current-buffer (find-file-noselect \"$1\") (settle)
                      (goto-char (point-max)) (insert-file-contents \"$work/added.txt\") (settle) (save-buffer))" >>emacs.log 2>&1
    }
    rm iscsi/.iscsi-config-check
    fix_on_save eglot_save
    raw_saves eglot_save
    no_open_passwords
    finish "flymake shows the server's diagnostics of the unsaved buffer, a line of multibyte characters included, and eglot leaves nginx.conf and iscsid.conf alone; saving makes the server's fixes, or keeps the buffer"
    ;;

vim-ale)
    command -v vim >/dev/null || skip "vim is not installed"
    [ -d /usr/share/vim/vimfiles/pack/dist-bundle/opt/ale ] || skip "Debian's vim-ale is not installed"
    take_recipe "$server_section" vim recipe.vim
    # ALE takes a position's character for a byte: no multibyte line here.
    server_files
    cat >drive.vim <<'EOF'
set hidden
edit iscsi/initiator.conf
call append('$', readfile('unsaved.txt'))
" As ALE lints after typing; it is done when the server's diagnostics came.
function! Report(prefix) abort
  ALELint
  let Here = {-> filter(getloclist(0), {_, e -> e.bufnr == bufnr('')})}
  for i in range(300)
    if !empty(Here()) && !ale#engine#IsCheckingBuffer(bufnr('')) | break | endif
    sleep 100m
  endfor
  " By place, errors first at one place, as the checker lists them.
  let items = sort(Here(), {a, b -> a.lnum != b.lnum ? a.lnum - b.lnum : a.col != b.col ? a.col - b.col
        \ : (a.type ==# 'W') - (b.type ==# 'W')})
  return map(items, {_, e -> a:prefix . e.lnum . '|' . e.col . '|' . tolower(e.type) . '|'
        \ . substitute(e.text, '^\([^:]*\): \(.*\)', '\=submatch(2) . " [" . (e.type ==# "W" ? "-W" : "") . submatch(1) . "]"', '')})
endfunction
let s:results = Report('')
for s:f in readfile('others.txt')
  execute 'edit ' . fnameescape(s:f)
  let s:on = index(map(ale#linter#Get(&filetype), {_, l -> l.name}), 'iscsi-config-check') >= 0
  call add(s:results, s:f . '|' . (s:on ? 'on' : 'off'))
endfor
for s:f in readfile('raw.txt')
  execute 'edit ' . fnameescape(s:f)
  call extend(s:results, Report(s:f . '|'))
endfor
call writefile(s:results, 'results.txt')
qall!
EOF
    bounded vim -N -u recipe.vim -i NONE -n -es --cmd 'filetype on' -c 'source drive.vim' </dev/null >vim.log 2>&1
    [ -f results.txt ] || { show vim.log; give_up "vim wrote no results"; }
    same expected.txt results.txt || { show vim.log; fail "ALE's location list from the server, or the buffers it checks, differ"; }
    no_open_passwords
    finish "ALE's location list shows the server's diagnostics of the unsaved buffer, and leaves nginx.conf and iscsid.conf alone"
    ;;

ansible)
    command -v ansible-playbook >/dev/null || skip "ansible is not installed"
    take_recipe 'Use from configuration management' yaml task.yml
    grep -q 'validate:' task.yml || give_up "the Ansible recipe has no validate line"
    ! grep 'validate:' task.yml | grep -qv -e '--quiet' || fail "a validate line without --quiet logs reports, and passwords"
    uses_checker_from_path validate task.yml
    if command -v ansible-lint >/dev/null; then
        mkdir -p lint/roles/iscsi/tasks lint/roles/iscsi/templates
        cp task.yml lint/roles/iscsi/tasks/main.yml && : >lint/roles/iscsi/templates/initiator.conf.j2
        (cd lint && git init -q . && bounded ansible-lint --offline --nocolor --profile production \
            roles/iscsi/tasks/main.yml) >lint.log 2>&1 || { show lint.log; fail "ansible-lint --profile production refuses the task"; }
    else
        echo "(ansible-lint is not installed: the task is not linted)"
    fi
    own_file_as_user task.yml
    dest=$PWD/etc/iscsi/initiator.conf
    mkdir -p etc/iscsi
    {
        printf '%s\n' '- hosts: localhost' '  connection: local' '  gather_facts: false' '  tasks:'
        sed "s|/etc/iscsi/|$PWD/etc/iscsi/|; s/^/    /" task.yml
    } >play.yml
    grep -q "dest: $dest" play.yml || give_up "the recipe's dest is not /etc/iscsi/initiator.conf"
    : >ansible.cfg
    export ANSIBLE_CONFIG=$PWD/ansible.cfg ANSIBLE_PYTHON_INTERPRETER=auto_silent ANSIBLE_NOCOLOR=1 \
        ANSIBLE_LOCALHOST_WARNING=false ANSIBLE_INVENTORY_UNPARSED_WARNING=false \
        ANSIBLE_RETRY_FILES_ENABLED=false ANSIBLE_LOCAL_TEMP=$tmp/ansible
    play() { bounded ansible-playbook -i localhost, -e "iscsi_password=$password" play.yml >ansible.log 2>&1; }
    line() { printf '%s\n' "${1//$password/\{\{ iscsi_password \}\}}"; }

    # A sound render is put in place.
    line "$sound" >initiator.conf.j2
    play || { show ansible.log; fail "a sound render was refused"; }
    [ "$(cat "$dest" 2>/dev/null)" = "$sound" ] || fail "the sound render is not in place"
    private "$dest"
    # A faulty render is refused, with the fault in the log and no password;
    # each run starts without the file, or with other content, since Ansible
    # checks only what would change the file.
    { line "$sound"; line "$wrapped"; line "$faulty"; } >initiator.conf.j2
    rm -f "$dest"
    if play; then show ansible.log; fail "a faulty render was put in place"; fi
    [ ! -e "$dest" ] || fail "the refused render was written"
    grep -q 'failed to validate' ansible.log || { show ansible.log; fail "no validation failure in Ansible's log"; }
    grep -q 'line 3, pos 14, illegal character in address 040' ansible.log ||
        { show ansible.log; fail "the checker's fault is not in Ansible's log"; }
    ! grep -qF "$password" ansible.log || { show ansible.log; fail "a password reached Ansible's log"; }
    printf '%s\n' "$sound" "# kept" >"$dest"
    if play; then show ansible.log; fail "a faulty render replaced a file"; fi
    [ "$(cat "$dest")" = "$sound"$'\n# kept' ] || fail "the file in place changed"
    ! grep -qF "$password" ansible.log || { show ansible.log; fail "a password reached Ansible's log"; }
    finish "the template task puts a sound render in place, refuses a faulty one, and logs no password"
    ;;

puppet)
    command -v puppet >/dev/null || skip "puppet is not installed"
    take_recipe 'Use from configuration management' puppet site.pp
    grep -q 'validate_cmd' site.pp || give_up "the Puppet recipe has no validate_cmd"
    ! grep 'validate_cmd' site.pp | grep -qv -e '--quiet' || fail "a validate_cmd without --quiet logs reports, and passwords"
    uses_checker_from_path validate_cmd site.pp
    own_file_as_user site.pp
    dest=$PWD/etc/iscsi/initiator.conf
    mkdir -p etc/iscsi modules/iscsi/templates
    sed -i "s|'/etc/iscsi/initiator.conf'|'$dest'|" site.pp
    grep -qF "'$dest'" site.pp || give_up "the recipe's file is not /etc/iscsi/initiator.conf"
    template=modules/iscsi/templates/initiator.conf.erb
    state=$tmp/puppet
    # puppet apply --detailed-exitcodes: 0 nothing changed, 2 changed, 4 or 6
    # a resource failed.
    apply() {
        bounded puppet apply --color=false --detailed-exitcodes --confdir="$state/conf" \
            --vardir="$state/var" --codedir="$state/code" --logdir="$state/log" \
            --rundir="$state/run" --publicdir="$state/public" --modulepath="$PWD/modules" \
            site.pp >puppet.log 2>&1
    }
    # Facter's complaints about what a sandbox hides are not the recipe's.
    quiet_facter() { sed -i '/Facter: /d' puppet.log; }

    printf '%s\n' "$sound" >"$template"
    apply
    status=$?
    quiet_facter
    [ "$status" = 2 ] || { show puppet.log; fail "a sound file: puppet apply gave $status, not 2 (changed)"; }
    [ "$(cat "$dest" 2>/dev/null)" = "$sound" ] || fail "the sound file is not in place"
    private "$dest"

    printf '%s\n' "$sound" "$wrapped" "$faulty" >"$template"
    rm -f "$dest"
    apply
    status=$?
    quiet_facter
    case $status in 4 | 6) ;; *) show puppet.log; fail "a faulty file: puppet apply gave $status, not 4 or 6 (failed)" ;; esac
    [ ! -e "$dest" ] || fail "the refused file was written"
    grep -q 'line 3, pos 14, illegal character in address 040' puppet.log ||
        { show puppet.log; fail "the checker's fault is not in Puppet's log"; }
    ! grep -qF "$password" puppet.log || { show puppet.log; fail "a password reached Puppet's log"; }
    printf '%s\n' "$sound" "# kept" >"$dest"
    apply
    quiet_facter
    [ "$(cat "$dest")" = "$sound"$'\n# kept' ] || { show puppet.log; fail "a faulty file replaced the one in place"; }
    finish "the file resource puts a sound file in place, refuses a faulty one, and logs no password"
    ;;

pull-request)
    command -v git >/dev/null || skip "git is not installed"
    take_recipe "The project's options" sh check.sh
    export GIT_CONFIG_NOSYSTEM=1
    git config --global user.email test@example.invalid
    git config --global user.name test
    git init -q -b main upstream
    printf '%s\n' '# the team'"'"'s checks' '--strict -W all' >upstream/.iscsi-config-check
    mkdir upstream/iscsi
    printf '%s\n' "$sound" >upstream/iscsi/a.conf
    { git -C upstream add . && git -C upstream commit -q -m base; } || give_up "git commit"
    git clone -q upstream pr || give_up "git clone"
    cd pr || give_up "cannot enter the clone"
    # The contribution relaxes the options, and turns a warning off in its file.
    git checkout -q -b contribution
    printf '%s\n' '-W no-all' >.iscsi-config-check
    printf '%s\n' '# iscsi-config-check: disable=address-range' "$wrapped" \
        "target = 010.0.0.9 3260 2 Initiator:db04,$password" >iscsi/b.conf
    git add . && git commit -q -m contribution
    iscsi-config-check --format=github --strict iscsi/*.conf >relaxed.log 2>&1 ||
        { show relaxed.log; give_up "under its own rules the contribution should pass"; }
    [ ! -s relaxed.log ] || { show relaxed.log; give_up "under its own rules the contribution should show nothing"; }
    bounded bash -e ../check.sh >base.log 2>&1
    status=$?
    [ "$status" = 2 ] || { show base.log; fail "under the base branch's rules: status $status, not 2"; }
    grep -q '^::warning file=iscsi/b.conf,line=2,.*title=address-range::' base.log ||
        { show base.log; fail "the directive still turned address-range off"; }
    grep -q '^::warning file=iscsi/b.conf,line=3,.*title=leading-zero::' base.log ||
        { show base.log; fail "the contribution's options still applied"; }
    ! grep -qF "$password" base.log || fail "a password reached the log"
    finish "the base branch's options and --no-directives judge a contribution that relaxed both"
    ;;

install)
    command -v make >/dev/null || skip "make is not installed"
    command -v cmake >/dev/null || skip "cmake is not installed"
    [ -f "$build/cmake_install.cmake" ] || give_up "$build is not a CMake build folder"
    version=$(iscsi-config-check --version)
    # make, run in the source folder on the build under test without building
    # it again (the tests run on a finished build).
    run_make() { bounded make -s -C "$root" -o build RELEASE="$build" "$@"; }

    # The README's recipe as written; sudo is this user, and the system
    # folders are a staging root.
    take_recipe Install sh install.sh
    grep -q 'make install' install.sh || give_up "the Install recipe does not use make install"
    # shellcheck disable=SC2317 # (the functions run in the recipe's shell)
    {
        make() { run_make DESTDIR="$tmp/root" "$@"; }
        sudo() { "$@"; }
        if type -P man >/dev/null; then
            man() { MANPATH=$tmp/root/usr/local/share/man command man -P cat "$@"; }
        else
            echo "(man is not installed: the recipe's man is not run)"
            man() { :; }
        fi
    }
    export -f make sudo man run_make bounded
    export root build tmp
    bash -e install.sh >recipe.log 2>&1 || { show recipe.log; fail "the Install recipe failed"; }
    [ "$("$tmp/root/usr/local/bin/iscsi-config-check" --version 2>&1)" = "$version" ] ||
        fail "make install put no working checker in PREFIX/bin (default /usr/local)"
    if type -P man >/dev/null; then
        grep -q '^NAME' recipe.log || { show recipe.log; fail "man did not show the installed page"; }
    fi
    unset -f make sudo man

    # PREFIX and DESTDIR given, as packagers do.
    run_make install DESTDIR="$tmp/stage" PREFIX=/usr >install.log 2>&1 || { show install.log; fail "make install DESTDIR PREFIX"; }
    [ "$("$tmp/stage/usr/bin/iscsi-config-check" --version 2>&1)" = "$version" ] || fail "no working checker in DESTDIR/usr/bin"
    [ -f "$tmp/stage/usr/share/man/man1/iscsi-config-check.1.gz" ] || fail "no manual page in DESTDIR/usr/share/man/man1"
    [ -f "$tmp/stage/usr/share/doc/iscsi-config-check/examples/initiator.conf" ] || fail "no example in DESTDIR/usr/share/doc"
    for file in bash-completion/completions/iscsi-config-check zsh/vendor-completions/_iscsi-config-check \
        fish/vendor_completions.d/iscsi-config-check.fish; do
        [ -f "$tmp/stage/usr/share/$file" ] || fail "no completion script DESTDIR/usr/share/$file"
    done
    [ -s "$build/install_manifest.txt" ] || fail "no install_manifest.txt"
    # The manifest names the files as installed, DESTDIR left out.
    while IFS= read -r file; do
        case $file in /usr/*) [ -f "$tmp/stage$file" ] || fail "$file is not under DESTDIR" ;;
        *) fail "$file is outside PREFIX" ;; esac
    done <"$build/install_manifest.txt"
    finish "make install, as the README gives it, and with PREFIX and DESTDIR"
    ;;

fix)
    command -v git >/dev/null || skip "git is not installed"
    git init -q repo || give_up "git init"
    # A project's --strict makes a diff that is not empty give 2, which
    # fails the pipe under pipefail unless the recipe sees to it.
    printf -- '--strict\n' >repo/.iscsi-config-check
    # The recipe, then the one that keeps the project's options.
    for n in 1 2; do
        take_recipe 'Fixing files' sh apply.sh "$n"
        grep -q -e '--diff' apply.sh || give_up "Fixing files recipe $n does not use --diff"
        rm -rf repo/iscsi expected && mkdir repo/iscsi
        # Every fix (a byte order mark, CRLF line ends, a leading zero, a
        # line of blanks, an indented comment), a file that needs none, and
        # a fault that stays.
        printf '\357\273\277# targets\r\n%s\r\n \t\r\n  # old\r\n' \
            "${sound/10.0.0.1/010.0.0.1}" >repo/iscsi/a.conf
        printf '%s\n' "$sound" >repo/iscsi/b.conf
        printf '%s\r\n' "$faulty" >repo/iscsi/c.conf
        cp -r repo/iscsi expected
        iscsi-config-check --no-config -q --fix expected/*.conf >/dev/null
        (cd repo && iscsi-config-check -q iscsi/a.conf >/dev/null 2>&1; [ $? = 2 ]) || give_up "the project's --strict is not in force"
        (cd repo && bounded bash -e -o pipefail ../apply.sh) >recipe.log 2>&1 || { show recipe.log; fail "recipe $n failed"; }
        for f in a b c; do
            cmp -s "expected/$f.conf" "repo/iscsi/$f.conf" || fail "recipe $n: git apply did not make $f.conf what --fix makes"
        done
        grep -q 'line 1, pos 14, illegal character in address 040' recipe.log ||
            { show recipe.log; fail "recipe $n: the fault that remains is not told"; }
        ! grep -qF "$password" recipe.log || { show recipe.log; fail "recipe $n: a password reached the terminal"; }
    done
    finish "--diff piped to git apply mends the files as --fix does, and tells what remains, under pipefail and --strict"
    ;;

*)
    give_up "unknown group '$group'"
    ;;
esac
