# The checks of a shell test, sourced by it: `check WHAT COMMAND...` runs
# COMMAND and counts it passed or failed; `checks_done NAME` prints the counts
# and fails when a check did.
passed=0
failed=0
check() {
  local what="$1"
  shift
  if "$@"; then
    passed=$((passed + 1))
    echo "ok: $what"
  else
    failed=$((failed + 1))
    echo "FAILED: $what"
  fi
}
checks_done() {
  echo "$1: $passed passed, $failed failed"
  [ "$failed" -eq 0 ]
}
