#!/usr/bin/env bash
# CPU figures of the one-click repair under Wine: the program's CPU time over a full run as a
# share of one core, next to the same pauses waited by a busy loop and by the event wait, each
# with the wineserver's CPU over the same span.
#   bench/cpu_one_click.sh [BUILD_DIR]   (default build/windows, built already; the prefix is
#                                         VARNEL_WINEPREFIX or build/prefix)
set -euo pipefail
source "$(dirname "$0")/../scripts/lib/setup.sh"

bin=$(cd "${1:-$VARNEL_BUILD/windows}" && pwd)
session="$VARNEL_ROOT/tests/e2e/session.sh"
[ -x "$bin/bench/cpu_one_click.exe" ] || { log "build $bin first"; exit 1; }

# The e2e session's prefix and display; ended afterwards only if this script started them.
started_session=0
if ! { [ -f "$bin/e2e/display" ] && xdpyinfo -display "$(cat "$bin/e2e/display")" >/dev/null 2>&1; }; then
    bash "$session" start "$bin" >/dev/null
    started_session=1
fi
trap '[ "$started_session" = 1 ] && bash "$session" stop "$bin"' EXIT
varnel_prefix
# As in the tests: the recorder in system32 runs instead of Wine's built-in rundll32.
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;rundll32.exe=n,b;winedbg.exe=d"
export DISPLAY
DISPLAY=$(cat "$bin/e2e/display")

handshake="$bin/e2e/bench-wineserver.txt"
out="$bin/e2e/bench-cpu.log"
rm -f "$handshake"
# Wine's output goes to a file: the programs it starts would keep a pipe open.
wine "$bin/bench/cpu_one_click.exe" >"$out" 2>&1 </dev/null &
driver=$!

# This prefix's wineserver works in /tmp/.../server-<device>-<inode> of the prefix.
server_dir=server-$(stat -c %D "$WINEPREFIX")-$(printf '%x' "$(stat -c %i "$WINEPREFIX")")
server_pid=0
for _ in $(seq 1 100); do
    for proc in /proc/[0-9]*; do
        case "$(readlink "$proc/cwd" 2>/dev/null)" in
        */"$server_dir")
            grep -q wineserver "$proc/comm" 2>/dev/null && server_pid=${proc#/proc/}
            ;;
        esac
    done
    [ "$server_pid" != 0 ] && break
    sleep 0.1
done
echo "$server_pid $(getconf CLK_TCK)" >"$handshake"

rc=0
wait "$driver" || rc=$?
cat "$out"
exit $rc
