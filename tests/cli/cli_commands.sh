#!/usr/bin/env bash
# The installed tool as a user runs it: what each command prints, what it writes, its exit codes
# and where its messages go.
set -u
cli=$1
corpus=$2
fail=0
check() { if ! eval "$2"; then echo "FAILED: $1"; fail=1; fi; }
work=$(mktemp -d "${TMPDIR:-/tmp}/lumeva-cli.XXXXXX")
trap 'rm -rf "$work"' EXIT
# One field of a key=value line.
field() { printf '%s\n' "$1" | tr ' ' '\n' | sed -n "s/^$2=//p"; }
manifest_hash() { awk -F'\t' -v p="$1" '$2 == p { print $11 }' "$corpus/MANIFEST.tsv"; }

out=$("$cli" --help); code=$?
check "--help exits 0 and lists info" '[ $code -eq 0 ] && [[ $out == *"info FILE"* ]]'

out=$("$cli" formats); code=$?
check "formats prints 23 rows" '[ $code -eq 0 ] && [ "$(printf "%s\n" "$out" | wc -l)" -eq 23 ]'
check "formats names each row, its index and what it can do" \
    '[[ $out == *" 0 jpeg  rw  JPEG / JFIF"* ]] && [[ $out == *" 4 png   rw  Portable Network Graphics"* ]] && [[ $out == *"22 epsp"* ]]'

# info: one line of fields, the pixels those of the independent decoder.
png=png/basn0g01.png
out=$("$cli" info "$corpus/$png" --pixels-sha256 2>"$work/err"); code=$?
check "info on a real file answers on stdout and nothing on stderr" '[ $code -eq 0 ] && [[ $out == status=0* ]] && [ ! -s "$work/err" ]'
check "info gives the format, the size and the type" \
    '[ "$(field "$out" format)" = png ] && [ "$(field "$out" width)" = 32 ] && [ "$(field "$out" height)" = 32 ] && [ "$(field "$out" type)" = 1 ]'
check "info gives the pixels' hash" '[ "$(field "$out" pixels_sha256)" = "$(manifest_hash $png)" ]'
out=$("$cli" info "$corpus/bmp/pal8.bmp" --box 32x32); code=$?
check "info --box reduces into the box keeping proportions" \
    '[ $code -eq 0 ] && [ "$(field "$out" width)" = 32 ] && [ "$(field "$out" height)" = 16 ]'

# convert: the file is written, and a lossless format gives the same pixels back.
src=png/basn2c08.png
out=$("$cli" convert "$corpus/$src" "$work/a.bmp"); code=$?
check "convert says what it wrote" '[ $code -eq 0 ] && [[ $out == *"written=$work/a.bmp"* ]] && [ -s "$work/a.bmp" ]'
check "convert writes the format of the extension" '[ "$(head -c 2 "$work/a.bmp")" = BM ]'
out=$("$cli" info "$work/a.bmp" --pixels-sha256)
check "a converted BMP holds the PNG's pixels" \
    '[ "$(field "$out" format)" = bmp ] && [ "$(field "$out" pixels_sha256)" = "$(manifest_hash $src)" ]'

# op: mirroring twice gives the picture back; the first mirror differs from it.
out=$("$cli" op flip-h "$corpus/$src" --out "$work/f.png" --pixels-sha256); code=$?
check "op writes its result" '[ $code -eq 0 ] && [ -s "$work/f.png" ]'
check "op prints the result's hash, which a mirror changes" \
    '[ -n "$(field "$out" pixels_sha256)" ] && [ "$(field "$out" pixels_sha256)" != "$(manifest_hash $src)" ]'
out=$("$cli" op flip-h "$work/f.png" --out "$work/ff.png" --pixels-sha256)
check "two mirrors give the picture back" '[ "$(field "$out" pixels_sha256)" = "$(manifest_hash $src)" ]'

# thumb: a JPEG that fits the box with the picture's proportions (227 x 149 into 16 x 16).
out=$("$cli" thumb --box 16x16 "$corpus/jpeg/testorig.jpg" "$work/t.jpg"); code=$?
check "thumb writes its JPEG" '[ $code -eq 0 ] && [[ $out == *"written=$work/t.jpg"* ]] && [ -s "$work/t.jpg" ]'
out=$("$cli" info "$work/t.jpg")
check "the thumbnail fits the box" \
    '[ "$(field "$out" format)" = jpeg ] && [ "$(field "$out" width)" = 16 ] && [ "$(field "$out" height)" = 10 ]'

# retouch: a quarter turn exchanges the sides, in what it prints and in what it saves.
out=$("$cli" retouch "$corpus/jpeg/testorig.jpg" --out "$work/r.jpg" rotate-left); code=$?
check "retouch prints the turned picture" '[ $code -eq 0 ] && [ "$(field "$out" width)" = 149 ] && [ "$(field "$out" height)" = 227 ]'
out=$("$cli" info "$work/r.jpg")
check "retouch saves the turned picture as JPEG" \
    '[ "$(field "$out" format)" = jpeg ] && [ "$(field "$out" width)" = 149 ] && [ "$(field "$out" height)" = 227 ]'

# Failures: exit 1, the status on stdout, the reason on stderr, nothing written.
out=$("$cli" info "$work/missing.png" 2>"$work/err"); code=$?
check "a missing file exits 1 with status 3 and its name on stderr" \
    '[ $code -eq 1 ] && [ "$(field "$out" status)" = 3 ] && grep -q "missing.png" "$work/err"'
echo "not a picture" >"$work/text.png"
out=$("$cli" info "$work/text.png" 2>"$work/err"); code=$?
check "an unrecognised file exits 1 with status 2 and a reason" '[ $code -eq 1 ] && [ "$(field "$out" status)" = 2 ] && [ -s "$work/err" ]'
"$cli" convert "$work/text.png" "$work/never.bmp" >/dev/null 2>&1; code=$?
check "a failed convert writes nothing" '[ $code -eq 1 ] && [ ! -e "$work/never.bmp" ]'

"$cli" info >/dev/null 2>"$work/err"; code=$?
check "a missing file argument is a usage error" '[ $code -eq 2 ] && [ -s "$work/err" ]'
"$cli" no-such-command >/dev/null 2>"$work/err"; code=$?
check "an unknown command is a usage error" '[ $code -eq 2 ] && [ -s "$work/err" ]'

exit $fail
