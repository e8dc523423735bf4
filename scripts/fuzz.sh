#!/usr/bin/env bash
# Builds the fuzz preset and runs the loader fuzzer for SECONDS (default 60),
# seeded with files of every layout, header kind and row order from bmpgen.
# Crashes, hangs and memory blow-ups are written to FINDINGS (default
# build/fuzz/findings); the run fails when there is one.
#
#   scripts/fuzz.sh [SECONDS] [FINDINGS]
#
# Inputs that reach new code collect in build/fuzz/corpus, so a later run
# starts where an earlier one stopped.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds="${1:-60}"
findings="${2:-build/fuzz/findings}"
scripts/setup.sh all

cmake --preset fuzz
cmake --build --preset fuzz -j2

build=build/fuzz
seeds="$build/seeds"
corpus="$build/corpus"
rm -rf "$seeds"
mkdir -p "$seeds" "$corpus" "$findings"
"$build/tools/bmpgen/bmpgen" --corpus "$seeds" >/dev/null

# Bounds of one input, which is at most 8 KiB. Whatever a file declares, its
# load may cost the file, the surface and a small constant. A surface may be as
# large as 16384 x 16384 pixels, 1 GiB, which the drawing layer maps lazily: a
# few thousand bytes of run-length deltas touch all of it, and the kernel then
# zeroes a gigabyte, which takes seconds on a slow machine. Hence: resident
# memory up to that gigabyte plus the fuzzer's own ~350 MiB (the sanitizer's
# quarantine included); no single allocation beyond the largest surface; 10 s
# per input.
before=$(find "$findings" -type f | wc -l)
status=0
"$build/fuzz/rastelle_loader_fuzzer" \
  -max_total_time="$seconds" \
  -rss_limit_mb=2048 \
  -malloc_limit_mb=1024 \
  -timeout=10 \
  -max_len=8192 \
  -print_final_stats=1 \
  -artifact_prefix="$findings/" \
  "$corpus" "$seeds" >"$build/fuzz.log" 2>&1 || status=$?
grep -E '^#[0-9]+[[:space:]]+(INITED|DONE)|^stat::' "$build/fuzz.log" || true

found=$(($(find "$findings" -type f | wc -l) - before))
if ((status != 0 || found != 0)); then
  tail -n 60 "$build/fuzz.log" >&2
  echo "fuzz: $found new finding(s) in $findings, fuzzer exit status $status; log in $build/fuzz.log" >&2
  exit 1
fi
echo "fuzz: no findings in $seconds s"
