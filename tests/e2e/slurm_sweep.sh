#!/usr/bin/env bash
# The README's Slurm recipe on a real Slurm: a single-node cluster from
# Debian's packages (munged, slurmctld and slurmd on localhost, configured
# here, on ports and a munge socket of its own, as the user running the
# test), the sweep listed in chunks, the README's own sweep.sbatch run as a
# job array, the rows merged from their folder and plotted, and the summary
# compared row by row with the same sweep made on this machine. The array
# limit is set low (MaxArraySize=4) so that the chunks are what makes it fit.
# Skipped, with a line that says so, where Slurm's programs are missing.
source "$(dirname "$0")/experiments_common.bash" "$1"
M=$MARROWICK
README=$(cd "$(dirname "$0")/../.." && pwd)/README.md

for program in munged slurmctld slurmd sbatch sinfo; do
    if ! command -v "$program" >/dev/null 2>&1 && [ ! -x "/usr/sbin/$program" ]; then
        echo "slurm sweep: SKIPPED: $program is not installed (scripts/setup installs" \
             "munge, slurmctld, slurmd and slurm-client)"
        exit 77
    fi
done
export PATH="$PATH:/usr/sbin"

# ---- A cluster of one node ----
# port_free PORT: nothing on this machine uses the TCP port.
port_free() {
    local hex
    hex=$(printf '%04X' "$1")
    ! awk -v p=":$hex" '$2 ~ p "$"' /proc/net/tcp /proc/net/tcp6 2>/dev/null | grep -q .
}
free_port() {
    local port
    for _ in $(seq 100); do
        port=$((20000 + RANDOM % 30000))
        if port_free "$port" && port_free "$((port + 1))"; then
            echo "$port"
            return
        fi
    done
    fail "no free TCP port"
}
SLURM=$WORK/slurm
mkdir -p "$SLURM/state" "$SLURM/spool" "$SLURM/munge"
# munged insists that everyone may pass through the folders above its socket
# (the scratch folder is private: passing, not listing).
chmod 711 "$WORK" "$SLURM" "$SLURM/munge"
head -c 1024 /dev/urandom >"$SLURM/munge/munge.key"
chmod 400 "$SLURM/munge/munge.key"
user=$(id -un)
port=$(free_port)
cat >"$SLURM/slurm.conf" <<EOF
ClusterName=marrowick-test
SlurmctldHost=localhost
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=$user
SlurmdUser=$user
AuthType=auth/munge
AuthInfo=socket=$SLURM/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$SLURM/state
SlurmdSpoolDir=$SLURM/spool
SlurmctldPidFile=$SLURM/slurmctld.pid
SlurmdPidFile=$SLURM/slurmd.pid
SlurmctldLogFile=$SLURM/slurmctld.log
SlurmdLogFile=$SLURM/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
SchedulerType=sched/builtin
MpiDefault=none
ReturnToService=2
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MaxArraySize=4
NodeName=localhost NodeAddr=127.0.0.1 CPUs=2 State=UNKNOWN
PartitionName=test Nodes=ALL Default=YES State=UP MaxTime=INFINITE
EOF
export SLURM_CONF=$SLURM/slurm.conf

