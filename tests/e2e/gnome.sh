#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Under GNOME (gnome-shell, headless, on a virtual monitor), the game on Wayland and through
# XWayland: the board in front at its own size, neither resizable nor maximizable; 20 clicks on
# the background, each leaving the board in front, focused, where it was, with no focus loop;
# minimized and the background clicked: back; closed through the shell: code 0.
source "$(dirname "$0")/lib.sh"

# gnome-shell in a home of its own, with a one-line extension that lets this check ask it
# questions and move its virtual pointer (org.gnome.Shell.Eval).
export HOME=$E2E_TMP/home XDG_CONFIG_HOME=$E2E_TMP/home/.config XDG_DATA_HOME=$E2E_TMP/home/.local/share
ext=$XDG_DATA_HOME/gnome-shell/extensions/e2e@puzzle
mkdir -p "$ext" "$XDG_CONFIG_HOME/glib-2.0/settings"
# Since GNOME 45 an extension is a module, and the shell loads only those made for its version.
version=$(gnome-shell --version | sed -n 's/^GNOME Shell \([0-9]*\).*/\1/p')
echo "{\"uuid\": \"e2e@puzzle\", \"name\": \"e2e\", \"description\": \"e2e\", \"shell-version\": [\"$version\"]}" >"$ext/metadata.json"
if ((version >= 45)); then
    printf '%s\n' "import Clutter from 'gi://Clutter';" "import Meta from 'gi://Meta';" \
        "import * as Main from 'resource:///org/gnome/shell/ui/main.js';" \
        'export default class { enable() { global.context.unsafe_mode = true; globalThis.e2eModules = {Clutter, Meta, Main}; } disable() {} }' \
        >"$ext/extension.js"
else
    printf '%s\n' 'function init() {}' \
        'function enable() { global.context.unsafe_mode = true; globalThis.e2eModules = {Clutter: imports.gi.Clutter, Meta: imports.gi.Meta, Main: imports.ui.main}; }' \
        'function disable() {}' >"$ext/extension.js"
fi
printf '%s\n' '[org/gnome/shell]' "enabled-extensions=['e2e@puzzle']" \
    "welcome-dialog-last-shown-version='999'" >"$XDG_CONFIG_HOME/glib-2.0/settings/keyfile"
export GSETTINGS_BACKEND=keyfile NO_AT_BRIDGE=1
# A session bus, and a stand-in for the system bus: the shell asks logind there, nobody answers.
for bus in DBUS_SESSION_BUS_ADDRESS DBUS_SYSTEM_BUS_ADDRESS; do
    out=$(dbus-daemon --session --fork --print-address=1 --print-pid=1)
    HELPER_PIDS+=("$(tail -n1 <<<"$out")")
    export "$bus=$(head -n1 <<<"$out")"
done
# Xwayland's socket folder must be world-writable and sticky, or mutter will not start it.
mkdir -p -m 1777 /tmp/.X11-unix 2>/dev/null || true # an X server of another check may be first
[[ $(stat -c %a /tmp/.X11-unix) == 1777 ]] || chmod 1777 /tmp/.X11-unix 2>/dev/null ||
    fail "/tmp/.X11-unix is not world-writable and sticky: Xwayland cannot start"
RUNTIME=$(mktemp -d)
chmod 700 "$RUNTIME"
# GNOME 49 has no session manager to keep away.
sm_disable=$(gnome-shell --help 2>&1 | grep -o -- --sm-disable || true)
XDG_RUNTIME_DIR=$RUNTIME gnome-shell --wayland --headless --virtual-monitor 1280x1024 \
    --wayland-display puzzle-gnome $sm_disable >"$OUT/$NAME-shell.log" 2>&1 &
SHELL_PID=$!
HELPER_PIDS+=($SHELL_PID)
# mutter leaves the lock files and sockets of its X displays behind: removed once it is gone.
after_cleanup() { remove_x_displays_of "$SHELL_PID"; }

