#!/usr/bin/env bash
# The terminal view (marrowick --terminal) in a real terminal: a tmux pane,
# read back with capture-pane (-e for the colours). It checks the map and its
# colours at each colour depth, the statistics, every key, resizing (with the
# one-line message below 40 x 12), and that every way out leaves the terminal
# as it was: q, Esc, Ctrl+C, SIGTERM, SIGHUP, a closed terminal and a failed
# start.
#   tests/e2e/terminal.sh path/to/marrowick
set -euo pipefail

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 path/to/marrowick" >&2
    exit 2
fi
MARROWICK=$(readlink -f "$1")
SUPPRESSIONS=$(readlink -f "$(dirname "$0")/../lsan.supp")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/marrowick-terminal.XXXXXX")
cd "$WORK"
# No window and no GL here: leak checking stays on, and a leak, like any
# sanitizer finding, shows as a wrong exit status.
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export LSAN_OPTIONS="suppressions=$SUPPRESSIONS:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

T() { tmux -S "$WORK/tmux.sock" -f /dev/null "$@"; }
cleanup() {
    T kill-server 2>/dev/null || true
    cd /
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    echo "--- the pane:" >&2
    T capture-pane -p -t view 2>/dev/null | sed -e 's/[[:space:]]*$//' | grep -v '^$' >&2 || true
    echo "--- the pane's processes:" >&2
    ps -o pid,stat,wchan:20,args -t "$(T display -p -t view '#{pane_tty}' 2>/dev/null)" >&2 || true
    exit 1
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }
screen() { T capture-pane -p -t view; }
colours() { T capture-pane -p -e -N -t view; }
# shows REGEX: the pane shows a line matching REGEX. (The capture is taken
# whole first: grep -q ending a pipe early would fail it under pipefail.)
shows() {
    local text
    text=$(screen)
    grep -qE -- "$1" <<<"$text"
}

# wait_for REGEX [SECONDS]: until the pane shows a line matching REGEX.
wait_for() {
    local deadline=$(( $(now_ms) + ${2:-10} * 1000 ))
    until shows "$1"; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "the pane never showed /$1/"
        sleep 0.1
    done
}
# wait_gone REGEX [SECONDS]
wait_gone() {
    local deadline=$(( $(now_ms) + ${2:-10} * 1000 ))
    while shows "$1"; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "the pane still shows /$1/"
        sleep 0.1
    done
}
# pixels: the colour of every half cell the pane shows, one per line, read
# from capture-pane -e: "2;R;G;B" (24-bit), "5;N" (palette), "8;N" (ANSI) or
# "d" (the terminal's default). A half block shows its foreground in one half
# and its background in the other; a blank shows its background twice; text
# is left out. A blank keeps whatever foreground the terminal had, unseen:
# only what is visible is counted.
pixels() {
    colours | perl -ne '
        BEGIN { $fg = "d"; $bg = "d"; }
        while (/\G(?:\e\[([0-9;]*)m|(\xe2\x96\x80)|(\xe2\x96\x84)|( )|(.))/gcs) {
            if (defined $1) {
                my @p = split /;/, ($1 eq "" ? "0" : $1);
                while (@p) {
                    my $c = shift @p;
                    if ($c == 0) { $fg = "d"; $bg = "d"; }
                    elsif ($c == 38 || $c == 48) {
                        my $kind = shift @p; my $v;
                        if ($kind == 2) { $v = join(";", 2, splice(@p, 0, 3)); }
                        else { $v = "5;" . shift @p; }
                        if ($c == 38) { $fg = $v } else { $bg = $v }
                    }
                    elsif ($c >= 30 && $c <= 37) { $fg = "8;" . ($c - 30); }
                    elsif ($c >= 40 && $c <= 47) { $bg = "8;" . ($c - 40); }
                    elsif ($c == 39) { $fg = "d"; }
                    elsif ($c == 49) { $bg = "d"; }
                }
            }
            elsif (defined $2) { print "$fg\n$bg\n"; }
            elsif (defined $3) { print "$bg\n$fg\n"; }
            elsif (defined $4) { print "$bg\n$bg\n"; }
        }'
}
# pixel_count REGEX: how many half cells show a colour matching REGEX.
pixel_count() { pixels | grep -cE -- "^($1)\$" || true; }
# Fading trails: (b, b, 255) with 0 < b < 255 (strong trails share the
# border's blue).
trail_pixels() { pixels | awk -F';' '$1 == 2 && $2 == $3 && $4 == 255 && $2 > 0 && $2 < 255' | wc -l; }

# number_after TEXT: the number that follows TEXT on the screen.
number_after() {
    local text
    text=$(screen)
    awk -v key="$1" 'match($0, key " *[0-9]+") {
        n = substr($0, RSTART + length(key), RLENGTH - length(key)); gsub(/ /, "", n); print n; exit }' <<<"$text"
}

