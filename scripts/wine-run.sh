#!/usr/bin/env bash
# Runs a program of the Windows build under Wine (see wine-env.sh): ctest's
# emulator for the cross build.
#   scripts/wine-run.sh PROGRAM.exe [ARGUMENTS...]
# Without a DISPLAY the program gets a virtual one from Xvfb. The exit code is
# the program's; every Wine process of the prefix has ended when it returns.
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi
source "$(dirname "$0")/wine-env.sh"
prepare_wine_prefix

status=0
wine "$@" || status=$?
wineserver -w
exit "$status"
