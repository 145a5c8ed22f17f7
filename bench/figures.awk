# The figures scripts/bench.sh prints, and their goals, from what it measured:
#   awk -v crowd_size=WINDOWS -f bench/figures.awk ROUNDS POLL MEMORY
# ROUNDS has a line per round: its run times in microseconds, in the order `names` gives below.
# POLL has a line per interval of the poll: the CPU nanoseconds halvik.exe used in it, and the
# wall nanoseconds it lasted. MEMORY has a line per round: the peak resident size in KiB of a run
# of the walk and of halvik.exe on the plain desktop; each program's figure is its largest. Every figure is the median of its values with their quartiles
# (interpolated between neighbours); each ratio is judged against its goal on its median as
# printed, and the program ends with status 1 when a goal was missed.

BEGIN {
  names = "walk_a halvik_a crowded_walk_a crowded_halvik_a crowded_walk_b crowded_halvik_b " \
          "walk_b halvik_b crowded_walk_c crowded_halvik_c empty"
  columns = split(names, name, " ")
}

FILENAME == ARGV[1] {
  rounds++
  for (i = 1; i <= columns; i++) took[name[i], rounds] = $i
}

FILENAME == ARGV[2] {
  add("poll", $1 * 100 / $2) # the share of a core, in percent
  add("poll ms", $1 / 1000000)
}

FILENAME == ARGV[3] {
  if ($1 > peak["walk"]) peak["walk"] = $1
  if ($2 > peak["halvik"]) peak["halvik"] = $2
}

function add(list, value) { values[list, ++count[list]] = value + 0 }

function t(column, round) { return took[column, round] }

# Sorts a list's values and keeps its quartiles in q1, md and q3.
function summarize(list,   n, i, j, value) {
  n = count[list]
  for (i = 2; i <= n; i++) {
    value = values[list, i]
    for (j = i - 1; j >= 1 && values[list, j] > value; j--) values[list, j + 1] = values[list, j]
    values[list, j + 1] = value
  }
  q1[list] = at(list, 0.25)
  md[list] = at(list, 0.5)
  q3[list] = at(list, 0.75)
}

function at(list, share,   n, place, below) {
  n = count[list]
  place = (n - 1) * share + 1
  below = int(place)
  if (below == n) return values[list, n]
  return values[list, below] + (place - below) * (values[list, below + 1] - values[list, below])
}

# "median (q1-q3)", each divided and rounded.
function spread(list, divisor, decimals,   f) {
  f = "%." decimals "f"
  return sprintf(f " (" f "-" f ")", md[list] / divisor, q1[list] / divisor, q3[list] / divisor)
}

function verdict(label, list, goal, details) {
  judge(label, spread(list, 1, 3), md[list], goal, details)
}

function judge(label, shown, value, goal, details,   mark) {
  mark = "met"
  if (sprintf("%.3f", value) + 0 > goal) {
    mark = "MISSED"
    missed = 1
  }
  printf "  %-9s %s  goal <= %.3f  %-6s  %s\n", label, shown, goal, mark, details
}

END {
  # Run times, and how much longer each run of halvik took than the walk's beside it.
  for (r = 1; r <= rounds; r++) {
    add("empty", t("empty", r))
    for (pair = 1; pair <= 3; pair++) {
      p = substr("abc", pair, 1)
      add("crowded walk", t("crowded_walk_" p, r))
      add("crowded halvik", t("crowded_halvik_" p, r))
      if (p == "c") continue
      add("walk", t("walk_" p, r))
      add("halvik", t("halvik_" p, r))
      add("start-up extra", t("halvik_" p, r) - t("walk_" p, r))
    }
    # The walk's cost per window, in nanoseconds: each crowded run against the plain run before it.
    add("walk per window", (t("crowded_walk_a", r) - t("walk_a", r)) * 1000 / crowd_size)
    add("walk per window", (t("crowded_walk_b", r) - t("walk_a", r)) * 1000 / crowd_size)
    add("walk per window", (t("crowded_walk_c", r) - t("walk_b", r)) * 1000 / crowd_size)
  }
  for (list in count) summarize(list)

  # Start-up: halvik's extra time over the walk's median time. Search: halvik's extra time on the
  # crowded desktop, less the same on the plain one, per window, over the walk's cost per window.
  for (r = 1; r <= rounds; r++) {
    for (pair = 1; pair <= 3; pair++) {
      p = substr("abc", pair, 1)
      if (p != "c") add("start-up", 1 + (t("halvik_" p, r) - t("walk_" p, r)) / md["walk"])
      extra = (t("crowded_halvik_" p, r) - t("crowded_walk_" p, r) - md["start-up extra"]) * \
              1000 / crowd_size
      add("search extra", extra)
      add("search", 1 + extra / md["walk per window"])
    }
  }
  summarize("start-up")
  summarize("search extra")
  summarize("search")

  print "run time in ms, plain and with " crowd_size " more windows:"
  print "  empty     " spread("empty", 1000, 1)
  print "  walk      " spread("walk", 1000, 1) "   " spread("crowded walk", 1000, 1)
  print "  halvik    " spread("halvik", 1000, 1) "   " spread("crowded halvik", 1000, 1)
  print "ratios:"
  verdict("start-up", "start-up", 1.05,
          "halvik took " spread("start-up extra", 1000, 1) " ms longer than walk")
  verdict("search", "search", 1.2, "per window, halvik took " spread("search extra", 1000, 2) \
          " us longer than walk's " spread("walk per window", 1000, 1) " us")
  verdict("poll CPU%", "poll", 0.06, "CPU per 2 s of wall time: " spread("poll ms", 1, 2) " ms")
  memory = peak["halvik"] / peak["walk"]
  judge("memory", sprintf("%-21.3f", memory), memory, 1.2,
        sprintf("peak resident: halvik %.1f MiB, walk %.1f MiB", peak["halvik"] / 1024,
                peak["walk"] / 1024))
  exit missed
}
