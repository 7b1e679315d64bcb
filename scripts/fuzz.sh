#!/usr/bin/env bash
# Builds the fuzz preset (clang, libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer) and
# runs every fuzz target for SECONDS each (default 30), starting from its seed corpus in
# fuzz/corpus/<target> and keeping what it learns in build/fuzz/corpus/<target>. Prints one line
# per target with its executions and coverage; a finding is saved as
# build/fuzz/findings/<target>-crash-... and fails the run.
#
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-30}"
targets=(snmp_message_fuzz notification_fuzz notification_v3_fuzz snmp_v3_message_fuzz usm_session_fuzz exchange_fuzz scanner_fuzz poll_config_fuzz point_source_fuzz
         column_walk_fuzz parse_number_fuzz ip_literal_fuzz)

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2 >/dev/null
mkdir -p build/fuzz/findings
status=0
for target in "${targets[@]}"; do
  corpus="build/fuzz/corpus/$target"
  mkdir -p "$corpus"
  options=(-max_total_time="$seconds" -print_final_stats=1 -timeout=10 -rss_limit_mb=2048
           -artifact_prefix="build/fuzz/findings/$target-")
  if [[ -f "fuzz/$target.dict" ]]; then options+=(-dict="fuzz/$target.dict"); fi
  log="build/fuzz/$target.log"
  if ! "build/fuzz/fuzz/$target" "${options[@]}" "$corpus" "fuzz/corpus/$target" >"$log" 2>&1; then
    status=1
    echo "$target: FINDING, see $log and build/fuzz/findings/"
    continue
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  coverage=$(grep -o 'cov: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  features=$(grep -o 'ft: [0-9]*' "$log" | tail -1 | cut -d' ' -f2)
  echo "$target: ${runs:-?} executions in ${seconds} s, coverage ${coverage:-?} edges, ${features:-?} features"
done
exit "$status"
