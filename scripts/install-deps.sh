#!/usr/bin/env bash
# Installs what a fresh Debian 12 machine lacks to build and test Halvik: the MinGW-w64 cross
# compilers for 32- and 64-bit Windows, Wine with its 32- and 64-bit loaders, Xvfb as its display
# and x11-utils to see its windows, CMake, GoogleTest's sources, clang with the sanitizer and
# libFuzzer runtimes, libc++'s headers for the check in Visual Studio's mode, clang-format for the
# C++ style, and osslsigncode (with OpenSSL's PKCS#11 engine for keys on tokens), openssl,
# python3-yaml and python3-jsonschema to sign the release and to write its manifests and check
# them against their schemas, Mono's C# compiler for the C# host script, and GNU time for the
# benchmark's memory figure. The 32-bit loader installs everywhere, also where the kernel cannot
# execute it; the scripts then run only the 64-bit programs.
set -euo pipefail
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"

packages=(cmake make g++ googletest g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine32:i386 wine64
  xvfb x11-utils clang-format clang libclang-rt-14-dev libc++-14-dev osslsigncode
  libengine-pkcs11-openssl openssl python3-yaml python3-jsonschema mono-mcs time)

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo_=""
[ "$(id -u)" -eq 0 ] || sudo_="sudo"
{ $sudo_ dpkg --add-architecture i386 && $sudo_ apt-get update -qq &&
  DEBIAN_FRONTEND=noninteractive $sudo_ apt-get install -y -qq "${missing[@]}" >/dev/null; } ||
  fail "apt-get could not install ${missing[*]}" "run it as root or with sudo, and read what it printed"
