#!/usr/bin/env bash
# The window in a real host: Debian's jalv.gtk3 on a dummy JACK server, under Xvfb,
# loads the plug-in from the bundle and embeds the window, which must appear at no
# less than its minimum size; the screen is kept as SCREENSHOT.
#   jalv-window-test.sh LV2-DIR SCREENSHOT
# The X and JACK servers and the host start in a temporary folder and are stopped
# by their pids, whatever happens.
set -euo pipefail
lv2_dir=$1 screenshot=$2
work=$(mktemp -d)
pids=()
stop() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap stop EXIT
cd "$work"
fail() {
  echo "FAIL: $*" >&2
  for log in xvfb.log jackd.log jalv.log; do [ -s "$log" ] && sed "s/^/$log: /" "$log" >&2; done
  exit 1
}
# Waits up to 30 s for a command to succeed.
wait_for() {
  for _ in $(seq 300); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  return 1
}

Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp 3>display.txt >xvfb.log 2>&1 &
pids+=($!)
wait_for test -s display.txt || fail "Xvfb did not start"
export DISPLAY=:$(head -n1 display.txt)

# A server of its own name, which the host must find up rather than start itself.
export JACK_DEFAULT_SERVER=brevander-test-$$ JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >jackd.log 2>&1 &
pids+=($!)
wait_for jack_lsp || fail "jackd did not start"

LV2_PATH=$lv2_dir jalv.gtk3 urn:brevander:shuffler >jalv.log 2>&1 &
pids+=($!)
# The window names its class; the host embeds it in its own.
window_shown() { xwininfo -root -tree | grep -q '("brevander_lv2_ui" "Brevander")'; }
wait_for window_shown || fail "no window appeared"
grep -q '^UI: *urn:brevander:shuffler#ui$' jalv.log || fail "jalv did not take the plug-in's window"
geometry=$(xwininfo -root -tree | sed -n 's/.*("brevander_lv2_ui" "Brevander") *\([0-9]*\)x\([0-9]*\)+.*/\1 \2/p' | head -n1)
read -r width height <<<"$geometry"
[ "${width:-0}" -ge 980 ] && [ "${height:-0}" -ge 540 ] || fail "the window is ${width}x${height}, under its minimum"
sleep 1  # a few idle calls, for the drawing
import -window root "$screenshot" || fail "no screenshot"
echo "jalv.gtk3 shows the window at ${width}x${height}; the screen is in $screenshot"
