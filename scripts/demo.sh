#!/usr/bin/env bash
# Halvik's real job under Wine: opens Wine's own notepad, asks halvik.exe to close it by its title
# and to report to the host variable NotepadState, and prints what the stand-in host received.
# Uses the 32-bit halvik.exe where this machine runs 32-bit programs, the 64-bit one elsewhere.
set -uo pipefail
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"

./scripts/install-deps.sh ||
  fail "the packages could not be installed" \
    "run ./scripts/install-deps.sh as root or with sudo, and read what apt-get printed"
# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh

build=windows
if ! can_run_32bit; then
  build=windows64
  echo "Using the 64-bit halvik.exe: $(why_not_32bit)."
fi
build_preset "$build" halvik stand_in_host
start_display || fail "no display for Wine" "install xvfb (./scripts/install-deps.sh)"
prepare_prefix "build/$build" ||
  fail "the Wine prefix build/$build/wine-prefix is not usable" \
    "remove build/$build/wine-prefix and run the demo again"
wine="build/$build/wine"

# The stand-in host keeps a journal per variable in the directory its registry value names; the
# variable exists before the run.
journals="$PWD/build/demo-host"
mkdir -p "$journals"
printf 'CreateVar\n' >"$journals/NotepadState.txt"
"$wine" reg add 'HKCU\Software\Halvik\StandInHost' /v Journals /d "$("$wine" winepath -w "$journals")" \
  /f >/dev/null 2>&1 || fail "the stand-in host's journal could not be set up" \
  "remove build/$build/wine-prefix and run the demo again"

notepad_open() { xwininfo -root -tree 2>/dev/null | grep -q '"Untitled - Notepad"'; }

"$wine" notepad >/dev/null 2>&1 &
wait_until 30 notepad_open || fail "Wine's notepad did not open within 30 s" \
  "try '$wine notepad' by hand with DISPLAY set to an X display, and look at what Wine prints"
echo "notepad is open: \"Untitled - Notepad\""

# Separate words, so that Wine passes the argument text on as it stands, without quotes.
started=$EPOCHREALTIME
"$wine" "build/$build/bin/halvik.exe" Untitled - Notepad\|NotepadState ||
  fail "halvik.exe could not be run under Wine" "run it by hand: $wine build/$build/bin/halvik.exe"
ended=$EPOCHREALTIME

tenths=$(((${ended/./} - ${started/./} + 50000) / 100000)) # microseconds, rounded to 0.1 s
echo "halvik.exe \"Untitled - Notepad|NotepadState\" took $((tenths / 10)).$((tenths % 10)) s"
echo "NotepadState received, in order:"
awk -F '\t' '$1 == "SaveVar" { print "  " $2 }' "$journals/NotepadState.txt"
if notepad_open; then
  echo "notepad is still open"
  exit 1
fi
echo "notepad is closed"
