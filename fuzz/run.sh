#!/usr/bin/env bash
# Runs each fuzz target (every fuzz/fuzz_*.cpp) for a bounded time on a
# corpus seeded from the golden cases, the example and the target's own
# seeds in fuzz/seeds/TARGET; any crash, leak, time-out or sanitizer report
# fails the run.
#
#   fuzz/run.sh FUZZ_BINARY_DIR [SECONDS]
#
# The corpus grows under build/fuzz-corpus/ and is reused by later runs. For a
# long local run: fuzz/run.sh build/fuzz/fuzz 3600
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin_dir=$1
seconds=${2:-60}
corpus_root=$root/build/fuzz-corpus

for source in "$root"/fuzz/fuzz_*.cpp; do
    target=$(basename "$source" .cpp)
    corpus=$corpus_root/$target
    mkdir -p "$corpus" "$corpus_root/artifacts"
    cp -n "$root"/tests/golden/*.conf "$root"/examples/*.conf "$corpus"/ 2>/dev/null || true
    if [ -d "$root/fuzz/seeds/$target" ]; then
        cp -n "$root/fuzz/seeds/$target"/* "$corpus"/ 2>/dev/null || true
    fi
    echo "== $target: $seconds s"
    "$bin_dir/$target" "$corpus" \
        -max_total_time="$seconds" -max_len=4096 -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$corpus_root/artifacts/$target-" \
        2>"$corpus_root/$target.log" || {
        tail -n 60 "$corpus_root/$target.log"
        echo "FAIL: $target"
        exit 1
    }
    grep -E '^(#[0-9]+.*DONE|Done|stat::number_of_executed_units|stat::peak_rss_mb)' \
        "$corpus_root/$target.log" || true
    echo "corpus: $(find "$corpus" -type f | wc -l) files"
done
