#!/bin/sh
# Runs post_probe.exe under Wine against the stand-in version service, once per scenario, and
# prints each outcome with its time. Makes the test certificates and trusts the test CA in the
# prefix first. Exits non-zero when a scenario does not end as expected.
#   tools/post_probe_scenarios.sh BUILD_DIR WINEPREFIX WORK_DIR
# BUILD_DIR is a windows preset build (it holds tools/post_probe.exe); WORK_DIR receives the
# certificates, the request records and the probe results.
set -eu

root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$1" && pwd)
prefix=$(cd "$2" && pwd)
mkdir -p "$3"
work=$(cd "$3" && pwd)
failures=0

python3 "$root/tools/version_service.py" make-certs "$work/certs" >/dev/null
"$root/tools/trust_test_ca.sh" "$prefix" "$work/certs/ca.pem" >/dev/null

# probe NAME EXPECTED(ok|error) SCENARIO [serve options...]; URL overrides the address.
probe() {
    name=$1 expected=$2 scenario=$3
    shift 3
    dir=$work/$name
    rm -rf "$dir"
    mkdir -p "$dir"
    python3 "$root/tools/version_service.py" serve --certs "$work/certs" \
        --record "$dir/requests.jsonl" --port-file "$dir/port" --lifetime 30 \
        --scenario "$scenario" "$@" >"$dir/server.log" 2>&1 &
    server=$!
    while [ ! -f "$dir/port" ]; do sleep 0.05; done
    address=${URL:-https://localhost:$(cat "$dir/port")/index.php/Index/soft_version}
    WINEPREFIX=$prefix WINEDEBUG=-all wine "$build/tools/post_probe.exe" "$address" \
        "Z:$(printf '%s' "$dir/result.txt" | tr '/' '\\')" >"$dir/wine.log" 2>&1 || true
    kill "$server" 2>/dev/null || true
    outcome=$(sed -n 's/^outcome=//p' "$dir/result.txt")
    elapsed=$(sed -n 's/^elapsed_ms=//p' "$dir/result.txt")
    detail=$(sed -n 's/^detail=//p' "$dir/result.txt")
    printf '%-16s %-6s %6s ms  %s\n' "$name" "$outcome" "$elapsed" "$detail"
    if [ "$outcome" != "$expected" ] || [ "${elapsed:-99999}" -gt 10000 ]; then
        failures=$((failures + 1))
    fi
}

answer='{"result":1,"info":{"version":"3.0.0","sid":"1","must":"0"}}'
probe instant ok "{\"body\": $(printf '%s' "$answer" | python3 -c 'import json,sys;print(json.dumps(sys.stdin.read()))')}"
expected_request='POST /index.php/Index/soft_version CONTENT-TYPE=application/x-www-form-urlencoded body=sn=kesto'
seen=$(python3 -c 'import json,sys
r = json.loads(open(sys.argv[1]).readline())
ours = [v for n, v in r["headers"] if n == "CONTENT-TYPE"]
print(r["method"], r["path"], "CONTENT-TYPE=" + ",".join(ours), "body=" + r["body"])' \
    "$work/instant/requests.jsonl")
if [ "$seen" != "$expected_request" ]; then
    echo "request seen: $seen" >&2
    failures=$((failures + 1))
fi
probe html-500 ok '{"status":500,"headers":{"Content-Type":"text/html"},"body":"<html>500</html>"}'
probe gbk-charset ok '{"headers":{"Content-Type":"text/plain; charset=gbk"},"encoding":"gbk","body":"中文"}'
probe exactly-1mib ok '{"body_size":1048576}'
probe over-1mib error '{"body_size":1048577}'
probe untrusted error '{"body":""}' --untrusted
probe never-answers error '{"action":"hang"}'
probe no-handshake error '{"action":"hang-handshake"}'
probe answers-late error '{"delay":12,"body":"{}"}'
probe closes error '{"action":"close"}'
closed=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
URL=https://localhost:$closed/index.php/Index/soft_version probe closed-port error '{}'

exit "$failures"
