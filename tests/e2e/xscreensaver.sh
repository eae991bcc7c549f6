#!/usr/bin/env bash
# The real xscreensaver daemon runs the program as a hack: "GL: marrowick
# --root" in the user's list, selected, draws the world into the daemon's
# window; a new selection, a cycle and a deactivation end it with SIGTERM, and
# the daemon's log says it ended as a hack should ("exited normally with
# SIGTERM"), never "exited abnormally with status 0". The daemon launches no hack as root: as root the daemon and the
# program run as nobody.
source "$(dirname "$0")/e2e_common.bash" "$1"

for tool in xscreensaver xscreensaver-command; do
    command -v "$tool" >/dev/null || fail "missing $tool (package xscreensaver)"
done
[ -x /usr/libexec/xscreensaver/xscreensaver-gl-visual ] || fail "missing xscreensaver-gl"

# Everything the other user needs lies in the scratch folder: the program and
# its engine (the daemon finds the hack on its PATH), a home of its own.
chmod 711 "$WORK"
mkdir -m 755 bin
cp "$MARROWICK" "$BUILD_DIR/marrowick-engine" "$BUILD_DIR/marrowick-window" bin/
mkdir -m 777 home logs
cat >home/.xscreensaver <<'EOF'
mode:		one
selected:	0
lock:		False
splash:		False
fade:		False
unfade:		False
programs:	GL: marrowick --root	\n\
EOF
chmod 666 home/.xscreensaver
as_user=()
[ "$(id -u)" = 0 ] && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
run_as_user() {
    (cd "$WORK/home" && env HOME="$WORK/home" XDG_CONFIG_HOME="$WORK/home/.config" \
        PATH="$WORK/bin:$PATH" "${as_user[@]}" "$@")
}

run_as_user xscreensaver --no-splash --log "$WORK/logs/daemon.log" >/dev/null 2>&1 &
HELPER_PIDS+=($!)
for _ in $(seq 100); do
    run_as_user xscreensaver-command --version >/dev/null 2>&1 && break
    sleep 0.1
done
run_as_user xscreensaver-command --version >/dev/null 2>&1 ||
    fail "the daemon does not answer: $(tail -n 20 logs/daemon.log)"

hack_pids() { pgrep -u "$([ "$(id -u)" = 0 ] && echo 65534 || id -u)" -x marrowick || true; }

# wait_drawn WHAT: the daemon's window shows the white world.
wait_drawn() {
    white=0
    for _ in $(seq 60); do
        sleep 0.5
        import -window root root.png 2>/dev/null || continue
        white=$(pixels root.png 'r == 255 && g == 255 && b == 255')
        [ "$white" -gt $((1024 * 768 / 2)) ] && break
    done
    [ "$white" -gt $((1024 * 768 / 2)) ] ||
        fail "$1: the daemon did not show marrowick: $(tail -n 30 logs/daemon.log)"
    [ -n "$(hack_pids)" ] || fail "$1: no marrowick process"
    echo "$1: $white white pixels"
}
command_daemon() {
    run_as_user xscreensaver-command "$@" >/dev/null 2>&1 ||
        fail "xscreensaver-command $* failed: $(tail -n 20 logs/daemon.log)"
}

# The daemon ends a hack with SIGTERM when it starts another one in its place
# (a selection while one runs, a cycle) and when it stops blanking; in the
# first two cases it stays to reap it and logs how it ended.
command_daemon --select 1
wait_drawn "selected"
command_daemon --select 1
sleep 1
wait_drawn "selected again"
command_daemon --cycle
sleep 1
wait_drawn "cycled"
command_daemon --deactivate
for _ in $(seq 50); do
    [ -z "$(hack_pids)" ] && break
    sleep 0.1
done
[ -z "$(hack_pids)" ] || fail "marrowick still runs after the deactivation"

# Each end the daemon reaped is in the log by now.
for _ in $(seq 30); do
    [ "$(grep -c '(marrowick) exited' logs/daemon.log || true)" -ge 2 ] && break
    sleep 0.1
done
grep '(marrowick)' logs/daemon.log | grep -v forked || true
grep -q "(marrowick) exited abnormally\|(marrowick) crashed\|(marrowick) unexpectedly" logs/daemon.log &&
    fail "the daemon took an end for a crash"
[ "$(grep -c '(marrowick) exited normally with SIGTERM' logs/daemon.log || true)" -ge 2 ] ||
    fail "the daemon did not log two ends by SIGTERM: $(tail -n 30 logs/daemon.log)"
echo "xscreensaver: ok"
