#!/usr/bin/env bash
# Builds zelSNMP and its benchmarks in release mode, runs them beside net-snmp's library with
# every program pinned to one CPU, and writes the markdown table to build/release/bench.md.
#   scripts/bench.sh            full run (several minutes)
#   scripts/bench.sh --smoke    one short pass of everything (seconds), for CI
#   scripts/bench.sh --scale    only the scale rows (root): 10,000 agents x 10 OIDs at /p256
#                               with the null host, then with 10 % of them silent, beside the
#                               raw UDP floor; the table goes to build/release/bench_scale.md
#   scripts/bench.sh --notifications   only the notification rows: trap-to-journal latency with
#                               no pass under way and during a pass, and a flood of 10,000
#                               traps per second for 60 s (CPU, VmHWM, polls out of turn), for
#                               v2c and SNMPv3 traps; the table goes to
#                               build/release/bench_notifications.md
# Figures are medians of the repetitions; the table names the machine it ran on.
# ZELSNMP_BENCH_CPU picks the CPU every program is pinned to (default 0), so that a run can
# keep off a CPU that something else is using.
set -euo pipefail
cd "$(dirname "$0")/.."
repetitions=5
min_time=0.5
settle_seconds=4
if [[ ${1:-} == --smoke ]]; then
  repetitions=1
  min_time=0.01
  settle_seconds=1
fi
build=build/release
out=$build/bench
bash scripts/setup.sh

# The scale rows: several agentsim processes serve the agents in a network namespace of the
# benchmark's own (answering ones on 127.0.1.1-8, silent ones on 127.0.2.1), and
# scale_benchmark polls them with the null host (bench/scale_benchmark.cpp).
if [[ ${1:-} == --scale ]]; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "bench.sh --scale needs root (unshare -n for port 161)" >&2
    exit 3
  fi
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(nproc)" --target scale_benchmark agentsim >/dev/null
  data=$(mktemp)
  for l in $(seq 0 9); do
    if (( l % 3 == 1 )); then echo "1.3.6.1.2.1.2.2.1.$((10 + l % 12)).$((1 + l))|66|$((1000 + l))"
    else echo "1.3.6.1.2.1.2.2.1.$((10 + l % 12)).$((1 + l))|2|$((l % 3))"; fi
  done >"$data"
  machine="$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
  {
    echo "Machine: $machine"
    echo
    echo "| run | figure | value |"
    echo "|---|---|---|"
    unshare -n bash -c 'ip link set lo up
      agents=()
      for h in 1 2 3 4 5 6 7 8; do
        "$1/tools/agentsim/agentsim" --listen 127.0.1.$h --data "$2" >/dev/null & agents+=($!)
      done
      "$1/tools/agentsim/agentsim" --listen 127.0.2.1 --data "$2" --silent >/dev/null &
      agents+=($!)
      sleep 0.5
      "$1/bench/scale_benchmark" 10000 10 256 8 5
      "$1/bench/scale_benchmark" 10000 10 256 8 3 --silent-tenth
      kill "${agents[@]}"' _ "$PWD/$build" "$data"
  } | tee "$build/bench_scale.md"
  rm -f "$data"
  exit 0
fi
# The notification rows: the real program with a stand-in site, agentsim and traps on
# 127.0.0.1 (bench/notification_benchmark.py).
if [[ ${1:-} == --notifications ]]; then
  cmake --preset release >/dev/null
  cmake --build --preset release -j "$(nproc)" --target zelSNMP agentsim >/dev/null
  machine="$(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
  { echo "Machine: $machine"; echo; python3 bench/notification_benchmark.py "$build" "${@:2}"; } |
    tee "$build/bench_notifications.md"
  exit 0
fi
cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" \
  --target codec_benchmark config_benchmark exchange_benchmark bench_responder zelSNMP \
  pass_benchmark_standin pass_benchmark_nullhost agentsim >/dev/null

cpu="${ZELSNMP_BENCH_CPU:-0}"
pin=(taskset -c "$cpu")
run() {
  local program=$1
  "${pin[@]}" "$out/$program" --benchmark_repetitions=$repetitions \
    --benchmark_min_time=$min_time --benchmark_format=json >"$out/$program.json"
}
run codec_benchmark
run config_benchmark
run exchange_benchmark

