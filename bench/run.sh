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
echo "== Photos as phones and browsers write them today: loads through the menu handler"
echo "   and the decoder process, from the file's open to the picture on the board, beside the"
echo "   format's own decoder on the same file as Debian ships it (its whole process, writing raw"
echo "   pixels: full size, or an eighth a side for djpeg -scale 1/8); the game's own memory above"
echo "   the idle board, and the decoder process's peak"
photo() { # NAME WIDTH HEIGHT: the picture as PNG, and as HEIC, AVIF and WebP made from it
    "$bench" make-photo "$work/$1.png" "$2" "$3" 2>/dev/null
    heif-enc -q 85 -p preset=ultrafast "$work/$1.png" -o "$work/$1.heic" >/dev/null
    avifenc -s 8 "$work/$1.png" "$work/$1.avif" >/dev/null
    cwebp -quiet -q 85 "$work/$1.png" -o "$work/$1.webp"
    rm "$work/$1.png"
}
photo 12mp 4000 3000
photo 48mp 8000 6000
# A 10-bit HEIC of 38 megapixels, as heif-enc writes one from a 16-bit picture.
"$bench" make-photo "$work/38mp-10bit.png" 7168 5360 16 2>/dev/null
heif-enc -q 85 -b 10 -p preset=ultrafast "$work/38mp-10bit.png" -o "$work/38mp-10bit.heic" >/dev/null
rm "$work/38mp-10bit.png"
"$bench" make-photo "$work/108mp.jpg" 12000 9000 2>/dev/null
"$bench" make-photo "$work/200mp.jpg" 16320 12240 2>/dev/null
printf '%-16s %5s %-8s %8s %8s %11s   %-22s %8s %8s\n' file MB outcome ms "game +MB" "decoder MB" "own decoder" ms "peak MB"
# Interleaved, each the median of up to three runs: the machine the same for both.
photo_runs=$((runs < 3 ? runs : 3))
for file in 12mp.heic 48mp.heic 38mp-10bit.heic 12mp.avif 48mp.avif 12mp.webp 48mp.webp 108mp.jpg 200mp.jpg; do
    case $file in
    *.heic) tool=(heif-convert "$work/$file" "$work/out.y4m") ;;
    *.avif) tool=(avifdec "$work/$file" "$work/out.y4m") ;;
    *.webp) tool=(dwebp "$work/$file" -yuv -o "$work/out.yuv") ;;
    *.jpg) tool=(djpeg -scale 1/8 -outfile /dev/null "$work/$file") ;;
    esac
    ours=() theirs=() theirs_mb=()
    for _ in $(seq "$photo_runs"); do
        line=$("$bench" attack "$work/$file" 2>/dev/null)
        ours+=("$(field ms <<<"$line")")
        /usr/bin/time -o "$work/time" -f "%e %M" "${tool[@]}" >/dev/null 2>&1
        theirs+=("$(awk '{ printf "%.0f", $1 * 1000 }' "$work/time")")
        theirs_mb+=("$(awk '{ printf "%.1f", $2 / 1024 }' "$work/time")")
        rm -f "$work/out.y4m" "$work/out.yuv"
    done
    printf '%-16s %5s %-8s %8s %8s %11s   %-22s %8s %8s\n' "$file" "$(($(stat -c %s "$work/$file") >> 20))" \
        "$(field outcome <<<"$line")" "$(printf '%s\n' "${ours[@]}" | median)" "$(field peak_extra_mb <<<"$line")" \
        "$(field decoder_peak_mb <<<"$line")" \
        "${tool[0]}$([[ $file == *.jpg ]] && echo ' -scale 1/8')" \
        "$(printf '%s\n' "${theirs[@]}" | median)" "$(printf '%s\n' "${theirs_mb[@]}" | median)"
