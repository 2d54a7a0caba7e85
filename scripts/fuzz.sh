#!/usr/bin/env bash
# Runs one fuzz target seeded from the corpus: scripts/fuzz.sh FORMAT [SECONDS] [extra libFuzzer args]
# (FORMAT as the corpus folders name it: jpeg, png, bmp, ...). Crashes land in build/fuzz/crashes/FORMAT.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
format=$1
seconds=${2:-600}
shift $(( $# > 1 ? 2 : 1 ))
corpus=${LUMEVA_CORPUS:-$here/../shared/corpus}
work=$here/build/fuzz
seeds=$work/seeds/$format
mkdir -p "$seeds" "$work/crashes/$format" "$work/grown/$format"
# Small seeds only: a 20-megapixel photo would make every run take seconds.
find "$corpus/$format" -type f -size -600k -exec cp -n {} "$seeds/" \; 2>/dev/null || true
if [ -d "$here/fuzz/regressions/$format" ]; then cp -n "$here/fuzz/regressions/$format"/* "$seeds/" 2>/dev/null || true; fi
exec "$work/bin/${format}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=262144 \
  -artifact_prefix="$work/crashes/$format/" "$@" "$work/grown/$format" "$seeds"
