#!/usr/bin/env bash
# Builds the packages people install, into build/package:
#   rastelle_0.1-1_amd64.deb          the Debian package, made by CPack from
#                                     what `cmake --install` installs
#                                     (cmake/package.cmake)
#   rastelle-0.1-windows-x86_64.zip   the Windows program in a folder with a
#                                     short readme and the licences
#   rastelle-0.1-windows-x86_64.msi   the Windows installer of the same program
#                                     and licences (packaging/windows/rastelle.wxs,
#                                     scripts/make-msi.sh)
#
#   scripts/package.sh [PRESET]
#
# PRESET is the Linux build the Debian package is made from: viewer (the
# default: the viewer without its tests) or release (scripts/test.sh, which
# has built it already). Needs what `scripts/setup.sh all` installs.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-viewer}"
out=build/package
version="$(sed -n 's/^project(rastelle VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)"

cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset"
rm -rf "$out"
cpack --config "build/$preset/CPackConfig.cmake" -B "$out"
rm -rf "$out/_CPack_Packages"

cmake --preset windows >/dev/null
cmake --build --preset windows --target rastelle
folder="rastelle-$version"
stage="$out/zip/$folder"
mkdir -p "$stage"
x86_64-w64-mingw32-strip -o "$stage/rastelle.exe" build/windows/rastelle.exe
# The texts with Windows line ends.
while read -r source name; do
  sed 's/$/\r/' "$source" >"$stage/$name"
done <<'TEXTS'
packaging/windows/README.txt README.txt
LICENSE LICENSE.txt
src/res/fonts/LICENSE.Apache-2.0 LICENSE.fallback-font.txt
src/res/fonts/README README.fallback-font.txt
TEXTS
(cd "$out/zip" && zip -q -X -r "../$folder-windows-x86_64.zip" "$folder")
scripts/make-msi.sh "$version" "$stage" "$out/$folder-windows-x86_64.msi"
rm -rf "$out/zip"
ls -l "$out"
