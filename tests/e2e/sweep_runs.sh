#!/usr/bin/env bash
# Sweeps as a user runs them: --set refusals in every mode, one run's row
# against the headless run of the same settings, the grid, failing runs, and
# a sweep killed midway that the same command finishes, row for row the same
# as a sweep that was never interrupted.
source "$(dirname "$0")/experiments_common.bash" "$1"
M=$MARROWICK

# ---- --set refusals: status 2 and a message that names the parameter ----
expect_status 2 "$M" --headless --steps 10 --set foodPerAnt=2
grep -q '^marrowick: foodPerAnt takes a number from 0 to 1, not "2"$' err.txt ||
    fail "headless refusal: $(cat err.txt)"
# No display is needed to refuse: the window never opens.
expect_status 2 env -u DISPLAY "$M" --window --set maxWanderDistance=31
grep -q 'maxWanderDistance takes a whole number from 5 to 30' err.txt || fail "window refusal: $(cat err.txt)"
expect_status 2 env -u DISPLAY "$M" /s --set wanderingShare=6
grep -q 'the four shares must add up to 100: .* make 101' err.txt || fail "share sum: $(cat err.txt)"
expect_status 2 "$M" --headless --steps 10 --set colonyWorldWidth=64 --set colonyX=60
grep -q 'colonyX 60 is too close to the border of a world 64 wide: it takes 10 to 54' err.txt ||
    fail "placement: $(cat err.txt)"
expect_status 2 "$M" --headless --set
grep -qx "marrowick: option --set needs NAME=VALUE" err.txt || fail "no value: $(cat err.txt)"
expect_status 2 "$M" --summary-run --seed 1 --steps 5 --set nosuch=1
expect_status 2 "$M" --sweep --vary foodPerAnt=0.1:0.5:0
expect_status 2 "$M" --sweep --vary gatheringShare=25,30
grep -q 'the grid point gatheringShare=30 is refused' err.txt || fail "grid check: $(cat err.txt)"
# A refused value destroys nothing: the CSV named next to it is not opened.
echo "keep me" >kept.csv
expect_status 2 "$M" --headless --steps 10 --csv kept.csv --set dieRatio=7
[ "$(cat kept.csv)" = "keep me" ] || fail "a refused setting truncated the CSV"
expect_status 0 "$M" --list-parameters
[ "$(grep -cE '^[a-z][A-Za-z0-9]* +(whole|real|flag|choice|text|linked) ' out.txt)" -eq 59 ] ||
    fail "--list-parameters: $(cat out.txt)"
grep -q '^foodPerAnt  *real  *0 to 1  *0.001  .*; Ants Options: "Food Per Ant"' out.txt ||
    fail "--list-parameters: $(grep foodPerAnt out.txt)"
grep -q '^startingSeeds .*(does nothing in a run; --vary refuses it)' out.txt ||
    fail "--list-parameters: $(grep startingSeeds out.txt)"

# ---- One run's row is the headless run of the same settings ----
expect_status 0 "$M" --summary-run --seed 5 --steps 400 --set foodPerAnt=0.003 --set initialAnts=300
row=$(tail -n 1 out.txt)
expect_status 0 "$M" --headless --seed 5 --steps 400 --set foodPerAnt=0.003 --set initialAnts=300 \
    --csv run.csv --every 400
last=$(tail -n 1 run.csv)
population=$(cut -d, -f2 <<<"$last")
reserves=$(cut -d, -f12 <<<"$last")
supply=$(cut -d, -f13 <<<"$last")
IFS=, read -r -a f <<<"$row"
[ "${f[0]},${f[1]},${f[2]},${f[3]},${f[4]},${f[5]},${f[6]}" = "0.003,300,5,400,ok,0," ] ||
    fail "row key and status: $row"
[ "${f[7]}" = "$population" ] || fail "final population ${f[7]}, headless $population"
[ "${f[10]}" = "$reserves" ] || fail "final reserves ${f[10]}, headless $reserves"
[ "${f[12]}" = "$supply" ] || fail "final food ${f[12]}, headless $supply"

