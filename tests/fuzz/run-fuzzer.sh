#!/usr/bin/env bash
# Runs one fuzzer for a bounded time from its seed corpus, keeping what it
# finds in a throw-away folder so the seeds in the repository stay as they
# are. Prints libFuzzer's final figures (executions per second, coverage).
set -euo pipefail
fuzzer=$(realpath "$1")
seeds=$(realpath "$2")
seconds="${3:-20}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
"$fuzzer" "$work" "$seeds" -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=4096 \
  -timeout=20 2>&1 | grep -vE '^#[0-9]+\s+(NEW|REDUCE|pulse)' | tail -25
exit "${PIPESTATUS[0]}"
