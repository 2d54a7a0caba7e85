#!/usr/bin/env bash
# Runs the program under Xvfb through its end-to-end run and keeps PNG screenshots of the home
# screen, the editing screen with a 10x15 frame and the lamp, the open crop and retouch menus and
# the two dialogs in build/screenshots/. Takes the Windows build folder (default build/win64),
# which must hold Lumeva.exe and lumeva_end_to_end.exe.
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build/win64}" && pwd)
out=$root/build/screenshots
mkdir -p "$out"
[ -f "$build/bin/lumeva_end_to_end.exe" ] || { echo "screenshots: build lumeva_end_to_end first" >&2; exit 1; }
"$root/scripts/with-display.sh" bash -c 'cd "$1/bin" && exec wine lumeva_end_to_end.exe Lumeva.exe "$(winepath -w "$2")"' \
  screenshots "$build" "$out"
ls "$out"
