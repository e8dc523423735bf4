#!/usr/bin/env bash
# Installs a build the way a package does (prefix /usr under a DESTDIR) and
# checks what arrives: every file in its place, each icon of the size its
# folder names, the desktop entry and the AppStream metainfo clean under the
# desktop's own validators, the manual page rendered without a warning.
#
#   check_install.sh BUILD_FOLDER ROOT
#
# ROOT is emptied first. Needs desktop-file-utils, appstream and man-db.
set -euo pipefail
build="$1"
root="$2"
id=io.github.rastelle.Rastelle

rm -rf "$root"
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null
usr="$root/usr"

source "$(dirname "$0")/../support/checks.sh"
# A validator's verdict: its status, and nothing printed.
quiet() {  # command...
  local output status=0
  output=$("$@" 2>&1) || status=$?
  [ -n "$output" ] && echo "$output"
  [ "$status" -eq 0 ] && [ -z "$output" ]
}
# Warnings: what a command prints on standard error.
no_warnings() {  # command...
  local warnings
  warnings=$("$@" 2>&1 >/dev/null) || return 1
  [ -n "$warnings" ] && echo "$warnings"
  [ -z "$warnings" ]
}
# appstreamcli's verdict: with --strict, any issue above a pedantic hint fails.
appstream() {  # appstreamcli arguments...
  local output
  output=$(appstreamcli "$@" --no-net --strict 2>&1) || {
    echo "$output"
    return 1
  }
}
# The width and height in a PNG's header (IHDR), after its signature.
png_size() {  # file
  [ "$(od -An -tx1 -N8 "$1" | tr -d ' \n')" == 89504e470d0a1a0a ] || return 1
  od -An -tu1 -j16 -N8 "$1" | awk '{ print $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'
}

check "bin/rastelle is an installed program" test -x "$usr/bin/rastelle"
for file in share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/man/man1/rastelle.1 \
  share/icons/hicolor/scalable/apps/rastelle.svg share/doc/rastelle/LICENSE \
  share/doc/rastelle/LICENSE.fallback-font share/doc/rastelle/README.fallback-font; do
  check "$file is installed" test -s "$usr/$file"
done
for size in 16 32 48 64 128 256; do
  icon="$usr/share/icons/hicolor/${size}x${size}/apps/rastelle.png"
  check "the ${size}x${size} icon is a PNG of that size" test "$(png_size "$icon" 2>/dev/null)" == "$size $size"
done

check "desktop-file-validate passes the desktop entry" quiet desktop-file-validate "$usr/share/applications/$id.desktop"
check "appstreamcli passes the metainfo" appstream validate "$usr/share/metainfo/$id.metainfo.xml"
check "appstreamcli passes the installed tree" appstream validate-tree "$usr"
check "the manual page renders without warnings" \
  no_warnings env LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$usr/share/man/man1/rastelle.1"
check "the manual page's name line names the program" \
  grep -q '^rastelle \\- ' "$usr/share/man/man1/rastelle.1"

checks_done install
