#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Screens players have, under openbox: two monitors with the primary one on the right (the box,
# the background and the board all on it), and a small laptop screen at 150 % where even the
# small layout is drawn smaller, so that every button stays on the screen.
source "$(dirname "$0")/lib.sh"

within() { # "X Y W H" of a window, then the monitor's X Y W H
    local x y w h
    read -r x y w h <<<"$1"
    ((x >= $2 && y >= $3 && x + w <= $2 + $4 && y + h <= $3 + $5))
}
launch() { # the game, its resolution box answered: BOX and BOARD hold their windows
    (exec env XDG_RUNTIME_DIR="$(mktemp -d)" "$PUZZLE" 2>"$E2E_TMP/stderr") &
    GAME_PID=$!
    BOX_RECT=$(window_rect "$(wait_window "Schermo attuale")")
    answer_box Return
}
background() { xdotool search --onlyvisible --name '^Puzzle$' | head -n1; }

# Two monitors: 1920 x 1080 on the left, the primary 1280 x 1024 on the right.
start_display 3200x1080
xrandr --setmonitor L 1920/508x1080/286+0+0 none >/dev/null
xrandr --setmonitor '*R' 1280/338x1024/270+1920+0 none >/dev/null
start_openbox
launch
within "$BOX_RECT" 1920 0 1280 1024 || fail "two monitors: the box is at $BOX_RECT, not on the primary monitor"
# The large layout, its client area from the primary monitor's corner (44, 82), the menu bar
# above it.
board_placed() {
    local x y w h
    read -r x y w h <<<"$(window_rect "$BOARD")"
    ((x == 1920 + 44 && y + h == 82 + 581 && w == 924))
}
eventually "two monitors: the board is at $(window_rect "$BOARD"), not from the primary monitor's corner" board_placed
sfondo=$(background)
read -r x y w h <<<"$(window_rect "$sfondo")"
((x == 1920 && w == 1280)) && within "$x $y $w $h" 1920 0 1280 1024 ||
    fail "two monitors: the background covers $(window_rect "$sfondo"), not the primary monitor"
import -window root "$OUT/$NAME-two-monitors.png" || fail "no screenshot"
[[ $(pixel "$OUT/$NAME-two-monitors.png" 1930 1000) == FFFFC0* ]] || fail "two monitors: no background on the primary monitor"
[[ $(pixel "$OUT/$NAME-two-monitors.png" 1900 1000) != FFFFC0* ]] || fail "two monitors: the background reaches the left monitor"
wmctrl -i -c "$BOARD"
ends_well "two monitors" "$E2E_TMP/stderr"
echo "ok two monitors: the box, the background and the board on the primary monitor"
cleanup
XVFB_PID=

# 1366 x 768 at 150 %: 911 x 512 logical pixels, too low even for the small layout.
start_display 1366x768
echo 'Xft.dpi: 144' | xrdb -merge
start_openbox
launch
frame_fits() {
    local x y w h left right top bottom
    read -r x y w h <<<"$(window_rect "$BOARD")"
    read -r left right top bottom <<<"$(xprop -id "$BOARD" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g')"
    [[ -n $bottom ]] && ((x - left >= 0 && y - top >= 0 && x + w + right <= 1366 && y + h + bottom <= 768))
}
eventually "1366 x 768 at 150 %: the board at $(window_rect "$BOARD") leaves the screen" frame_fits
read -r x y w h <<<"$(window_rect "$BOARD")"
# Everything shrinks by one factor: the board's width against the small layout's at 150 %.
factor=$(awk -v w="$w" 'BEGIN { print w / 742 }')
awk -v f="$factor" 'BEGIN { exit !(f > 1.2 && f < 1.5) }' || fail "1366 x 768 at 150 %: the board is $w wide"
import -window root "$OUT/$NAME-1366x768-150.png" || fail "no screenshot"
# "Esci", where the small layout has it, scaled: a click there ends the game.
read -r ex ey <<<"$(awk -v x="$x" -v y="$y" -v h="$h" -v f="$factor"     'BEGIN { printf "%d %d\n", x + (9240 + 1095 / 2) / 15 * f, y + h - 496 * f + (6360 + 495 / 2) / 15 * f }')"
xdotool mousemove --sync "$ex" "$ey" click 1
ends_well "1366 x 768 at 150 %: Esci" "$E2E_TMP/stderr"
echo "ok 1366 x 768 at 150 %: the board fits at $x,$y ${w}x$h (x $factor), Esci reached"
