#!/usr/bin/env bash
# The installed tool stands on its own: installed under a prefix, it loads the
# plug-in file and runs the plotting script installed beside it, also through a
# symbolic link from elsewhere; without its plug-in file it says so rather than
# loading the build tree's. The LV2 bundle and the manual page are installed under
# the same prefix.
#   installed-tool-test.sh CMAKE BUILD_DIR
set -euo pipefail
cmake=$1
build=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unset BREVANDER_PLUGIN BREVANDER_PLOT_SCRIPT
fail() { echo "FAILED: $*" >&2; exit 1; }

"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null
tool=$work/prefix/bin/brevander
[ -x "$tool" ] || fail "no tool at $tool"
[ -f "$work/prefix/lib/vst/Brevander.so" ] || fail "no plug-in file in lib/vst"
[ -f "$work/prefix/share/brevander/plot_response.py" ] || fail "no plotting script in share/brevander"
grep -q '^\.SS "brevander render"' "$work/prefix/share/man/man1/brevander.1" || fail "no manual page with the commands in share/man/man1"
for f in manifest.ttl Brevander.ttl presets.ttl brevander_lv2.so; do
  [ -f "$work/prefix/lib/lv2/Brevander.lv2/$f" ] || fail "no $f in the LV2 bundle under lib/lv2"
done

"$tool" params >"$work/params.txt" || fail "params failed"
grep -q "Mic Spacing" "$work/params.txt" || fail "params listed no parameters"
"$tool" response --out "$work/r.png" >/dev/null || fail "response failed"
[ "$(head -c 8 "$work/r.png" | od -An -tx1 | tr -d ' ')" = 89504e470d0a1a0a ] || fail "response wrote no PNG"

mkdir "$work/elsewhere"
ln -s "$tool" "$work/elsewhere/brevander"
"$work/elsewhere/brevander" params >/dev/null || fail "the tool through a link failed"

expect_missing_plugin() {  # expect_missing_plugin TOOL
  local status=0
  "$1" params >"$work/out.txt" 2>"$work/err.txt" || status=$?
  [ "$status" -eq 1 ] || fail "$1 without its plug-in file exited $status"
  grep -q "^brevander: no plug-in file: " "$work/err.txt" || fail "unexpected message: $(cat "$work/err.txt")"
  [ "$(wc -l <"$work/err.txt")" -eq 1 ] || fail "more than one line: $(cat "$work/err.txt")"
}
mkdir "$work/alone"
cp "$tool" "$work/alone/brevander"
expect_missing_plugin "$work/alone/brevander"
rm "$work/prefix/lib/vst/Brevander.so"
expect_missing_plugin "$tool"
echo "installed tool: all checks passed"
