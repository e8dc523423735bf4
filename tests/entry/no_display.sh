#!/usr/bin/env bash
# Started where there is no display, the viewer says so in one line on
# standard error and ends with status 1, rather than ending quietly with 0 as
# if the user had closed its window. CTest's timeout catches a hang.
#
#   no_display.sh VIEWER
set -uo pipefail
viewer="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# A display number no server answers at: the first without a socket.
number=99
while [ -e "/tmp/.X11-unix/X$number" ]; do number=$((number + 1)); done

failed=0
# what, the line expected on standard error, then variables for the viewer's
# environment, which has no display of any kind besides them (the runtime
# folder is empty, so no Wayland compositor's socket is found there either).
check() {
  local what="$1" expected="$2"
  shift 2
  env -u DISPLAY -u WAYLAND_DISPLAY XDG_RUNTIME_DIR="$work" "$@" \
    "$viewer" </dev/null >"$work/out" 2>"$work/err"
  local status=$?
  if [ "$status" -ne 1 ]; then
    echo "FAILED: $what: exit status $status, expected 1"
    failed=1
  fi
  if [ "$(cat "$work/err")" != "$expected" ]; then
    echo "FAILED: $what: standard error was:"
    sed 's/^/  /' "$work/err"
    echo "expected: $expected"
    failed=1
  fi
  if [ -s "$work/out" ]; then
    echo "FAILED: $what: wrote to standard output"
    failed=1
  fi
}

check "DISPLAY not set" "rastelle: cannot open a display (DISPLAY is not set)"
check "DISPLAY=:$number, no server" "rastelle: cannot open a display (DISPLAY=:$number does not answer)" \
  DISPLAY=":$number"
exit "$failed"
