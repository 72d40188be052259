#!/usr/bin/env bash
# Runs `make test-NAME` for every build named, each to its end whatever the others
# did, then prints every build's result and how the 32-bit x86 code was run; fails
# if any build failed:  run-tests.sh NAME...
set -uo pipefail
cd "$(dirname "$0")/.."

report=$(mktemp)
trap 'rm -f "$report"' EXIT
export BREVANDER_X86_32_REPORT=$report

results=() failed=0
for name in "$@"; do
  echo "=== make test-$name"
  start=$SECONDS
  if make "test-$name"; then
    results+=("$(printf '%-12s passed  (%d s)' "$name" $((SECONDS - start)))")
  else
    results+=("$(printf '%-12s FAILED  (%d s)' "$name" $((SECONDS - start)))")
    failed=$((failed + 1))
  fi
done

echo
echo "=== make test: every build's result"
printf '  %s\n' "${results[@]}"
[ -s "$report" ] && sed 's/^/  /' "$report"
echo "builds: $(($# - failed)) passed, $failed failed"
[ "$failed" -eq 0 ]
