#!/usr/bin/env bash
# Runs a command with a private Xvfb display and a booted Wine server, stopping both afterwards.
set -u
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"

# A display number nobody uses; two runs starting at once may pick the same one, so a server
# that does not come up sends us on to the next number.
display=
xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1 </dev/null
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; fi
}
trap cleanup EXIT
for n in $(seq 91 150); do
  [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ] && continue
  Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
  xvfb_pid=$!
  for _ in $(seq 1 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$xvfb_pid" 2>/dev/null && [ -e "/tmp/.X11-unix/X$n" ]; then display=$n; break; fi
  xvfb_pid=
done
[ -n "$display" ] || { echo "with-display: could not start Xvfb" >&2; exit 1; }
export DISPLAY=":$display"

wine_prefix_ready
# Started here with its output sent away, the Wine server cannot hold a test's output pipe open.
wineserver -p >/dev/null 2>&1 </dev/null
wine wineboot >/dev/null 2>&1 </dev/null
wine_prefix_own_folders

"$@"
