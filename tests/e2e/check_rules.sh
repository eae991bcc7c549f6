#!/usr/bin/env bash
# The rule-base commands as a user types them: --check-rules on the rule base
# the program would use, on a broken and an edited file, its exit statuses and
# CSV; --trace-rules in a headless run; a reader that goes away early.
source "$(dirname "$0")/e2e_common.bash" "$1"

# No Rules.clp anywhere yet: the built-in rules are checked, nothing is written.
"$MARROWICK" --check-rules >report.txt 2>err.txt || fail "the built-in rules do not pass"
grep -q '^built-in Rules.clp: loaded, 10 rules$' report.txt || fail "not the built-in rules: $(head -1 report.txt)"
[ ! -e Rules.clp ] && [ ! -e "$XDG_CONFIG_HOME/marrowick" ] || fail "checking wrote a file"
[ ! -s err.txt ] || fail "a clean check printed errors: $(cat err.txt)"

# CSV: a header and 729 rows, every one complete.
"$MARROWICK" --check-rules --format csv >table.csv
[ "$(wc -l <table.csv)" = 730 ] || fail "the table has $(wc -l <table.csv) lines"
[ "$(cut -d, -f9 table.csv | sort | uniq -c | awk '{print $1, $2}' | sort)" = "$(printf '1 result\n729 complete')" ] ||
    fail "not every pass is complete"

# Rules.clp in the working directory is the default now; broken, it fails
# with its file and line on standard error.
"$MARROWICK" --headless --steps 1 >/dev/null 2>&1 || true
cp "$XDG_CONFIG_HOME/marrowick/Rules.clp" good.clp
sed 's/(assert (lower_food_intake))/(assert (lower_food_intake)) (no-such 1)/' good.clp >Rules.clp
status=0
"$MARROWICK" --check-rules >report.txt 2>err.txt || status=$?
[ "$status" = 1 ] || fail "a broken file gave exit status $status"
line=$(grep -n 'no-such 1' Rules.clp | cut -d: -f1)
grep -q "^Rules.clp:$line: error: \[EXPRNPSR3\] Missing function declaration for no-such." err.txt ||
    fail "no FILE:LINE message for line $line: $(head -3 err.txt)"
grep -q '^Rules.clp: loaded with errors, 9 rules$' report.txt || fail "$(head -1 report.txt)"

# Usage errors.
for args in "--format xml" "a.clp b.clp" "--bogus"; do
    status=0
    # shellcheck disable=SC2086
    "$MARROWICK" --check-rules $args >/dev/null 2>err.txt || status=$?
    [ "$status" = 2 ] || fail "--check-rules $args gave $status"
    grep -q '^marrowick: ' err.txt || fail "--check-rules $args: no message"
done

# A reader that stops early: a clear message and status 1, never a signal.
status=0
"$MARROWICK" --check-rules good.clp --format csv 2>err.txt | head -n 1 >/dev/null || status=$?
[ "$status" = 1 ] || fail "a closed pipe gave status $status"
grep -q '^marrowick: the report could not be written to standard output$' err.txt ||
    fail "a closed pipe: $(cat err.txt)"

# The trace of a headless run: a line per pass from step 156, every 52 steps.
cp good.clp Rules.clp
"$MARROWICK" --headless --steps 400 --trace-rules trace.txt >/dev/null 2>err.txt ||
    fail "the traced run failed: $(cat err.txt)"
[ "$(wc -l <trace.txt)" = 5 ] || fail "$(wc -l <trace.txt) trace lines for 400 steps"
[ "$(cut -d' ' -f1 trace.txt | tr '\n' ' ')" = "step=156 step=208 step=260 step=312 step=364 " ] ||
    fail "the trace's steps: $(cut -d' ' -f1 trace.txt | tr '\n' ' ')"
grep -q '^step=156 result=complete food_supply=[a-z]* change_FS=stable .* fired=.* conclusions=.* gathering=25.0000>' trace.txt ||
    fail "the first line: $(head -1 trace.txt)"
status=0
"$MARROWICK" --headless --steps 10 --trace-rules /nonexistent/trace.txt >/dev/null 2>err.txt || status=$?
# Refused before the first step, and said in one line.
[ "$status" = 1 ] && grep -q "^marrowick: cannot write --trace-rules /nonexistent/trace.txt: its folder /nonexistent does not exist$" err.txt ||
    fail "an unwritable trace: status $status, $(cat err.txt)"
echo "rule-base commands: ok"
