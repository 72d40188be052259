# A one-node Slurm cluster for the cluster test and the cluster benchmark, sourced
# by them: Debian's munged, slurmctld and slurmd started as this shell's children
# from a fresh temporary folder that holds slurm.conf, the munge key and every
# state, spool, log, pid and socket path, on ports of their own; a trap on EXIT
# stops each by its pid and removes the folder. Needs root (slurmd runs the jobs
# as their users) and a caller that defines fail MESSAGE; $cluster_parent, if set,
# names the folder to make the temporary one in (default /tmp).
#   source one-node-cluster.sh; start_cluster; job=$(submit SBATCH-ARGS...); finish "$job"
[ "$(id -u)" -eq 0 ] || { echo "a Slurm cluster needs root to start slurmd" >&2; exit 1; }

dir=$(mktemp -d "${cluster_parent:-/tmp}/brevander-cluster.XXXXXXXX")
chmod 755 "$dir"
pids=()
# Processes that work in the folder or hold a file of it open: the daemons, and
# the slurmstepd and job processes that slurmd started, which outlive it briefly.
ours() {
  local p
  for p in /proc/[0-9]*; do
    [ "${p#/proc/}" != "$BASHPID" ] || continue
    # Matched in full rather than through grep -q, whose early exit would fail the
    # pipe under pipefail and miss the process.
    if [[ "$(readlink "$p/cwd" 2>/dev/null)/" == "$dir"/* || "$(ls -l "$p/fd" 2>/dev/null)" == *" $dir/"* ]]; then
      echo "${p#/proc/}"
    fi
  done
}
# Daemons stop last first, each by its pid and waited for; then whatever slurmd
# left gets a few seconds to end (it is ended by its pid after that), and the
# folder goes.
cleanup() {
  local i left
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    for _ in $(seq 100); do kill -0 "${pids[i]}" 2>/dev/null || break; sleep 0.1; done
    kill -9 "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  for _ in $(seq 100); do
    left=$(ours)
    [ -n "$left" ] || break
    sleep 0.1
  done
  [ -z "$left" ] || kill -9 $left 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Polls `$@` every tenth of a second until it holds, for at most $limit seconds: a
# bound that only keeps a broken cluster from hanging the suite.
limit=120
until_true() {
  local tries=$((limit * 10))
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

# Ports of their own, so that another cluster on the machine is not disturbed.
free_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 20000))
    { command -v ss >/dev/null && [ -n "$(ss -Htln "sport = :$port")" ]; } || { echo "$port"; return; }
  done
}
node_idle() { [ "$(sinfo -h -n "$host" -o %t 2>/dev/null)" = idle ]; }

# Starts the three daemons and waits until the node takes jobs.
start_cluster() {
  mkdir -p "$dir"/{log,state,spool,run,jobs}
  export SLURM_CONF=$dir/slurm.conf
  host=$(hostname -s)
  cat >"$SLURM_CONF" <<CONF
ClusterName=brevander-test
SlurmctldHost=$host(127.0.0.1)
SlurmctldPort=$(free_port)
SlurmdPort=$(free_port)
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$dir/run/munge.socket
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/run/slurmctld.pid
SlurmdPidFile=$dir/run/slurmd.pid
SlurmctldLogFile=$dir/log/slurmctld.log
SlurmdLogFile=$dir/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
JobCompType=jobcomp/none
SwitchType=switch/none
MpiDefault=none
SchedulerType=sched/builtin
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
ReturnToService=2
MailProg=/bin/true
NodeName=$host NodeAddr=127.0.0.1 CPUs=$(nproc) State=UNKNOWN
PartitionName=test Nodes=$host Default=YES MaxTime=INFINITE State=UP
CONF

  head -c 1024 /dev/urandom >"$dir/munge.key"
  chmod 400 "$dir/munge.key"
  munged -F --force --key-file="$dir/munge.key" --socket="$dir/run/munge.socket" --pid-file="$dir/run/munged.pid" \
    --log-file="$dir/log/munged.log" --seed-file="$dir/state/munged.seed" 2>>"$dir/log/munged.log" &
  pids+=($!)
  until_true test -S "$dir/run/munge.socket" || fail "munged did not start"
  slurmctld -D -i 2>>"$dir/log/slurmctld.log" &
  pids+=($!)
  slurmd -D 2>>"$dir/log/slurmd.log" &
  pids+=($!)
  until_true node_idle || fail "the node did not come up"
}

# Submits `sbatch ARGS...` (an array of the shipped script) from $dir/jobs, each
# task on one CPU, running the tool $tool with its report in $dir/reports; prints
# the job's id without waiting for it.
submit() {
  (cd "$dir/jobs" && BREVANDER=$tool BREVANDER_REPORTS=$dir/reports sbatch --parsable --cpus-per-task=1 "$@")
}
job_gone() { [ -z "$(squeue -h -j "$1" -o %i 2>/dev/null)" ]; }
# Waits until every task of the job has ended.
finish() { until_true job_gone "$1" || fail "job $1 did not end"; }
