#!/usr/bin/env bash
# Rule bases that once made the expert system lose or twist what the rules
# say, each through what a user has: a headless run (its CSV, rule trace,
# final statistics and standard error), --check-rules and a summary run's row.
# Every row checks the conclusions, the status, the messages and how many
# bytes reached standard error. Then the near-budget rule base runs three
# times at once beside a busy loop on each core, and the CSVs must match the
# idle run's byte for byte: whether a pass completes is counted in work, not
# in time.
SHIPPED=$(cd "$(dirname "$0")/../../resources" && pwd)/Rules.clp
source "$(dirname "$0")/e2e_common.bash" "$1"
M=$MARROWICK
STEPS=520  # passes at steps 156, 208, ..., 520
RUN=(--headless --seed 1 --steps "$STEPS" --csv run.csv --every 52 --trace-rules trace.txt)
ESC=$'\033'

# with_rule TEXT: the shipped rules and one construct more.
with_rule() { cat "$SHIPPED"; printf '\n%s\n' "$1"; }

# run_case NAME: the commands in cases/NAME, which holds its Rules.clp: the
# headless run, --check-rules (but for the near-budget rules, whose 729
# passes would take half a minute), a summary run where its status matters.
run_case() {
    (
        cd "cases/$1"
        status=0
        "$M" "${RUN[@]}" >run.out 2>run.err || status=$?
        echo "$status" >run.status
        status=0
        if [ "$1" != near_budget ]; then
            "$M" --check-rules Rules.clp >check.txt 2>check.err || status=$?
        fi
        echo "$status" >check.status
        case "$1" in
            shipped | nul_byte | utf16 | alternating | refused)
                "$M" --summary-run --seed 1 --steps "$STEPS" >summary.csv 2>summary.err || true ;;
        esac
    )
}

# Field NAME of the summary row.
summary_field() {
    awk -F, -v name="$2" 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == name) c = i }
                          NR == 2 { print $c }' "cases/$1/summary.csv"
}
# The conclusions of every trace line, one line each.
conclusions_of() { grep -o 'conclusions=[^ ]*' "$1"; }
bytes() { wc -c <"$1"; }
no_escape_byte() { ! grep -q "$ESC" "$1" || fail "$1 holds an ESC byte"; }

mkdir -p cases
make_case() { mkdir -p "cases/$1"; cat >"cases/$1/Rules.clp"; }

cat "$SHIPPED" | make_case shipped
# About 280 ordinary facts: the fact list is many times longer than the
# 10,000 characters that once held every conclusion.
{
    cat "$SHIPPED"
    printf '\n(deffacts table'
    for i in $(seq 280); do printf '\n\t(row %d "an ordinary fact with a little text")' "$i"; done
    printf ')\n'
} | make_case long_listing
# A NUL byte before the first rule (line 13).
{ head -c 500 "$SHIPPED"; printf '\0'; tail -c +501 "$SHIPPED"; } | make_case nul_byte
{ printf '\xef\xbb\xbf'; cat "$SHIPPED"; } | make_case byte_order_mark
iconv -f UTF-8 -t UTF-16 "$SHIPPED" | make_case utf16
# Conclusion words that are no conclusions: in another relation, a string, a
# printout to the name the listing was once read from.
with_rule '(defrule words (world) => (assert (avoid lower_population)) (assert (note "raise_population")) (printout proir "f-99 (over_using_food)" crlf))' |
    make_case words
# Every second pass runs past the work budget (the global survives the
# resets): the third failure of ten switches the expert system off at the
# sixth pass, step 416.
with_rule '(defglobal ?*keep* = (set-reset-globals FALSE) ?*n* = 0)
(defrule alternate (world) => (bind ?*n* (+ ?*n* 1)) (if (= (mod ?*n* 2) 0) then (while TRUE do (bind ?x 1))))' |
    make_case alternating
# Two thousand distinct lines a pass to the error stream, and one complaint
# the same at every pass.
with_rule '(defrule flood (world) => (printout werror "the same complaint" crlf) (loop-for-count (?i 1 2000) do (printout werror "complaint number " ?i crlf)))' |
    make_case printout_flood
