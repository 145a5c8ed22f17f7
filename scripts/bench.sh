#!/usr/bin/env bash
# Measures halvik.exe under Wine against the floor any program of its kind stands on, and prints
# each figure beside its goal:
#   start-up: a run that finds nothing, against a program that reads every title once and exits
#             (and one that does nothing, for scale);
#   search:   the cost per extra top-level window of that run, against the same program's;
#   poll:     the CPU time halvik.exe uses per second of wall time while it waits on a target that
#             ignores the close request, from the kernel's accounting of its process.
# The programs take turns, and each figure is the median of RUNS runs (21 unless given).
#   scripts/bench.sh [RUNS]    BUILD=windows measures the 32-bit build instead of the 64-bit one.
# Ends with status 1 when a goal was missed.
set -uo pipefail
cd "$(dirname "$0")/.."
# shellcheck source=scripts/fail.sh
source scripts/fail.sh
fail_status=2 # 1 means a missed goal

runs=${1:-21}
build=build/${BUILD:-windows64}
crowd_size=2000
poll_intervals=15 # of two seconds each, all within the first grace period of 50 s

./scripts/install-deps.sh >/dev/null || fail "the packages could not be installed"
# shellcheck source=scripts/wine-session.sh
source scripts/wine-session.sh
if [ "$build" = build/windows ] && ! can_run_32bit; then
  fail "the 32-bit build cannot run here: $(why_not_32bit)"
fi
preset=${build#build/}
{ cmake --preset "$preset" >/dev/null &&
  cmake --build --preset "$preset" -j2 --target halvik bench_empty bench_walk bench_crowd \
    target_app stand_in_host >/dev/null; } || fail "building $build failed"
start_display || fail "no display for Wine"
prepare_prefix "$build" || fail "the Wine prefix of $build is not usable"

# The programs run under the loader directly, in the build's Wine environment as its wine script
# runs them, and one server serves every run, so that neither a shell nor a server start is
# measured.
# shellcheck source=/dev/null
source "$build/wine.env"
"$WINESERVER" -p
bin=$build/bin
# Titles go as separate words: Wine would quote an argument with blanks, and halvik.exe takes its
# argument text as it stands, quotes and all.
nobody="Halvik bench: a title nobody has"

# Microseconds from start to end of one run: PROGRAM [ARGUMENTS…]
run_time() {
  local started=$EPOCHREALTIME
  "$WINELOADER" "$@" >/dev/null 2>&1
  local ended=$EPOCHREALTIME
  echo $(((${ended/./} - ${started/./})))
}

median() {
  sort -n | awk '{ value[NR] = $1 } END { print value[int((NR + 1) / 2)] }'
}

samples=$(mktemp -d)
# Each round runs every program once, starting with a different one each time: PHASE PROGRAMS…
measure_rounds() {
  local phase=$1 round index count
  shift
  local programs=("$@")
  count=${#programs[@]}
  for ((round = 0; round < runs; round++)); do
    for ((index = 0; index < count; index++)); do
      local program=${programs[$(((round + index) % count))]}
      case $program in
        # shellcheck disable=SC2086
        halvik) run_time "$bin/halvik.exe" $nobody ;;
        *) run_time "$bin/bench_$program.exe" ;;
      esac >>"$samples/$phase-$program"
    done
  done
}

# A few runs first, so that every program's file is in the page cache.
runs=3 measure_rounds warm-up empty walk halvik
measure_rounds plain empty walk halvik

ready_file="$samples/crowd-ready"
"$WINELOADER" "$bin/bench_crowd.exe" "$crowd_size" "$("$WINELOADER" winepath -w "$ready_file" 2>/dev/null)" \
  >/dev/null 2>&1 &
for _ in $(seq 600); do [ -f "$ready_file" ] && break; sleep 0.1; done
[ -f "$ready_file" ] || fail "the $crowd_size windows did not appear within 60 s"
measure_rounds crowded walk halvik
rm -f "$ready_file" # the crowd's windows go with it

# The kernel's count of the nanoseconds every thread of the process has run: PID
cpu_nanoseconds() {
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d", sum }'
}
wall_nanoseconds() {
  echo "${EPOCHREALTIME/./}000"
}

title="Halvik bench: a window that ignores the close request"
"$WINELOADER" "$bin/target_app.exe" "--title=$title" --on-close=ignore --lifetime=120000 \
  >/dev/null 2>&1 &
target=$!
sleep 3
# shellcheck disable=SC2086
"$WINELOADER" "$bin/halvik.exe" $title >/dev/null 2>&1 &
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
kill -KILL "$halvik" "$target" 2>/dev/null
wait "$halvik" "$target" 2>/dev/null

# Figures and goals ------------------------------------------------------------------------------
for file in "$samples"/plain-* "$samples"/crowded-*; do
  declare "median_$(basename "$file" | tr - _)=$(median <"$file")"
done
# Nanoseconds per window.
per_window_walk=$(((median_crowded_walk - median_plain_walk) * 1000 / crowd_size))
per_window_halvik=$(((median_crowded_halvik - median_plain_halvik) * 1000 / crowd_size))
poll_cpu_ppm=$(awk '{ print int($1 * 1000000 / $2) }' "$samples/poll" | median)
poll_cpu_ms=$(awk '{ print $1 / 1000000 }' "$samples/poll" | median)
rm -rf "$samples"

missed=0
# Prints a ratio against its goal: NAME RATIO-IN-THOUSANDTHS GOAL-IN-THOUSANDTHS DETAILS
verdict() {
  local mark=met
  if [ "$2" -gt "$3" ]; then
    mark=MISSED
    missed=1
  fi
  printf '%-9s %5s  goal <= %5s  %-6s  %s\n' "$1" "$(thousandths "$2")" "$(thousandths "$3")" \
    "$mark" "$4"
}
thousandths() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }
ms() { printf '%d.%d ms' $(($1 / 1000)) $((($1 % 1000) / 100)); }
us() { printf '%d.%d us' $(($1 / 1000)) $((($1 % 1000) / 100)); }

echo "halvik.exe under $("$WINELOADER" --version), $build ($(grep -m1 CMAKE_BUILD_TYPE \
  "$build/CMakeCache.txt" | cut -d= -f2)); medians of $runs runs, $poll_intervals intervals"
echo "empty program: $(ms "$median_plain_empty")"
verdict start-up $((median_plain_halvik * 1000 / median_plain_walk)) 1100 \
  "halvik $(ms "$median_plain_halvik") / walk $(ms "$median_plain_walk")"
verdict search $((per_window_halvik * 1000 / per_window_walk)) 1200 \
  "per window: halvik $(us "$per_window_halvik") / walk $(us "$per_window_walk") (with \
$crowd_size more windows: halvik $(ms "$median_crowded_halvik"), walk $(ms "$median_crowded_walk"))"
# The share in thousandths of a percent, which are tens of parts per million.
verdict "poll CPU%" $((poll_cpu_ppm / 10)) 100 "$poll_cpu_ms ms of CPU per 2 s of wall time"
exit "$missed"
