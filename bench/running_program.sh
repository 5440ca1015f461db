#!/usr/bin/env bash
# Measures the running program in its own Xvfb: the CPU time it takes and how
# evenly its main tick runs, over 20 s of wall time in
#   (a) the attract display, and
#   (b) a game with 50 links (made by clicking pairs of pegs found in a
#       screenshot; when 50 can't be placed, as many as can),
# beside the X server's CPU time, and beside
#   (c) the floor: brindlet_timers_floor, a window with the program's timers
#       that reads the pointer and lets events run each main tick but draws
#       nothing, which is what waking up costs on this machine, and
#   (d) under openbox, the attract display shown and then with both windows
#       minimised, where nobody can see the playfield.
# Each scene also gives the program's thread wake-ups a second (the context
# switches of all its threads) and its main thread's voluntary ones.
# Targets: at most 3 % of one core; 99 % of main-tick intervals within
# 25 +- 2 ms; minimised, at most 10 wake-ups a second and 0.3 % of a core.
#
# Usage: bench/running_program.sh [--screen WxH[@SCALE][/WxH]]... <brindlet> [<brindlet_shot>] [seconds] [runs]
#   --screen       a screen to measure on: its size in pixels and the Qt scale
#                  factor (QT_SCALE_FACTOR) to run the program at, for example
#                  3840x2160@2 for a 4K screen at 200 % or 1280x720 for a
#                  small one, and after a slash the size the main window is
#                  then given (as a tiling window manager sizes it; the
#                  playfield fills it), for example 1920x1080/1916x997; the
#                  game's links are made before. May be given several times. The first case is
#                  always 1920x1080 at 1:1 (or 1600x1000 when no --screen is
#                  given), and each other case is printed beside it: the
#                  ratio of its median CPU share to the 1:1 median of the
#                  same run. The floor is measured on the first case only.
#   brindlet       the program, built with the Qt front end
#   brindlet_shot  the helper that plays the program from outside; by default
#                  the one in the same build folder (tests/e2e/brindlet_shot)
#   seconds        length of each measurement, 20 by default
#   runs           how many times each scene is measured, 1 by default; with
#                  more, the cases and scenes take turns and each one's median
#                  follows (of an even count, the lower of the middle two)
# The floor is measured when bench/brindlet_timers_floor is in the same build
# folder, and the scenes under openbox when openbox and wmctrl are installed;
# all three on the first case only. Builds nothing. Needs Xvfb and xdotool
# (bash scripts/deps bench installs them).
set -euo pipefail

