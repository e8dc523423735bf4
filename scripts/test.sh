#!/usr/bin/env bash
# Installs what is missing, builds the release and the sanitizer builds and
# runs every test in both.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

for preset in release sanitize; do
  echo "== $preset build"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  echo "== $preset tests"
  ctest --preset "$preset"
done

# A short fuzz run over the loader and every renderer; a crash, a hang or a
# memory blow-up fails the run.
echo "== fuzz"
scripts/fuzz.sh 60