with_rule "(defrule shout (world) => (printout werror \"title ${ESC}]0;pwned$(printf '\a') clear ${ESC}[2J\" crlf))" |
    make_case escapes
with_rule "(defrule bad${ESC}[2Jname (world) => (no-such 1))" | make_case escape_in_load_error
with_rule '(defrule reach_out (world) => (system "touch system-ran.txt") (open "opened.txt" f "w") (load "other.clp") (batch "other.bat") (dribble-on "dribble.txt"))' |
    make_case refused

# The near-budget rule base: every pass within a few units of the budget, and
# about 37 ms of processor time on an idle machine, as much as the passes
# that once made seeded runs differ with a 50 ms time budget. Its size comes
# from the shipped rules' busiest pass.
mkdir -p probe
"$M" --check-rules "$SHIPPED" >probe/check.txt
busiest=$(sed -n 's/^work: at most \([0-9]*\) of \([0-9]*\) units.*/\1/p' probe/check.txt)
budget=$(sed -n 's/^work: at most \([0-9]*\) of \([0-9]*\) units.*/\2/p' probe/check.txt)
[ -n "$busiest" ] && [ -n "$budget" ] || fail "no work line: $(cat probe/check.txt)"
turns=$((budget - busiest - 10 - 20))  # its own firing, and a little room
with_rule "(defrule near_budget (declare (salience 10)) (world) => (loop-for-count (?i 1 $turns) do (if (= (mod ?i 2) 0) then (bind ?x (str-cat \"unit \" ?i)))))" |
    make_case near_budget

# Three at a time: every outcome here is decided by counted work.
runs=()
for dir in cases/*/; do
    run_case "$(basename "$dir")" &
    runs+=($!)
    if [ "${#runs[@]}" -ge 3 ]; then
        wait "${runs[0]}"
        runs=("${runs[@]:1}")
    fi
done
for run in "${runs[@]}"; do wait "$run"; done

# ---- Every row: exit statuses, the trace, nothing raw on the terminal ----
for dir in cases/*/; do
    name=$(basename "$dir")
    [ "$(cat "$dir/run.status")" = 0 ] || fail "$name: headless exit status $(cat "$dir/run.status")"
    [ "$(tail -n 1 "$dir/run.csv" | cut -d, -f1)" = "$STEPS" ] || fail "$name: the run stopped early"
    grep -q '^Expert system passes failed [0-9]*  $' "$dir/run.out" || fail "$name: final statistics"
    for file in run.err check.err summary.err check.txt trace.txt; do
        [ ! -e "$dir/$file" ] || no_escape_byte "$dir/$file"
    done
    echo "$name: headless $(bytes "$dir/run.err") bytes on standard error, check $(cat "$dir/check.status") with $(cat "$dir/check.err" 2>/dev/null | wc -c)"
done

# The shipped rules: the reference.
ref=cases/shipped
[ ! -s $ref/run.err ] && [ ! -s $ref/check.err ] || fail "shipped: $(cat $ref/run.err $ref/check.err)"
[ "$(cat $ref/check.status)" = 0 ] || fail "shipped: check failed"
[ "$(summary_field shipped status)" = ok ] && [ "$(summary_field shipped failed_passes)" = 0 ] &&
    [ -z "$(summary_field shipped expert_off_step)" ] || fail "shipped: $(cat $ref/summary.csv)"
[ "$(grep -c 'result=complete' $ref/trace.txt)" = 8 ] || fail "shipped: $(cut -d' ' -f1-2 $ref/trace.txt)"
sed -n '/^conclusions/,/^rules/p' $ref/check.txt >ref-conclusions.txt

# Rule bases whose extra text changes no conclusion: the same run as the
# shipped rules', the same trace of conclusions, the same check table.
for name in long_listing byte_order_mark words printout_flood escapes refused; do
    cmp -s cases/$name/run.csv $ref/run.csv || fail "$name: the run differs from the shipped rules'"
    [ "$(conclusions_of cases/$name/trace.txt)" = "$(conclusions_of $ref/trace.txt)" ] ||
        fail "$name: other conclusions in the trace"
    sed -n '/^conclusions/,/^rules/p' cases/$name/check.txt | cmp -s - ref-conclusions.txt ||
        fail "$name: other conclusions in --check-rules: $(cat cases/$name/check.txt)"
    [ "$(cat cases/$name/check.status)" = 0 ] || fail "$name: --check-rules failed"
    [ ! -e cases/$name/summary.csv ] || [ "$(summary_field $name status)" = ok ] ||
        fail "$name: $(cat cases/$name/summary.csv)"
