#!/usr/bin/env bash
# "Immagine" > "Carica_da_File": the player types a path into the dialog; the board shows the
# picture, and the next deal cuts it. Then the grid and option menus, each seen to work.
source "$(dirname "$0")/lib.sh"

picture="$OUT/la mia foto è.jpg"
convert -size 300x200 gradient:red-blue -fill yellow -draw "rectangle 0,0 150,100" "$picture"
convert "$picture" -resize '542x413!' "$OUT/load-expected.png"

start_display 1024x768
start_game
PICTURE=(176 16 542 413)

menu i 0 # Carica_da_File
DIALOG=$(wait_window '^Apri$')
sleep 0.5
xdotool windowfocus --sync "$DIALOG"
xdotool type --delay 5 "$picture"
xdotool key Return
sleep 0.8
xdotool search --onlyvisible --name '^Apri$' >/dev/null 2>&1 && fail "the dialog stayed open"
shot loaded.png
crop loaded.png "${PICTURE[@]}"
d=$(difference "$OUT/load-expected.png" "$OUT/loaded-crop.png")
below "$d" 0.08 || fail "the board does not show the loaded picture (difference $d)"
echo "ok load: the board shows the picture (difference $d)"

menu c 12 # 6 X 5
click_at 447 532
sleep 0.3
shot loaded-dealt.png
crop loaded-dealt.png "${PICTURE[@]}"
d=$(difference "$OUT/load-expected.png" "$OUT/loaded-dealt-crop.png")
below 0.03 "$d" || fail "the deal did not cut the loaded picture (difference $d)"
# Its reference picture is the loaded one: mostly red, yellow and blue, no photograph green.
[[ $(count_colour loaded-dealt.png 744 320 145 97 '#FFFF00') -gt 500 ]] || fail "the reference picture is not the loaded one"
echo "ok deal: 30 tiles cut from the loaded picture (difference $d)"

# Cancelling the dialog leaves the game as it was.
menu i 0
DIALOG=$(wait_window '^Apri$')
sleep 0.3
xdotool windowfocus --sync "$DIALOG" key Escape
sleep 0.5
shot cancelled.png
crop cancelled.png "${PICTURE[@]}"
d=$(difference "$OUT/loaded-dealt-crop.png" "$OUT/cancelled-crop.png")
below "$d" 0.001 || fail "cancel changed the board (difference $d)"
echo "ok cancel: the game goes on unchanged"
