#!/usr/bin/env bash
# Checks a SARIF log of the checker with the readers of the format: the SARIF
# 2.1.0 JSON schema (Python's jsonschema) and the SARIF multitool's validate,
# which must report no schema error and nothing from its SARIF1xxx rules.
#
#   sarif_validate.sh CHECKER TOOLS_DIR
#
# TOOLS_DIR holds node_modules with @microsoft/sarif-multitool and
# @microsoft/jest-sarif (which ships the schema); .ci/run installs them there.
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
checker=$(realpath "$1") tools=$(realpath "$2")
schema=$tools/node_modules/@microsoft/jest-sarif/lib/schemas/sarif-2.1.0-rtm.5.json
multitool=$tools/node_modules/.bin/sarif-multitool
if [ ! -f "$schema" ] || [ ! -x "$multitool" ] || ! python3 -c 'import jsonschema' 2>/dev/null; then
    echo "SKIP: the SARIF schema, the multitool or python3-jsonschema is not installed"
    exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cd "$tmp" || exit 2
fail() { echo "FAIL: $*"; exit 1; }

# Every kind of result: each error, each warning, names that need encoding,
# and a file that cannot be opened.
cat "$root"/tests/golden/*.conf >all.conf
printf '\357\273\277x\r\ntarget = 010.0.0.1 0 70000 Initiator:h,p\t#\ntarget = 010.0.0.1 0 1 Initiator:h,p\n#%600s\n' '' >'w a:r%n.conf'
"$checker" --format=sarif -W all all.conf 'w a:r%n.conf' missing.conf >log.sarif 2>/dev/null
[ $? = 1 ] || fail "status, expected 1"

python3 - "$schema" log.sarif <<'PY' || fail "the log does not match the schema"
import json, sys
import jsonschema
schema = json.load(open(sys.argv[1]))
log = json.load(open(sys.argv[2]))
jsonschema.Draft4Validator(schema).validate(log)
print("schema: %d results" % len(log["runs"][0]["results"]))
PY

"$multitool" validate log.sarif -j "$schema" -o report.sarif --level Error Warning Note >multitool.out 2>&1 ||
    { cat multitool.out; fail "the multitool failed"; }
python3 - report.sarif <<'PY' || fail "the multitool found faults"
import json, sys
results = json.load(open(sys.argv[1]))["runs"][0]["results"]
faults = [r for r in results if r["ruleId"].startswith("SARIF1") or r.get("level") == "error"]
for r in faults:
    print(r["ruleId"], r.get("message", {}).get("arguments"))
advice = sorted({r["ruleId"] for r in results} - {r["ruleId"] for r in faults})
print("multitool: no SARIF1xxx result; advice from", " ".join(advice))
sys.exit(1 if faults else 0)
PY