done
for name in long_listing byte_order_mark; do
    [ ! -s cases/$name/run.err ] && [ ! -s cases/$name/check.err ] ||
        fail "$name said: $(cat cases/$name/run.err cases/$name/check.err)"
done
grep -q '^Rules.clp: loaded, 10 rules$' cases/long_listing/check.txt || fail "long_listing: $(head -1 cases/long_listing/check.txt)"
# The name the listing was once read from is nothing to the engine now.
[ "$(grep -c 'proir was not recognized' cases/words/run.err)" = 2 ] &&
    grep -q '^marrowick: 7 more times: rule engine: \[ROUTER1\] Logical name proir' cases/words/run.err ||
    fail "words: $(cat cases/words/run.err)"

# Text the engine would misread: refused with its line, the expert system off.
for row in "nul_byte;Rules.clp:13: error: a NUL byte" "utf16;Rules.clp:1: error: the file is UTF-16 text; save it as UTF-8"; do
    name=${row%%;*}
    message=${row#*;}
    grep -qF "marrowick: $message" cases/$name/run.err || fail "$name: $(cat cases/$name/run.err)"
    grep -q "the expert system is off$" cases/$name/run.err || fail "$name: $(cat cases/$name/run.err)"
    [ "$(tail -n 1 cases/$name/run.csv | cut -d, -f15)" = off ] || fail "$name: the expert system ran"
    [ ! -s cases/$name/trace.txt ] || fail "$name: passes ran"
    [ "$(cat cases/$name/check.status)" = 1 ] || fail "$name: --check-rules passed"
    grep -qF "$message" cases/$name/check.err || fail "$name: $(cat cases/$name/check.err)"
    grep -q '^Rules.clp: did not load, 0 rules$' cases/$name/check.txt || fail "$name: $(head -1 cases/$name/check.txt)"
    [ "$(summary_field $name status)" = rules-not-loaded ] || fail "$name: $(cat cases/$name/summary.csv)"
done

# Failures that alternate with good passes still switch it off.
a=cases/alternating
[ "$(cut -d' ' -f2 $a/trace.txt | tr '\n' ' ')" = "result=complete result=cut-off result=complete result=cut-off result=complete result=cut-off " ] ||
    fail "alternating: $(cut -d' ' -f1-2 $a/trace.txt)"
grep -q '^marrowick: the rule base failed 3 of its last 10 passes; the expert system is off from step 416$' $a/run.err ||
    fail "alternating: $(cat $a/run.err)"
grep -q '^marrowick: 2 more times: the rules were still at work after 100000 units of work' $a/run.err ||
    fail "alternating: $(cat $a/run.err)"
grep -q '^Expert system passes failed 3  $' $a/run.out && grep -q '^Expert system off by failures from step 416  $' $a/run.out ||
    fail "alternating: final statistics $(tail -n 3 $a/run.out)"
[ "$(summary_field alternating status),$(summary_field alternating failed_passes),$(summary_field alternating expert_off_step)" = "expert-off,3,416" ] ||
    fail "alternating: $(cat $a/summary.csv)"
[ "$(cat $a/check.status)" = 1 ] && grep -q '^passes: 729 of 729 run, 365 complete, 364 cut off, 0 failed$' $a/check.txt ||
    fail "alternating: $(sed -n 4p $a/check.txt)"
# A sweep of it fails, as it does for a run that fails.
(
    cd $a
    status=0
    "$M" --sweep --seeds 2 --steps "$STEPS" --out sweep.csv --jobs 2 >sweep.out 2>sweep.err || status=$?
    [ "$status" = 1 ] || fail "alternating: the sweep exited $status"
    grep -q "^marrowick: 2 of 2 runs failed; their rows in sweep.csv say how$" sweep.err || fail "alternating: $(cat sweep.err)"
    [ "$(cut -d, -f3 sweep.csv | tail -n +2 | sort -u)" = expert-off ] || fail "alternating: $(cat sweep.csv)"
)

# A flood of messages: each distinct line once, a few KB a minute in all.
f=cases/printout_flood
for file in run.err check.err; do
    [ "$(bytes $f/$file)" -lt 6000 ] || fail "printout_flood: $(bytes $f/$file) bytes in $file"
    grep -q '^marrowick: rule engine: the same complaint$' $f/$file || fail "printout_flood: no complaint in $file"
    grep -q '^marrowick: the rule engine says more than 4 KB a minute; what it says beyond that is held back and counted$' $f/$file ||
        fail "printout_flood: nothing held back in $file"
    grep -q '^marrowick: [0-9]* more lines from the rule engine held back$' $f/$file || fail "printout_flood: no count in $file"
done
grep -q '^marrowick: 7 more times: rule engine: the same complaint$' $f/run.err || fail "printout_flood: $(tail -n 3 $f/run.err)"

# Terminal controls come out escaped.
for file in run.err check.err; do
    grep -qF 'marrowick: rule engine: title \e]0;pwned^G clear \e[2J' cases/escapes/$file || fail "escapes: $(cat cases/escapes/$file)"
done
line=$(grep -c '' "$SHIPPED")
line=$((line + 1))  # the new rule ends the shipped text's last line, then stands on its own
grep -qF '<<<unprintable character>>>' cases/escape_in_load_error/run.err &&
    grep -q "^marrowick: Rules.clp:$line: error: \[PRNTUTIL2\]" cases/escape_in_load_error/run.err ||
    fail "escape_in_load_error: line $line? $(cat cases/escape_in_load_error/run.err)"
grep -q "^Rules.clp:$line: error: \[PRNTUTIL2\]" cases/escape_in_load_error/check.err ||
    fail "escape_in_load_error: $(cat cases/escape_in_load_error/check.err)"

# Facilities the sandbox refuses: each named once, nothing touched.
for facility in system open load batch dribble-on; do
    for file in run.err check.err summary.err; do
        [ "$(grep -c "^marrowick: the rule base called \`$facility\`, which the sandbox does not allow$" cases/refused/$file)" = 1 ] ||
            fail "refused: $facility in $file: $(cat cases/refused/$file)"
    done
done
[ -z "$(ls cases/refused | grep -vxE 'Rules.clp|run\..*|check\..*|summary\..*|trace.txt' || true)" ] ||
    fail "refused: the rule base left files: $(ls cases/refused)"

# ---- The near-budget rule base: the same CSV on a busy machine ----
n=cases/near_budget
[ "$(grep -c 'result=complete' $n/trace.txt)" = 8 ] || fail "near_budget: $(cut -d' ' -f1-2 $n/trace.txt)"
least=$(grep -o 'work=[0-9]*' $n/trace.txt | cut -d= -f2 | sort -n | head -n 1)
[ "$least" -gt $((budget - 100)) ] || fail "near_budget: a pass of only $least units"
# Its rule concludes nothing: every pass came to rest with the shipped rules'
# conclusions. A pass cut off on a busy machine would lose them.
cmp -s $n/run.csv $ref/run.csv || fail "near_budget: a pass did not come to rest"
busy=()
for _ in 1 2; do
    (while :; do :; done) &
    busy+=($!)
    HELPER_PIDS+=($!)
done
loaded=()
for i in 1 2 3; do
    (cd $n && "$M" --headless --seed 1 --steps "$STEPS" --csv "loaded-$i.csv" --every 52 >/dev/null 2>"loaded-$i.err") &
    loaded+=($!)
done
for run in "${loaded[@]}"; do wait "$run"; done
for pid in "${busy[@]}"; do kill "$pid"; done
for i in 1 2 3; do
    cmp $n/run.csv "$n/loaded-$i.csv" || fail "near_budget: run $i beside busy loops differs from the idle run"
    [ ! -s "$n/loaded-$i.err" ] || fail "near_budget: $(cat "$n/loaded-$i.err")"
done
echo "near_budget: passes of $least to $(grep -o 'work=[0-9]*' $n/trace.txt | cut -d= -f2 | sort -n | tail -n 1) units of $budget; three runs beside two busy loops gave the idle run's CSV"
echo "rule base table: ok"
