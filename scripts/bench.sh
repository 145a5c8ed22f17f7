#!/usr/bin/env bash
# Measures halvik.exe under Wine against the floor any program of its kind stands on, and prints
# each figure beside its goal:
#   start-up: a run that finds nothing, against a program that reads every title once and exits
#             (and one that does nothing, for scale);
#   search:   the cost per extra top-level window of that run, against the same program's;
#   poll:     the CPU time halvik.exe uses per second of wall time while it waits on a target that
#             ignores the close request, from the kernel's accounting of its process.
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
cd "$(dirname "$0")/.."
load_before=$(cut -d' ' -f1 /proc/loadavg)
# shellcheck source=scripts/fail.sh
source scripts/fail.sh
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
preset=${build#build/}
{ cmake --preset "$preset" >/dev/null &&
  cmake --build --preset "$preset" -j2 --target halvik bench_empty bench_walk bench_crowd \
    target_app stand_in_host >/dev/null; } || fail "building $build failed"
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
kill -KILL "$halvik" "$target" 2>/dev/null || true
wait "$halvik" "$target" 2>/dev/null || true

for _ in $(seq 900); do [ -f "$ready_file" ] && break; sleep 0.1; done
[ -f "$ready_file" ] || fail "the $crowd_size windows did not appear within 2 minutes"

# Microseconds from start to end of one run, which must succeed: PROGRAM [ARGUMENTS…]. In the
# crowded prefix when CROWDED=1. What the run wrote to the standard error is kept for the failure
# message.
run_time() {
  local started ended status=0 where=plain
  started=$EPOCHREALTIME
  if [ "${CROWDED:-0}" = 1 ]; then
    where=crowded
    in_crowd "$WINELOADER" "$@" >/dev/null 2>"$samples/stderr" || status=$?
  else
    "$WINELOADER" "$@" >/dev/null 2>"$samples/stderr" || status=$?
  fi
  ended=$EPOCHREALTIME
  # The walk finds no title on a plain desktop now and then, and says so with status 1.
  [ "$status" -eq 0 ] || [[ $status = 1 && $1 = */bench_walk.exe && $where = plain ]] ||
    fail "$(basename "$1") ended with status $status on the $where desktop after \
$(((${ended/./} - ${started/./}) / 1000)) ms, writing: $(tail -c 2000 "$samples/stderr")"
  echo $((${ended/./} - ${started/./}))
}

nobody=(Halvik bench: a title nobody has)
run() { # KIND
  case $1 in
    empty) run_time "$bin/bench_empty.exe" ;;
    walk-*) run_time "$bin/bench_walk.exe" ;;
    halvik-*) run_time "$bin/halvik.exe" "${nobody[@]}" ;;
    crowded-walk-*) CROWDED=1 run_time "$bin/bench_walk.exe" ;;
    crowded-halvik-*) CROWDED=1 run_time "$bin/halvik.exe" "${nobody[@]}" ;;
  esac
}

# A round runs the kinds below once each, in this order, and writes one line of their times in
# this order. Each run of halvik is compared with the walk's beside it, which met nearly the same
# load on this machine: twice on the plain desktop, three times on the crowded one (the crowded
# runs take twice as long and swing more). Every other round swaps halvik and walk, so that
# neither is favoured by its place.
sequence=(walk-a halvik-a crowded-walk-a crowded-halvik-a crowded-walk-b crowded-halvik-b walk-b
  halvik-b crowded-walk-c crowded-halvik-c empty)
declare -A column_of
swapped_sequence=()
for index in "${!sequence[@]}"; do
  kind=${sequence[index]}
  column_of[$kind]=$index
  case $kind in
    *walk*) swapped_sequence+=("${kind/walk/halvik}") ;;
    *halvik*) swapped_sequence+=("${kind/halvik/walk}") ;;
    *) swapped_sequence+=("$kind") ;;
  esac
done
measure_rounds() { # ROUNDS OUTPUT-FILE
  local round kind times order
  for ((round = 0; round < $1; round++)); do
    times=()
    order=("${sequence[@]}")
    ((round % 2 == 0)) || order=("${swapped_sequence[@]}")
    for kind in "${order[@]}"; do times[${column_of[$kind]}]=$(run "$kind"); done
    echo "${times[*]}" >>"$2"
  done
}
# Two rounds first, so that every program's file is in the page cache and both servers are warm.
measure_rounds 2 "$samples/warm-up"
measure_rounds "$rounds" "$samples/rounds"
kill -0 "$crowd" 2>/dev/null || fail "the crowd ended before the measurement did"
rm -f "$ready_file" # the crowd's windows go with it

# Figures and goals ------------------------------------------------------------------------------
# The lower quartile, median and upper quartile of the numbers on standard input, one a line
# (interpolated between neighbours).
quartiles() {
  sort -g | awk '{ value[NR] = $1 }
    function at(share,  place, below) {
      place = (NR - 1) * share + 1
      below = int(place)
      if (below == NR) return value[NR]
      return value[below] + (place - below) * (value[below + 1] - value[below])
    }
    END { printf "%.6f %.6f %.6f\n", at(0.25), at(0.5), at(0.75) }'
}
# Quartiles over the rounds of awk expressions of a round's times, named as in the sequence with
# underscores: EXPRESSION… (each gives one value per round)
over_rounds() {
  local program="{" index
  for index in "${!sequence[@]}"; do program+=" ${sequence[index]//-/_} = \$$((index + 1));"; done
  for expression in "$@"; do program+=" print $expression;"; done
  awk "$program }" "$samples/rounds" | quartiles
}
# Times in microseconds, costs per window in nanoseconds.
read -r empty_q1 empty_md empty_q3 <<<"$(over_rounds empty)"
read -r walk_q1 walk_md walk_q3 <<<"$(over_rounds walk_a walk_b)"
read -r halvik_q1 halvik_md halvik_q3 <<<"$(over_rounds halvik_a halvik_b)"
read -r crowded_walk_q1 crowded_walk_md crowded_walk_q3 \
  <<<"$(over_rounds crowded_walk_a crowded_walk_b crowded_walk_c)"
