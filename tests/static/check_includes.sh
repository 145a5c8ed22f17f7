#!/usr/bin/env bash
# Fails when a file under SOURCE-DIR includes from a folder that RULES does not allow its own
# folder to include from, naming the file and the line. RULES: "folder: allowed folders".
# Every include is read, however it is spaced ("  #  include") and whether quoted or angled: it is
# ruled when its path, with any "./" and "../" of a quoted one resolved against the including
# file's folder, begins with a floor's folder. An include through a macro cannot be read, and
# fails too.
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
        allowed[folder] = " " folder (below[folder] == "" ? "" : " " below[folder]) " "
        floor_root[firstComponent(folder)] = 1
      }
    }
    function folderOf(path) {
      return path ~ /\// ? substr(path, 1, match(path, /\/[^\/]*$/) - 1) : ""
    }
    function firstComponent(path) { sub(/\/.*/, "", path); return path }
    function resolved(path,   part, parts, kept, i, result) {
      parts = split(path, part, "/")
      kept = 0
      for (i = 1; i <= parts; i++) {
        if (part[i] == "." || part[i] == "") continue
        if (part[i] == ".." && kept > 0 && stack[kept] != "..") kept--
        else stack[++kept] = part[i]
      }
      result = stack[1]
      for (i = 2; i <= kept; i++) result = result "/" stack[i]
      return result
    }
    FNR == 1 {
      files++
      if (!(folderOf(FILENAME) in allowed)) {
        print FILENAME ": its folder is on no floor of " rules; faults++
      }
    }
    /^[ \t]*#[ \t]*include/ {
      target = $0
      sub(/^[ \t]*#[ \t]*include(_next)?[ \t]*/, "", target)
      if (target !~ /^["<]/) {
        print FILENAME ":" FNR ": includes through a macro, which this check cannot follow"
        faults++
        next
      }
      closing = substr(target, 1, 1) == "<" ? ">" : "\""
      included = substr(target, 2)
      included = substr(included, 1, index(included, closing) - 1)
      if (closing == "\"" && included ~ /^\.\.?\//)
        included = resolved(folderOf(FILENAME) "/" included)
      if (!(firstComponent(included) in floor_root)) next
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
