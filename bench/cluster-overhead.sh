#!/usr/bin/env bash
# What rendering a tree as a 4-task Slurm array costs beyond one batch render of it
# on the same machine, and how evenly the shard rule splits a tree of mixed lengths:
# 96 files from 10 s to 80 s in nested folders (44.1 kHz 16-bit stereo WAV), rendered
#   - by one `render --recursive -j CORES`;
#   - by the four shards as four processes, CORES at a time, each with -j 1, as the
#     array runs them but without a scheduler;
#   - by cluster/slurm-render-array.sh as --array=0-3, one CPU a task, on a
#     one-node cluster of this machine (tests/cluster/one-node-cluster.sh; root),
#     timed from sbatch until the last task has ended;
# one warm-up round, then five rounds of the three in turn, medians. Then each
# shard's files and audio from the last array's reports.
#   bench/cluster-overhead.sh [TOOL]   (TOOL defaults to build/linux/brevander)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(realpath "${1:-build/linux/brevander}")
script=$(realpath cluster/slurm-render-array.sh)
tree=$(realpath -m build/bench/data/cluster-tree)

if [ ! -f "$tree/.complete" ]; then
  rm -rf "$tree"
  for i in $(seq 0 95); do
    sub=$tree/year$((i % 4))/concert$((i % 6))
    mkdir -p "$sub"
    ffmpeg -v error -y -filter_complex \
      "anoisesrc=d=$((10 + i * 37 % 71)):r=44100:c=pink:seed=$i[a];anoisesrc=d=$((10 + i * 37 % 71)):r=44100:c=white:seed=$((i + 100)):a=0.3[b];[a][b]amerge=inputs=2" \
      -c:a pcm_s16le "$sub/take $i.wav"
  done
  touch "$tree/.complete"
fi

fail() { echo "failed: $*" >&2; exit 1; }
source tests/cluster/one-node-cluster.sh
start_cluster
cores=$(nproc)
out=$dir/out

now() { date +%s.%N; }
batch() {
  "$tool" render "$tree" --out-dir "$out" --recursive -j "$cores" >/dev/null
}
shards() {
  printf '%s\n' 0 1 2 3 | xargs -P "$cores" -I{} \
    "$tool" render "$tree" --out-dir "$out" --recursive --shard {}/4 --skip-existing -j 1 >/dev/null
}
array() {
  job=$(submit --array=0-3 "$script" "$tree" "$out")
  # Polled finely: the wait's granularity is part of what is timed.
  while ! job_gone "$job"; do sleep 0.02; done
  [ -z "$(scontrol -o show job "$job" | grep -v 'JobState=COMPLETED .*ExitCode=0:0')" ] || fail "job $job"
}
# Seconds one run of $1 takes, from an empty output folder.
timed() {
  rm -rf "$out"
  sync
  local start end
  start=$(now)
  "$1"
  end=$(now)
  echo "$end - $start" | bc -l
}
median() { sort -g | sed -n 3p; }

for kind in batch shards array; do timed $kind >/dev/null; done
declare -A runs
for _ in 1 2 3 4 5; do
  for kind in batch shards array; do runs[$kind]+="$(timed $kind) "; done
done
for kind in batch shards array; do
  m=$(tr ' ' '\n' <<<"${runs[$kind]}" | grep . | median)
  printf '%-7s median %.3f s  (runs: %s)  %+.1f %% against the batch\n' "$kind" "$m" "${runs[$kind]% }" \
    "$(echo "($m / $(tr ' ' '\n' <<<"${runs[batch]}" | grep . | median) - 1) * 100" | bc -l)"
done

# The last array's reports: files and seconds of audio per shard.
echo "shards of the last array (files, seconds of audio):"
for report in "$dir"/reports/render-"$job"-*.jsonl; do
  sed 's/.*"frames":\([0-9]*\),"rate":\([0-9]*\).*/\1 \2/' "$report" |
    awk -v task="${report##*-}" '{ s += $1 / $2; n++ } END { printf "  %s %d files %.0f s\n", task, n, s }'
done | sort | tee "$dir/spread"
awk '{ s += $4; if ($4 > m) m = $4; n++ } END { printf "largest shard %.0f s against a mean of %.0f s: %.3f\n", m, s / n, m / (s / n) }' "$dir/spread"
