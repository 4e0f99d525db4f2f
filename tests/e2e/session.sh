#!/usr/bin/env bash
# The Wine session shared by the end-to-end tests: one prefix, one virtual display.
#   session.sh start BUILD_DIR       prepare the prefix, test certificates and Xvfb
#   session.sh run BUILD_DIR NAME    run one test of the driver, with the stand-in version
#                                    service answering as scenarios/NAME.json says (the
#                                    up-to-date answer when there is none; no service at all when
#                                    scenarios/NAME.down exists; extra service options in
#                                    scenarios/NAME.args)
#   session.sh gtest BUILD_DIR TARGET FILTER [SCENARIO]
#                                    run the GoogleTest program build/tests/TARGET.exe under Wine
#                                    with that filter, and the service as for `run SCENARIO`
#   session.sh stop BUILD_DIR        end Wine and Xvfb
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/setup.sh"

action=$1
bin=$2
state="$bin/e2e"
service="$VARNEL_ROOT/tools/version_service.py"
scenarios="$VARNEL_ROOT/tests/e2e/scenarios"
# The port the build asks for the version service on (its VARNEL_VERSION_SERVICE).
port=$(sed -n 's#^VARNEL_VERSION_SERVICE:STRING=https://localhost:\([0-9]*\).*#\1#p' \
    "$bin/CMakeCache.txt")
port=${port:-47443}
mkdir -p "$state/service"
varnel_prefix
# The tests put a recorder in place of system32's rundll32.exe; Wine would run its built-in
# rundll32 instead of a file of that name in the system folder unless told otherwise. A test
# program that crashes ends at once instead of waiting in Wine's debugger.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rundll32.exe=n,b;winedbg.exe=d"

start_service() {
    local name=$1
    [ -e "$scenarios/$name.down" ] && { rm -f "$state/service/$name.requests.jsonl"; return 0; }
    local source=(--scenario '{"body": "{\"result\":1,\"info\":{\"version\":\"3.0.0\",\"sid\":\"1\",\"must\":\"0\"}}"}')
    [ -f "$scenarios/$name.json" ] && source=(--scenario-file "$scenarios/$name.json")
    local extra=()
    [ -f "$scenarios/$name.args" ] && read -r -a extra <"$scenarios/$name.args"
    varnel_service "$state/certs" "$state/service" "$name" "$port" --lifetime 300 \
        "${extra[@]}" "${source[@]}" || return 1
    service_pid=$VARNEL_SERVICE_PID
}

case "$action" in
start)
    if [ -f "$state/display" ] && xdpyinfo -display "$(cat "$state/display")" >/dev/null 2>&1; then
        exit 0
    fi
    if [ ! -f "$state/certs/ca.pem" ]; then
        python3 "$service" make-certs "$state/certs" >"$state/certs.log" 2>&1 || exit 1
        sh "$VARNEL_ROOT/tools/trust_test_ca.sh" "$WINEPREFIX" "$state/certs/ca.pem" || exit 1
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
    service_pid=
    start_service "$name" || exit 1
    # Wine's output goes to a file: programs started by the test would keep a pipe open.
    wine "$bin/tools/e2e_driver.exe" "$name" >"$out" 2>&1 </dev/null
    rc=$?
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null
    cat "$out"
    for bmp in "$state/shots/$name"*.bmp; do
        [ -e "$bmp" ] && convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
    exit $rc
    ;;
gtest)
    target=$3 filter=$4 scenario=${5:-}
    export DISPLAY
    DISPLAY=$(cat "$state/display")
    out="$state/$target-$scenario.log"
    service_pid=
    [ -n "$scenario" ] && { start_service "$scenario" || exit 1; }
    # The tests find the service's port and records here.
    export VARNEL_TEST_SERVICE="$state/service" VARNEL_TEST_SCENARIO="$scenario"
    wine "$bin/tests/$target.exe" --gtest_color=no "--gtest_filter=$filter" >"$out" 2>&1 </dev/null
    rc=$?
    [ -n "$service_pid" ] && kill "$service_pid" 2>/dev/null
    cat "$out"
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
