# Sourced by the scripts that run the Windows build under Wine (wine-run.sh,
# wine-smoke.sh), with a DISPLAY set: the project's own prefix (build/wine, or
# RASTELLE_WINEPREFIX); no offers to install Mono or Gecko; and the locale
# C.UTF-8, whose ANSI code page is 1252, not 932, so the Japanese texts show
# right only because the program converts them itself (RASTELLE_WINE_LOCALE
# overrides it: ja_JP.UTF-8, which setup.sh makes, gives a Japanese Windows,
# code page 932).
rastelle_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${RASTELLE_WINEPREFIX:-$rastelle_root/build/wine}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL="${RASTELLE_WINE_LOCALE:-C.UTF-8}" LANG="${RASTELLE_WINE_LOCALE:-C.UTF-8}"

# Makes the prefix on first use, before any program starts in it: a program
# started while Wine is still making the prefix may find no DLLs. Takes some
# seconds once.
prepare_wine_prefix() {
  [ -f "$WINEPREFIX/.rastelle-ready" ] && return 0
  echo "Preparing the Wine prefix $WINEPREFIX"
  mkdir -p "$(dirname "$WINEPREFIX")"
  timeout 600 wineboot -i
  # Without a window manager Wine draws the caption bars itself only in a
  # virtual desktop, so screenshots show the captions there. The stock font
  # Wine stands in has no Japanese glyphs: it borrows them from IPAGothic
  # (fonts-ipafont-gothic).
  wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
  wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1024x768 /f >/dev/null
  wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
    /v System /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null
  timeout 120 wineserver -w
  touch "$WINEPREFIX/.rastelle-ready"
}
