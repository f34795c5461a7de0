#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Prints the benchmark figures, medians of several runs. Usage: bench/run.sh RELEASE_BUILD_DIR
set -euo pipefail
build=${1:?usage: bench/run.sh RELEASE_BUILD_DIR}
bench=$build/bench/puzzle_bench
runs=${RUNS:-7}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_LOGGING_RULES="qt.multimedia*=false;qt.qpa.*=false"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }

echo "== Loading a 24-megapixel JPEG (6000 x 4000), median of $runs runs"
"$bench" make-jpeg "$work/24mp.jpg" 6000 4000
loads=() peaks=()
for _ in $(seq "$runs"); do
    line=$("$bench" load "$work/24mp.jpg" 2>/dev/null)
    loads+=("$(field load_and_rebuild_ms <<<"$line")")
    peaks+=("$(field dealt_peak_kb <<<"$line")")
    decoded=$(field decoded <<<"$line")
    before=$(field before_kb <<<"$line")
done
djpegs=()
for _ in $(seq "$runs"); do
    start=$(date +%s%N)
    djpeg -outfile /dev/null "$work/24mp.jpg"
    djpegs+=("$((($(date +%s%N) - start) / 1000000))")
done
printf '%-34s %8s ms  (decoded at %s)\n' "puzzle: load and rebuild" "$(printf '%s\n' "${loads[@]}" | median)" "$decoded"
printf '%-34s %8s ms  (full-size decode)\n' "djpeg: decode the same file" "$(printf '%s\n' "${djpegs[@]}" | median)"
printf '%-34s %8s MB  (%s MB before the load)\n' "puzzle: peak resident, 6 X 5 dealt" \
    "$(($(printf '%s\n' "${peaks[@]}" | median) / 1024))" "$((before / 1024))"

echo
echo "== Pictures made to hurt: one load each, in a process of its own (bounds: 1000 ms, 150 MB)"
echo "   (ok-* are legal pictures that must load; the rest may load or be refused)"
"$bench" make-hostile "$work/hostile"
printf '%-38s %-8s %9s %14s %s\n' file outcome ms "peak +MB" "within bounds"
for file in "$work"/hostile/*; do
    line=$("$bench" attack "$file" 2>/dev/null)
    outcome=$(field outcome <<<"$line") ms=$(field ms <<<"$line") mb=$(field peak_extra_mb <<<"$line")
    verdict=yes
    awk -v ms="$ms" -v mb="$mb" 'BEGIN { exit !(ms > 1000 || mb > 150) }' && verdict=NO
    [[ $(basename "$file") == ok-* && $outcome != loaded ]] && verdict="NO (must load)"
    printf '%-38s %-8s %9s %14s %s\n' "$(basename "$file")" "$outcome" "$ms" "$mb" "$verdict"
done
rm -rf "$work/hostile"

echo
echo "== Building and dealing each grid, median of 50 runs"
"$bench" board 50 2>/dev/null

echo
echo "== Moves in a 6 X 5 game: CPU from the mouse event to the repaint being scheduled"
"$bench" moves 200 2>/dev/null

echo
"$(dirname "$0")/startup.sh" "$build"
