#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Under KDE's compositor (kwin_wayland, on a virtual screen), the game on Wayland and through
# XWayland: the board in front at its own size, neither resizable nor maximizable; 20 times the
# background activated, the board back in front, focused, where it was, with no focus loop;
# minimized and the background activated: back; closed through KWin: code 0. Clicks go through
# the fake-input helper given as second argument; without it, KWin activates the background.
source "$(dirname "$0")/lib.sh"
FAKEINPUT=$WMCLOSE
HOW=activated
[[ -n $FAKEINPUT ]] && HOW=clicked

# kwin_wayland carries a file capability that a container may not grant: a copy has none.
cp "$(command -v kwin_wayland)" "$E2E_TMP/kwin_wayland"
export HOME=$E2E_TMP/home XDG_CONFIG_HOME=$E2E_TMP/home/.config NO_AT_BRIDGE=1
mkdir -p "$HOME"
out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
HELPER_PIDS+=("$(tail -n1 <<<"$out")")
export DBUS_SESSION_BUS_ADDRESS=$(head -n1 <<<"$out")
RUNTIME=$(mktemp -d)
chmod 700 "$RUNTIME"
# KWin 5 gives up without the X sockets' folder, which on a machine that never ran an X server
# nobody has made yet: made as an X server makes it.
[[ -d /tmp/.X11-unix ]] || { mkdir -p /tmp/.X11-unix && chmod 1777 /tmp/.X11-unix; }
# Fake input from any client, as KWin allows its own tools.
XDG_RUNTIME_DIR=$RUNTIME KWIN_WAYLAND_NO_PERMISSION_CHECKS=1 "$E2E_TMP/kwin_wayland" --virtual --xwayland --width 1280 --height 1024 \
    -s puzzle-kde >"$OUT/$NAME-kwin.log" 2>&1 &
KWIN_PID=$!
HELPER_PIDS+=($KWIN_PID)

# KWin 6 speaks of windows where KWin 5 spoke of clients: every script gets the names of both.
COMPAT='const windows = () => workspace.windowList ? workspace.windowList() : workspace.clientList();
const activeWindow = () => workspace.windowList ? workspace.activeWindow : workspace.activeClient;
const activate = w => { if (workspace.windowList) workspace.activeWindow = w; else workspace.activeClient = w; };
const windowActivated = workspace.windowActivated || workspace.clientActivated;'
# KWin's X display: the lock of KWin 6 (which starts Xwayland at the first X client) or of the
# Xwayland KWin 5 started.
kwin_display() {
    local lock pid
    for lock in /tmp/.X*-lock; do
        [[ -e $lock ]] || continue
        pid=$(tr -d ' ' <"$lock")
        if [[ $pid == "$KWIN_PID" || $(ps -o ppid= -p "$pid" 2>/dev/null | tr -d ' ') == "$KWIN_PID" ]]; then
            lock=${lock#/tmp/.X}
            echo ":${lock%-lock}"
            return
        fi
    done
}
# KWin 6 leaves the lock and socket of its X display behind: removed once it is gone.
after_cleanup() { remove_x_displays_of "$KWIN_PID"; }
# KWin runs scripts it is given over the bus; what they print lands in its log, tagged.
SCRIPTS=0
kwin() { # JS [keep], which may print(TAG + ...) -> RESULT; kept scripts stay loaded
    SCRIPTS=$((SCRIPTS + 1))
    local file=$E2E_TMP/script$SCRIPTS.js line
    printf '%s\n' "const TAG = \"E2E$SCRIPTS \";" "$COMPAT" "$1" >"$file"
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.loadScript \
        "$file" "e2e$SCRIPTS" >/dev/null || return 1
    gdbus call --session -d org.kde.KWin -o /Scripting -m org.kde.kwin.Scripting.start >/dev/null || return 1
    for _ in $(seq 100); do
        line=$(grep -a -m1 "E2E$SCRIPTS " "$OUT/$NAME-kwin.log" || true)
        [[ -n $line ]] && break
        sleep 0.05
    done
    [[ ${2:-} == keep ]] || gdbus call --session -d org.kde.KWin -o /Scripting \
        -m org.kde.kwin.Scripting.unloadScript "e2e$SCRIPTS" >/dev/null || true
    [[ -n $line ]] || return 1
    RESULT=${line#*E2E$SCRIPTS }
}
started() { kwin 'print(TAG + "up")' && [[ $RESULT == up ]]; }
for _ in $(seq 300); do started 2>/dev/null && break; sleep 0.1; done
[[ ${RESULT:-} == up ]] || fail "kwin_wayland did not start: $(tail -n5 "$OUT/$NAME-kwin.log")"
# Every activation, as KWin sees it: a loop would show as more than two lines a round.
kwin 'windowActivated.connect(c => print("E2EFOCUS " + (c ? c.caption : "-"))); print(TAG + "ok")' keep ||
    fail "cannot watch activations"
# KWin reports "nobody" between two windows: only the windows count.
focus_changes() { grep -ac "E2EFOCUS [^-]" "$OUT/$NAME-kwin.log" || true; }
background_activations() { grep -ac "E2EFOCUS Puzzle$" "$OUT/$NAME-kwin.log" || true; }

# KWin drops the box's leading blank from its caption.
FIND='const find = t => windows().find(c => c.caption.trim() === t.trim());'
window() { # TITLE -> X Y W H ACTIVE MINIMIZED RESIZABLE MAXIMIZABLE IN_FRONT
    kwin "$FIND
const c = find('$1');
let out = 'none';
if (c) {
  const g = c.frameGeometry;
  const above = windows().filter(x => !x.minimized && (x.normalWindow || x.dialog)
                                           && x.stackingOrder > c.stackingOrder);
  // KWin 6 places windows at fractions of a pixel.
  out = [g.x, g.y, g.width, g.height].map(Math.round).concat([activeWindow() === c ? 1 : 0,
         c.minimized ? 1 : 0, c.resizeable ? 1 : 0, c.maximizable ? 1 : 0,
         above.length === 0 ? 1 : 0]).join(' ');
}
print(TAG + out);" || return 1
    [[ $RESULT != none ]] && read -r X Y W H FOCUSED MINIMIZED RESIZABLE MAXIMIZABLE FRONT <<<"$RESULT"
}
describe_screen() {
    if kwin 'print(TAG + windows().map(c => [c.caption, c.frameGeometry.x, c.frameGeometry.y,
        activeWindow() === c, c.minimized, c.stackingOrder].join(" ")).join(", "))'; then
        echo "KWin shows (caption x y active minimized stacking): $RESULT"
        return
    fi
    local state="running, off the bus" code=0
    if ! kill -0 "$KWIN_PID" 2>/dev/null; then
        wait "$KWIN_PID" || code=$?
        state="ended, code $code"
    fi
    echo "KWin does not answer ($state); its log ends:"
    tail -n 20 "$OUT/$NAME-kwin.log"
}
act() { kwin "$FIND $1; print(TAG + 'done')"; } # JS with find(TITLE)
board_in_front() { window Puzzle_3 && ((FOCUSED && FRONT && !MINIMIZED)); }
same_place() { board_in_front && ((X == X0 && Y == Y0)); }

