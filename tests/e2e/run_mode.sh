#!/usr/bin/env bash
# Run mode (the screen saver itself): it takes the whole screen and shows the
# white world with its blue border, red ants, green food, the light statistics
# and the red caption; a key press ends it; the first mouse movement does not,
# a second one at another position does. Each end within one second, status 0.
source "$(dirname "$0")/e2e_common.bash" "$1"

# ---- The frame, then a key press ----
start_app /s --screenshot shot.png
window=$(xdotool search --sync --name '^Screen Saver$' | head -n 1)
[ -n "$window" ] || fail "no screen-saver window"
sleep 3
status=$(screenshot shot.png)
[ "$(steps_of "$status")" -gt 0 ] || fail "the simulation does not run: $status"

size=$(identify -format '%wx%h' shot.png)
[ "$size" = 1024x768 ] || fail "the frame is $size, not the screen's 1024x768"
total=$((1024 * 768))
white=$(pixels shot.png 'r == 255 && g == 255 && b == 255')
blue=$(pixels shot.png 'r == 0 && g == 0 && b == 255')
red=$(pixels shot.png 'r == 255 && g == 0 && b == 0')
green=$(pixels shot.png 'r == 0 && g == 255 && b == 0')
grey=$(pixels shot.png 'r == 216 && g == 216 && b == 216')
echo "white $white, blue $blue, red $red, green $green, grey $grey of $total"
[ "$white" -gt $((total / 2)) ] || fail "background not white ($white)"
[ "$blue" -gt 500 ] || fail "no blue border ($blue)"
[ "$red" -gt 200 ] || fail "no red ants ($red)"
[ "$green" -gt 200 ] || fail "no green food ($green)"
[ "$grey" -gt 200 ] || fail "no statistics text ($grey)"
# The caption "Marrowick ScreenSaver" sits centred along the top edge.
convert shot.png -crop 500x45+262+0 +repage caption.png
caption=$(pixels caption.png 'r == 255 && g == 0 && b == 0')
[ "$caption" -gt 300 ] || fail "no red caption ($caption)"

focus_and_key "$window" a
expect_exit 1000 "a key press"

# ---- Mouse movement ----
# The window appears under the parked pointer, which the window system
# reports as the first mouse movement: it only records the position. Moving
# to that same position changes nothing; a movement elsewhere ends the run.
xdotool mousemove 200 150
start_app /s
xdotool search --sync --name '^Screen Saver$' >/dev/null
sleep 1.5
expect_running "after the first mouse movement (the window appearing under the pointer)"
xdotool mousemove 200 150
sleep 0.5
expect_running "after a movement to the recorded position"
# The screen saver is the window program, in marrowick's own place (the
# process xscreensaver started and signals) and under its name; marrowick
# itself loads no SDL, GL or X library, so no other mode pays for them.
[ "$(basename "$(readlink "/proc/$APP_PID/exe")")" = marrowick-window ] ||
    fail "the screen saver runs as $(readlink "/proc/$APP_PID/exe")"
[ "$(cat "/proc/$APP_PID/comm")" = marrowick ] || fail "its name is $(cat "/proc/$APP_PID/comm")"
if ldd "$MARROWICK" | grep -Eq 'libSDL2|libGL|libX11'; then
    fail "marrowick loads window libraries: $(ldd "$MARROWICK" | grep -E 'libSDL2|libGL|libX11')"
fi
xdotool mousemove 300 260
expect_exit 1000 "a second mouse position"

# Nothing else came out on the way.
grep -qi "error" app.err && fail "errors reported: $(cat app.err)"
echo "run mode: ok"