# A shell in a 120 x 40 pane with a UTF-8 locale and the 256-colour xterm type.
T new-session -d -x 120 -y 40 -s view \
    "env -i HOME=$WORK PATH=$PATH TERM=xterm-256color LANG=C.UTF-8 PS1='$ ' \
     ASAN_OPTIONS=$ASAN_OPTIONS LSAN_OPTIONS=$LSAN_OPTIONS UBSAN_OPTIONS=$UBSAN_OPTIONS \
     TSAN_OPTIONS=${TSAN_OPTIONS:-} bash --norc --noprofile"
T set-option -t view -g status off
wait_for '^\$'

# start NAME [ENV...] -- [ARGS...]: clears the pane, prints a marker and
# starts the view with the environment and arguments given, as the shell's
# foreground job; the terminal's settings are recorded before and after, and
# the exit status. STACK_KB=N in the environment sets the stack limit first,
# which is also the size of a new thread's stack: a huge one makes starting
# the simulation thread fail.
start() {
    local name=$1 envs=() args=() limit=""
    shift
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
        case "$1" in
            STACK_KB=*) limit="ulimit -s ${1#STACK_KB=}; " ;;
            *) envs+=("$1") ;;
        esac
        shift
    done
    [ $# -gt 0 ] && shift
    args=("$@")
    rm -f status.txt before.txt after.txt
    STARTED=$name
    T send-keys -t view -l "clear; echo BEFORE-$name; stty -g >before.txt; \
(${limit}exec env ${envs[*]} '$MARROWICK' --terminal ${args[*]}); echo \$? >status.txt; \
stty -g >after.txt; echo ENDED"
    T send-keys -t view Enter
}
# The program's pid: the shell's child.
view_pid() { ps -o pid= --ppid "$(T display -p -t view '#{pane_pid}')" | tr -d ' ' | head -n 1; }

# ended NAME STATUS: the program ended with STATUS and the terminal is as it
# was: the main screen is back (with the marker printed before the last start),
# the cursor shows, the line settings are the same, the shell answers.
ended() {
    local name=$1 status=$2 deadline=$(( $(now_ms) + 5000 ))
    until [ -s status.txt ] && [ -s after.txt ]; do
        [ "$(now_ms)" -lt "$deadline" ] || fail "$name: the program did not end"
        sleep 0.05
    done
    wait_for '^ENDED' 5
    [ "$(cat status.txt)" = "$status" ] || fail "$name: exit status $(cat status.txt), not $status"
    [ "$(T display -p -t view '#{alternate_on}')" = 0 ] || fail "$name: still on the alternate screen"
    [ "$(T display -p -t view '#{cursor_flag}')" = 1 ] || fail "$name: the cursor is hidden"
    cmp -s before.txt after.txt || fail "$name: terminal settings changed: $(cat before.txt) -> $(cat after.txt)"
    shows "^BEFORE-$STARTED" || fail "$name: the screen before the view is not back"
    shows "Total Sims" && fail "$name: the view's picture stayed on the main screen"
    # Colours are reset: text typed now has none.
    T send-keys -t view -l "echo plain-$STARTED"
    T send-keys -t view Enter
    wait_for "^plain-$STARTED"
    local text
    text=$(colours)
    grep "^plain-$STARTED" <<<"$text" | grep -q $'\033\\[' && fail "$name: the colours were not reset"
    echo "  $name: exit $status, terminal restored"
}

running() { kill -0 "$(view_pid)" 2>/dev/null; }

# =========================================================================
echo "The view at 24-bit colour, 120 x 40"
start main COLORTERM=truecolor
wait_for 'Total Sims [0-9]+'
wait_for 'q quit  Space pause  t trails  e expert  \+/- pace 40/s  n new colony'
for line in 'Render Time +[0-9.]+' 'Op Time +[0-9.]+' 'Meandoring Ants  [0-9 .]+' \
            'Wandering Ants +[0-9 .]+' 'Gathering Ants +[0-9 .]+' 'Reproducing Ants +[0-9 .]+' \
            'Return to Base Ants [0-9]+' 'Total Ants [0-9]+' 'Colony Food Surplus +[0-9.]+' \
            'Food Left [0-9]+' 'Expert System Actions is On' 'Colony deaths 0'; do
    shows "$line" || fail "no statistics line /$line/"
done
# The statistics sit beside the map.
shows '^.{10,}Total Sims' || fail "the statistics are not beside the map"
first=$(number_after "Total Sims")
sleep 1
second=$(number_after "Total Sims")
[ "$second" -gt "$first" ] || fail "the simulation does not run ($first, then $second)"

