#!/usr/bin/env bash
# A bounded fuzzing run: run-fuzzer.sh FUZZER SEED-CORPUS WORK-DIR SECONDS
# Starts from the checked-in seeds plus whatever earlier runs in WORK-DIR found,
# never writes into the seeds, and fails on any finding (the fuzzer exits non-zero
# and leaves the input that triggered it in WORK-DIR).
set -euo pipefail
fuzzer=$1 seeds=$2 work=$3 seconds=$4
mkdir -p "$work/corpus"
cd "$work"
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
exec "$fuzzer" -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -print_final_stats=1 -artifact_prefix="$work/" corpus "$seeds"
