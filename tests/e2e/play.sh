#!/usr/bin/env bash
# A deal, then a game played to completion in each of the three move methods, with the mouse.
# The two-tile grid "1 X 2" is always dealt exchanged, so every game here has a known answer.
source "$(dirname "$0")/lib.sh"

start_display 1024x768
start_game
# Puzzle_03, in client-area pixels.
DEAL=(447 532)
TILE0=(447 119)
TILE1=(447 325)
SPARE=(80 132)
LABEL1=(160 448 576 53)
ERRATI=(744 72 153 33)
PICTURE=(176 16 542 413)

# --- dealing ---
shot before.png
crop before.png "${PICTURE[@]}"
click_at "${DEAL[@]}"
sleep 0.3
shot dealt.png
crop dealt.png "${PICTURE[@]}"
changed=$(difference "$OUT/before-crop.png" "$OUT/dealt-crop.png")
below 0.05 "$changed" || fail "the deal did not shuffle the picture (difference $changed)"
[[ $(count_colour dealt.png "${ERRATI[@]}" '#FF0000') -gt 20 ]] || fail "no count of tiles to place after the deal"
echo "ok deal: the tiles are shuffled (difference $changed), the counters show"

expect_complete() { # METHOD
    sleep 0.3
    shot "complete-$1.png"
    crop "complete-$1.png" "${PICTURE[@]}"
    local red left
    red=$(count_colour "complete-$1.png" "${LABEL1[@]}" '#FF0000')
    [[ $red -gt 100 ]] || fail "$1: no congratulation under the board"
    left=$(difference "$OUT/before-crop.png" "$OUT/complete-$1-crop.png")
    below "$left" 0.06 || fail "$1: the finished board does not show the picture (difference $left)"
    echo "ok $1: completed, the board shows the picture (difference $left)"
}

# --- swap play: drag one tile onto the other ---
menu c 0 # 1 X 2
click_at "${DEAL[@]}"
point "${TILE0[@]}"
xdotool mousedown 1
point 447 250
point "${TILE1[@]}"
sleep 0.2
shot dragging.png
highlight=$(count_colour dragging.png 176 222 542 206 '#FF8C00')
[[ $highlight -gt 200 ]] || fail "the tile under a dragged tile is not marked ($highlight)"
xdotool mouseup 1
expect_complete swap

# --- two-step play: a click picks up, the next puts down ---
menu o 4 # Scambio in Due Tempi
click_at "${DEAL[@]}"
click_at "${TILE0[@]}"
point 447 250
point "${TILE1[@]}"
sleep 0.2
shot picked-up.png
[[ $(count_colour picked-up.png 176 222 542 206 '#FF8C00') -gt 200 ]] || fail "two-step: no mark under the carried tile"
click_at "${TILE1[@]}"
expect_complete two-step

# --- click play: take a tile, fill the gap, put the spare tile back ---
menu o 5 # Con Click
click_at "${DEAL[@]}"
click_at "${TILE0[@]}"
sleep 0.2
shot taken.png
[[ $(count_colour taken.png 200 30 480 170 '#FFFFC0') -gt 50000 ]] || fail "click: the first click left no gap"
click_at "${TILE1[@]}"
click_at "${SPARE[@]}"
expect_complete click
