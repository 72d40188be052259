#!/usr/bin/env bash
# The shipped Slurm script on a one-node cluster of Debian's slurmctld, slurmd and
# munged, which this test starts from a temporary folder and stops by their pids:
# a nested tree rendered by a 4-task array equals one process's render byte for
# byte, every input is in exactly one report line with the output's SHA-256 as
# sha256sum gives it, a second submission renders nothing, and an array cancelled
# while a render is in flight leaves no partial file and completes when submitted
# again. Needs root (slurmd runs the jobs as their users):
#   slurm-array-test.sh TOOL SCRIPT
set -euo pipefail
tool=$(realpath "$1") script=$(realpath "$2")

fail() {
  echo "FAILED: $*" >&2
  for log in "$dir"/log/*; do echo "--- $log" >&2; tail -20 "$log" >&2; done
  exit 1
}
source "$(dirname "$0")/one-node-cluster.sh"
start_cluster

# 48 files of 1 s in folders three deep, each different, WAV and FLAC.
tree=$dir/archive
for i in $(seq 0 47); do
  sub=$tree/season$((i % 3))/concert$((i % 4))
  if ((i % 5 == 0)); then sub+=/encore; fi
  ext=wav codec=pcm_s16le
  if ((i % 4 == 0)); then ext=flac codec=flac; fi
  mkdir -p "$sub"
  ffmpeg -v error -f lavfi -i "aevalsrc=0.3*sin($((200 + 10 * i))*2*PI*t)|0.3*sin($((203 + 10 * i))*2*PI*t+$i):d=1:s=44100" \
    -c:a "$codec" -bitexact "$sub/take $i.$ext"
done
inputs=$(find "$tree" -type f | sort)
[ "$(wc -l <<<"$inputs")" -eq 48 ] || fail "the tree holds $(wc -l <<<"$inputs") files"
settings=(--set "Mic Spacing=30" --set "LF Width=140")
"$tool" render "$tree" --out-dir "$dir/reference" --recursive "${settings[@]}" >/dev/null

# The array's tasks that did not complete with status 0.
unfinished() { scontrol -o show job "$1" | grep -v 'JobState=COMPLETED .*ExitCode=0:0' | grep -o 'JobId=[0-9]*' || true; }
no_partial() {
  local left
  left=$(find "$dir" -name '.brevander-*.partial')
  [ -z "$left" ] || fail "partial files left: $left"
}
same_as_reference() { diff -r "$dir/reference" "$1" >/dev/null || fail "$1 differs from the single render"; }
# Every input in exactly one line of the job's reports, each with status $2 and
# the output's SHA-256 as sha256sum gives it.
reports_say() {
  local job=$1 status=$2 lines
  lines=$(cat "$dir"/reports/render-"$job"-*.jsonl)
  [ "$(sed 's/.*"input":"\([^"]*\)".*/\1/' <<<"$lines" | sort)" = "$inputs" ] ||
    fail "job $job's reports do not name every input once"
  [ "$(grep -c "\"status\":\"$status\"" <<<"$lines")" -eq 48 ] || fail "job $job did not report all 48 $status"
  sed 's/.*"output":"\([^"]*\)".*"sha256":"\([0-9a-f]*\)".*/\2  \1/' <<<"$lines" | sha256sum -c --quiet ||
    fail "job $job's digests differ from sha256sum's"
}

first=$(submit --array=0-3 "$script" "$tree" "$dir/out" "${settings[@]}")
finish "$first"
[ -z "$(unfinished "$first")" ] || fail "tasks did not complete: $(unfinished "$first")"
same_as_reference "$dir/out"
no_partial
reports_say "$first" rendered
echo "a 4-task array rendered the 48 files as one process does, each reported once"

again=$(submit --array=0-3 "$script" "$tree" "$dir/out" "${settings[@]}")
finish "$again"
[ -z "$(unfinished "$again")" ] || fail "tasks did not complete: $(unfinished "$again")"
reports_say "$again" skipped
same_as_reference "$dir/out"
echo "submitted again, it rendered nothing"

# One task at a time, and one more input after the tree: a FIFO that gives a WAV
# header and a few frames, then nothing. Its task renders its share of the tree,
# then waits in the FIFO's render with the partial file made; the later tasks have
# not started. The cancel comes then, while a render is certainly in flight.
stream=$dir/stream.wav
mkfifo "$stream"
ffmpeg -v error -f lavfi -i "sine=d=10:r=44100" -ac 2 -c:a pcm_s16le -bitexact "$dir/ten.wav"
bash -c 'head -c 100000 "$1"; exec sleep 600' _ "$dir/ten.wav" >"$stream" &
writer=$!
cancelled=$(submit --array=0-3%1 "$script" "$tree" "$dir/resumed" "${settings[@]}" "$stream")
# The FIFO's output is the only one at the top of the tree: the partial file there
# is its render's, which can't end by itself. (A partial of the tree's files, in
# its folders, may belong to a task that ends before the cancel reaches it.)
in_flight() { [ -n "$(find "$dir/resumed" -maxdepth 1 -name '.brevander-*.partial' 2>/dev/null)" ]; }
until_true in_flight || fail "the FIFO's render never began"
scancel "$cancelled"
finish "$cancelled"
kill "$writer"
wait "$writer" 2>/dev/null || true
no_partial
# Read whole before grep looks: grep -q stops at the first match, and under
# pipefail the SIGPIPE that scontrol then gets would fail the check.
states=$(scontrol -o show job "$cancelled")
grep -q 'JobState=CANCELLED' <<<"$states" || fail "no task of job $cancelled was cancelled: $states"
resumed=$(submit --array=0-3 "$script" "$tree" "$dir/resumed" "${settings[@]}")
finish "$resumed"
[ -z "$(unfinished "$resumed")" ] || fail "tasks did not complete: $(unfinished "$resumed")"
same_as_reference "$dir/resumed"
no_partial
grep -q '"status":"skipped"' "$dir"/reports/render-"$resumed"-*.jsonl ||
  fail "the array submitted again after the cancel rendered everything again"
echo "cancelled while rendering, it left no partial file and completed when submitted again"
