#!/usr/bin/env bash
# Runs a fuzz campaign: each libFuzzer target in turn for the given number of seconds (60 unless
# told), starting from its seed corpus in tests/fuzz/corpus. The inputs it finds go to
# build/fuzz-corpus/<target>, so the repository's corpus changes only by hand; an input that breaks
# a property or trips a sanitizer is written to build/fuzz-findings/.
set -euo pipefail
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
seconds=${1:-60}
# AddressSanitizer's quarantine of freed memory (256 MB) grows a long campaign past libFuzzer's
# memory limit; a smaller one still catches use after a recent free.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=64}

build_preset native-sanitize whole_run_fuzzer argument_text_fuzzer

for fuzzed in whole_run argument_text; do
  mkdir -p "build/fuzz-corpus/$fuzzed" build/fuzz-findings
  echo "== $fuzzed: $seconds s"
  "build/native-sanitize/bin/${fuzzed}_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="build/fuzz-findings/$fuzzed-" "build/fuzz-corpus/$fuzzed" \
    "tests/fuzz/corpus/$fuzzed"
done
