#!/usr/bin/env bash
# A sweep on a real terminal (tmux): the progress line with the runs done and
# the time left, a failed run's message on a line of its own above it, and a
# clean screen when the sweep ends. Away from a terminal no progress is shown.
source "$(dirname "$0")/experiments_common.bash" "$1"
M=$MARROWICK
command -v tmux >/dev/null || fail "tmux is not installed"

SOCKET="$WORK/tmux.sock"
tmux_() { tmux -S "$SOCKET" "$@"; }
stop_tmux() { tmux_ kill-server 2>/dev/null || true; }
trap 'stop_tmux; cleanup' EXIT

# Every run that is let through lasts at least 0.3 s: the progress line with
# one failure stands between the two refused runs, and however fast the
# program's runs get, it must stay on the screen long enough to be read
# (the line is redrawn at most twice a second, and the poll below takes a
# while on a loaded machine).
cat >wrapper.sh <<EOF
#!/usr/bin/env bash
case " \$* " in *" --seed 2 "*) echo "marrowick: seed 2 refused" >&2; exit 4 ;; esac
sleep 0.3
exec "$M" "\$@"
EOF
chmod +x wrapper.sh

tmux_ new-session -d -x 100 -y 20 -c "$WORK" "bash --norc --noprofile"
tmux_ send-keys "PS1='done> '; clear" Enter
tmux_ send-keys "$M --sweep --vary foodPerAnt=0.001,0.002 --seeds 4 --steps 800 --jobs 1 \
--program ./wrapper.sh --out p.csv; echo status=\$?" Enter

screen=""
seen=""
for _ in $(seq 400); do
    screen=$(tmux_ capture-pane -p)
    if grep -Eq '^sweep: [0-9]+/8 runs, 1 failed, about [0-9]+(s|m[0-9]{2}s) left' <<<"$screen"; then
        seen=$screen
        break
    fi
    sleep 0.05
done
[ -n "$seen" ] || fail "no progress line; the screen was:
$screen"
# The failure is a whole line above the progress line.
grep -q '^marrowick: run seed 2 foodPerAnt=0.001 ended with exit 4: marrowick: seed 2 refused$' <<<"$seen" ||
    fail "the failure message is not a line of its own:
$seen"

for _ in $(seq 600); do
    screen=$(tmux_ capture-pane -p)
    grep -q '^status=' <<<"$screen" && break
    sleep 0.1
done
grep -q '^status=1$' <<<"$screen" || fail "the sweep did not end with status 1:
$screen"
grep -q 'sweep: ' <<<"$screen" && fail "the progress line was left on the screen:
$screen"
grep -q '^marrowick: 2 of 8 runs failed; their rows in p.csv say how$' <<<"$screen" ||
    fail "no failure summary:
$screen"

# Not a terminal: no progress at all.
rm -f p.csv
expect_status 1 "$M" --sweep --vary foodPerAnt=0.001,0.002 --seeds 3 --steps 20 --program ./wrapper.sh \
    --out p.csv
grep -q 'sweep: ' err.txt && fail "progress off a terminal: $(cat err.txt)"
echo "sweep progress: ok"