cases=()
while [ $# -gt 0 ] && [ "$1" = --screen ]; do
  [[ ${2:-} =~ ^[1-9][0-9]*x[1-9][0-9]*(@[0-9]+(\.[0-9]+)?)?(/[1-9][0-9]*x[1-9][0-9]*)?$ ]] ||
    { echo "--screen WxH[@SCALE][/WxH]: ${2:-}" >&2; exit 2; }
  cases+=("$2")
  shift 2
done
if ((${#cases[@]})); then
  cases=("1920x1080@1" "${cases[@]}")
else
  cases=("1600x1000@1")
fi
brindlet=${1:?usage: running_program.sh [--screen WxH[@SCALE][/WxH]]... <brindlet> [<brindlet_shot>] [seconds] [runs]}
shot=${2:-$(dirname "$brindlet")/../../tests/e2e/brindlet_shot}
seconds=${3:-20}
runs=${4:-1}
floor=$(dirname "$brindlet")/../../bench/brindlet_timers_floor
links_wanted=50

for n in "$seconds" "$runs"; do
  [[ $n =~ ^[1-9][0-9]*$ ]] || { echo "seconds and runs are whole numbers from 1: $n" >&2; exit 2; }
done
for f in "$brindlet" "$shot"; do
  [ -x "$f" ] || { echo "not an executable: $f" >&2; exit 2; }
done
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "$tool is missing (bash scripts/deps bench)" >&2; exit 2; }
done

work=$(mktemp -d)
xvfb_pid=
program_pid=
cleanup() {
  [ -n "$program_pid" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# An X server on the first free display with a screen of `size` pixels; it
# writes the display's number to fd 3 once it takes clients.
start_x() {
  local size=$1
  rm -f "$work/display"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -br -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 300); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  [ -s "$work/display" ] || { echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1; }
  export DISPLAY=:$(head -n1 "$work/display")
  rest_x=$((${size%x*} - 10))
  rest_y=$((${size#*x} - 10))
}
stop_x() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
}
export QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY QT_SCALE_FACTOR

clk_tck=$(getconf CLK_TCK)
t0=0
t1=0
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }
# Context switches of all of a process's threads, and its main thread's
# voluntary ones.
switches() {
  cat "/proc/$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches/ { n += $2 } END { print n + 0 }'
  awk '/^voluntary_ctxt_switches/ { print $2 }' "/proc/$1/status"
}

# Interval statistics of the ticks that started between two steady-clock
# times (ns): count, share within 25 +- 2 ms, p50, p99, max.
tick_stats() {
  awk -v from="$2" -v to="$3" '$1 >= from && $1 <= to' "$1" |
    awk 'NR > 1 { printf "%.3f\n", ($1 - prev) / 1e6 } { prev = $1 }' | sort -n |
    awk '{ v[NR] = $1; if ($1 >= 23 && $1 <= 27) ok++ }
         END {
           if (NR == 0) { print "no ticks"; exit }
           p50 = v[int((NR - 1) * 0.50) + 1]; p99 = v[int((NR - 1) * 0.99) + 1]
           printf "%d intervals, %.2f %% within 25 +- 2 ms, p50 %.2f ms, p99 %.2f ms, max %.2f ms\n",
                  NR, 100 * ok / NR, p50, p99, v[NR]
         }'
}

# CPU shares of the program and of the X server over `seconds` of wall time,
# printed as one line for the scene and kept for its median. The steady-clock
# times the measurement began and ended are left in t0 and t1.
sample() {
  local scene=$1 pid=$2
  local load_before c0 c1 x0 x1 w0 w1 m0 m1
  load_before=$(cut -d' ' -f1-3 /proc/loadavg)
  x0=$(cpu_ticks "$xvfb_pid")
  t0=$("$shot" now)
  c0=$(cpu_ticks "$pid")
  { read -r w0; read -r m0; } < <(switches "$pid")
  sleep "$seconds"
  { read -r w1; read -r m1; } < <(switches "$pid")
  c1=$(cpu_ticks "$pid")
  t1=$("$shot" now)
  x1=$(cpu_ticks "$xvfb_pid")
  awk -v c="$((c1 - c0))" -v x="$((x1 - x0))" -v hz="$clk_tck" -v ns="$((t1 - t0))" -v scene="$scene" \
      -v w="$((w1 - w0))" -v m="$((m1 - m0))" -v load="$load_before" -v kept="$work/cpu-$case_name-$scene" 'BEGIN {
        s = ns / 1e9
        printf "%-8s CPU %.2f %% of one core over %.1f s (Xvfb %.2f %%), %.1f wake-ups/s (main thread %.1f); load average before: %s\n",
               scene, 100 * c / hz / s, s, 100 * x / hz / s, w / s, m / s, load
        printf "%.2f %.2f %.1f %.1f\n", 100 * c / hz / s, 100 * x / hz / s, w / s, m / s >> kept
      }'
}

# Runs brindlet, sets up the scene, measures, quits.
measure() {
  local scene=$1 log="$work/ticks-$1.txt"
  QT_SCALE_FACTOR=$case_scale BRINDLET_TICK_LOG=$log "$brindlet" >"$work/brindlet-$scene.log" 2>&1 &
  program_pid=$!
  "$shot" "$program_pid" ready
  if [ "$scene" = game ]; then
    "$shot" "$program_pid" start
    "$shot" "$program_pid" links "$links_wanted"
  fi
  if [ -n "$case_window" ]; then
    xdotool search --sync --pid "$program_pid" --name '^Brindlet!$' windowsize "${case_window%x*}" "${case_window#*x}"
  fi
  # The pointer rests off the playfield, over the bare screen.
  xdotool mousemove "$rest_x" "$rest_y"
  sleep 2
  sample "$scene" "$program_pid"

  "$shot" "$program_pid" quit
  local status=0
  wait "$program_pid" || status=$?
  program_pid=
  [ "$status" -eq 0 ] || { echo "brindlet ended with status $status" >&2; cat "$work/brindlet-$scene.log" >&2; exit 1; }
  # The tick log is written as the program ends.
  printf '%-8s main tick: %s\n' "$scene" "$(tick_stats "$log" "$t0" "$t1")"
}

# Under openbox, which frames and minimises windows: the attract display
# shown, then both windows minimised; they are brought back before the
# program is asked to quit.
measure_openbox() {
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  local wm_pid=$!
  sleep 1
  "$brindlet" >"$work/brindlet-openbox.log" 2>&1 &
  program_pid=$!
  "$shot" "$program_pid" ready
  xdotool mousemove "$rest_x" "$rest_y"
  sleep 2
  sample shown "$program_pid"
  local windows
  windows=$(wmctrl -lp | awk -v pid="$program_pid" '$3 == pid { print $1 }')
  for w in $windows; do xdotool windowminimize --sync "$w"; done
  sleep 2
  sample unseen "$program_pid"
  for w in $windows; do wmctrl -i -a "$w"; done
  sleep 1
  "$shot" "$program_pid" quit
  local status=0
  wait "$program_pid" || status=$?
  program_pid=
  kill "$wm_pid" 2>/dev/null || true
  wait "$wm_pid" 2>/dev/null || true
  [ "$status" -eq 0 ] || { echo "brindlet ended with status $status" >&2; cat "$work/brindlet-openbox.log" >&2; exit 1; }
}

# Runs the floor program with the pointer where it rests for the scenes,
# measures, ends it.
measure_floor() {
  "$floor" >"$work/floor.log" 2>&1 &
  program_pid=$!
  xdotool mousemove "$rest_x" "$rest_y"
  sleep 2
  sample floor "$program_pid"
  kill "$program_pid"
  wait "$program_pid" 2>/dev/null || true
  program_pid=
}

echo "brindlet: $brindlet, $seconds s per scene, $runs run(s), cases: ${cases[*]}, $(nproc) cores"
[ -x "$floor" ] || { echo "no floor program at $floor: the floor is not measured"; floor=; }
openbox=yes
for tool in openbox wmctrl; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: the scenes under openbox are not measured"; openbox=; }
done
for ((run = 1; run <= runs; run++)); do
  for case in "${cases[@]}"; do
    case_name=${case//\//-}
    case_window=
    [[ $case == */* ]] && case_window=${case#*/}
    size=${case%/*}
    size=${size%@*}
    case_scale=1
    [[ ${case%/*} == *@* ]] && case_scale=${case%/*} && case_scale=${case_scale#*@}
    start_x "$size"
    echo "-- $size at scale $case_scale${case_window:+, the main window at $case_window} (display $DISPLAY)"
    measure attract
    measure game
    [ -n "$floor" ] && [ "$case" = "${cases[0]}" ] && measure_floor
    [ -n "$openbox" ] && [ "$case" = "${cases[0]}" ] && measure_openbox
    stop_x
  done
done

# The medians of one case's scene (of an even count, the lower middle):
# "cpu xvfb wake-ups main-thread-wake-ups", each taken on its own.
median() {
  local f=$work/cpu-${1//\//-}-$2
  for k in 1 2 3 4; do sort -n -k"$k,$k" "$f" | awk -v k="$k" '{ v[NR] = $k } END { printf "%s ", v[int((NR + 1) / 2)] }'; done
  echo
}
echo "medians of $runs run(s):"
for case in "${cases[@]}"; do
  for scene in attract game floor shown unseen; do
    [ -f "$work/cpu-${case//\//-}-$scene" ] || continue
    read -r cpu xvfb wakes main < <(median "$case" "$scene")
    read -r base _ < <(median "${cases[0]}" "$scene" 2>/dev/null || echo "0 0")
    awk -v c="$cpu" -v x="$xvfb" -v b="$base" -v name="$case" -v scene="$scene" -v first="${cases[0]}" \
        -v w="$wakes" -v m="$main" 'BEGIN {
      printf "%-24s %-8s CPU %.2f %% (Xvfb %.2f %%), %.1f wake-ups/s (main thread %.1f)", name, scene, c, x, w, m
      if (name != first && b > 0) printf "   %.2f x the %s case", c / b, first
      printf "\n"
    }'
  done
done