# ---- The grid: every combination of the varied values, every seed ----
expect_status 0 "$M" --sweep --set dieRatio=0.001 --vary foodPerAnt=0.001:0.002:0.001 \
    --vary maxWanderDistance=8,12 --seeds 3-4 --steps 150 --out grid.csv
[ "$(row_count grid.csv)" -eq 8 ] || fail "grid: $(row_count grid.csv) rows, not 8"
[ "$(cut -d, -f1-5 grid.csv | tail -n +2 | sort | tr '\n' ' ')" = \
  "0.001,0.001,12,3,150 0.001,0.001,12,4,150 0.001,0.001,8,3,150 0.001,0.001,8,4,150 0.001,0.002,12,3,150 0.001,0.002,12,4,150 0.001,0.002,8,3,150 0.001,0.002,8,4,150 " ] ||
    fail "grid keys: $(cut -d, -f1-5 grid.csv)"
[ -z "$(column grid.csv status | grep -v '^ok$')" ] || fail "grid statuses: $(column grid.csv status)"
[ -s out.txt ] && fail "a sweep that went well printed: $(cat out.txt)"
# The same command again finds every run in the file and runs nothing.
before=$(cat grid.csv)
expect_status 0 "$M" --sweep --set dieRatio=0.001 --vary foodPerAnt=0.001:0.002:0.001 \
    --vary maxWanderDistance=8,12 --seeds 3-4 --steps 150 --out grid.csv
[ "$(cat grid.csv)" = "$before" ] || fail "a finished sweep ran again"
# Another sweep's file is refused, untouched.
expect_status 1 "$M" --sweep --vary dieRatio=0.001 --out grid.csv
grep -q "holds rows of other columns" err.txt || fail "other columns: $(cat err.txt)"
[ "$(cat grid.csv)" = "$before" ] || fail "another sweep's file was changed"

# ---- Failing runs are recorded with their status; the sweep goes on ----
cat >wrapper.sh <<EOF
#!/usr/bin/env bash
case " \$* " in
    *" --seed 2 "*) echo "marrowick: the run could not start" >&2; exit 3 ;;
    *" --seed 3 "*) kill -SEGV \$\$ ;;
esac
exec "$M" "\$@"
EOF
chmod +x wrapper.sh
expect_status 1 "$M" --sweep --vary foodPerAnt=0.001,0.002 --seeds 1-4 --steps 100 \
    --program ./wrapper.sh --out failing.csv --jobs 2
[ "$(row_count failing.csv)" -eq 8 ] || fail "failing: $(row_count failing.csv) rows"
for want in "1,ok" "2,exit 3" "3,signal 11" "4,ok"; do
    [ "$(awk -F, -v s="${want%%,*}" '$2 == s {print $4}' failing.csv | sort -u)" = "${want#*,}" ] ||
        fail "seed ${want%%,*}: $(awk -F, -v s="${want%%,*}" '$2 == s' failing.csv)"
done
grep -q '^marrowick: run seed 2 foodPerAnt=0.001 ended with exit 3: marrowick: the run could not start$' err.txt ||
    fail "failure message: $(cat err.txt)"
grep -q '^marrowick: 4 of 8 runs failed; their rows in failing.csv say how$' err.txt ||
    fail "failure summary: $(cat err.txt)"
# A program that cannot start at all stops the sweep at once.
expect_status 1 "$M" --sweep --seeds 2 --steps 10 --program ./no-such-program --out none.csv
grep -q "cannot start './no-such-program'" err.txt || fail "missing program: $(cat err.txt)"

