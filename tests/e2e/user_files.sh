#!/usr/bin/env bash
# Where the program keeps the user's files, in the headless and the screen-
# saver modes: a first run makes the user's copies in $XDG_CONFIG_HOME/
# marrowick (a private folder) and writes nothing in the working directory;
# the user's copy is read next time; a copy in the working directory wins
# over it. (The read-only home is in package.sh, with the installed program.)
source "$(dirname "$0")/e2e_common.bash" "$1"
MINE="$XDG_CONFIG_HOME/marrowick"

headless() { "$MARROWICK" --headless --steps 60 >run.out 2>run.err || fail "headless: $(cat run.err)"; }
expert() { grep -o 'Expert System Actions is O[nf]f*' run.out; }

# ---- A first run ----
headless
[ -f "$MINE/Rules.clp" ] || fail "no rule base in $MINE"
[ "$(stat -c %a "$MINE")" = 700 ] || fail "$MINE is not private: $(stat -c %a "$MINE")"
[ ! -e Rules.clp ] && [ ! -e Marrowick.ini ] || fail "files written in the working directory"
[ ! -e "$MINE/Marrowick.ini" ] || fail "the headless run made a settings file it never reads"
[ "$(expert)" = "Expert System Actions is On" ] || fail "the built-in rules did not load: $(expert)"

# ---- The user's copy is the one read ----
cp "$MINE/Rules.clp" good.clp
echo '(defrule broken' >"$MINE/Rules.clp"
headless
[ "$(expert)" = "Expert System Actions is Off" ] || fail "the user's broken copy was not read"
[ "$(cat "$MINE/Rules.clp")" = '(defrule broken' ] || fail "the user's copy was written over"

# ---- A copy in the working directory wins ----
cp good.clp Rules.clp
headless
[ "$(expert)" = "Expert System Actions is On" ] || fail "the working directory's copy did not win"
cp good.clp "$MINE/Rules.clp"
echo '(defrule broken' >Rules.clp
headless
[ "$(expert)" = "Expert System Actions is Off" ] || fail "the working directory's broken copy lost"
rm Rules.clp

# ---- The screen saver: the settings file too ----
start_app /s
xdotool search --sync --name '^Screen Saver$' >/dev/null || fail "no screen-saver window"
sleep 1
focus_and_key "$(xdotool search --name '^Screen Saver$' | head -n 1)" a
expect_exit 1000 "a key press"
[ -f "$MINE/Marrowick.ini" ] || fail "no settings file in $MINE"
grep -q '^TextureName = ' "$MINE/Marrowick.ini" || fail "the settings file lacks its record"
[ ! -e Marrowick.ini ] && [ ! -e Rules.clp ] || fail "files written in the working directory"
# One in the working directory is used instead, and kept as it is.
rm "$MINE/Marrowick.ini"
printf 'TextureName = mine.bmp\r\n' >Marrowick.ini
start_app /s
xdotool search --sync --name '^Screen Saver$' >/dev/null || fail "no screen-saver window"
sleep 1
focus_and_key "$(xdotool search --name '^Screen Saver$' | head -n 1)" a
expect_exit 1000 "a key press"
[ ! -e "$MINE/Marrowick.ini" ] || fail "a settings file was made beside the working directory's"
[ "$(cat Marrowick.ini)" = "$(printf 'TextureName = mine.bmp\r')" ] || fail "the stored settings changed"
echo "user files: ok"
