#!/usr/bin/env bash
# The Debian package, built as the README says (dpkg-buildpackage on a clean
# copy of the tree, tests/e2e/package_common.bash): its fields, with the
# Depends found by dh_shlibdeps; its files; lintian at --pedantic with no
# error, warning or pedantic tag (info tags are listed); the hardening of both
# programs (hardening-check); no trace of the folder it was built in inside
# them; the manual page and the icon. Then its life in a scratch root under
# dpkg --root, xscreensaver's link checked at every step: installed, removed,
# purged; and upgraded from 0.99, whose scripts had taken that link over,
# after which it points where xscreensaver's scripts would have it again.
# (package_user.sh runs the installed program as an unprivileged user.)
source "$(dirname "$0")/e2e_common.bash" "$1"
source "$(dirname "$0")/package_common.bash"
require_root
build_package
echo "package: $(basename "$DEB"), $(stat -c %s "$DEB") bytes"

# ---- Fields ----
field() { dpkg-deb -f "$DEB" "$1"; }
[ "$(field Package)" = marrowick ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$PACKAGE_VERSION" ] || fail "Version: $(field Version)"
"$MARROWICK" --version | grep -qx "marrowick $PACKAGE_VERSION" ||
    fail "the program says $("$MARROWICK" --version), the package $PACKAGE_VERSION"
[ "$(field Architecture)" = "$PACKAGE_ARCH" ] || fail "Architecture: $(field Architecture)"
[ "$(field Maintainer)" = "The Marrowick developers <marrowick@example.org>" ] ||
    fail "Maintainer: $(field Maintainer)"
# The libraries as dh_shlibdeps found them (with their least versions), and
# what is opened by name.
depends=$(field Depends)
for need in 'libc6 (>= ' 'libsdl2-2.0-0 (>= ' 'libfreetype6 (>= ' 'libseccomp2 (>= ' \
            'libstdc++6 (>= ' libx11-6 fonts-liberation libgl1; do
    grep -qF "$need" <<<"$depends" || fail "Depends lacks $need: $depends"
done
grep -q xscreensaver-gl <<<"$(field Recommends)" || fail "Recommends: $(field Recommends)"
[ -f "$PACKAGE_DIR/marrowick_${PACKAGE_VERSION}_${PACKAGE_ARCH}.buildinfo" ] ||
    fail "no .buildinfo"

# ---- Files ----
dpkg-deb -c "$DEB" >listing.txt
awk '{print $6 ($7 ? " " $7 " " $8 : "")}' listing.txt | sed 's|^\./|/|' | grep -v '/$' |
    sort >contents.txt
cat >expected.txt <<'EOF'
/usr/bin/marrowick
/usr/libexec/marrowick/marrowick-engine
/usr/libexec/marrowick/marrowick-window
/usr/libexec/xscreensaver/marrowick -> ../../bin/marrowick
/usr/share/applications/marrowick.desktop
/usr/share/doc/marrowick/README.Debian
/usr/share/doc/marrowick/changelog.gz
/usr/share/doc/marrowick/copyright
/usr/share/icons/hicolor/scalable/apps/marrowick.svg
/usr/share/man/man6/marrowick.6.gz
/usr/share/marrowick/Rules.clp
/usr/share/marrowick/texture.bmp
/usr/share/xscreensaver/config/marrowick.xml
EOF
for rules in "$SOURCE_DIR"/resources/rules/*.clp; do
    echo "/usr/share/marrowick/rules/$(basename "$rules")" >>expected.txt
done
sort -o expected.txt expected.txt
diff expected.txt contents.txt >contents.diff || fail "package contents differ: $(cat contents.diff)"
awk '$2 != "root/root" {bad = 1} END {exit bad}' listing.txt || fail "a file not owned by root"
awk '$1 ~ /w.$/ && $1 !~ /^l/ {bad = 1} END {exit bad}' listing.txt ||
    fail "a file others may write: $(cat listing.txt)"
mkdir control
dpkg-deb -e "$DEB" control
# No trigger on xscreensaver's folder and no configuration file: nothing of
# another package's is watched or taken over.
[ ! -e control/triggers ] || fail "a trigger: $(cat control/triggers)"
[ ! -e control/conffiles ] || fail "configuration files: $(cat control/conffiles)"
ROOT="$WORK/files"
dpkg-deb -x "$DEB" "$ROOT"
cmp "$ROOT/usr/share/marrowick/Rules.clp" "$SOURCE_DIR/resources/Rules.clp" ||
    fail "the installed rule base is not the built-in one"
cmp "$ROOT/usr/share/doc/marrowick/copyright" "$SOURCE_DIR/debian/copyright" || fail "copyright"
grep -qx 'Icon=marrowick' "$ROOT/usr/share/applications/marrowick.desktop" ||
    fail "the desktop entry has no icon"
rsvg-convert -w 48 -h 48 "$ROOT/usr/share/icons/hicolor/scalable/apps/marrowick.svg" -o icon.png ||
    fail "the icon does not render"
[ "$(pixels icon.png 'r > 150 && g < 80 && b < 80')" -gt 100 ] || fail "the icon has no red ant"

# ---- lintian: nothing but info tags ----
lintian --pedantic --info --display-info --fail-on error,warning,pedantic \
    "$PACKAGE_DIR"/*.changes >lintian.txt 2>&1 || fail "lintian: $(cat lintian.txt)"
if grep -qE '^[EWP]:' lintian.txt; then fail "lintian: $(cat lintian.txt)"; fi
echo "lintian --pedantic: $(grep -cE '^[I]:' lintian.txt || true) info tags"
sed 's/^/  /' lintian.txt

# ---- Hardening, and nothing of the build tree in the programs ----
# Control flow protection is left out: Debian 12's dpkg-buildflags has no
# such feature, and the CLIPS and Dear ImGui archives linked in are built
# without it, so no binary that links them could be marked for it.
for program in usr/bin/marrowick usr/libexec/marrowick/marrowick-engine \
               usr/libexec/marrowick/marrowick-window; do
    hardening-check --nocfprotection "$ROOT/$program" >hardening.txt 2>&1 ||
        fail "hardening-check $program: $(cat hardening.txt)"
    sed "s|$ROOT/||" hardening.txt
    for folder in "$BUILT_IN" "$SOURCE_DIR" "$BUILD_DIR"; do
        if strings -a "$ROOT/$program" | grep -qF "$folder"; then
            fail "$program holds the path $folder: $(strings -a "$ROOT/$program" | grep -F "$folder" | head -n 3)"
        fi
    done
done

# ---- The manual page renders, without complaints ----
MANWIDTH=80 LC_ALL=C.UTF-8 man --warnings -l "$ROOT/usr/share/man/man6/marrowick.6.gz" \
    >man.txt 2>man.err || fail "man -l failed: $(cat man.err)"
[ ! -s man.err ] || fail "groff warnings: $(cat man.err)"
for heading in NAME SYNOPSIS DESCRIPTION MODES OPTIONS "HEADLESS MODE" "WINDOW MODE" \
               "TERMINAL MODE" FILES ENVIRONMENT "EXIT STATUS"; do
    grep -q "^$heading" man.txt || fail "the manual page has no $heading"
done
for option in $("$MARROWICK" --help | grep -oE -- '--[a-z-]+' | sort -u); do
    grep -q -- "$option" man.txt || fail "--help lists $option, the manual page does not"
done
grep -q '/usr/libexec/marrowick/marrowick-engine' man.txt || fail "FILES lacks the engine"
grep -q '/usr/libexec/marrowick/marrowick-window' man.txt || fail "FILES lacks the window program"

# ---- Life under dpkg --root ----
LINK_OF() { readlink "$1/etc/X11/app-defaults/XScreenSaver"; }
expect_link() {  # ROOT TARGET WHEN
    [ "$(LINK_OF "$1")" = "$2" ] || fail "$3: XScreenSaver -> $(LINK_OF "$1"), not $2"
}
expect_no_state() {  # ROOT WHEN
    [ ! -e "$1/var/lib/marrowick" ] || fail "$2: /var/lib/marrowick is there"
    [ ! -e "$1/etc/X11/app-defaults/XScreenSaver.marrowick-new" ] &&
        [ ! -L "$1/etc/X11/app-defaults/XScreenSaver.marrowick-new" ] ||
        fail "$2: XScreenSaver.marrowick-new is there"
}
status_of() { dpkg-query --admindir="$1/var/lib/dpkg" -W -f='${Version} ${db:Status-Abbrev}' marrowick; }

# Installed, removed, purged: the link is never touched.
R="$WORK/fresh"
install_root "$R"
dpkg_root "$R" -i "$DEB" >dpkg.log 2>&1 || fail "dpkg -i: $(cat dpkg.log)"
[ "$(status_of "$R")" = "$PACKAGE_VERSION ii " ] || fail "status: $(status_of "$R")"
[ -x "$R/usr/libexec/marrowick/marrowick-engine" ] && [ -L "$R/usr/libexec/xscreensaver/marrowick" ] ||
    fail "the programs are not installed"
expect_link "$R" XScreenSaver-gl "installed"
expect_no_state "$R" "installed"
dpkg_root "$R" -r marrowick >dpkg.log 2>&1 || fail "dpkg -r: $(cat dpkg.log)"
[ ! -e "$R/usr/bin/marrowick" ] || fail "removal left the program"
expect_link "$R" XScreenSaver-gl "removed"
dpkg_root "$R" -P marrowick >dpkg.log 2>&1 || fail "dpkg -P: $(cat dpkg.log)"
expect_link "$R" XScreenSaver-gl "purged"
expect_no_state "$R" "purged"
echo "install, remove, purge: XScreenSaver -> XScreenSaver-gl throughout"

# 0.99, as cpack built it: the same files and exactly its scripts and
# trigger (tests/e2e/package-0.99/README), with stand-ins for the binaries.
OLD="$WORK/old"
mkdir -p "$OLD/DEBIAN" "$OLD/usr/bin" "$OLD/usr/libexec/marrowick" "$OLD/usr/libexec/xscreensaver" \
         "$OLD/usr/share/applications" "$OLD/usr/share/doc/marrowick" "$OLD/usr/share/man/man6" \
         "$OLD/usr/share/marrowick" "$OLD/usr/share/xscreensaver/config"
cp "$SOURCE_DIR"/tests/e2e/package-0.99/{postinst,postrm,triggers} "$OLD/DEBIAN/"
chmod 755 "$OLD/DEBIAN/postinst" "$OLD/DEBIAN/postrm"
cat >"$OLD/DEBIAN/control" <<EOF
Package: marrowick
Version: 0.99
Architecture: $PACKAGE_ARCH
Maintainer: The Marrowick developers <marrowick@example.org>
Depends: fonts-liberation, libgl1
Section: x11
Priority: optional
Description: ant colony screen saver steered by an expert system
 A stand-in for 0.99 in the upgrade test.
EOF
for file in usr/bin/marrowick usr/libexec/marrowick/marrowick-engine; do
    printf '#!/bin/sh\necho 0.99\n' >"$OLD/$file"
    chmod 755 "$OLD/$file"
done
ln -s ../../bin/marrowick "$OLD/usr/libexec/xscreensaver/marrowick"
for file in usr/share/applications/marrowick.desktop usr/share/doc/marrowick/changelog.gz \
            usr/share/doc/marrowick/copyright usr/share/man/man6/marrowick.6.gz \
            usr/share/marrowick/Rules.clp usr/share/marrowick/texture.bmp \
            usr/share/xscreensaver/config/marrowick.xml; do
    echo 0.99 >"$OLD/$file"
done
dpkg-deb --root-owner-group -Zgzip --build "$OLD" old.deb >/dev/null || fail "the stand-in of 0.99"

# upgrade_from_old WHEN [SETUP]: 0.99 installed (its postinst takes the link
# over), SETUP run, then this package over it.
upgrade_from_old() {
    local when=$1 setup=${2:-true}
    R="$WORK/upgrade-$3"
    install_root "$R"
    $setup "$R"
    dpkg_root "$R" -i old.deb >dpkg.log 2>&1 || fail "$when: installing 0.99: $(cat dpkg.log)"
    [ "$(LINK_OF "$R")" = ../../../var/lib/marrowick/XScreenSaver ] ||
        fail "$when: 0.99 did not take the link over: $(LINK_OF "$R")"
    grep -q 'marrowick --root' "$R/var/lib/marrowick/XScreenSaver" || fail "$when: 0.99's list"
    grep -q marrowick "$R/var/lib/dpkg/triggers/File" || fail "$when: 0.99's trigger"
    after_old "$R"
    dpkg_root "$R" -i "$DEB" >dpkg.log 2>&1 || fail "$when: the upgrade: $(cat dpkg.log)"
    [ "$(status_of "$R")" = "$PACKAGE_VERSION ii " ] || fail "$when: status $(status_of "$R")"
    cmp -s "$R/usr/share/marrowick/Rules.clp" "$SOURCE_DIR/resources/Rules.clp" ||
        fail "$when: the upgrade did not put the new files in place"
    if grep -qs marrowick "$R/var/lib/dpkg/triggers/File"; then fail "$when: the trigger stayed"; fi
    expect_no_state "$R" "$when"
}
after_old() { true; }

upgrade_from_old "upgraded from 0.99" true gl
expect_link "$R" XScreenSaver-gl "upgraded from 0.99"
dpkg_root "$R" -r marrowick >dpkg.log 2>&1 || fail "removal after the upgrade: $(cat dpkg.log)"
dpkg_root "$R" -P marrowick >dpkg.log 2>&1 || fail "purge after the upgrade: $(cat dpkg.log)"
expect_link "$R" XScreenSaver-gl "removed and purged after the upgrade"
echo "upgrade from 0.99: XScreenSaver -> $(LINK_OF "$R") again, 0.99's list and trigger gone"

# Without xscreensaver-gl, xscreensaver's scripts would link the other list.
no_gl() { rm "$1/usr/libexec/xscreensaver/xscreensaver-gl-visual"; }
upgrade_from_old "upgraded from 0.99 without xscreensaver-gl" no_gl nogl
expect_link "$R" XScreenSaver-nogl "upgraded from 0.99 without xscreensaver-gl"

# 0.99 interrupted between its ln and its mv: the half-made link blocked
# every later run of its scripts. The upgrade clears it, and purging after
# such a run does too.
after_old() { ln -s ../../../var/lib/marrowick/XScreenSaver "$1/etc/X11/app-defaults/XScreenSaver.marrowick-new"; }
upgrade_from_old "upgraded from an interrupted 0.99" true interrupted
expect_link "$R" XScreenSaver-gl "upgraded from an interrupted 0.99"
ln -s XScreenSaver-gl "$R/etc/X11/app-defaults/XScreenSaver.marrowick-new"
dpkg_root "$R" -P marrowick >dpkg.log 2>&1 || fail "purge with a half-made link: $(cat dpkg.log)"
expect_no_state "$R" "purged with a half-made link"
after_old() { true; }

# An administrator's own file in place of the link stays as it is, at every step.
R="$WORK/own"
install_root "$R"
rm "$R/etc/X11/app-defaults/XScreenSaver"
printf '*programs: maze --root \\n\n' >"$R/etc/X11/app-defaults/XScreenSaver"
cp "$R/etc/X11/app-defaults/XScreenSaver" own.txt
for step in "-i $DEB" "-r marrowick" "-i $DEB" "-P marrowick"; do
    # shellcheck disable=SC2086
    dpkg_root "$R" $step >dpkg.log 2>&1 || fail "dpkg $step: $(cat dpkg.log)"
    cmp -s own.txt "$R/etc/X11/app-defaults/XScreenSaver" || fail "dpkg $step changed the administrator's file"
done
echo "package: ok"