# ---- Resuming: killed midway, then the same command finishes the sweep ----
sweep=(--vary foodPerAnt=0.001,0.002,0.003 --seeds 1-3 --steps 300 --jobs 2)
expect_status 0 "$M" --sweep "${sweep[@]}" --out whole.csv
for stop in KILL INT; do
    rm -f resumed.csv
    "$M" --sweep "${sweep[@]}" --out resumed.csv 2>stop.err &
    pid=$!
    BACKGROUND_PIDS+=("$pid")
    for _ in $(seq 600); do
        [ "$(row_count resumed.csv)" -ge 2 ] && break
        sleep 0.05
    done
    kill -"$stop" "$pid"
    status=0
    wait "$pid" 2>/dev/null || status=$?
    done_rows=$(row_count resumed.csv)
    [ "$done_rows" -ge 2 ] && [ "$done_rows" -lt 9 ] || fail "SIG$stop: $done_rows rows when stopped"
    if [ "$stop" = INT ]; then
        [ "$status" = 130 ] || fail "SIGINT: exit status $status"
        grep -q "sweep stopped: .* of 9 runs are in resumed.csv; the same command goes on from there" stop.err ||
            fail "SIGINT message: $(cat stop.err)"
    fi
    # The runs went with the sweep: nothing appends later.
    sleep 0.5
    pgrep -f -- "--summary-run .*resumed.csv" >/dev/null && fail "SIG$stop: runs outlived the sweep"
    [ "$(row_count resumed.csv)" -eq "$done_rows" ] || fail "SIG$stop: rows came after the stop"
    expect_status 0 "$M" --sweep "${sweep[@]}" --out resumed.csv
    [ "$(row_count resumed.csv)" -eq 9 ] || fail "SIG$stop: $(row_count resumed.csv) rows after resuming"
    diff <(rows whole.csv) <(rows resumed.csv) >diff.txt || fail "SIG$stop: rows differ: $(cat diff.txt)"
done

# ---- A cut last line (a disk that filled up) is dropped, its run redone ----
head -c -40 whole.csv >cut.csv
expect_status 0 "$M" --sweep "${sweep[@]}" --out cut.csv
[ "$(awk -F, '{ print NF }' cut.csv | sort -u | wc -l)" -eq 1 ] || fail "a cut line stayed: $(tail -n 2 cut.csv)"
diff <(rows whole.csv) <(rows cut.csv) >diff.txt || fail "cut line: rows differ: $(cat diff.txt)"

# ---- A second sweep on the same file is refused while the first runs ----
rm -f busy.csv
"$M" --sweep "${sweep[@]}" --out busy.csv 2>busy.err &
pid=$!
BACKGROUND_PIDS+=("$pid")
for _ in $(seq 600); do
    [ -s busy.csv ] && break
    sleep 0.05
done
expect_status 1 "$M" --sweep "${sweep[@]}" --out busy.csv
[ "$(cat err.txt)" = "marrowick: 'busy.csv' is being written by another sweep or merge; wait for it to end or choose another file" ] ||
    fail "second sweep: $(cat err.txt)"
expect_status 1 "$M" --merge whole.csv --out busy.csv
grep -q "is being written by another sweep" err.txt || fail "merge into a busy file: $(cat err.txt)"
wait "$pid" || fail "the first sweep failed: $(cat busy.err)"
diff <(rows whole.csv) <(rows busy.csv) >diff.txt || fail "busy: rows differ: $(cat diff.txt)"

# ---- Usage errors take one line, as in every other mode ----
for args in "--sweep --vary initialAnts=5" "--sweep --bogus" "--merge" "--merge --out" \
            "--summary-run --seed 1"; do
    expect_status 2 "$M" $args
    [ "$(wc -l <err.txt)" -eq 1 ] || fail "'$args' said more than one line: $(cat err.txt)"
    grep -q "^marrowick: " err.txt || fail "'$args': $(cat err.txt)"
done

# ---- --out - : the rows on standard output, nothing written here ----
mkdir stdout && cd stdout
expect_status 0 "$M" --sweep "${sweep[@]}" --out -
diff <(rows ../whole.csv) <(rows out.txt) >diff.txt || fail "--out -: rows differ: $(cat diff.txt)"
[ ! -e ./- ] || fail "--out - made a file named '-'"
cd ..
echo "sweep runs: ok"
