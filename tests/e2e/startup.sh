#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The real game starts with the resolution box, then the board that suits the screen,
# showing the whole photograph on the light-yellow background.
source "$(dirname "$0")/lib.sh"

photo_shown() { # FILE
    shot "$1"
    [[ $(count_colour "$1" 180 30 360 300 '#FFFFC0') -lt 100 ]]
}

check_screen() { # SCREEN ANSWER EXPECTED_WIDTH
    start_display "$1"
    start_game "$2"
    [[ $WIN_W == "$3" ]] || fail "$1: board is $WIN_W wide, expected $3"
    local file="$NAME-$1.png"
    # The photograph fills Image1, the background around it is light yellow.
    eventually "$1: the photograph is not shown" photo_shown "$file"

    local yellow
    yellow=$(count_colour "$file" 0 0 100 200 '#FFFFC0')
    [[ $yellow -gt 15000 ]] || fail "$1: no light-yellow background ($yellow)"
    # The background window fills the screen behind the board.
    import -window root "$OUT/$NAME-$1-screen.png" || fail "no screenshot"
    local corner
    corner=$(pixel "$OUT/$NAME-$1-screen.png" 2 2)
    [[ $corner == FFFFC0* ]] || fail "$1: the screen corner is $corner, not the background"
    # ... and the board lies above it: the screen shows the photograph where the board has it.
    local middle
    middle=$(pixel "$OUT/$NAME-$1-screen.png" $((CLIENT_X + 300)) $((CLIENT_Y + 150)))
    [[ $middle != FFFFC0* ]] || fail "$1: the background covers the board"
    echo "ok $1: board $WIN_W x $CLIENT_H, screenshot $OUT/$file"
    cleanup
    GAME_PID=
    XVFB_PID=
}

check_screen 800x600 Return 742
check_screen 1024x768 Escape 924
check_screen 1280x1024 Return 924
