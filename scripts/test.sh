#!/usr/bin/env bash
# Installs what is missing, builds Halvik natively and for Windows, and runs every test: the unit
# tests natively, the end-to-end tests under Wine. Ends with one summary line for both.
set -uo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh || exit 1

build() {  # build PRESET
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j2 || exit 1
}
summary() {  # LOG: the number of tests that passed and failed, from ctest's closing line
  sed -n 's/.*tests passed, \([0-9]*\) tests failed out of \([0-9]*\).*/\1 \2/p' "$1" | tail -n 1
}

build native
build windows

logs=$(mktemp -d)
ctest --preset native 2>&1 | tee "$logs/native.log"
native_status=${PIPESTATUS[0]}

WINE_SESSION_PREFIX="$PWD/build/wine-prefix" \
WINE_SESSION_HOST="$PWD/build/windows/bin/stand_in_host.dll"
export WINE_SESSION_PREFIX WINE_SESSION_HOST
# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
# The long escalations mostly sleep, so they run side by side.
ctest --preset windows -j6 2>&1 | tee "$logs/windows.log"
windows_status=${PIPESTATUS[0]}

failed=0
total=0
for log in "$logs/native.log" "$logs/windows.log"; do
  read -r f t <<<"$(summary "$log")"
  failed=$((failed + ${f:-1}))
  total=$((total + ${t:-0}))
done
rm -rf "$logs"
echo
echo "total: $((total - failed)) passed, $failed failed"
[ "$native_status" -eq 0 ] && [ "$windows_status" -eq 0 ]
