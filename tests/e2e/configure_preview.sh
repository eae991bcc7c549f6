#!/usr/bin/env bash
# The other screen-saver modes and the plain start-up answers: /c shows only
# the About box (the simulation is never built, so neither the rule base nor
# the settings file appears) and ends when OK is pressed; /p without a window
# ends at once; --help and --version answer; a bad option is refused; run
# mode without any display ends with a message.
source "$(dirname "$0")/e2e_common.bash" "$1"

# ---- Configure ----
for argument in /c "/c:1234" sc; do
    start_app "$argument"
    box=$(window_by_name "About Box" 15) || fail "$argument: no About box"
    expect_running "$argument: the About box is open"
    focus_and_key "$box" Return
    expect_exit 1000 "$argument: OK in the About box"
    grep -q "Marrowick Version 0.99" app.err || fail "$argument: About text missing"
    [ ! -e Rules.clp ] && [ ! -e Marrowick.ini ] && [ ! -e "$XDG_CONFIG_HOME" ] ||
        fail "$argument: configure mode built the simulation"
done

# ---- Preview without a window ----
start_app /p
expect_exit 1000 "/p with no window"
start_app /s /p  # only the first argument counts: this is run mode
sleep 1.5
expect_running "/s with a stray second argument"
stop_pid "$APP_PID"
APP_PID=""

# ---- Help, version, errors ----
"$MARROWICK" --help >help.txt || fail "--help failed"
grep -q -- "--window-id" help.txt || fail "--help does not list --window-id"
[ "$(wc -l <help.txt)" -le 40 ] || fail "--help is longer than a screen"
"$MARROWICK" --version | grep -q "0.99" || fail "--version"
status=0
"$MARROWICK" --no-such-option 2>err.txt || status=$?
[ "$status" = 2 ] || fail "an unknown option gave status $status"
grep -q -- "--no-such-option" err.txt || fail "the unknown option is not named"
# ---- No display at all ----
# SDL would fall back to an invisible driver; the program says so and ends
# instead of running unseen for ever.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER ASAN_OPTIONS=detect_leaks=0 \
    timeout 20 "$MARROWICK" /s 2>nodisplay.txt || status=$?
[ "$status" = 1 ] || fail "run mode without a display gave status $status"
grep -q "no display found" nodisplay.txt || fail "run mode without a display says nothing"
echo "configure and preview: ok"