# The map: white ground, blue border, ants in red, food in green, in
# half blocks. Trails take a little while to be laid.
blocks=$(screen | grep -o '[▀▄]' | wc -l)
[ "$blocks" -gt 200 ] || fail "only $blocks half blocks on the map"
count() { colours | grep -oE -- "$1" | wc -l; }
ground=$(pixel_count '2;255;255;255')
border=$(pixel_count '2;0;0;255')
red=$(pixel_count '2;255;0;0')
green=$(pixel_count '2;0;255;0')
echo "  pixels: ground $ground, border and strong trails $border, red ants $red, fresh food $green"
# The map is 80 x 78 pixels with its border (76 x 76 world pixels).
[ "$ground" -gt 3000 ] || fail "too little white ground ($ground)"
[ "$border" -ge 308 ] || fail "no blue border all round ($border)"
[ "$red" -gt 20 ] || fail "no red ants ($red)"
[ "$green" -gt 20 ] || fail "no green food ($green)"
[ "$(count '[34]8;5;')" -eq 0 ] || fail "palette colours at 24-bit depth"
# The top-left corner is the border; the map's first row under it is ground.
text=$(colours)
[[ "$text" == $'\033[48;2;0;0;255m '* ]] || fail "the map does not start with its border"
deadline=$(( $(now_ms) + 20000 ))
until [ "$(trail_pixels)" -gt 0 ]; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "no fading trails appeared"
    sleep 0.3
done
echo "  map, colours and statistics: ok"

# ---- Space: pause and resume ----
T send-keys -t view Space
wait_for 'Space resume.*paused$'
paused=$(number_after "Total Sims")
sleep 0.8
[ "$(number_after "Total Sims")" = "$paused" ] || fail "steps ran while paused"
T send-keys -t view Space
wait_for 'Space pause'
wait_gone 'paused$'
sleep 0.5
[ "$(number_after "Total Sims")" -gt "$paused" ] || fail "no steps after resuming"
echo "  Space: pauses and resumes"

# ---- t: trails off and on ----
T send-keys -t view t
deadline=$(( $(now_ms) + 3000 ))
until [ "$(trail_pixels)" -eq 0 ]; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "t left $(trail_pixels) trail colours on the map"
    sleep 0.1
done
T send-keys -t view t
deadline=$(( $(now_ms) + 3000 ))
until [ "$(trail_pixels)" -gt 0 ]; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "a second t did not bring the trails back"
    sleep 0.1
done
echo "  t: trails off and on"

# ---- e: the expert system off and on ----
T send-keys -t view e
wait_for 'Expert System Actions is Off'
T send-keys -t view e
wait_for 'Expert System Actions is On'
echo "  e: expert system off and on"

# ---- + and -: the pace ----
T send-keys -t view +
wait_for 'pace 50/s'
T send-keys -t view - -
wait_for 'pace 30/s'
T send-keys -t view =
wait_for 'pace 40/s'
echo "  + and -: 40 -> 50 -> 30 -> 40 steps per second"

# ---- n: a new colony, as the automatic restart builds it ----
deaths=$(number_after "Colony deaths")
T send-keys -t view Space
wait_for 'paused$'
T send-keys -t view n
wait_for "Colony deaths $((deaths + 1))"
wait_gone 'paused$' 3
echo "  n: new colony (colony deaths $deaths -> $((deaths + 1))), running again"

# ---- Ctrl+L: everything sent again ----
T send-keys -t view C-l
wait_for 'Total Sims'

# ---- Resizing ----
T resize-window -t view -x 60 -y 50
wait_for '^Total Sims [0-9]+' 5
shows '^Meandoring Ants' || fail "at 60 x 50 the statistics are not below the map"
[ "$(screen | tail -n 1 | grep -c '^q Space t e +/- n')" = 1 ] || fail "no short key line at 60 columns"
T resize-window -t view -x 39 -y 20
wait_for '^Terminal too small: 40 x 12 needed$' 5
[ "$(screen | grep -cv '^ *$')" = 1 ] || fail "more than the message below 40 columns"
T resize-window -t view -x 80 -y 11
wait_for '^Terminal too small' 5
T resize-window -t view -x 120 -y 40
wait_for '^.{10,}Total Sims' 5
wait_for 'q quit  Space pause'
running || fail "the view ended while resizing"
echo "  resize: below at 60 x 50, message at 39 x 20 and 80 x 11, beside again at 120 x 40"

# ---- q ----
T send-keys -t view q
ended q 0

