#!/bin/bash
# Renders an archive on a shared file system as a Slurm job array: each task renders
# its shard of the tree on the cores Slurm gave it and leaves alone what is already
# rendered, so submitting the same array again after a cancel, a crash or a
# preemption renders only what is missing.
#
#   sbatch --array=0-15 --cpus-per-task=8 slurm-render-array.sh ARCHIVE OUT [render options]
#
# ARCHIVE is a folder (every audio file under it, at any depth), OUT the folder its
# tree is mirrored into; both on a file system every node sees at the same path.
# The options go to `brevander render` (--set, --param, --format, --block). The
# array must run from 0 to its task count less one, in steps of one: a task's
# shard is its index out of that count. Each task writes its report to
# REPORTS/render-JOB-TASK.jsonl, one JSON line per file it was given (a task that
# Slurm requeued: render-JOB-TASK-restartR.jsonl for its R-th restart); REPORTS is
# $BREVANDER_REPORTS, by default OUT/../reports. $BREVANDER names the tool when
# it is not `brevander` on the PATH. docs/cluster.md has the whole recipe.
#SBATCH --job-name=brevander
#SBATCH --output=brevander-%A_%a.log
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: sbatch --array=0-N slurm-render-array.sh ARCHIVE OUT [render options]" >&2
  exit 2
fi
archive=$1 out=$2
shift 2
if [ -z "${SLURM_ARRAY_TASK_ID:-}" ]; then
  echo "not an array task: submit with sbatch --array=0-N" >&2
  exit 2
fi
task=$SLURM_ARRAY_TASK_ID count=$SLURM_ARRAY_TASK_COUNT
if [ "$SLURM_ARRAY_TASK_MIN" -ne 0 ] || [ "$SLURM_ARRAY_TASK_MAX" -ne $((count - 1)) ]; then
  echo "the array runs from $SLURM_ARRAY_TASK_MIN to $SLURM_ARRAY_TASK_MAX in $count tasks;" \
    "give it --array=0-$((count - 1)), or some files would belong to no task" >&2
  exit 2
fi

reports=${BREVANDER_REPORTS:-$(dirname -- "$out")/reports}
mkdir -p -- "$reports"
report=$reports/render-$SLURM_ARRAY_JOB_ID-$task
if [ "${SLURM_RESTART_COUNT:-0}" -gt 0 ]; then
  report+=-restart$SLURM_RESTART_COUNT
fi
# As many files at once as this task has cores; without --cpus-per-task Slurm
# gives one.
jobs=${SLURM_CPUS_PER_TASK:-1}

# exec: the tool takes the script's place, so that a signal sent to the batch
# script alone (scancel --batch, sbatch --signal=B:TERM@SECONDS) reaches the tool,
# which then stops every file in flight and removes its partial files, and the
# task's exit status is the tool's. A cancel, a preemption or a time limit signals
# every process of the task anyway.
exec "${BREVANDER:-brevander}" render "$archive" --out-dir "$out" --recursive \
  --shard "$task/$count" --skip-existing -j "$jobs" \
  --report "$report.jsonl" "$@"
