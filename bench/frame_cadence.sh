#!/usr/bin/env bash
# The screen saver's two frame cadences on Mesa's software renderer
# (llvmpipe) under Xvfb, as whole processes:
#  - processor time per second of the program (all its threads, the renderer's
#    included) and of the X server, at the default pace (40 steps per second),
#    for the smooth cadence (frames at the refresh rate; Xvfb reports none, so
#    the program draws 30 a second) and for --step-frames (a frame on every
#    second step);
#  - the smooth cadence's frame intervals at 1000 steps per second: median,
#    95th percentile and longest, from the frame times the program logs.
# Each is measured `rounds` times, interleaved; the best and the median round
# are printed (a busy machine only ever adds).
#   bench/frame_cadence.sh [path-to-marrowick] [WIDTHxHEIGHT] [seconds] [rounds]
# Goals (reported, not enforced): smooth under twice the step cadence; the
# interval's p95 under 1.5 refresh intervals (50 ms at 30 a second) at 1000
# steps per second.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$top/build-rel/marrowick}")
screen=${2:-1920x1080}
seconds=${3:-20}
rounds=${4:-3}
warmup=4
work=$(mktemp -d)
xvfb=""
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null
    wait 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
cd "$work"
export XDG_CONFIG_HOME="$work/config"

Xvfb -displayfd 3 -screen 0 "${screen}x24" -nolisten tcp -noreset 3>display.txt 2>/dev/null &
xvfb=$!
for _ in $(seq 100); do
    [ -s display.txt ] && break
    sleep 0.1
done
export DISPLAY=":$(head -n 1 display.txt)"

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }
# status: the program's screenshot line for a fresh SIGUSR1.
status() {
    local before
    before=$(grep -c "screenshot shot.png:" app.err || true)
    kill -USR1 "$app"
    for _ in $(seq 200); do
        [ "$(grep -c "screenshot shot.png:" app.err || true)" -gt "$before" ] && break
        sleep 0.05
    done
    grep "screenshot shot.png:" app.err | tail -n 1
}

# cpu ARGS...: "program Xvfb frames/s" for `seconds` after the warm-up.
cpu() {
    "$program" /s --screenshot shot.png "$@" >app.out 2>app.err &
    app=$!
    sleep "$warmup"
    status >/dev/null
    local a0 x0 t0 a1 x1 t1 line
    a0=$(ticks "$app")
    x0=$(ticks "$xvfb")
    t0=$(date +%s%N)
    sleep "$seconds"
    a1=$(ticks "$app")
    x1=$(ticks "$xvfb")
    t1=$(date +%s%N)
    line=$(status)
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=""
    local frames
    frames=$(sed -n 's/.*, \([0-9]*\) since the last screenshot.*/\1/p' <<<"$line")
    awk -v a=$((a1 - a0)) -v x=$((x1 - x0)) -v t=$((t1 - t0)) -v hz="$(getconf CLK_TCK)" -v f="$frames" \
        'BEGIN { s = t / 1e9; printf "%.3f %.3f %.1f\n", a / hz / s, x / hz / s, f / s }'
}

# intervals ARGS...: "p50 p95 max" of the frame intervals over `seconds`.
intervals() {
    "$program" /s --screenshot shot.png "$@" >app.out 2>app.err &
    app=$!
    sleep "$warmup"
    status >/dev/null
    sleep "$seconds"
    local line
    line=$(status)
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=""
    sed -n 's/.*interval p50 \([0-9.]*\) ms p95 \([0-9.]*\) ms max \([0-9.]*\) ms.*/\1 \2 \3/p' <<<"$line"
}

: >smooth.txt
: >step.txt
: >fast.txt
for round in $(seq "$rounds"); do
    cpu >>smooth.txt
    cpu --step-frames >>step.txt
    intervals --rate 1000 >>fast.txt
    echo "round $round: smooth $(tail -n 1 smooth.txt), step $(tail -n 1 step.txt)," \
         "1000 steps/s intervals $(tail -n 1 fast.txt)" >&2
done

# best and median of column 1 (the program's time) with their rows
pick() { sort -n -k1,1 "$1" | awk -v n="$rounds" 'NR == 1 { best = $0 } NR == int((n + 1) / 2) { median = $0 }
                                                 END { print best " | " median }'; }
echo "llvmpipe under Xvfb at $screen, $seconds s a round, $rounds rounds; best | median"
echo "columns: program CPU-s/s, Xvfb CPU-s/s, frames/s"
echo "  smooth, 40 steps/s:        $(pick smooth.txt)"
echo "  --step-frames, 40 steps/s: $(pick step.txt)"
awk 'NR == FNR { s[NR] = $1; next } { printf "  ratio of round %d: %.2f\n", FNR, s[FNR] / $1 }' smooth.txt step.txt
echo "frame intervals at 1000 steps/s (p50 p95 max, ms), by p95:"
sort -n -k2,2 fast.txt | awk '{ print "  " $0 }'
