# Sourced by the scripts that run the Windows build under Wine (wine-run.sh,
# wine-smoke.sh), with a DISPLAY set: the project's own prefix (build/wine, or
# RASTELLE_WINEPREFIX); no offers to install Mono or Gecko; and the locale
# C.UTF-8, whose ANSI code page is 1252, not 932, so the Japanese texts show
# right only because the program converts them itself (RASTELLE_WINE_LOCALE
# overrides it: ja_JP.UTF-8, which setup.sh makes, gives a Japanese Windows,
# code page 932). The prefix runs at 96 dpi, or at RASTELLE_WINE_DPI (the
# LogPixels setting; wine-smoke.sh uses 192 too).
rastelle_root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
export WINEPREFIX="${RASTELLE_WINEPREFIX:-$rastelle_root/build/wine}"
export WINEARCH=win64
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="mscoree,mshtml="
export LC_ALL="${RASTELLE_WINE_LOCALE:-C.UTF-8}" LANG="${RASTELLE_WINE_LOCALE:-C.UTF-8}"
export RASTELLE_WINE_DPI="${RASTELLE_WINE_DPI:-96}"

# Makes the prefix on first use, before any program starts in it: a program
# started while Wine is still making the prefix may find no DLLs. Takes some
# seconds once, and again when the DPI changes.
prepare_wine_prefix() {
  if [ ! -f "$WINEPREFIX/.rastelle-ready" ]; then
    echo "Preparing the Wine prefix $WINEPREFIX"
    mkdir -p "$(dirname "$WINEPREFIX")"
    timeout 600 wineboot -i
    # The stock font Wine stands in has no Japanese glyphs: it borrows them
    # from IPAGothic (fonts-ipafont-gothic).
    wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v System /t REG_MULTI_SZ /d 'ipag.ttf,IPAGothic' /f >/dev/null
    timeout 120 wineserver -w
    touch "$WINEPREFIX/.rastelle-ready"
  fi
  # The DPI, and a virtual desktop: without a window manager Wine draws the
  # caption bars itself only there, so screenshots show the captions. It
  # holds the viewer's window at 192 dpi too. Written when they change, with
  # no Wine program running, so that the next one starts with them.
  local settings="dpi $RASTELLE_WINE_DPI, desktop 1280x1024"
  if [ "$(cat "$WINEPREFIX/.rastelle-settings" 2>/dev/null)" != "$settings" ]; then
    timeout 120 wineserver -w
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$RASTELLE_WINE_DPI" /f >/dev/null
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d Default /f >/dev/null
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /d 1280x1024 /f >/dev/null
    timeout 120 wineserver -w
    echo "$settings" >"$WINEPREFIX/.rastelle-settings"
  fi
}
