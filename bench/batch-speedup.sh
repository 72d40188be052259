#!/usr/bin/env bash
# The folder render's speed-up from rendering on every core: 20 one-minute 44.1 kHz
# stereo float WAV files rendered with -j 1 and with the default (one file per
# core), one warm-up and then the median wall time of five runs each.
#   bench/batch-speedup.sh [TOOL]   (TOOL defaults to build/linux/brevander)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=${1:-build/linux/brevander}
data=build/bench/data/batch
mkdir -p "$data/in" "$data/out"

for i in $(seq -w 1 20); do
  input="$data/in/noise-$i.wav"
  if [ ! -f "$input" ]; then
    ffmpeg -v error -y -filter_complex \
      "anoisesrc=d=60:r=44100:c=pink:seed=$i[a];anoisesrc=d=60:r=44100:c=white:seed=$((10#$i + 100)):a=0.3[b];[a][b]amerge=inputs=2" \
      -c:a pcm_f32le "$input"
  fi
done

source bench/timing.sh

one=$(median_of_five "$tool" render "$data/in" --out-dir "$data/out" --overwrite -j 1)
all=$(median_of_five "$tool" render "$data/in" --out-dir "$data/out" --overwrite)
printf '20 one-minute files on %s cores: -j 1 %.3f s, default %.3f s, speed-up %.2f\n' \
  "$(nproc)" "$one" "$all" "$(echo "$one / $all" | bc -l)"
