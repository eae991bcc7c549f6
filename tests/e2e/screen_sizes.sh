#!/usr/bin/env bash
# The view at every size, read from its pixels:
# - a preview (184 x 134, 320 x 240, a window of someone else's): the world
#   shows, with the caption and a few statistics lines that do not overlap;
# - 3840 x 2160: the text is as large in proportion as at 1080 lines (its
#   line step at least 1.2 % of the height);
# - 1920 x 1080: the text, the caption and the graphs stand where they always
#   stood, on dark panels that keep the scene out of them.
XVFB_SCREEN=3840x2160x24
source "$(dirname "$0")/e2e_common.bash" "$1"

HOST="$BUILD_DIR/marrowick_test_window"
[ -x "$HOST" ] || fail "missing $HOST (build the marrowick_test_window target)"
# Text pixels: the statistics' light grey and its edges, blended over the
# dark panel (on the white ground: grey from 63 up), and the caption's red.
# The scene has no grey of its own.
TEXT='r == g && g == b && r >= 100 && r <= 230'
RED='r >= 160 && g <= 90 && b <= 90'

# bands FILE CONDITION: the rows holding pixels that meet the condition (as
# `pixels` takes it), as bands of consecutive rows: one "top height" a line.
bands() {
    convert "$1" -alpha off -depth 8 txt:- |
        awk -F'[ ,:()]+' "
            NR > 1 { r = \$3 + 0; g = \$4 + 0; b = \$5 + 0; if ($2) lit[\$2] = 1 }
            END {
                for (y = 0; y <= $(identify -format %h "$1"); ++y) {
                    if ((y in lit) && !inside) { top = y; inside = 1 }
                    if (!(y in lit) && inside) { print top, y - top; inside = 0 }
                }
            }"
}

# A window of someone else's, like xscreensaver's preview; prints its id.
HOST_RUN=0
host_window() {
    HOST_RUN=$((HOST_RUN + 1))
    "$HOST" "$1" "$2" >"host$HOST_RUN.txt" &
    HELPER_PIDS+=($!)
    for _ in $(seq 50); do
        [ -s "host$HOST_RUN.txt" ] && break
        sleep 0.1
    done
    head -n 1 "host$HOST_RUN.txt"
}

