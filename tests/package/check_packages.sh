#!/usr/bin/env bash
# Checks the packages scripts/package.sh makes, as the people who install them
# meet them.
# The Debian package: lintian finds no error in it; its Depends name the
# package of every library the program links; apt-get installs it; the
# installed /usr/bin/rastelle shows a bitmap (the zoom caption); the desktop
# database offers it for image/bmp and the hicolor icon cache holds its icon;
# purged, it leaves none of its files behind and neither cache names it.
# The Windows zip: unpacked, its rastelle.exe shows a bitmap under Wine.
#
#   check_packages.sh PACKAGE_FOLDER BMPGEN WINDOW_PROBE
#
# BMPGEN is the Linux build's bitmap generator, WINDOW_PROBE the Windows
# build's tests/windows/window_probe.exe. The package is installed and purged
# system-wide: the script runs as root or through sudo. Without a DISPLAY it
# runs on one of its own (Xvfb).
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi
packages="$(realpath "$1")"
bmpgen="$(realpath "$2")"
probe="$(realpath "$3")"
source "$(dirname "$0")/../../scripts/wine-env.sh"
deb="$(echo "$packages"/rastelle_*_amd64.deb)"
zip="$(echo "$packages"/rastelle-*-windows-x86_64.zip)"
id=io.github.rastelle.Rastelle
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
work="$(mktemp -d)"
cleanup() {
  if dpkg-query -W -f='${Status}' rastelle 2>/dev/null | grep -q 'ok installed'; then
    DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -q rastelle >/dev/null || true
  fi
  timeout 30 wineserver -w 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

source "$(dirname "$0")/../support/checks.sh"

# The zoom caption for a client area of W x H and an image of w x h.
zoom_caption() {  # W H w h
  awk -v W="$1" -v H="$2" -v w="$3" -v h="$4" \
    'BEGIN { wr = W / w; hr = H / h; z = hr >= wr ? wr : hr; printf "%g %%", z * 100 }'
}

# lintian's verdict: every tag it prints is shown; an error fails.
lintian_passes() {
  lintian --fail-on error "$deb" 2>&1 | grep -v '^running with root privileges'
  return "${PIPESTATUS[0]}"
}

# Every library the program links (NEEDED) comes from a package its Depends
# names, so a machine without the build packages has them after the install.
depends_cover_needed() {
  local depends root="$work/unpacked" status=0
  depends=",$(dpkg-deb -f "$deb" Depends | sed 's/ ([^)]*)//g; s/ //g'),"
  dpkg-deb -x "$deb" "$root"
  local soname path owner
  for soname in $(objdump -p "$root/usr/bin/rastelle" | awk '$1 == "NEEDED" { print $2 }'); do
    path="$(ldd "$root/usr/bin/rastelle" | awk -v name="$soname" '$1 == name { print $3 }')"
    # Debian 12 merges /lib into /usr/lib; dpkg knows each file under one of both.
    owner="$( (dpkg -S "$path" || dpkg -S "/usr${path#/usr}" || dpkg -S "${path#/usr}") 2>/dev/null | head -n 1)"
    owner="${owner%%:*}"
    if [ -z "$owner" ]; then
      echo "  $soname ($path): no package holds it"
      status=1
    elif [[ "$depends" != *",$owner,"* ]]; then
      echo "  $soname comes from $owner, which Depends does not name"
      status=1
    fi
  done
  return "$status"
}

installs() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "$deb" >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log"
    return 1
  }
}

# Starts the installed program on a bitmap and reads its caption until it is
# a zoom, then checks the zoom against the window's size.
shows_bitmap() {
  "$bmpgen" --layout rgb24 --width 640 --height 480 --out "$work/picture.bmp"
  /usr/bin/rastelle "$work/picture.bmp" &
  local pid=$! window="" waited=0
  while [ -z "$window" ] && [ "$waited" -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
    window="$(xdotool search --all --pid "$pid" --name ' %$' 2>/dev/null | head -n 1)" || true
  done
  local caption="" WIDTH=0 HEIGHT=0
  if [ -n "$window" ]; then
    caption="$(xdotool getwindowname "$window")"
    eval "$(xdotool getwindowgeometry --shell "$window" | grep -E '^(WIDTH|HEIGHT)=')"
  fi
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  local expected
  expected="$(zoom_caption "$WIDTH" "$HEIGHT" 640 480)"
  echo "  caption '$caption' in a $WIDTH x $HEIGHT window, expected '$expected'"
  [ "$caption" == "$expected" ]
}

mime_cache_lists() { grep -q "^image/bmp=.*$id\.desktop" /usr/share/applications/mimeinfo.cache; }
icon_cache_holds() { grep -aq rastelle /usr/share/icons/hicolor/icon-theme.cache; }

# After the purge every file of the package is gone; a folder of it that is
# still there belongs to another package too.
nothing_left() {
  local path status=0
  while read -r path; do
    [ "$path" != "/." ] && [ -e "$path" ] || continue
    if [ -d "$path" ] && dpkg -S "$path" >/dev/null 2>&1; then continue; fi
    echo "  left behind: $path"
    status=1
  done <"$work/files"
  return "$status"
}

purges() {
  DEBIAN_FRONTEND=noninteractive $sudo apt-get purge -y -q rastelle >"$work/apt.log" 2>&1 || {
    cat "$work/apt.log"
    return 1
  }
  ! dpkg-query -W -f='${Status}' rastelle 2>/dev/null | grep -q 'ok installed'
}

# The Windows program from the zip, on a bitmap, to the zoom caption.
zip_shows_bitmap() {
  unzip -q "$zip" -d "$work/zip"
  local viewer
  viewer="$(echo "$work"/zip/rastelle-*/rastelle.exe)"
  [ -f "$viewer" ] || return 1
  "$bmpgen" --layout rgb24 --width 64 --height 48 --out "$work/zip/picture.bmp"
  prepare_wine_prefix
  (cd "$work/zip" && exec wine "$viewer" picture.bmp) &
  local pid=$! caption client width height
  caption="$(timeout 60 wine "$probe" caption rastelle.exe)" || caption="(no window)"
  client="$(timeout 60 wine "$probe" client rastelle.exe)" || client="0 0"
  read -r width height _ <<<"$client"
  timeout 60 wine "$probe" close rastelle.exe || kill "$pid" || true
  wait "$pid" || true
  local expected
  expected="$(zoom_caption "$width" "$height" 64 48)\\n"
  echo "  caption '$caption' in a $width x $height client area, expected '$expected'"
  [ "$caption" == "$expected" ]
}

echo "== the Debian package $(basename "$deb")"
check "lintian reports no error" lintian_passes
check "Depends names the package of every linked library" depends_cover_needed
check "apt-get installs it" installs
dpkg-query -L rastelle >"$work/files" 2>/dev/null || true
check "the installed program shows a bitmap" shows_bitmap
check "the desktop database offers it for image/bmp" mime_cache_lists
check "the hicolor icon cache holds its icon" icon_cache_holds
check "apt-get purges it" purges
check "none of its files is left" nothing_left
check "the desktop database no longer names it" eval '! mime_cache_lists'
check "the icon cache no longer holds its icon" eval '! icon_cache_holds'
echo "== the Windows download $(basename "$zip")"
check "rastelle.exe from the zip shows a bitmap under Wine" zip_shows_bitmap

checks_done packages
