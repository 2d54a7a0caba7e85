#!/usr/bin/env bash
# Runs a command with a private Xvfb display and a booted Wine server, stopping both afterwards.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"

display=
for n in $(seq 91 150); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "with-display: no free display number" >&2; exit 1; }

Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
xvfb_pid=$!
cleanup() {
  wineserver -k >/dev/null 2>&1 </dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
for _ in $(seq 1 100); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
export DISPLAY=":$display"

wine_prefix_ready
# Started here with its output sent away, the Wine server cannot hold a test's output pipe open.
wineserver -p >/dev/null 2>&1 </dev/null
wine wineboot >/dev/null 2>&1 </dev/null

"$@"
