#!/usr/bin/env bash
# Time of unplug.exe's who under Wine with 20 and with 100 running processes: the handle scan and
# the memory walk apart (median of RUNS scans in one process), and the whole command as a user
# starts it (median wall time of RUNS starts).
#   bench/holders.sh [RUNS]     (default 5; builds the windows preset first)
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/setup.sh"

runs=${1:-5}
varnel_install
mkdir -p "$VARNEL_BUILD"
varnel_build windows >/dev/null
varnel_prefix
bin="$VARNEL_BUILD/windows"
work="$VARNEL_BUILD/bench-holders"
rm -rf "$work" && mkdir -p "$work/drive"
echo held >"$work/drive/a.txt"
pids=()
stop() {
    [ "${#pids[@]}" -gt 0 ] && kill "${pids[@]}" 2>/dev/null
    wine "$bin/tools/define_drive.exe" T: --remove >/dev/null 2>&1 </dev/null || true
    wineserver -k 2>/dev/null || true
}
trap stop EXIT
wine cmd /c exit >/dev/null 2>&1 </dev/null  # warm Wine up once
wine "$bin/tools/define_drive.exe" T: "$work/drive" >/dev/null 2>&1 </dev/null
wwork="Z:${work//\//\\}"

# Starts idle helper processes until the scan sees at least $1 processes; one of them holds T:.
grow_to() {
    local want=$1 have
    while :; do
        wine "$bin/bench/holders_timer.exe" 1 >"$work/count.txt" 2>&1 </dev/null
        have=$(sed -n 's/^processes=\([0-9]*\).*/\1/p' "$work/count.txt")
        have=${have:-0}  # a scan that failed counts nothing
        [ "$have" -ge "$want" ] && break
        local mode=(idle)
        [ "${#pids[@]}" -eq 0 ] && mode=(file 'T:\a.txt')
        for _ in $(seq 1 $((want - have))); do
            wine "$bin/tools/holder.exe" "$wwork\\ready-${#pids[@]}" "${mode[@]}" \
                >/dev/null 2>&1 </dev/null &
            pids+=($!)
            mode=(idle)
        done
        # Measured only once every helper has started and holds what it should.
        local i
        for i in $(seq 1 600); do
            [ "$(ls "$work" | grep -c '^ready-')" -ge "${#pids[@]}" ] && break
            sleep 0.1
        done
    done
}

measure() {
    grow_to "$1"
    wine "$bin/bench/holders_timer.exe" "$runs" >"$work/timer.txt" 2>&1 </dev/null
    local times=()
    for _ in $(seq 1 "$runs"); do
        local start end
        start=$(date +%s%N)
        wine "$bin/unplug.exe" who T: >"$work/who.txt" 2>&1 </dev/null || true
        end=$(date +%s%N)
        times+=($(((end - start) / 1000000)))
    done
    local median
    median=$(printf '%s\n' "${times[@]}" | sort -n | sed -n "$(((runs + 1) / 2))p")
    echo "with $1 processes: $(cat "$work/timer.txt"); unplug who T: ${median} ms wall" \
        "(median of $runs starts; goal <= 1000 ms)"
}

measure 20
measure 100
