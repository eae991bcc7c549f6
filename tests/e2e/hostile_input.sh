#!/usr/bin/env bash
# What a user controls must never hang the program, crash it or lose data:
# readers that quit, signals, full devices, special files under the names the
# program reads, image headers that lie, the command line's odd spellings,
# and message boxes that must go when the program goes.
source "$(dirname "$0")/e2e_common.bash" "$1"

csv_whole_rows() {  # FILE: header and whole rows only, the last one complete
    [ "$(head -c 5 "$1")" = "step," ] || return 1
    [ "$(tail -c 1 "$1" | od -An -c | tr -d ' ')" = '\n' ] || return 1
    awk -F'"' 'NR > 1 { n = split($1, f, ","); if (n != 16) bad = 1 } END { exit bad }' "$1"
}

# ---- Headless: readers that quit, signals, full devices ----
# (set -e and pipefail would end the script on the statuses looked at here)
set +e
"$MARROWICK" --headless --steps 3000 --csv run.csv 2>pipe.err | true
status=${PIPESTATUS[0]}
set -e
[ "$status" = 0 ] || fail "| true: status $status"
[ "$(wc -l <run.csv)" = 3001 ] || fail "| true: the CSV has $(wc -l <run.csv) lines, not 3001"
csv_whole_rows run.csv || fail "| true: the CSV is cut"
grep -q "standard output was closed" pipe.err || fail "| true: no note: $(cat pipe.err)"

set +e
"$MARROWICK" --headless --steps 100000000 --csv - 2>head.err | head -n 3 >head.csv
status=${PIPESTATUS[0]}
set -e
[ "$status" = 141 ] || fail "| head: status $status, not 128 + SIGPIPE"
grep -q "stopped by SIGPIPE after [0-9]* of 100000000 steps" head.err || fail "| head: $(cat head.err)"

status=0
"$MARROWICK" --headless --steps 20 >/dev/full 2>full.err || status=$?
[ "$status" = 1 ] || fail "> /dev/full: status $status"
grep -qx "marrowick: error writing standard output: No space left on device" full.err ||
    fail "> /dev/full: $(cat full.err)"

status=0
timeout 20 "$MARROWICK" --headless --steps 100000000 --csv /dev/full >/dev/null 2>csvfull.err || status=$?
[ "$status" = 1 ] || fail "--csv /dev/full: status $status"
grep -q "error writing '/dev/full': No space left on device; stopped after 0 of" csvfull.err ||
    fail "--csv /dev/full: $(cat csvfull.err)"

"$MARROWICK" --headless --steps 2000000000 --csv hup.csv >/dev/null 2>hup.err &
pid=$!
for _ in $(seq 100); do [ -s hup.csv ] && break; sleep 0.05; done
sleep 0.5
kill -HUP "$pid"
status=0
wait "$pid" || status=$?
[ "$status" = 129 ] || fail "SIGHUP: status $status, not 128 + SIGHUP"
csv_whole_rows hup.csv || fail "SIGHUP: the CSV is cut"
last=$(tail -n 1 hup.csv | cut -d, -f1)
grep -q "stopped by SIGHUP after $last of 2000000000 steps" hup.err ||
    fail "SIGHUP: '$(cat hup.err)' does not name step $last"
echo "headless output: ok (SIGHUP after step $last)"

# ---- Command-line spellings ----
"$MARROWICK" -headless --steps 3 >/dev/null || fail "-headless"
for refused in --headless=1 -headless=1; do
    status=0
    "$MARROWICK" "$refused" >refused.out 2>refused.err || status=$?
    [ "$status" = 2 ] || fail "$refused: status $status"
    [ "$(wc -l <refused.err)" = 1 ] || fail "$refused: not one line: $(cat refused.err)"
    grep -qx "marrowick: option --headless takes no value" refused.err || fail "$refused: $(cat refused.err)"
    [ ! -s refused.out ] || fail "$refused: printed on standard output"
done

# ---- The rule base's name taken by something else ----
mkdir rulesdir && (cd rulesdir && mkdir Rules.clp &&
    "$MARROWICK" --headless --steps 1 >/dev/null 2>../rules.err) || fail "a Rules.clp folder"