# =========================================================================
echo "Colour depths"
start depth256 COLORTERM=
wait_for 'Total Sims [0-9]+'
sleep 0.5
[ "$(pixel_count '5;231')" -gt 3000 ] || fail "no white ground (231) at 256 colours"
[ "$(pixel_count '5;21')" -ge 308 ] || fail "no blue border (21) at 256 colours"
[ "$(pixel_count '5;196')" -gt 0 ] || fail "no red ants (196) at 256 colours"
[ "$(count '[34]8;2;')" -eq 0 ] || fail "24-bit colours at 256 colours"
T send-keys -t view Escape
ended "Esc" 0

start depth8 TERM=xterm COLORTERM=
wait_for 'Total Sims [0-9]+'
sleep 0.5
[ "$(pixel_count '8;7')" -gt 3000 ] || fail "no white ground at 8 colours"
[ "$(pixel_count '8;4')" -ge 308 ] || fail "no blue border at 8 colours"
[ "$(pixel_count '8;1')" -gt 0 ] || fail "no red ants at 8 colours"
[ "$(count '[34]8;[25];')" -eq 0 ] || fail "extended colours at 8 colours"
T send-keys -t view C-c
ended "Ctrl+C" 0

start blocks LANG=C LC_ALL=C COLORTERM=truecolor
wait_for 'Total Sims [0-9]+'
[ "$(screen | grep -c '[▀▄]')" = 0 ] || fail "half blocks without a UTF-8 locale"
[ "$(pixel_count '2;255;255;255')" -gt 3000 ] || fail "no ground without half blocks"
kill -TERM "$(view_pid)"
ended SIGTERM 0
echo "  256 colours, 8 colours and no half blocks: ok"

# =========================================================================
echo "The other ways out"
start hangup
wait_for 'Total Sims [0-9]+'
kill -HUP "$(view_pid)"
ended SIGHUP 0

# A start that fails after taking the terminal gives it back.
start thread STACK_KB=1000000000
ended "failed start (no thread)" 1
shows "marrowick: cannot start the simulation thread" || fail "no message for the failed thread"
# Terminals the view cannot use are refused before anything is sent.
start dumb TERM=dumb
ended "failed start (dumb terminal)" 1
shows "marrowick: the terminal type 'dumb' cannot place its cursor" ||
    fail "no message for the dumb terminal"
start vt100 TERM=vt100
ended "failed start (no colours)" 1
shows "marrowick: the terminal type 'vt100' shows no colours" || fail "no message for vt100"
start unknown TERM=no-such-terminal
ended "failed start (unknown type)" 1
shows "marrowick: unknown terminal type 'no-such-terminal'" || fail "no message for an unknown type"
start pipe -- "</dev/null"
ended "failed start (no terminal)" 1
shows "marrowick: --terminal needs a terminal" || fail "no message without a terminal"

# Ctrl+Z gives the shell its terminal back; fg brings the view back. (The
# shell carries on with its command line when a job stops, so the status and
# settings recorded then are not the program's.)
start suspend
wait_for 'Total Sims [0-9]+'
pid=$(view_pid)
T send-keys -t view C-z
wait_for 'Stopped'
[ "$(T display -p -t view '#{alternate_on}')" = 0 ] || fail "suspended, but still on the alternate screen"
[ "$(T display -p -t view '#{cursor_flag}')" = 1 ] || fail "suspended, but the cursor is hidden"
wait_for '^ENDED'
T send-keys -t view -l "clear; fg"
T send-keys -t view Enter
wait_for 'q quit  Space pause'
wait_for 'Total Sims [0-9]+'
steps=$(number_after "Total Sims")
sleep 0.5
[ "$(number_after "Total Sims")" -gt "$steps" ] || fail "the simulation does not run after fg"
T send-keys -t view q
deadline=$(( $(now_ms) + 3000 ))
while kill -0 "$pid" 2>/dev/null; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "q after fg did not end the program"
    sleep 0.05
done
sleep 0.2
[ "$(T display -p -t view '#{alternate_on}')" = 0 ] || fail "after fg and q: still on the alternate screen"
[ "$(T display -p -t view '#{cursor_flag}')" = 1 ] || fail "after fg and q: the cursor is hidden"
echo "  Ctrl+Z, fg, q: the terminal restored while stopped and at the end"

# The terminal itself goes away: the program ends instead of spinning.
start closed
wait_for 'Total Sims [0-9]+'
pid=$(view_pid)
T kill-server
deadline=$(( $(now_ms) + 3000 ))
while kill -0 "$pid" 2>/dev/null; do
    [ "$(now_ms)" -lt "$deadline" ] || fail "the program outlived its terminal"
    sleep 0.05
done
echo "  closed terminal: the program ended"
echo "terminal view: ok"