# ---- Previews ----
for size in 184x134 320x240; do
    w=${size%x*}
    h=${size#*x}
    id=$(host_window "$w" "$h")
    [ -n "$id" ] || fail "$size: the test window did not appear"
    start_app --window-id "$id" --screenshot shot.png
    sleep 3
    screenshot shot.png >/dev/null
    cp shot.png "preview-$size.png"
    [ "$(identify -format '%wx%h' shot.png)" = "$size" ] || fail "$size: the frame is not the window's size"
    white=$(pixels shot.png 'r == 255 && g == 255 && b == 255')
    border=$(pixels shot.png 'r == 0 && g == 0 && b == 255')
    ants=$(pixels shot.png 'r == 255 && g == 0 && b == 0')
    echo "preview $size: $white white, $border border, $ants red pixels"
    [ "$white" -gt $((w * h / 3)) ] || fail "$size: the world's ground hardly shows ($white white)"
    [ "$border" -gt 30 ] || fail "$size: no world border"
    # The statistics: one band of rows per line, each one line high (9-pixel
    # text: 12 rows at most), and apart from the caption's rows.
    mapfile -t lines < <(bands shot.png "$TEXT")
    mapfile -t caption < <(bands shot.png "$RED")
    echo "  statistics lines (top height): ${lines[*]}; caption: ${caption[*]}"
    [ "${#lines[@]}" -ge 1 ] || fail "$size: no statistics line"
    for band in "${lines[@]}"; do
        [ "${band#* }" -le 12 ] || fail "$size: text lines run together (rows ${band% *}, ${band#* } high)"
    done
    # The caption is the red along the top (red further down is ants).
    [ "${#caption[@]}" -ge 1 ] && [ "${caption[0]% *}" -le 12 ] || fail "$size: no caption at the top"
    caption_bottom=$(( ${caption[0]% *} + ${caption[0]#* } ))
    [ "${caption[0]#* }" -le 32 ] || fail "$size: the caption is ${caption[0]#* } rows high"
    [ "$caption_bottom" -le "${lines[0]% *}" ] || fail "$size: the caption and the statistics overlap"
    kill -TERM "$APP_PID"
    wait_exit 2000 || fail "$size: the preview did not end on SIGTERM"
done

# ---- 1920 x 1080: where it always stood ----
id=$(host_window 1920 1080)
start_app --window-id "$id" --screenshot shot.png
sleep 3
screenshot shot.png >/dev/null
cp shot.png hd.png
convert hd.png -crop 280x250+0+0 +repage column.png
mapfile -t lines < <(bands column.png "$TEXT")
echo "1080: statistics lines (top height): ${lines[*]}"
# The lines at y = 10, 25, 40 ... (their letters' tops 1 to 4 rows lower):
# fifteen of them, less the expert system's two action lines while they are
# empty.
[ "${#lines[@]}" -ge 13 ] && [ "${#lines[@]}" -le 15 ] || fail "1080: ${#lines[@]} statistics lines"
[ "${lines[0]% *}" -le 14 ] || fail "1080: the first line starts at row ${lines[0]% *}, not 10"
for band in "${lines[@]}"; do
    top=${band% *}
    offset=$(( (top - 10) % 15 ))
    [ "$offset" -ge 1 ] && [ "$offset" -le 4 ] && [ "${band#* }" -le 12 ] ||
        fail "1080: a line at row $top, ${band#* } high, off the 15-row grid from y = 10"
done
# The frame time at the top left, the caption from x = 300 along the top.
convert hd.png -crop 200x10+0+0 +repage frametime.png
[ "$(pixels frametime.png 'r == 255 && g == 0 && b == 0')" -gt 20 ] || fail "1080: no frame time at the top left"
caption_left=$(convert hd.png -crop 800x45+250+0 +repage -alpha off -depth 8 txt:- |
    awk -F'[ ,:()]+' 'NR > 1 && $3 >= 160 && $4 <= 90 && $5 <= 90 && ($1 < x || x == "") { x = $1 }
                      END { if (x != "") print x + 250 }')
echo "1080: the caption starts at x = $caption_left"
[ -n "$caption_left" ] && [ "$caption_left" -ge 300 ] && [ "$caption_left" -le 305 ] ||
    fail "1080: the caption starts at x = $caption_left, not 300"
# The graphs' y axes at x = 15, 190 and 370, from y = 935 to 1065.
for x in 15 190 370; do
    convert hd.png -crop "1x140+$x+930" +repage axis.png
    axis=$(pixels axis.png 'r == 224 && g == 224 && b == 224')
    [ "$axis" -ge 125 ] || fail "1080: no graph axis at x = $x ($axis pixels)"
done
# The panels: nothing of the white ground inside the text block or a graph,
# and mostly dark there (the scene seen through a quarter of it).
for area in 140x230+0+0 150x150+5+925 150x150+180+925 150x150+360+925; do
    convert hd.png -crop "$area" +repage area.png
    all=$(( $(identify -format '%w*%h' area.png) ))
    white=$(pixels area.png 'r == 255 && g == 255 && b == 255')
    dark=$(pixels area.png 'r <= 70 && g <= 70 && b <= 70')
    echo "1080: panel $area: $dark dark and $white white of $all pixels"
    [ "$white" = 0 ] || fail "1080: the scene shows undimmed in the panel at $area"
    [ "$dark" -gt $((all * 6 / 10)) ] || fail "1080: no dark panel at $area"
done
kill -TERM "$APP_PID"
wait_exit 2000 || fail "1080: the view did not end on SIGTERM"

# ---- 3840 x 2160: 4K reads like 1080p ----
start_app /s --step-frames --screenshot shot.png
xdotool search --sync --name '^Screen Saver$' >/dev/null || fail "no screen-saver window"
sleep 4
screenshot shot.png >/dev/null
[ "$(identify -format '%wx%h' shot.png)" = 3840x2160 ] || fail "4K: the frame is not the screen's size"
convert shot.png -crop 560x500+0+0 +repage uhd.png
mapfile -t lines < <(bands uhd.png "$TEXT")
echo "4K: statistics lines (top height): ${lines[*]}"
# Fifteen lines (the expert system's two action lines may be empty); the
# first and the last always show.
[ "${#lines[@]}" -ge 13 ] && [ "${#lines[@]}" -le 15 ] || fail "4K: ${#lines[@]} statistics lines"
step=$(( (${lines[-1]% *} - ${lines[0]% *}) / 14 ))
tallest=0
for band in "${lines[@]}"; do
    [ "${band#* }" -gt "$tallest" ] && tallest=${band#* }
done
echo "4K: a line every $step rows, letters up to $tallest rows high"
[ $((step * 1000)) -ge $((2160 * 12)) ] || fail "4K: the line step is $step rows, under 1.2 % of 2160"
[ "$tallest" -ge 16 ] || fail "4K: the letters are only $tallest rows high"
focus_and_key "$(xdotool search --name '^Screen Saver$' | head -n 1)" a
expect_exit 3000 "4K: a key press"
echo "screen sizes: ok"
