#!/usr/bin/env bash
# What the board for assistive technology costs the running program: its
# CPU share in the attract display and in a game with 50 links, measured by
# bench/running_program.sh, in three settings taken in turns:
#   off       no session bus (as without a desktop): Qt's accessibility stays
#             inactive, and the board does nothing at all
#   bridge    a session bus of its own with Qt's accessibility bridge on
#             (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1), nobody listening
#   listened  the same with an AT-SPI client listening to every event and
#             reading each one's source name, as a screen reader does
#             (scripts/a11y-probe listen all)
# and then the median of each, and its ratio to "off".
#
# Usage: bench/a11y_cost.sh <brindlet> [seconds] [runs]
#   seconds  of each measurement (20 by default), runs 5 by default
# Needs what running_program.sh needs, dbus-run-session, at-spi2-core and
# python3-pyatspi.
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
brindlet=$(realpath "${1:?usage: a11y_cost.sh <brindlet> [seconds] [runs]}")
seconds=${2:-20}
runs=${3:-5}
probe=$here/../scripts/a11y-probe
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One measurement in `setting`; its "attract" and "game" CPU lines, each
# headed by the setting.
measure() {
  local setting=$1 runtime
  runtime=$(mktemp -d -p "$work")
  case $setting in
    off) env -u DBUS_SESSION_BUS_ADDRESS bash "$here/running_program.sh" "$brindlet" "" "$seconds" ;;
    bridge)
      XDG_RUNTIME_DIR=$runtime QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
        dbus-run-session -- bash "$here/running_program.sh" "$brindlet" "" "$seconds" ;;
    listened)
      XDG_RUNTIME_DIR=$runtime QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 dbus-run-session -- bash -c '
        "$0" listen all > "$1/heard" &
        until [ -s "$1/heard" ]; do sleep 0.2; done
        bash "$2/running_program.sh" "$3" "" "$4"
        kill $!
        echo "events heard: $(grep -c "^event" "$1/heard")" >&2' "$probe" "$runtime" "$here" "$brindlet" "$seconds" ;;
  esac 2>"$work/err" | awk -v s="$setting" '/^(attract|game) +CPU/ { print s, $1, $3 }' | tee -a "$work/cpu"
  grep -h "events heard" "$work/err" || true
}

echo "brindlet: $brindlet, $seconds s per scene, $runs run(s); $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2)"
for ((run = 1; run <= runs; run++)); do
  echo "-- run $run, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  for setting in off bridge listened; do measure "$setting"; done
done
echo "medians of $runs run(s), CPU % of one core:"
for scene in attract game; do
  for setting in off bridge listened; do
    awk -v s="$setting" -v c="$scene" '$1 == s && $2 == c { print $3 }' "$work/cpu" | sort -n |
      awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }' > "$work/median-$setting"
    awk -v s="$setting" -v c="$scene" -v base="$(cat "$work/median-off")" -v m="$(cat "$work/median-$setting")" \
      'BEGIN { printf "%-8s %-9s %.2f %%   %.2f x off\n", c, s, m, (base > 0 ? m / base : 0) }'
  done
done
