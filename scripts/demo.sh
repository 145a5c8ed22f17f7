#!/usr/bin/env bash
# Halvik's real job under Wine: opens Wine's own notepad, asks halvik.exe to close it by its title
# and to report to the host variable NotepadState, and prints what the stand-in host received.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows -j2 --target halvik stand_in_host >/dev/null

export WINE_SESSION_PREFIX="$PWD/build/wine-prefix"
export WINE_SESSION_HOST="$PWD/build/windows/bin/stand_in_host.dll"
# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh

# The stand-in host keeps its variables in this journal; the variable exists before the run.
export HALVIK_HOST_STORE="$PWD/build/demo-host.txt"
printf 'CreateVar\tNotepadState\n' >"$HALVIK_HOST_STORE"

notepad_open() { xwininfo -root -tree 2>/dev/null | grep -q '"Untitled - Notepad"'; }

wine notepad >/dev/null 2>&1 &
for _ in $(seq 300); do
  notepad_open && break
  sleep 0.1
done
notepad_open || { echo "notepad did not open" >&2; exit 1; }
echo "notepad is open: \"Untitled - Notepad\""

# Separate words, so that Wine passes the argument text on as it stands, without quotes.
started=$(date +%s.%N)
wine build/windows/bin/halvik.exe Untitled - Notepad\|NotepadState
ended=$(date +%s.%N)

echo "halvik.exe \"Untitled - Notepad|NotepadState\" took $(printf '%.1f' "$(echo "$ended - $started" | bc)") s"
echo "NotepadState received, in order:"
awk -F '\t' '$1 == "SaveVar" && $2 == "NotepadState" { print "  " $3 }' "$HALVIK_HOST_STORE"
if notepad_open; then
  echo "notepad is still open"
else
  echo "notepad is closed"
fi
