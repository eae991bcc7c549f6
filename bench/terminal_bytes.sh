#!/usr/bin/env bash
# The terminal view's output as a remote terminal would receive it: bytes per
# second at the default pace (40 steps per second) on a 200 x 60 terminal, at
# each colour depth. The view runs in a tmux pane whose output is copied to a
# file; the first seconds (the colony laying its first trails, the whole first
# frame) are left out.
#   bench/terminal_bytes.sh [path-to-marrowick] [seconds]
# Goal: light enough for SSH (reported, not enforced).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
program=$(realpath "${1:-$top/build-rel/marrowick}")
seconds=${2:-30}
warmup=10
work=$(mktemp -d)
T() { tmux -S "$work/tmux.sock" -f /dev/null "$@"; }
trap 'T kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work"   # the run writes Rules.clp into its working directory

measure() {
    local name=$1 term=$2 colorterm=$3
    T new-session -d -x 200 -y 60 -s bytes "sleep 100000"
    T set-option -t bytes -g status off
    T pipe-pane -t bytes -O "cat >$work/$name.out"
    T respawn-pane -k -t bytes \
        "env TERM=$term COLORTERM=$colorterm LANG=C.UTF-8 $program --terminal"
    sleep "$warmup"
    local before after
    before=$(stat -c %s "$work/$name.out")
    sleep "$seconds"
    after=$(stat -c %s "$work/$name.out")
    local steps
    steps=$(T capture-pane -p -t bytes | sed -n 's/.*Total Sims \([0-9]*\).*/\1/p')
    T kill-server
    awk -v n="$name" -v b=$((after - before)) -v s="$seconds" -v steps="$steps" 'BEGIN {
        printf "%-10s %8.1f KB/s   (%d bytes in %d s; %s steps by the end)\n", n, b / s / 1000, b, s, steps }'
}

echo "bytes per second, 200 x 60, default pace, after ${warmup} s, over ${seconds} s:"
measure 8-colour xterm ""
measure 256-colour xterm-256color ""
measure 24-bit xterm-256color truecolor
