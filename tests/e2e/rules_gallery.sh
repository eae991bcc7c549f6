#!/usr/bin/env bash
# The gallery of rule bases as a user meets it: --list-rules with a file of the
# user's own; --rules NAME|FILE in every mode that runs a colony (headless,
# a sweep's run and --vary rules, the terminal view, the screen saver, the
# window); in the terminal r goes on to the next rule base; in the window the
# Rules menu switches live: the panel's name line and the expert line change
# (screenshots), and the trace shows the next passes drawn by the new rules.
SHIPPED=$(cd "$(dirname "$0")/../../resources/rules" && pwd)
source "$(dirname "$0")/e2e_common.bash" "$1"
M=$MARROWICK
RULES_FOLDER="$XDG_CONFIG_HOME/marrowick/rules"

# A pass's rules, from a trace line.
fired() { sed -n 's/.* fired=\([^ ]*\) .*/\1/p'; }
# The rules each shipped rule base may fire (each fires only its own).
THRIFTY='^(enough_mouths|few_and_fed|fill_the_store|store_is_full)(,(enough_mouths|few_and_fed|fill_the_store|store_is_full))*$'
BOOM='^(large_enough|plenty_breeds|feed_the_brood|spend_the_store)(,(large_enough|plenty_breeds|feed_the_brood|spend_the_store))*$'

# ---- --list-rules: the shipped ones, then the user's own, with their places ----
mkdir -p "$RULES_FOLDER"
{ echo ";; name: mine"; echo ";; about: my own copy of boom"
  tail -n +3 "$SHIPPED/boom.clp"; } >"$RULES_FOLDER/mine.clp"
{ echo ";; name: thrifty"; echo ";; about: my edited thrifty"
  tail -n +3 "$SHIPPED/thrifty.clp"; } >"$RULES_FOLDER/thrifty.clp"
"$M" --list-rules >list.txt 2>list.err || fail "--list-rules: $(cat list.err)"
[ ! -s list.err ] || fail "--list-rules said: $(cat list.err)"
for name in default thrifty boom forager mine; do
    grep -q "^$name  *[a-z]" list.txt || fail "--list-rules lacks $name: $(cat list.txt)"
done
grep -A1 '^mine ' list.txt | grep -q "^ *$RULES_FOLDER/mine.clp\$" || fail "mine's place: $(cat list.txt)"
grep -q 'my own copy of boom' list.txt || fail "mine's about line: $(cat list.txt)"
grep -q 'built in; yours of the same name is used instead' list.txt || fail "the hidden thrifty: $(cat list.txt)"
grep -q '^Without --rules a run uses ' list.txt || fail "no word on the default: $(cat list.txt)"
rm "$RULES_FOLDER/thrifty.clp"

# ---- Headless: by name, a user's name, a file; the trace names its rules ----
"$M" --headless --steps 600 --rules thrifty --trace-rules trace.txt >run.out 2>&1 || fail "headless --rules thrifty"
grep -q 'Expert System Actions is On (thrifty)' run.out || fail "headless expert line: $(cat run.out)"
[ "$(fired <trace.txt | grep -cvE "$THRIFTY")" = 0 ] || fail "not thrifty's rules: $(fired <trace.txt)"
[ "$(wc -l <trace.txt)" -ge 8 ] || fail "too few passes: $(cat trace.txt)"
"$M" --headless --steps 600 --rules mine --trace-rules trace.txt >run.out 2>&1 || fail "headless --rules mine"
grep -q 'Expert System Actions is On (mine)' run.out || fail "the user's rule base: $(cat run.out)"
[ "$(fired <trace.txt | grep -cvE "$BOOM")" = 0 ] || fail "not mine's rules: $(fired <trace.txt)"
"$M" --headless --steps 100 --rules "$RULES_FOLDER/mine.clp" >run.out 2>&1 || fail "headless --rules FILE"
grep -q 'Expert System Actions is On (mine)' run.out || fail "a file: $(cat run.out)"
if "$M" --headless --steps 10 --rules nosuch >run.out 2>&1; then fail "an unknown name was taken"; fi
grep -q 'no rule base is named "nosuch"' run.out || fail "unknown name: $(cat run.out)"

# ---- A sweep's run and --vary rules ----
"$M" --summary-run --seed 3 --steps 300 --set rules=boom >row.txt 2>err.txt || fail "summary-run: $(cat err.txt)"
[ "$(head -n 1 row.txt | cut -d, -f1)" = rules ] || fail "summary-run header: $(cat row.txt)"
[ "$(tail -n 1 row.txt | cut -d, -f1-4)" = "boom,3,300,ok" ] || fail "summary-run row: $(cat row.txt)"
"$M" --sweep --vary rules=default,thrifty,mine --seeds 1 --steps 300 --out sweep.csv 2>err.txt ||
    fail "--vary rules: $(cat err.txt)"
[ "$(cut -d, -f1 sweep.csv | tail -n +2 | sort | tr '\n' ' ')" = "default mine thrifty " ] ||
    fail "--vary rules rows: $(cat sweep.csv)"
