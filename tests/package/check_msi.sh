#!/usr/bin/env bash
# Checks the Windows installer scripts/package.sh makes, under Wine, as the
# people who install it meet it. Installed silently, it puts the zip's program
# and licences into Program Files\Rastelle, a shortcut with the program's
# icon into the Start menu and one entry into Apps & Features, and offers the
# program for .bmp files without taking the extension's default; the open
# command it registers, read back from the registry, shows a bitmap whose path
# has blanks and Japanese characters. Installed again, and replaced by a
# package of a higher version, it leaves one entry; the lower version is then
# refused. Uninstalled, it leaves none of its files, shortcuts or keys.
#
#   check_msi.sh PACKAGE_FOLDER BMPGEN WINDOW_PROBE
#
# BMPGEN is the Linux build's bitmap generator, WINDOW_PROBE the Windows
# build's tests/windows/window_probe.exe. The package of the higher version is
# built in the test's own folder from the package's files. It runs in the Wine
# prefix of scripts/wine-env.sh and uninstalls what it installed there, also
# when a check fails. Without a DISPLAY it runs on one of its own (Xvfb).
set -euo pipefail
if [ -z "${DISPLAY:-}" ]; then
  exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$@"
fi
packages="$(realpath "$1")"
bmpgen="$(realpath "$2")"
probe="$(realpath "$3")"
root="$(cd "$(dirname "$0")/../.." && pwd)"
source "$root/scripts/wine-env.sh"
# Wine's menu builder would copy the shortcut into the Linux desktop's menu,
# outside the prefix.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
msi="$(echo "$packages"/rastelle-*-windows-x86_64.msi)"
zip="$(echo "$packages"/rastelle-*-windows-x86_64.zip)"
version="$(basename "$msi")"
version="${version#rastelle-}"
version="${version%-windows-x86_64.msi}"
# The next minor version, which replaces this one.
higher="$(awk -F . '{ print $1 "." $2 + 1 }' <<<"$version")"
work="$(mktemp -d)"

classes='HKLM\Software\Classes'
uninstall_list='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
install_dir='C:\Program Files\Rastelle'
installed="$WINEPREFIX/drive_c/Program Files/Rastelle"
open_command="\"$install_dir\\rastelle.exe\" \"%1\""

source "$root/tests/support/checks.sh"

# The data of a string value, NAME empty for the key's default value, in the
# registry's 64-bit view; fails when there is none (reg says of a default
# value that is not set "(value not set)").
reg_value() {  # KEY NAME
  local which=(/v "$2")
  [ -n "$2" ] || which=(/ve)
  wine reg query "$1" "${which[@]}" /reg:64 2>/dev/null | tr -d '\r' | awk -F '    ' '
    $1 == "" && $3 == "REG_SZ" && !($2 == "(Default)" && $4 == "(value not set)") { print $4; found = 1; exit }
    END { exit !found }'
}

# The keys of the uninstall list, in either view, whose DisplayName is Rastelle.
entries() {
  local view
  for view in /reg:64 /reg:32; do
    wine reg query "$uninstall_list" /s "$view" 2>/dev/null | tr -d '\r' |
      awk -F '    ' '/^HKEY/ { key = $0 } $2 == "DisplayName" && $4 == "Rastelle" { print key }'
  done
}

# Every Rastelle shortcut in a Start menu of the prefix, the users' and the
# common one (Wine puts a per-machine package's shortcuts into the user's).
shortcuts() {
  find "$WINEPREFIX/drive_c/users" "$WINEPREFIX/drive_c/ProgramData" -ipath '*/Start Menu/Programs/Rastelle.lnk'
}

# Uninstalls every product named Rastelle: before the checks, what an earlier
# run may have left, and after them, whatever they left installed.
uninstall_all() {
  local key
  for key in $(entries | sed 's/.*\\//'); do
    timeout 300 wine msiexec /x "$key" /qn || true
  done
}

cleanup() {
  timeout 60 wineserver -w || wineserver -k || true
  uninstall_all
  timeout 60 wineserver -w || wineserver -k || true
  rm -rf "$work"
}
trap cleanup EXIT

installs() {  # MSI
  timeout 300 wine msiexec /i "$(winepath -w "$1")" /qn
}

# What msiinfo reads of the package: a 64-bit (x64) database of this version,
# with the tables of what it installs, and the message that refuses a
# downgrade.
package_reads() {
  local tables table status=0
  tables="$(msiinfo tables "$msi")" || return 1
  for table in File Component Shortcut Registry Icon Upgrade LaunchCondition; do
    grep -qx "$table" <<<"$tables" || { echo "  no $table table" && status=1; }
  done
  local template product_version message
  template="$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')"
  product_version="$(msiinfo export "$msi" Property | awk -F '\t' '$1 == "ProductVersion" { print $2 }' | tr -d '\r')"
  message="$(msiinfo export "$msi" LaunchCondition | awk -F '\t' '$1 == "NOT WIX_DOWNGRADE_DETECTED" { print $2 }' | tr -d '\r')"
  echo "  template '$template', version '$product_version', downgrade message '$message'"
  [ "$template" == "x64;1033" ] && [ "$product_version" == "$version" ] && [ -n "$message" ] && [ "$status" -eq 0 ]
}

