# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by the end-to-end checks: a display of their own, the real game, xdotool and screenshots.
# Usage from a script: source lib.sh; start_display 1024x768; start_game; ...
set -euo pipefail

PUZZLE=${1:?usage: $0 PATH_TO_PUZZLE [WMCLOSE]}
WMCLOSE=${2:-}
[[ $PUZZLE == /* ]] || PUZZLE=$PWD/$PUZZLE # a check may start the game from another folder
# Every temporary file of the check and of what it starts, removed at the end.
E2E_TMP=$(mktemp -d)
export TMPDIR=$E2E_TMP
OUT=${E2E_OUT:-$(mktemp -d)}
mkdir -p "$OUT"
NAME=$(basename "$0" .sh)
XVFB_PID=
GAME_PID=
GAME_EXIT=
GAME_ENV=()
GAME_DIR=$PWD
HELPER_PIDS=() # started by a check (a window manager, a bus); stopped with the display

cleanup() {
    [[ -n $GAME_PID ]] && kill "$GAME_PID" 2>/dev/null || true
    for pid in "${HELPER_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
    HELPER_PIDS=()
    [[ -n $XVFB_PID ]] && kill "$XVFB_PID" 2>/dev/null || true
    wait 2>/dev/null || true
}
finish() {
    cleanup
    # A check may have more to remove once what it started is gone.
    if declare -F after_cleanup >/dev/null; then after_cleanup; fi
    rm -rf "$E2E_TMP"
}
trap finish EXIT

# A failure goes to the check's own stderr even where a retry hides a helper's, and ends the
# whole check even from inside $(...).
exec {E2E_ERR}>&2
trap 'exit 1' USR1
fail() {
    echo "FAIL: $*" >&$E2E_ERR
    if [[ $BASHPID != "$$" ]]; then
        kill -USR1 "$$"
        exit 1
    fi
    # What the check's compositor shows, where it can say.
    if declare -F describe_screen >/dev/null; then describe_screen >&$E2E_ERR 2>&1 || true; fi
    [[ -n ${DISPLAY:-} ]] && import -window root "$OUT/$NAME-failure.png" 2>/dev/null && echo "screen: $OUT/$NAME-failure.png" >&$E2E_ERR
    exit 1
}

start_display() {
    local fdfile
    fdfile=$(mktemp)
    Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
    XVFB_PID=$!
    for _ in $(seq 200); do
        [[ -s $fdfile ]] && break
        sleep 0.05
    done
    [[ -s $fdfile ]] || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$fdfile")"
    rm -f "$fdfile"
}

# Removes the locks and sockets of the X displays a compositor started and left behind.
remove_x_displays_of() { # PID
    local lock n
    for lock in /tmp/.X*-lock; do
        [[ -e $lock && $(tr -d ' ' <"$lock") == "$1" ]] || continue
        n=${lock#/tmp/.X}
        rm -f "$lock" "/tmp/.X11-unix/X${n%-lock}"
    done
}

# Waits until a window manager has taken the display (it names its check window on the root):
# one still starting loses the windows mapped meanwhile.
wait_wm() { # NAME
    for _ in $(seq 100); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
        sleep 0.1
    done
    fail "$1 did not start"
}
start_openbox() {
    openbox --sm-disable 2>/dev/null &
    HELPER_PIDS+=($!)
    wait_wm openbox
}

# The game's windows only: mutter 44 and later frames X11 windows with windows of a client of its
# own, named as the windows they frame.
game_window() { # NAME-REGEX -> the first window of the game's so named
    local id
    for id in $(xdotool search --onlyvisible --name "$1" 2>/dev/null); do
        [[ $(xprop -id "$id" WM_CLASS 2>/dev/null) == *'"Puzzle"' ]] && echo "$id" && return 0
    done
    return 1
}
# A session bus of its own, whose accessibility bus keeps its socket in the check's own folders;
# started before the game, which then publishes its windows there (with ACCESSIBLE_GAME in
# GAME_ENV).
start_accessibility_bus() {
    local bus
    mkdir -p "$E2E_TMP/home" "$E2E_TMP/run"
    chmod 700 "$E2E_TMP/run"
    bus=$(HOME=$E2E_TMP/home XDG_RUNTIME_DIR=$E2E_TMP/run dbus-daemon --session --fork --print-address=1 --print-pid=1)
    HELPER_PIDS+=("$(tail -n1 <<<"$bus")")
    export DBUS_SESSION_BUS_ADDRESS
    DBUS_SESSION_BUS_ADDRESS=$(head -n1 <<<"$bus")
    gdbus call --session --dest org.a11y.Bus --object-path /org/a11y/bus \
        --method org.a11y.Bus.GetAddress >/dev/null || fail "no accessibility bus"
}
ACCESSIBLE_GAME=(HOME="$E2E_TMP/home" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1)

wait_window() { # NAME-REGEX -> window id; a slow start (sanitizers, no font cache) is no failure
    local id
    for _ in $(seq 600); do
        id=$(game_window "$1" || true)
        if [[ -n $id ]]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    fail "no window named '$1'"
}

# Starts the game and answers the resolution message box with the given key (Return = OK).
start_game() {
    local answer=${1:-Return}
    (cd "$GAME_DIR" && exec env XDG_RUNTIME_DIR="$(mktemp -d)" "${GAME_ENV[@]}" "$PUZZLE") &
    GAME_PID=$!
    answer_box "$answer"
    sleep 0.5
    board_geometry
}
# Answers the resolution box with a key (Return = OK) and waits for the board: BOX, BOARD.
answer_box() {
    BOX=$(wait_window "Schermo attuale")
    sleep 0.3
    xdotool windowfocus --sync "$BOX" key "${1:-Return}"
    BOARD=$(wait_window '^Puzzle_3$')
}
# Where a window lies on the screen, its frame left out: X Y W H.
window_rect() {
    [[ -n $1 ]] || return 1 # xwininfo without a window waits for a click on one
    xwininfo -id "$1" | awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF }
        /Width:/ { w = $NF } /Height:/ { h = $NF } END { print x, y, w, h }'
}

# Where the board's client area lies on the screen, and its size.
board_geometry() {
    read -r WIN_X WIN_Y WIN_W WIN_H <<<"$(window_rect "$BOARD")"
    local scale=${E2E_SCALE:-1}
    case $WIN_W in
    $((742 * scale))) CLIENT_H=$((496 * scale)) ;;
    $((924 * scale))) CLIENT_H=$((581 * scale)) ;;
    *) fail "board window is $WIN_W wide" ;;
    esac
    MENU_H=$((WIN_H - CLIENT_H))
    CLIENT_X=$WIN_X
    CLIENT_Y=$((WIN_Y + MENU_H))
}

# Mouse actions at client-area coordinates.
point() {
    local x=$((CLIENT_X + $1)) y=$((CLIENT_Y + $2))
    # --sync waits for the pointer to move, which it never does if it is there already.
    if [[ $(xdotool getmouselocation --shell | head -n2 | tr '\n' ' ') != "X=$x Y=$y " ]]; then
        xdotool mousemove --sync "$x" "$y"
    fi
}
click_at() {
    point "$1" "$2"
    xdotool click "${3:-1}"
    sleep 0.15
}
drag_from_to() {
    point "$1" "$2"
    xdotool mousedown 1
    sleep 0.05
    point $((($1 + $3) / 2)) $((($2 + $4) / 2))
    point "$3" "$4"
    sleep 0.05
    xdotool mouseup 1
    sleep 0.15
}
# Retries a check for up to ten seconds: a busy machine repaints late, never wrongly.
eventually() { # DESCRIPTION CHECK [ARGS...]
    local what=$1
    shift
    for _ in $(seq 100); do
        "$@" 2>/dev/null && return 0
        sleep 0.1
    done
    fail "$what"
}
game_windows() { xdotool search --onlyvisible --pid "$GAME_PID" 2>/dev/null | wc -l; }
more_windows_than() { [[ $(game_windows) -gt $1 ]]; }
windows_back_to() { [[ $(game_windows) -le $1 ]]; }
menu() { # KEY INDEX [opens-dialog]: open a menu by its access key and choose the item at INDEX
    local before i
    before=$(game_windows)
    xdotool windowfocus --sync "$BOARD"
    xdotool key "alt+$1"
    eventually "the menu alt+$1 did not open" more_windows_than "$before"
    sleep 0.1
    for ((i = 0; i < $2; i++)); do xdotool key Down; done
    xdotool key Return
    [[ ${3:-} == opens-dialog ]] || eventually "the menu alt+$1 did not close" windows_back_to "$before"
}
no_window() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }

# "Immagine" > "Carica_da_File", and the path typed into the dialog, as a player does. On a busy
# machine the first keys can arrive before the field takes them: then the dialog stays (or
# warns), and the path is typed again.
open_picture() { # PATH
    local attempt windows
    menu i 0 opens-dialog
    DIALOG=$(wait_window '^Apri$')
    for attempt in 1 2 3; do
        sleep 0.5
        windows=$(game_windows)
        xdotool windowfocus --sync "$DIALOG"
        xdotool key ctrl+a
        # xdotool reads the text in the locale's encoding; a bare machine has none set.
        LC_ALL=C.UTF-8 xdotool type --delay 10 "$1"
        xdotool key Return
        for _ in $(seq 30); do
            no_window '^Apri$' && return 0
            sleep 0.1
        done
        echo "typing attempt $attempt did not close the dialog" >&2
        [[ $(game_windows) -gt $windows ]] && xdotool key Escape # a warning about the name
    done
    no_window '^Apri$' || fail "the dialog stayed open"
}

shot() { # FILE: the board window as the player sees it
    import -window "$BOARD" "$OUT/$1" || fail "no screenshot of the board"
}
# Client-area crop of a screenshot: FILE X Y W H [OUTPUT] -> OUTPUT, by default FILE-crop.png
crop() {
    convert "$OUT/$1" -crop "${4}x${5}+${2}+$(($3 + MENU_H))" +repage "$OUT/${6:-${1%.png}-crop.png}" ||
        fail "cannot crop $1"
}
# The colour of one pixel of an image, as hex digits (RRGGBB...).
pixel() { # PATH X Y
    local hex
    hex=$(convert "$1" -format "%[hex:p{$2,$3}]" info: 2>&1) || fail "cannot read $1: $hex"
    [[ $hex =~ ^[0-9A-F]{6} ]] || fail "cannot read $1: $hex"
    echo "$hex"
}
# Number of pixels of a colour (#RRGGBB) within a client-area rectangle of a screenshot.
count_colour() { # FILE X Y W H COLOUR
    local n
    n=$(convert "$OUT/$1" -crop "${4}x${5}+${2}+$(($3 + MENU_H))" +repage -fill black \
        +opaque "$6" -fill white -opaque "$6" -format '%[fx:round(mean*w*h)]' info: 2>&1) ||
        fail "cannot count colours in $1: $n"
    [[ $n =~ ^[0-9]+$ ]] || fail "cannot count colours in $1: $n"
    echo "$n"
}
# Root-mean-square difference (0..1) between two images; a comparison that cannot run fails.
difference() {
    local out rc=0
    out=$(compare -metric RMSE "$1" "$2" null: 2>&1) || rc=$?
    # compare exits 1 for images that differ, 2 when it cannot compare them.
    [[ $rc -le 1 && $out =~ \(([0-9.e+-]+)\)$ ]] || fail "cannot compare $1 with $2: $out"
    echo "${BASH_REMATCH[1]}"
}
number() { [[ $1 =~ ^-?[0-9]*\.?[0-9]+([eE][-+]?[0-9]+)?$ ]] || fail "not a number: '$1'"; }
below() {
    number "$1"
    number "$2"
    awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b) }'
}

# Waits for the game to end with code 0 and, given the file its stderr went to, having printed
# nothing there.
ends_well() { # WHAT [LOG]
    wait_exit
    [[ $GAME_EXIT == 0 ]] || fail "$1: the game ended with code $GAME_EXIT"
    if [[ -n ${2:-} ]] && grep -q . "$2"; then fail "$1: the game printed: $(cat "$2")"; fi
}
# Waits for the game to end, and checks that it ended well.
wait_exit() {
    for _ in $(seq 100); do
        if ! kill -0 "$GAME_PID" 2>/dev/null; then
            set +e
            wait "$GAME_PID"
            GAME_EXIT=$?
            set -e
            GAME_PID=
            return 0
        fi
        sleep 0.1
    done
    fail "the game did not end"
}

# Through XWayland: the "Immagine" menu, opened from the keyboard, drops under its title: the
# popup's corner at the menu bar's left end and its foot, not where the compositor left the
# window's frame. The menu is closed again.
menu_under_title() { # X_DISPLAY
    local board bx by bw bh px py pw ph
    board=$(DISPLAY=$1 xdotool search --onlyvisible --name '^Puzzle_3$' | head -n1)
    [[ -n $board ]] || fail "no board on $1"
    read -r bx by bw bh <<<"$(DISPLAY=$1 window_rect "$board")"
    DISPLAY=$1 xdotool key alt+i
    popup() {
        local id
        for id in $(DISPLAY=$1 xdotool search --onlyvisible --pid "$GAME_PID"); do
            read -r px py pw ph <<<"$(DISPLAY=$1 window_rect "$id")"
            ((pw < 400 && ph < 400)) && return 0
        done
        return 1
    }
    eventually "the menu did not open" popup "$1"
    DISPLAY=$1 xdotool key Escape
    ((px >= bx && px < bx + 40 && py >= by + 12 && py <= by + 40)) ||
        fail "the menu dropped at $px,$py, the board's menu bar at $bx,$by"
    MENU_AT="$px,$py"
}
