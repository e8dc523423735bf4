#!/usr/bin/env bash
# Builds the Windows installer from packaging/windows/rastelle.wxs with
# Debian's wixl, as a 64-bit package:
#
#   scripts/make-msi.sh VERSION FOLDER OUTPUT.msi
#
# FOLDER holds the files it installs, as the Windows zip has them: the
# stripped rastelle.exe and the licence texts; the icon of its shortcut and
# of its Apps & Features entry is src/res/viewer.ico. scripts/package.sh runs
# it, and so does the installer's test (tests/package/check_msi.sh) for a
# package of a higher version.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
output="$(realpath -m "$3")"
# wixl looks for the files named in the source from its working folder, by
# relative paths only.
cd "$2"
icon="$(realpath --relative-to=. "$root/src/res/viewer.ico")"
# wixl 0.101 ignores Platform on Package; -a x64 makes the package 64-bit.
wixl -a x64 -D Version="$1" -D Icon="$icon" -o "$output" "$root/packaging/windows/rastelle.wxs"
