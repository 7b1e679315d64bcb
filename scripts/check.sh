#!/usr/bin/env bash
# Checks a zelSNMP configuration file with zelsnmp-check, building it first when needed.
#
# Usage: scripts/check.sh CONFIG_FILE [--probe] [--timeout MS] [--wide]
#   (every argument goes to zelsnmp-check; scripts/check.sh --help prints its usage)
#
# The program is the one of the default build (build/default/tools/check/zelsnmp-check); the
# build is configured when missing and brought up to date first (a quarter of a second when
# nothing changed, a minute or two the first time). Build messages go to standard error, and
# only when the build fails, so that standard output holds the report alone. The exit status
# is zelsnmp-check's: 0 clean, 1 warnings, 2 errors, 3 unreadable file or bad command line (or
# a failed build).
set -euo pipefail

REPO_DIR=$(cd "$(dirname "$0")/.." && pwd)
readonly REPO_DIR
readonly BUILD_DIR=$REPO_DIR/build/default
readonly PROGRAM=$BUILD_DIR/tools/check/zelsnmp-check
readonly EXIT_BUILD_FAILED=3

build() {
  if ! command -v cmake >/dev/null; then
    echo "check: cmake is missing; scripts/setup.sh installs it" >&2
    exit "$EXIT_BUILD_FAILED"
  fi
  local log
  log=$(mktemp)
  if ! { [[ -f $BUILD_DIR/CMakeCache.txt ]] || cmake --preset default; } >"$log" 2>&1 \
      || ! cmake --build --preset default -j "$(nproc)" --target zelsnmp-check >>"$log" 2>&1; then
    cat "$log" >&2
    rm -f "$log"
    echo "check: the build failed" >&2
    exit "$EXIT_BUILD_FAILED"
  fi
  rm -f "$log"
}

[[ -x $PROGRAM ]] || echo "check: building zelsnmp-check in build/default (once)" >&2
# In a subshell: the configuration path stays relative to the caller's directory.
(cd "$REPO_DIR" && build)
exec "$PROGRAM" "$@"
