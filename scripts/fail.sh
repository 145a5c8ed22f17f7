# shellcheck shell=bash
# Sourced by the scripts that stop at the first thing that goes wrong, so that they all say it the
# same way.
#   fail WHAT-FAILED [WHAT-TO-DO]
# prints "<script> failed: WHAT-FAILED" and, when given, "what to do: WHAT-TO-DO" on the standard
# error, and ends the script with status $fail_status: 1 unless the script sets another (bench.sh
# uses 1 for a missed goal, so it fails with 2).
fail() {
  echo "$(basename "$0" .sh) failed: $1" >&2
  [ $# -lt 2 ] || echo "what to do: $2" >&2
  exit "${fail_status:-1}"
}
