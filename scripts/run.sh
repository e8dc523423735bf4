#!/usr/bin/env bash
# Installs what is missing, builds the release and opens a bitmap in the viewer:
# the file given as the one argument, or else the sample bitmap, which the
# bitmap generator writes into the build folder.
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

scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release -j2

if [ -z "$file" ]; then
  file="$PWD/build/release/sample.bmp"
  build/release/tools/bmpgen/bmpgen --sample "$file"
fi
exec build/release/rastelle "$file"
