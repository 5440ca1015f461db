#!/usr/bin/env bash
# Starts the real program where it cannot run, and the ways it is asked to
# end:  failing_starts.sh <brindlet>
# Every environment it can't run in gives status 1, exactly one line on
# stderr and no core dump, within a few seconds; values it does not take
# are ignored with one warning; a SIGTERM, SIGINT or SIGHUP quits as Quit!
# does (status 0, the tick log written). Runs in a scratch folder with core
# dumps allowed, so that a crash would leave a core file or a signal status.
set -u
program=$(realpath "$1")
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
work=$(mktemp -d)
servers=()
cleanup() {
  for pid in "${servers[@]}"; do kill "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT
cd "$work" || exit 1
ulimit -c unlimited 2>/dev/null

# A display number with no X server (no socket, no lock file).
free_display() {
  local n=$1
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  echo ":$n"
}

# run <what> <env assignments...> [-- <arguments...>]: the program with
# DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM unset unless given; sets
# status and err.
run() {
  local what=$1
  shift
  local assignments=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do
    assignments+=("$1")
    shift
  done
  [ $# -gt 0 ] && shift
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM -u QT_SCALE_FACTOR "${assignments[@]}" \
    timeout -s KILL 10 "$program" "$@" >/dev/null 2>"$work/err"
  status=$?
  err=$(<"$work/err")
  lines=0
  [ -n "$err" ] && lines=$(printf '%s\n' "$err" | wc -l)
  if ls "$work"/core* >/dev/null 2>&1; then
    fail "$what: left a core file"
    rm -f "$work"/core*
  fi
  [ "$status" -lt 128 ] || fail "$what: ended by signal $((status - 128))"
}

# expect_refusal <what> <pattern> <env...> [-- <arguments...>]
expect_refusal() {
  local what=$1 pattern=$2
  shift 2
  run "$what" "$@"
  [ "$status" -eq 1 ] || fail "$what: exit status $status, expected 1"
  [ "$lines" -eq 1 ] || fail "$what: $lines lines on stderr, expected 1: $err"
  # shellcheck disable=SC2053 # the pattern is meant to match as a glob
  [[ $err == brindlet:\ $pattern ]] || fail "$what: the line does not match '$pattern': $err"
}

dead=$(free_display 90)
expect_refusal "no X server" "*X display '$dead'*" "DISPLAY=$dead"
expect_refusal "a malformed DISPLAY" "*'garbage'*not an X display name*" DISPLAY=garbage
expect_refusal "-display without a server" "*X display '$dead'*" -- -display "$dead"
expect_refusal "no such platform" "*platform plugin 'bogus'*" "DISPLAY=$dead" QT_QPA_PLATFORM=bogus
expect_refusal "-platform names none" "*platform plugin 'bogus'*" -- -platform bogus
expect_refusal "a dead Wayland display" "*Wayland display 'brindlet-none'*" WAYLAND_DISPLAY=brindlet-none
# A sanitizer's shadow memory alone needs more address space than that: the
# limit is tried on plain builds only.
if [ -z "${BRINDLET_TEST_SANITIZED:-}" ]; then
  (ulimit -v 250000 && exec env QT_QPA_PLATFORM=offscreen "$program") >/dev/null 2>"$work/err"
  status=$? err=$(<"$work/err")
  [ "$status" -eq 1 ] && [[ $err == "brindlet: the address-space limit"* ]] && [ "$(wc -l <"$work/err")" -eq 1 ] ||
    fail "ulimit -v 250000: status $status: $err"
fi

# Output that can't be written fails; error lines stay short and escaped.
for option in --help --version; do
  "$program" "$option" >/dev/full 2>"$work/err"
  status=$?
  [ "$status" -ne 0 ] || fail "$option >/dev/full: exit status 0"
  [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$option >/dev/full: not one line: $(<"$work/err")"
done
long=$(head -c 100000 /dev/zero | tr '\0' a)
for argument in "$long" "-$long" $'tab\tnew\nline\e[31m'; do
  run "a bad argument" -- "$argument"
  [ "$status" -eq 2 ] || fail "bad argument: exit status $status, expected 2"
  [ "$lines" -eq 1 ] && [ "${#err}" -lt 200 ] || fail "bad argument: not one short line (${#err} characters): ${err:0:300}"
  [[ $err == *$'\e'* || $err == *$'\t'* ]] && fail "bad argument: control characters echoed raw"
done
[[ $err == *"'tab\\tnew\\nline\\x1B[31m'"* ]] || fail "control characters not escaped: $err"

# Values the program does not take: one warning each, then it runs as if
# they were unset. With the offscreen platform the game runs without a
# display; a SIGTERM then ends it as Quit! does.
# play <signal> <env...>: starts the game, signals it once its tick log
# holds ten ticks (it is written about once a second; a slow build takes
# longer to get there); sets status, err and ticks (lines in the tick log).
play() {
  local signal=$1
  shift
  rm -f "$work/ticks"
  env -u DISPLAY -u WAYLAND_DISPLAY "BRINDLET_TICK_LOG=$work/ticks" "$@" "$program" -platform offscreen \
    >/dev/null 2>"$work/err" &
  local pid=$!
  local waited=0
  while [ "$({ wc -l <"$work/ticks"; } 2>/dev/null || echo 0)" -lt 10 ] && [ "$waited" -lt 300 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  kill "-$signal" "$pid"
  waited=0
  while kill -0 "$pid" 2>/dev/null && [ "$waited" -lt 50 ]; do
    sleep 0.1
    waited=$((waited + 1))
  done
  kill -KILL "$pid" 2>/dev/null
  wait "$pid"
  status=$?
  # Only the program's own lines: the offscreen platform has its say too.
  err=$(grep '^brindlet: [^(]' "$work/err")
  ticks=$({ wc -l <"$work/ticks"; } 2>/dev/null || echo 0)
}
for signal in TERM INT HUP; do
  play "$signal"
  [ "$status" -eq 0 ] || fail "SIG$signal: exit status $status, expected 0 (as Quit!)"
  [ "$ticks" -ge 10 ] || fail "SIG$signal: $ticks ticks logged"
done
[ -z "$err" ] || fail "a clean run wrote to stderr: $err"
for variable in QT_SCALE_FACTOR=0 QT_SCALE_FACTOR=nan QT_SCALE_FACTOR=-1 QT_SCREEN_SCALE_FACTORS=1e9 \
  BRINDLET_BLEND_LANES=3 BRINDLET_BLEND_LANES=x; do
  play TERM "$variable"
  [ "$status" -eq 0 ] && [ "$ticks" -ge 10 ] || fail "$variable: status $status, $ticks ticks: the game did not run"
  [[ $err == "brindlet: ignoring ${variable%%=*}="* ]] && [ "$(wc -l <<<"$err")" -eq 1 ] ||
    fail "$variable: not one warning line: $err"
done
mkfifo "$work/fifo"
play TERM "BRINDLET_TICK_LOG=$work/fifo"
[ "$status" -eq 0 ] || fail "a FIFO as the tick log: status $status"
[[ $err == "brindlet: no tick log: "*"not a regular file"* ]] || fail "a FIFO as the tick log: not reported: $err"

# An 8-bit screen can't show the pictures: refused in one line.
if command -v Xvfb >/dev/null; then
  display=$(free_display 91)
  Xvfb "$display" -screen 0 1280x1024x8 -nolisten tcp >/dev/null 2>&1 &
  servers+=($!)
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done
  expect_refusal "an 8-bit screen" "*8-bit colour*24-bit*" "DISPLAY=$display"
else
  echo "skipped: an 8-bit screen: Xvfb is not installed (package xvfb)"
fi

[ "$failures" -eq 0 ] || exit 1
echo "failing starts: as expected"
