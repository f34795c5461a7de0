#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
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
dealt() {
    shot dealt.png
    crop dealt.png "${PICTURE[@]}"
    changed=$(difference "$OUT/before-crop.png" "$OUT/dealt-crop.png")
    below 0.05 "$changed" && [[ $(count_colour dealt.png "${ERRATI[@]}" '#FF0000') -gt 8 ]]
}
eventually "the deal did not shuffle the picture and show the counters" dealt
echo "ok deal: the tiles are shuffled (difference $changed), the counters show"

complete() { # METHOD
    shot "complete-$1.png"
    crop "complete-$1.png" "${PICTURE[@]}"
    left=$(difference "$OUT/before-crop.png" "$OUT/complete-$1-crop.png")
    [[ $(count_colour "complete-$1.png" "${LABEL1[@]}" '#FF0000') -gt 100 ]] && below "$left" 0.06
}
expect_complete() { # METHOD
    eventually "$1: no congratulation under a board showing the picture" complete "$1"
    echo "ok $1: completed, the board shows the picture (difference $left)"
}
marked() { # FILE: the orange mark on the lower tile
    shot "$1"
    [[ $(count_colour "$1" 176 222 542 206 '#FF8C00') -gt 200 ]]
}
dealt_again() { # the lower tile no longer shows the bottom half of the picture
    shot redealt.png
    crop redealt.png 176 222 542 206 redealt-lower.png
    crop before.png 176 222 542 206 before-lower.png
    below 0.05 "$(difference "$OUT/before-lower.png" "$OUT/redealt-lower.png")"
}

# --- swap play: drag one tile onto the other ---
menu c 0 # 1 X 2
click_at "${DEAL[@]}"
eventually "1 X 2 was not dealt" dealt_again
point "${TILE0[@]}"
xdotool mousedown 1
point 447 250
point "${TILE1[@]}"
eventually "the tile under a dragged tile is not marked" marked dragging.png
xdotool mouseup 1
expect_complete swap

# --- two-step play: a click picks up, the next puts down ---
menu o 4 # Scambio in Due Tempi
click_at "${DEAL[@]}"
eventually "two-step: not dealt" dealt_again
click_at "${TILE0[@]}"
point 447 250
point "${TILE1[@]}"
eventually "two-step: no mark under the carried tile" marked picked-up.png
click_at "${TILE1[@]}"
expect_complete two-step

# --- click play: take a tile, fill the gap, put the spare tile back ---
menu o 5 # Con Click
click_at "${DEAL[@]}"
eventually "click: not dealt" dealt_again
click_at "${TILE0[@]}"
gap() {
    shot taken.png
    [[ $(count_colour taken.png 200 30 480 170 '#FFFFC0') -gt 50000 ]]
}
eventually "click: the first click left no gap" gap
click_at "${TILE1[@]}"
click_at "${SPARE[@]}"
expect_complete click
