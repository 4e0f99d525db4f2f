#!/usr/bin/env bash
# Time of unplug.exe's who T: under Wine in three cases: 100 processes of which none holds T:, one
# process with 10,000 handles open on T:, and 200 processes each holding a file on T:. Prints, a
# case a line, the median and best wall time of RUNS starts (the whole command as a user starts
# it), the scan's two parts from holders_timer, and the same for an earlier unplug.exe when one is
# given (for instance one built from the commit before a change, kept outside build/windows).
#   bench/holders.sh [RUNS] [EARLIER_UNPLUG_EXE]     (default 5; builds the windows preset first
#                                                    unless VARNEL_BENCH_BUILT=1)
# Then the program's holders window with 20 and 100 processes each holding a file on T:: the time
# from the menu command to the filled list, and the slowest WM_NULL round trip of the window's
# thread meanwhile with what it was doing (holders_window_timer, on a virtual display).
# VARNEL_BENCH_CASES="who window" (the default) chooses the command's cases, the window's or both;
# VARNEL_BENCH_COUNTS="20 100" (the default) the numbers of holders for the window.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/setup.sh"

runs=${1:-5}
earlier=${2:-}
cases=${VARNEL_BENCH_CASES:-who window}
varnel_install
mkdir -p "$VARNEL_BUILD"
[ "${VARNEL_BENCH_BUILT:-}" = 1 ] || varnel_build windows >/dev/null
varnel_prefix
bin="$VARNEL_BUILD/windows"
work="$VARNEL_BUILD/bench-holders"
rm -rf "$work" && mkdir -p "$work/drive"
echo held >"$work/drive/a.txt"
pids=()
stop_helpers() {
    if [ "${#pids[@]}" -gt 0 ]; then
        kill "${pids[@]}" 2>/dev/null || true
        wait "${pids[@]}" 2>/dev/null || true
    fi
    pids=()
    rm -f "$work"/ready-*
}
stop() {
    stop_helpers
    wine "$bin/tools/define_drive.exe" T: --remove >/dev/null 2>&1 </dev/null || true
    wineserver -k 2>/dev/null || true
    varnel_display_stop
}
trap stop EXIT
unset DISPLAY
varnel_display
wine cmd /c exit >/dev/null 2>&1 </dev/null  # warm Wine up once
wine "$bin/tools/define_drive.exe" T: "$work/drive" >/dev/null 2>&1 </dev/null
wwork="Z:${work//\//\\}"

# Starts COUNT copies of a helper (program, then its arguments after the ready file) and waits
# until each holds what it should.
start_helpers() {
    local count=$1 program=$2
    shift 2
    local i
    for i in $(seq 1 "$count"); do
        wine "$program" "$wwork\\ready-${#pids[@]}" "$@" >/dev/null 2>&1 </dev/null &
        pids+=($!)
    done
    for i in $(seq 1 1200); do
        [ "$(ls "$work" | grep -c '^ready-')" -ge "${#pids[@]}" ] && return
        sleep 0.1
    done
    echo "helpers did not get ready" >&2
    return 1
}

# The wall times in ms of RUNS runs of one unplug.exe's who T:, as "median (best B)": on a shared
# machine the best run is the steadier figure. Also how many holders the last run named.
who_ms() {
    local unplug=$1 times=() start end
    for _ in $(seq 1 "$runs"); do
        start=$(date +%s%N)
        wine "$unplug" who T: >"$work/who.txt" 2>&1 </dev/null || true
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
    done
    local sorted
    sorted=$(printf '%s\n' "${times[@]}" | sort -n)
    echo "$(sed -n "$(((runs + 1) / 2))p" <<<"$sorted") ms (best $(head -1 <<<"$sorted")," \
        "$(grep -c 'T:\\' "$work/who.txt" || true) named)"
}

measure() {
    local name=$1 goal=$2
    wine "$bin/bench/holders_timer.exe" "$runs" >"$work/timer.txt" 2>&1 </dev/null || true
    local line
    line="$name: who $(who_ms "$bin/unplug.exe"), goal <= $goal ms"
    [ -n "$earlier" ] && line+="; earlier build $(who_ms "$earlier")"
    echo "$line; scan alone: $(cat "$work/timer.txt")"
}

# The holders window of the program with COUNT holders started: median and slowest time from the
# menu command to the list naming them all, and the slowest round trip over all RUNS openings with
# what the window's thread was doing (open: creating the window; look; fill: showing the list).
measure_window() {
    local count=$1
    wine "$bin/bench/holders_window_timer.exe" "$bin/varnel-unplug.exe" "$count" "$runs" \
        >"$work/window.txt" 2>&1 </dev/null || { cat "$work/window.txt" >&2; return 1; }
    sed -n 's/.*filled_median_ms=\([0-9]*\) filled_max_ms=\([0-9]*\) round_trip_max_ms=\([0-9.]*\) round_trip_max_in=\([a-z]*\).*/'"holders window, $count processes holding T:: menu command to filled list \\1 ms (slowest \\2), goal <= 1000 ms; slowest WM_NULL round trip \\3 ms (while: \\4), goal < 100 ms/p" \
        "$work/window.txt"
}

if [[ " $cases " == *" who "* ]]; then
    start_helpers 100 "$bin/tools/holder.exe" idle
    measure "100 processes, none holding T:" 500
    stop_helpers
    start_helpers 1 "$bin/bench/many_files.exe" 'T:\a.txt' 10000
    measure "1 process with 10000 handles on T:" 1000
    stop_helpers
    start_helpers 200 "$bin/tools/holder.exe" file 'T:\a.txt'
    measure "200 processes holding T:" 1000
    stop_helpers
fi
if [[ " $cases " == *" window "* ]]; then
    for count in ${VARNEL_BENCH_COUNTS:-20 100}; do
        start_helpers "$count" "$bin/tools/holder.exe" file 'T:\a.txt'
        measure_window "$count"
        stop_helpers
    done
fi
