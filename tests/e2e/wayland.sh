#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# On a Wayland session (weston, drawn into a window of our own X display so that xdotool can
# drive it): the box, the board in front, a click on the background that must not bury it, a
# maximize that must not end the game, a minimize that must not lose the board, a deal, "Esci".
# E2E_CLIENT=xcb: the game through weston's XWayland: the box, the board in front, focused and in
# place after each of 20 background clicks, the menu under its title, "Esci".
source "$(dirname "$0")/lib.sh"
CLIENT=${E2E_CLIENT:-wayland}
[[ $CLIENT == xcb ]] && NAME=$NAME-xcb

start_display 1280x1024
RUNTIME=$(mktemp -d)
chmod 700 "$RUNTIME"
xwayland=()
[[ $CLIENT == xcb ]] && xwayland=(--xwayland)
# --debug: weston tells its scene (every window's place, front to back) to weston-debug.
XDG_RUNTIME_DIR=$RUNTIME weston --debug --backend=x11-backend.so --width=1024 --height=768 \
    --socket=puzzle-wl --idle-time=0 "${xwayland[@]}" >"$OUT/$NAME-weston.log" 2>&1 &
HELPER_PIDS+=($!)
weston_window() { xwininfo -root -tree | awk '/Weston Compositor/ { print $1; exit }'; }
for _ in $(seq 100); do
    WESTON=$(weston_window)
    [[ -n $WESTON && -S $RUNTIME/puzzle-wl ]] && break
    sleep 0.1
done
[[ -n $WESTON ]] || fail "weston did not start"