grep -q '"Rules.clp" is a directory, not a rule base file' rules.err || fail "$(cat rules.err)"
mkdir rulesfifo && (cd rulesfifo && mkfifo Rules.clp &&
    timeout 20 "$MARROWICK" --headless --steps 1 >/dev/null 2>../fifo.err) || fail "a Rules.clp FIFO hangs"
grep -q '"Rules.clp" is a FIFO, not a rule base file' fifo.err || fail "$(cat fifo.err)"
# A working directory that is gone: the user's copy serves; with no user
# folder either (no usable home), the built-in rules run and the run says why.
mkdir gone && (cd gone && rmdir ../gone &&
    "$MARROWICK" --headless --steps 1 >/dev/null 2>../gone.err) || fail "no working directory"
[ -f "$XDG_CONFIG_HOME/marrowick/Rules.clp" ] || fail "no user copy: $(cat gone.err)"
mkdir gone && (cd gone && rmdir ../gone &&
    HOME=/proc XDG_CONFIG_HOME= "$MARROWICK" --headless --steps 1 >/dev/null 2>../gone.err) ||
    fail "no working directory and no home"
# Nothing is written where nobody asked: the built-in rules run from memory.
grep -q 'the built-in rules are used' gone.err || fail "$(cat gone.err)"
echo "rule base names: ok"

# ---- -s runs like /s ----
start_app -s
window_by_name "Screen Saver" 15 >/dev/null || fail "-s: no full-screen window"
xdotool key a
expect_exit 3000 "-s: a key press"

# ---- Textures that are no images ----
mkfifo pipe.bmp
python3 - <<'EOF'
import struct
def bmp(name, w, h):
    header = b'BM' + struct.pack('<IHHI', 54, 0, 0, 54)
    header += struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, 0, 0, 0, 0, 0)
    open(name, 'wb').write(header)
bmp('huge.bmp', 23000, 23000)
bmp('tall.bmp', 1, 16777216)
bmp('lying.bmp', 8000, 8000)
EOF
for texture in pipe.bmp huge.bmp tall.bmp lying.bmp; do
    printf 'TextureName = %s\r\n' "$PWD/$texture" >Marrowick.ini
    started=$(now_ms)
    start_app /s --texture
    window_by_name "Screen Saver" 15 >/dev/null || fail "$texture: no window"
    sleep 1
    expect_running "$texture"
    xdotool key a
    expect_exit 3000 "$texture: a key press"
    grep -q "the texture '$PWD/$texture' .*; drawing without it" app.err ||
        fail "$texture: no message"
    echo "$texture: $(grep -o "texture '[^']*' [^;]*" app.err) ($(( $(now_ms) - started )) ms in all)"
done
[ -p pipe.bmp ] || fail "the FIFO was replaced"
rm -f Marrowick.ini

# ---- Boxes go when the program goes ----
# A settings file too large to read: one warning, and the file is kept.
mkdir big && head -c 2097152 /dev/zero | tr '\0' '#' >big/Marrowick.ini
sum=$(md5sum <big/Marrowick.ini)
(cd big && exec "$MARROWICK" /s >../app.out 2>../app.err) &
APP_PID=$!
window_by_name "Marrowick" 15 >/dev/null || fail "no warning box for a 2 MiB settings file"
grep -q "INI file larger than 1 MiB" app.err || fail "the warning is not on standard error"
kill -TERM "$APP_PID"
expect_exit 1000 "SIGTERM with the warning box open"
sleep 0.3
[ "$(count_windows_named Marrowick)" = 0 ] || fail "the warning box outlived the program"
[ "$(md5sum <big/Marrowick.ini)" = "$sum" ] || fail "the large settings file was changed"

# The About box.
start_app /c
window_by_name "About Box" 15 >/dev/null || fail "no About box"
kill -TERM "$APP_PID"
expect_exit 1000 "SIGTERM with the About box open"
sleep 0.3
[ "$(count_windows_named "About Box")" = 0 ] || fail "the About box outlived the program"
echo "boxes: ok"

# ---- A preview for a window that does not exist writes nothing ----
mkdir preview && (cd preview && status=0 && "$MARROWICK" /p 0x7fffff0 2>../preview.err || status=$? &&
    [ "$status" = 1 ]) || fail "/p with no such window did not fail"
grep -q "X window 0x7fffff0 does not exist" preview.err || fail "$(cat preview.err)"
[ -z "$(ls -A preview)" ] || fail "/p with no such window wrote $(ls preview)"
echo "hostile input: ok"
