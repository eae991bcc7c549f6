#!/usr/bin/env bash
# The installed package as a user has it: installed with dpkg --root into a
# scratch root, run as an unprivileged user in a mount namespace where the
# source tree and the build folder are empty folders (and the package was
# built in a folder that user could never read: package_common.bash). The
# expert system is on, with the engine from the package; an engine that is
# not executable and one that is missing are told apart. In a read-only home
# the program runs on the installed defaults. marrowick --add-to-xscreensaver
# puts it into the user's list, new or written by xscreensaver-settings, and
# the real xscreensaver daemon then runs the installed program from it;
# --remove-from-xscreensaver gives the file back as it was.
source "$(dirname "$0")/e2e_common.bash" "$1"
source "$(dirname "$0")/package_common.bash"
require_root
for tool in xscreensaver xscreensaver-command; do
    command -v "$tool" >/dev/null || fail "missing $tool (scripts/packages.txt)"
done
[ -x /usr/libexec/xscreensaver/xscreensaver-gl-visual ] || fail "missing xscreensaver-gl"
build_package

ROOT="$WORK/root"
install_root "$ROOT"
dpkg_root "$ROOT" -i "$DEB" >dpkg.log 2>&1 || fail "dpkg -i: $(cat dpkg.log)"
ENGINE="$ROOT/usr/libexec/marrowick/marrowick-engine"

# The user may pass through the scratch folder to what is theirs, and sees
# nothing at all of the trees.
chmod 711 "$WORK"
mkdir -m 755 cwd readonly-home
mkdir -m 777 logs
[ -z "$(hidden_as_user ls -A "$SOURCE_DIR" 2>&1)" ] ||
    fail "the user sees the source tree: $(hidden_as_user ls -A "$SOURCE_DIR" 2>&1)"
if hidden_as_user test -e "$BUILD_DIR/marrowick-engine"; then fail "the user sees the build folder"; fi

# as_user HOME CMD...: CMD as the user, in a working folder they cannot write.
as_user() {
    local home=$1
    shift
    (cd "$WORK/cwd" && hidden_as_user env -u XDG_CONFIG_HOME -u MARROWICK_ENGINE HOME="$home" \
        PATH="$ROOT/usr/bin:/usr/bin:/bin" DISPLAY="$DISPLAY" "$@")
}

# ---- The expert system, from the installed engine ----
headless() {  # HOME: a short run; its output in logs/headless.{out,err}
    as_user "$1" marrowick --headless --steps 400 >logs/headless.out 2>logs/headless.err
}
headless "$WORK/readonly-home" || fail "the headless run failed: $(cat logs/headless.err)"
grep -q "Expert System Actions is On" logs/headless.out ||
    fail "the expert system is off: $(cat logs/headless.out logs/headless.err)"
grep -q "cannot make $WORK/readonly-home/.config" logs/headless.err ||
    fail "no word about the read-only home: $(cat logs/headless.err)"
grep -q "rule base is read from $ROOT/usr/share/marrowick/Rules.clp" logs/headless.err ||
    fail "the rule base did not come from the data folder: $(cat logs/headless.err)"
[ ! -e "$WORK/readonly-home/.config" ] && [ ! -e "$WORK/cwd/Rules.clp" ] || fail "something was written"
as_user "$WORK/readonly-home" marrowick --check-rules >logs/check.out 2>logs/check.err ||
    fail "--check-rules of the installed rule base: $(cat logs/check.err)"
echo "as the user: the expert system is on, --check-rules passes"

# Not executable, and not there: each said as it is.
chmod 644 "$ENGINE"
headless "$WORK/readonly-home" || true
chmod 755 "$ENGINE"
grep -q "Expert System Actions is Off" logs/headless.out || fail "the expert system is on without an engine"
grep -qF "$ENGINE is not executable" logs/headless.err ||
    fail "no word that the engine is not executable: $(cat logs/headless.err)"
grep -F "$ENGINE" logs/headless.err | head -n 1 | sed "s|$ROOT|ROOT|g"
mv "$ENGINE" "$WORK/engine"
headless "$WORK/readonly-home" || true
mv "$WORK/engine" "$ENGINE"
grep -qF "marrowick-engine is not installed: there is neither $ENGINE nor $ROOT/usr/bin/marrowick-engine" \
    logs/headless.err || fail "no word that the engine is missing: $(cat logs/headless.err)"
grep -F "$ENGINE" logs/headless.err | head -n 1 | sed "s|$ROOT|ROOT|g"

# ---- xscreensaver ----
HOME_DIR="$WORK/home"
mkdir -m 700 "$HOME_DIR"
chown "$TEST_USER_ID:$TEST_USER_ID" "$HOME_DIR"
LIST="$HOME_DIR/.xscreensaver"

as_user "$HOME_DIR" marrowick --add-to-xscreensaver >logs/add.out 2>&1 || fail "--add: $(cat logs/add.out)"
grep -q "made $LIST with marrowick" logs/add.out || fail "--add said: $(cat logs/add.out)"
[ "$(stat -c %u "$LIST")" = "$TEST_USER_ID" ] || fail "the new file is not the user's"
grep -q '^programs:' "$LIST" || fail "no list in the new file"