shell() { # JS -> its value, as the shell gives it back (a string without quotes)
    local out
    out=$(gdbus call --session -d org.gnome.Shell -o /org/gnome/Shell -m org.gnome.Shell.Eval "$1" 2>&1) ||
        return 1
    [[ $out =~ ^\(true,\ \'\"?(.*)\"?\'\)$ ]] || return 1
    RESULT=${BASH_REMATCH[1]%\"}
}
# What the check asks the shell: a window's frame and state, the one in front, focus changes.
tools='const {Clutter: C, Meta, Main} = globalThis.e2eModules;
// GNOME 51 reaches the Clutter backend through the stage only.
const seat = (C.get_default_backend ? C.get_default_backend() : global.stage.context.get_backend())
  .get_default_seat();
global.win = t => global.display.list_all_windows().find(w => w.title === t);
const time = () => C.get_current_event_time() * 1000;
const win = global.win;
global.e2e = {
  pointer: seat.create_virtual_device(C.InputDeviceType.POINTER_DEVICE),
  keys: seat.create_virtual_device(C.InputDeviceType.KEYBOARD_DEVICE),
  placed: new Set(), // shown, so placed: before that a frame may still sit at 0,0
  focusChanges: 0,
  windowsMade: 0,
  window(t) {
    const w = win(t);
    if (!w) return "none";
    const r = w.get_frame_rect();
    const shown = global.display.sort_windows_by_stacking(global.display.list_all_windows())
      .filter(x => !x.minimized && x.get_window_type() !== Meta.WindowType.OVERRIDE_OTHER
              && x.get_frame_rect().width > 1);
    return [r.x, r.y, r.width, r.height, w.has_focus() ? 1 : 0, w.minimized ? 1 : 0,
            w.resizeable ? 1 : 0, w.can_maximize() ? 1 : 0,
            shown[shown.length - 1] === w && this.placed.has(w) ? 1 : 0].join(" ");
  },
  click(x, y) {
    this.pointer.notify_absolute_motion(time(), x, y);
    this.pointer.notify_button(time(), C.BUTTON_PRIMARY, C.ButtonState.PRESSED);
    this.pointer.notify_button(time(), C.BUTTON_PRIMARY, C.ButtonState.RELEASED);
  },
  key(sym) {
    this.keys.notify_keyval(time(), sym, C.KeyState.PRESSED);
    this.keys.notify_keyval(time(), sym, C.KeyState.RELEASED);
  },
};
global.display.connect("notify::focus-window", () => global.e2e.focusChanges++);
global.display.connect("window-created", (display, w) => {
  global.e2e.windowsMade++;
  // An X11 window is placed before it is made; a Wayland one when first shown.
  if (w.get_client_type() === Meta.WindowClientType.X11) global.e2e.placed.add(w);
  w.connect("shown", () => global.e2e.placed.add(w));
  w.connect("unmanaged", () => global.e2e.placed.delete(w));
});
// The shell may open its overview again after its start-up, over a window just mapped, which
// then gets no focus: this check has no use for it.
Main.overview.show = () => {};
"ready"'
RESULT=
ready() { shell 'global.context.unsafe_mode' && [[ $RESULT == true ]] && shell "$tools"; }
for _ in $(seq 600); do ready && break; sleep 0.1; done
[[ $RESULT == ready ]] || fail "gnome-shell did not start: $(tail -n5 "$OUT/$NAME-shell.log")"
# The shell opens its overview once its start-up animation is over: then closed, as a player's
# first click would, and its own animation over too. An open overview holds the pointer and
# keeps windows from taking the focus.
overview_closed() {
    shell 'if (!e2eModules.Main.layoutManager._startingUp) e2eModules.Main.overview.hide();
        !e2eModules.Main.layoutManager._startingUp && !e2eModules.Main.overview.visible &&
        !e2eModules.Main.overview.animationInProgress && !global.stage.get_grab_actor()' &&
        [[ $RESULT == true ]]
}
eventually "the overview stays open" overview_closed

window() { # TITLE -> X Y W H FOCUSED MINIMIZED RESIZABLE MAXIMIZABLE IN_FRONT
    shell "global.e2e.window('$1')" || return 1
    [[ $RESULT != none ]] && read -r X Y W H FOCUSED MINIMIZED RESIZABLE MAXIMIZABLE FRONT <<<"$RESULT"
}
focus_changes() { shell 'global.e2e.focusChanges' && echo "$RESULT"; }
# Like eventually, with what the shell shows when it fails.
settles() { # DESCRIPTION CHECK [ARGS...]
    local what=$1
    shift
    for _ in $(seq 100); do "$@" 2>/dev/null && return 0; sleep 0.1; done
    shell "(global.stage.get_grab_actor() ? 'a grab (' + global.stage.get_grab_actor() + ', grab op ' + global.display.get_grab_op() + ', modal ' + e2eModules.Main.modalCount + ', overview ' + e2eModules.Main.overview.visible + '); ' : '') + global.display.list_all_windows()
        .map(w => [w.title, w.get_frame_rect().x, w.get_frame_rect().y, w.has_focus(),
                   w.minimized].join(' ')).join(', ')" || true
    fail "$what; the shell shows (title x y focused minimized): $RESULT"
}
board_in_front() { window Puzzle_3 && ((FOCUSED && FRONT && !MINIMIZED)); }
same_place() { board_in_front && ((X == X0 && Y == Y0)); }

check_mode() { # MODE: wayland, or xcb through XWayland
    local mode=$1 before after bx by
    local game_env=(QT_QPA_PLATFORM="$mode" XDG_RUNTIME_DIR="$RUNTIME" WAYLAND_DISPLAY=puzzle-gnome)
    if [[ $mode == xcb ]]; then
        local x11
        x11=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$OUT/$NAME-shell.log" | head -n1)
        [[ -n $x11 ]] || fail "gnome-shell started no Xwayland"
        # mutter's Xwayland lets in only who holds its key.
        game_env+=(DISPLAY="$x11" WAYLAND_DISPLAY= XAUTHORITY="$(compgen -G "$RUNTIME/.mutter-Xwaylandauth.*" | head -n1)")
    fi
    (exec env "${game_env[@]}" "$PUZZLE" 2>"$OUT/$NAME-$mode-game.log") &
    GAME_PID=$!
    # The box, focused; the shell may leave a new window unfocused, and the player clicks it.
    box_focused() {
        window ' Schermo attuale' || return 1
        ((FOCUSED)) || shell "global.e2e.click($((X + W / 2)), $((Y + H / 2)))"
        ((FOCUSED))
    }
    for _ in $(seq 600); do box_focused && break; sleep 0.1; done
    settles "$mode: no resolution box" box_focused
    # The first key only makes the shell's virtual keyboard: a Shift, then Return while the box
    # is there. Not after: a key on the background, while the board is mapped, is newer than the
    # board's activation, and the shell keeps the focus where the key went.
    board_up() {
        board_in_front && return 0
        window ' Schermo attuale' && shell 'global.e2e.key(0xffe1); global.e2e.key(0xff0d)'
        return 1
    }
    settles "$mode: the box was not answered, or no board in front" board_up
    # The hints the shell acts on: its own size, neither resizable nor maximizable.
    ((W >= 924 && H >= 600 && !RESIZABLE && !MAXIMIZABLE)) ||
        fail "$mode: the board is $W x $H, resizable $RESIZABLE, maximizable $MAXIMIZABLE"
    echo "ok gnome $mode: the board in front at $X,$Y, $W x $H, neither resizable nor maximizable"

    # A point of the background the board does not cover, found anew before each click.
    background_point() {
        window Puzzle || fail "$mode: no background"
        bx=$((X + W - 10)) by=$((Y + H - 10))
        window Puzzle_3 || fail "$mode: no board"
        ((bx < X || bx >= X + W || by < Y || by >= Y + H)) || fail "$mode: the board covers the background"
    }
    before=$(focus_changes)
    shell 'global.e2e.windowsMade'
    local made=$RESULT
    for click in $(seq 20); do
        background_point
        shell "global.e2e.click($bx, $by)"
        # The place the board takes after the first click is where it must stay. A Wayland
        # window the shell has just placed keeps its old place until the game answers, so the
        # place is taken once two looks in a row agree.
        if ((click == 1)); then
            X0=-1 Y0=-1
            settled() { same_place || { board_in_front && read -r X0 Y0 <<<"$X $Y" && false; }; }
            settles "$mode: background click 1: the board is not back in front, in one place" settled
        fi
        settles "$mode: background click $click: the board is not back in front at $X0,$Y0" same_place
    done
    after=$(focus_changes)
    # A board shown anew is a new window to the shell: once a click at most.
    shell 'global.e2e.windowsMade'
    ((RESULT - made <= 20)) || fail "$mode: $((RESULT - made)) windows made for 20 clicks"
    # Each click: the background takes the focus, the board takes it back; on Wayland the focus
    # may also pass through no window while the board is mapped anew. A loop would be more.
    local most=40
    [[ $mode == wayland ]] && most=60
    ((after - before <= most)) || fail "$mode: $((after - before)) focus changes for 20 clicks"
    echo "ok gnome $mode: 20 background clicks, the board in front at $X0,$Y0 each time, $((after - before)) focus changes, $((RESULT - made)) windows made"

    # Minimized (where the shell offers it: the board asks for no minimize button, which only
    # X11 windows can ask), then the background clicked: the board is back.
    shell "global.win('Puzzle_3').can_minimize()"
    if [[ $RESULT == true ]]; then
        # Asked at once: the background takes the focus next, and the board may come back
        # before another look.
        shell "const w = global.win('Puzzle_3'); w.minimize(); w.minimized"
        [[ $RESULT == true ]] || fail "$mode: the shell did not minimize the board"
        background_point
        shell "global.e2e.click($bx, $by)"
        settles "$mode: a minimized board did not come back" board_in_front
        echo "ok gnome $mode: minimized, back after a background click"
    else
        echo "ok gnome $mode: the shell offers no minimize"
    fi

    shell "global.win('Puzzle_3').delete(global.get_current_time())"
    ends_well "$mode: closing the board" "$OUT/$NAME-$mode-game.log"
    echo "ok gnome $mode: closed through the shell, code 0, nothing printed"
}

check_mode wayland
check_mode xcb
