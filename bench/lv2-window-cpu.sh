#!/usr/bin/env bash
# What the plug-in's window costs in a real host: jalv.gtk3 on a dummy JACK server at
# 48 kHz under Xvfb, with a click track playing into both inputs, once with the
# window and once with jalv's own generic controls (-g); prints the host process's
# CPU time over SECONDS as a share of one core, for each, three times.
#   bench/lv2-window-cpu.sh [LV2-DIR] [SECONDS]   (default build/linux/lv2, 30)
# The X and JACK servers and the clients start in a temporary folder and are stopped
# by their pids.
set -euo pipefail
cd "$(dirname "$0")/.."
lv2_dir=$(realpath "${1:-build/linux/lv2}") seconds=${2:-30}

# One measurement: jalv with the arguments given.
measure() {
  local work pids=() jalv
  work=$(mktemp -d)
  # shellcheck disable=SC2317  # called by the trap
  stop() {
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
      kill "${pids[i]}" 2>/dev/null || true
      wait "${pids[i]}" 2>/dev/null || true
    done
    rm -rf "$work"
  }
  trap stop RETURN
  wait_for() { for _ in $(seq 300); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done; return 1; }
  (
    cd "$work"
    Xvfb -displayfd 3 -screen 0 1400x900x24 -nolisten tcp 3>display.txt >xvfb.log 2>&1 &
    echo $! >xvfb.pid
  )
  pids+=("$(cat "$work/xvfb.pid")")
  wait_for test -s "$work/display.txt"
  export DISPLAY=:$(head -n1 "$work/display.txt")
  export JACK_DEFAULT_SERVER=brevander-bench-$$ JACK_NO_AUDIO_RESERVATION=1 JACK_NO_START_SERVER=1
  (cd "$work" && exec jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 48000 -p 1024 >jackd.log 2>&1) &
  pids+=($!)
  wait_for jack_lsp
  (cd "$work" && LV2_PATH=$lv2_dir exec jalv.gtk3 "$@" urn:brevander:shuffler >jalv.log 2>&1) &
  jalv=$!
  pids+=("$jalv")
  wait_for sh -c 'jack_lsp | grep -q Brevander:in_right'
  (cd "$work" && exec jack_metro -b 600 -f 440 -D 50 >/dev/null 2>&1) &
  pids+=($!)
  wait_for sh -c 'jack_lsp | grep -q metro:'
  jack_connect metro:600_bpm Brevander:in_left
  jack_connect metro:600_bpm Brevander:in_right
  sleep 3
  local t0 t1 s0 s1
  t0=$(awk '{ print $14 + $15 }' "/proc/$jalv/stat")
  s0=$(date +%s.%N)
  sleep "$seconds"
  t1=$(awk '{ print $14 + $15 }' "/proc/$jalv/stat")
  s1=$(date +%s.%N)
  echo "$(echo "scale=2; 100 * ($t1 - $t0) / $(getconf CLK_TCK) / ($s1 - $s0)" | bc)"
}

for _ in 1 2 3; do
  window=$(measure)
  generic=$(measure -g)
  echo "jalv.gtk3 over $seconds s: with the window $window % of a core, with generic controls $generic % (load $(cut -d' ' -f1 /proc/loadavg))"
done
