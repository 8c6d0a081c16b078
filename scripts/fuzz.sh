#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Builds the libFuzzer targets and runs each for a bounded time, starting from the
# committed seed corpus (copied, so the repository's corpus is left as it is). The fuzz
# build gives the reader, decoder and writer 16-byte buffers, and inputs reach 64 KiB,
# so that every buffer edge is met.
# Usage: fuzz.sh [seconds per target, default 30]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for target in calculate val csv_log csv_reader dates chart log_json consumptions; do
  mkdir -p "$work/$target"
  if ! (cd "$work" && "$OLDPWD/build/fuzz/fuzz/fuzz_$target" -max_total_time="$seconds" -max_len=65536 \
        "$work/$target" "$OLDPWD/fuzz/corpus/$target" > "$work/$target.log" 2>&1); then
    tail -n 40 "$work/$target.log"
    mkdir -p build/fuzz-findings && cp "$work"/crash-* "$work"/leak-* "$work"/timeout-* build/fuzz-findings/ 2>/dev/null || true
    echo "fuzz_$target: FOUND A FAILURE (inputs in build/fuzz-findings)"
    exit 1
  fi
  echo "fuzz_$target: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "$work/$target.log"), no failure"
done
