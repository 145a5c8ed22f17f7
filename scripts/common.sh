# shellcheck shell=bash
# Sourced first by every script: enters the repository's root, and holds the steps the scripts
# share, so that they all take them and say what went wrong the same way.
#
# The root is entered by its physical path. CMake spells the presets' toolchain files after the
# working directory as the shell names it, so a build directory configured once through a
# symbolic link and once not would be handed a second toolchain file it can no longer use, and
# CMake would warn about it.
cd -P "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1

# fail WHAT-FAILED [WHAT-TO-DO]
# prints "<script> failed: WHAT-FAILED" and, when given, "what to do: WHAT-TO-DO" on the standard
# error, and ends the script with status $fail_status: 1 unless the script sets another (bench.sh
# uses 1 for a missed goal, so it fails with 2).
fail() {
  echo "$(basename "$0" .sh) failed: $1" >&2
  [ $# -lt 2 ] || echo "what to do: $2" >&2
  exit "${fail_status:-1}"
}

# build_preset PRESET [-B DIRECTORY] [TARGET…]
# configures and builds a CMake preset, all of it unless targets are named, with two jobs and
# printing nothing but errors; fails when it does not build. -B puts the build in DIRECTORY
# instead of the preset's own (release.sh builds each release twice).
build_preset() {
  local preset=$1 configure_args=(--preset "$1") build_args=(--preset "$1") where=""
  shift
  if [ "${1:-}" = -B ]; then
    configure_args+=(-B "$2")
    build_args=("$2")
    where=" in $2"
    shift 2
  fi
  [ $# -eq 0 ] || build_args+=(--target "$@")
  { cmake "${configure_args[@]}" >/dev/null && cmake --build "${build_args[@]}" -j2 >/dev/null; } ||
    fail "building the preset $preset$where failed" \
      "read the errors above, or run: cmake ${configure_args[*]} && cmake --build ${build_args[*]}"
}

# wait_until SECONDS COMMAND [ARGUMENT…]
# runs the command every tenth of a second until it succeeds; returns non-zero when it has not
# succeeded within SECONDS.
wait_until() {
  local tenths_left=$(($1 * 10))
  shift
  until "$@"; do
    ((tenths_left-- > 0)) || return 1
    sleep 0.1
  done
}
