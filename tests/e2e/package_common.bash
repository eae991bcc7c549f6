# Shared by the package scripts (package.sh, package_user.sh), sourced after
# e2e_common.bash; not a test itself.
#
# The package is built the way the README says, `dpkg-buildpackage -us -uc
# -b`, on a clean copy of this source tree (the files git tracks and the new
# ones it does not ignore, as they are now) made in a folder that only its
# owner can enter: whatever the package's programs learn of the tree they
# were built in is of no use to another user. The result is kept in the build
# folder under a digest of those files, so that the second script, and later
# runs on the same sources, take it from there.
#
# Gives: build_package (sets DEB, PACKAGE_DIR, PACKAGE_VERSION, PACKAGE_ARCH,
# BUILT_IN: the folder the package was built in, gone by now), install_root
# ROOT (a scratch root for dpkg --root, with xscreensaver's lists as its
# packages leave them), dpkg_root ROOT ARGS..., and hidden_as_user CMD...
# (CMD as the unprivileged user, in a mount namespace where the source tree
# and the build folder are empty folders).
SOURCE_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
TEST_USER_ID=65534  # nobody

# The package scripts install into scratch roots, run maintainer scripts and
# hide folders in mount namespaces: that takes root (CI runs as root). A
# developer without it gets a skip, which ctest reports as such.
require_root() {
    if [ "$(id -u)" != 0 ]; then
        echo "SKIP: the package checks need root (dpkg --root, unshare -m, setpriv)"
        exit 77
    fi
    for tool in dpkg-buildpackage dh lintian hardening-check strings unshare setpriv rsvg-convert; do
        command -v "$tool" >/dev/null || fail "missing $tool (scripts/packages.txt)"
    done
}

# The files of this source tree that a clean clone would hold, NUL-separated.
source_files() {
    if git -C "$SOURCE_DIR" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
        git -C "$SOURCE_DIR" ls-files -z --cached --others --exclude-standard |
            (cd "$SOURCE_DIR" && while IFS= read -r -d '' file; do
                [ -e "$file" ] && printf '%s\0' "$file"
            done)
    else
        (cd "$SOURCE_DIR" && find . -path './build*' -prune -o -path './.git' -prune -o \
            -type f -printf '%P\0')
    fi
}

# What the package is made of: every file but the tests and benchmarks,
# which a build without them never reads (so that editing a test does not
# build the package again).
package_sources() {
    source_files | while IFS= read -r -d '' file; do
        case "$file" in tests/* | bench/*) ;; *) printf '%s\0' "$file" ;; esac
    done
}

build_package() {
    local digest cache scratch started
    digest=$( (cd "$SOURCE_DIR" && package_sources | xargs -0 stat -c '%a %n' -- &&
                package_sources | xargs -0 sha256sum --) | sha256sum | cut -c1-16)
    cache="$BUILD_DIR/package/$digest"
    mkdir -p "$BUILD_DIR/package"
    exec 8>"$BUILD_DIR/package/lock"
    flock 8
    if [ ! -f "$cache/built" ]; then
        scratch=$(mktemp -d "${TMPDIR:-/tmp}/marrowick-package.XXXXXX")  # mode 700
        mkdir "$scratch/marrowick"
        source_files | (cd "$SOURCE_DIR" && tar --null -T - -cf -) | (cd "$scratch/marrowick" && tar -xf -)
        started=$SECONDS
        if ! (cd "$scratch/marrowick" &&
              env -u MARROWICK_MAINTAINER -u MARROWICK_ENGINE \
                  DEB_BUILD_OPTIONS="parallel=$(nproc)" dpkg-buildpackage -us -uc -b \
                  >"$scratch/build.log" 2>&1); then
            cp "$scratch/build.log" "$WORK/build.log"
            rm -rf "$scratch"
            fail "dpkg-buildpackage failed: $(tail -n 30 "$WORK/build.log")"
        fi
        echo "dpkg-buildpackage: $((SECONDS - started)) s"
        rm -rf "$cache"
        mkdir -p "$cache"
        cp "$scratch"/*.deb "$scratch"/*.changes "$scratch"/*.buildinfo "$scratch/build.log" "$cache/"
        echo "$scratch/marrowick" >"$cache/built"
        rm -rf "$scratch"
        # Only the newest package is kept.
        find "$BUILD_DIR/package" -mindepth 1 -maxdepth 1 -type d ! -name "$digest" \
            -exec rm -rf {} +
    else
        echo "dpkg-buildpackage: the package of these sources is in $cache"
    fi
    flock -u 8
    PACKAGE_DIR=$cache
    BUILT_IN=$(cat "$cache/built")
    PACKAGE_VERSION=$(cd "$SOURCE_DIR" && dpkg-parsechangelog -S Version)
    PACKAGE_ARCH=$(dpkg --print-architecture)
    DEB="$PACKAGE_DIR/marrowick_${PACKAGE_VERSION}_${PACKAGE_ARCH}.deb"
    [ -f "$DEB" ] || fail "no $DEB: $(ls "$PACKAGE_DIR")"
}

# install_root ROOT: an empty dpkg database, and xscreensaver's two lists
# with the link its scripts make (to the GL list, as xscreensaver-gl is
# "installed": its GL visual finder is there).
install_root() {
    local root=$1
    mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/log" \
             "$root/etc/X11/app-defaults" "$root/usr/libexec/xscreensaver"
    touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
    cp /etc/X11/app-defaults/XScreenSaver-gl /etc/X11/app-defaults/XScreenSaver-nogl \
       "$root/etc/X11/app-defaults/"
    ln -s XScreenSaver-gl "$root/etc/X11/app-defaults/XScreenSaver"
    touch "$root/usr/libexec/xscreensaver/xscreensaver-gl-visual"
    chmod 755 "$root"
}

# dpkg_root ROOT ARGS...: dpkg on that root, its maintainer scripts run here
# with DPKG_ROOT set. The root holds no libraries: the dependencies are
# taken as met.
dpkg_root() {
    local root=$1
    shift
    dpkg --root="$root" --force-script-chrootless --force-depends --log=/dev/null "$@"
}

# hidden_as_user CMD...: CMD as the test user, who sees an empty folder where
# the source tree and the build folder are.
HIDE_EMPTY=""
hidden_as_user() {
    if [ -z "$HIDE_EMPTY" ]; then
        HIDE_EMPTY=$(mktemp -d "$WORK/empty.XXXXXX")
        chmod 755 "$HIDE_EMPTY"
    fi
    # The build folder first: it may lie inside the source tree.
    unshare -m --propagation private -- sh -c '
        empty=$1
        shift
        while [ "$1" != -- ]; do
            mount --bind "$empty" "$1" || exit 125
            shift
        done
        shift
        exec setpriv --reuid='"$TEST_USER_ID"' --regid='"$TEST_USER_ID"' --clear-groups "$@"
    ' sh "$HIDE_EMPTY" "$BUILD_DIR" "$SOURCE_DIR" -- "$@"
}
