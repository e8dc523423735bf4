#!/usr/bin/env bash
# Smoke test of the Windows build under Wine, on a virtual display: starts the
# viewer with a bitmap it generates, under names the ANSI code page cannot
# spell too, and with files that do not load, reads the caption from outside,
# takes a screenshot, closes the window with WM_CLOSE and checks the exit code.
# Then once more at 192 dpi: the window, per-monitor DPI aware, is laid out
# and painted for the larger DPI.
#   scripts/wine-smoke.sh
# Builds the windows preset first. Screenshots go to build/wine-smoke/.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" "$@"
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
  # Back to the DPI the other Windows tests run at.
  RASTELLE_WINE_DPI=96 prepare_wine_prefix || true
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

field() {  # N "words": the Nth word
  local words
  read -r -a words <<<"$2"
  echo "${words[$1 - 1]:-}"
}

# The zoom caption for a client area of W x H and an image of w x h, with the
# line feed written as \n as the probe prints it.
zoom_caption() {
  awk -v W="$1" -v H="$2" -v w="$3" -v h="$4" \
    'BEGIN { wr = W / w; hr = H / h; z = hr >= wr ? wr : hr; printf "%g %%\\n", z * 100 }'
}

# Starts the viewer in the work folder with one argument, reads the caption,
# takes a screenshot (of the screen, at $shots/NAME.png), closes the window
# and checks the exit code. What the probe says of the client area (width,
# height, left, top on the screen, and the window's DPI) is left in
# viewer_client. The viewer
# runs in the locale RASTELLE_WINE_LOCALE names, which sets Wine's ANSI code
# page (C.UTF-8: 1252; ja_JP.UTF-8: 932).
run_viewer() {  # name argument expected-caption (or "zoom W H" for an image)
  local name="$1" argument="$2" expected="$3"
  local locale="${RASTELLE_WINE_LOCALE:-C.UTF-8}"
  (cd "$work" && exec env LC_ALL="$locale" LANG="$locale" wine "$viewer" "$argument") &
  viewer_pid=$!
  local caption
  caption="$(timeout 60 wine "$probe" caption rastelle.exe)" || caption="(no window)"
  viewer_client="$(timeout 60 wine "$probe" client rastelle.exe)" || viewer_client="0 0 0 0 0"
  timeout 60 import -window root "$shots/$name.png" || echo "no screenshot for $name"
  if [ "${expected%% *}" == "zoom" ]; then
    # shellcheck disable=SC2086
    expected="$(zoom_caption "$(field 1 "$viewer_client")" "$(field 2 "$viewer_client")" ${expected#zoom })"
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
image_96="$viewer_client"
run_viewer path-with-blank "two words.bmp" "zoom 64 48"
run_viewer missing-file missing.bmp "エラー"
prompt_96="$viewer_client"
run_viewer not-a-bitmap text.bmp "エラー"
run_viewer korean-name-cp1252 "사진.bmp" "zoom 64 48"
run_viewer japanese-name-cp1252 "写真 1.bmp" "zoom 64 48"
RASTELLE_WINE_LOCALE=ja_JP.UTF-8 run_viewer korean-name-cp932 "사진.bmp" "zoom 64 48"
RASTELLE_WINE_LOCALE=ja_JP.UTF-8 run_viewer accented-name-cp932 "café.bmp" "zoom 64 48"

# The bounding box, WxH+X+Y, of what is not white in a screenshot's client
# area inside its one-pixel frame, relative to the client area.
drawn_box() {  # screenshot "client"
  local width height left top
  read -r width height left top _ <<<"$2"
  convert "$1" -crop "$((width - 2))x$((height - 2))+$((left + 1))+$((top + 1))" +repage \
    -bordercolor white -border 1 -fuzz 50% -format '%@' info:
}
# Where the 64 x 48 picture goes in a client area: its fitted rectangle, less
# the frame where the two meet.
picture_box() {  # "client"
  local width height
  read -r width height _ <<<"$1"
  awk -v W="$width" -v H="$height" 'BEGIN {
    wr = W / 64; hr = H / 48; z = hr >= wr ? wr : hr; dw = int(64 * z); dh = int(48 * z)
    x = int((W - dw) / 2); y = int((H - dh) / 2)
    left = x > 1 ? x : 1; top = y > 1 ? y : 1
    right = x + dw < W - 1 ? x + dw : W - 1; bottom = y + dh < H - 1 ? y + dh : H - 1
    printf "%dx%d+%d+%d", right - left, bottom - top, left, top }'
}
# Whether b / a lies within low and high, for two lengths.
ratio_within() {  # a b low high
  awk -v a="$1" -v b="$2" -v low="$3" -v high="$4" 'BEGIN { exit !(a > 0 && b / a >= low && b / a <= high) }' &&
    echo yes || echo "no: $2 / $1"
}

# At 192 dpi the program, per-monitor DPI aware, is laid out and painted for
# that DPI: against its runs at 96 dpi above, its client area is twice as
# large (each side within 1.85 and 2.15 times: the dialog's base units are
# whole pixels, at 96 dpi 7 wide, at 192 dpi 13 to 15), the picture fills it
# in device pixels, and the prompt is drawn twice as large (within 10 %).
echo "== at 192 dpi"
export RASTELLE_WINE_DPI=192
prepare_wine_prefix
run_viewer image-192dpi quadrants.bmp "zoom 64 48"
image_192="$viewer_client"
run_viewer missing-file-192dpi missing.bmp "エラー"
prompt_192="$viewer_client"
export RASTELLE_WINE_DPI=96
prepare_wine_prefix
expect "the window's DPI at 96 and 192 dpi" "$(field 5 "$image_96") $(field 5 "$image_192")" "96 192"
expect "the client area's width at 192 dpi: twice that at 96 dpi" \
  "$(ratio_within "$(field 1 "$image_96")" "$(field 1 "$image_192")" 1.85 2.15)" yes
expect "the client area's height at 192 dpi: twice that at 96 dpi" \
  "$(ratio_within "$(field 2 "$image_96")" "$(field 2 "$image_192")" 1.85 2.15)" yes
expect "the picture fills the client area at 96 dpi" "$(drawn_box "$shots/image.png" "$image_96")" \
  "$(picture_box "$image_96")"
expect "the picture fills the client area at 192 dpi" "$(drawn_box "$shots/image-192dpi.png" "$image_192")" \
  "$(picture_box "$image_192")"
prompt_box_96="$(drawn_box "$shots/missing-file.png" "$prompt_96")"
prompt_box_192="$(drawn_box "$shots/missing-file-192dpi.png" "$prompt_192")"
echo "the prompt: $prompt_box_96 at 96 dpi, $prompt_box_192 at 192 dpi"
prompt_96_size="${prompt_box_96%%+*}"
prompt_192_size="${prompt_box_192%%+*}"
expect "the prompt's width at 192 dpi: twice that at 96 dpi" \
  "$(ratio_within "${prompt_96_size%x*}" "${prompt_192_size%x*}" 1.8 2.2)" yes
expect "the prompt's height at 192 dpi: twice that at 96 dpi" \
  "$(ratio_within "${prompt_96_size#*x}" "${prompt_192_size#*x}" 1.8 2.2)" yes

echo "screenshots in $shots"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
