#!/usr/bin/env bash
# The installed tool as a user runs it: exit codes, and where its output goes.
set -u
cli=$1
corpus=$2
fail=0
check() { if ! eval "$2"; then echo "FAILED: $1"; fail=1; fi; }

out=$("$cli" --help); code=$?
check "--help exits 0 and lists info" '[ $code -eq 0 ] && [[ $out == *"info FILE"* ]]'

out=$("$cli" formats); code=$?
check "formats prints 23 rows" '[ $code -eq 0 ] && [ "$(printf "%s\n" "$out" | wc -l)" -eq 23 ]'

out=$("$cli" info "$corpus/png/basn0g01.png" 2>/tmp/lumeva-cli-err.$$); code=$?
err=$(cat /tmp/lumeva-cli-err.$$); rm -f /tmp/lumeva-cli-err.$$
check "info on a real file answers on stdout" '[[ $out == status=* ]]'
check "a failing load exits 1 with its reason on stderr" '[ $code -eq 0 ] || { [ $code -eq 1 ] && [ -n "$err" ]; }'

"$cli" info >/dev/null 2>&1; code=$?
check "a missing file argument is a usage error" '[ $code -eq 2 ]'

# A pipe cannot go back: every format must still be read from the standard input.
for f in png/basn2c08.png bmp/pal8.bmp jpeg/testorig.jpg; do
  want=$("$cli" info "$corpus/$f" --pixels-sha256)
  got=$(cat "$corpus/$f" | "$cli" info stdin --pixels-sha256); code=$?
  check "info stdin reads $f from a pipe" '[ $code -eq 0 ] && [ "${got#* width}" = "${want#* width}" ]'
done
tmp=$(mktemp -d)
cat "$corpus/png/basn2c08.png" | "$cli" convert stdin "$tmp/piped.bmp" >/dev/null; code=$?
check "convert stdin writes the picture" '[ $code -eq 0 ] && [ -s "$tmp/piped.bmp" ]'
rm -rf "$tmp"

exit $fail