read -r crowded_halvik_q1 crowded_halvik_md crowded_halvik_q3 \
  <<<"$(over_rounds crowded_halvik_a crowded_halvik_b crowded_halvik_c)"
# Start-up: the median of how much longer halvik's run took than the walk's beside it, against
# the walk's median time. The quartiles are those of the rounds' 1 + difference / that time.
read -r start_extra_q1 start_extra_md start_extra_q3 \
  <<<"$(over_rounds "halvik_a - walk_a" "halvik_b - walk_b")"
read -r start_q1 start_md start_q3 <<<"$(over_rounds "1 + (halvik_a - walk_a) / $walk_md" \
  "1 + (halvik_b - walk_b) / $walk_md")"
# Search: the walk's cost per window is the median of what each of its crowded runs took beyond
# its plain run before it, per window. Halvik's cost beyond the walk's is the median of how much
# longer its crowded run took than the walk's beside it, less the same on the plain desktop (the
# start-up difference above), per window; the ratio is 1 + that over the walk's cost. The
# quartiles are those of the rounds' figures.
per_window() { echo "($1) * 1000 / $crowd_size"; }
read -r walk_pw_q1 walk_pw_md walk_pw_q3 <<<"$(over_rounds \
  "$(per_window "crowded_walk_a - walk_a")" "$(per_window "crowded_walk_b - walk_a")" \
  "$(per_window "crowded_walk_c - walk_b")")"
search_extras=()
search_ratios=()
for pair in a b c; do
  extra=$(per_window "crowded_halvik_$pair - crowded_walk_$pair - $start_extra_md")
  search_extras+=("$extra")
  search_ratios+=("1 + $extra / $walk_pw_md")
done
read -r search_extra_q1 search_extra_md search_extra_q3 <<<"$(over_rounds "${search_extras[@]}")"
read -r search_q1 search_md search_q3 <<<"$(over_rounds "${search_ratios[@]}")"
# The share of a core in percent, and the CPU milliseconds per interval.
read -r poll_q1 poll_md poll_q3 <<<"$(awk '{ print $1 * 100 / $2 }' "$samples/poll" | quartiles)"
read -r poll_ms_q1 poll_ms_md poll_ms_q3 <<<"$(awk '{ print $1 / 1000000 }' "$samples/poll" |
  quartiles)"

# MEDIAN Q1 Q3 DIVISOR DECIMALS: "median (q1-q3)", each divided and rounded
spread() {
  awk -v m="$1" -v a="$2" -v b="$3" -v d="$4" -v n="$5" \
    'BEGIN { f = "%." n "f"; printf f " (" f "-" f ")", m / d, a / d, b / d }'
}
missed=0
# Prints a ratio, its quartiles and its goal, judged on the median as printed:
# NAME MEDIAN Q1 Q3 GOAL DETAILS
verdict() {
  local mark=met
  if ! awk -v value="$2" -v goal="$5" 'BEGIN { exit !(sprintf("%.3f", value) + 0 <= goal) }'; then
    mark=MISSED
    missed=1
  fi
  printf '  %-9s %s  goal <= %s  %-6s  %s\n' "$1" "$(spread "$2" "$3" "$4" 1 3)" "$5" "$mark" "$6"
}

echo "halvik.exe under $("$WINELOADER" --version), $build ($(grep -m1 CMAKE_BUILD_TYPE \
  "$build/CMakeCache.txt" | cut -d= -f2))"
echo "$rounds rounds; medians (quartiles) over the rounds, or over the poll's $poll_intervals" \
  "intervals of 2 s"
echo "machine load: load average $load_before before, $(cut -d' ' -f1 /proc/loadavg) after, on \
$(nproc) cores"
echo "run time in ms, plain and with $crowd_size more windows:"
echo "  empty     $(spread "$empty_md" "$empty_q1" "$empty_q3" 1000 1)"
echo "  walk      $(spread "$walk_md" "$walk_q1" "$walk_q3" 1000 1)" \
  "  $(spread "$crowded_walk_md" "$crowded_walk_q1" "$crowded_walk_q3" 1000 1)"
echo "  halvik    $(spread "$halvik_md" "$halvik_q1" "$halvik_q3" 1000 1)" \
  "  $(spread "$crowded_halvik_md" "$crowded_halvik_q1" "$crowded_halvik_q3" 1000 1)"
echo "ratios:"
verdict start-up "$start_md" "$start_q1" "$start_q3" 1.100 "halvik took \
$(spread "$start_extra_md" "$start_extra_q1" "$start_extra_q3" 1000 1) ms longer than walk"
verdict search "$search_md" "$search_q1" "$search_q3" 1.200 "per window, halvik took \
$(spread "$search_extra_md" "$search_extra_q1" "$search_extra_q3" 1000 2) us longer than walk's \
$(spread "$walk_pw_md" "$walk_pw_q1" "$walk_pw_q3" 1000 1) us"
verdict "poll CPU%" "$poll_md" "$poll_q1" "$poll_q3" 0.100 "CPU per 2 s of wall time: \
$(spread "$poll_ms_md" "$poll_ms_q1" "$poll_ms_q3" 1 2) ms"
exit "$missed"
