#!/usr/bin/env bash
# xscreensaver's part: the program draws into a window someone else made,
# named by -window-id / --window-id or by XSCREENSAVER_WINDOW with --root,
# keeps filling it when it is resized, and ends on SIGTERM within one second
# by that signal, as xscreensaver expects of a hack. Input does not end it
# there (xscreensaver watches the input).
source "$(dirname "$0")/e2e_common.bash" "$1"

# expect_sigterm WHAT: SIGTERM to the program ends it within one second, by
# that signal (128 + 15 to the shell).
expect_sigterm() {
    kill -TERM "$APP_PID"
    wait_exit 1000 || fail "$1: still running 1 s after SIGTERM"
    [ "$EXIT_STATUS" = 143 ] || fail "$1: exit status $EXIT_STATUS, not death by SIGTERM (143)"
}

HOST="$BUILD_DIR/marrowick_test_window"
[ -x "$HOST" ] || fail "missing $HOST (build the marrowick_test_window target)"
WHITE='r == 255 && g == 255 && b == 255'
BLACK='r == 0 && g == 0 && b == 0'

"$HOST" 320 240 >window.txt &
HELPER_PIDS+=($!)
for _ in $(seq 50); do
    [ -s window.txt ] && break
    sleep 0.1
done
id=$(head -n 1 window.txt)
[ -n "$id" ] || fail "the test window did not appear"

import -window "$id" before.png
[ "$(pixels before.png "$BLACK")" -eq $((320 * 240)) ] || fail "the test window is not black at first"

# ---- The settings program's preview: -window-id ----
start_app -window-id "$id"
sleep 3
import -window "$id" drawn.png
white=$(pixels drawn.png "$WHITE")
blue=$(pixels drawn.png 'r == 0 && g == 0 && b == 255')
echo "-window-id: $white white and $blue blue of $((320 * 240)) pixels"
[ "$white" -gt $((320 * 240 / 2)) ] || fail "nothing drawn into the window ($white white)"
[ "$blue" -gt 0 ] || fail "no border drawn"
xdotool mousemove --window "$id" 20 20 mousemove --window "$id" 200 100 \
    key --window "$id" a 2>/dev/null
sleep 0.5
expect_running "input on a foreign window"
expect_sigterm "SIGTERM"

# ---- The daemon: --root with the window in the environment ----
XSCREENSAVER_WINDOW=$(printf '0x%x' "$id") start_app --root --rate 100 --screenshot shot.png
sleep 3
xdotool windowsize "$id" 480 360
sleep 1.5
status=$(screenshot shot.png)
size=$(identify -format '%wx%h' shot.png)
[ "$size" = 480x360 ] || fail "after the resize the frame is $size, not 480x360"
grep -q "sims per second 100," <<<"$status" || fail "--rate not applied: $status"
import -window "$id" resized.png
black=$(pixels resized.png "$BLACK")
echo "--root after the resize: $black black pixels left of $((480 * 360))"
[ "$black" -lt $((480 * 360 / 20)) ] || fail "the enlarged window is not filled ($black black)"
expect_sigterm "SIGTERM"

# ---- A preview started the Windows way: /p WINDOW ----
start_app /p "$id"
sleep 2
expect_running "/p with a window"
expect_sigterm "SIGTERM in preview"

# ---- The window destroyed under the program ----
# Xlib's default answer to the errors that follow is to end the process
# with status 1; the program stops cleanly instead, whether it was still
# starting (0.3 s) or drawing (2 s). Destroyed that early, the window may
# also be gone before the program first looks: then it does not exist.
for delay in 0.3 2; do
    "$HOST" 200 150 >gone.txt &
    gone_host=$!
    HELPER_PIDS+=("$gone_host")
    for _ in $(seq 50); do
        [ -s gone.txt ] && break
        sleep 0.1
    done
    gone_id=$(head -n 1 gone.txt)
    start_app --window-id "$gone_id" --rate 1000
    sleep "$delay"
    kill -TERM "$gone_host"
    wait_exit 2000 || fail "still running 2 s after its window was destroyed"
    if [ "$EXIT_STATUS" = 1 ] && [ "$delay" = 0.3 ] && grep -q "does not exist" app.err; then
        echo "the window was gone before the program started"
    else
        [ "$EXIT_STATUS" = 0 ] || fail "the window destroyed after $delay s: exit status $EXIT_STATUS"
        grep -q "was destroyed; stopping" app.err ||
            fail "no message for the window destroyed after $delay s"
    fi
    ! grep -q "X Error\|Sanitizer" app.err || fail "the window destroyed after $delay s: $(cat app.err)"
    rm -f gone.txt
done

# ---- A window that does not exist ----
status=0
"$MARROWICK" --window-id 0x7fffff0 2>err.txt || status=$?
[ "$status" != 0 ] || fail "a missing window was accepted"
grep -q "does not exist" err.txt || fail "no message for a missing window: $(cat err.txt)"
echo "foreign window: ok"
