#!/usr/bin/env bash
# Installs what building and testing zelSNMP needs on a fresh Debian machine: the compiler and
# CMake, GoogleTest and Google Benchmark, and the real SNMP peers the integration tests talk to
# (net-snmp's snmpd and snmpget, and snmpsim's snmpsimd), and net-snmp's library for the
# benchmarks beside it. Does nothing for a package that is already there.
#
#   scripts/setup.sh           the Linux build and its tests (with libgcrypt for SNMPv3)
#   scripts/setup.sh windows   the same, and the Windows cross build with its tests under Wine:
#                              the posix mingw-w64 compilers for 32 and 64 bits, wine, wine64
#                              and wine32:i386 (the i386 architecture is added for it), and
#                              libgcrypt's Windows DLLs (libgcrypt-mingw-w64-dev)
set -euo pipefail

packages=(cmake g++ make libgtest-dev googletest libbenchmark-dev snmpd snmp util-linux iproute2 clang
          libclang-rt-dev
          locales
          # a third-party agent simulator: polled in requests of @max-oids, and a second SNMPv3
          # engine beside snmpd
          snmpsim
          # net-snmp's library, the reference of the benchmarks (linked into them only), and
          # what scripts/bench.sh measures with
          libsnmp-dev time procps
          # the cryptography of SNMPv3
          libgcrypt20-dev pkg-config)
# libgcrypt-mingw-w64-dev: the cryptography's DLLs and import libraries for both Windows targets
windows_packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine wine64 wine32:i386
                  libgcrypt-mingw-w64-dev)
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

# What the build cannot do without: the compiler, CMake, GoogleTest (headers or sources) and
# libgcrypt's headers.
have_build_essentials() {
  command -v cmake >/dev/null && command -v g++ >/dev/null && [ -f /usr/include/gcrypt.h ] \
    && { [ -f /usr/include/gtest/gtest.h ] || [ -f /usr/src/googletest/CMakeLists.txt ]; }
}

# True when this user may install packages: root, or sudo that accepts this user (asking
# for the password when it needs one). A sudo that refuses leads to the fallback below.
can_install() {
  [ "$(id -u)" -eq 0 ] && return 0
  command -v sudo >/dev/null && sudo -v
}

# Without every package: the build still works when its essentials are there.
cannot_install_all() {
  echo "setup: these packages are missing and could not be installed: $*" >&2
  if have_build_essentials; then
    echo "setup: cmake, g++, GoogleTest and libgcrypt are there; tests whose peers are missing skip" >&2
    exit 0
  fi
  echo "setup: the build needs cmake, g++, GoogleTest (libgtest-dev) and libgcrypt20-dev; install them first" >&2
  exit 1
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

SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
can_install || cannot_install_all "${missing[@]}"
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
# wine32 is an i386 package: the architecture must be known before the package lists are read.
if [[ " ${missing[*]} " == *":i386 "* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -q || cannot_install_all "${missing[@]}"
# snmpd starts a system-wide agent on port 161 when installed; the tests start their own.
if ! $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"; then
  echo "setup: could not install every package; tests that need a missing one report themselves skipped" >&2
  $SUDO apt-get install -y -q --no-install-recommends cmake g++ make libgtest-dev libgcrypt20-dev \
    || cannot_install_all "${missing[@]}"
fi
have_build_essentials || cannot_install_all "${missing[@]}"
add_decimal_comma_locale
