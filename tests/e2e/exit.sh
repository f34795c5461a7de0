#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# "Esci" ends the game at once, mid-game; closing the board window ends it too, background and all.
source "$(dirname "$0")/lib.sh"
[[ -x $WMCLOSE ]] || fail "no wmclose helper"

start_display 1024x768
start_game
click_at 447 532 # deal, so that a game is in progress
click_at 836 528 # Esci
ends_well Esci
echo "ok Esci: exit code 0"

start_game
"$WMCLOSE" "$BOARD"
ends_well close
if xdotool search --onlyvisible --name '^Puzzle$' >/dev/null 2>&1; then fail "the background outlived the board"; fi
echo "ok close: exit code 0, no window left"
