#!/usr/bin/env bash
# Run mode on a portrait screen (768 x 1024): the frame has the screen's
# shape and the whole world fits across it, its blue border clear of every
# edge, as it fits on a landscape screen; the caption is whole.
XVFB_SCREEN=768x1024x24
source "$(dirname "$0")/e2e_common.bash" "$1"
WIDTH=768
HEIGHT=1024
BLUE='r == 0 && g == 0 && b == 255'
RED='r == 255 && g == 0 && b == 0'

# Blue pixels on one edge of the frame: the world's border (or a trail)
# cut off there. The graphs keep 5 pixels from the edges.
edge_blue() {
    convert shot.png -crop "$1" +repage edge.png
    pixels edge.png "$BLUE"
}

start_app /s --screenshot shot.png
xdotool search --sync --name '^Screen Saver$' >/dev/null || fail "no screen-saver window"
sleep 2
frames=8
whole=0
for n in $(seq "$frames"); do
    screenshot shot.png >/dev/null
    size=$(identify -format '%wx%h' shot.png)
    [ "$size" = "${WIDTH}x$HEIGHT" ] || fail "the frame is $size, not the screen's ${WIDTH}x$HEIGHT"
    blue=$(pixels shot.png "$BLUE")
    cut=0
    for strip in "1x$HEIGHT+0+0" "1x$HEIGHT+$((WIDTH - 1))+0" "${WIDTH}x1+0+0" \
                 "${WIDTH}x1+0+$((HEIGHT - 1))"; do
        cut=$((cut + $(edge_blue "$strip")))
    done
    echo "frame $n: $blue blue pixels, $cut of them on the edges"
    if [ "$blue" -gt 500 ] && [ "$cut" = 0 ]; then
        whole=$((whole + 1))
        cp shot.png whole.png
    fi
    sleep 0.5
done
# The orbit comes close at times, when a corner may touch an edge (on a
# landscape screen too); a plain vertical angle cuts the world off at the
# sides in every frame.
[ "$whole" -ge 2 ] || fail "only $whole of $frames frames show the whole world"

convert whole.png -crop 500x45+262+0 +repage caption.png
[ "$(pixels caption.png "$RED")" -gt 300 ] || fail "no red caption"
convert whole.png -crop "1x45+$((WIDTH - 1))+0" +repage edge.png
[ "$(pixels edge.png "$RED")" = 0 ] || fail "the caption runs off the screen"

focus_and_key "$(xdotool search --name '^Screen Saver$' | head -n 1)" a
expect_exit 1000 "a key press"
echo "portrait: ok ($whole of $frames frames show the whole world)"