GAME_ENV=(XDG_RUNTIME_DIR="$RUNTIME" WAYLAND_DISPLAY=puzzle-wl QT_QPA_PLATFORM="$CLIENT")
if [[ $CLIENT == xcb ]]; then
    xserver() { XDISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$OUT/$NAME-weston.log") && [[ -n $XDISPLAY ]]; }
    eventually "weston's XWayland did not start" xserver
    GAME_ENV+=(DISPLAY="$XDISPLAY")
fi
(exec env "${GAME_ENV[@]}" "$PUZZLE" 2>"$OUT/$NAME-game.log") &
GAME_PID=$!

screen() { import -window "$WESTON" "$OUT/$NAME-$1.png" || fail "no screenshot of weston"; }
at() { xdotool mousemove --window "$WESTON" "$1" "$2"; }
# The board's frame, where weston shows it: "W H X Y FRONT", FRONT 1 when no other window of the
# game lies above it. Weston places a window by rules of its own (10 in the middle, 14 in the
# corner, over the background's title bar), so the place is asked, not guessed from pixels.
board_box() {
    XDG_RUNTIME_DIR=$RUNTIME WAYLAND_DISPLAY=puzzle-wl timeout 5 weston-debug scene-graph 2>/dev/null | awk "
        /^[[:space:]]*View / { view++; board = index(\$0, \"'Puzzle_3'\") > 0; window = / PID /&& !/cursor|panel for|background for/ }
        window && !first { first = view }
        board && /$BOX_LINE/ { gsub(/[^0-9]+/, \" \"); print \$3 - \$1, \$4 - \$2, \$1, \$2, first == view; exit }"
}
# Weston frames an X window itself, with a wide shadow: its frame is the view's opaque part.
BOX_LINE=position:
[[ $CLIENT == xcb ]] && BOX_LINE=opaque:
board_in_front() { # SHOT: a board-sized frame in front, the photograph in it
    local front
    read -r BW BH BX BY front < <(board_box) || return 1
    ((front && BW >= 924 && BW < 1000 && BH > 600)) || return 1
    screen "$1"
    # The photograph's middle, where the background would be light yellow.
    [[ $(pixel "$OUT/$NAME-$1.png" $((BX + 450)) $((BY + 250))) != FFFFC0* ]]
}

# The box: a light rectangle on weston's grey desktop, wherever weston placed it.
box_shown() {
    screen box
    local light
    light=$(convert "$OUT/$NAME-box.png" -crop 1024x736+0+32 +repage -colorspace Gray -threshold 85% \
        -format '%[fx:round(mean*w*h)]' info:)
    ((light > 15000))
}
eventually "no resolution box" box_shown
sleep 0.5
at 900 16 # keys go where the pointer is: into weston's window
xdotool key Return
eventually "no board in front after the box" board_in_front start
echo "ok wayland: board in front at $BX,$BY ($BW x $BH)"

# Client-area origin: inside the frame Qt draws (3 px sides, 30 px title), below the 18 px menu
# bar; a board that came up larger (weston may size it so) has its client area in the middle.
client() { CX=$((BX + 3 + (BW - 930) / 2)) CY=$((BY + 48 + (BH - 632) / 2)); }
client

# A point of the background beside the board, wherever weston put the board, reached by a last
# step inside the background as a hand moves a pointer: weston 12 and later follow the entry
# into a window with the move's length alone, which XWayland adds to the place the entry gave,
# so a press at once after a jump lands that far beyond the pointer.
background_point() { if ((BX >= 10)); then at 6 400 && at 5 400; else at 1017 400 && at 1018 400; fi; }
# Through XWayland the board also has the X input focus, and its place is the X server's.
focused() { [[ $CLIENT != xcb || $(DISPLAY=$XDISPLAY xdotool getwindowfocus getwindowname) == Puzzle_3 ]]; }
if [[ $CLIENT == xcb ]]; then
    board_rect() { DISPLAY=$XDISPLAY window_rect "$(DISPLAY=$XDISPLAY xdotool search --onlyvisible --name '^Puzzle_3$' | head -n1)"; }
    placed() { focused && read -r X0 Y0 _ <<<"$(board_rect)" && [[ -n $Y0 ]]; }
    eventually "no focused board after the box" placed
    for click in $(seq 20); do
        background_point
        xdotool click 1
        at 600 10
        in_place() {
            local bx by
            read -r bx by _ <<<"$(board_rect)"
            screen after-background
            [[ $(pixel "$OUT/$NAME-after-background.png" $((bx + 450)) $((by + 250))) != FFFFC0* ]] &&
                focused && ((bx == X0 && by == Y0))
        }
        eventually "background click $click: the board is not in front and focused at $X0,$Y0" in_place
    done
    echo "ok wayland (xcb): 20 background clicks, the board in front and focused at $X0,$Y0 each time"
    menu_under_title "$XDISPLAY"
    echo "ok wayland (xcb): the menu drops under its title, at $MENU_AT"
    # "Esci", where the X server has the board, reached by a last step inside the board (as the
    # background is, above).
    BOARD=$(DISPLAY=$XDISPLAY xdotool search --onlyvisible --name '^Puzzle_3$' | head -n1)
    DISPLAY=$XDISPLAY board_geometry
    at $((CLIENT_X + 835)) $((CLIENT_Y + 528))
    at $((CLIENT_X + 836)) $((CLIENT_Y + 528))
    xdotool click 1
    ends_well Esci "$OUT/$NAME-game.log"
    echo "ok wayland (xcb): Esci (code 0), nothing printed"
    exit 0
fi

# Clicks on the background, 20 in a row: the board comes back in front each time, where it was.
same_place() { board_in_front after-background && ((BX == X0 && BY == Y0)); }
for click in $(seq 20); do
    background_point
    xdotool click 1
    at 600 10 # the pointer out of the picture: onto weston's panel
    # Where the board comes back after the first click is where it must stay: weston places a
    # window mapped anew by rules of its own, now and then not where the first one was. The
    # place is taken once two looks in a row agree.
    if ((click == 1)); then
        X0=-1 Y0=-1
        settled() { same_place || { board_in_front after-background && read -r X0 Y0 <<<"$BX $BY" && false; }; }
        eventually "background click 1: the board is not back in front, in one place" settled
    fi
    eventually "background click $click: no board in front at $X0,$Y0" same_place
done
echo "ok wayland: 20 background clicks, the board in front at $X0,$Y0 each time"
client

# The title bar Qt draws: close, maximize and minimize, right to left, 23 px apart.
title_button() { at $((BX + BW - 18 - 23 * $1)) $((BY + 14)); xdotool click 1; sleep 1; }
# Maximize: the game goes on, at its own size.
title_button 1
kill -0 "$GAME_PID" 2>/dev/null || fail "maximize ended the game: $(cat "$OUT/$NAME-game.log")"
eventually "after maximize, no board of its own size in front" board_in_front after-maximize
# Minimize, then a click on the background: the board is back.
title_button 2
background_point
xdotool click 1
eventually "a minimized board did not come back" board_in_front after-minimize
client

# A deal changes what the photograph's place shows; "Esci" ends the game with code 0. The board
# is found anew before each click and each look: weston may have placed it elsewhere.
picture() { # SHOT: the photograph's place on the board found in it
    convert "$OUT/$NAME-$1.png" -crop "542x413+$((CX + 176))+$((CY + 16))" +repage "$OUT/$NAME-$1-picture.png" ||
        fail "cannot crop $1"
}
eventually "no board before the deal" board_in_front before-deal
client
picture before-deal
at $((CX + 447)) $((CY + 532))
xdotool click 1
dealt() {
    board_in_front dealt || return 1
    client
    picture dealt
    below 0.05 "$(difference "$OUT/$NAME-before-deal-picture.png" "$OUT/$NAME-dealt-picture.png")"
}
eventually "the deal changed nothing" dealt
at $((CX + 836)) $((CY + 528))
xdotool click 1
ends_well Esci "$OUT/$NAME-game.log"
echo "ok wayland: background click, maximize, minimize, deal, Esci (code 0), nothing printed"
