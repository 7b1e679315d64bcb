#!/usr/bin/env bash
# The part of the demo that runs inside its own network namespace (scripts/demo.sh starts it
# through unshare): brings loopback up, starts the three simulated devices on port 161, runs
# zelSNMP against the demo site for the given time, stops it with SIGTERM as the process
# monitor would, and stops the devices. Every process it starts is ended before it returns,
# also when it is interrupted.
#
# Usage: run_in_namespace.sh SITE_DIR BUILD_DIR SECONDS TM_SERVER
# Exit status 0 when the task ran and stopped in order, 1 otherwise (the reason on stderr).
set -euo pipefail

readonly SITE_DIR=$1
readonly BUILD_DIR=$2
readonly RUN_SECONDS=$3
readonly TM_SERVER=$4

DATA_DIR=$(cd "$(dirname "$0")" && pwd)
readonly DATA_DIR
readonly ZELSNMP=$BUILD_DIR/app/zelSNMP
readonly AGENTSIM=$BUILD_DIR/tools/agentsim/agentsim
readonly AGENT_LOG_DIR=$SITE_DIR/agents
readonly TASK_CONSOLE_LOG=$SITE_DIR/zelSNMP.console.log

# address, data file, agentsim options. The sections of scripts/demo/_zelSNMP.cfg match these.
readonly DEVICES=(
  "127.0.0.2 switch.snmprec --community vxkfqz"
  "127.0.0.3 ups.snmprec --community ups-ro"
  "127.0.0.4 router.snmprec --silent"
)

readonly LISTEN_TIMEOUT_S=5
# A pass that has begun is finished before the task notices the stop; a silent device costs
# 5 s of it.
readonly STOP_TIMEOUT_S=20
readonly KILL_TIMEOUT_S=5

started_pids=()
task_pid=

say() { echo "demo: $*"; }
fail() { echo "demo: $*" >&2; exit 1; }

# True while the process runs (a child that has ended but is not yet reaped does not count).
is_running() {
  local state
  state=$(awk '{ print $3 }' "/proc/$1/stat" 2>/dev/null) || return 1
  [[ -n $state && $state != Z && $state != X ]]
}

# Waits up to $2 seconds for process $1 to end; true when it has ended.
wait_for_end() {
  local pid=$1 deadline=$((SECONDS + $2))
  while is_running "$pid"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.1
  done
  wait "$pid" 2>/dev/null || true
}

stop_process() {
  local pid=$1
  is_running "$pid" || { wait "$pid" 2>/dev/null || true; return 0; }
  kill -TERM "$pid" 2>/dev/null || true
  if ! wait_for_end "$pid" "$STOP_TIMEOUT_S"; then
    echo "demo: process $pid did not stop on SIGTERM; killing it" >&2
    kill -KILL "$pid" 2>/dev/null || true
    wait_for_end "$pid" "$KILL_TIMEOUT_S" || true
  fi
}

cleanup() {
  local pid
  [[ -n $task_pid ]] && stop_process "$task_pid"
  for pid in "${started_pids[@]}"; do stop_process "$pid"; done
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

bring_loopback_up() {
  ip link set lo up || fail "cannot bring the loopback interface up in the namespace"
}

# Starts one agentsim and waits until it listens.
start_device() {
  local address=$1 data_file=$2
  shift 2
  local log=$AGENT_LOG_DIR/$address.log
  # The log exists before the device starts writing it, so the wait below never reads a
  # file that is not there yet.
  : >"$log"
  "$AGENTSIM" --listen "$address:161" --data "$DATA_DIR/$data_file" "$@" \
    </dev/null >"$log" 2>&1 &
  local pid=$!
  started_pids+=("$pid")
  local deadline=$((SECONDS + LISTEN_TIMEOUT_S))
  until grep -qs "agentsim listening on" "$log"; do
    is_running "$pid" || fail "the device $address did not start: $(cat "$log")"
    ((SECONDS < deadline)) || fail "the device $address does not listen after ${LISTEN_TIMEOUT_S} s"
    sleep 0.1
  done
  say "device $address ($data_file${*:+ $*}) listens on port 161"
}

start_devices() {
  mkdir -p "$AGENT_LOG_DIR"
  local device
  for device in "${DEVICES[@]}"; do
    # shellcheck disable=SC2086  # the options are words
    start_device $device
  done
}

# Runs the task for RUN_SECONDS, then stops it as the process monitor would.
run_task() {
  say "starting zelSNMP $TM_SERVER for $RUN_SECONDS s (site $SITE_DIR)"
  (cd "$SITE_DIR" && ZELSNMP_SITE=$SITE_DIR exec "$ZELSNMP" "$TM_SERVER") \
    </dev/null >"$TASK_CONSOLE_LOG" 2>&1 &
  task_pid=$!
  local deadline=$((SECONDS + RUN_SECONDS))
  while ((SECONDS < deadline)); do
    if ! is_running "$task_pid"; then
      wait "$task_pid" 2>/dev/null || true
      task_pid=
      fail "zelSNMP ended before the demo stopped it (interrupted?); see $SITE_DIR/log/"
    fi
    sleep 0.2
  done
  say "stopping zelSNMP with SIGTERM (a pass under way is finished first)"
  local pid=$task_pid
  task_pid=
  kill -TERM "$pid"
  if ! wait_for_end "$pid" "$STOP_TIMEOUT_S"; then
    kill -KILL "$pid" 2>/dev/null || true
    wait_for_end "$pid" "$KILL_TIMEOUT_S" || true
    fail "zelSNMP did not stop within ${STOP_TIMEOUT_S} s of SIGTERM and was killed"
  fi
}

bring_loopback_up
start_devices
run_task