# The poll pass, with the stand-in and with host calls that do nothing, against one agentsim on
# 127.0.0.1:161 in a network namespace of its own (needs root); that agentsim also knows the v3
# user of the pass over v3 agents beside v2c ones (bench/pass_benchmark.cpp).
passes=()
if [[ $(id -u) -eq 0 ]]; then
  data=$(mktemp)
  for l in $(seq 0 19); do
    if (( l % 3 == 1 )); then echo "1.3.6.1.2.1.2.2.1.$((10 + l % 12)).$((1 + l))|66|$((1000 + l))"
    else echo "1.3.6.1.2.1.2.2.1.$((10 + l % 12)).$((1 + l))|2|$((l % 3))"; fi
  done >"$data"
  unshare -n bash -c 'ip link set lo up
    "$1/tools/agentsim/agentsim" --listen 127.0.0.1:161 --data "$2" --v3-user bench \
      --auth SHA-256:bench-auth-pass --priv AES:bench-priv-pass >/dev/null & agent=$!
    sleep 0.5
    for program in pass_benchmark_nullhost pass_benchmark_standin; do
      taskset -c "$5" "$1/bench/$program" --benchmark_repetitions="$3" --benchmark_min_time="$4" \
        --benchmark_format=json >"$1/bench/$program.json"
    done
    kill "$agent"' _ "$PWD/$build" "$data" "$repetitions" "$min_time" "$cpu"
  rm -f "$data"
  rm -rf /tmp/zelsnmp_pass_bench_site_*
  passes=("$out/pass_benchmark_nullhost.json" "$out/pass_benchmark_standin.json")
fi

# The task's peak memory with 1000 agents of 50 lines beside an empty configuration, in a
# network namespace of its own where nothing answers on port 161.
peak_kib() {
  local sections=$1 site
  site=$(mktemp -d)
  mkdir -p "$site/tm/BENCH" "$site/config/TM_SERVER/BENCH"
  python3 - "$sections" >"$site/config/TM_SERVER/BENCH/_zelSNMP.cfg" <<'PY'
import sys
n = int(sys.argv[1])
for s in range(n):
    print(f"[127.0.0.1:public{s}]\r")
    for l in range(50):
        kind = ("#TC", "#TT", "#TS")[l % 3]
        print(f"{kind}1:{s % 1000}:{l}=1.3.6.1.2.1.2.2.1.{10 + l % 12}.{1 + l}\r")
PY
  # /usr/bin/time reports the task's peak resident size when the task ends: by itself at once
  # with an empty configuration, else killed while its first pass waits for silent agents
  # (the configuration is loaded by then).
  unshare -n bash -c 'ip link set lo up; cd "$1" || exit 1
    ZELSNMP_SITE=$1 /usr/bin/time -f %M -o "$1/peak" "$2" BENCH </dev/null >/dev/null 2>&1 &
    timer=$!
    sleep "$3"
    task=$(pgrep -P "$timer") && kill -KILL "$task"
    wait "$timer"' _ "$site" "$PWD/$build/app/zelSNMP" "$settle_seconds" || true
  cat "$site/peak" 2>/dev/null | tail -1
  rm -rf "$site"
}
memory="Peak memory of the task: not measured (needs root for unshare -n)"
if [[ $(id -u) -eq 0 ]]; then
  empty=$(peak_kib 0)
  full=$(peak_kib 1000)
  memory="Peak memory of the task (max RSS): empty configuration ${empty} KiB; 1000 agents x 50 lines ${full} KiB; difference $(awk "BEGIN { printf \"%.1f\", ($full - $empty) / 1024 }") MiB"
fi

machine="$(nproc) CPUs (programs pinned to CPU $cpu), $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //'), load $(cut -d' ' -f1-3 /proc/loadavg), $(date -u '+%Y-%m-%d %H:%M UTC')"
python3 bench/make_table.py "$build/bench.md" "$machine" "$memory" \
  "$out/codec_benchmark.json" "$out/exchange_benchmark.json" "$out/config_benchmark.json" \
  "${passes[@]}"
