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
# The picture decoder, a program only the game runs, where Debian keeps such programs.
[[ -x $prefix/libexec/puzzle/puzzle-decoder ]] || fail "not installed: the picture decoder"
for size in 16 32 48 64 128 256; do
    icon=$prefix/share/icons/hicolor/${size}x${size}/apps/$appid.png
    [[ $(identify -format '%wx%h' "$icon") == "${size}x${size}" ]] || fail "icon $size is not ${size}x${size}"
done
readelf -d "$prefix/games/puzzle" | grep -E "R(UN)?PATH" | grep -q "$BUILD_DIR" && fail "the installed binary loads from the build tree"

# The launcher's command: the installed program by its full path, started away from the sources.
desktop-file-validate "$prefix/share/applications/$appid.desktop" || fail "the installed launcher is not valid"
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/$appid.desktop")
[[ $exec_line == "$prefix/games/puzzle %f" ]] || fail "the launcher runs '$exec_line'"
PUZZLE=$prefix/games/puzzle
for type in image/bmp image/gif image/jpeg image/png image/vnd.microsoft.icon image/heif image/heic \
    image/avif image/webp; do
    grep -q "^MimeType=.*$type;" "$prefix/share/applications/$appid.desktop" || fail "the launcher does not offer to open $type"
    grep -q "<mediatype>$type</mediatype>" "$prefix/share/metainfo/$appid.metainfo.xml" || fail "the metainfo does not list $type"
done
GAME_DIR=/
start_display 1024x768
start_game
photo_shown() {
    shot installed.png
    [[ $(count_colour installed.png 180 30 360 300 '#FFFFC0') -lt 100 ]]
}
eventually "the installed game shows no photograph" photo_shown
echo "ok: installed to $prefix, started from the launcher, the board shows"
click_at 836 528 # Esci
ends_well "the installed game"

# "Open with": the desktop's own launcher tool starts the game with a file, as a file manager
# does. The board opens with that picture; a file that is no picture leaves the built-in one.
launch_with() { # FILE
    XDG_DATA_DIRS=$prefix/share NO_AT_BRIDGE=1 XDG_RUNTIME_DIR=$(mktemp -d) \
        gtk-launch "$appid" "$1" 2>"$E2E_TMP/launched.log" || fail "gtk-launch failed: $(cat "$E2E_TMP/launched.log")"
    for _ in $(seq 100); do
        GAME_PID=$(pgrep -n -f "^$PUZZLE " || true)
        [[ -n $GAME_PID ]] && break
        sleep 0.1
    done
    [[ -n $GAME_PID ]] || fail "gtk-launch started no game"
    tr '\0' ' ' <"/proc/$GAME_PID/cmdline" | grep -qF "$PUZZLE $1 " || fail "started as: $(tr '\0' ' ' <"/proc/$GAME_PID/cmdline")"
    answer_box Return
    board_geometry
}
shows() { # EXPECTED-PNG
    shot launched.png
    crop launched.png 176 16 542 413
    d=$(difference "$1" "$OUT/launched-crop.png")
    below "$d" 0.08
}
leave() { # the game was not started by this shell: its end is seen, not waited for
    click_at 836 528 # Esci
    eventually "the game did not end" eval '! kill -0 "$GAME_PID"'
    GAME_PID=
    if grep -q . "$E2E_TMP/launched.log"; then fail "the game printed: $(cat "$E2E_TMP/launched.log")"; fi
}
picture="$E2E_TMP/il mio tramonto.png"
convert -size 800x600 gradient:orange-purple -fill white -draw 'circle 400,300 400,420' "$picture"
convert "$picture" -resize '542x413!' "$OUT/launched-expected.png"
crop installed.png 176 16 542 413 installed-photo.png
launch_with "$picture"
eventually "opened with a picture, the board shows another" shows "$OUT/launched-expected.png"
leave
echo "ok: opened with $picture through gtk-launch"
printf 'Questa non e\x27 una foto.\n' >"$E2E_TMP/foto.jpg"
launch_with "$E2E_TMP/foto.jpg"
eventually "opened with a file that is no picture, the board does not show the built-in one" shows "$OUT/installed-photo.png"
leave
echo "ok: opened with a file that is no picture: the built-in one, nothing printed"
rm -rf "$prefix"
