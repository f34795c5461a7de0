#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Immagine" > "Carica_da_File": the player types a path into the dialog; the board shows the
# picture, and the next deal cuts it. Then cancelling the dialog changes nothing. The picture is
# a photo's size, 36 megapixels.
source "$(dirname "$0")/lib.sh"

picture="$OUT/la mia foto è.jpg"
convert -size 7360x4912 gradient:red-blue -fill yellow -draw "rectangle 0,0 3680,2456" "$picture"
convert "$picture" -resize '542x413!' "$OUT/load-expected.png"

start_display 1024x768
start_game
PICTURE=(176 16 542 413)

open_picture "$picture"
loaded() {
    shot loaded.png
    crop loaded.png "${PICTURE[@]}"
    d=$(difference "$OUT/load-expected.png" "$OUT/loaded-crop.png")
    below "$d" 0.08
}
eventually "the board does not show the loaded picture" loaded
echo "ok load: the board shows the picture (difference $d)"

menu c 12 # 6 X 5
click_at 447 532
cut() {
    shot loaded-dealt.png
    crop loaded-dealt.png "${PICTURE[@]}"
    d=$(difference "$OUT/load-expected.png" "$OUT/loaded-dealt-crop.png")
    # Its reference picture is the loaded one, yellow corner and all.
    below 0.03 "$d" && [[ $(count_colour loaded-dealt.png 744 320 145 97 '#FFFF00') -gt 500 ]]
}
eventually "the deal did not cut the loaded picture, with it as the reference" cut
echo "ok deal: 30 tiles cut from the loaded picture (difference $d)"

# Cancelling the dialog leaves the game as it was.
menu i 0 opens-dialog
DIALOG=$(wait_window '^Apri$')
sleep 0.3
xdotool windowfocus --sync "$DIALOG" key Escape
eventually "the dialog did not close on Escape" no_window '^Apri$'
sleep 0.3
shot cancelled.png
crop cancelled.png "${PICTURE[@]}"
d=$(difference "$OUT/loaded-dealt-crop.png" "$OUT/cancelled-crop.png")
below "$d" 0.001 || fail "cancel changed the board (difference $d)"
echo "ok cancel: the game goes on unchanged"
