#!/usr/bin/env bash
# How a sweep scales with its jobs, and what each run costs beyond its steps.
#   bench/sweep_scaling.sh [path-to-marrowick] [steps] [runs]
# Defaults: build-rel/marrowick, 10000 steps, 8 runs. Confined to cores 0
# and 1 (taskset), so the figures do not lean on more. A build without the
# window (-DMARROWICK_GUI=OFF) starts faster: it loads no SDL, GL or X
# libraries; compare both.
# Goals: 2 jobs on 2 cores at least 1.8 times as fast as 1 job; the overhead
# of a run (process start, rule load, building the world, writing the row)
# under 5 % of a 10,000-step run.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$top/build-rel/marrowick}")
steps=${2:-10000}
runs=${3:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"   # the runs read and write Rules.clp here

now() { date +%s.%N; }

# timed NAME COMMAND...: runs the command; NAME.wall gets its wall seconds,
# NAME.cpu its CPU seconds with its children's (less disturbed than the wall
# time by other work on a shared machine).
timed() {
    local name=$1 start end
    shift
    start=$(now)
    /usr/bin/time -f "%U %S" -o "$name.cpu" "$@" >/dev/null
    end=$(now)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }' >"$name.wall"
    awk '{ printf "%.3f", $1 + $2 }' "$name.cpu" >"$name.cpu.s"
}

# sweep NAME JOBS STEPS: one sweep of $runs seeds into NAME.csv.
sweep() {
    rm -f "$1.csv"
    timed "$1" taskset -c 0,1 "$program" --sweep --seeds "$runs" --steps "$3" --jobs "$2" \
        --out "$1.csv"
}

"$program" --sweep --seeds 1 --steps 1 --out warm.csv  # page cache, Rules.clp

sweep one 1 "$steps"
sweep two 2 "$steps"
sweep empty 1 0
# The sweep's own share (checking the grid, reading the summary), no runs.
timed list "$program" --sweep --seeds "$runs" --steps 0 --list-runs
cmp -s <(cut -d, -f1-15 one.csv | sort) <(cut -d, -f1-15 two.csv | sort) || {
    echo "sweep_scaling: 1 and 2 jobs gave different rows" >&2
    exit 1
}

awk -v runs="$runs" -v steps="$steps" -v load="$(cut -d' ' -f1 /proc/loadavg)" \
    -v one="$(cat one.wall)" -v two="$(cat two.wall)" -v empty="$(cat empty.wall)" \
    -v cpu_one="$(cat one.cpu.s)" -v cpu_empty="$(cat empty.cpu.s)" -v cpu_list="$(cat list.cpu.s)" \
    -v inside="$(awk -F, 'NR > 1 { s += $NF; n++ } END { printf "%.4f", s / n }' empty.csv)" 'BEGIN {
    per_run = one / runs
    overhead = empty / runs
    run_cpu = (cpu_one - cpu_list) / runs
    overhead_cpu = (cpu_empty - cpu_list) / runs
    printf "runs x steps          %d x %d\n", runs, steps
    printf "1 job                 %.2f s  (%.3f s per run)\n", one, per_run
    printf "2 jobs                %.2f s\n", two
    printf "speed-up              %.2f x   (goal >= 1.8)\n", one / two
    printf "run of 0 steps        %.1f ms  (start to row written, as the sweep sees it)\n", overhead * 1000
    printf "  inside the run      %.1f ms  (rule load and world; the rest is exec and exit)\n", inside * 1000
    printf "overhead per run      %.1f %% of a %d-step run   (goal < 5)\n", 100 * overhead / per_run, steps
    printf "  in CPU time         %.1f ms of %.1f ms = %.1f %%  (the sweep itself: %.0f ms, once)\n",
           1000 * overhead_cpu, 1000 * run_cpu, 100 * overhead_cpu / run_cpu, 1000 * cpu_list
    printf "load average          %s   (other work on the machine skews the wall times)\n", load
}'
