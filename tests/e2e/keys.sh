#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# A whole game in each move method with the keyboard alone, from the resolution box to "Esci":
# the tiles are read through the accessibility tree as a screen reader reads them, and each
# move is decided from that reading (the deal is random); screenshots show the focus frame.
source "$(dirname "$0")/lib.sh"

start_display 1024x768
start_accessibility_bus
start_openbox
GAME_ENV=("${ACCESSIBLE_GAME[@]}")
start_game 2>"$OUT/$NAME.log" # the box answered with Return
keyplay() { /usr/bin/python3 "$(dirname "$0")/keyplay.py" "$GAME_PID" "$@"; }

# What a screen reader hears while the games are played.
heard=$OUT/keys-heard.txt
/usr/bin/python3 "$(dirname "$0")/keyplay.py" "$GAME_PID" listen "$heard" >/dev/null 2>&1 &
HELPER_PIDS+=($!)
listening() { grep -q '^listening' "$heard"; }
eventually "no one listens to the accessibility bus" listening

# Qt hands every key to the accessibility registry first and delivers it on the answer, or
# after 100 ms without one, warning "QSpiApplication::keyEventError". On a busy machine Alt+O
# then does not always leave its menu open (the Alt arrives after the O); the menu is asked for
# again, after an Escape, until it opens.
menu_by_keys() { # KEY INDEX
    local before opened=
    before=$(game_windows)
    for _ in 1 2 3 4 5; do
        xdotool windowfocus --sync "$BOARD" key "alt+$1"
        for _ in $(seq 30); do
            if more_windows_than "$before"; then
                opened=1
                break 2
            fi
            sleep 0.1
        done
        xdotool key Escape
        eventually "the menu alt+$1 did not close" windows_back_to "$before"
    done
    [[ -n $opened ]] || fail "the menu alt+$1 did not open"
    sleep 0.1
    for ((i = 0; i < $2; i++)); do xdotool key Down; done
    xdotool key Return
    eventually "the menu alt+$1 did not close" windows_back_to "$before"
}

game() { # METHOD: deal with "Mostra Puzzle", then play to completion
    keyplay press "Mostra Puzzle"
    keyplay play "$1" "$OUT" || fail "$1: the game by keys did not finish"
    shot "keys-$1-complete.png"
}
xdotool windowfocus --sync "$BOARD"
game swap
menu_by_keys o 4 # Scambio in Due Tempi
game two-step
menu_by_keys o 5 # Con Click
game click

# What a screen reader read and heard: every tile in its place, the focus where the keys ended
# (the spare tile, put back), and on the way the focus following the keys over the tiles and the
# counters and the status line announcing their changes.
keyplay dump >"$OUT/keys-tree.txt"
[[ $(grep -c 'push button "Tessera [0-9], riga [0-9], colonna [0-9], al suo posto" \[focusable' \
    "$OUT/keys-tree.txt") == 9 ]] && grep -q '"Riserva, vuota" \[focused' "$OUT/keys-tree.txt" &&
    grep -q '^    label "Complimenti! Hai completato il puzzle!"' "$OUT/keys-tree.txt" ||
    fail "the finished board reads: $(cat "$OUT/keys-tree.txt")"
for said in '^focus Tessera [0-9], riga 3, colonna 3' '^focus Riserva, tessera' \
    '^name label: Complimenti! Hai completato il puzzle!$' '^name label: 9$' \
    '^name push button: Tessera [0-9], riga 1, colonna 1, al suo posto$'; do
    heard_it() { grep -q "$said" "$heard"; }
    eventually "a screen reader never heard '$said': $(sort -u "$heard" | head -40)" heard_it
done
keyplay press "Esci"
ends_well "Esci by keys"
# Nothing printed but the registry's late answers (above).
if grep -v '^QSpiApplication::' "$OUT/$NAME.log" | grep -q .; then
    fail "the game printed: $(cat "$OUT/$NAME.log")"
fi
echo "ok: three games by keys, ended with Esci; heard $(grep -c '^focus' "$heard") focus changes"