done
rm -f "$work"/*.heic "$work"/*.avif "$work"/*.webp "$work"/*mp.jpg

echo
echo "== Pictures made to hurt, and big photos: one load each, in a process of its own"
echo "   (bounds: 1000 ms, or 1.1 x djpeg -scale 1/8 for a JPEG; 150 MB, 320 MB for a progressive"
echo "   JPEG's coefficients; ok-* are legal pictures that must load, the rest may load or be"
echo "   refused; the last columns: the same load under a CPU quota of 25 % of one core)"
"$bench" make-hostile "$work/hostile"
# A cgroup (v1 or v2) that lets its processes use a quarter of one core, where we may make one.
quota=
if [[ -w /sys/fs/cgroup/cpu ]] && mkdir -p /sys/fs/cgroup/cpu/puzzle-bench-$$ 2>/dev/null; then
    quota=/sys/fs/cgroup/cpu/puzzle-bench-$$
    echo 25000 >"$quota/cpu.cfs_quota_us" && echo 100000 >"$quota/cpu.cfs_period_us"
elif [[ -w /sys/fs/cgroup/cgroup.subtree_control ]] && mkdir -p /sys/fs/cgroup/puzzle-bench-$$ 2>/dev/null; then
    quota=/sys/fs/cgroup/puzzle-bench-$$
    echo "25000 100000" >"$quota/cpu.max"
fi
trap 'rm -rf "$work"; [[ -n $quota ]] && rmdir "$quota" 2>/dev/null || true' EXIT
# Some containers let a cgroup be made but no process be moved into it.
[[ -n $quota ]] && ! bash -c 'echo $$ >"$1/cgroup.procs"' _ "$quota" 2>/dev/null && rmdir "$quota" && quota=
[[ -z $quota ]] && echo "   (no cgroup may be made here: the quota columns stay empty)"
slowly() { # runs a command inside the cgroup given first
    bash -c 'echo $$ >"$1/cgroup.procs" && shift && exec "$@"' _ "$@"
}
# The decoder's own footprint (its libraries), from a picture of a few pixels: the bounds count
# beyond it.
base=$(field decoder_peak_mb <<<"$("$bench" attack "$work/hostile/ok-top-down.bmp" 2>/dev/null)")
echo "   (the decoder process holds $base MB for itself; the bounds are above that)"
printf '%-66s %-8s %8s %9s %9s %-15s %-8s %8s\n' file outcome ms djpeg-ms "peak MB" "within bounds" quota-25% ms
for file in "$work"/hostile/*; do
    line=$("$bench" attack "$file" 2>/dev/null)
    # The memory a load costs is the decoder's now; the game's own beside it stays small.
    outcome=$(field outcome <<<"$line") ms=$(field ms <<<"$line") mb=$(field decoder_peak_mb <<<"$line")
    name=$(basename "$file") djpeg_ms=- limit=1000 memory=$(awk -v b="$base" 'BEGIN { print 150 + b }')
    if [[ $name == ok-*.jpg ]]; then
        start=$(date +%s%N)
        djpeg -scale 1/8 -outfile /dev/null "$file"
        djpeg_ms=$((($(date +%s%N) - start) / 1000000))
        limit=$(awk -v d="$djpeg_ms" 'BEGIN { print (1.1 * d > 1000 ? 1.1 * d : 1000) }')
    fi
    [[ $name == *progressive* ]] && memory=$(awk -v b="$base" 'BEGIN { print 320 + b }')
    verdict=yes
    awk -v ms="$ms" -v mb="$mb" -v l="$limit" -v m="$memory" 'BEGIN { exit !(ms > l || mb > m) }' && verdict=NO
    [[ $name == ok-* && $outcome != loaded ]] && verdict="NO (must load)"
    slow_outcome=- slow_ms=-
    if [[ -n $quota ]]; then
        line=$(slowly "$quota" "$bench" attack "$file" 2>/dev/null)
        slow_outcome=$(field outcome <<<"$line") slow_ms=$(field ms <<<"$line")
        [[ $slow_outcome != "$outcome" ]] && slow_outcome="$slow_outcome (DIFFERS)"
    fi
    printf '%-66s %-8s %8s %9s %9s %-15s %-8s %8s\n' "$name" "$outcome" "$ms" "$djpeg_ms" "$mb" "$verdict" \
        "$slow_outcome" "$slow_ms"
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
