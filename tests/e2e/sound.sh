#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A private PulseAudio server with a null sink: every play of both sounds is recorded from the
# sink's monitor and compared with the game's own WAVs (soundcheck); after each sound the sink
# must sleep while the game goes on, as soon as after paplay's; then the server is killed
# while sounds play, there is no server, there is no sound module: nothing printed, nothing hangs.
# Last, the real game under Xvfb: a game won with the mouse, its fanfare recorded whole.
# Usage: sound.sh SOUNDCHECK MODULE_DIR PUZZLE
SOUNDCHECK=${1:?usage: sound.sh SOUNDCHECK MODULE_DIR PUZZLE}
MODULES=${2:?usage: sound.sh SOUNDCHECK MODULE_DIR PUZZLE}
set -- "${3:?usage: sound.sh SOUNDCHECK MODULE_DIR PUZZLE}"
source "$(dirname "$0")/lib.sh"
WORK=$(mktemp -d)
SERVER_PID=
KEEPER_PID=
stop_sound() {
    [[ -n $KEEPER_PID ]] && kill "$KEEPER_PID" 2>/dev/null || true
    [[ -n $SERVER_PID ]] && kill "$SERVER_PID" 2>/dev/null || true
    finish
}
trap stop_sound EXIT

# Its own runtime folder, home and socket: nothing of the machine's, no session bus needed.
start_server() {
    mkdir -p "$WORK/runtime" "$WORK/home"
    HOME=$WORK/home PULSE_RUNTIME_PATH=$WORK/runtime XDG_RUNTIME_DIR=$WORK/runtime \
        pulseaudio -n --daemonize=no --exit-idle-time=-1 --use-pid-file=no --log-target=stderr \
        --log-level=error -L "module-native-protocol-unix socket=$WORK/native auth-anonymous=1" \
        -L "module-null-sink sink_name=puzzle rate=44100" -L "module-always-sink" \
        -L "module-suspend-on-idle timeout=1" \
        2>"$WORK/server.log" &
    SERVER_PID=$!
    for _ in $(seq 100); do
        [[ -S $WORK/native ]] && return 0
        sleep 0.05
    done
    fail "no sound server: $(cat "$WORK/server.log")"
}
export PULSE_SERVER=unix:$WORK/native
export HOME=$WORK/home

start_server
# A null sink's monitor gives samples only while something plays: a silent stream keeps it going,
# and mixing in zeros leaves every sample of the game's sounds as it is.
pacat --raw --rate=44100 --channels=1 --format=s16le --latency-msec=20 </dev/zero &
KEEPER_PID=$!
"$SOUNDCHECK" "$MODULES" puzzle.monitor || fail "the recording does not match (above)"

# The real game, won in swap play on "1 X 2" (always dealt exchanged): the fanfare, whole.
parec -d puzzle.monitor --rate=44100 --channels=1 --format=s16le --raw >"$WORK/game.raw" &
HELPER_PIDS+=($!)
GAME_ENV=(PULSE_SERVER="$PULSE_SERVER")
start_display 1024x768
start_game
menu c 0
click_at 447 532
sleep 0.5
drag_from_to 447 119 447 325
sleep 1.5
click_at 836 528 # Esci
wait_exit
kill "${HELPER_PIDS[@]}" 2>/dev/null || true
HELPER_PIDS=()
"$SOUNDCHECK" --find-fanfare "$WORK/game.raw" || fail "the game's fanfare was not heard whole"
kill "$KEEPER_PID"
KEEPER_PID=

# After each sound the device may sleep while the game goes on: its stream ends once played out,
# and the sink sleeps no later than half a second after it does for the desktop's own player
# (paplay) of the same file. Both are timed alike: from the sink's waking to its sleep.
sink_state() { pactl list sinks short | awk '$2 == "puzzle" { print $NF }'; }
suspended() { [[ $(sink_state) == SUSPENDED ]]; }
awake() { ! suspended; }
AWAKE=
awake_for() { # WHAT: the sink wakes for a sound and sleeps again -> AWAKE (seconds)
    local from
    eventually "$1: the sink did not wake" awake
    from=$(date +%s.%N)
    for _ in $(seq 300); do
        suspended && break
        sleep 0.05
    done
    suspended || fail "$1: the sink is $(sink_state) long after the sound"
    AWAKE=$(bc <<<"$(date +%s.%N) - $from")
}
MEDIA=$(dirname "$0")/../../platform/media
for sound in chime:notify fanfare:tada; do
    file=$MEDIA/${sound#*:}.wav sound=${sound%:*}
    eventually "the idle sink was not suspended ($(sink_state))" suspended
    paplay "$file" &
    awake_for "paplay $sound"
    desktop=$AWAKE
    eventually "the idle sink was not suspended ($(sink_state))" suspended
    pactl subscribe >"$WORK/events" &
    subscriber=$!
    subscribed() { pactl list clients | grep -q "application.process.id = \"$subscriber\""; }
    eventually "pactl subscribe did not connect" subscribed
    "$SOUNDCHECK" "$MODULES" --hold "$sound" >"$WORK/held" &
    holder=$!
    HELPER_PIDS+=("$subscriber" "$holder")
    awake_for "$sound"
    kill -0 "$holder" || fail "$sound: the player ended"
    grep -q played "$WORK/held" || fail "$sound: not played"
    grep -q "'remove' on sink-input" "$WORK/events" || fail "$sound: the stream was never ended"
    echo "ok idle after the $sound: sink awake $AWAKE s (paplay of the same file: $desktop s)"
    below "$AWAKE" "$(bc <<<"$desktop + 0.5")" ||
        fail "$sound: the sink slept $AWAKE s after waking, paplay's $desktop s"
    kill "$holder" "$subscriber"
    wait "$holder" "$subscriber" 2>/dev/null || true
    HELPER_PIDS=()
done

# The server killed while the sounds go on: they go silent, nothing is printed.
"$SOUNDCHECK" "$MODULES" --no-recording >"$WORK/out" 2>&1 &
player=$!
sleep 1
kill -9 "$SERVER_PID"
wait "$SERVER_PID" 2>/dev/null || true
SERVER_PID=
wait "$player" || fail "the player failed when the server went away"
[[ ! -s $WORK/out ]] || fail "the player printed: $(cat "$WORK/out")"

# No server at all; no sound module at all.
for modules in "$MODULES" "$WORK/nowhere"; do
    "$SOUNDCHECK" "$modules" --no-recording >"$WORK/out" 2>&1 || fail "the player failed ($modules)"
    [[ ! -s $WORK/out ]] || fail "the player printed: $(cat "$WORK/out")"
done
echo "ok sound: every play whole and in time; silent and quiet without a server"
