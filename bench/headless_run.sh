#!/usr/bin/env bash
# The whole headless program: steps per second and peak memory of a fast run
# at the defaults (expert system on), on one core.
#   bench/headless_run.sh [path-to-marrowick] [steps]
# Goals: >= 40,000 steps per second, >= 55,000 steps per second of processor
# time (the program and its rule engine process together), peak resident
# memory < 48 MiB.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$top/build-rel/marrowick}")
steps=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"   # the run writes Rules.clp into its working directory

# One core: the figure must not lean on a second one.
if ! taskset -c 0 /usr/bin/time -v "$program" --headless --steps "$steps" \
        >"$work/stats.txt" 2>"$work/time.txt"; then
    cat "$work/time.txt" >&2
    exit 1
fi

seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {
    n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$work/time.txt")
rss_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
# User and system time include the rule engine process, which the program reaps.
cpu=$(awk -F': ' '/User time|System time/ {s += $2} END {print s}' "$work/time.txt")
awk -v steps="$steps" -v s="$seconds" -v kb="$rss_kb" -v cpu="$cpu" 'BEGIN {
    printf "steps          %d\n", steps
    printf "wall seconds   %.2f\n", s
    printf "cpu seconds    %.2f\n", cpu
    printf "steps/second   %.0f   (goal >= 40000)\n", steps / s
    printf "steps/cpu-sec  %.0f   (goal >= 55000)\n", steps / cpu
    printf "peak RSS       %.1f MiB   (goal < 48)\n", kb / 1024 }'
grep -E "Total Sims|Total Ants|Colony deaths|Expert System" "$work/stats.txt"
