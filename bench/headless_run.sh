#!/usr/bin/env bash
# The whole headless program: steps per second and peak memory of a fast run
# at the defaults (expert system on), on one core.
#   bench/headless_run.sh [path-to-marrowick] [steps]
# Goals: >= 100,000 steps per second of processor time (a step within 8 µs;
# the program and its rule engine process together), peak resident
# memory of the two together < 48 MiB.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$top/build-rel/marrowick}")
steps=${2:-100000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"   # the run writes Rules.clp into its working directory

# One core: the figure must not lean on a second one. The memory goal is for
# the program and its rule engine process together; /usr/bin/time sees only
# the program, so the engine's high-water mark is read from /proc while the
# run lasts (the mark only rises, so the last reading is the peak).
taskset -c 0 /usr/bin/time -v "$program" --headless --steps "$steps" \
    >"$work/stats.txt" 2>"$work/time.txt" &
timer=$!
engine_kb=0
while kill -0 "$timer" 2>/dev/null; do
    for pid in $(pgrep -f marrowick-engine -P "$(pgrep -P "$timer" | head -n 1)" 2>/dev/null); do
        kb=$(awk '/^VmHWM:/ {print $2}' "/proc/$pid/status" 2>/dev/null || true)
        if [ -n "$kb" ] && [ "$kb" -gt "$engine_kb" ]; then engine_kb=$kb; fi
    done
    sleep 0.05
done
if ! wait "$timer"; then
    cat "$work/time.txt" >&2
    exit 1
fi

seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ {
    n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$work/time.txt")
cpu=$(awk -F': ' '/User time|System time/ { s += $2 } END { print s }' "$work/time.txt")
rss_kb=$(awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt")
# The goal is by CPU time (user and system time include the rule engine
# process, which the program reaps): on a shared machine the wall clock also counts the
# time other programs held the core.
awk -v steps="$steps" -v s="$seconds" -v c="$cpu" -v kb="$rss_kb" -v ekb="$engine_kb" 'BEGIN {
    printf "steps          %d\n", steps
    printf "wall seconds   %.2f   (%.0f steps/second)\n", s, steps / s
    printf "CPU seconds    %.2f\n", c
    printf "steps/second   %.0f by CPU time   (goal >= 100000)\n", steps / c
    printf "peak RSS       %.1f MiB program + %.1f MiB engine = %.1f MiB   (goal < 48)\n",
           kb / 1024, ekb / 1024, (kb + ekb) / 1024 }'
grep -E "Total Sims|Total Ants|Colony deaths|Expert System" "$work/stats.txt"
