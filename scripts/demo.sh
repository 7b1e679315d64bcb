#!/usr/bin/env bash
# The zelSNMP demo: one command that installs what is missing, builds the task and the agent
# simulator when needed, and runs the task for about fifteen seconds against three simulated
# devices on loopback (a switch, a UPS and a router that stays silent), stopping it with SIGTERM
# as the process monitor would. It then prints the points the task wrote, read from the
# stand-in's journal, and where the logs are.
#
# Usage: scripts/demo.sh [--seconds N] [--build-dir DIR]
#   --seconds N      let the task run N seconds (default 15)
#   --build-dir DIR  take zelSNMP and agentsim from this build tree as they are (no set-up and
#                    no build); the demo site is made there too
#
# The devices answer on 127.0.0.2, 127.0.0.3 and 127.0.0.4, port 161, which needs privileges,
# so the run takes place in a network namespace of its own: `unshare -n` as root, otherwise an
# unprivileged user and network namespace (`unshare -rn`). Nothing leaves the machine.
# The demo site is rebuilt on every run in <build>/demo-site.
set -euo pipefail

REPO_DIR=$(cd "$(dirname "$0")/.." && pwd)
readonly REPO_DIR
readonly DEMO_DIR=$REPO_DIR/scripts/demo
readonly PRESET=default
readonly DEFAULT_BUILD_DIR=$REPO_DIR/build/$PRESET
readonly TM_SERVER=DEMO
readonly CONFIG_NAME=_zelSNMP.cfg
readonly DEFAULT_RUN_SECONDS=15
readonly EXIT_NO_NAMESPACE=3

run_seconds=$DEFAULT_RUN_SECONDS
build_dir=
site_dir=
namespace_command=()

say() { echo "demo: $*"; }
fail() { echo "demo: $*" >&2; exit 1; }

usage() {
  sed -n 's/^# \{0,1\}//; 8,12p' "$0"
}

parse_arguments() {
  while (($# > 0)); do
    case $1 in
      --seconds)
        [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || fail "--seconds needs a whole number of seconds"
        run_seconds=$2
        shift 2
        ;;
      --build-dir)
        [[ -n ${2:-} ]] || fail "--build-dir needs a directory"
        build_dir=$(cd "$2" && pwd) || fail "no build directory $2"
        shift 2
        ;;
      -h | --help)
        usage
        exit 0
        ;;
      *)
        echo "demo: unknown option $1" >&2
        usage >&2
        exit 2
        ;;
    esac
  done
}

# Set-up and an incremental build of the two programs the demo needs.
build_programs() {
  say "checking the packages (scripts/setup.sh)"
  bash "$REPO_DIR/scripts/setup.sh"
  cd "$REPO_DIR"
  if [[ ! -f $DEFAULT_BUILD_DIR/CMakeCache.txt ]]; then
    say "configuring the $PRESET build"
    cmake --preset "$PRESET" >/dev/null
  fi
  say "building zelSNMP and agentsim in ${DEFAULT_BUILD_DIR#"$REPO_DIR"/} (a minute or two the first time)"
  # The build's own progress lines, indented; the full output only when it fails.
  local build_log
  build_log=$(mktemp)
  if ! cmake --build --preset "$PRESET" -j "$(nproc)" --target zelSNMP agentsim 2>&1 \
      | tee "$build_log" | { grep --line-buffered -E '^\[ *[0-9]+(%|/[0-9]+)\]' || true; } \
      | sed -u 's/^/  /'; then
    cat "$build_log" >&2
    rm -f "$build_log"
    fail "the build failed"
  fi
  rm -f "$build_log"
}

check_programs() {
  local program
  for program in "$build_dir/app/zelSNMP" "$build_dir/tools/agentsim/agentsim"; do
    [[ -x $program ]] || fail "$program is missing; build it first"
  done
}

# Picks the namespace the run takes place in, or explains what is needed.
choose_namespace() {
  if ! command -v unshare >/dev/null || ! command -v ip >/dev/null; then
    echo "demo: needs the programs unshare (util-linux) and ip (iproute2)" >&2
    exit "$EXIT_NO_NAMESPACE"
  fi
  if [[ $(id -u) -eq 0 ]] && unshare -n true 2>/dev/null; then
    namespace_command=(unshare -n)
  elif unshare -rn true 2>/dev/null; then
    namespace_command=(unshare -rn)
  else
    cat >&2 <<'EOF'
demo: cannot make a network namespace. The simulated devices answer on port 161 of
      127.0.0.2-4, which needs a namespace of the demo's own. Run the demo as root (it then
      uses "unshare -n"), or enable unprivileged user namespaces so that "unshare -rn" works
      (sysctl kernel.unprivileged_userns_clone=1 and user.max_user_namespaces > 0; inside a
      container the container must allow it).
EOF
    exit "$EXIT_NO_NAMESPACE"
  fi
}

# The stand-in site: the TM server's folder and the configuration on the configuration server.
make_site() {
  site_dir=$build_dir/demo-site
  rm -rf -- "$site_dir"
  mkdir -p "$site_dir/tm/$TM_SERVER" "$site_dir/config/TM_SERVER/$TM_SERVER"
  cp "$DEMO_DIR/$CONFIG_NAME" "$site_dir/config/TM_SERVER/$TM_SERVER/$CONFIG_NAME"
}

run_demo() {
  say "running in a network namespace of its own (${namespace_command[*]})"
  "${namespace_command[@]}" bash "$DEMO_DIR/run_in_namespace.sh" \
    "$site_dir" "$build_dir" "$run_seconds" "$TM_SERVER"
}

print_points() {
  local journal=$site_dir/tm/$TM_SERVER/journal.tsv
  local config=$site_dir/config/TM_SERVER/$TM_SERVER/$CONFIG_NAME
  echo
  echo "Points of TM server $TM_SERVER, last write of each (from $journal):"
  echo
  if [[ -s $journal ]]; then
    awk -f "$DEMO_DIR/points_table.awk" "$config" "$journal"
  else
    awk -f "$DEMO_DIR/points_table.awk" "$config" /dev/null
  fi
}

print_logs() {
  local log_dir=$site_dir/log name
  echo
  echo "Logs of the task (texts in Russian; README explains them):"
  for name in message error debug trace pmon; do
    local file=$log_dir/$name.log
    if [[ -f $file ]]; then
      echo "  $file ($(wc -l <"$file") lines)"
    else
      echo "  $file (not written)"
    fi
  done
  echo "  $site_dir/zelSNMP.console.log (the task's console output)"
  echo "  $site_dir/agents/<address>.log (what each simulated device answered)"
  if [[ -s $log_dir/error.log ]]; then
    echo
    echo "error.log:"
    sed 's/^/  /' "$log_dir/error.log"
  fi
}

# True when the task wrote at least one point and ended in order.
check_outcome() {
  local journal=$site_dir/tm/$TM_SERVER/journal.tsv
  [[ -s $journal ]] || fail "the task wrote no point; see $site_dir/log/error.log and debug.log"
  grep -q "state 2" "$site_dir/log/trace.log" 2>/dev/null \
    || fail "the task did not reach its orderly stop (trace state 2)"
}

main() {
  parse_arguments "$@"
  if [[ -z $build_dir ]]; then
    build_programs
    build_dir=$DEFAULT_BUILD_DIR
  fi
  check_programs
  choose_namespace
  make_site
  run_demo
  print_points
  print_logs
  check_outcome
}

main "$@"
