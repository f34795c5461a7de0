#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# The checks' own helpers: an image tool that cannot run fails the check that used it, never
# passes it.
set -euo pipefail
LIB=$(dirname "$0")/lib.sh
DIR=$(mktemp -d)
trap 'rm -rf "$DIR"' EXIT
convert -size 8x8 xc:'#FFFFC0' "$DIR/yellow.png"
convert -size 8x8 xc:red "$DIR/red.png"

# "pass", "false", or nothing when the check ended in a failure of its own.
verdict() { E2E_OUT=$DIR bash -c "source '$LIB' none; MENU_H=0; $1 && echo pass || echo false" 2>/dev/null || true; }
expect() { # VERDICT CHECK
    local got
    got=$(verdict "$2")
    [[ $got == "$1" ]] || { echo "FAIL: '$2' gave '${got:-a failure}', not '${1:-a failure}'" >&2; exit 1; }
}
expect pass 'below 0.05 "$(difference "$OUT/yellow.png" "$OUT/red.png")"'
expect false 'below 0.05 "$(difference "$OUT/yellow.png" "$OUT/yellow.png")"'
expect "" 'below 0.05 "$(difference "$OUT/yellow.png" "$OUT/missing.png")"'
expect "" 'below "compare: unable to open image" 0.05'
expect pass '[[ $(count_colour yellow.png 0 0 8 8 "#FFFFC0") -eq 64 ]]'
expect "" '[[ $(count_colour missing.png 0 0 8 8 "#FFFFC0") -lt 100 ]]'
expect pass '[[ $(pixel "$OUT/red.png" 1 1) == FF0000* ]]'
expect "" '[[ $(pixel "$OUT/missing.png" 1 1) != FFFFC0* ]]'
expect "" 'eventually "retried" below 0.05 "$(difference "$OUT/red.png" "$OUT/missing.png")"'
echo "ok helpers: a comparison, a count or a pixel that cannot be read fails its check"
