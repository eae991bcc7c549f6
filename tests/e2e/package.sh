#!/usr/bin/env bash
# The Debian package: cpack builds marrowick_<version>_amd64.deb from this
# build; its files land where Debian and xscreensaver look for them; lintian
# finds no error; the manual page renders. Unpacked into a scratch root, its
# maintainer scripts put marrowick at the end of xscreensaver's list, make the
# list again when xscreensaver's changes, leave an administrator's own file
# alone and put xscreensaver's link back on removal. The real xscreensaver
# daemon, reading that list for a user with no settings of their own, starts
# the installed program in its window, and the program, unable to write in a
# read-only home, runs on the installed defaults and warns on standard error
# only. A headless run in a read-only home does the same.
SOURCE_DIR=$(cd "$(dirname "$0")/../.." && pwd)
source "$(dirname "$0")/e2e_common.bash" "$1"

for tool in cpack dpkg-deb lintian man appres xscreensaver xscreensaver-command; do
    command -v "$tool" >/dev/null || fail "missing $tool (scripts/packages.txt)"
done
[ -x /usr/libexec/xscreensaver/xscreensaver-gl-visual ] || fail "missing xscreensaver-gl"
VERSION=$("$MARROWICK" --version | awk '{print $2}')
DEB="$WORK/pkg/marrowick_${VERSION}_amd64.deb"

# ---- Build the package ----
# cpack packs what is built; the compressed manual page may not be yet.
cmake --build "$BUILD_DIR" --target marrowick_docs >"$WORK/docs.log" 2>&1 ||
    fail "building the manual page failed: $(tail -n 20 "$WORK/docs.log")"
(cd "$BUILD_DIR" && cpack -G DEB -B "$WORK/pkg" >"$WORK/cpack.log" 2>&1) ||
    fail "cpack failed: $(tail -n 20 "$WORK/cpack.log")"
[ -f "$DEB" ] || fail "no $DEB: $(ls "$WORK/pkg")"

field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = marrowick ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$VERSION" ] || fail "Version: $(field Version)"
[ "$(field Architecture)" = amd64 ] || fail "Architecture: $(field Architecture)"
# The libraries come from the binary (dpkg-shlibdeps); the rest are named.
for need in libsdl2-2.0-0 libfreetype6 libseccomp2 libc6 fonts-liberation libgl1; do
    grep -q "$need" <<<"$(field Depends)" || fail "Depends lacks $need: $(field Depends)"
done
grep -q xscreensaver-gl <<<"$(field Recommends)" || fail "Recommends: $(field Recommends)"

# ---- Where the files land ----
dpkg-deb -c "$DEB" >listing.txt
awk '{print $6 ($7 ? " " $7 " " $8 : "")}' listing.txt | sed 's|^\./|/|' | grep -v '/$' |
    sort >contents.txt
cat >expected.txt <<'EOF'
/usr/bin/marrowick
/usr/libexec/marrowick/marrowick-engine
/usr/libexec/xscreensaver/marrowick -> ../../bin/marrowick
/usr/share/applications/marrowick.desktop
/usr/share/doc/marrowick/changelog.gz
/usr/share/doc/marrowick/copyright
/usr/share/man/man6/marrowick.6.gz
/usr/share/marrowick/Rules.clp
/usr/share/marrowick/texture.bmp
/usr/share/xscreensaver/config/marrowick.xml
EOF
diff expected.txt contents.txt >contents.diff || fail "package contents differ: $(cat contents.diff)"
# Files belong to root, are not writable by others, programs executable.
awk '$2 != "root/root" {bad = 1} END {exit bad}' listing.txt || fail "a file not owned by root"
grep -q '^-rwxr-xr-x .*usr/bin/marrowick$' listing.txt || fail "the program is not 0755"
awk '$1 ~ /w.$/ && $1 !~ /^l/ {bad = 1} END {exit bad}' listing.txt ||
    fail "a file others may write: $(cat listing.txt)"

ROOT="$WORK/root"
dpkg-deb -x "$DEB" "$ROOT"
mkdir control && dpkg-deb -e "$DEB" control
grep -qx 'interest-noawait /etc/X11/app-defaults' control/triggers ||
    fail "no trigger on xscreensaver's settings"
[ -x control/postinst ] && [ -x control/postrm ] || fail "maintainer scripts not executable"
cmp "$ROOT/usr/share/marrowick/Rules.clp" "$SOURCE_DIR/resources/Rules.clp" ||
    fail "the installed rule base is not the built-in one"
xmllint --noout "$ROOT/usr/share/xscreensaver/config/marrowick.xml" 2>/dev/null ||
    [ ! -x /usr/bin/xmllint ] || fail "the settings description is no valid XML"
grep -q '_label="Texture the ants"' "$ROOT/usr/share/xscreensaver/config/marrowick.xml" ||
    fail "the texture switch does not say what it textures"

