#!/usr/bin/env bash
# Both plots as a reader gets them: rendered by rsvg-convert (which fails on a
# broken file) and looked at: the headless run's three blue history curves,
# the sweep's panels with a coloured series per value of the second varied
# parameter. Also what --plot refuses.
source "$(dirname "$0")/experiments_common.bash" "$1"
M=$MARROWICK
command -v rsvg-convert >/dev/null || fail "rsvg-convert is not installed (librsvg2-bin)"

# pixels FILE R G B: how many pixels are close to this colour (the lines are
# antialiased, so few are exactly it).
pixels() {
    convert "$1" -alpha off -format %c histogram:info:- |
        awk -v R="$2" -v G="$3" -v B="$4" '
        match($0, /\(([0-9]+),([0-9]+),([0-9]+)/) {
            split(substr($0, RSTART + 1, RLENGTH - 1), c, ",")
            d = (c[1] - R) ^ 2 + (c[2] - G) ^ 2 + (c[3] - B) ^ 2
            if (d < 60 ^ 2) { n += $1 }
        }
        END { print n + 0 }'
}

# ---- A headless run's history ----
expect_status 0 "$M" --headless --steps 3000 --seed 2 --plot history.svg
rsvg-convert history.svg -o history.png || fail "history.svg does not render"
[ "$(identify -format '%wx%h' history.png)" = "820x828" ] ||
    fail "history plot size $(identify -format '%wx%h' history.png)"
blue=$(pixels history.png 0 0 255)
[ "$blue" -gt 1500 ] || fail "the three curves are missing: $blue blue pixels"
for text in "Time VS Population" "Time VS Food Reserves" "Time VS Food Supply" ">3000<"; do
    grep -q "$text" history.svg || fail "history plot lacks $text"
done
# Each panel has its curve: blue in the top, middle and bottom third.
for band in 0 1 2; do
    convert history.png -crop 820x276+0+$((band * 276)) +repage band.png
    [ "$(pixels band.png 0 0 255)" -gt 300 ] || fail "panel $band has no curve"
done
# A plot that cannot be written is refused before the run starts.
expect_status 1 "$M" --headless --steps 50 --plot no-such-folder/h.svg
grep -q "^marrowick: cannot write --plot no-such-folder/h.svg: its folder no-such-folder does not exist$" err.txt ||
    fail "unwritable: $(cat err.txt)"
[ ! -e no-such-folder ] || fail "a folder was made"

# ---- A sweep's measures against the first varied parameter ----
expect_status 0 "$M" --sweep --vary foodPerAnt=0.001:0.003:0.001 --vary maxWanderDistance=10,20 \
    --seeds 2 --steps 300 --out sweep.csv --plot sweep.svg
rsvg-convert sweep.svg -o sweep.png || fail "sweep.svg does not render"
size=$(identify -format '%wx%h' sweep.png)
[ "$size" = "1026x1118" ] || fail "sweep plot size $size"
# The two series' colours (blue and red), as points and mean lines.
[ "$(pixels sweep.png 31 119 180)" -gt 2000 ] || fail "no maxWanderDistance=10 series"
[ "$(pixels sweep.png 214 39 40)" -gt 2000 ] || fail "no maxWanderDistance=20 series"
for text in "maxWanderDistance=10" "maxWanderDistance=20" "Final population" "Colony deaths" \
            "Mean gathering share" ">foodPerAnt<" ">0.0010<" ">0.0030<"; do
    grep -q "$text" sweep.svg || fail "sweep plot lacks $text"
done
# The same sweep again runs nothing and draws the same picture.
cp sweep.svg first.svg
expect_status 0 "$M" --sweep --vary foodPerAnt=0.001:0.003:0.001 --vary maxWanderDistance=10,20 \
    --seeds 2 --steps 300 --out sweep.csv --plot sweep.svg
cmp -s first.svg sweep.svg || fail "the resumed sweep drew another plot"

# ---- Refusals ----
expect_status 2 "$M" --sweep --seeds 2 --plot p.svg
grep -q "first --vary parameter" err.txt || fail "plot without --vary: $(cat err.txt)"
expect_status 2 env -u DISPLAY "$M" --window --plot p.svg
grep -q -- "--plot is not an option of --window" err.txt || fail "plot in window mode: $(cat err.txt)"
echo "experiment plots: ok"
