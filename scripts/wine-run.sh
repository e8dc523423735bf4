#!/usr/bin/env bash
# Runs a program of the Windows build under Wine: ctest's emulator for the
# cross build, and the smoke test's way to start the viewer.
#   scripts/wine-run.sh PROGRAM.exe [ARGUMENTS...]
# - Wine keeps its state in build/wine (RASTELLE_WINEPREFIX overrides), made
#   on first use; that takes some seconds once.
# - Wine runs in the C locale, whose ANSI code page is 1252, not 932: the
#   Japanese texts show right only because the program converts them itself.
# - Without a DISPLAY the program gets a virtual one from Xvfb.
# The exit code is the program's. Every Wine process of the prefix has ended
# when the script returns.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"

if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

export WINEPREFIX="${RASTELLE_WINEPREFIX:-$root/build/wine}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="  # no offers to install Mono or Gecko
export LC_ALL=C LANG=C
mkdir -p "$(dirname "$WINEPREFIX")"

status=0
wine "$@" || status=$?
wineserver -w
exit "$status"