# Program Files\Rastelle holds the zip's program and licence texts, as they
# are in the zip, and nothing else.
files_installed() {
  [ -d "$work/zip" ] || unzip -q "$zip" -d "$work/zip"
  local from_zip file names=() expected=()
  from_zip="$(echo "$work"/zip/rastelle-*)"
  for file in "$installed"/*; do names+=("${file##*/}"); done
  for file in "$from_zip"/*; do [ "${file##*/}" == README.txt ] || expected+=("${file##*/}"); done
  [ "${names[*]}" == "${expected[*]}" ] || { echo "  installed: ${names[*]}; expected: ${expected[*]}" && return 1; }
  for file in "${names[@]}"; do
    cmp "$installed/$file" "$from_zip/$file" || return 1
  done
}

# One shortcut, to the installed program, with an icon that loads.
shortcut_installed() {
  local links
  mapfile -t links < <(shortcuts)
  [ "${#links[@]}" -eq 1 ] || { echo "  ${#links[@]} shortcuts: ${links[*]}" && return 1; }
  local fields
  mapfile -t fields < <(wine "$probe" shortcut "$(winepath -w "${links[0]}")" | tr -d '\r')
  echo "  ${links[0]##*/drive_c/}: target '${fields[0]:-}', icon '${fields[3]:-}'"
  [ "${fields[0]:-}" == "$install_dir\\rastelle.exe" ] && wine "$probe" icon "${fields[3]:-}" >/dev/null
}

# Every key and value for "Open with", as the registry holds them.
associations_registered() {
  local key name expected actual status=0
  while IFS='|' read -r key name expected; do
    actual="$(reg_value "$classes\\$key" "$name")" || actual="(none)"
    if [ "$actual" != "$expected" ]; then
      echo "  $key ${name:-(default)}: '$actual', expected '$expected'"
      status=1
    fi
  done <<TABLE
Applications\\rastelle.exe|FriendlyAppName|Rastelle
Applications\\rastelle.exe\\SupportedTypes|.bmp|
Applications\\rastelle.exe\\shell\\open\\command||$open_command
Rastelle.bmp||BMP image
Rastelle.bmp\\DefaultIcon||$install_dir\\rastelle.exe,-102
Rastelle.bmp\\shell\\open\\command||$open_command
.bmp\\OpenWithProgids|Rastelle.bmp|
TABLE
  # The icon DefaultIcon names is there.
  wine "$probe" icon "$(reg_value "$classes\\Rastelle.bmp\\DefaultIcon" "")" >/dev/null || status=1
  return "$status"
}

# The extension's default ProgID, which the user's choice rests on, is what it
# was before the install.
bmp_default() { reg_value "$classes\\.bmp" "" || echo "(none)"; }
default_kept() {
  local now
  now="$(bmp_default)"
  [ "$now" == "$default_before" ] || { echo "  .bmp's default is '$now', was '$default_before'" && return 1; }
}

# One Apps & Features entry, with the name, version and publisher, and the
# icon Windows Installer shows for it (the product's ProductIcon).
entry_listed() {  # VERSION
  local keys
  mapfile -t keys < <(entries)
  [ "${#keys[@]}" -eq 1 ] || { echo "  ${#keys[@]} entries: ${keys[*]}" && return 1; }
  local key="${keys[0]}" shown publisher icon
  shown="$(reg_value "$key" DisplayVersion)" || shown="(none)"
  publisher="$(reg_value "$key" Publisher)" || publisher="(none)"
  icon="$(wine reg query "$classes\\Installer\\Products" /s /reg:64 | tr -d '\r' | awk -F '    ' '
    /^HKEY/ { key = $0 } $2 == "ProductIcon" { icon[key] = $4 } $2 == "ProductName" { name[key] = $4 }
    END { for (k in name) if (name[k] == "Rastelle") print icon[k] }')"
  echo "  version '$shown', publisher '$publisher', icon '$icon'"
  [ "$shown" == "$1" ] && [ "$publisher" == "The Rastelle developers" ] && [ -n "$icon" ] &&
    wine "$probe" icon "$icon" >/dev/null
}

# The state of an installed package, after each install that leaves one.
check_installed() {  # WHEN VERSION
  check "$1: the program and its licences are in Program Files\\Rastelle" files_installed
  check "$1: the Start menu has its shortcut, with the program's icon" shortcut_installed
  check "$1: it is offered for .bmp files" associations_registered
  check "$1: the .bmp extension's default is kept" default_kept
  check "$1: Apps & Features lists it once, as version $2" entry_listed "$2"
}

