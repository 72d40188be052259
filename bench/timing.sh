# Wall-time helpers shared by the benchmark scripts (sourced, not run). A command
# that fails stops the script rather than having its failure timed.

seconds_of() {  # seconds_of COMMAND...: wall time of one run
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}

median_of_five() {  # median_of_five COMMAND...: one warm-up, then the median of five runs
  "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }  # the files in the page cache, the programs loaded
  for _ in 1 2 3 4 5; do seconds_of "$@"; done | sort -g | sed -n 3p
}
