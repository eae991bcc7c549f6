#!/usr/bin/env bash
# A sweep's workers make run after run in one process with one rule engine,
# renewed for every run: each row must be the one a process of its own makes,
# bit for bit. The rule base below lets everything an engine keeps from a
# run show in the rows (a global that counts the passes, generated names,
# the random sequence, the random strategy). Then a worker that crashes: its
# run fails, the sweep goes on with a new worker.
source "$(dirname "$0")/experiments_common.bash" "$1"
M=$MARROWICK
export XDG_CONFIG_HOME=$WORK/config
mkdir -p "$XDG_CONFIG_HOME/marrowick"
cat >"$XDG_CONFIG_HOME/marrowick/Rules.clp" <<'EOF'
(deftemplate world (slot food_supply) (slot change_FS))
(deftemplate colony (slot food_reserves) (slot population) (slot change_FR)
  (slot num_gathering_ants))
(defglobal ?*passes* = 0)
(defrule count (world) => (bind ?*passes* (+ ?*passes* 1)) (assert (note (gensym*))))
(defrule grow (colony) => (if (> (random 1 100) 40) then (assert (raise_population))))
(defrule feed (colony) => (if (> (random 1 100) 60) then (assert (raise_food_intake))))
(defrule calm (colony) => (if (= (mod ?*passes* 3) 0) then (assert (lower_population))))
(defrule mix (colony) => (set-strategy random))
EOF
sweep=(--sweep --vary foodPerAnt=0.001,0.002 --seeds 1-3 --steps 700)

# ---- Workers against a process per run ----
expect_status 0 "$M" "${sweep[@]}" --jobs 2 --out workers.csv
expect_status 0 "$M" "${sweep[@]}" --jobs 1 --out one-worker.csv
# Each run in a process of its own, one after another: the lines --list-runs
# prints, run as they are.
expect_status 0 "$M" "${sweep[@]}" --list-runs
while IFS= read -r line; do
    eval "$line --out fresh.csv" || fail "a run failed: $line"
done <out.txt
[ "$(row_count fresh.csv)" -eq 6 ] || fail "fresh: $(row_count fresh.csv) rows"
diff <(rows fresh.csv) <(rows workers.csv) >diff.txt || fail "workers differ from fresh processes: $(cat diff.txt)"
diff <(rows fresh.csv) <(rows one-worker.csv) >diff.txt || fail "one worker differs: $(cat diff.txt)"
# The rule base made a difference: the shipped rules give other rows.
XDG_CONFIG_HOME=$WORK/plain expect_status 0 "$M" "${sweep[@]}" --jobs 2 --out plain.csv
diff -q <(rows plain.csv) <(rows workers.csv) >/dev/null && fail "the rule base changed nothing"

# ---- A worker that crashes mid-run ----
rm -f crash.csv
"$M" --sweep --vary foodPerAnt=0.001,0.002 --seeds 1-3 --steps 4000 --jobs 1 --out crash.csv \
    2>crash.err &
sweep_pid=$!
BACKGROUND_PIDS+=("$sweep_pid")
worker=""
for _ in $(seq 600); do
    [ "$(row_count crash.csv)" -ge 1 ] && worker=$(pgrep -P "$sweep_pid" -f -- --sweep-worker || true)
    [ -n "$worker" ] && break
    sleep 0.05
done
[ -n "$worker" ] || fail "no worker after the first row"
kill -KILL "$worker"  # (a crash; the sanitizers would catch SIGSEGV and exit)
status=0
wait "$sweep_pid" || status=$?
[ "$status" = 1 ] || fail "sweep with a crashed worker: status $status: $(cat crash.err)"
[ "$(row_count crash.csv)" -eq 6 ] || fail "crash: $(row_count crash.csv) rows"
[ "$(column crash.csv status | grep -c '^signal 9$')" -eq 1 ] ||
    fail "crash statuses: $(column crash.csv status | tr '\n' ' ')"
grep -q "ended with signal 9" crash.err || fail "crash message: $(cat crash.err)"
# The runs after the crash were made by a new worker.
[ "$(column crash.csv status | grep -c '^ok$')" -eq 5 ] || fail "crash: $(cat crash.csv)"
echo "sweep worker: ok"
