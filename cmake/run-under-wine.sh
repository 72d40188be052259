#!/usr/bin/env bash
# Runs a Windows program under Wine: run-under-wine.sh PREFIX ARCH PROGRAM [ARGS...]
# The prefix is created on first use, once, even when tests start in parallel.
# Wine's debug channels are silenced; the program's output and exit status pass through.
set -euo pipefail
prefix=$(realpath -m "$1") arch=$2
shift 2

export WINEPREFIX=$prefix WINEARCH=$arch WINEDEBUG=-all
# No Mono or Gecko installer dialogs when the prefix is created.
export WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY

mkdir -p "$(dirname "$prefix")"
(
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    wineboot --init >/dev/null 2>&1 || true
    wineserver --wait || true
  fi
) 9>"$prefix.lock"

exec wine "$@"