# The zoom caption for a client area of W x H and an image of w x h.
zoom_caption() {  # W H w h
  awk -v W="$1" -v H="$2" -v w="$3" -v h="$4" \
    'BEGIN { wr = W / w; hr = H / h; z = hr >= wr ? wr : hr; printf "%g %%", z * 100 }'
}

# The registered open command, read back from the registry with the path of a
# bitmap put in for %1, started as the shell starts it: the viewer shows the
# bitmap (the zoom caption), and ends with 0 when its window is closed. The
# path has blanks, and Japanese characters that the prefix's ANSI code page
# (1252, in the locale C.UTF-8 of wine-env.sh) cannot spell.
open_command_shows() {
  local folder="$work/写真 の フォルダ"
  mkdir -p "$folder"
  "$bmpgen" --layout rgb24 --width 64 --height 48 --out "$folder/絵 1.bmp"
  local command placeholder='%1' path
  command="$(reg_value "$classes\\Rastelle.bmp\\shell\\open\\command" "")" || return 1
  path="$(winepath -w "$folder/絵 1.bmp")"
  command="${command//"$placeholder"/"$path"}"
  echo "  $command"
  timeout 300 wine "$probe" run "$command" &
  local pid=$! caption="" client width height
  # Until the first paint has set the zoom, the title is the program's name.
  for _ in {1..10}; do
    caption="$(timeout 60 wine "$probe" caption rastelle.exe)" || caption="(no window)"
    [[ "$caption" != *' %\n' ]] || break
  done
  client="$(timeout 60 wine "$probe" client rastelle.exe)" || client="0 0"
  read -r width height _ <<<"$client"
  timeout 60 wine "$probe" close rastelle.exe || true
  local status=0
  wait "$pid" || status=$?
  local expected
  expected="$(zoom_caption "$width" "$height" 64 48)\\n"
  echo "  caption '$caption' in a $width x $height client area, expected '$expected'; exit code $status"
  [ "$caption" == "$expected" ] && [ "$status" -eq 0 ]
}

# The package of the higher version: the same source and files.
builds_higher() {
  msiextract -C "$work/files" "$msi" >/dev/null &&
    "$root/scripts/make-msi.sh" "$higher" "$work/files/Rastelle" "$work/rastelle-$higher.msi"
}

downgrade_refused() {
  local status=0
  installs "$msi" || status=$?
  echo "  msiexec exited with $status"
  [ "$status" -ne 0 ]
}

# What Windows Installer keeps of installed packages (a copy of each, and the
# icons of their shortcuts and entries).
installer_cache() { ls -A "$WINEPREFIX/drive_c/windows/Installer" 2>/dev/null || true; }

# Nothing of the package is left: no folder, no shortcut, no file in the
# installer's cache, no key or value that names it under Software\Classes or
# in the uninstall list.
nothing_left() {
  local status=0
  [ ! -e "$installed" ] || { echo "  left behind: $installed" && status=1; }
  [ -z "$(shortcuts)" ] || { echo "  left behind: $(shortcuts)" && status=1; }
  [ "$(installer_cache)" == "$cache_before" ] ||
    { echo "  left in the installer's cache: $(installer_cache)" && status=1; }
  local dump left
  dump="$(wine reg query "$classes" /s /reg:64 | tr -d '\r')" || { echo "  cannot read $classes" && status=1; }
  left="$(grep -i rastelle <<<"$dump")" && { echo "  left under $classes:" && echo "$left" && status=1; }
  left="$(entries)"
  [ -z "$left" ] || { echo "  left in the uninstall list: $left" && status=1; }
  return "$status"
}

prepare_wine_prefix
uninstall_all
cache_before="$(installer_cache)"
default_before="$(bmp_default)"

echo "== the Windows installer $(basename "$msi")"
check "msiinfo reads it: 64-bit, version $version, its tables, a downgrade message" package_reads
check "msiexec installs it silently" installs "$msi"
check_installed "installed" "$version"
check "its open command shows a bitmap whose path has blanks and Japanese characters" open_command_shows
check "msiexec installs it again" installs "$msi"
check_installed "installed again" "$version"
echo "== replaced by version $higher, built from the same source and files"
check "the package of version $higher builds" builds_higher
check "msiexec installs version $higher over it" installs "$work/rastelle-$higher.msi"
check_installed "upgraded" "$higher"
check "msiexec refuses version $version over $higher" downgrade_refused
check_installed "after the refused downgrade" "$higher"
echo "== uninstalled"
check "msiexec uninstalls it" timeout 300 wine msiexec /x "$(winepath -w "$work/rastelle-$higher.msi")" /qn
check "nothing of it is left" nothing_left

checks_done msi
