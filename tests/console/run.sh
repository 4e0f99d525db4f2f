#!/usr/bin/env bash
# Runs one test of unplug.exe in the e2e Wine session (prefix and display).
#   run.sh BUILD_DIR NAME
set -uo pipefail
source "$(dirname "$0")/../../scripts/lib/setup.sh"
bin=$1
varnel_prefix
DISPLAY=$(cat "$bin/e2e/display") || exit 1
export DISPLAY
exec python3 "$(dirname "$0")/console_test.py" "$bin" "$2"
