#!/usr/bin/env bash
# Installs what building and running the viewer needs and is missing, builds
# the viewer (and the bitmap generator, which writes the sample) without any
# test, and opens a bitmap in it: the file given as the one argument, or else
# the sample bitmap, written into the build folder.
set -euo pipefail
if (($# > 1)); then
  echo "usage: scripts/run.sh [bitmap-file]" >&2
  exit 2
fi
file=""
if (($# == 1)); then
  file="$(realpath -m -- "$1")" # relative to where the script was started
fi
cd "$(dirname "$0")/.."

scripts/setup.sh run
cmake --preset viewer >/dev/null
cmake --build --preset viewer -j2 --target rastelle bmpgen

if [ -z "$file" ]; then
  file="$PWD/build/viewer/sample.bmp"
  build/viewer/tools/bmpgen/bmpgen --sample "$file"
fi
exec build/viewer/rastelle "$file"
