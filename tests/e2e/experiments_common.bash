# Shared by the experiments' end-to-end scripts (sourced; not a test itself).
# Usage in a script: source "$(dirname "$0")/experiments_common.bash" "$1"
#
# Gives: MARROWICK (the program, absolute), a scratch working directory that
# is removed on exit, fail, and helpers for summary files. No display: the
# experiments run headless.
set -euo pipefail

if [ $# -lt 1 ] || [ ! -x "$1" ]; then
    echo "usage: $0 path/to/marrowick" >&2
    exit 2
fi
MARROWICK=$(readlink -f "$1")
WORK=$(mktemp -d "${TMPDIR:-/tmp}/marrowick-exp.XXXXXX")
cd "$WORK"
unset XSCREENSAVER_WINDOW
# Leak checking stays as the caller set it: these runs touch no GL driver.

BACKGROUND_PIDS=()
cleanup() {
    local pid
    for pid in "${BACKGROUND_PIDS[@]}"; do
        kill -KILL "$pid" 2>/dev/null || true
    done
    cd /
    rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}

# expect_status WANT COMMAND...: runs the command (output in out.txt and
# err.txt) and checks its exit status.
expect_status() {
    local want=$1 got=0
    shift
    "$@" >out.txt 2>err.txt || got=$?
    [ "$got" = "$want" ] || fail "'$*' ended with $got, not $want; its error output: $(cat err.txt)"
}

# rows FILE: the data rows of a summary file without the seconds column,
# sorted, so that two sweeps can be compared row by row.
rows() {
    awk -F, 'NR == 1 { header = $0; next } $0 == header { next }
             { NF = NF - 1; print }' OFS=, "$1" | sort
}

# row_count FILE: data rows so far (0 while the file is missing).
row_count() {
    if [ -f "$1" ]; then
        awk 'NR == 1 { header = $0; next } $0 != header { n++ } END { print n + 0 }' "$1"
    else
        echo 0
    fi
}

# column FILE NAME: the values of one column, in row order.
column() {
    awk -F, -v name="$2" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == name) c = i; next }
                         { print $c }' "$1"
}