check_mode() { # MODE: wayland, or xcb through XWayland
    local mode=$1 before after
    local game_env=(QT_QPA_PLATFORM="$mode" XDG_RUNTIME_DIR="$RUNTIME" WAYLAND_DISPLAY=puzzle-kde)
    if [[ $mode == xcb ]]; then
        local x11
        x11=$(kwin_display)
        [[ -n $x11 ]] || fail "kwin_wayland started no Xwayland"
        game_env+=(DISPLAY="$x11" WAYLAND_DISPLAY=)
    fi
    (exec env "${game_env[@]}" "$PUZZLE" 2>"$OUT/$NAME-$mode-game.log") &
    GAME_PID=$!
    # The box, answered by closing it (which the game takes as OK), once it is there.
    box_up() { window ' Schermo attuale'; }
    for _ in $(seq 300); do box_up 2>/dev/null && break; sleep 0.1; done
    box_up || { kwin 'print(TAG + windows().map(c => "[" + c.caption + "]").join(","))' || true; fail "$mode: no resolution box; KWin shows ${RESULT:-}"; }
    act "find(' Schermo attuale').closeWindow()"
    eventually "$mode: no board in front" board_in_front
    ((W >= 924 && H >= 600 && !RESIZABLE && !MAXIMIZABLE)) ||
        fail "$mode: the board is $W x $H, resizable $RESIZABLE, maximizable $MAXIMIZABLE"
    echo "ok kde $mode: the board in front at $X,$Y, $W x $H, neither resizable nor maximizable"

    # A click on a point of the background the board does not cover, found anew each time.
    background() {
        if [[ -z $FAKEINPUT ]]; then
            act "activate(find('Puzzle'))"
            return
        fi
        local bx by
        window Puzzle || fail "$mode: no background"
        bx=$((X + W - 10)) by=$((Y + H - 10))
        window Puzzle_3 || fail "$mode: no board"
        ((bx < X || bx >= X + W || by < Y || by >= Y + H)) || fail "$mode: the board covers the background"
        XDG_RUNTIME_DIR=$RUNTIME WAYLAND_DISPLAY=puzzle-kde "$FAKEINPUT" "$bx" "$by" || fail "$mode: no click"
    }
    before=$(focus_changes)
    activated_since() { (($(background_activations) > $1)); }
    for round in $(seq 20); do
        local taken
        taken=$(background_activations)
        background
        # Each round reaches KWin: the background is activated, then the board comes back.
        # (Through XWayland KWin now and then leaves a click on the background without
        # activating it, 1 run in 5; the board then simply stays in front.)
        [[ $mode == xcb ]] ||
            eventually "$mode: round $round: KWin never activated the background" activated_since "$taken"
        if ((round == 1)); then
            eventually "$mode: background activated: the board is not back in front" board_in_front
            read -r X0 Y0 <<<"$X $Y"
        fi
        eventually "$mode: background activated $round times: the board is not back in front at $X0,$Y0" same_place
    done
    after=$(focus_changes)
    ((after - before <= 40)) || fail "$mode: $((after - before)) activations for 20 rounds"
    echo "ok kde $mode: 20 times the background $HOW, the board back at $X0,$Y0, $((after - before)) activations"

    # Asked at once: the background takes the focus next, and the board may come back
    # before another look.
    kwin "$FIND const c = find('Puzzle_3'); c.minimized = true; print(TAG + c.minimized)"
    [[ $RESULT == true ]] || fail "$mode: KWin did not minimize the board"
    background
    eventually "$mode: a minimized board did not come back" board_in_front
    echo "ok kde $mode: minimized, back after the background was $HOW"

    act "find('Puzzle_3').closeWindow()"
    ends_well "$mode: closing the board" "$OUT/$NAME-$mode-game.log"
    echo "ok kde $mode: closed through KWin, code 0, nothing printed"
}

check_mode wayland
check_mode xcb
