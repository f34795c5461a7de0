#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The game starts and plays whatever the machine is like: no sound device (never here), a HOME
# that is missing or unwritable, a working directory it cannot write, no fonts at all.
source "$(dirname "$0")/lib.sh"
PUZZLE=$(realpath "$PUZZLE")
start_display 1024x768

changed_from() { # BEFORE AFTER
    shot "$2"
    below 0.02 "$(difference "$OUT/$1" "$OUT/$2")"
}
restored() { # CASE: closer to the picture than the deal was
    shot "$1-played.png"
    below "$(difference "$OUT/$1-before.png" "$OUT/$1-played.png")" "$(difference "$OUT/$1-before.png" "$OUT/$1-dealt.png")"
}

play_and_leave() { # CASE
    start_game
    menu c 0 # 1 X 2: always dealt exchanged
    shot "$1-before.png"
    click_at 447 532
    eventually "$1: the deal showed nothing new" changed_from "$1-before.png" "$1-dealt.png"
    drag_from_to 447 119 447 325
    eventually "$1: the swap did not restore the picture" restored "$1"

    click_at 836 528 # Esci
    ends_well "$1"
    echo "ok $1: started, dealt, played, left with code 0"
}

GAME_ENV=(HOME=/nonexistent/home)
play_and_leave missing-home
GAME_ENV=(HOME=/proc/self)
play_and_leave unwritable-home
GAME_ENV=()
GAME_DIR=/proc
play_and_leave read-only-directory
GAME_DIR=$PWD
empty=$(mktemp -d)
printf '<?xml version="1.0"?>\n<fontconfig><dir>%s</dir><cachedir>%s</cachedir></fontconfig>\n' "$empty" "$empty" >"$empty/fonts.conf"
GAME_ENV=(FONTCONFIG_FILE="$empty/fonts.conf" QT_QPA_FONTDIR="$empty")
play_and_leave no-fonts
