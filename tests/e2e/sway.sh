#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Under a tiling compositor (sway, headless): the board floats at its own size over the
# background, whole on the screen, and stays so when the background takes the focus, 20 times;
# closed through the compositor, the game ends with code 0.
# E2E_CLIENT=xcb: the game through XWayland; its menu then drops under its title too.
# E2E_SWAY_LAYOUT=tiled: sway tiles the board instead (a rule of the player's): in its tile.
source "$(dirname "$0")/lib.sh"
CLIENT=${E2E_CLIENT:-wayland}
LAYOUT=${E2E_SWAY_LAYOUT:-floating}

RUNTIME=$(mktemp -d)
# sway will not run as root: then it runs as nobody, and the game, as root, may still connect.
as_user=()
if [[ $(id -u) == 0 ]]; then
    chown 65534:65534 "$RUNTIME"
    as_user=(setpriv --reuid 65534 --regid 65534 --clear-groups)
fi
chmod 700 "$RUNTIME"
printf 'output HEADLESS-1 resolution 1280x1024\n' >"$E2E_TMP/sway.conf"
# XWayland's display, named in a file, and open to the game even where sway runs as nobody.
[[ $CLIENT == xcb ]] &&
    printf 'exec sh -c "xhost +si:localuser:%s >/dev/null; echo \\$DISPLAY >%s/display"\n' \
        "$(id -un)" "$RUNTIME" >>"$E2E_TMP/sway.conf"
[[ $LAYOUT == tiled ]] && echo 'for_window [title="^Puzzle_3$"] floating disable' >>"$E2E_TMP/sway.conf"
chmod 644 "$E2E_TMP/sway.conf"
chmod 755 "$E2E_TMP"
env XDG_RUNTIME_DIR="$RUNTIME" WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    "${as_user[@]}" sway -c "$E2E_TMP/sway.conf" >"$OUT/$NAME-sway.log" 2>&1 &
HELPER_PIDS+=($!)
started() { [[ -S $RUNTIME/wayland-1 ]] && compgen -G "$RUNTIME/sway-ipc.*.sock" >/dev/null; }
eventually "sway did not start" started
# The game and the tools keep a runtime folder of their own; the socket is named by its path.
XDG_RUNTIME_DIR=$(mktemp -d)
chmod 700 "$XDG_RUNTIME_DIR"
export XDG_RUNTIME_DIR WAYLAND_DISPLAY=$RUNTIME/wayland-1
SWAYSOCK=$(compgen -G "$RUNTIME/sway-ipc.*.sock" | head -n1)
export SWAYSOCK
describe_screen() {
    swaymsg -t get_tree | jq -r '"sway shows (title type x,y WxH focused):", (.. | objects |
        select(.type? == "con" or .type? == "floating_con") |
        "\(.name) \(.type) \(.rect.x),\(.rect.y) \(.geometry.width)x\(.geometry.height) \(.focused)")'
}

GAME_ENV=(QT_QPA_PLATFORM="$CLIENT")
if [[ $CLIENT == xcb ]]; then
    eventually "XWayland did not start" test -s "$RUNTIME/display"
    XDISPLAY=$(cat "$RUNTIME/display")
    GAME_ENV+=(DISPLAY="$XDISPLAY")
    NAME=$NAME-xcb-$LAYOUT
fi
(exec env "${GAME_ENV[@]}" "$PUZZLE" 2>"$OUT/$NAME-game.log") &
GAME_PID=$!

