#!/usr/bin/env bash
# The package on a clean Debian 12, by hand (it downloads a Debian system, so
# CI does not run it): as root,
#
#     tests/package_debootstrap.sh [KEEP_DIR]
#
# builds the package with the README's commands (dpkg-buildpackage -us -uc
# -b) in a clone of this repository's HEAD inside a folder only root can
# enter, makes a clean Debian 12 root with debootstrap, installs the package
# there with apt (which brings its dependencies and recommendations from the
# Debian archive), and, in that root, as a new user who has no way to the
# build machine's folders:
#   - runs a headless colony and checks that the expert system is on;
#   - checks the installed rule base with --check-rules;
#   - adds marrowick to the user's xscreensaver list, runs the real
#     xscreensaver daemon of that root on a virtual display, selects
#     marrowick and checks that the installed program draws the colony with
#     its rule engine running below it.
# Prints what it found and exits 0 when all of it holds. KEEP_DIR keeps the
# package, the logs and a screenshot there.
set -euo pipefail
[ "$(id -u)" = 0 ] || { echo "run as root" >&2; exit 2; }
for tool in debootstrap dpkg-buildpackage git Xvfb import convert; do
    command -v "$tool" >/dev/null || { echo "missing $tool" >&2; exit 2; }
done
SOURCE_DIR=$(cd "$(dirname "$0")/.." && pwd)
KEEP=${1:-}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/marrowick-debootstrap.XXXXXX")  # mode 700
ROOT="$WORK/root"
XVFB_PID=""
mounted=()
cleanup() {
    [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null || true
    # The daemon and anything else of the user's in the root.
    if [ -d "$ROOT/proc" ]; then
        for pid in $(pgrep -u 4242 2>/dev/null || true); do kill -KILL "$pid" 2>/dev/null || true; done
    fi
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do umount -l "${mounted[$i]}" 2>/dev/null || true; done
    rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
step() { echo "== $* ($(date +%T))"; }

step "building the package from a clone of HEAD ($(git -C "$SOURCE_DIR" rev-parse --short HEAD))"
git clone -q --no-local "$SOURCE_DIR" "$WORK/marrowick"
started=$SECONDS
(cd "$WORK/marrowick" && dpkg-buildpackage -us -uc -b >"$WORK/build.log" 2>&1) ||
    fail "dpkg-buildpackage: $(tail -n 30 "$WORK/build.log")"
DEB=$(ls "$WORK"/marrowick_*.deb)
echo "built $(basename "$DEB") in $((SECONDS - started)) s"

step "debootstrap --variant=minbase bookworm"
debootstrap --variant=minbase bookworm "$ROOT" http://deb.debian.org/debian >"$WORK/debootstrap.log" 2>&1 ||
    fail "debootstrap: $(tail -n 20 "$WORK/debootstrap.log")"
# The file system types are proc and sysfs; the folders are proc and sys.
for fs in proc:proc sysfs:sys; do
    mount -t "${fs%%:*}" "${fs%%:*}" "$ROOT/${fs#*:}"
    mounted+=("$ROOT/${fs#*:}")
done
cp "$DEB" "$ROOT/tmp/"
in_root() { chroot "$ROOT" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LC_ALL=C.UTF-8 "$@"; }

step "apt install ./$(basename "$DEB") in the new root"
in_root sh -c 'echo "deb http://deb.debian.org/debian bookworm main" >/etc/apt/sources.list
               apt-get update -qq' >"$WORK/apt.log" 2>&1 || fail "apt-get update: $(tail "$WORK/apt.log")"
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "/tmp/$(basename "$DEB")" \
    >>"$WORK/apt.log" 2>&1 || fail "apt-get install: $(tail -n 30 "$WORK/apt.log")"
echo "$(grep -c '^Setting up' "$WORK/apt.log") packages set up, marrowick" \
     "$(in_root dpkg-query -W -f='${Version}' marrowick)"
in_root readlink /etc/X11/app-defaults/XScreenSaver | sed 's/^/XScreenSaver -> /'

step "as a new user of the root"
in_root useradd -m -u 4242 ant
as_ant() { chroot --userspec=4242:4242 "$ROOT" env -i HOME=/home/ant PATH=/usr/bin:/bin \
               LC_ALL=C.UTF-8 ${DISPLAY:+DISPLAY=$DISPLAY} sh -c "cd /home/ant && $1"; }
as_ant 'ls / /tmp >/dev/null; ls /work 2>&1 || true' | sed 's/^/ls \/work: /'
as_ant 'marrowick --headless --steps 400' >"$WORK/headless.out" 2>"$WORK/headless.err" ||
    fail "the headless run: $(cat "$WORK/headless.err")"
grep -q 'Expert System Actions is On' "$WORK/headless.out" ||
    fail "the expert system is off: $(cat "$WORK/headless.out" "$WORK/headless.err")"
grep 'Expert System Actions' "$WORK/headless.out" | tail -n 1
as_ant 'marrowick --check-rules' >"$WORK/check.out" 2>&1 || fail "--check-rules: $(cat "$WORK/check.out")"
echo "--check-rules: status 0, $(head -n 1 "$WORK/check.out")"
as_ant 'marrowick --add-to-xscreensaver'

# The daemon of the root, on a display of the machine's (its socket is all
# that is shared).
Xvfb :77 -screen 0 1024x768x24 -nolisten tcp -noreset >"$WORK/xvfb.log" 2>&1 &
XVFB_PID=$!
mkdir -p "$ROOT/tmp/.X11-unix"
mount --bind /tmp/.X11-unix "$ROOT/tmp/.X11-unix"
mounted+=("$ROOT/tmp/.X11-unix")
export DISPLAY=:77
sleep 2
as_ant 'xscreensaver --no-splash --log /home/ant/daemon.log >/dev/null 2>&1 &'
for _ in $(seq 100); do
    as_ant 'xscreensaver-command --version' >/dev/null 2>&1 && break
    sleep 0.1
done
as_ant 'xscreensaver-command --select 1' >/dev/null 2>&1 || fail "xscreensaver-command --select 1"
hack=""
for _ in $(seq 60); do
    sleep 0.5
    for pid in $(pgrep -u 4242 -x marrowick || true); do
        [ "$(readlink "/proc/$pid/root")" = "$ROOT" ] && hack=$pid
    done
    [ -n "$hack" ] && sleep 3 && break
done
[ -n "$hack" ] || fail "the daemon did not start marrowick: $(tail -n 30 "$ROOT/home/ant/daemon.log")"
engine=""
for child in $(pgrep -P "$hack" || true); do
    case "$(readlink "/proc/$child/exe")" in
        "$ROOT/usr/libexec/marrowick/marrowick-engine" | /usr/libexec/marrowick/marrowick-engine) engine=$child ;;
    esac
done
[ -n "$engine" ] || fail "no rule engine below the screen saver"
import -window root "$WORK/daemon.png"
white=$(convert "$WORK/daemon.png" -alpha off -fill black +opaque white -format '%[fx:mean*w*h]' info:)
echo "the daemon runs marrowick (pid $hack) with its engine (pid $engine); ${white%.*} white pixels on the screen"
[ "${white%.*}" -gt $((1024 * 768 / 2)) ] || fail "the colony is not on the screen"
grep 'forked "marrowick --root"' "$ROOT/home/ant/daemon.log" | head -n 1
as_ant 'xscreensaver-command --exit' >/dev/null 2>&1 || true

if [ -n "$KEEP" ]; then
    mkdir -p "$KEEP"
    cp "$DEB" "$WORK"/*.log "$WORK"/*.out "$WORK/daemon.png" "$ROOT/home/ant/daemon.log" "$KEEP/"
fi
echo "clean Debian 12 root: ok"
