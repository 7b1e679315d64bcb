#!/usr/bin/env bash
# Installs what building and testing zelSNMP needs on a fresh Debian machine: the compiler and
# CMake, GoogleTest and Google Benchmark, and the real SNMP peers the integration tests talk to
# (net-snmp's snmpd and snmpget). Does nothing for a package that is already there.
#
#   scripts/setup.sh           the Linux build and its tests
#   scripts/setup.sh windows   the same, and the Windows cross build with its tests under Wine:
#                              the posix mingw-w64 compilers for 32 and 64 bits, wine, wine64
#                              and wine32:i386 (the i386 architecture is added for it)
set -euo pipefail

packages=(cmake g++ make libgtest-dev googletest libbenchmark-dev snmpd snmp util-linux iproute2 clang
          libclang-rt-dev
          locales)
windows_packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386)
if [ "${1:-}" = windows ]; then
  packages+=("${windows_packages[@]}")
fi
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
# wine32 is an i386 package: the architecture must be known before the package lists are read.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q
# snmpd starts a system-wide agent on port 161 when installed; the tests start their own.
if ! $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  echo "setup: could not install every package; tests that need a missing one report themselves skipped" >&2
  $SUDO apt-get install -y -q --no-install-recommends cmake g++ make libgtest-dev
fi
add_decimal_comma_locale
