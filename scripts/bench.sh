#!/usr/bin/env bash
# Measures halvik.exe under Wine against the floor any program of its kind stands on, and prints
# each figure beside its goal:
#   start-up: a run that finds nothing, against a program that reads every title once and exits
#             (and one that does nothing, for scale);
#   search:   the cost per extra top-level window of that run, against the same program's;
#   poll:     the CPU time halvik.exe uses per second of wall time while it waits on a target that
#             ignores the close request, from the kernel's accounting of its process;
#   memory:   the peak resident size of halvik.exe's process against the walk's, the largest of
#             each over the rounds, from runs of their own on the plain desktop (not timed).
# Start-up and search come from whole runs of the programs, in rounds. A second Wine prefix, a
# copy of the build's with a server and a display of its own, holds the crowd of extra windows for
# the whole measurement, so that each round runs both programs on the plain desktop and on the
# crowded one. Run times on a shared machine swing with its load by far more than the programs
# differ, so each run of halvik.exe is compared with the walk's run beside it, which met nearly
# the same load: the figures are medians of those differences, over the rounds, and the quartiles
# printed beside each median show the noise. The machine's load average is printed too.
#   scripts/bench.sh [ROUNDS]    50 rounds unless told; BUILD=windows measures the 32-bit build
#                                instead of the 64-bit one.
# Ends with status 1 when a goal was missed, 2 when the measurement could not be made.
set -euo pipefail
shopt -s inherit_errexit # a run that fails inside $(…) ends the bench
load_before=$(cut -d' ' -f1 /proc/loadavg)
# shellcheck source=scripts/common.sh
source "$(dirname "$0")/common.sh"
fail_status=2 # 1 means a missed goal

rounds=${1:-50}
[[ $rounds =~ ^[1-9][0-9]*$ ]] || fail "ROUNDS must be a positive number, not '$rounds'"
build=build/${BUILD:-windows64}
crowd_size=2000
poll_intervals=15 # of two seconds each, all within the first grace period of 50 s

./scripts/install-deps.sh >/dev/null || fail "the packages could not be installed"
# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
if [ "$build" = build/windows ] && ! can_run_32bit; then
  fail "the 32-bit build cannot run here: $(why_not_32bit)"
fi
build_preset "${build#build/}" halvik bench_empty bench_walk bench_crowd target_app stand_in_host
start_display || fail "no display for Wine"
prepare_prefix "$build" || fail "the Wine prefix of $build is not usable"

# The programs run under the loader directly, as the build's wine script would run them, so that
# no shell start is measured.
# shellcheck source=/dev/null
source "$build/wine.env"
bin=$build/bin
samples=$(mktemp -d)

# The crowded desktop: a copy of the build's prefix (hard links, with the registry copied for
# real, as the prefix's server rewrites it), served by a server of its own and shown on a display
# of its own, so that the plain desktop, the server that keeps it and its display do not change.
crowd_prefix=$PWD/$build/bench-crowd-prefix
crowd_display=""
in_crowd() { # COMMAND [ARGUMENTS…]: runs it in the crowded prefix
  WINEPREFIX=$crowd_prefix DISPLAY=$crowd_display "$@"
}
# shellcheck disable=SC2317 # run by the trap
end_bench() {
  if [ -n "$crowd_display" ]; then
    in_crowd "$WINESERVER" -k 2>/dev/null || true
    in_crowd "$WINESERVER" -w 2>/dev/null || true
  fi
  rm -rf "$crowd_prefix" "$samples"
  end_wine_session
}
trap end_bench EXIT

