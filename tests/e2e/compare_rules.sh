#!/usr/bin/env bash
# --compare-rules as a user runs it: two rule bases over two seeds of 2,000
# steps. The table's numbers equal those computed from the runs' own rows
# (each run made again as a headless run with --csv every step and the rule
# trace), the plots render with rsvg-convert, the same command resumes
# without running anything again, and a broken rule base is reported as such
# while the others still get their rows.
source "$(dirname "$0")/experiments_common.bash" "$1"
M=$MARROWICK
export XDG_CONFIG_HOME=$WORK/config
STEPS=2000

expect_status 0 "$M" --compare-rules default,thrifty --seeds 1-2 --steps $STEPS --jobs 2 --out cmp
cp out.txt report-stdout.txt
for file in results.csv comparison.csv report.txt population.svg food_reserves.svg \
            food_per_ant.svg colony_deaths.svg no_conclusion.svg failed_passes.svg \
            series/default-seed1.csv series/default-seed2.csv series/thrifty-seed1.csv \
            series/thrifty-seed2.csv; do
    [ -s "cmp/$file" ] || fail "cmp/$file is missing or empty"
done
cmp -s report-stdout.txt cmp/report.txt || fail "standard output is not report.txt"
[ "$(row_count cmp/results.csv)" -eq 4 ] || fail "results.csv: $(cat cmp/results.csv)"
[ "$(column cmp/results.csv rules | sort | uniq -c | tr -s ' ' | tr '\n' ';')" = \
  " 2 default; 2 thrifty;" ] || fail "rules column: $(column cmp/results.csv rules)"
grep -q '^Over 2 seeds of 2,000 steps: ' cmp/report.txt || fail "verdict: $(cat cmp/report.txt)"

# ---- The table against the runs' own rows ----
# Per run: the means over every step of population, reserves and reserves
# per ant, colony deaths per 100,000 steps, the share of passes without a
# conclusion, the failed passes; then per rule base the mean and the
# standard deviation over the seeds.
for rules in default thrifty; do
    for seed in 1 2; do
        expect_status 0 "$M" --headless --rules $rules --seed $seed --steps $STEPS \
            --csv "rows-$rules-$seed.csv" --every 1 --trace-rules "trace-$rules-$seed.txt"
        awk -F, -v rules=$rules -v steps=$STEPS '
            NR == 1 { for (i = 1; i <= NF; i++) c[$i] = i; next }
            { n++; p += $c["population"]; r += $c["food_reserves"];
              a += $c["food_reserves"] / ($c["population"] > 0 ? $c["population"] : 1);
              d = $c["colony_deaths"] }
            END { printf "%s %.9f %.9f %.9f %.9f", rules, p / n, r / n, a / n, d * 100000 / steps }
        ' "rows-$rules-$seed.csv" >>values.txt
        awk '{ passes++ } / result=complete / && / conclusions=- / { silent++ }
             !/ result=complete / { failed++ }
             END { printf " %.9f %d\n", passes ? 100 * silent / passes : 0, failed }
        ' "trace-$rules-$seed.txt" >>values.txt
    done
done
[ "$(wc -l <values.txt)" -eq 4 ] || fail "values: $(cat values.txt)"
awk '
    # The runs: per rule base, sums for the mean and the spread of each measure.
    NR == FNR { k = $1; n[k]++; for (m = 2; m <= 7; m++) { v[k, m, n[k]] = $m; s[k, m] += $m } next }
    FNR == 1 { next }
    {
        split($0, f, ",")
        k = f[1]
        if (f[2] != 2 || f[3] != 0 || f[4] != "ok") { print "row " $0; bad = 1; next }
        for (m = 2; m <= 7; m++) {
            mean = s[k, m] / n[k]
            dev = 0
            for (i = 1; i <= n[k]; i++) dev += (v[k, m, i] - mean) ^ 2
            sd = sqrt(dev / (n[k] - 1))
            col = 5 + 2 * (m - 2)
            # The CSV rows give the reserves to 0.001.
            tol = 0.002 + 1e-6 * (mean < 0 ? -mean : mean)
            if ((f[col] - mean) ^ 2 > tol ^ 2 || (f[col + 1] - sd) ^ 2 > tol ^ 2) {
                printf "%s measure %d: table %s +- %s, rows %.6f +- %.6f\n", k, m - 1, f[col], f[col + 1], mean, sd
                bad = 1
            }
            checked++
        }
    }
    END { if (checked != 12) { print "checked " checked; bad = 1 } exit bad }
' values.txt cmp/comparison.csv >check.txt || fail "the table differs from the runs: $(cat check.txt)"

# ---- The plots render, each with a band and a curve per rule base ----
for svg in cmp/*.svg; do
    rsvg-convert -o "${svg%.svg}.png" "$svg" 2>err.txt || fail "rsvg-convert $svg: $(cat err.txt)"
    [ "$(grep -c '<polyline' "$svg")" -ge 2 ] || fail "$svg: fewer than two curves"
    grep -q '>thrifty<' "$svg" || fail "$svg: no legend"
done

# ---- Resumed: nothing runs again, the report is the same ----
expect_status 0 "$M" --compare-rules default,thrifty --seeds 1-2 --steps $STEPS --out cmp
[ "$(row_count cmp/results.csv)" -eq 4 ] || fail "resumed: $(row_count cmp/results.csv) rows"
cmp -s out.txt report-stdout.txt || fail "resumed report differs: $(diff out.txt report-stdout.txt)"

# ---- A broken rule base is reported; the others still get their rows ----
printf ';; name: broken\n(defrule oops\n\t(colony (population high))\n\t=>\n\t(assert (x)\n' >broken.clp
expect_status 1 "$M" --compare-rules default,broken.clp,boom --seeds 1-2 --steps 300 --out withbroken
grep -q '^marrowick: broken does not load, and makes no runs: broken.clp:[0-9]*: ' err.txt ||
    fail "broken: no message: $(cat err.txt)"
[ "$(row_count withbroken/results.csv)" -eq 4 ] || fail "broken: $(cat withbroken/results.csv)"
grep -q '^broken,0,0,"\?broken: broken.clp:[0-9]*: ' withbroken/comparison.csv ||
    fail "broken row: $(cat withbroken/comparison.csv)"
grep -q '^default,2,0,ok,' withbroken/comparison.csv || fail "default row: $(cat withbroken/comparison.csv)"
grep -q '^boom,2,0,ok,' withbroken/comparison.csv || fail "boom row: $(cat withbroken/comparison.csv)"
grep -q 'broken did not load (broken.clp:[0-9]*: .*) and has no results\.' withbroken/report.txt ||
    fail "broken verdict: $(cat withbroken/report.txt)"
ls withbroken/series | grep -q broken && fail "a broken rule base made runs"

# ---- Refused before anything is written ----
expect_status 2 "$M" --compare-rules default,nosuch --out refused
grep -q 'no rule base is named "nosuch"' err.txt || fail "unknown name: $(cat err.txt)"
expect_status 2 "$M" --compare-rules default,default --out refused
expect_status 2 "$M" --compare-rules default,thrifty
grep -q 'needs --out DIR' err.txt || fail "no --out: $(cat err.txt)"
expect_status 2 "$M" --compare-rules default,thrifty --set rules=boom --out refused
[ ! -e refused ] || fail "a refused comparison made its folder"
echo "ok"
