#!/usr/bin/env bash
# Builds the libFuzzer harnesses and runs each for the given number of seconds
# (default 20) on a scratch copy of its seed corpus.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
for harness in build/fuzz/fuzz/fuzz_*; do
    [ -x "$harness" ] || continue
    name=$(basename "$harness")
    seeds=fuzz/corpus/${name#fuzz_}
    mkdir -p "$scratch/$name"
    [ -d "$seeds" ] && cp -r "$seeds/." "$scratch/$name/"
    echo "-- $name for ${seconds}s"
    "$harness" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$scratch/" -print_final_stats=0 "$scratch/$name" 2>"$scratch/$name.log" || {
        tail -n 40 "$scratch/$name.log"
        echo "$name found a failure" >&2
        exit 1
    }
    grep -E '^(Done|#[0-9]+ *DONE)' "$scratch/$name.log" | tail -n 1 || true
done
