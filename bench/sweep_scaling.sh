#!/usr/bin/env bash
# How a sweep scales with its jobs, and what each run costs beyond its steps.
#   bench/sweep_scaling.sh [path-to-marrowick] [steps] [runs]
# Defaults: build-rel/marrowick, 10000 steps, 8 runs. Confined to cores 0
# and 1 (taskset), so the figures do not lean on more.
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

# sweep OUT JOBS STEPS: wall seconds of one sweep of $runs seeds.
sweep() {
    local start end
    rm -f "$1"
    start=$(now)
    taskset -c 0,1 "$program" --sweep --seeds "$runs" --steps "$3" --jobs "$2" --out "$1"
    end=$(now)
    awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }'
}

# mean_seconds FILE: the runs' own mean of the seconds column (inside the
# run: rule load, world, steps).
mean_seconds() {
    awk -F, 'NR > 1 { s += $NF; n++ } END { printf "%.4f", s / n }' "$1"
}

"$program" --sweep --seeds 1 --steps 1 --out warm.csv  # page cache, Rules.clp

one=$(sweep one.csv 1 "$steps")
two=$(sweep two.csv 2 "$steps")
empty=$(sweep empty.csv 1 0)
cmp -s <(cut -d, -f1-15 one.csv) <(cut -d, -f1-15 two.csv) || {
    echo "sweep_scaling: 1 and 2 jobs gave different rows" >&2
    exit 1
}

awk -v one="$one" -v two="$two" -v empty="$empty" -v runs="$runs" -v steps="$steps" \
    -v inside_run="$(mean_seconds one.csv)" -v inside_empty="$(mean_seconds empty.csv)" 'BEGIN {
    per_run = one / runs
    overhead = empty / runs
    printf "runs x steps          %d x %d\n", runs, steps
    printf "1 job                 %.2f s  (%.3f s per run)\n", one, per_run
    printf "2 jobs                %.2f s\n", two
    printf "speed-up              %.2f x   (goal >= 1.8)\n", one / two
    printf "run of 0 steps        %.1f ms  (process start to row written, as the sweep sees it)\n", overhead * 1000
    printf "  inside the run      %.1f ms  (rule load and world; the rest is exec and exit)\n", inside_empty * 1000
    printf "overhead per run      %.1f %% of a %d-step run   (goal < 5)\n", 100 * overhead / per_run, steps
}'
