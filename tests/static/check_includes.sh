#!/usr/bin/env bash
# Fails when a file under SOURCE-DIR includes from a folder that RULES does not allow its own
# folder to include from, naming the file and the line. RULES: "folder: allowed folders".
set -euo pipefail
source_dir=$1
rules=$2

cd "$source_dir"
find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort |
  xargs awk -v rules="$rules" '
    BEGIN {
      while ((getline line < rules) > 0) {
        if (line ~ /^#/ || line !~ /:/) continue
        folder = substr(line, 1, index(line, ":") - 1)
        below[folder] = substr(line, index(line, ":") + 2)
        allowed[folder] = " " folder " " below[folder] " "
      }
    }
    function folderOf(path) { return path ~ /\// ? substr(path, 1, match(path, /\/[^\/]*$/) - 1) : "" }
    FNR == 1 {
      files++
      if (!(folderOf(FILENAME) in allowed)) {
        print FILENAME ": its folder is on no floor of " rules; faults++
      }
    }
    /^#include "/ {
      included = $2; gsub(/"/, "", included)
      includes++
      home = folderOf(FILENAME)
      if (home in allowed && index(allowed[home], " " folderOf(included) " ") == 0) {
        print FILENAME ":" FNR ": includes " included ", but " home "/ may include only from " \
              "itself and: " below[home]
        faults++
      }
    }
    END {
      if (faults) exit 1
      print includes " includes in " files " files, each pointing down"
    }'
