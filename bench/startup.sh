#!/usr/bin/env bash
# Start-up figures under Wine: the median time until the main window exists for the program and
# for a bare window built the same way, their ratio, the program's size and the DLLs it imports.
#   bench/startup.sh [RUNS] [OTHER.exe]   (default 15; builds the windows preset first)
# With OTHER.exe (another build of the program, say from an earlier commit), that one is timed in
# the same run too, for a before-and-after on equal terms.
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/setup.sh"

runs=${1:-15}
other=${2:-}
varnel_install
mkdir -p "$VARNEL_BUILD"
varnel_build windows >/dev/null
varnel_prefix
trap 'wineserver -k 2>/dev/null || true; varnel_display_stop' EXIT
unset DISPLAY
varnel_display

bin="$VARNEL_BUILD/windows"
out="$VARNEL_BUILD/bench-startup.log"
wine cmd /c exit >/dev/null 2>&1 </dev/null  # warm Wine up once
measure() {
    wine "$bin/bench/startup_timer.exe" "$1" "$2" >"$out" 2>&1 </dev/null ||
        { echo "timing $1 failed:" >&2; cat "$out" >&2; exit 1; }
    sed -n 's/.*median_ms=\([0-9.]*\).*/\1/p' "$out"
}
# The programs take turns, a few starts each round, so that a machine whose load changes during
# the run weighs on all of them alike; each figure is the median of its rounds' medians.
programs=("$bin/varnel-unplug.exe" "$bin/bench/hello_window.exe" "$bin/bench/hello_window_dlls.exe")
[ -n "$other" ] && programs+=("$other")
declare -A figures
rounds=$(( (runs + 2) / 3 ))
for _ in $(seq 1 "$rounds"); do
    for p in "${programs[@]}"; do
        figures[$p]+="$(measure "$p" 3) "
    done
done
median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
program=$(echo "${figures[$bin/varnel-unplug.exe]}" | median)
hello=$(echo "${figures[$bin/bench/hello_window.exe]}" | median)
same=$(echo "${figures[$bin/bench/hello_window_dlls.exe]}" | median)
size=$(stat -c %s "$bin/varnel-unplug.exe")
[ -n "$other" ] && before=$(echo "${figures[$other]}" | median)
runs=$(( rounds * 3 ))
echo "start-up until the main window exists, median of $rounds rounds of 3 starts under Wine, taking turns:"
echo "  varnel-unplug.exe  ${program} ms"
echo "  hello_window.exe   ${hello} ms"
echo "  hello_window_dlls.exe ${same} ms (the bare window loading what the program loads first: common controls 6)"
awk -v a="$program" -v b="$hello" 'BEGIN { printf "  ratio to the bare window       %.2f (goal <= 1.2)\n", a / b }'
awk -v a="$program" -v b="$same" 'BEGIN { printf "  ratio to the window with its DLLs %.2f\n", a / b }'
if [ -n "$other" ]; then
    echo "  $other ${before} ms"
    awk -v a="$before" -v b="$hello" 'BEGIN { printf "  its ratio to the bare window    %.2f\n", a / b }'
fi
awk -v s="$size" 'BEGIN { printf "size of varnel-unplug.exe: %d bytes (%.0f KiB; goal <= 1024 KiB)\n", s, s / 1024 }'
echo "imported DLLs:"
x86_64-w64-mingw32-objdump -p "$bin/varnel-unplug.exe" | sed -n 's/^\s*DLL Name: /  /p'
