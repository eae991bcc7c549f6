#!/usr/bin/env bash
# How a sweep scales with its jobs, and what each run costs beyond its steps.
#   bench/sweep_scaling.sh [path-to-marrowick] [steps] [runs] [repeats]
# Defaults: build-rel/marrowick, 20000 steps, 8 runs, 3 repeats. Confined to
# cores 0 and 1 (taskset), so the figures do not lean on more. The 1-job and
# 2-job sweeps take turns, repeats times, and the medians are compared, so
# that a burst of someone else's work late in the call does not fall on one
# side only. The machine's load is printed before and after: on a shared
# machine the wall times, and so the speed-up, are only worth quoting from a
# quiet moment.
# Goals: 2 jobs on 2 idle cores at least 1.9 times as fast as 1 job; a run's
# cost beyond its steps (process start, rule engine, building the world,
# writing the row) at most 5 ms of CPU.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$top/build-rel/marrowick}")
steps=${2:-20000}
runs=${3:-8}
repeats=${4:-3}
empty_runs=50  # runs of 0 steps, for the cost beyond the steps
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_CONFIG_HOME="$work/config"

now() { date +%s%N; }

# timed NAME COMMAND...: runs the command; NAME.wall gets its wall seconds,
# NAME.cpu its CPU seconds with every child's (the runs and their engines;
# the shell's `times` adds up exactly what was waited for).
timed() {
    local name=$1 start end
    shift
    start=$(now)
    ( "$@" >/dev/null; times ) | tail -n 1 |
        awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); printf "%.4f", u[1] * 60 + u[2] + s[1] * 60 + s[2] }' \
        >"$name.cpu"
    end=$(now)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", (b - a) / 1e9 }' >"$name.wall"
}

# sweep NAME JOBS STEPS RUNS: one sweep of RUNS seeds into NAME.csv.
sweep() {
    rm -f "$1.csv"
    timed "$1" taskset -c 0,1 "$program" --sweep --seeds "$4" --steps "$3" --jobs "$2" \
        --out "$1.csv"
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
"$program" --sweep --seeds 1 --steps 1 --out warm.csv  # page cache, the rule base

for r in $(seq "$repeats"); do
    sweep "one$r" 1 "$steps" "$runs"
    sweep "two$r" 2 "$steps" "$runs"
done
median() { cat "$@" | tr ' ' '\n' | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
sweep empty 1 0 "$empty_runs"
# The sweep's own share (checking the grid, reading the summary), no runs.
timed list "$program" --sweep --seeds "$empty_runs" --steps 0 --list-runs
load_after=$(cut -d' ' -f1-3 /proc/loadavg)
cmp -s <(cut -d, -f1-15 one1.csv | sort) <(cut -d, -f1-15 two1.csv | sort) || {
    echo "sweep_scaling: 1 and 2 jobs gave different rows" >&2
    exit 1
}

awk -v runs="$runs" -v steps="$steps" -v empty_runs="$empty_runs" \
    -v one="$(median one*.wall)" -v two="$(median two*.wall)" -v empty="$(cat empty.wall)" \
    -v cpu_one="$(median one*.cpu)" -v repeats="$repeats" -v cpu_empty="$(cat empty.cpu)" -v cpu_list="$(cat list.cpu)" \
    -v load_before="$load_before" -v load_after="$load_after" -v program="$program" \
    -v processors="$(nproc)" 'BEGIN {
    per_run = one / runs
    overhead = empty / empty_runs
    run_cpu = cpu_one / runs
    overhead_cpu = (cpu_empty - cpu_list) / empty_runs
    printf "program               %s\n", program
    printf "runs x steps          %d x %d\n", runs, steps
    printf "1 job                 %.2f s  (%.3f s per run, %.3f s CPU per run)\n", one, per_run, run_cpu
    printf "2 jobs                %.2f s\n", two
    printf "speed-up              %.2f x   (goal >= 1.9 on 2 idle cores; medians of %d turns)\n", \
           one / two, repeats
    printf "run of 0 steps        %.1f ms wall, %.2f ms CPU  (program and engine, goal <= 5;\n", \
           overhead * 1000, overhead_cpu * 1000
    printf "                      mean of %d runs in a sweep, its own %.0f ms taken off)\n", \
           empty_runs, cpu_list * 1000
    printf "beyond the steps      %.1f %% of a %d-step run (CPU)\n", \
           100 * overhead_cpu / run_cpu, steps
    printf "load average          %s before, %s after  (1, 5, 15 min; %d processors)\n", \
           load_before, load_after, processors
}'
