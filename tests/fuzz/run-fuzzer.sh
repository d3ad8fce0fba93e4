#!/usr/bin/env bash
# Runs one fuzzer for a bounded time from its seed corpus, keeping what it
# finds, and any crash's input, in a throw-away folder so the seeds in the
# repository stay as they are. Prints libFuzzer's final figures (executions
# per second, coverage); fails as the fuzzer does.
#
#     run-fuzzer.sh FUZZER SEEDS [SECONDS]
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$1" "$work" "$2" -max_total_time="${3:-20}" -artifact_prefix="$work/" -print_final_stats=1 \
  -rss_limit_mb=4096 -timeout=20 2>&1 | grep -vE '^#[0-9]+\s+(NEW|REDUCE|pulse)' | tail -25
