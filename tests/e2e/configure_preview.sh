#!/usr/bin/env bash
# The other screen-saver modes and the plain start-up answers: /c shows only
# the About box (the simulation is never built, so neither the rule base nor
# the settings file appears) and ends when OK is pressed; /p without a window
# ends at once; --help and --version answer; a bad option is refused; every
# mode without a display ends with the program's one-line message.
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
# SDL would fall back to an invisible driver; the program says so in one line
# of its own and ends instead of running unseen for ever. No library gets a
# word in (SDL's Wayland attempt would print an XDG_RUNTIME_DIR error), with
# no display named, and with one named that does not answer.
no_display() {
    local what=$1 expected=$2
    shift 2
    status=0
    env -u WAYLAND_DISPLAY -u SDL_VIDEODRIVER -u XDG_RUNTIME_DIR ASAN_OPTIONS=detect_leaks=0 \
        XDG_CONFIG_HOME="$WORK/nodisplay" timeout 20 "$@" 2>nodisplay.txt >nodisplay.out || status=$?
    [ "$status" = 1 ] || fail "$what: status $status"
    [ ! -s nodisplay.out ] || fail "$what: wrote to standard output: $(cat nodisplay.out)"
    [ "$(wc -l <nodisplay.txt)" = 1 ] || fail "$what: not one line: $(cat nodisplay.txt)"
    grep -q "^marrowick: .*$expected" nodisplay.txt || fail "$what: $(cat nodisplay.txt)"
}
no_display "run mode without a display" "no display found" env -u DISPLAY "$MARROWICK" /s
no_display "window mode without a display" "no display found" env -u DISPLAY "$MARROWICK" --window
no_display "the About box without a display" "no display found" env -u DISPLAY "$MARROWICK" /c
no_display "run mode on a display that is not there" "cannot open the display" \
    env DISPLAY=:4093 "$MARROWICK" /s
[ ! -e "$WORK/nodisplay" ] && [ ! -e Rules.clp ] || fail "a run without a display wrote files"
echo "configure and preview: ok"
