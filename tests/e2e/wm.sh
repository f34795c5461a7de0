#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Under real window managers (GNOME's and KDE's among them): the board in front of the maximized
# background and focused after each of 20 clicks on it, after clicks on the background's title
# bar and after a pager's activation of the background, a fixed size that no window manager
# offers to change, back from minimized when the background is clicked, closed through the
# window manager with code 0; and a scaled screen that gets the layout that fits.
source "$(dirname "$0")/lib.sh"

start_wm() { # NAME
    case $1 in
    openbox) openbox --sm-disable 2>/dev/null & ;;
    metacity) metacity --sm-disable 2>/dev/null & ;;
    xfwm4 | mutter | kwin_x11)
        # These read their settings over a session bus: a private one, for each alone, and a
        # home of its own.
        local bus
        bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
        HELPER_PIDS+=("$(tail -n1 <<<"$bus")")
        mkdir -p "$E2E_TMP/home-$1"
        local wm=(xfwm4 --compositor=off --sm-client-disable)
        [[ $1 == mutter ]] && wm=(mutter --x11 --sm-disable)
        [[ $1 == kwin_x11 ]] && wm=(kwin_x11)
        DBUS_SESSION_BUS_ADDRESS=$(head -n1 <<<"$bus") NO_AT_BRIDGE=1 HOME="$E2E_TMP/home-$1" \
            "${wm[@]}" >"$OUT/$NAME-$1.log" 2>&1 &
        ;;
    esac
    HELPER_PIDS+=($!)
    wait_wm "$1"
}

frame_top() { # WINDOW -> the height of the frame above it (its title bar), 0 without one
    local extents
    extents=$(xprop -id "$1" _NET_FRAME_EXTENTS)
    [[ $extents =~ =\ *[0-9]+,\ *[0-9]+,\ *([0-9]+), ]] && echo "${BASH_REMATCH[1]}" || echo 0
}
stack_top() { xprop -root _NET_CLIENT_LIST_STACKING | awk '{ print $NF }'; }
board_on_top() { [[ $(($(stack_top))) == "$BOARD" ]]; }
board_shown() { xprop -id "$BOARD" WM_STATE | grep -q 'state: Normal' && board_on_top; }
background() { # the background window, as the window manager lists it
    local id
    for id in $(xprop -root _NET_CLIENT_LIST | sed 's/.*#//; s/,/ /g'); do
        [[ $(xdotool getwindowname "$id") == Puzzle ]] && echo "$id" && return 0
    done
    return 1
}

check_wm() { # NAME
    local wm=$1 sfondo hints
    start_display 1024x768
    start_wm "$wm"
    start_game
    eventually "$wm: the board is not in front" board_on_top
    sfondo=$(background) || fail "$wm: no background window"
    maximized() { xprop -id "$sfondo" _NET_WM_STATE | grep MAXIMIZED_VERT | grep -q MAXIMIZED_HORZ; }
    eventually "$wm: background not maximized" maximized

    # The hints a window manager acts on: minimum and maximum size both the board's size.
    hints=$(xprop -id "$BOARD" WM_NORMAL_HINTS)
    grep -q "minimum size: $WIN_W by $WIN_H" <<<"$hints" || fail "$wm: minimum size: $hints"
    grep -q "maximum size: $WIN_W by $WIN_H" <<<"$hints" || fail "$wm: maximum size: $hints"
    if xprop -id "$BOARD" _NET_WM_ALLOWED_ACTIONS | grep -Eq 'ACTION_(RESIZE|MAXIMIZE)'; then
        fail "$wm offers: $(xprop -id "$BOARD" _NET_WM_ALLOWED_ACTIONS)"
    fi
    # Asked to maximize all the same (a key binding does that), the board keeps its size.
    wmctrl -i -r "$BOARD" -b add,maximized_vert,maximized_horz
    sleep 0.3
    board_geometry
    [[ $WIN_H -lt 650 ]] || fail "$wm: the board grew to $WIN_W x $WIN_H"

    # 20 clicks on the background: the board in front, focused, each time where the first left it
    # (the window manager may still be undoing the maximize above).
    local place=
    geometry() { xwininfo -id "$BOARD" | grep -E 'Absolute|Width|Height'; }
    board_back() {
        board_on_top && [[ $(xprop -root _NET_ACTIVE_WINDOW) == *"$(printf '0x%x' "$BOARD")"* ]] &&
            [[ -z $place || $(geometry) == "$place" ]]
    }
    for click in $(seq 20); do
        xdotool mousemove 1000 740 click 1
        eventually "$wm: background click $click: the board is not back in front, focused, in place" board_back
        [[ -n $place ]] || place=$(geometry)
    done

    # The background's title bar clicked, then the background activated as a pager or taskbar
    # does: the board is back in front, focused, in place, every time. The click lands halfway
    # down the title bar, in the middle of the screen, above the board's own frame; KWin draws
    # no title bar on a maximized window.
    local top=0 board_top titled=
    if [[ $wm != kwin_x11 ]]; then
        title_bar() { top=$(frame_top "$sfondo") && ((top > 0)); }
        eventually "$wm: the background has no title bar" title_bar
        board_top=$((WIN_Y - $(frame_top "$BOARD")))
        ((top / 2 < board_top)) || fail "$wm: the board covers the background's title bar"
        titled="title-bar clicks and "
    fi
    for round in $(seq 5); do
        if ((top > 0)); then
            # Quick, or held as a hand holds it: the manager may be moving the background
            # meanwhile, when it refuses to focus another window.
            if ((round % 2)); then
                xdotool mousemove 512 $((top / 2)) click 1
            else
                xdotool mousemove 512 $((top / 2)) mousedown 1 sleep 0.2 mouseup 1
            fi
            eventually "$wm: title-bar click $round: the board is not back in front, focused, in place" board_back
        fi
        xdotool windowactivate "$sfondo"
        eventually "$wm: pager activation $round: the board is not back in front, focused, in place" board_back
    done

    # Minimized, then the background clicked: the board is back in front, every time.
    for round in 1 2 3; do
        xdotool windowminimize "$BOARD"
        sleep 0.3
        xdotool mousemove 1000 740 click 1
        eventually "$wm: the board did not come back (round $round)" board_shown
    done
    shot "$NAME-$wm.png"

    # Closed through the window manager: the game ends with code 0, no window left.
    wmctrl -i -c "$BOARD"
    ends_well "$wm: closing"
    echo "ok $wm: in front, fixed size, 20 background clicks, ${titled}pager activations, back from minimized, closed with code 0"
    cleanup
    XVFB_PID=
}

for wm in ${E2E_WMS:-openbox metacity xfwm4 mutter kwin_x11}; do
    # mutter 49 manages Wayland sessions only (the GNOME check has those).
    if [[ $wm == mutter ]] && ! mutter --help 2>&1 | grep -q -- --x11; then
        echo "skipped mutter: this mutter has no X11 mode"
        continue
    fi
    check_wm "$wm"
done

# A 1600 x 1200 screen at scale 2 has the room of an 800 x 600 one: the small layout, all on it.
start_display 1600x1200
start_wm openbox
GAME_ENV=(QT_SCALE_FACTOR=2)
E2E_SCALE=2 start_game
[[ $WIN_W == 1484 ]] || fail "scale 2: the board is $WIN_W wide, not the small layout"
((WIN_X + WIN_W <= 1600 && WIN_Y + WIN_H <= 1200)) || fail "scale 2: the board leaves the screen"
shot "$NAME-scale2.png"
echo "ok scale 2: small layout, $WIN_W x $WIN_H at $WIN_X,$WIN_Y"
