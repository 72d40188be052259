#!/usr/bin/env bash
# Every figure in BENCHMARKS.md, in one run: the processing benchmarks (medians of
# five repetitions) and the renderer against ffmpeg on the same generated file
# (medians of five timed runs after one warm-up each), for 1 and 10 minutes; a
# folder on every core; the plug-in's window in a host; a tree as a Slurm array against one batch render (root).
#   bench/run-benchmarks.sh   (make bench builds what it needs first)
set -euo pipefail
cd "$(dirname "$0")/.."
data=build/bench/data
mkdir -p "$data"
tool=build/linux/brevander

# The processing benchmarks.
build/bench/bench/brevander_benchmarks --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_min_time=0.5 2>/dev/null | awk '/_median/ { for (i = 1; i <= NF; ++i) if ($i ~ /^per_frame=/) { sub("per_frame=", "", $i); print $1, $i } }' \
  | tee "$data/process.txt"
bound=$(awk '$1 ~ /^vlfHighPassAlone\/block:256_median/ { sub("ns", "", $2); print $2 }' "$data/process.txt")
default=$(awk '$1 ~ /^processThroughRecord\/block:256\/switches:0_median/ { sub("ns", "", $2); print $2 }' "$data/process.txt")
echo "default path at block 256: $default ns per frame, bound $bound ns: ratio $(echo "$default / $bound" | bc -l | cut -c1-5)"

# The LV2 plug-in's run, with no window and with one monitoring its audio.
build/bench/bench/brevander_lv2_benchmarks --benchmark_repetitions=5 --benchmark_report_aggregates_only=true \
  --benchmark_min_time=1 2>/dev/null | awk '/_median/ { for (i = 1; i <= NF; ++i) if ($i ~ /^per_frame=/) { sub("per_frame=", "", $i); print $1, $i } }'

# The equivalent chain in ffmpeg: the same sum and difference, the same filters.
chain='pan=stereo|c0=0.70710677*c0+0.70710677*c1|c1=0.70710677*c0-0.70710677*c1,channelsplit=channel_layout=stereo[s][d];[s]highpass=f=20:poles=2:width_type=q:width=0.5,lowshelf=f=80:g=-1.618:poles=1[s2];[d]allpass=f=20:order=1,highpass=f=96.26:poles=1,allpass=f=80:order=1[d2];[s2][d2]amerge=inputs=2,pan=stereo|c0=0.70710677*c0+0.70710677*c1|c1=0.70710677*c0-0.70710677*c1'

source bench/timing.sh

for minutes in 1 10; do
  input="$data/noise-${minutes}min.wav"
  if [ ! -f "$input" ]; then
    # Pink noise left, quieter white noise right: 44.1 kHz stereo float.
    ffmpeg -v error -y -filter_complex \
      "anoisesrc=d=$((minutes * 60)):r=44100:c=pink:seed=1[a];anoisesrc=d=$((minutes * 60)):r=44100:c=white:seed=2:a=0.3[b];[a][b]amerge=inputs=2" \
      -c:a pcm_f32le "$input"
  fi
  ours=$(median_of_five "$tool" render "$input" "$data/out-brevander.wav" --overwrite)
  theirs=$(median_of_five ffmpeg -v error -y -i "$input" -filter_complex "$chain" -c:a pcm_f32le "$data/out-ffmpeg.wav")
  printf '%s min: brevander %.3f s, ffmpeg %.3f s, ratio %.3f\n' "$minutes" "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
done

# Rendering a folder on every core against one file at a time.
bench/batch-speedup.sh "$tool"

# The plug-in's window in jalv.gtk3, against jalv's generic controls.
bench/lv2-window-cpu.sh build/linux/lv2

# A tree rendered as a 4-task Slurm array against one batch render, and the shards'
# spread; it starts a one-node cluster, which needs root.
if [ "$(id -u)" -eq 0 ]; then
  bench/cluster-overhead.sh "$tool"
else
  echo "the Slurm array's cost: skipped, starting a cluster needs root"
fi