# ---- lintian: no errors ----
lintian --no-cfg --fail-on error "$DEB" >lintian.txt 2>&1 || fail "lintian: $(cat lintian.txt)"
grep -E '^E:' lintian.txt && fail "lintian errors"
echo "lintian: $(grep -cE '^[WI]:' lintian.txt || true) warnings or notes"

# ---- The manual page renders, without complaints ----
MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$ROOT/usr/share/man/man6/marrowick.6.gz" \
    >man.txt 2>man.err || fail "man -l failed: $(cat man.err)"
[ ! -s man.err ] || fail "groff warnings: $(cat man.err)"
for heading in NAME SYNOPSIS DESCRIPTION MODES OPTIONS "HEADLESS MODE" "WINDOW MODE" \
               "TERMINAL MODE" FILES ENVIRONMENT "EXIT STATUS"; do
    grep -q "^$heading" man.txt || fail "the manual page has no $heading"
done
for option in --root --window-id --window --headless --terminal --check-rules --trace-rules \
              --set --list-parameters --sweep --vary --seeds --jobs --out --list-runs \
              --merge --plot --rate --render-multi --no-trails --no-expert-system --texture \
              --steps --seed --csv --every; do
    grep -q -- "$option" man.txt || fail "the manual page does not mention $option"
done
# Every option of --help is in the manual.
for option in $("$MARROWICK" --help | grep -oE -- '--[a-z-]+' | sort -u); do
    grep -q -- "$option" man.txt || fail "--help lists $option, the manual page does not"
done

# ---- xscreensaver's list, through the maintainer scripts ----
DEFAULTS="$ROOT/etc/X11/app-defaults"
mkdir -p "$DEFAULTS" "$ROOT/usr/libexec/xscreensaver"
cp /etc/X11/app-defaults/XScreenSaver-gl /etc/X11/app-defaults/XScreenSaver-nogl "$DEFAULTS/"
ln -s XScreenSaver-gl "$DEFAULTS/XScreenSaver"  # as xscreensaver's own scripts make it
touch "$ROOT/usr/libexec/xscreensaver/xscreensaver-gl-visual"
export XFILESEARCHPATH="$DEFAULTS/%N"
# The number of entries in the programs list that Xt hands xscreensaver.
programs() {
    appres XScreenSaver xscreensaver | awk '/^\*programs:/ {p = 1} p {print} p && !/\\$/ {exit}' |
        grep -c -- '-root'
}
before=$(programs)
DPKG_ROOT="$ROOT" sh control/postinst configure || fail "postinst failed"
[ "$(readlink "$DEFAULTS/XScreenSaver")" = ../../../var/lib/marrowick/XScreenSaver ] ||
    fail "the link does not point at the extended list: $(readlink "$DEFAULTS/XScreenSaver")"
appres XScreenSaver xscreensaver >resources.txt
last=$(awk '/^\*programs:/ {p = 1} p && /\\n$/ {print; exit}' resources.txt)
grep -qE '^[[:space:]]*GL:[[:space:]]+marrowick --root[[:space:]]+\\n$' <<<"$last" ||
    fail "marrowick is not the last entry: $last"
after=$(programs)
[ "$after" -eq $((before + 1)) ] || fail "the list went from $before to $after entries"
grep -q '^\*timeout:' resources.txt || fail "the rest of xscreensaver's settings went missing"
echo "xscreensaver's list: $before entries, then $after with marrowick last"

# Configured again (an upgrade): still one entry.
DPKG_ROOT="$ROOT" sh control/postinst configure
[ "$(programs)" -eq "$after" ] || fail "a second configure added a second entry"
# xscreensaver's list changes (an upgrade of xscreensaver-gl): made again.
sed -i 's/^\(\*programs:.*\)$/\1\n\t\t\t\tnewhack --root\t\t\t\t    \\n\\/' "$DEFAULTS/XScreenSaver-gl"
DPKG_ROOT="$ROOT" sh control/postinst triggered /etc/X11/app-defaults
appres XScreenSaver xscreensaver | grep -q 'newhack --root' || fail "the trigger did not take the new list"
[ "$(programs)" -eq $((after + 1)) ] || fail "after the trigger: $(programs) entries"

# Removal puts xscreensaver's link back.
DPKG_ROOT="$ROOT" sh control/postrm remove
[ "$(readlink "$DEFAULTS/XScreenSaver")" = XScreenSaver-gl ] ||
    fail "removal left the link at $(readlink "$DEFAULTS/XScreenSaver")"
[ ! -e "$ROOT/var/lib/marrowick" ] || fail "removal left /var/lib/marrowick"
appres XScreenSaver xscreensaver | grep -q marrowick && fail "removal left marrowick listed"