SLURM_PIDS=()
# Stops the daemons by their own process ids, politely first.
stop_cluster() {
    local pid
    [ -f "$SLURM/munged.pid" ] && SLURM_PIDS+=("$(cat "$SLURM/munged.pid")")
    for pid in "${SLURM_PIDS[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${SLURM_PIDS[@]}"; do
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
    done
    SLURM_PIDS=()
}
show_logs() {
    local log
    for log in "$SLURM"/*.log "$SLURM"/*.out; do
        [ -f "$log" ] && { echo "--- $log (last lines)"; tail -n 15 "$log"; } >&2
    done
}
finish() {
    local status=$?
    set +e
    if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then show_logs; fi
    stop_cluster
    cleanup
    exit "$status"
}
trap finish EXIT

munged --key-file="$SLURM/munge/munge.key" --socket="$SLURM/munge/munge.socket" \
       --pid-file="$SLURM/munged.pid" --log-file="$SLURM/munged.log" \
       --seed-file="$SLURM/munge/munge.seed" || fail "munged did not start"
slurmctld -D -f "$SLURM_CONF" >"$SLURM/slurmctld.out" 2>&1 &
SLURM_PIDS+=($!)
slurmd -D -f "$SLURM_CONF" -N localhost >"$SLURM/slurmd.out" 2>&1 &
SLURM_PIDS+=($!)
state=""
for _ in $(seq 120); do
    state=$(sinfo -h -o %T 2>/dev/null || true)
    [ "$state" = idle ] && break
    sleep 0.5
done
[ "$state" = idle ] || fail "the node did not come up idle: '$state'"
echo "slurm sweep: $(sinfo -h -o '%P %a %D %T %N %c') ($(sinfo -V))"

# ---- The sweep on one machine ----
sweep=(--sweep --vary foodPerAnt=0.001,0.002 --vary maxWanderDistance=10,20 --seeds 1-3 --steps 150)
expect_status 0 "$M" "${sweep[@]}" --out direct.csv --plot direct.svg --jobs 2
[ "$(row_count direct.csv)" -eq 12 ] || fail "direct sweep: $(row_count direct.csv) rows"

# ---- The README's recipe ----
# sweep.sbatch exactly as the README has it.
awk '/^with `sweep.sbatch`:/ { found = 1; next }
     found && /^    / { sub(/^    /, ""); print; started = 1; next }
     found && started { exit }' "$README" >sweep.sbatch
grep -q '^#SBATCH --output=rows/task-%a.log$' sweep.sbatch || fail "README's sweep.sbatch: $(cat sweep.sbatch)"
expect_status 0 "$M" "${sweep[@]}" --list-runs --chunk 5 --program "$M"
cp out.txt tasks.txt
[ "$(wc -l <tasks.txt)" -eq 3 ] || fail "tasks: $(cat tasks.txt)"
mkdir -p rows
# One task per run would be more than the cluster takes.
expect_status 1 sbatch --array=1-12 sweep.sbatch
grep -qi "invalid job array" err.txt || fail "the unchunked array was not refused: $(cat err.txt)"
echo "slurm sweep: an array of 12 tasks is refused: $(cat err.txt)"
timeout 300 sbatch --wait --array=1-"$(wc -l <tasks.txt)" sweep.sbatch >out.txt 2>err.txt ||
    fail "the array failed: $(cat out.txt err.txt)"
echo "slurm sweep: $(cat out.txt), $(wc -l <tasks.txt) tasks of at most 5 runs"
for task in 1 2 3; do
    [ -s "rows/task-$task.csv" ] || fail "task $task wrote no rows"
    [ -f "rows/task-$task.log" ] || fail "task $task has no log under rows/"
done
ls slurm-*.out >/dev/null 2>&1 && fail "task logs in the submit folder: $(ls slurm-*.out)"
expect_status 0 "$M" --merge rows --out results.csv
[ ! -s err.txt ] || fail "merge complained: $(cat err.txt)"
diff <(rows direct.csv) <(rows results.csv) >diff.txt || fail "rows differ: $(cat diff.txt)"
echo "slurm sweep: merged $(row_count results.csv) rows from $(ls rows/*.csv | wc -l) files;" \
     "row by row the same as the sweep on one machine"

# Finally the same sweep finds every run in the merged file and draws the
# plot: the same picture as the one machine's, whatever order the rows
# arrived in.
expect_status 0 "$M" "${sweep[@]}" --out results.csv --plot results.svg
[ "$(row_count results.csv)" -eq 12 ] || fail "the plotting sweep ran runs again"
rsvg-convert results.svg -o results.png || fail "the plot does not render"
cmp -s direct.svg results.svg || fail "the plots differ"
echo "slurm sweep: ok"
