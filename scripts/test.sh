#!/usr/bin/env bash
# Builds zelSNMP and runs every test. Usage: scripts/test.sh [preset]
#   default    optimised build with debug info (the default)
#   sanitize   debug build under AddressSanitizer and UndefinedBehaviorSanitizer
#   release    release build
#   windows    32-bit Windows build (the production zelSNMP.exe) with mingw-w64, every test run
#              under Wine
#   windows64  the same for 64-bit Windows
# For a Windows preset whose compiler or Wine cannot be installed, the tests are reported as
# skipped and the exit status is 77.
set -euo pipefail
cd "$(dirname "$0")/.."
preset=${1:-default}

case "$preset" in
  windows | windows64)
    bash scripts/setup.sh windows || true
    if [ "$preset" = windows ]; then
      needed=(i686-w64-mingw32-g++-posix wine) wine_package=wine32:i386
    else
      needed=(x86_64-w64-mingw32-g++-posix wine) wine_package=wine64
    fi
    missing=()
    for program in "${needed[@]}"; do
      command -v "$program" >/dev/null || missing+=("$program")
    done
    dpkg-query -W -f='${Status}' "$wine_package" 2>/dev/null | grep -q "install ok installed" \
      || missing+=("$wine_package")
    if [ ${#missing[@]} -gt 0 ]; then
      echo "test: SKIPPED: the $preset tests were not run; missing: ${missing[*]}" >&2
      exit 77
    fi
    ;;
  *)
    bash scripts/setup.sh
    ;;
esac

if [ "$preset" = windows ]; then
  # The Wine end-to-end test polls the native agent simulator of the default build.
  cmake --preset default >/dev/null
  cmake --build --preset default -j "$(nproc)" --target agentsim
fi
cmake --preset "$preset" >/dev/null
cmake --build --preset "$preset" -j "$(nproc)"
case "$preset" in
  windows | windows64)
    # Every test program starts a Wine process; under load Wine's server now and then drops a
    # client, which ends that test with no result of its own. A test is run once more then; one
    # that fails twice fails the run.
    ctest --preset "$preset" -j "$(nproc)" --timeout 300 --repeat until-pass:2
    ;;
  *)
    ctest --preset "$preset" -j "$(nproc)" --timeout 300
    ;;
esac