# An administrator's own file is left alone, with a note.
rm "$DEFAULTS/XScreenSaver"
printf '*programs: maze --root \\n\n' >"$DEFAULTS/XScreenSaver"
DPKG_ROOT="$ROOT" sh control/postinst configure 2>note.txt
grep -q "add 'GL: marrowick --root'" note.txt || fail "no note for a file of the administrator's"
[ "$(cat "$DEFAULTS/XScreenSaver")" = '*programs: maze --root \n' ] || fail "the administrator's file changed"
# Without xscreensaver-gl the list comes from XScreenSaver-nogl.
rm "$DEFAULTS/XScreenSaver" "$ROOT/usr/libexec/xscreensaver/xscreensaver-gl-visual"
DPKG_ROOT="$ROOT" sh control/postinst configure
head -n 1 "$ROOT/var/lib/marrowick/XScreenSaver" | grep -q 'from XScreenSaver-nogl' ||
    fail "without xscreensaver-gl the copy is not made from XScreenSaver-nogl"
touch "$ROOT/usr/libexec/xscreensaver/xscreensaver-gl-visual"
DPKG_ROOT="$ROOT" sh control/postinst configure
head -n 1 "$ROOT/var/lib/marrowick/XScreenSaver" | grep -q 'from XScreenSaver-gl,' ||
    fail "with xscreensaver-gl the copy is not made from XScreenSaver-gl"

# ---- A user without settings of their own and with a read-only home ----
# As root the test runs the daemon and the program as nobody, for whom the
# home and the working directory are not writable; as anyone else, in a home
# made read-only.
chmod 711 "$WORK"
mkdir -m 755 home cwd
mkdir -m 777 logs
as_user=()
if [ "$(id -u)" = 0 ]; then
    as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups)
else
    chmod 555 home cwd
fi
run_as_user() { (cd "$WORK/cwd" && env -u XDG_CONFIG_HOME HOME="$WORK/home" PATH="$ROOT/usr/bin:$PATH" "${as_user[@]}" "$@"); }

# Headless: the rule base comes from the installed defaults.
run_as_user marrowick --headless --steps 400 >logs/headless.out 2>logs/headless.err ||
    fail "the headless run in a read-only home failed: $(cat logs/headless.err)"
grep -q "cannot make $WORK/home/.config" logs/headless.err ||
    fail "no word about the read-only home: $(cat logs/headless.err)"
grep -q "rule base is read from $ROOT/usr/share/marrowick/Rules.clp" logs/headless.err ||
    fail "the rule base did not come from the data folder: $(cat logs/headless.err)"
grep -q "Expert System Actions is On" logs/headless.out logs/headless.err ||
    fail "the installed rule base did not load: $(cat logs/headless.out logs/headless.err)"
[ ! -e "$WORK/home/.config" ] && [ ! -e "$WORK/cwd/Rules.clp" ] || fail "something was written"

# The daemon, with the extended list as its system-wide settings.
run_as_user xscreensaver --no-splash --log "$WORK/logs/daemon.log" >/dev/null 2>&1 &
HELPER_PIDS+=($!)
for _ in $(seq 100); do
    run_as_user xscreensaver-command --version >/dev/null 2>&1 && break
    sleep 0.1
done
entries=$(programs)
run_as_user xscreensaver-command --select "$entries" >/dev/null 2>&1 ||
    fail "xscreensaver-command --select $entries failed: $(tail -n 20 logs/daemon.log)"
white=0
for _ in $(seq 60); do
    sleep 0.5
    import -window root root.png 2>/dev/null || continue
    white=$(pixels root.png 'r == 255 && g == 255 && b == 255')
    [ "$white" -gt $((1024 * 768 / 2)) ] && break
done
blue=$(pixels root.png 'r == 0 && g == 0 && b == 255')
echo "xscreensaver's window: $white white and $blue blue pixels"
[ "$white" -gt $((1024 * 768 / 2)) ] || fail "the daemon did not show marrowick: $(tail -n 30 logs/daemon.log)"
[ "$blue" -gt 500 ] || fail "no world border in the daemon's window"
grep -q "marrowick --root" logs/daemon.log || fail "the log does not show marrowick launched"
grep -q "INI file Creation Error" logs/daemon.log ||
    fail "the settings warning did not reach standard error: $(tail -n 30 logs/daemon.log)"
[ "$(count_windows_named Marrowick)" = 0 ] || fail "a message box stands in front of the screen saver"
# The program runs below our daemon (daemon, its display process, the hack).
hacks_running() {
    local pids=${HELPER_PIDS[-1]} found=0 pid
    for _ in 1 2 3 4; do
        pids=$(for pid in $pids; do echo "$pid"; pgrep -P "$pid"; done | sort -u)
    done
    for pid in $pids; do
        [ "$(ps -o comm= -p "$pid" 2>/dev/null)" = marrowick ] && found=1
    done
    [ "$found" = 1 ]
}
hacks_running || fail "no marrowick process below the daemon"
run_as_user xscreensaver-command --deactivate >/dev/null 2>&1
for _ in $(seq 50); do
    hacks_running || break
    sleep 0.1
done
hacks_running && fail "marrowick still runs after the daemon ended it"
echo "package: ok"
