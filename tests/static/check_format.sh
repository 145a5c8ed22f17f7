#!/bin/bash
# Fails when a C++ source or header under the given folders is not as clang-format-14 writes it
# (by the .clang-format above them), naming each place that differs.
set -euo pipefail
find "$@" \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z |
  xargs -0 clang-format-14 --dry-run --Werror
