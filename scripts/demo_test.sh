#!/usr/bin/env bash
# End-to-end check of the demo command: runs scripts/demo.sh on an existing build tree and
# checks the points table it prints (values of every kind from the two answering devices,
# flags on the silent one), the logs, the orderly stop and that no process is left behind.
#
# Usage: scripts/demo_test.sh BUILD_DIR
# Exit status 0 on success, 77 when this machine cannot make the network namespace the demo
# needs (the test is then skipped), 1 on any failed check.
set -uo pipefail

REPO_DIR=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=$(cd "${1:?usage: demo_test.sh BUILD_DIR}" && pwd) || exit 1
readonly REPO_DIR BUILD_DIR
readonly SITE_DIR=$BUILD_DIR/demo-site
# One pass at once, then the task waits; the silent device costs its 5 s time-out.
readonly RUN_SECONDS=8
readonly EXIT_SKIP=77
readonly DEMO_EXIT_NO_NAMESPACE=3

failures=0
output=

check() {
  local description=$1
  shift
  if "$@"; then
    echo "ok: $description"
  else
    echo "FAILED: $description" >&2
    failures=$((failures + 1))
  fi
}

# The LAST VALUE/FLAGS and TIME columns of a point's row.
row_tail() {
  awk -v point="$1" '$1 == point { $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print; exit }' \
    <<<"$output"
}

row_starts_with() {
  local tail
  tail=$(row_tail "$1")
  [[ $tail == "$2"* ]] || { echo "  row of $1: '$tail', expected '$2...'" >&2; return 1; }
}

log_contains() {
  grep -qF -- "$2" "$SITE_DIR/log/$1.log"
}

no_demo_process_left() {
  ! pgrep -f -- "--data $REPO_DIR/scripts/demo/" >/dev/null
}

run_demo() {
  output=$(bash "$REPO_DIR/scripts/demo.sh" --build-dir "$BUILD_DIR" --seconds "$RUN_SECONDS" 2>&1)
  local status=$?
  echo "$output"
  if ((status == DEMO_EXIT_NO_NAMESPACE)); then
    echo "skipped: no network namespace can be made here"
    exit "$EXIT_SKIP"
  fi
  check "the demo ends successfully" test "$status" -eq 0
}

run_demo

# The switch (default community): status from ifOperStatus minus 1, TimeTicks as they are,
# a Gauge32 of 4 Gbit/s and a Counter32 past 2^31 as floats, a Counter64 as a float.
check "port 1 up writes 0" row_starts_with "#TC1:1:1" "0 "
check "port 2 down writes 1" row_starts_with "#TC1:1:2" "1 "
check "sysUpTime reaches a #TS point" row_starts_with "#TS1:1:10" "123456789 "
check "ifSpeed 4 Gbit/s reaches a #TT point" row_starts_with "#TT1:1:1" "4e+09 "
check "ifInOctets past 2^31 reaches a #TT point" row_starts_with "#TT1:1:2" "3.22122547e+09 "
check "a Counter64 reaches a #TT point" row_starts_with "#TT1:1:3" "9.876543"
check "a line that is no point address is only traced" row_starts_with "sysDescr" "(only traced)"
# The UPS (own community): integers and text floats.
check "battery status" row_starts_with "#TS2:1:1" "2 "
check "charge remaining" row_starts_with "#TS2:1:2" "100 "
check "input voltage" row_starts_with "#TT2:1:1" "229 "
check "temperature sent as text" row_starts_with "#TT2:1:2" "23.5 "
check "humidity sent as text" row_starts_with "#TT2:1:3" "41 "
# The silent router: flags on #TC and #TT, nothing on #TS.
check "silent device: #TC flagged" row_starts_with "#TC3:1:1" "flags 0x0001"
check "silent device: #TT flagged" row_starts_with "#TT3:1:1" "flags 0x0001"
check "silent device: #TS untouched" row_starts_with "#TS3:1:10" "(nothing written)"

check "debug log: the switch answered" log_contains debug "Ответ от 127.0.0.2"
check "debug log: the UPS answered" log_contains debug "Ответ от 127.0.0.3:ups-ro"
check "debug log: the router did not" log_contains debug "Нет ответа от 127.0.0.4"
check "stopped in order by SIGTERM" log_contains message "Задача остановлена"
check "trace state 2 at the end" log_contains trace "state 2"
check "no error logged" test ! -s "$SITE_DIR/log/error.log"
check "no device or task left running" no_demo_process_left

if ((failures > 0)); then
  echo "$failures check(s) failed" >&2
  exit 1
fi
echo "all checks passed"
