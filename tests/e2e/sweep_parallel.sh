#!/usr/bin/env bash
# The README's recipes for running a sweep beyond one machine, run locally:
# the runs listed with --list-runs, started by GNU parallel on the
# "SSH login" ':' (this machine, no ssh needed), their rows collected with
# --merge; and the Slurm array's per-run files. Both summaries must hold the
# rows a plain sweep makes.
source "$(dirname "$0")/experiments_common.bash" "$1"
M=$MARROWICK
command -v parallel >/dev/null || fail "GNU parallel is not installed (scripts/setup)"
# parallel keeps its state under the home folder; give it a private one.
export HOME=$WORK/home
mkdir -p "$HOME"

# Few runs: parallel itself takes about half a second to start each job.
sweep=(--sweep --set dieRatio=0.0009 --vary foodPerAnt=0.001,0.002 --seeds 2-3 --steps 200)
expect_status 0 "$M" "${sweep[@]}" --out direct.csv --jobs 2

# Every line is a whole command: this program's path, the run, no --out.
expect_status 0 "$M" "${sweep[@]}" --list-runs
cp out.txt runs.txt
[ "$(wc -l <runs.txt)" -eq 4 ] || fail "--list-runs printed $(wc -l <runs.txt) lines"
first=$(head -n 1 runs.txt)
[ "$first" = "$M --summary-run --seed 2 --steps 200 --set dieRatio=0.0009 --set foodPerAnt=0.001" ] ||
    fail "first run: $first"
# Listing starts nothing and writes no summary.
[ ! -e results.csv ] || fail "--list-runs wrote results.csv"

# ---- GNU parallel over "SSH logins" (README recipe) ----
parallel --will-cite --sshlogin 2/: <runs.txt >rows.csv 2>parallel.err ||
    fail "parallel failed: $(cat parallel.err)"
[ "$(grep -c '^0' rows.csv)" -eq 4 ] || fail "parallel gave $(grep -c '^0' rows.csv) rows"
expect_status 0 "$M" --merge rows.csv --out merged.csv
[ ! -s err.txt ] || fail "merge complained: $(cat err.txt)"
[ ! -s out.txt ] || fail "merge into a file printed: $(cat out.txt)"
diff <(rows direct.csv) <(rows merged.csv) >diff.txt || fail "parallel rows differ: $(cat diff.txt)"
# Merging the same rows again adds none.
expect_status 0 "$M" --merge rows.csv merged.csv --out merged.csv
[ "$(row_count merged.csv)" -eq 4 ] || fail "a second merge doubled rows"
# Standard input works too, as in 'parallel ... | marrowick --merge -', and
# without --out (or with --out -) the summary goes to standard output.
parallel --will-cite -j 2 <runs.txt | "$M" --merge - >piped.csv
diff <(rows direct.csv) <(rows piped.csv) >diff.txt || fail "piped rows differ: $(cat diff.txt)"
[ "$(head -n 1 piped.csv)" = "$(head -n 1 direct.csv)" ] || fail "piped header: $(head -n 1 piped.csv)"
expect_status 0 "$M" --merge rows.csv rows.csv --out -
cmp -s out.txt piped.csv || diff <(rows out.txt) <(rows piped.csv) >/dev/null ||
    fail "--out -: $(cat out.txt)"
[ "$(row_count out.txt)" -eq 4 ] || fail "--out - doubled rows"
[ ! -e ./- ] || fail "--out - made a file named '-'"
expect_status 0 "$M" --merge --help
grep -q "^Usage: marrowick --merge" out.txt || fail "--merge --help: $(cat out.txt)"

# ---- A batch array in chunks: task N runs line N, a sweep of K runs ----
# (tests/e2e/slurm_sweep.sh runs the same recipe on a real Slurm.)
expect_status 0 "$M" "${sweep[@]}" --list-runs --chunk 3
cp out.txt chunks.txt
[ "$(cat chunks.txt)" = "$M --sweep --set dieRatio=0.0009 --vary foodPerAnt=0.001,0.002 --seeds 2-3 --steps 200 --runs 1-3
$M --sweep --set dieRatio=0.0009 --vary foodPerAnt=0.001,0.002 --seeds 2-3 --steps 200 --runs 4-4" ] ||
    fail "chunks: $(cat chunks.txt)"
mkdir rows
for task in 1 2; do
    SLURM_ARRAY_TASK_ID=$task bash -c \
        'eval "$(sed -n "${SLURM_ARRAY_TASK_ID}p" chunks.txt) --jobs 1 --out rows/task-${SLURM_ARRAY_TASK_ID}.csv"' ||
        fail "task $task failed"
    echo "a task's log" >"rows/task-$task.log"
done
# A folder, or its files listed on standard input.
expect_status 0 "$M" --merge rows --out slurm.csv
diff <(rows direct.csv) <(rows slurm.csv) >diff.txt || fail "chunked rows differ: $(cat diff.txt)"
find rows -name '*.csv' | "$M" --merge --files-from - >listed.csv
diff <(rows direct.csv) <(rows listed.csv) >diff.txt || fail "listed rows differ: $(cat diff.txt)"

# ---- Merge refusals ----
expect_status 1 "$M" --merge rows.csv grid-of-another-kind.csv --out merged.csv
grep -q "cannot read 'grid-of-another-kind.csv'" err.txt || fail "missing input: $(cat err.txt)"
"$M" --summary-run --seed 1 --steps 5 --set initialFood=10 >other.csv
expect_status 1 "$M" --merge rows.csv other.csv --out merged.csv
grep -q "'other.csv' has other columns than 'rows.csv'" err.txt || fail "other columns: $(cat err.txt)"
expect_status 2 "$M" --merge
expect_status 1 "$M" --merge rows/task-1.log no-such-folder/
grep -q "cannot read 'no-such-folder/'" err.txt || fail "missing folder: $(cat err.txt)"
echo "sweep parallel: ok"