node() { # TITLE -> the window's node as sway keeps it
    swaymsg -t get_tree | jq -c --arg t "$1" '.. | objects | select(.name? == $t)' | head -n1
}
# The box: answered with Return from a virtual keyboard, once the box has the focus. A slow
# start (sanitizers, no font cache) is no failure: up to a minute.
box_focused() { [[ $(node ' Schermo attuale' | jq .focused) == true ]]; }
for _ in $(seq 600); do box_focused 2>/dev/null && break; sleep 0.1; done
box_focused || fail "no resolution box"
# Keys only while the box has the focus: one pressed after it closed, while a loaded machine
# maps the board, goes to the background or the board.
board_up() {
    [[ -n $(node Puzzle_3) ]] && return 0
    box_focused || return 1
    if [[ $CLIENT == xcb ]]; then DISPLAY=$XDISPLAY xdotool key Return; else wtype -s 300 -k Return; fi
    return 1
}
eventually "the box was not answered, or no board" board_up

# Floating at its own size (924 wide on this screen, 600 high with the menu bar Qt draws up to 6.8,
# 603 with the taller one of Qt 6.11), whole on the screen, above the background;
# or, tiled, in a tile of its own beside the background's.
floating() {
    local board
    board=$(node Puzzle_3)
    read -r TYPE W H X Y T FOCUSED TILE_W TILE_H < <(jq -r '"\(.type) \(.geometry.width) \(.geometry.height) \(.rect.x) \(.rect.y) \(.deco_rect.height) \(.focused) \(.rect.width) \(.rect.height)"' <<<"$board")
    if [[ $LAYOUT == floating-after-tile ]]; then
        [[ $TYPE == floating_con ]] && ((X >= 0 && Y >= 0 && X + W <= 1280 && Y + H <= 1024))
    elif [[ $LAYOUT == tiled ]]; then
        # The tile shows what of the board fits in it; the board may have been mapped anew
        # already (below).
        [[ $TYPE == con || $TYPE == floating_con ]] &&
            ((X >= 0 && Y >= 0 && X + TILE_W <= 1280 && Y + TILE_H <= 1024 && TILE_W > 450 && TILE_H > 250))
    else
        [[ $TYPE == floating_con ]] && ((W == 924 && H >= 600 && H <= 603 && X >= 0 && Y >= 0 && X + W <= 1280 && Y + H <= 1024))
    fi
}
eventually "the board does not float at its own size" floating
echo "ok sway ($CLIENT, $LAYOUT): the board lies at $X,$Y, $W x $H"

# The photograph where the board is, not the light-yellow background.
photograph() {
    grim "$OUT/$NAME-board.png" || fail "no screenshot from sway"
    [[ $(pixel "$OUT/$NAME-board.png" $((X + 450)) $((Y + 250))) != FFFFC0* ]]
}
eventually "no photograph on the board" photograph

# sway centres the board each time it maps it, counting its own title bar or not as its
# decorations settle: the place may differ by that bar's height, never more.
X0=$X Y0=$Y
same_place() {
    floating && ((X == X0 && Y >= Y0 - T && Y <= Y0 + T)) && [[ $FOCUSED == true ]]
}
for round in $(seq 20); do
    swaymsg -q '[title="^Puzzle$"] focus' || fail "sway cannot focus the background"
    # Mapped anew, the tiled board floats at the size its tile gave it, centred, where sway
    # runs a window's rules once per X window (1.7), or is tiled again (1.10). From there on
    # it stays.
    if [[ $LAYOUT == tiled && $round == 1 ]]; then
        refloated() { floating && [[ $FOCUSED == true ]] && photograph && X0=$X Y0=$Y; }
        eventually "background focus 1: the board is not back in front" refloated
        [[ $TYPE == floating_con ]] && LAYOUT=floating-after-tile
    fi
    eventually "background focus $round: the board is not back in front at $X0,$Y0" same_place
done
eventually "no photograph on the board after the background took the focus" photograph
echo "ok sway: 20 times the background focused, the board floats back in place"

if [[ $CLIENT == xcb ]]; then
    menu_under_title "$XDISPLAY"
    echo "ok sway: the menu drops under its title, at $MENU_AT"
fi

swaymsg -q '[title="^Puzzle_3$"] kill' || fail "sway cannot close the board"
ends_well "closing the board" "$OUT/$NAME-game.log"
echo "ok sway: closed through the compositor, code 0, nothing printed"