# The rules change the colony: the three rows differ in their mean population.
mean_population() {
    awk -F, 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "mean_population") c = i; next } { print $c }' "$1"
}
[ "$(mean_population sweep.csv | sort -u | wc -l)" = 3 ] || fail "alike: $(cat sweep.csv)"

# ---- The terminal view: --rules, then r goes on through the gallery ----
T() { tmux -S "$WORK/tmux.sock" -f /dev/null "$@"; }
# The tmux server goes with everything else, whatever happens.
eval "common_$(declare -f cleanup)"
cleanup() {
    T kill-server 2>/dev/null || true
    common_cleanup
}
trap cleanup EXIT
T new-session -d -x 120 -y 40 "'$M' --terminal --rules boom 2>terminal.err; echo \$? >terminal.status"
expert_line() { T capture-pane -p | grep -o 'Expert System Actions is On ([a-z]*)' | head -n 1; }
wait_line() {
    for _ in $(seq 100); do
        [ "$(expert_line)" = "Expert System Actions is On ($1)" ] && return 0
        sleep 0.1
    done
    fail "the terminal shows '$(expert_line)', not $1"
}
wait_line boom
T send-keys r
wait_line forager
T send-keys r
wait_line mine
T send-keys r
wait_line default
T send-keys q
for _ in $(seq 50); do [ -f terminal.status ] && break; sleep 0.1; done
[ "$(cat terminal.status)" = 0 ] || fail "terminal: $(cat terminal.err)"
T kill-server 2>/dev/null || true

# ---- The screen saver takes --rules too (and refuses a bad one before any window) ----
start_app /s --rules forager --rules-panel --screenshot saver.png
sleep 2
expect_running "the screen saver with --rules forager"
stop_pid "$APP_PID"
APP_PID=""
if "$M" /s --rules nosuch >saver.out 2>&1; then fail "the screen saver took an unknown name"; fi

# ---- The window: the Rules menu switches live ----
# Everything below waits on what it expects, with a deadline, never on a
# fixed time: on a loaded machine frames, passes and the new rules' load all
# come late.
# The passes' classes in the window's trace, boom (B), thrifty (T), other (X).
classes() {
    fired <wtrace.txt | awk -v boom="$BOOM" -v thrifty="$THRIFTY" '
        { printf "%s", $0 ~ boom ? "B" : $0 ~ thrifty ? "T" : "X" } END { print "" }'
}
# until SECONDS COMMAND...: true once COMMAND is, false at the deadline.
until_true() {
    local deadline=$(( $(now_ms) + $1 * 1000 ))
    shift
    until "$@"; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.1
    done
}
passes_at_least() { [ "$(wc -l <wtrace.txt)" -ge "$1" ]; }
switched() { grep -qE '^B{3,}T{4,}$' <<<"$(classes)"; }

start_app --window --rate 400 --rules boom --rules-panel --trace-rules wtrace.txt --screenshot shot.png
window=$(xdotool search --sync --name '^Marrowick$' | head -n 1)
[ -n "$window" ] || fail "no window"
until_true 60 passes_at_least 3 || fail "the window's trace has $(wc -l <wtrace.txt) passes"
screenshot shot.png >/dev/null
cp shot.png before.png
# The panel's name line ("Rule base: boom (built in)"), as a picture.
name_line() { convert "$1" -crop 300x18+318+56 +repage -threshold 60% "$2"; }
name_line before.png name-before.png
[ "$(fired <wtrace.txt | grep -cvE "$BOOM")" = 0 ] || fail "the window ran other rules: $(fired <wtrace.txt)"

# Rules menu (the menu bar's third word), then thrifty, the second rule base.
# The screenshot in between is drawn after the first click was taken: the
# second click comes when the menu is open, however slow the frames are.
xdotool mousemove --window "$window" 130 9 click 1
screenshot shot.png >/dev/null
# An open menu's title is drawn on ImGui's blue.
convert shot.png -crop 50x20+104+0 +repage menu-title.png
[ "$(pixels menu-title.png 'b > 200 && r < 120 && g > 100')" -gt 300 ] || fail "the Rules menu did not open"
xdotool mousemove --window "$window" 140 98 click 1
# The trace: boom's passes, then from the switch on only thrifty's, several.
until_true 60 switched || fail "the passes were not boom's then thrifty's: $(classes)"
screenshot shot.png >/dev/null
cp shot.png after.png
name_line after.png name-after.png
changed=$(compare -metric AE name-before.png name-after.png null: 2>&1 || true)
echo "panel name line: $changed pixels changed"
[ "${changed%%.*}" -gt 30 ] || fail "the panel still names the old rule base ($changed pixels changed)"
focus_and_key "$window" Escape
expect_exit 10000 "Esc after the switch"
# The whole trace, closed: no pass of other rules came after.
echo "passes, boom (B) then thrifty (T): $(classes)"
switched || fail "the passes were not boom's then thrifty's: $(classes)"
echo "ok"
