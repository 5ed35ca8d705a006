#!/usr/bin/env python3
"""The language server driven through pipes, as an editor drives it.

    lsp_test.py CHECKER GEN_CONFIG SOURCE_DIR GROUP

GROUP is one of: diagnostics (every golden case and generated text, in
UTF-16 and UTF-8, against the gcc format of --stdin-filename with the same
file of options, notes included; hover against --explain), fixes (the
fix-all action and formatting applied against --fix), settings (a refused
file of options, a document that is no file), frames (every malformed frame
and the lifecycle's statuses).
"""
import glob
import json
import os
import re
import subprocess
import sys
import tempfile

checker, gen_config, source, group = sys.argv[1:5]
failures = []


def fail(what):
    failures.append(what)
    print("FAIL: " + what, file=sys.stderr)


def frame(message):
    body = message if isinstance(message, bytes) else json.dumps(message).encode()
    return b"Content-Length: %d\r\n\r\n" % len(body) + body


def request(ident, method, params=None):
    return {"jsonrpc": "2.0", "id": ident, "method": method, "params": params or {}}


def notification(method, params=None):
    return {"jsonrpc": "2.0", "method": method, "params": params or {}}


def session(messages, encodings=None, raw=b"", hover="plaintext", watch=False, between=None):
    """Runs the server on the messages, framed, then `raw`; returns the
    status, the messages written and standard error. `between(k)` runs
    before the message k is written."""
    start = [request(0, "initialize", {"capabilities": {
        "general": {"positionEncodings": encodings or ["utf-16"]},
        "workspace": {"didChangeWatchedFiles": {"dynamicRegistration": watch}},
        "textDocument": {"hover": {"contentFormat": [hover]}}}})]
    if between is not None:
        server = subprocess.Popen([checker, "--lsp"], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        found = []
        for k, message in enumerate(start + messages):
            between(k - 1)
            server.stdin.write(frame(message))
            server.stdin.flush()
            if message.get("method") not in ("shutdown", "exit"):
                found += time_to_judge(server)
        out, err = server.communicate()
        return server.returncode, found + parse_frames(out), err
    data = b"".join(frame(m) for m in start + messages) + raw
    run = subprocess.run([checker, "--lsp"], input=data, capture_output=True, timeout=600)
    return run.returncode, parse_frames(run.stdout), run.stderr


def time_to_judge(server):
    """Writes a request and waits for its answer: every message before it
    has been handled."""
    server.stdin.write(frame(request(77777, "no/such")))
    server.stdin.flush()
    found = []
    while True:
        header = server.stdout.readline()
        length = int(header.split(b":")[1])
        server.stdout.readline()
        message = json.loads(server.stdout.read(length))
        if message.get("id") == 77777:
            return found
        found.append(message)


def parse_frames(out):
    found = []
    while out:
        match = re.match(rb"Content-Length: (\d+)\r\n\r\n", out)
        if not match:
            fail("not a frame on standard output: %r" % out[:80])
            break
        end = match.end() + int(match.group(1))
        found.append(json.loads(out[match.end():end]))
        out = out[end:]
    return found


def ending():
    return [request(9999, "shutdown"), notification("exit")]


def lines_of(text):
    """The offsets where the editor's lines start: after \\n, \\r\\n, \\r."""
    starts = [0]
    for match in re.finditer(rb"\r\n|\r|\n", text):
        starts.append(match.end())
    return starts


def offset_of(text, starts, position, encoding):
    line = position["line"]
    if line >= len(starts):
        return len(text)
    start = starts[line]
    end = starts[line + 1] if line + 1 < len(starts) else len(text)
    content = re.sub(rb"(\r\n|\r|\n)$", b"", text[start:end])
    units, at = 0, start
    for char in content.decode():
        width = len(char.encode()) if encoding == "utf-8" else len(char.encode("utf-16-le")) // 2
        if units + width > position["character"]:
            break
        units += width
        at += len(char.encode())
    return at


def gcc_place(text, offset):
    """The gcc format's line, and its column: the byte's from 1."""
    line_start = text.rfind(b"\n", 0, offset) + 1
    return text.count(b"\n", 0, offset) + 1, offset - line_start + 1


def apply_edits(text, edits, encoding):
    starts = lines_of(text)
    spans = sorted(((offset_of(text, starts, e["range"]["start"], encoding),
                     offset_of(text, starts, e["range"]["end"], encoding), e["newText"])
                    for e in edits), reverse=True)
    for start, end, new in spans:
        text = text[:start] + new.encode() + text[end:]
    return text


def cli(args, text):
    return subprocess.run([checker] + args, input=text, capture_output=True).stdout


def inputs():
    """Every golden case and generated text the editor can carry (UTF-8)."""
    texts = {}
    for path in sorted(glob.glob(os.path.join(source, "tests/golden/*.conf"))):
        texts[os.path.basename(path)] = open(path, "rb").read()
    for mode in ("mix", "faults"):
        made = subprocess.run([gen_config, "--mode=" + mode, "300000"], capture_output=True).stdout
        texts[mode] = made
    # A byte order mark, tabs, CRLF and lone CR ends, characters of two,
    # three and four bytes before faults, and a password past a hide point.
    texts["multibyte"] = ("\ufefftarget = 1.2.3.4 3260 2 Initiator:h,p\r\n"
                          "#\u00e9\U0001F600\ttarget\r"
                          "target\t=\t1.2.3.4 3260 2 Initiator:h\u00e9,p\n"
                          "\u20ac target = 1.2.3 3260 2 Initiator:h,p\n"
                          "# iscsi-config-check: disable=\U0001F600,bom\n"
                          "target = 1.2.3.4 3260 2 Initiator:h,0123456789abcdefx\n"
                          "target = 1.2.3.4 3260 2 Initiator:h,p\u00e9 \U0001F600\r\n").encode()
    usable = {}
    for name, text in texts.items():
        try:
            text.decode()
            usable[name] = text
        except UnicodeDecodeError:
            # Lines the editor could not hold are left out.
            usable[name] = b"".join(l for l in text.splitlines(True) if is_utf8(l))
    return usable


def is_utf8(data):
    try:
        data.decode()
        return True
    except UnicodeDecodeError:
        return False


def open_all(folder, texts):
    messages = []
    for k, (name, text) in enumerate(sorted(texts.items())):
        messages.append(notification("textDocument/didOpen", {"textDocument": {
            "uri": "file://" + folder + "/" + name, "languageId": "iscsi", "version": k + 1,
            "text": text.decode()}}))
    return messages


def published(found):
    return {m["params"]["uri"]: m["params"] for m in found
            if m.get("method") == "textDocument/publishDiagnostics"}


def check_diagnostics(folder, texts):
    for encoding in ("utf-16", "utf-8"):
        status, found, _ = session(open_all(folder, texts) + ending(), [encoding])
        if status != 0:
            fail("%s: status %d" % (encoding, status))
        diagnostics = published(found)
        # The texts give every check.
        seen = {d.get("code") for p in diagnostics.values() for d in p["diagnostics"]}
        listed = {l.split("\t")[0] for l in cli(["--list-checks"], b"").decode().splitlines()}
        if listed - seen:
            fail("%s: no diagnostic of %s" % (encoding, sorted(listed - seen)))
        hovers = []
        for name, text in sorted(texts.items()):
            expected = cli(["--config=" + folder + "/.iscsi-config-check", "--format=gcc",
                            "--stdin-filename=" + name], text).decode(errors="replace")
            starts = lines_of(text)
            got = []
            for d in diagnostics["file://%s/%s" % (folder, name)]["diagnostics"]:
                start = offset_of(text, starts, d["range"]["start"], encoding)
                end = offset_of(text, starts, d["range"]["end"], encoding)
                line, column = gcc_place(text, start)
                kind = "error" if d["severity"] == 1 else "warning"
                code = d["code"] if kind == "error" else "-W" + d["code"]
                got.append("%s:%d:%d: %s: %s [%s]" % (name, line, column, kind, d["message"], code))
                for note in d.get("relatedInformation", []):
                    nline, ncolumn = gcc_place(text, offset_of(text, starts, note["location"]["range"]["start"], encoding))
                    got.append("%s:%d:%d: note: %s" % (name, nline, ncolumn, note["message"]))
                # One character wide, a line break, or empty: never a
                # password's length.
                width = text[start:end]
                if len(width.decode()) > 1 and not re.fullmatch(rb"\r?\n?", width):
                    fail("%s %s: range %r wider than a character" % (encoding, name, width))
                if end > start and d["code"].startswith("password"):
                    fail("%s: a password's fault has a range that is not empty" % name)
                hovers.append((d, name))
            if "\n".join(got) != expected.rstrip("\n"):
                fail("%s %s: diagnostics differ:\n%s\n--- expected\n%s" % (encoding, name, "\n".join(got[:20]), expected[:2000]))
        # Hover on each check's first diagnostic that no other overlaps.
        if encoding == "utf-16":
            check_hover(folder, texts, diagnostics)


def check_hover(folder, texts, diagnostics):
    asked, wanted = [], []
    for uri, params in diagnostics.items():
        spans = params["diagnostics"]
        for d in spans:
            if d["code"] in (w[0] for w in wanted):
                continue
            place = lambda p: (p["line"], p["character"])
            others = [o for o in spans if o is not d and
                      place(o["range"]["start"]) <= place(d["range"]["start"]) <= place(o["range"]["end"])]
            if others:
                continue
            asked.append(request(len(asked) + 1, "textDocument/hover", {
                "textDocument": {"uri": uri}, "position": d["range"]["start"]}))
            wanted.append((d["code"], len(asked)))
    status, found, _ = session(open_all(folder, texts) + asked + ending())
    answers = {m.get("id"): m for m in found if "id" in m}
    for code, ident in wanted:
        explained = cli(["--explain", code], b"").decode()
        got = (answers.get(ident, {}).get("result") or {}).get("contents", {}).get("value")
        if got != explained:
            fail("hover on %s: %r" % (code, got))
    if len(wanted) < 10:
        fail("hover tried on only %d checks" % len(wanted))


def check_fixes(folder, texts):
    asked = []
    names = sorted(texts)
    for k, name in enumerate(names):
        uri = "file://%s/%s" % (folder, name)
        asked.append(request(2 * k + 1, "textDocument/codeAction", {
            "textDocument": {"uri": uri}, "context": {"diagnostics": [], "only": ["source.fixAll"]},
            "range": {"start": {"line": 0, "character": 0}, "end": {"line": 0, "character": 0}}}))
        asked.append(request(2 * k + 2, "textDocument/formatting", {
            "textDocument": {"uri": uri}, "options": {"tabSize": 8, "insertSpaces": False}}))
    # A quickfix makes its line's fixes, as --fix does; completion in a
    # directive offers the warnings' names.
    uri = "file://%s/multibyte" % folder
    asked.append(request(1000, "textDocument/codeAction", {
        "textDocument": {"uri": uri}, "context": {"diagnostics": [], "only": ["quickfix"]},
        "range": {"start": {"line": 0, "character": 0}, "end": {"line": 0, "character": 0}}}))
    asked.append(request(1001, "textDocument/completion", {
        "textDocument": {"uri": uri}, "position": {"line": 4, "character": 35}}))
    status, found, _ = session(open_all(folder, texts) + asked + ending())
    answers = {m.get("id"): m.get("result") for m in found if "id" in m}
    text = texts["multibyte"]
    actions = answers.get(1000) or [{}]
    edits = actions[0].get("edit", {}).get("changes", {}).get(uri, [])
    if len(actions) != 2 or apply_edits(text, edits, "utf-16").split(b"\n")[0] != \
            cli(["--no-config", "--fix", "--stdin-filename=a"], text).split(b"\n")[0]:
        fail("quickfix on line 1: %r" % answers.get(1000))
    items = {i["label"]: i for i in answers.get(1001) or []}
    bom = items.get("bom", {})
    if len(items) < 10 or "parse" in items or bom.get("detail") != "a byte order mark at the start of the file" or \
            bom["textEdit"]["range"] != {"start": {"line": 4, "character": 33}, "end": {"line": 4, "character": 35}}:
        fail("completion: %r" % answers.get(1001))
    for k, name in enumerate(names):
        text = texts[name]
        fixed = cli(["--no-config", "--fix", "--stdin-filename=" + name], text)
        actions = answers.get(2 * k + 1) or []
        edits = actions[0]["edit"]["changes"]["file://%s/%s" % (folder, name)] if actions else []
        if apply_edits(text, edits, "utf-16") != fixed:
            fail("fix-all on %s differs from --fix" % name)
        if apply_edits(text, answers.get(2 * k + 2) or [], "utf-16") != fixed:
            fail("formatting of %s differs from --fix" % name)
        if (fixed != text) != bool(actions):
            fail("%s: a fix-all action only where --fix changes something" % name)


def check_settings(folder):
    refused = folder + "/refused"
    os.mkdir(refused)
    os.symlink(folder + "/.iscsi-config-check", refused + "/.iscsi-config-check")
    text = "target = 1.2.3.4 3260 2 Initiator:h,p\r\n"
    status, found, _ = session([
        notification("textDocument/didOpen", {"textDocument": {
            "uri": "file://" + refused + "/a.conf", "languageId": "iscsi", "version": 1, "text": text}}),
        notification("textDocument/didOpen", {"textDocument": {
            "uri": "file://" + refused + "/b.conf", "languageId": "iscsi", "version": 1, "text": text}}),
        notification("textDocument/didOpen", {"textDocument": {
            "uri": "untitled:Untitled-1", "languageId": "iscsi", "version": 1,
            "text": "target = 010.0.0.1 3260 2 Initiator:h,p\n"}})] + ending())
    shown = [m for m in found if m.get("method") == "window/showMessage"]
    expected = checker + ": %s/.iscsi-config-check: is a symbolic link (use --config=FILE or --no-config)" % refused
    if len(shown) != 1 or shown[0]["params"]["message"] != expected:
        fail("refusal shown: %r" % shown)
    diagnostics = published(found)
    for name in ("a.conf", "b.conf"):
        got = diagnostics["file://%s/%s" % (refused, name)]["diagnostics"]
        if [(d["severity"], d["message"], d["range"]["start"]) for d in got] != [(1, expected, {"line": 0, "character": 0})]:
            fail("refused %s: %r" % (name, got))
    # A document that is no file gets the defaults: no warning.
    if diagnostics["untitled:Untitled-1"]["diagnostics"] != []:
        fail("untitled: %r" % diagnostics["untitled:Untitled-1"])

    # A folder's name escaped in the URI is the folder's; a zero byte makes
    # no file.
    spaced = folder + "/a b%"
    os.mkdir(spaced)
    with open(spaced + "/.iscsi-config-check", "w") as written:
        written.write("-W leading-zero\n")
    zero = "target = 010.0.0.1 3260 2 Initiator:h,p\n"
    status, found, _ = session([
        notification("textDocument/didOpen", {"textDocument": {
            "uri": "file://" + folder + "/a%20b%25/x.conf", "languageId": "iscsi", "version": 1, "text": zero}}),
        notification("textDocument/didOpen", {"textDocument": {
            "uri": "file://" + folder + "/a%20b%25/x%00.conf", "languageId": "iscsi", "version": 1, "text": zero}})]
        + ending())
    got = [[d["code"] for d in m["params"]["diagnostics"]] for m in found
           if m.get("method") == "textDocument/publishDiagnostics"]
    if got != [["leading-zero"], []]:
        fail("escaped names: %r" % got)

    # A file of options written, then changed, as the editor tells of it,
    # judges the document again; so do its changes, whole or in part.
    later = folder + "/later"
    os.mkdir(later)
    uri = "file://" + later + "/a.conf"
    options = "file://" + later + "/.iscsi-config-check"

    def write_options(k):
        if k == 2:
            with open(later + "/.iscsi-config-check", "w") as written:
                written.write("-W leading-zero\n")
        if k == 3:
            with open(later + "/.iscsi-config-check", "w") as written:
                written.write("-W all\n")

    status, found, _ = session([
        notification("initialized"),
        notification("textDocument/didOpen", {"textDocument": {
            "uri": uri, "languageId": "iscsi", "version": 1, "text": "target = 010.0.0.1 3260 2 Initiator:h,p\n"}}),
        notification("workspace/didChangeWatchedFiles", {"changes": [{"uri": options, "type": 1}]}),
        notification("textDocument/didSave", {"textDocument": {"uri": options}}),
        notification("textDocument/didChange", {"textDocument": {"uri": uri, "version": 2}, "contentChanges": [
            {"range": {"start": {"line": 0, "character": 9}, "end": {"line": 0, "character": 10}}, "text": "1"}]}),
        notification("textDocument/didChange", {"textDocument": {"uri": uri, "version": 3}, "contentChanges": [
            {"text": "target = 1.2.3.4 3260 2 Initiator:h,p\ntarget = 1.2.3.4 3260 2 Initiator:h,p\n"}]}),
        request(1, "textDocument/hover", {"textDocument": {"uri": uri}, "position": {"line": 1, "character": 9}}),
        notification("textDocument/didClose", {"textDocument": {"uri": uri}}),
    ] + ending(), hover="markdown", watch=True, between=write_options)
    got = [(m["params"].get("version"), [d["code"] for d in m["params"]["diagnostics"]])
           for m in found if m.get("method") == "textDocument/publishDiagnostics"]
    if got != [(1, []), (1, ["leading-zero"]), (1, ["leading-zero"]), (2, []),
               (3, ["duplicate-target"]), (None, [])]:
        fail("judged again: %r" % got)
    registered = [m for m in found if m.get("method") == "client/registerCapability"]
    if len(registered) != 1 or "**/.iscsi-config-check" not in json.dumps(registered):
        fail("no watch asked for: %r" % registered)
    hover = [m for m in found if m.get("id") == 1 and "method" not in m]
    explained = cli(["--explain", "duplicate-target"], b"").decode()
    if not hover or (hover[0].get("result") or {}).get("contents") != {"kind": "markdown", "value": "```text\n" + explained + "```\n"}:
        fail("markdown hover: %r" % hover)


def check_frames():
    broken = [
        (b"Content-Type: x\r\n\r\n{}", "a frame's header has no Content-Length"),
        (b"Content-Length: 67108865\r\n\r\n", "a frame's Content-Length is not a number of at most 67108864 bytes"),
        (b"Content-Length: 1x\r\n\r\n{}", "a frame's Content-Length is not a number of at most 67108864 bytes"),
        (b"Content-Length: -1\r\n\r\n{}", "a frame's Content-Length is not a number of at most 67108864 bytes"),
        (b"Content-Length: 10\r\nContent-Length: 11\r\n\r\n", "a frame's header gives two lengths"),
        (b"no colon\r\n\r\n", "a frame's header holds a line that is no field"),
        (b"Content-Length: 100\r\n\r\n{\"jsonrpc\"", "the input ended inside a frame"),
        (b"Content-Length: 10", "the input ended inside a frame's header"),
        (b"X: " + b"y" * 70000, "a frame's header is longer than 65536 bytes"),
    ]
    for raw, reason in broken:
        status, found, err = session([], raw=raw)
        if status != 1 or err.decode() != "%s: %s\n" % (checker, reason) or len(found) != 1:
            fail("frame %r: status %d, %r, %d messages" % (raw[:40], status, err, len(found)))
    # Bodies the server answers and goes on: each answer, then shutdown's.
    answered = [
        (b"{not json", -32700), (b"", -32700), (b"[" * 100000, -32700),
        (b"\"\xff\"", -32700), (b"[1]", -32600), (b"3", -32600),
        (b'{"jsonrpc":"1.0","id":1,"method":"x"}', -32600),
        (b'{"jsonrpc":"2.0","id":[1],"method":"x"}', -32600),
        (json.dumps(request(5, "workspace/symbol")).encode(), -32601),
        (json.dumps(request(6, "textDocument/hover", {"position": 1})).encode(), -32602),
    ]
    status, found, err = session([m for m, _ in answered] + [notification("no/such")] + ending())
    codes = [m.get("error", {}).get("code") for m in found[1:]]
    if status != 0 or codes != [c for _, c in answered] + [None] or err:
        fail("answered: status %d, %r, %r" % (status, codes, err))
    # Before initialize, a request is refused; exit without shutdown, or
    # the end of input without exit, is status 1.
    data = frame(request(1, "shutdown")) + frame(notification("exit"))
    run = subprocess.run([checker, "--lsp"], input=data, capture_output=True)
    if run.returncode != 1 or b"-32002" not in run.stdout:
        fail("before initialize: %d %r" % (run.returncode, run.stdout))
    for tail in ([notification("exit")], []):
        status, found, _ = session(tail)
        if status != 1:
            fail("no shutdown: status %d" % status)
    # A request after shutdown is refused; output that cannot be written
    # ends the server.
    status, found, _ = session([request(1, "shutdown"), request(2, "shutdown"), notification("exit")])
    if status != 0 or [m.get("error", {}).get("code") for m in found[1:]] != [None, -32600]:
        fail("after shutdown: %d %r" % (status, found))
    with open("/dev/full", "wb") as full:
        run = subprocess.run([checker, "--lsp"], input=frame(request(0, "initialize", {})),
                             stdout=full, stderr=subprocess.PIPE)
    if run.returncode != 1 or run.stderr.decode() != "failed to write output\n":
        fail("/dev/full: %d %r" % (run.returncode, run.stderr))
    # Nothing on standard output but frames, and the usage of --lsp.
    run = subprocess.run([checker, "--lsp", "a.conf"], capture_output=True)
    if run.returncode != 1 or run.stdout or b"--lsp reads its documents" not in run.stderr:
        fail("--lsp with a file: %r" % run.stderr)


with tempfile.TemporaryDirectory() as folder:
    folder = os.path.realpath(folder)
    os.chmod(folder, 0o755)
    with open(folder + "/.iscsi-config-check", "w") as options:
        options.write("-W all\n")
    if group == "diagnostics":
        check_diagnostics(folder, inputs())
    elif group == "fixes":
        check_fixes(folder, inputs())
    elif group == "settings":
        check_settings(folder)
    elif group == "frames":
        check_frames()
    else:
        fail("no group " + group)
sys.exit(1 if failures else 0)
