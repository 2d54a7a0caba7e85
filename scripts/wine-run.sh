#!/usr/bin/env bash
# Runs a Windows executable under Wine (CTest's emulator for the Windows build).
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wine-env.sh"
exe=$1
shift
[ -f "$exe" ] || exe="$exe.exe"
exec wine "$exe" "$@"
