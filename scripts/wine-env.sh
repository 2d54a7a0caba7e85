# Sourced: the Wine settings every Lumeva run and test uses.
export WINEPREFIX=${WINEPREFIX:-$HOME/.cache/lumeva/wineprefix}
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installers popping up in a new prefix.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
# Wine takes the ANSI code page from the locale's name: Western European (1252) for the French texts.
export LC_ALL=C.UTF-8

# Creates the prefix once. Needs DISPLAY.
wine_prefix_ready() {
  if [ ! -f "$WINEPREFIX/.lumeva-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wine wineboot --init >/dev/null 2>&1 </dev/null || true
    # Without a window manager, Wine waits 2 s for every top-level window that closes.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
    wineserver -w
    touch "$WINEPREFIX/.lumeva-ready"
  fi
}