as_user "$HOME_DIR" xscreensaver --no-splash --log "$WORK/logs/daemon.log" >/dev/null 2>&1 &
HELPER_PIDS+=($!)
for _ in $(seq 100); do
    as_user "$HOME_DIR" xscreensaver-command --version >/dev/null 2>&1 && break
    sleep 0.1
done

# The installed program running below the daemon, its pid printed; and the
# installed engine below it. For the screen saver marrowick becomes the
# package's window program, in its own place and under its own name.
WINDOW_PROGRAM="$ROOT/usr/libexec/marrowick/marrowick-window"
installed_hack() {
    local pid
    for pid in $(pgrep -x marrowick); do
        [ "$(readlink "/proc/$pid/exe")" = "$WINDOW_PROGRAM" ] && { echo "$pid"; return 0; }
    done
    return 1
}
# expect_selected N WHAT: the daemon runs entry N, which is the installed
# marrowick, drawing into its window, with the expert system's engine.
expect_selected() {
    local n=$1 what=$2 hack="" white=0 blue engine="" child
    local launched
    launched=$(grep -c 'marrowick --root' logs/daemon.log || true)
    as_user "$HOME_DIR" xscreensaver-command --select "$n" >/dev/null 2>&1 ||
        fail "$what: xscreensaver-command --select $n: $(tail -n 20 logs/daemon.log)"
    for _ in $(seq 60); do
        sleep 0.5
        hack=$(installed_hack) || continue
        import -window root root.png 2>/dev/null || continue
        white=$(pixels root.png 'r == 255 && g == 255 && b == 255')
        [ "$white" -gt $((1024 * 768 / 2)) ] && break
    done
    [ -n "$hack" ] || fail "$what: the daemon did not start the installed marrowick: $(tail -n 30 logs/daemon.log)"
    [ "$(grep -c 'marrowick --root' logs/daemon.log)" -gt "$launched" ] ||
        fail "$what: the log does not show marrowick launched"
    blue=$(pixels root.png 'r == 0 && g == 0 && b == 255')
    [ "$white" -gt $((1024 * 768 / 2)) ] && [ "$blue" -gt 500 ] ||
        fail "$what: the colony is not in the daemon's window ($white white, $blue blue pixels)"
    for _ in $(seq 50); do
        for child in $(pgrep -P "$hack" || true); do
            [ "$(readlink "/proc/$child/exe")" = "$ENGINE" ] && engine=$child
        done
        [ -n "$engine" ] && break
        sleep 0.1
    done
    [ -n "$engine" ] || fail "$what: no engine from the package below the screen saver"
    echo "$what: entry $n is the installed marrowick, drawing ($white white, $blue blue pixels), engine running"
    local unfaded
    unfaded=$(grep -c 'unfading done' logs/daemon.log || true)
    as_user "$HOME_DIR" xscreensaver-command --deactivate >/dev/null 2>&1
    for _ in $(seq 50); do
        installed_hack >/dev/null || break
        sleep 0.1
    done
    if installed_hack >/dev/null; then fail "$what: marrowick still runs after the daemon ended it"; fi
    # The daemon takes a selection only once the screen has faded back in.
    for _ in $(seq 100); do
        [ "$(grep -c 'unfading done' logs/daemon.log)" -gt "$unfaded" ] && return 0
        sleep 0.1
    done
    fail "$what: the daemon did not come back from the screen saver: $(tail -n 20 logs/daemon.log)"
}
# The new file's list holds marrowick alone; xscreensaver's own come after it.
expect_selected 1 "a new ~/.xscreensaver"

# A file that xscreensaver-settings wrote: marrowick becomes its last entry.
FIXTURE="$SOURCE_DIR/tests/shell/xscreensaver/written-by-xscreensaver-settings-6.06"
install -o "$TEST_USER_ID" -g "$TEST_USER_ID" -m 644 "$FIXTURE" "$LIST"
as_user "$HOME_DIR" marrowick --add-to-xscreensaver >logs/add.out 2>&1 || fail "--add: $(cat logs/add.out)"
cmp -s "$FIXTURE" "$LIST.marrowick.bak" || fail "no backup of the file as it was"
entries=$(awk '/^programs:/ {p = 1} p && /\\n\\?$/ {n++} p && /^$/ {exit} END {print n}' "$LIST")
[ "$(grep -c '\\n' "$LIST")" = "$entries" ] || fail "the list's entries are not counted right"
expect_selected "$entries" "xscreensaver-settings' file"

as_user "$HOME_DIR" marrowick --remove-from-xscreensaver >logs/remove.out 2>&1 ||
    fail "--remove: $(cat logs/remove.out)"
cmp -s "$FIXTURE" "$LIST" || fail "--remove did not give the file back as it was"
echo "package as a user: ok"
