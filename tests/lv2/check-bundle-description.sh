#!/usr/bin/env bash
# Checks the LV2 bundle's description with LV2's own tools:
#   check-bundle-description.sh LV2-DIR SCHEMA-DIR
# LV2-DIR holds Brevander.lv2; SCHEMA-DIR is where lv2-dev installs LV2's schemas
# (/usr/lib/lv2). Its .ttl files (the presets', and the window's where it is built)
# must parse as Turtle (serdi) and validate against every schema lv2-dev installs
# there, the UI's and the presets' included, as dpkg lists them, so that another
# plug-in's bundle in the same folder can't fail the check (sord_validate, whose exit
# status can't be relied on, so its report is read), and lv2info must list the
# plug-in with the agreed class, feature and ports.
set -euo pipefail
lv2_dir=$1 schemas=$2
bundle=$lv2_dir/Brevander.lv2
uri=urn:brevander:shuffler
failed=0
fail() {
  echo "FAIL: $*" >&2
  failed=1
}

# The window's description is there where its binary is built.
ttls=("$bundle/manifest.ttl" "$bundle/Brevander.ttl" "$bundle/presets.ttl")
[ -f "$bundle/BrevanderUi.ttl" ] && ttls+=("$bundle/BrevanderUi.ttl")
for ttl in "${ttls[@]}"; do
  [ -f "$ttl" ] || { fail "no $ttl"; continue; }
  if ! errors=$(serdi -i turtle -o ntriples "$ttl" 2>&1 >/dev/null) || [ -n "$errors" ]; then
    fail "serdi: $ttl is not valid Turtle: $errors"
  else
    echo "serdi: $(basename "$ttl") parses ($(serdi -i turtle -o ntriples "$ttl" | wc -l) triples)"
  fi
done

