# Shared by the end-to-end scripts (sourced; not a test itself).
# Usage in a script: source "$(dirname "$0")/e2e_common.bash" "$1"
#
# Gives: a private Xvfb (1024x768x24, or XVFB_SCREEN when set before sourcing)
# on a display number it picks itself, a scratch working directory (and a
# scratch XDG_CONFIG_HOME inside it, so that the user's files never touch the
# real home), and helpers to start the program, wait for it,
# take screenshots through its SIGUSR1 hook and count pixel colours. Everything
# started here is stopped on exit.
set -euo pipefail

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 path/to/marrowick" >&2
    exit 2
fi
MARROWICK=$(readlink -f "$1")
BUILD_DIR=$(dirname "$MARROWICK")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/marrowick-e2e.XXXXXX")
cd "$WORK"

# The GL driver keeps allocations in modules it unloads at exit, which leak
# checking cannot attribute; the unit tests check leaks.
export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
unset XSCREENSAVER_WINDOW
export XDG_CONFIG_HOME="$WORK/config"

XVFB_PID=""
APP_PID=""
HELPER_PIDS=()
EXIT_STATUS=""

stop_pid() {
    local pid=$1
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid" 2>/dev/null || true
        for _ in $(seq 20); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -KILL "$pid" 2>/dev/null || true
    fi
}

cleanup() {
    stop_pid "$APP_PID"
    for pid in "${HELPER_PIDS[@]}"; do stop_pid "$pid"; done
    stop_pid "$XVFB_PID"
    cd /
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    if [ -f app.err ]; then
        echo "--- program's standard error (last lines):" >&2
        tail -n 20 app.err >&2
    fi
    exit 1
}

now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

start_xvfb() {
    # Xvfb picks a free display number itself and writes it to fd 3 once
    # it accepts connections.
    # -noreset: without it the server starts afresh (pointer back in the
    # centre) whenever its last client, such as one xdotool call, leaves.
    Xvfb -displayfd 3 -screen 0 "${XVFB_SCREEN:-1024x768x24}" -nolisten tcp -noreset \
        3>display.txt 2>xvfb.log &
    XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s display.txt ] && break
        sleep 0.1
    done
    [ -s display.txt ] || fail "Xvfb did not start: $(cat xvfb.log)"
    export DISPLAY=":$(head -n 1 display.txt)"
    for _ in $(seq 50); do
        xdotool getdisplaygeometry >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    fail "display $DISPLAY does not answer"
}

# start_app ARGS...: runs the program in the background (output in app.out and
# app.err), APP_PID set.
start_app() {
    "$MARROWICK" "$@" >app.out 2>app.err &
    APP_PID=$!
}

# wait_exit TIMEOUT_MS: true when the program ended in time; EXIT_STATUS set.
wait_exit() {
    local deadline=$(( $(now_ms) + $1 ))
    while kill -0 "$APP_PID" 2>/dev/null; do
        [ "$(now_ms)" -lt "$deadline" ] || return 1
        sleep 0.02
    done
    EXIT_STATUS=0
    wait "$APP_PID" || EXIT_STATUS=$?
    APP_PID=""
    return 0
}

# expect_exit TIMEOUT_MS WHAT: the program must end in time with status 0.
expect_exit() {
    wait_exit "$1" || fail "$2: still running after $1 ms"
    [ "$EXIT_STATUS" = 0 ] || fail "$2: exit status $EXIT_STATUS"
}

expect_running() {
    kill -0 "$APP_PID" 2>/dev/null || fail "$1: the program ended"
}

# window_by_name NAME TIMEOUT_S: prints the id of a top-level window with that
# exact name (xwininfo also sees the UTF-8 names of SDL's message boxes).
window_by_name() {
    local name=$1 tries=$(( $2 * 10 )) id
    for _ in $(seq "$tries"); do
        id=$(xwininfo -root -tree 2>/dev/null | awk -v n="\"$name\":" 'index($0, n) {print $1; exit}')
        if [ -n "$id" ]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    return 1
}

count_windows_named() {
    xwininfo -root -tree 2>/dev/null | grep -c "\"$1\":" || true
}

# focus_and_key WINDOW KEYS...: keyboard focus to the window, then the keys.
focus_and_key() {
    local window=$1
    shift
    xdotool windowfocus --sync "$window" >/dev/null 2>&1 || xdotool windowfocus "$window"
    xdotool key --delay 60 "$@"
}

# screenshot FILE: asks the running program (started with --screenshot FILE)
# for its next frame and waits for the file; prints the status line it logs.
screenshot() {
    local file=$1 lines
    rm -f "$file"
    lines=$(grep -c "screenshot $file:" app.err || true)
    kill -USR1 "$APP_PID"
    for _ in $(seq 150); do
        if [ -s "$file" ] && [ "$(grep -c "screenshot $file:" app.err || true)" -gt "$lines" ]; then
            grep "screenshot $file:" app.err | tail -n 1
            return 0
        fi
        sleep 0.1
    done
    fail "no screenshot $file"
}

# steps_of LINE: the total step count in a screenshot status line.
steps_of() { sed -n 's/.*total steps \([0-9]*\).*/\1/p' <<<"$1"; }

# pixels FILE AWK-CONDITION: how many pixels have r, g, b matching the
# condition, e.g. pixels shot.png 'r == 255 && g == 255 && b == 255'.
pixels() {
    # The condition is pasted into the awk program (awk has no eval).
    convert "$1" -alpha off -format %c histogram:info:- |
        awk "
        match(\$0, /\\(([0-9]+),([0-9]+),([0-9]+)/) {
            split(substr(\$0, RSTART + 1, RLENGTH - 1), c, \",\")
            n = \$1; sub(\":\", \"\", n)
            r = c[1] + 0; g = c[2] + 0; b = c[3] + 0
            if ($2) total += n
        }
        END { print total + 0 }"
}

start_xvfb
