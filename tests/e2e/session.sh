#!/usr/bin/env bash
# The Wine session shared by the end-to-end tests: one prefix, one virtual display.
#   session.sh start BUILD_DIR       prepare the prefix, start Xvfb
#   session.sh run BUILD_DIR NAME    run one test of the driver
#   session.sh stop BUILD_DIR        end Wine and Xvfb
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/setup.sh"

action=$1
bin=$2
state="$bin/e2e"
mkdir -p "$state"
varnel_prefix

case "$action" in
start)
    if [ -f "$state/display" ] && xdpyinfo -display "$(cat "$state/display")" >/dev/null 2>&1; then
        exit 0
    fi
    unset DISPLAY
    varnel_display || exit 1
    echo "$DISPLAY" >"$state/display"
    echo "$VARNEL_XVFB_PID" >"$state/xvfb.pid"
    # Warm the prefix so that the first test does not pay for Wine's start.
    wine cmd /c exit >"$state/warm.log" 2>&1 </dev/null
    echo "wine session on $DISPLAY"
    ;;
run)
    name=$3
    export DISPLAY
    DISPLAY=$(cat "$state/display")
    out="$state/$name.log"
    rm -f "$out"
    mkdir -p "$state/shots"
    # Wine's output goes to a file: programs started by the test would keep a pipe open.
    wine "$bin/tools/e2e_driver.exe" "$name" >"$out" 2>&1 </dev/null
    rc=$?
    cat "$out"
    for bmp in "$state/shots/$name"*.bmp; do
        [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
    exit $rc
    ;;
stop)
    wineserver -k 2>/dev/null
    if [ -f "$state/xvfb.pid" ]; then
        kill "$(cat "$state/xvfb.pid")" 2>/dev/null
        rm -f "$state/xvfb.pid" "$state/display"
    fi
    exit 0
    ;;
esac