start_display crowd_display || fail "no second display for Wine"
"$WINESERVER" -w # the build's registry reaches the disk once its server has gone idle
rm -rf "$crowd_prefix"
cp -al "$WINEPREFIX" "$crowd_prefix" || fail "the prefix could not be copied to $crowd_prefix"
cp --remove-destination "$WINEPREFIX"/*.reg "$crowd_prefix/"

# One server per prefix serves every run, so that no run pays for a server start.
"$WINESERVER" -p
in_crowd "$WINESERVER" -p

# The crowd takes a while to show its windows (about 10 to 30 s); the poll is measured meanwhile,
# in the build's prefix, where nothing of the crowd is seen.
ready_file=$samples/crowd-ready
ready_file_windows=$(in_crowd "$WINELOADER" winepath -w "$ready_file" 2>/dev/null)
in_crowd "$WINELOADER" "$bin/bench_crowd.exe" "$crowd_size" "$ready_file_windows" \
  >/dev/null 2>&1 &
crowd=$!

# The kernel's count of the nanoseconds every thread of the process has run: PID
cpu_nanoseconds() {
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d", sum }'
}
wall_nanoseconds() {
  echo "${EPOCHREALTIME/./}000"
}

# Titles go to halvik.exe as separate words: Wine would quote an argument with blanks, and
# halvik.exe takes its argument text as it stands, quotes and all.
title=(Halvik bench: a window that ignores the close request)
"$WINELOADER" "$bin/target_app.exe" "--title=${title[*]}" --on-close=ignore --lifetime=120000 \
  >/dev/null 2>&1 &
target=$!
sleep 3
"$WINELOADER" "$bin/halvik.exe" "${title[@]}" >/dev/null 2>&1 &
halvik=$!
sleep 3 # its start-up and close request lie behind it; it now polls once a second
[ -r "/proc/$halvik/task" ] || fail "halvik.exe ended before its poll could be measured"
cpu=$(cpu_nanoseconds "$halvik")
wall=$(wall_nanoseconds)
for _ in $(seq "$poll_intervals"); do
  sleep 2
  next_cpu=$(cpu_nanoseconds "$halvik")
  next_wall=$(wall_nanoseconds)
  echo "$((next_cpu - cpu)) $((next_wall - wall))" >>"$samples/poll"
  cpu=$next_cpu
  wall=$next_wall
done
# Together, so that the shell's note of the killed jobs goes where their errors go.
{ kill -KILL "$halvik" "$target"; wait "$halvik" "$target"; } 2>/dev/null || true

wait_until 90 test -f "$ready_file" || fail "the $crowd_size windows did not appear within 90 s"

# Microseconds from start to end of one run, which must succeed: PLACE PROGRAM, where PLACE is
# plain or crowded and PROGRAM empty, walk or halvik. What the run wrote to the standard error is
# kept for the failure message.
nobody=(Halvik bench: a title nobody has)
run_time() {
  local command started ended status=0 in=()
  case $2 in
    empty) command=("$bin/bench_empty.exe") ;;
    walk) command=("$bin/bench_walk.exe") ;;
    halvik) command=("$bin/halvik.exe" "${nobody[@]}") ;;
  esac
  [ "$1" = plain ] || in=(in_crowd)
  started=$EPOCHREALTIME
  "${in[@]}" "$WINELOADER" "${command[@]}" >/dev/null 2>"$samples/stderr" || status=$?
  ended=$EPOCHREALTIME
  # The walk finds no title on a plain desktop now and then, and says so with status 1.
  [ "$status" -eq 0 ] || [[ $status = 1 && $2 = walk && $1 = plain ]] ||
    fail "$(basename "${command[0]}") ended with status $status on the $1 desktop after \
$(((${ended/./} - ${started/./}) / 1000)) ms, writing: $(tail -c 2000 "$samples/stderr")"
  echo $((${ended/./} - ${started/./}))
}

# PLACE FIRST SECOND: runs the walk and halvik there one after the other, FIRST first; prints the
# walk's time, then halvik's.
pair() {
  local -A took
  took[$2]=$(run_time "$1" "$2")
  took[$3]=$(run_time "$1" "$3")
  echo "${took[walk]} ${took[halvik]}"
}

# A round writes one line of times, in the order bench/figures.awk names them: walk and halvik on
# the plain desktop, twice on the crowded one, again on the plain one and once more on the crowded
# one, then the empty program. Then one more run of the walk and of halvik on the plain desktop,
# untimed, gives each program's peak resident size (the kernel's count for the Wine process, from
# GNU time) to MEMORY-FILE. Each run of halvik is compared with the walk's beside it, which met
# nearly the same load on this machine; the crowded runs take twice as long and swing more, so
# they are paired three times. Every other round runs halvik first, so that neither is favoured by
# its place.
measure_rounds() { # ROUNDS OUTPUT-FILE MEMORY-FILE
  local round order place times program peaks
  for ((round = 0; round < $1; round++)); do
    order=(walk halvik)
    ((round % 2 == 0)) || order=(halvik walk)
    times=()
    for place in plain crowded crowded plain crowded; do
      times+=("$(pair "$place" "${order[@]}")")
    done
    times+=("$(run_time plain empty)")
    echo "${times[*]}" >>"$2"
    peaks=()
    for program in "$bin/bench_walk.exe" "$bin/halvik.exe"; do
      /usr/bin/time -f %M -o "$samples/peak" "$WINELOADER" "$program" "${nobody[@]}" \
        >/dev/null 2>&1 || true
      peaks+=("$(cat "$samples/peak")")
    done
    echo "${peaks[*]}" >>"$3"
  done
}
# A program keeps a window on the plain desktop through the rounds, as the shell and the user's
# programs do on a real one; the crowd keeps the crowded one. Without it, Wine ends the desktop's
# own process a moment after the last program that used the desktop window has ended, and the next
# program that asks for that window pays for starting it again, some 250 ms: a program that lists
# the windows without it would leave that cost to the walk's run after its own.
"$WINELOADER" "$bin/target_app.exe" "--title=Halvik bench: the plain desktop's keeper" \
  --lifetime=$(((rounds + 2) * 60000)) >/dev/null 2>&1 &
keeper=$!
# Two rounds first, so that every program's file is in the page cache and both servers are warm.
measure_rounds 2 "$samples/warm-up" "$samples/warm-up-memory"
measure_rounds "$rounds" "$samples/rounds" "$samples/memory"
kill -0 "$keeper" 2>/dev/null || fail "the plain desktop's keeper ended before the measurement did"
{ kill -KILL "$keeper"; wait "$keeper"; } 2>/dev/null || true
kill -0 "$crowd" 2>/dev/null || fail "the crowd ended before the measurement did"
rm -f "$ready_file" # the crowd's windows go with it

echo "halvik.exe under $("$WINELOADER" --version), $build ($(grep -m1 CMAKE_BUILD_TYPE \
  "$build/CMakeCache.txt" | cut -d= -f2))"
echo "$rounds rounds; medians (quartiles) over the rounds, or over the poll's $poll_intervals" \
  "intervals of 2 s"
echo "machine load: load average $load_before before, $(cut -d' ' -f1 /proc/loadavg) after, on \
$(nproc) cores"
# The figures and their goals; the bench ends with their status, 1 when a goal was missed.
awk -v crowd_size="$crowd_size" -f bench/figures.awk "$samples/rounds" "$samples/poll" \
  "$samples/memory"
