#!/usr/bin/env bash
# Installs what is missing, builds the release and the sanitizer builds and
# runs every test in both; then cross-compiles the Windows build and runs its
# tests and the smoke test of the viewer under Wine; then makes the Debian
# package, the Windows zip and the Windows installer and tests them as their
# users meet them (the package is installed and purged on this machine, the
# installer installed, upgraded and uninstalled under Wine).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh all

# Every ctest run's counts add up to the closing line.
passed=0
failed=0
count() {
  local line
  line=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1) || true
  if [ -z "$line" ]; then  # ctest itself failed: count it as one failure
    failed=$((failed + 1))
    return
  fi
  local total=${line##* out of }
  local bad=${line#*, }
  bad=${bad%% tests failed*}
  passed=$((passed + total - bad))
  failed=$((failed + bad))
}
run_ctest() {
  local log
  log=$(mktemp)
  ctest --preset "$1" | tee "$log" || true
  count "$log"
  rm -f "$log"
}
# A check that is one test: counted as one, passed or failed.
run_check() {
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $*"
  fi
}

for preset in release sanitize; do
  echo "== $preset build"
  cmake --preset "$preset"
  cmake --build --preset "$preset"
  echo "== $preset tests"
  run_ctest "$preset"
done

echo "== windows build"
cmake --preset windows
cmake --build --preset windows
echo "== windows tests (under Wine)"
run_ctest windows
echo "== windows smoke test (under Wine)"
run_check timeout 900 scripts/wine-smoke.sh

echo "== packages: the Debian package, the Windows zip and the Windows installer"
scripts/package.sh release
run_check timeout 600 tests/package/check_packages.sh build/package build/release/tools/bmpgen/bmpgen \
  build/windows/tests/windows/window_probe.exe
run_check timeout 900 tests/package/check_msi.sh build/package build/release/tools/bmpgen/bmpgen \
  build/windows/tests/windows/window_probe.exe

# A short fuzz run over the loader and every renderer; a crash, a hang or a
# memory blow-up fails the run.
echo "== fuzz"
run_check scripts/fuzz.sh 60

echo "tests: $passed passed, $failed failed"
# The count comes first; then a failure fails the command.
[ "$failed" -eq 0 ]
