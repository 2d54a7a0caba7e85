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

exit $fail
