#!/usr/bin/env bash
# Writes the manual page brevander(1) from the tool's own --help, --version and
# each command's --help, so that it says what the tool says, commands added later
# included:  make-man-page.sh TOOL OUT
# The commands are the words after "brevander" in the usage lines; help prints the
# whole usage, which is the page's top already. The page's date is the last
# commit's (SOURCE_DATE_EPOCH), so that a rebuild gives the same page.
set -euo pipefail
tool=$1 out=$2
if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$(dirname "$0")" log -1 --format=%ct 2>/dev/null || date +%s)
  export SOURCE_DATE_EPOCH
fi

include=$(mktemp)
trap 'rm -f "$include"' EXIT
# As roff takes text verbatim: backslashes escaped, hyphens as minus signs (they
# are options' dashes), and no line starting with a control character.
verbatim() { echo ".nf"; sed -e 's/\\/\\e/g' -e 's/-/\\-/g' -e "s/^[.']/\\\\\\&&/"; echo ".fi"; }

# The tool's --help is free text, which help2man would cut into odd headings: its
# usage lines become the synopsis and the rest the description, both as written.
"$tool" --help >"$include.help"
trap 'rm -f "$include" "$include.help"' EXIT
{
  echo "[SYNOPSIS]"
  awk 'NR > 1 && /^$/ { exit } NR > 1 { sub(/^  /, ""); print }' "$include.help" | verbatim
  echo "[=DESCRIPTION]"
  awk 'body { print } /^$/ { body = 1 }' "$include.help" | verbatim
  echo "[COMMANDS]"
  sed -n 's/^  brevander \([a-z][a-z-]*\).*/\1/p' "$include.help" | awk '!seen[$0]++' |
    while read -r command; do
      [ "$command" != help ] || continue
      echo ".SS \"brevander $command\""
      "$tool" "$command" --help | verbatim
    done
} >"$include"

help2man --no-info --section=1 --name="renders audio through the Brevander stereo shuffler plug-in" \
  --include="$include" --output="$out" "$tool"
