#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The file dialog's list is Italian whatever the system's language: sizes, types and dates, read
# through the accessibility tree as a screen reader reads them, with the system in German,
# Arabic and French (each locale made for the check alone).
source "$(dirname "$0")/lib.sh"

locales=$E2E_TMP/locales
folder=$E2E_TMP/foto
mkdir -p "$locales" "$folder/album"
convert -size 64x48 xc:'#3080C0' "$folder/lago.jpg"
truncate -s 2048 "$folder/lago.jpg"
touch -d '2026-03-14 15:09:00 UTC' "$folder/lago.jpg" "$folder/album"
EXPECTED='album||Cartella|14/03/26 15:09
lago.jpg|2,00 KiB|Immagine JPEG|14/03/26 15:09'

# The rows of the open dialog's detailed list, cells joined by "|".
listed_rows() {
    /usr/bin/python3 - "$GAME_PID" <<'EOF'
import sys
import pyatspi

def cells(node, depth=0):
    if node is None or depth > 30:
        return
    if node.getRoleName() == "table cell":
        yield node.name
    for i in range(node.childCount):
        yield from cells(node.getChildAtIndex(i), depth + 1)

for app in pyatspi.Registry.getDesktop(0):
    if app is None or app.get_process_id() != int(sys.argv[1]):
        continue
    for window in app:
        if window is not None and window.name == "Apri":
            found = list(cells(window))
            for row in range(0, len(found) - len(found) % 4, 4):
                print("|".join(found[row:row + 4]))
EOF
}
list_is_italian() {
    ROWS=$(listed_rows 2>/dev/null | sort)
    [[ $ROWS == "$EXPECTED" ]]
}

check_language() { # LOCALE, as in LANG
    localedef -i "${1%.UTF-8}" -f UTF-8 "$locales/$1" 2>/dev/null || [[ -d $locales/$1 ]] ||
        fail "cannot make the locale $1"
    start_display 1024x768
    start_accessibility_bus
    start_openbox
    GAME_DIR=$folder # the dialog opens in the folder the game started in
    GAME_ENV=(LANG="$1" LOCPATH="$locales" TZ=UTC "${ACCESSIBLE_GAME[@]}")
    start_game 2>"$OUT/$NAME-$1.log"
    menu i 0 opens-dialog # Carica_da_File
    wait_window '^Apri$' >/dev/null
    eventually "$1: the dialog lists $(listed_rows 2>&1 | sort | tr '\n' ';')" list_is_italian
    xdotool key Escape
    eventually "$1: the dialog did not close" no_window '^Apri$'
    click_at 836 528 # Esci
    ends_well "$1" "$OUT/$NAME-$1.log"
    echo "ok $1: $(tr '\n' ';' <<<"$ROWS")"
    cleanup
    XVFB_PID=
    GAME_PID=
}

for language in de_DE.UTF-8 ar_EG.UTF-8 fr_FR.UTF-8; do
    check_language "$language"
done
