#!/usr/bin/env python3
"""The language server's speed and memory against the command line.

    bench/lsp.py CHECKER GEN_CONFIG [RUNS] [EDITS]

On a document of 10,000 lines of today's mix (gen_config's default seed,
lines the editor cannot hold as UTF-8 left out): the wall time from sending
one didChange (one character typed, incremental sync) to reading the
publishDiagnostics of that version, against the wall time of
`CHECKER --stdin-filename=x.conf <document >/dev/null` run from an empty
folder, interleaved RUNS times (default 30), the minimum of each; then the
server's resident memory after 100 edits and after EDITS (default 10,000).
The same time for a didChange that sends the whole text (full sync) is
shown too.
"""
import json
import os
import re
import subprocess
import sys
import tempfile
import time

checker, gen_config = os.path.abspath(sys.argv[1]), sys.argv[2]
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 30
edits = int(sys.argv[4]) if len(sys.argv) > 4 else 10000

made = subprocess.run([gen_config, "2000000"], capture_output=True, check=True).stdout
lines = []
for line in made.splitlines(True):
    try:
        line.decode()
    except UnicodeDecodeError:
        continue
    lines.append(line)
    if len(lines) == 10000:
        break
document = b"".join(lines)

server = subprocess.Popen([checker, "--lsp"], stdin=subprocess.PIPE, stdout=subprocess.PIPE)


def send(message):
    body = json.dumps(message).encode()
    server.stdin.write(b"Content-Length: %d\r\n\r\n" % len(body) + body)
    server.stdin.flush()


def receive_bytes():
    length = 0
    while True:
        line = server.stdout.readline()
        if line == b"\r\n":
            break
        match = re.match(rb"Content-Length: (\d+)", line)
        if match:
            length = int(match.group(1))
    return server.stdout.read(length)


def receive():
    return json.loads(receive_bytes())


def until_published(version):
    """The publishDiagnostics of `version`, once its last byte is read (the
    time an editor's own parsing takes is not the server's)."""
    wanted = b'"version":%d,' % version
    while True:
        body = receive_bytes()
        if b"publishDiagnostics" in body[:100] and wanted in body[:2000]:
            return body


uri = "untitled:x.conf"
send({"jsonrpc": "2.0", "id": 1, "method": "initialize", "params": {"capabilities": {}}})
receive()
send({"jsonrpc": "2.0", "method": "initialized", "params": {}})
send({"jsonrpc": "2.0", "method": "textDocument/didOpen", "params": {"textDocument": {
    "uri": uri, "languageId": "iscsi", "version": 1, "text": document.decode()}}})
diagnostics = len(json.loads(until_published(1))["params"]["diagnostics"])
version = 1


def edit(full=False):
    """Types a character at the start of line 5000, or deletes it; with
    `full`, sends the whole text, as a client of full sync does."""
    global version
    version += 1
    if full:
        change = {"text": document.decode()}
    elif version % 2 == 0:
        change = {"range": {"start": {"line": 5000, "character": 0},
                            "end": {"line": 5000, "character": 0}}, "text": "#"}
    else:
        change = {"range": {"start": {"line": 5000, "character": 0},
                            "end": {"line": 5000, "character": 1}}, "text": ""}
    # Encoded before the clock starts: the editor's own work is not the
    # server's.
    body = json.dumps({"jsonrpc": "2.0", "method": "textDocument/didChange", "params": {
        "textDocument": {"uri": uri, "version": version}, "contentChanges": [change]}}).encode()
    frame = b"Content-Length: %d\r\n\r\n" % len(body) + body
    start = time.perf_counter()
    server.stdin.write(frame)
    server.stdin.flush()
    until_published(version)
    return time.perf_counter() - start


def rss():
    with open("/proc/%d/status" % server.pid) as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


with tempfile.TemporaryDirectory() as empty:
    cli_times, lsp_times, full_times = [], [], []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run([checker, "--stdin-filename=x.conf"], input=document,
                       stdout=subprocess.DEVNULL, cwd=empty, check=True)
        cli_times.append(time.perf_counter() - start)
        lsp_times.append(edit())
        full_times.append(edit(full=True))
cli, lsp, full = min(cli_times), min(lsp_times), min(full_times)
print("document: %d lines, %d bytes, %d diagnostics" % (len(lines), len(document), diagnostics))
print("--stdin-filename: %.2f ms" % (cli * 1000))
print("didChange to publishDiagnostics, one character: %.2f ms (ratio %.2f)" % (lsp * 1000, lsp / cli))
print("didChange to publishDiagnostics, whole text: %.2f ms (ratio %.2f)" % (full * 1000, full / cli))
while version < 101:
    edit()
early = rss()
while version < edits + 1:
    edit()
print("resident memory after 100 edits: %d KiB, after %d: %d KiB" % (early, version - 1, rss()))
send({"jsonrpc": "2.0", "id": 2, "method": "shutdown"})
send({"jsonrpc": "2.0", "method": "exit"})
server.wait()
