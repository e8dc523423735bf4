#!/usr/bin/env bash
# Smoke test of the Windows build under Wine, on a virtual display: starts the
# viewer with a bitmap it generates, under names the ANSI code page cannot
# spell too, and with files that do not load, reads the caption from outside,
# takes a screenshot, closes the window with WM_CLOSE and checks the exit code.
#   scripts/wine-smoke.sh
# Builds the windows preset first. Screenshots go to build/wine-smoke/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi

cmake --preset windows >/dev/null
cmake --build --preset windows --target rastelle window_probe
source scripts/wine-env.sh

viewer="$PWD/build/windows/rastelle.exe"
probe="$PWD/build/windows/tests/windows/window_probe.exe"
shots="$PWD/build/wine-smoke"
work="$(mktemp -d)"
viewer_pid=""
mkdir -p "$shots"

cleanup() {
  if [ -n "$viewer_pid" ] && kill -0 "$viewer_pid" 2>/dev/null; then kill "$viewer_pid" || true; fi
  timeout 30 wineserver -w || wineserver -k || true
  rm -rf "$work"
}
trap cleanup EXIT

# A 64 x 48, 24-bit bitmap stored bottom-up: red top left, green top right,
# blue bottom left, white bottom right.
write_quadrants_bmp() {
  perl -e '
    my ($w, $h) = (64, 48);
    my $stride = ($w * 3 + 3) & ~3;
    my $data = "";
    for my $y (reverse 0 .. $h - 1) {           # stored rows: bottom first
      my $row = "";
      for my $x (0 .. $w - 1) {
        my ($r, $g, $b) = $y < $h / 2 ? ($x < $w / 2 ? (255, 0, 0) : (0, 255, 0))
                                      : ($x < $w / 2 ? (0, 0, 255) : (255, 255, 255));
        $row .= pack("C3", $b, $g, $r);
      }
      $data .= $row . ("\0" x ($stride - length $row));
    }
    print "BM", pack("VvvV", 54 + length $data, 0, 0, 54),
          pack("VllvvVVllVV", 40, $w, $h, 1, 24, 0, length $data, 2835, 2835, 0, 0), $data;
  ' >"$1"
}

passed=0
failed=0
expect() {  # name actual expected
  if [ "$2" == "$3" ]; then
    passed=$((passed + 1))
    echo "ok: $1: $2"
  else
    failed=$((failed + 1))
    echo "FAILED: $1: got '$2', expected '$3'"
  fi
}

# The zoom caption for a client area of W x H and an image of w x h, with the
# line feed written as \n as the probe prints it.
zoom_caption() {
  awk -v W="$1" -v H="$2" -v w="$3" -v h="$4" \
    'BEGIN { wr = W / w; hr = H / h; z = hr >= wr ? wr : hr; printf "%g %%\\n", z * 100 }'
}

# Starts the viewer in the work folder with one argument, reads the caption,
# takes a screenshot, closes the window and checks the exit code. The viewer
# runs in the locale RASTELLE_WINE_LOCALE names, which sets Wine's ANSI code
# page (C.UTF-8: 1252; ja_JP.UTF-8: 932).
run_viewer() {  # name argument expected-caption (or "zoom W H" for an image)
  local name="$1" argument="$2" expected="$3"
  local locale="${RASTELLE_WINE_LOCALE:-C.UTF-8}"
  (cd "$work" && exec env LC_ALL="$locale" LANG="$locale" wine "$viewer" "$argument") &
  viewer_pid=$!
  local caption client
  caption="$(timeout 60 wine "$probe" caption rastelle.exe)" || caption="(no window)"
  client="$(timeout 60 wine "$probe" client rastelle.exe)" || client="0 0"
  timeout 60 import -window root "$shots/$name.png" || echo "no screenshot for $name"
  if [ "${expected%% *}" == "zoom" ]; then
    # shellcheck disable=SC2086
    expected="$(zoom_caption $client ${expected#zoom })"
  fi
  expect "$name: caption" "$caption" "$expected"
  timeout 60 wine "$probe" close rastelle.exe || true
  local waited=0
  while kill -0 "$viewer_pid" 2>/dev/null && [ "$waited" -lt 100 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  local status=0
  if kill -0 "$viewer_pid" 2>/dev/null; then
    status="still running"
    kill "$viewer_pid" || true
  fi
  wait "$viewer_pid" || status=$?
  viewer_pid=""
  expect "$name: exit code after WM_CLOSE" "$status" 0
}

prepare_wine_prefix
write_quadrants_bmp "$work/quadrants.bmp"
cp "$work/quadrants.bmp" "$work/two words.bmp"
# Names that the ANSI code page of the viewer's locale cannot spell: Korean
# and Japanese in code page 1252, Korean and accented Latin in code page 932.
cp "$work/quadrants.bmp" "$work/사진.bmp"
cp "$work/quadrants.bmp" "$work/写真 1.bmp"
cp "$work/quadrants.bmp" "$work/café.bmp"
echo "not a bitmap" >"$work/text.bmp"

echo "== smoke test"
run_viewer image quadrants.bmp "zoom 64 48"
run_viewer path-with-blank "two words.bmp" "zoom 64 48"
run_viewer missing-file missing.bmp "Rastelle ver 0.1"
run_viewer not-a-bitmap text.bmp "Rastelle ver 0.1"
run_viewer korean-name-cp1252 "사진.bmp" "zoom 64 48"
run_viewer japanese-name-cp1252 "写真 1.bmp" "zoom 64 48"
RASTELLE_WINE_LOCALE=ja_JP.UTF-8 run_viewer korean-name-cp932 "사진.bmp" "zoom 64 48"
RASTELLE_WINE_LOCALE=ja_JP.UTF-8 run_viewer accented-name-cp932 "café.bmp" "zoom 64 48"
echo "screenshots in $shots"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
