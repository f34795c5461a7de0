#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Start-up, memory and idle figures of the real binary under a display of its own, beside a bare
# Qt Widgets program, medians of interleaved runs. Usage: bench/startup.sh RELEASE_BUILD_DIR
set -euo pipefail
build=$(realpath "${1:?usage: bench/startup.sh RELEASE_BUILD_DIR}")
runs=${RUNS:-7}
xstart=$build/bench/xstart
export QT_LOGGING_RULES="qt.multimedia*=false;qt.qpa.*=false"
export XDG_RUNTIME_DIR=$(mktemp -d)

fdfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$XDG_RUNTIME_DIR" "$fdfile"' EXIT
for _ in $(seq 100); do [[ -s $fdfile ]] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$fdfile")"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
field() { sed -n "s/.*$1=\([^ ]*\).*/\1/p"; }
# One timed start, tried again if the display was not ready: prints xstart's line.
start() {
    local out
    for _ in 1 2 3; do
        out=$(timeout 30 "$xstart" "$@" || true)
        [[ -n $out ]] && break
    done
    echo "$out"
}
stop() { kill "$1" 2>/dev/null || true; wait "$1" 2>/dev/null || true; }
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
switches() { cat /proc/"$1"/task/*/status | awk '/ctxt_switches/ { n += $2 } END { print n }'; }

bare=() text=() box=() board=() hwm=()
for _ in $(seq "$runs"); do
    line=$(start reference -- "$build/bench/bench_reference")
    bare+=("$(field first_ms <<<"$line")")
    stop "$(field pid <<<"$line")"
    line=$(start reference -- "$build/bench/bench_reference" --text)
    text+=("$(field first_ms <<<"$line")")
    stop "$(field pid <<<"$line")"
    line=$(start --answer " Schermo attuale" Puzzle_3 -- "$build/puzzle")
    box+=("$(field first_ms <<<"$line")")
    board+=("$(field second_ms <<<"$line")")
    pid=$(field pid <<<"$line")
    sleep 0.5
    hwm+=("$(awk '/VmHWM/ { print $2 }' "/proc/$pid/status")")
    stop "$pid"
done
m_bare=$(printf '%s\n' "${bare[@]}" | median)
m_text=$(printf '%s\n' "${text[@]}" | median)
m_box=$(printf '%s\n' "${box[@]}" | median)
echo "== Start-up under Xvfb, median of $runs interleaved runs"
printf '%-48s %7s ms\n' "bare Qt Widgets window mapped (reference)" "$m_bare"
printf '%-48s %7s ms\n' "bare window with one line of text" "$m_text"
printf '%-48s %7s ms  (%.2f x the bare window, %.2f x the one with text)\n' \
    "puzzle: resolution box on screen" "$m_box" "$(bc -l <<<"$m_box / $m_bare")" "$(bc -l <<<"$m_box / $m_text")"
printf '%-48s %7s ms\n' "puzzle: board on screen after the box's OK" "$(printf '%s\n' "${board[@]}" | median)"
printf '%-48s %7s MB\n' "puzzle: peak resident with the board (VmHWM)" \
    "$(($(printf '%s\n' "${hwm[@]}" | median) / 1024))"

echo
echo "== Idle: 10 seconds with the board shown and nobody playing"
line=$(start --answer " Schermo attuale" Puzzle_3 -- "$build/puzzle")
pid=$(field pid <<<"$line")
sleep 1
ticks=$(cpu_ticks "$pid") wakes=$(switches "$pid")
sleep 10
printf '%-48s %7s ticks of %s Hz\n' "CPU time used" "$(($(cpu_ticks "$pid") - ticks))" "$(getconf CLK_TCK)"
printf '%-48s %7s\n' "context switches, all threads" "$(($(switches "$pid") - wakes))"
printf '%-48s %7s\n' "audio libraries loaded (before any sound)" \
    "$(grep -c -E 'libpulse|libQt6Multimedia' "/proc/$pid/maps" || true)"
stop "$pid"