mapfile -t schema_files < <(dpkg-query -L lv2-dev | grep -E "^$schemas/[^/]+\.lv2/[^/]+\.ttl\$")
[ ${#schema_files[@]} -gt 0 ] || fail "dpkg lists no schemas of lv2-dev under $schemas"
report=$(sord_validate -l "${ttls[@]}" "${schema_files[@]}" 2>&1 || true)
echo "sord_validate: $(grep -E '^Found ' <<<"$report" || echo 'no summary')"
if grep -qiE '^error' <<<"$report" || ! grep -qE '^Found 0 errors' <<<"$report"; then
  fail "sord_validate reports errors:"$'\n'"$report"
fi
# Warnings don't fail the check; they are shown for whoever reads the log.
grep -iE '^warn' <<<"$report" | sed 's/^/sord_validate: /' || true

# The schemas' own bundles are on the path so that lv2info can name the class.
info=$(LV2_PATH="$lv2_dir:$schemas" lv2info "$uri") || { fail "lv2info doesn't find $uri"; info=""; }
field() { sed -nE "s/^\t$1: +(.*)$/\1/p" <<<"$info" | head -n1; }
[ "$(field Name)" = "Brevander" ] || fail "lv2info: name is '$(field Name)'"
[ "$(field Class)" = "Spatial Plugin" ] || fail "lv2info: class is '$(field Class)', not Spatial Plugin"
[ "$(field Bundle)" = "file://$(realpath "$bundle")/" ] || fail "lv2info: the plug-in comes from '$(field Bundle)'"
optional=$(awk '/^\tOptional Features:/ { on = 1; sub(/^\tOptional Features: */, ""); print; next }
  on && /^\t +[^ ]/ { sub(/^\t +/, ""); print; next } { on = 0 }' <<<"$info" | sort | paste -sd' ')
[ "$optional" = "http://lv2plug.in/ns/ext/urid#map http://lv2plug.in/ns/lv2core#hardRTCapable" ] ||
  fail "lv2info: optional features are '$optional'"
grep -q $'^\tRequired Features:' <<<"$info" && fail "lv2info: the plug-in requires features"
# Where the window is built, hosts must find it from the plug-in: lilv lists a UI
# only when the plug-in's own data names it.
if [ -f "$bundle/BrevanderUi.ttl" ]; then
  ui=$(sed -n '/^\tUIs:/,/^\tData URIs:/p' <<<"$info")
  grep -q $'^\t\turn:brevander:shuffler#ui$' <<<"$ui" || fail "lv2info lists no window: $ui"
  grep -q 'Class:  http://lv2plug.in/ns/extensions/ui#X11UI' <<<"$ui" || fail "lv2info: the window is no X11UI: $ui"
  grep -q "Binary: file://$(realpath "$bundle")/brevander_lv2_ui.so" <<<"$ui" || fail "lv2info: the window's binary: $ui"
fi

# One line per port: index|types|symbol|name|minimum|maximum|default|properties,
# with the types and properties sorted, since lv2info lists them in any order.
ports=$(awk '
  function sorted(words,    w, n, i, j, x, out) {
    n = split(words, w, " ")
    for (i = 2; i <= n; i++) {
      x = w[i]
      for (j = i - 1; j >= 1 && w[j] > x; j--) w[j + 1] = w[j]
      w[j + 1] = x
    }
    out = ""
    for (i = 1; i <= n; i++) out = out (i > 1 ? "," : "") w[i]
    return out
  }
  function flush() {
    if (index_ != "") {
      print index_ "|" sorted(types) "|" symbol "|" name "|" min "|" max "|" def "|" sorted(props)
    }
    index_ = ""; types = ""; symbol = ""; name = ""; min = ""; max = ""; def = ""; props = ""; list = ""
  }
  /^\tPort [0-9]+:$/ { flush(); index_ = $2; sub(":", "", index_); next }
  index_ == "" { next }
  /^\t\tType:/ { list = "types"; sub(/.*#/, ""); types = types " " $0; next }
  /^\t\tProperties:/ { list = "props"; sub(/.*#/, ""); props = props " " $0; next }
  /^\t\t +[^ ]/ {
    sub(/.*#/, "")
    if (list == "types") types = types " " $0; else if (list == "props") props = props " " $0
    next
  }
  /^\t\tSymbol:/ { list = ""; symbol = $2; next }
  /^\t\tName:/ { list = ""; sub(/^\t\tName: +/, ""); name = $0; next }
  /^\t\tMinimum:/ { list = ""; min = $2; next }
  /^\t\tMaximum:/ { list = ""; max = $2; next }
  /^\t\tDefault:/ { list = ""; def = $2; next }
  END { flush() }
' <<<"$info")

# The gain default is the dB value whose linear gain is 0.83 (20 log10 0.83 dB).
expected='0|AudioPort,InputPort|in_left|Left In||||
1|AudioPort,InputPort|in_right|Right In||||
2|AudioPort,OutputPort|out_left|Left Out||||
3|AudioPort,OutputPort|out_right|Right Out||||
4|ControlPort,InputPort|enable_dif_vlf|Enable Dif VLF Filter|0.000000|1.000000|1.000000|integer,toggled
5|ControlPort,InputPort|vlf_cutoff|VLF Cut-Off|10.000000|110.000000|20.000000|logarithmic
6|ControlPort,InputPort|lf_width|LF Width|0.000000|200.000000|100.000000|
7|ControlPort,InputPort|mic_spacing|Mic Spacing|1.000000|51.000000|18.000000|
8|ControlPort,InputPort|enable_sum_shelf|Enable Sum LF Shelf|0.000000|1.000000|1.000000|integer,toggled
9|ControlPort,InputPort|mid_bass_cut_gain|Mid Bass Cut Gain|-6.020000|6.020000|-1.618438|
10|ControlPort,InputPort|mid_bass_cut_fc|Mid Bass Cut Fc|10.000000|200.000000|80.000000|logarithmic
11|AtomPort,InputPort|control|Window Messages||||connectionOptional
12|AtomPort,OutputPort|notify|Monitored Audio||||connectionOptional'
if [ "$ports" != "$expected" ]; then
  fail "lv2info lists other ports than agreed:"$'\n'"$(diff <(echo "$expected") <(echo "$ports") || true)"
else
  echo "lv2info: $uri, class $(field Class), optional features hardRTCapable and urid:map, 13 ports as agreed:"
  sed 's/^/  /' <<<"$ports"
fi
exit $failed
