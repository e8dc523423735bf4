#!/usr/bin/env bash
# Takes the README's screenshot: the viewer showing the sample bitmap, with the
# title bar a window manager draws. Runs on a private X server (Xvfb) with
# IceWM, whatever display the caller has, and builds the viewer preset's
# viewer and bitmap generator first. IceWM draws the buttons the window's
# Motif hints allow (openbox, for one, keeps the minimise button whatever the
# window asks).
#
#   scripts/screenshot.sh [OUTPUT.png]     (default docs/screenshot.png)
#
# Needs the packages of both sections of scripts/packages.txt that it uses:
# xvfb, icewm, xdotool, x11-utils and imagemagick.
set -euo pipefail
output="$(realpath -m -- "${1:-$(dirname "$0")/../docs/screenshot.png}")"
cd "$(dirname "$0")/.."
if [ -z "${RASTELLE_SCREENSHOT_SERVER:-}" ]; then
  cmake --preset viewer >/dev/null
  cmake --build --preset viewer -j2 --target rastelle bmpgen
  exec env RASTELLE_SCREENSHOT_SERVER=1 xvfb-run -a -s "-screen 0 800x600x24 -nolisten tcp" "$0" "$output"
fi

work="$(mktemp -d)"
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

# Polls a command for up to 15 s until it succeeds.
wait_for() {  # what command...
  local what="$1" tries=0
  shift
  until "$@" >/dev/null 2>&1; do
    tries=$((tries + 1))
    if ((tries > 150)); then
      echo "screenshot: no $what after 15 s" >&2
      exit 1
    fi
    sleep 0.1
  done
}

icewm >/dev/null 2>&1 &
pids+=($!)
wait_for "window manager" sh -c 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"'

build/viewer/tools/bmpgen/bmpgen --sample "$work/sample.bmp" >/dev/null
build/viewer/rastelle "$work/sample.bmp" &
viewer=$!
pids+=("$viewer")
wait_for "viewer window" xdotool search --onlyvisible --pid "$viewer"
window="$(xdotool search --onlyvisible --pid "$viewer" | head -n 1)"
# The zoom caption stands once the picture is painted.
wait_for "zoom caption" sh -c "xprop -id $window _NET_WM_NAME | grep -q '%'"

# The window manager's frame: the window's ancestor just below the root.
frame="$window"
root="$(xwininfo -root | awk '/Window id:/ { print $4 }')"
for _ in 1 2 3 4 5 6 7 8; do
  parent="$(xwininfo -children -id "$frame" | awk '/Parent window id:/ { print $4 }')"
  [ "$parent" == "$root" ] && break
  frame="$parent"
done
sleep 0.5 # the title bar is drawn after the frame is mapped
mkdir -p "$(dirname "$output")"
import -window "$frame" "$output"
echo "screenshot: $output ($(identify -format '%w x %h' "$output"))"
