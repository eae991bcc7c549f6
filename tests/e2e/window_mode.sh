#!/usr/bin/env bash
# Window mode: Ctrl+S opens the Options dialog; 4 for Sims Per Second is
# refused with the range message; 100 is accepted and the simulation paces
# faster; Ctrl+T hides the trails in the next frame; mouse and keys outside
# the key table do not end the program; Esc does, within one second.
source "$(dirname "$0")/e2e_common.bash" "$1"

# Trail pixels: the pale blue of fading trails, (b, b, 255) with 0 < b <= 207.
TRAIL='r == g && b == 255 && r > 0 && r <= 207'
# A modal dialog dims the white world behind it to this grey.
DIMMED='r == 184 && g == 184 && b == 184'

start_app --window --screenshot shot.png
window=$(xdotool search --sync --name '^Marrowick$' | head -n 1)
[ -n "$window" ] || fail "no window"
sleep 2

# Keys outside the table and the mouse leave it running.
focus_and_key "$window" a shift+x
xdotool mousemove --window "$window" 50 80 mousemove --window "$window" 300 200
sleep 0.5
expect_running "ordinary keys and mouse movement"

# The menu bar hides nothing: the view starts below it, so the red frame-time
# line and the whole caption stand under the bar, and the bar itself is
# clear of them.
RED='r == 255 && g == 0 && b == 0'
screenshot shot.png >/dev/null
cp shot.png overlay.png
# The bar, where no menu title is: a border row, rows of the bar's colour,
# a border row.
colour_at() { convert overlay.png -crop "1x1+$1+$2" +repage -format '%[pixel:p]' info:-; }
border=$(colour_at 790 0)
bar_colour=$(colour_at 790 2)
bar_height=1
while [ "$bar_height" -lt 40 ] && [ "$(colour_at 790 "$bar_height")" = "$bar_colour" ]; do
    bar_height=$((bar_height + 1))
done
[ "$(colour_at 790 "$bar_height")" = "$border" ] && bar_height=$((bar_height + 1))
[ "$bar_height" -ge 15 ] && [ "$bar_height" -le 30 ] || fail "no menu bar at the top ($bar_height rows)"
convert overlay.png -crop "800x${bar_height}+0+0" +repage band.png
convert overlay.png -crop "150x12+0+$bar_height" +repage frametime.png
convert overlay.png -crop "500x40+262+$bar_height" +repage caption.png
echo "menu bar: $bar_height rows; red in it $(pixels band.png "$RED"), frame time $(pixels frametime.png "$RED"), caption $(pixels caption.png "$RED")"
[ "$(pixels band.png "$RED")" = 0 ] || fail "the overlay shows through the menu bar"
[ "$(pixels frametime.png "$RED")" -gt 20 ] || fail "the frame-time line is not right under the menu bar"
[ "$(pixels caption.png "$RED")" -gt 300 ] || fail "the caption is not whole under the menu bar"

# The pace at 40 steps per second.
first=$(screenshot shot.png)
t0=$(now_ms)
sleep 2
second=$(screenshot shot.png)
t1=$(now_ms)
slow=$(( ($(steps_of "$second") - $(steps_of "$first")) * 1000 / (t1 - t0) ))
dimmed=$(pixels shot.png "$DIMMED")

# ---- Options dialog ----
focus_and_key "$window" ctrl+s
sleep 1
screenshot shot.png >/dev/null
opened=$(pixels shot.png "$DIMMED")
[ "$opened" -gt $((dimmed + 100000)) ] || fail "Ctrl+S showed no dialog (dimmed $dimmed -> $opened)"

boxes=$(count_windows_named Marrowick)
xdotool type --delay 60 4
focus_and_key "$window" Return
for _ in $(seq 50); do
    [ "$(count_windows_named Marrowick)" -gt "$boxes" ] && break
    sleep 0.1
done
message='Please enter a whole number from 5 to 1000 for "Sims Per Second".'
grep -qF "$message" app.err || fail "4 was not refused with the range message"
box=$(xwininfo -root -tree | grep '"Marrowick":' | grep -v "$(printf '0x%x' "$window")" |
      awk '{print $1; exit}')
[ -n "$box" ] || fail "no message box"
focus_and_key "$box" Return
for _ in $(seq 50); do
    [ "$(count_windows_named Marrowick)" -le "$boxes" ] && break
    sleep 0.1
done
status=$(screenshot shot.png)
grep -q "sims per second 40," <<<"$status" || fail "the refused value was written: $status"

# The field has the focus again: replace its text with 100.
focus_and_key "$window" ctrl+a BackSpace
xdotool type --delay 60 100
focus_and_key "$window" Return
sleep 1
first=$(screenshot shot.png)
grep -q "sims per second 100," <<<"$first" || fail "100 was not accepted: $first"
[ "$(pixels shot.png "$DIMMED")" -lt $((dimmed + 5000)) ] || fail "the dialog did not close"
t0=$(now_ms)
sleep 2
second=$(screenshot shot.png)
t1=$(now_ms)
fast=$(( ($(steps_of "$second") - $(steps_of "$first")) * 1000 / (t1 - t0) ))
echo "steps per second: $slow before, $fast after"
[ "$fast" -gt $((slow * 3 / 2)) ] || fail "not faster: $slow -> $fast steps per second"

# ---- Trails ----
trails=0
for _ in $(seq 20); do
    screenshot shot.png >/dev/null
    trails=$(pixels shot.png "$TRAIL")
    [ "$trails" -gt 200 ] && break
    sleep 0.5
done
[ "$trails" -gt 200 ] || fail "no trails to hide ($trails)"
focus_and_key "$window" ctrl+t
sleep 0.5
screenshot shot.png >/dev/null
hidden=$(pixels shot.png "$TRAIL")
echo "trail pixels: $trails shown, $hidden after Ctrl+T"
[ "$hidden" -le 20 ] || fail "Ctrl+T left $hidden trail pixels"

# ---- The menu: File, New Colony; OK stops the simulation until Alt+S ----
xdotool mousemove --window "$window" 20 9 click 1
sleep 0.5
xdotool mousemove --window "$window" 40 33 click 1
sleep 1
focus_and_key "$window" Return
sleep 1
first=$(screenshot shot.png)
grep -q "stopped" <<<"$first" || fail "New Colony left the simulation running: $first"
sleep 1
second=$(screenshot shot.png)
[ "$(steps_of "$first")" = "$(steps_of "$second")" ] || fail "the stopped simulation stepped"
focus_and_key "$window" alt+s
sleep 1
third=$(screenshot shot.png)
grep -q "running" <<<"$third" || fail "Alt+S did not start the simulation: $third"

# ---- Esc in an open menu closes the menu, not the program ----
xdotool mousemove --window "$window" 126 9 click 1
sleep 0.5
xdotool key Escape
sleep 0.5
expect_running "Esc in the open Help menu"

# ---- Esc ----
focus_and_key "$window" Escape
expect_exit 1000 "Esc"
grep -q "ERROR" app.err && fail "errors reported"
echo "window mode: ok"
