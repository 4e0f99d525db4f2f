#!/usr/bin/env bash
# The Wine session shared by the tests of the real program and the other Wine tiers: one prefix,
# one virtual display.
#   session.sh start BUILD_DIR       prepare the prefix, test certificates and Xvfb
#   session.sh gtest BUILD_DIR TARGET FILTER [SCENARIO]
#                                    run the GoogleTest program build/tests/TARGET.exe under Wine
#                                    with that filter; with a scenario, the stand-in version
#                                    service answers as scenarios/SCENARIO.json says (the
#                                    up-to-date answer when there is none), with the extra
#                                    options of scenarios/SCENARIO.args
#   session.sh console BUILD_DIR NAME
#                                    run the test NAME of tests/console/console_test.py
#   session.sh stop BUILD_DIR        end Wine and Xvfb
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/setup.sh"

action=$1 bin=$2 state="$2/e2e"
scenarios="$VARNEL_ROOT/tests/e2e/scenarios"
# The port the build asks for the version service on (its VARNEL_VERSION_SERVICE).
port=$(sed -n 's#^VARNEL_VERSION_SERVICE:STRING=.*:\([0-9]*\).*#\1#p' "$bin/CMakeCache.txt")
port=${port:-47443}
mkdir -p "$state/service"
varnel_prefix
# The tests put a recorder in place of system32's rundll32.exe; Wine would run its built-in
# rundll32 instead of a file of that name in the system folder unless told otherwise. A test
# program that crashes ends at once instead of waiting in Wine's debugger.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rundll32.exe=n,b;winedbg.exe=d"

case "$action" in
start)
    [ -f "$state/display" ] && xdpyinfo -display "$(cat "$state/display")" >/dev/null 2>&1 && exit 0
    if [ ! -f "$state/certs/ca.pem" ]; then
        python3 "$VARNEL_ROOT/tools/version_service.py" make-certs "$state/certs" >"$state/certs.log" 2>&1 &&
            sh "$VARNEL_ROOT/tools/trust_test_ca.sh" "$WINEPREFIX" "$state/certs/ca.pem" || exit 1
    fi
    unset DISPLAY
    varnel_display || exit 1
    echo "$DISPLAY" >"$state/display" && echo "$VARNEL_XVFB_PID" >"$state/xvfb.pid"
    # Warm the prefix so that the first test does not pay for Wine's start.
    wine cmd /c exit >"$state/warm.log" 2>&1 </dev/null
    echo "wine session on $DISPLAY"
    ;;
gtest)
    target=$3 filter=$4 scenario=${5:-}
    export DISPLAY="$(cat "$state/display")"
    if [ -n "$scenario" ]; then
        answer=(--scenario '{"body": "{\"result\":1,\"info\":{\"version\":\"3.0.0\",\"sid\":\"1\",\"must\":\"0\"}}"}')
        [ -f "$scenarios/$scenario.json" ] && answer=(--scenario-file "$scenarios/$scenario.json")
        extra=()
        [ -f "$scenarios/$scenario.args" ] && read -r -a extra <"$scenarios/$scenario.args"
        varnel_service "$state/certs" "$state/service" "$scenario" "$port" --lifetime 300 \
            "${extra[@]}" "${answer[@]}" || exit 1
        service_pid=$VARNEL_SERVICE_PID
    fi
    # The tests find the service's port and records here.
    export VARNEL_TEST_SERVICE="$state/service" VARNEL_TEST_SCENARIO="$scenario"
    # Wine's output goes to a file: programs started by the tests would keep a pipe open.
    out="$state/$target-$scenario.log"
    wine "$bin/tests/$target.exe" --gtest_color=no "--gtest_filter=$filter" >"$out" 2>&1 </dev/null
    rc=$?
    if [ "$rc" != 0 ] && [ ! -s "$out" ]; then
        # Ended at its start without a word (seen once under Wine, 0.02 s): run it again, once. A
        # test that fails always writes its failure, so no failure is hidden by this.
        echo "$target ended at its start with nothing written (exit $rc); run again"
        wine "$bin/tests/$target.exe" --gtest_color=no "--gtest_filter=$filter" >"$out" 2>&1 </dev/null
        rc=$?
    fi
    [ -n "${service_pid:-}" ] && kill "$service_pid" 2>/dev/null
    cat "$out"
    # A filter that matches nothing would pass silently.
    [ "$rc" != 0 ] || grep -q '^\[  PASSED  \] [1-9]' "$out" || { echo "no test ran: $filter"; rc=1; }
    exit $rc
    ;;
console)
    export DISPLAY="$(cat "$state/display")"
    exec python3 "$VARNEL_ROOT/tests/console/console_test.py" "$bin" "$3"
    ;;
stop)
    wineserver -k 2>/dev/null
    [ -f "$state/xvfb.pid" ] && kill "$(cat "$state/xvfb.pid")" 2>/dev/null
    rm -f "$state/xvfb.pid" "$state/display"
    ;;
esac
