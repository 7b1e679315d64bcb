#!/usr/bin/env bash
# Installs what building and testing zelSNMP needs on a fresh Debian machine: the compiler and
# CMake, GoogleTest and Google Benchmark, and the real SNMP peers the integration tests talk to
# (net-snmp's snmpd and snmpget). Does nothing for a package that is already there.
set -euo pipefail

packages=(cmake g++ make libgtest-dev googletest libbenchmark-dev snmpd snmp util-linux iproute2 clang)
missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
    || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then SUDO=sudo; else
    echo "setup: these packages are missing and this user cannot install them: ${missing[*]}" >&2
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
