#!/usr/bin/env bash
# The expert system's panel, as a person sees it in window mode: Ctrl+E shows
# it at the top right and hides it again; F5 with a broken Rules.clp keeps the
# rules running and shows the error in red in the panel's state lines; F5 with
# a good file clears it. In the screen saver the panel appears only with
# --rules-panel.
source "$(dirname "$0")/e2e_common.bash" "$1"

# The panel's background (Dear ImGui's light window colour over white).
PANEL='r == 241 && g == 241 && b == 241'
# Red text: the state lines' error colour, anti-aliased.
RED_TEXT='r > 150 && g < 110 && b < 110 && r - g > 80'
RULES="$XDG_CONFIG_HOME/marrowick/Rules.clp"

# shot_until SECONDS FILE TEST...: screenshots into FILE until TEST (a command
# that reads FILE) holds, or the deadline passes; false then. A loaded machine
# draws late, so a picture is awaited, never a fixed time.
shot_until() {
    local deadline=$(( $(now_ms) + $1 * 1000 )) file=$2
    shift 2
    while :; do
        screenshot "$file" >/dev/null
        "$@" && return 0
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.2
    done
}
panel_pixels() { convert "$1" -crop 470x480+318+60 +repage area.png; pixels area.png "$PANEL"; }
state_red() { convert "$1" -crop 470x55+318+95 +repage state.png; pixels state.png "$RED_TEXT"; }
panel_shown() { [ "$(panel_pixels shot.png)" -gt $((hidden + 100000)) ]; }
panel_hidden() { [ "$(panel_pixels shot.png)" -lt $((hidden + 20000)) ]; }
red_shown() { [ "$(state_red shot.png)" -gt 100 ]; }
red_gone() { [ "$(state_red shot.png)" -lt 20 ]; }
saver_panel() { convert saver.png -crop 470x480+540+30 +repage area.png; pixels area.png "$PANEL"; }
saver_panel_shown() { [ "$(saver_panel)" -gt 15000 ]; }

start_app --window --rate 400 --screenshot shot.png
window=$(xdotool search --sync --name '^Marrowick$' | head -n 1)
[ -n "$window" ] || fail "no window"
sleep 2
[ -f "$RULES" ] || fail "no rule base was written to $RULES"

# The panel's place: the right-hand 480 pixels of the 800-pixel window, below
# the menu bar. Its state lines are the rows just under its title bar.
panel_area() { convert "$1" -crop 470x480+318+60 +repage "$2"; }
state_area() { convert "$1" -crop 470x55+318+95 +repage "$2"; }

screenshot shot.png >/dev/null
panel_area shot.png area.png
hidden=$(pixels area.png "$PANEL")

focus_and_key "$window" ctrl+e
shot_until 10 shot.png panel_shown || true
cp shot.png panel.png
panel_area shot.png area.png
shown=$(pixels area.png "$PANEL")
# The left part, with the statistics, is not covered.
convert shot.png -crop 150x200+0+30 +repage left.png
echo "panel background: hidden $hidden, shown $shown; under the statistics $(pixels left.png "$PANEL")"
[ "$shown" -gt $((hidden + 100000)) ] || fail "Ctrl+E showed no panel ($hidden -> $shown)"
[ "$(pixels left.png "$PANEL")" -lt 100 ] || fail "the panel covers the statistics"
state_area shot.png state.png
[ "$(pixels state.png "$RED_TEXT")" -lt 20 ] || fail "red in the state lines of a good rule base"

# A broken file: the old rules keep running, the panel says why in red.
cp "$RULES" good.clp
sed 's/(assert (raise_population))/(assert (raise_population)) (no-such-function)/' good.clp >"$RULES"
focus_and_key "$window" F5
for _ in $(seq 50); do
    grep -q "was not reloaded" app.err && break
    sleep 0.1
done
grep -q "was not reloaded, the rules loaded before keep running: .*Rules.clp:[0-9]*: \[EXPRNPSR3\]" app.err ||
    fail "F5 with a broken file said nothing clear"
shot_until 10 shot.png red_shown || true
cp shot.png failed.png
state_area shot.png state.png
red=$(pixels state.png "$RED_TEXT")
echo "red in the state lines after a failed reload: $red"
[ "$red" -gt 100 ] || fail "the panel does not show the failed reload"
expect_running "a failed reload"

# A good file, edited: taken at once, the red goes.
sed 's/(population low|stable))\r$/(population low))\r/' good.clp >"$RULES"
cmp -s good.clp "$RULES" && fail "the edit did not change the rule base"
focus_and_key "$window" F5
shot_until 10 shot.png red_gone || fail "a good reload left the error showing"
[ "$(grep -c "was not reloaded" app.err)" = 1 ] || fail "the good reload was refused"

# Ctrl+E again hides it.
focus_and_key "$window" ctrl+e
shot_until 10 shot.png panel_hidden || fail "Ctrl+E did not hide the panel"
focus_and_key "$window" Escape
expect_exit 2000 "Esc"

# The screen saver: no panel unless asked for.
for option in "" --rules-panel; do
    # shellcheck disable=SC2086
    start_app $option --screenshot saver.png
    # The screenshot signal is asked for only once the program has had time
    # to take it (before that it would end the program); then, with the
    # panel asked for, pictures until it is there.
    sleep 2
    screenshot saver.png >/dev/null
    if [ -n "$option" ]; then
        saver_panel_shown || shot_until 10 saver.png saver_panel_shown || true
    fi
    count=$(saver_panel)
    echo "screen saver ${option:-without option}: panel background $count"
    if [ -n "$option" ]; then
        [ "$count" -gt 15000 ] || fail "--rules-panel shows no panel in the screen saver"
    else
        [ "$count" -lt 5000 ] || fail "the screen saver shows the panel unasked"
    fi
    stop_pid "$APP_PID"
    APP_PID=""
done
echo "rules panel: ok"
