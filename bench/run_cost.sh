#!/usr/bin/env bash
# What a run costs before its first step, and what the commands that do no
# simulation at all cost, in processor time of the program and every process
# it starts (the rule engine included), and in wall time.
#   bench/run_cost.sh [path-to-marrowick] [repeats]
# Defaults: build-rel/marrowick, 40 repeats of each command. Run it on a quiet
# machine, and more than once: the load is printed with the figures.
# Goals: --version, --help and --list-parameters at most 5 ms; a run's cost
# beyond its steps (a --summary-run of 0 steps: start, rule engine, world,
# row, exit) at most 5 ms of CPU, so that a 10,000-step run spends over 90 %
# of its time stepping.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$top/build-rel/marrowick}")
repeats=${2:-40}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_CONFIG_HOME="$work/config"  # the runs' rule base, made on first use

now() { date +%s%N; }

# measure NAME COMMAND...: runs the command $repeats times and prints the mean
# CPU (user + system of it and all its children, which the shell's `times`
# adds up exactly for processes that were waited for) and wall milliseconds.
measure() {
    local name=$1 start end cpu
    shift
    "$@" >/dev/null 2>&1 || { echo "run_cost: '$*' failed" >&2; exit 1; }  # warm the caches
    start=$(now)
    cpu=$( (for _ in $(seq "$repeats"); do "$@" >/dev/null 2>&1; done; times) | tail -n 1 |
           awk '{ split($1, u, /[ms]/); split($2, s, /[ms]/); print (u[1] * 60 + u[2] + s[1] * 60 + s[2]) * 1000 }')
    end=$(now)
    awk -v name="$name" -v cpu="$cpu" -v wall="$((end - start))" -v n="$repeats" 'BEGIN {
        printf "%-34s %7.2f ms CPU %7.2f ms wall\n", name, cpu / n, wall / n / 1e6 }'
}

echo "program: $program"
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)   ($(nproc) processors)"
# The floor: what starting any program costs on this machine (fork, exec,
# the C library's start-up), which every figure below includes.
measure "/bin/true (the floor)" /bin/true
measure "--version" "$program" --version
measure "--help" "$program" --help
measure "--list-parameters" "$program" --list-parameters
measure "--summary-run, 0 steps" "$program" --summary-run --seed 1 --steps 0
measure "--summary-run, 10000 steps" "$program" --summary-run --seed 1 --steps 10000
measure "--headless, 0 steps" "$program" --headless --steps 0
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
