#!/usr/bin/env bash
# The bundle's descriptions are written by the same tool on every architecture and
# must come out the same to the byte:
#   same-bundle-text.sh BUNDLE REFERENCE-BUNDLE
# Every .ttl of REFERENCE-BUNDLE that BUNDLE has must be identical; the manifest
# names the window only where it is built, so it is compared when both bundles
# carry the window or neither does.
set -euo pipefail
bundle=$1 reference=$2
failed=0
compared=0
has_window() { [ -f "$1/BrevanderUi.ttl" ] && echo yes || echo no; }
for ttl in "$reference"/*.ttl; do
  name=$(basename "$ttl")
  [ -f "$bundle/$name" ] || continue
  if [ "$name" = manifest.ttl ] && [ "$(has_window "$bundle")" != "$(has_window "$reference")" ]; then
    continue
  fi
  if cmp -s "$ttl" "$bundle/$name"; then
    compared=$((compared + 1))
  else
    echo "FAIL: $name differs from $ttl:" >&2
    diff "$ttl" "$bundle/$name" >&2 || true
    failed=1
  fi
done
for name in Brevander.ttl presets.ttl; do
  [ -f "$bundle/$name" ] || { echo "FAIL: no $name in $bundle" >&2; failed=1; }
done
echo "$compared descriptions the same as $reference's"
exit $failed
