#!/usr/bin/env bash
# Installs what Rastelle needs on Debian 12 that is not installed yet, from
# scripts/packages.txt: with "run", what building and running the viewer
# needs (its [run] section); with "all" (the default), also what every test,
# the Windows build, the benchmarks and fuzzing need (its [test] section),
# and the locale ja_JP.UTF-8, in which Wine runs a Japanese Windows (code
# page 932) that still reads the Linux side's names as UTF-8; with "viewers",
# the other image viewers that bench/viewers compares with (its [viewers]
# section), which "all" leaves out.
#
#   scripts/setup.sh [run|all|viewers]
set -euo pipefail
cd "$(dirname "$0")/.."

set_name="${1:-all}"
case "$set_name" in
  run) sections="run" ;;
  all) sections="run test" ;;
  viewers) sections="viewers" ;;
  *)
    echo "usage: scripts/setup.sh [run|all|viewers]" >&2
    exit 2
    ;;
esac

mapfile -t wanted < <(awk -v sections=" $sections " '
  { sub(/#.*/, ""); gsub(/^[ \t]+|[ \t]+$/, "") }
  /^\[.*\]$/ { section = substr($0, 2, length($0) - 2); next }
  $0 != "" && index(sections, " " section " ") { print }
' scripts/packages.txt | sort -u)
missing=()
for package in "${wanted[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -q
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

if [ "$set_name" == all ] && ! locale -a | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "Making the locale ja_JP.UTF-8"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
