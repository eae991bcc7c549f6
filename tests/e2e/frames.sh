#!/usr/bin/env bash
# When frames come, measured over 10 s from the frame times the program logs
# with each screenshot: by default at the display's refresh rate (Xvfb says
# none; the program then draws 30 a second), whatever the pace of the steps,
# so the orbit moves between steps; with --step-frames one frame for every second
# step, as the classic screen saver drew them. And the About box, a window of
# its own, does not stop the view's frames.
source "$(dirname "$0")/e2e_common.bash" "$1"

# field LINE NAME: the number after NAME in a screenshot status line.
field() { sed -n "s/.*$2 \([0-9.]*\).*/\1/p" <<<"$1"; }
since() { sed -n 's/.*, \([0-9]*\) since the last screenshot.*/\1/p' <<<"$1"; }

# measure ARGS...: 10 s of the screen saver; prints "frames steps p50 p95 max seconds".
measure() {
    start_app /s --screenshot shot.png "$@"
    xdotool search --sync --name '^Screen Saver$' >/dev/null || fail "no screen-saver window"
    sleep 2
    local first second t0 t1
    first=$(screenshot shot.png)
    t0=$(now_ms)
    sleep 10
    second=$(screenshot shot.png)
    t1=$(now_ms)
    echo "$second" >&2
    echo "$(since "$second") $(( $(steps_of "$second") - $(steps_of "$first") ))" \
         "$(field "$second" p50) $(field "$second" p95) $(field "$second" max) $(( t1 - t0 ))"
    stop_pid "$APP_PID"
    APP_PID=""
}

# ---- The smooth cadence: frames at the refresh rate, also at 5 steps a second ----
read -r frames steps p50 p95 max ms <<<"$(measure --rate 5)"
rate=$(( frames * 1000 / ms ))
echo "smooth at 5 steps/s: $frames frames and $steps steps in $ms ms ($rate frames/s), interval p50 $p50 ms p95 $p95 ms max $max ms"
[ "$rate" -ge 20 ] || fail "the smooth cadence drew only $rate frames a second"
[ "$rate" -le 36 ] || fail "the smooth cadence drew $rate frames a second, more than the display's 30"
[ "$frames" -gt $(( steps * 3 )) ] || fail "frames follow the steps: $frames frames for $steps steps"
# About a refresh interval apart (30 a second: 33.3 ms), never the steps' 200 ms.
awk -v p="$p50" 'BEGIN { exit !(p >= 25 && p <= 50) }' || fail "the median interval is $p50 ms"

# ---- The step cadence: a frame on every second step ----
read -r frames steps p50 p95 max ms <<<"$(measure --step-frames)"
echo "step frames at 40 steps/s: $frames frames and $steps steps in $ms ms, interval p50 $p50 ms p95 $p95 ms max $max ms"
[ "$steps" -gt 100 ] || fail "the simulation hardly ran: $steps steps"
[ "$frames" -le $(( steps / 2 + 2 )) ] || fail "more than one frame for every second step: $frames for $steps"
[ "$frames" -ge $(( steps / 4 )) ] || fail "too few frames: $frames for $steps steps"

# ---- The About box leaves the view drawing ----
start_app --window --screenshot shot.png
window=$(xdotool search --sync --name '^Marrowick$' | head -n 1)
[ -n "$window" ] || fail "no window"
sleep 2
xdotool mousemove --window "$window" 178 9 click 1
sleep 0.5
xdotool mousemove --window "$window" 205 33 click 1
box=$(window_by_name "About Box" 15) || fail "Help, About showed no About box"
first=$(screenshot shot.png)
sleep 2
second=$(screenshot shot.png)
[ "$(count_windows_named "About Box")" = 1 ] || fail "the About box went away by itself"
drawn=$(since "$second")
echo "with the About box open: $drawn frames in 2 s, steps $(steps_of "$first") -> $(steps_of "$second")"
[ "$drawn" -ge 15 ] || fail "the view stopped drawing while the About box was open ($drawn frames)"
[ "$(steps_of "$second")" -gt "$(steps_of "$first")" ] || fail "the simulation stopped"
grep -q "marrowick: Marrowick Version 0.99" app.err || fail "the About text is not on standard error"
focus_and_key "$box" Return
for _ in $(seq 30); do
    [ "$(count_windows_named "About Box")" = 0 ] && break
    sleep 0.1
done
[ "$(count_windows_named "About Box")" = 0 ] || fail "OK did not close the About box"
expect_running "after the About box closed"

# Open again, then leave the program: the box goes with it.
xdotool mousemove --window "$window" 178 9 click 1
sleep 0.5
xdotool mousemove --window "$window" 205 33 click 1
window_by_name "About Box" 15 >/dev/null || fail "no second About box"
sleep 0.5  # the box takes the keyboard once it is up; then give it back to the view
focus_and_key "$window" Escape
expect_exit 3000 "Esc with the About box open"
sleep 0.3
[ "$(count_windows_named "About Box")" = 0 ] || fail "the About box outlived the program"
echo "frames: ok"
