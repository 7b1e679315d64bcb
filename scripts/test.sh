#!/usr/bin/env bash
# Builds zelSNMP and runs every test. Usage: scripts/test.sh [preset]
#   default   optimised build with debug info (the default)
#   sanitize  debug build under AddressSanitizer and UndefinedBehaviorSanitizer
#   release   release build
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

bash scripts/setup.sh
if [[ $preset == windows ]]; then
  # The Wine end-to-end test polls the native agent simulator of the default build.
  cmake --preset default >/dev/null
  cmake --build --preset default -j "$(nproc)" --target agentsim
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
ctest --preset "$preset" -j "$(nproc)" --timeout 300
