#!/usr/bin/env bash
# Installs what building and testing zelSNMP needs on a fresh Debian machine: the compiler and
# CMake, GoogleTest and Google Benchmark, and the real SNMP peers the integration tests talk to
# (net-snmp's snmpd and snmpget), and net-snmp's library for the benchmarks beside it. Does
# nothing for a package that is already there.
set -euo pipefail

packages=(cmake g++ make libgtest-dev googletest libbenchmark-dev snmpd snmp util-linux iproute2 clang
          locales
          # net-snmp's library, the reference of the benchmarks (linked into them only), and
          # what scripts/bench.sh measures with
          libsnmp-dev time procps)
# The number conversions must not depend on the process locale; the tests prove it under a
# locale whose decimal separator is a comma, which a fresh machine does not have generated.
add_decimal_comma_locale() {
  locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$' && return 0
  [ "$(id -u)" -eq 0 ] || return 0
  localedef -i ru_RU -f UTF-8 ru_RU.UTF-8 2>/dev/null || true
}

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
if [ ${#missing[@]} -eq 0 ]; then
  add_decimal_comma_locale
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then SUDO=sudo; else
    echo "setup: these packages are missing and this user cannot install them: ${missing[*]}" >&2
    echo "setup: the build needs cmake, g++ and GoogleTest; tests whose peers are missing skip" >&2
    command -v cmake >/dev/null && command -v g++ >/dev/null && exit 0
    exit 1
  fi
else
  SUDO=
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -q
# snmpd starts a system-wide agent on port 161 when installed; the tests start their own.
if ! $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  echo "setup: could not install every package; tests that need a missing one report themselves skipped" >&2
  $SUDO apt-get install -y -q --no-install-recommends cmake g++ make libgtest-dev
fi
add_decimal_comma_locale
