#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs into a temporary prefix and starts the game the way the launcher does, from there.
# Usage: install.sh PUZZLE BUILD_DIR
BUILD_DIR=${2:?usage: install.sh PUZZLE BUILD_DIR}
set -- "$1"
source "$(dirname "$0")/lib.sh"

prefix=$(mktemp -d)
cmake --install "$BUILD_DIR" --prefix "$prefix" >/dev/null
appid=io.github.puzzletiles.Puzzle
for file in games/puzzle share/applications/$appid.desktop share/metainfo/$appid.metainfo.xml \
    share/icons/hicolor/scalable/apps/$appid.svg share/man/man6/puzzle.6.gz share/man/it/man6/puzzle.6.gz \
    share/doc/puzzle/copyright share/doc/puzzle/changelog.gz; do
    compgen -G "$prefix/$file" >/dev/null || fail "not installed: $file"
done
# lib, lib64 or a multiarch folder such as lib/x86_64-linux-gnu
compgen -G "$prefix/lib*/puzzle/puzzle_sound.so" >/dev/null || compgen -G "$prefix/lib/*/puzzle/puzzle_sound.so" >/dev/null ||
    fail "not installed: the sound module"
for size in 16 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$appid.png
    [[ $(identify -format '%wx%h' "$icon") == "${size}x${size}" ]] || fail "icon $size is not ${size}x${size}"
done
readelf -d "$prefix/games/puzzle" | grep -E "R(UN)?PATH" | grep -q "$BUILD_DIR" && fail "the installed binary loads from the build tree"

# The launcher's command: the installed program by its full path, started away from the sources.
desktop-file-validate "$prefix/share/applications/$appid.desktop" || fail "the installed launcher is not valid"
PUZZLE=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$appid.desktop")
[[ $PUZZLE == "$prefix/games/puzzle" ]] || fail "the launcher runs '$PUZZLE'"
GAME_DIR=/
start_display 1024x768
start_game
photo_shown() {
    shot installed.png
    [[ $(count_colour installed.png 180 30 360 300 '#FFFFC0') -lt 100 ]]
}
eventually "the installed game shows no photograph" photo_shown
echo "ok: installed to $prefix, started from the launcher, the board shows"
rm -rf "$prefix"
