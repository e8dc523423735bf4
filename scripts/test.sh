#!/usr/bin/env bash
# Installs what is missing, builds the release and the sanitizer builds and
# runs every test in both; then cross-compiles the Windows build and runs its
# tests and the smoke test of the viewer under Wine.
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

echo "== windows build"
cmake --preset windows
cmake --build --preset windows
echo "== windows tests (under Wine)"
ctest --preset windows
echo "== windows smoke test (under Wine)"
timeout 900 scripts/wine-smoke.sh

# A short fuzz run over the loader and every renderer; a crash, a hang or a
# memory blow-up fails the run.
echo "== fuzz"
scripts/fuzz.sh 60
