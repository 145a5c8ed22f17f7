# shellcheck shell=bash
# Sourced by the test, demo and bench scripts after scripts/common.sh: which Windows builds this
# machine can run, a display for Wine, and each build's own prefix with the stand-in host
# registered. What it starts ends when the calling script exits. Each function says what went
# wrong and returns non-zero on failure.

# The one place that decides whether this machine runs 32-bit programs. 64-bit Windows programs
# run under wine64 on every machine of ours; 32-bit ones need a kernel that executes 32-bit code,
# and some of ours have that switched off. HALVIK_NO_32BIT=1 acts as if this one had.
can_run_32bit() {
  [ "${HALVIK_NO_32BIT:-0}" != 1 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}

why_not_32bit() {
  if [ "${HALVIK_NO_32BIT:-0}" = 1 ]; then
    echo "HALVIK_NO_32BIT=1 is set"
  else
    echo "this machine's kernel cannot execute 32-bit code: /lib/ld-linux.so.2 does not run"
  fi
}

wine_session_builds=()
xvfb_pids=()

end_wine_session() {
  local build
  for build in "${wine_session_builds[@]}"; do "$build/wine" wineserver -k 2>/dev/null; done
  [ ${#xvfb_pids[@]} -eq 0 ] || kill "${xvfb_pids[@]}" 2>/dev/null
  return 0
}
trap end_wine_session EXIT

# Without an X display Wine cannot create windows. Xvfb picks a free display number itself.
# [VARIABLE]: where the display's name goes; DISPLAY, exported, unless told (bench.sh starts a
# second display for a second prefix).
# shellcheck disable=SC2120 # the others take the default
start_display() {
  local variable=${1:-DISPLAY} display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$display_file" 2>/dev/null &
  xvfb_pids+=($!)
  if ! wait_until 10 test -s "$display_file"; then
    rm -f "$display_file"
    echo "Xvfb did not start, so Wine has no display (is the package xvfb installed?)" >&2
    return 1
  fi
  printf -v "$variable" ':%s' "$(cat "$display_file")"
  [ "$variable" != DISPLAY ] || export DISPLAY
  rm -f "$display_file"
}

# BUILD: a Windows build directory. Makes the build's prefix when it is missing (the build's wine
# script names it) and registers the build's stand-in host in it.
prepare_prefix() {
  local build=$1
  wine_session_builds+=("$build")
  if [ ! -f "$build/wine-prefix/system.reg" ]; then
    echo "Making the Wine prefix $build/wine-prefix (about 10 s)"
    mkdir -p "$build/wine-prefix"
    # The registry reaches the disk only once the prefix's server has gone idle.
    "$build/wine" wineboot -i >/dev/null 2>&1 && "$build/wine" wineserver -w
    if [ ! -f "$build/wine-prefix/system.reg" ]; then
      echo "Wine could not make the prefix $build/wine-prefix ('$build/wine wineboot -i' failed)" >&2
      return 1
    fi
    # No window manager runs on Xvfb: unmanaged windows vanish promptly when they close.
    "$build/wine" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
  fi
  if ! "$build/wine" regsvr32 /s "$build/bin/stand_in_host.dll"; then
    echo "the stand-in host could not be registered in $build/wine-prefix" >&2
    return 1
  fi
}
