#!/usr/bin/env bash
# The manual page says what --help says: every usage line stands in its SYNOPSIS,
# and every command has exactly one section of its own.
#   man-page-test.sh TOOL PAGE
set -euo pipefail
tool=$1 page=$2
fail() { echo "FAILED: $*" >&2; exit 1; }

# The page's text between one .SH heading and the next, with roff's escapes undone.
section() {
  awk -v want="$1" '/^\.SH / { inside = ($2 == want) ; next } inside' "$page" |
    sed -e 's/\\-/-/g' -e 's/\\e/\\/g' -e 's/^\\&//'
}
synopsis=$(section SYNOPSIS)

usage=0
while IFS= read -r line; do
  usage=$((usage + 1))
  grep -qxF -- "$line" <<<"$synopsis" || fail "usage line not in SYNOPSIS: $line"
done < <("$tool" --help | awk 'NR > 1 && /^$/ { exit } NR > 1 { sub(/^  /, ""); print }')
[ "$usage" -gt 1 ] || fail "--help gave $usage usage lines"

commands=$("$tool" --help | sed -n 's/^  brevander \([a-z][a-z-]*\).*/\1/p' | sort -u | grep -vx help)
for command in $commands; do
  count=$(grep -cxF ".SS \"brevander $command\"" "$page" || true)
  [ "$count" -eq 1 ] || fail "the section of brevander $command appears $count times"
done
echo "man page: $usage usage lines in SYNOPSIS, one section for each of $(wc -w <<<"$commands") commands"
