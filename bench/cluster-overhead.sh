#!/usr/bin/env bash
# What rendering a tree as a 4-task Slurm array costs beyond one batch render of it
# on the same machine, and how evenly the shard rule splits a tree of mixed lengths.
# 96 files from 10 s to 160 s in nested folders (44.1 kHz 16-bit stereo WAV) are
# rendered
#   - by one `render --recursive -j CORES` (batch);
#   - by the four shards as four processes, CORES at a time, each with -j 1 and a
#     report, as the array runs them but without a scheduler (shards);
#   - by cluster/slurm-render-array.sh as --array=0-3, one CPU a task, on a
#     one-node cluster of this machine with Slurm's default scheduling
#     (tests/cluster/one-node-cluster.sh; needs root), timed from sbatch until
#     the last task wrote the last line of its report (array);
#   - and an array of four tasks that only write the time, timed from sbatch to
#     the last time written (empty): the scheduler's own part;
# into a folder in /dev/shm, so that the disk's other users weigh on none of them;
# one warm-up round, then five rounds of the four in turn, medians. Then the two
# arrays again after the scheduler is told not to hold batch jobs back
# (SchedulerParameters=batch_sched_delay=0; Slurm's default is 3 s). Then the
# audio in each shard for 4, 8 and 16 shards, by the rule the tool uses (the first
# 64 bits of the SHA-256 of the path within the tree, modulo N).
#   bench/cluster-overhead.sh [TOOL]   (TOOL defaults to build/linux/brevander)
set -euo pipefail
cd "$(dirname "$0")/.."
tool=$(realpath "${1:-build/linux/brevander}")
script=$(realpath cluster/slurm-render-array.sh)
tree=$(realpath -m build/bench/data/cluster-tree)

if [ ! -f "$tree/lengths.tsv" ]; then
  rm -rf "$tree"
  for i in $(seq 0 95); do
    path=year$((i % 4))/concert$((i % 6))/take\ $i.wav
    seconds=$((10 + i * 37 % 151))
    mkdir -p "$(dirname "$tree/$path")"
    ffmpeg -v error -y -filter_complex \
      "anoisesrc=d=$seconds:r=44100:c=pink:seed=$i[a];anoisesrc=d=$seconds:r=44100:c=white:seed=$((i + 100)):a=0.3[b];[a][b]amerge=inputs=2" \
      -c:a pcm_s16le "$tree/$path"
    printf '%s\t%s\n' "$path" "$seconds" >>"$tree/.lengths"
  done
  mv "$tree/.lengths" "$tree/lengths.tsv"
fi

fail() { echo "failed: $*" >&2; exit 1; }
cluster_parent=/dev/shm
source tests/cluster/one-node-cluster.sh
start_cluster
cores=$(nproc)
out=$dir/out
mkdir -p "$dir/reports"

batch() {
  "$tool" render "$tree" --out-dir "$out" --recursive -j "$cores" >/dev/null
}
shards() {
  printf '%s\n' 0 1 2 3 | xargs -P "$cores" -I{} \
    "$tool" render "$tree" --out-dir "$out" --recursive --shard {}/4 --skip-existing -j 1 \
    --report "$dir/reports/shards-$(date +%s%N)-{}.jsonl" >/dev/null
}
# The two arrays end when the last task wrote its last line (the report's, or a
# stamp's); squeue is asked every half second only, since each call costs the
# cluster a munge credential and the controller a request, taken from the tasks'
# two cores: asked every 20 ms, it made the array's tasks take twice as long.
wait_for() {
  while ! job_gone "$1"; do sleep 0.5; done
}
empty() {
  local job
  job=$(cd "$dir/jobs" && sbatch --parsable --cpus-per-task=1 --array=0-3 \
    --wrap 'date +%s.%N >"stamp-$SLURM_ARRAY_TASK_ID"')
  wait_for "$job"
  cat "$dir"/jobs/stamp-* | sort -g | tail -1
  rm -f "$dir"/jobs/stamp-*
}
array() {
  local job report
  job=$(submit --array=0-3 "$script" "$tree" "$out")
  wait_for "$job"
  [ -z "$(scontrol -o show job "$job" | grep -v 'JobState=COMPLETED .*ExitCode=0:0')" ] || fail "job $job"
  for report in "$dir"/reports/render-"$job"-*.jsonl; do date -r "$report" +%s.%N; done | sort -g | tail -1
}
# Seconds one run of $1 takes, into an empty output folder: until it returns, or
# until the time it prints.
timed() {
  rm -rf "$out"
  local start end
  start=$(date +%s.%N)
  end=$("$1")
  [ -n "$end" ] || end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { tr ' ' '\n' | grep . | sort -g | sed -n 3p; }

for kind in batch shards array empty; do timed $kind >/dev/null; done
declare -A runs
for _ in 1 2 3 4 5; do
  for kind in batch shards array empty; do runs[$kind]+="$(timed $kind) "; done
done
base=$(median <<<"${runs[batch]}")
for kind in batch shards array empty; do
  m=$(median <<<"${runs[$kind]}")
  printf '%-6s median %6.2f s, %+5.1f %% against the batch  (runs: %s)\n' "$kind" "$m" \
    "$(echo "($m / $base - 1) * 100" | bc -l)" "$(for r in ${runs[$kind]}; do printf '%.2f ' "$r"; done)"
done

echo "SchedulerParameters=batch_sched_delay=0" >>"$SLURM_CONF"
scontrol reconfigure
sleep 2
declare -A quick
for _ in 1 2 3 4 5; do
  for kind in array empty; do quick[$kind]+="$(timed $kind) "; done
done
for kind in array empty; do
  m=$(median <<<"${quick[$kind]}")
  printf '%-6s median %6.2f s, %+5.1f %% against the batch, with batch_sched_delay=0  (runs: %s)\n' "$kind" "$m" \
    "$(echo "($m / $base - 1) * 100" | bc -l)" "$(for r in ${quick[$kind]}; do printf '%.2f ' "$r"; done)"
done

# Seconds of audio per shard, by the tool's rule.
total=$(awk -F'\t' '{ s += $2 } END { print s }' "$tree/lengths.tsv")
echo "96 files, $total s of audio"
for n in 4 8 16; do
  while IFS=$'\t' read -r path seconds; do
    hex=$(printf %s "$path" | sha256sum | cut -c1-16 | tr a-f A-F)
    echo "$(echo "ibase=16; $hex % $(printf %X "$n")" | bc) $seconds"
  done <"$tree/lengths.tsv" | awk -v n="$n" -v total="$total" '
    { s[$1] += $2; c[$1]++ }
    END {
      for (k = 0; k < n; k++) { if (s[k] > m) m = s[k]; if (k == 0 || s[k] < l) l = s[k]; files = files " " c[k] + 0 }
      printf "%2d shards: largest %4d s, smallest %4d s, mean %6.1f s: largest / mean %.2f; files per shard:%s\n",
             n, m, l, total / n, m / (total / n), files
    }'
done
