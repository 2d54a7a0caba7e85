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
  if [ ! -f "$WINEPREFIX/.lumeva-no-debugger" ]; then
    # A crash is not handed to a debugger named here (a test run would hang until its time-out).
    wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
      >/dev/null 2>&1 </dev/null || true
    wineserver -w
    touch "$WINEPREFIX/.lumeva-no-debugger"
  fi
  if [ ! -f "$WINEPREFIX/.lumeva-no-crash-dialog" ]; then
    # Wine starts its debugger for a crash even without that value; told not to show its dialog,
    # it prints the backtrace on the standard error and ends the program instead of waiting.
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
      >/dev/null 2>&1 </dev/null || true
    wineserver -w
    touch "$WINEPREFIX/.lumeva-no-crash-dialog"
  fi
  wine_prefix_own_folders
}

# Wine links the user's Desktop, Documents, Pictures... to the home folder. The prefix gets folders
# of its own instead, so that nothing the program or a test does there reaches the home folder.
# Removing a link leaves its target alone. Wine links an empty folder again when it updates the
# prefix, so this runs before every use.
wine_prefix_own_folders() {
  local link
  for link in "$WINEPREFIX"/drive_c/users/*/{Desktop,Documents,Downloads,Music,Pictures,Videos,Templates}; do
    if [ -L "$link" ]; then
      rm -f "$link" && mkdir -p "$link"
    fi
  done
}

# The Wine user's Pictures folder (the prefix's own).
wine_pictures_folder() {
  local user
  for user in "$WINEPREFIX"/drive_c/users/*; do
    [ "$(basename "$user")" = Public ] && continue
    [ -d "$user/Pictures" ] && [ ! -L "$user/Pictures" ] && { echo "$user/Pictures"; return 0; }
  done
  return 1
}

# Copies the sample photos of $1 into the Wine user's Pictures folder when it holds no pictures, so
# that a first start shows thumbnails.
wine_pictures_samples() {
  local pictures
  pictures=$(wine_pictures_folder) || return 0
  if [ -z "$(find "$pictures" -maxdepth 1 -type f \( -iname '*.jpg' -o -iname '*.jpeg' -o -iname '*.png' \
        -o -iname '*.bmp' -o -iname '*.gif' -o -iname '*.tif' -o -iname '*.tiff' \) -print -quit)" ]; then
    cp "$1"/*.jpg "$pictures"/
  fi
}
