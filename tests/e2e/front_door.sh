#!/usr/bin/env bash
# The front door as a user meets it: commands that run no colony read and
# write no file of the user's; a command whose output names one of its inputs
# is refused before anything is opened, and the file is left as it was; every
# refusal is one line with status 2 (1 for an output that cannot be written).
source "$(dirname "$0")/e2e_common.bash" "$1"
M="$MARROWICK"
MINE="$XDG_CONFIG_HOME/marrowick"
mkdir -p "$MINE" empty
printf '; my edited rules\n(deftemplate world (slot food_supply) (slot change_FS))\n' >"$MINE/Rules.clp"
chmod 600 "$MINE/Rules.clp"
stored=$(md5sum "$MINE/Rules.clp")
snapshot() { (cd "$WORK" && find config empty -printf '%p %s %T@\n' | sort); }
before=$(snapshot)

# ---- Commands that run no colony: nothing read into being, nothing written ----
cd empty
for command in "--help" "--version" "--list-parameters" "--headless --help" "--sweep --help" \
               "--merge --help" "--check-rules --help" "--terminal --help" "--window --help" \
               "--sweep --list-runs --seeds 3 --steps 10 --vary foodPerAnt=0.1,0.2" \
               "--sweep --list-runs --vary shares=60/5/25/10,50/5/35/10" \
               "--check-rules" "--bogus" "--headless --rate=+40" "-terminal=1" \
               "--headless --steps 5 --set nosuch=1" "--headless --steps 5 --csv Rules.clp" \
               "--headless --steps 5 --trace-rules $MINE/Rules.clp" \
               "--sweep --out s.csv --plot s.csv --vary foodPerAnt=0.1,0.2" \
               "--sweep --vary startingSeeds=1,2" "/c --set foodPerAnt=9"; do
    # shellcheck disable=SC2086
    env -u DISPLAY "$M" $command >../out.txt 2>../err.txt || true
done
cd ..
[ "$(snapshot)" = "$before" ] || fail "a command that runs no colony wrote: $(diff <(echo "$before") <(snapshot))"
[ "$(md5sum "$MINE/Rules.clp")" = "$stored" ] || fail "the edited rule base changed"
echo "no writes: ok"

# ---- Refusals: one line, the right status, nothing touched ----
refused() {
    local status=$1
    shift
    local got=0
    "$M" "$@" >out.txt 2>err.txt || got=$?
    [ "$got" = "$status" ] || fail "'$*' ended with $got, not $status: $(cat err.txt)"
    [ "$(wc -l <err.txt)" = 1 ] || fail "'$*': not one line: $(cat err.txt)"
    grep -q '^marrowick: ' err.txt || fail "'$*': $(cat err.txt)"
}
echo "keep me" >kept.csv
refused 2 --headless --steps 10 --csv kept.csv --plot kept.csv
refused 2 --headless --steps 10 --csv kept.csv --trace-rules ./kept.csv
[ "$(cat kept.csv)" = "keep me" ] || fail "a refused command wrote its output"
refused 2 --headless --steps 10 --csv "$MINE/Rules.clp"
refused 2 --headless --steps 10 --csv Marrowick.ini
[ ! -e Marrowick.ini ] || fail "a refused command made Marrowick.ini"
refused 1 --headless --steps 10 --csv missing/run.csv
refused 2 --sweep --steps 5 --out s.csv --plot s.csv --vary foodPerAnt=0.1,0.2
[ ! -e s.csv ] || fail "a refused sweep made its summary"
refused 2 -terminal --steps 5
refused 2 --terminal=1
refused 2 --window --rules-panel=0
refused 2 --headless --texture
refused 2 /s --headless
[ "$(md5sum "$MINE/Rules.clp")" = "$stored" ] || fail "the edited rule base changed"
echo "refusals: ok"

# ---- What every mode takes works there ----
"$M" --headless --steps 200 --no-expert-system --csv off.csv --every 200 2>/dev/null ||
    fail "--no-expert-system in headless"
grep -q ',off,' off.csv || fail "the expert system was on: $(tail -n 1 off.csv)"
"$M" --headless --steps 100 --set shares=50/5/35/10 --csv shares.csv --every 100 2>/dev/null ||
    fail "--set shares"
cut -d, -f8-11 shares.csv | tail -n 1 | grep -q '^50.00,5.00,35.00,10.00$' ||
    fail "the linked shares: $(tail -n 1 shares.csv)"
[ "$(md5sum "$MINE/Rules.clp")" = "$stored" ] || fail "a run wrote over the edited rule base"
[ ! -e Rules.clp ] || fail "a run wrote Rules.clp into the working directory"
echo "front door: ok"
