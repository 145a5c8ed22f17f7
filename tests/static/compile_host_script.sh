#!/usr/bin/env bash
# Compiles the C# host script SCRIPT as HomeSeer does, with Mono's compiler held to C# 5: its
# members inside a class whose field hs is the host's object, here the stand-in STAND-IN. Errors
# name the script's own file and line.
set -euo pipefail
script=$1
stand_in=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
  echo "public class HostScript {"
  echo "  StandInHs hs = new StandInHs();"
  echo "#line 1 \"$script\""
  cat "$script"
  echo "}"
} >"$work/script.cs"
mcs -langversion:5 -warnaserror -target:library -out:"$work/script.dll" "$stand_in" "$work/script.cs"
