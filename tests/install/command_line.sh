#!/usr/bin/env bash
# The command line of brindlet, run with no display at all:
#   command_line.sh <brindlet> <project version>
# --help and --version answer on stdout with status 0; an unknown option, a
# look it does not know or an argument is refused with status 2 and one line
# on stderr; a plain start still ends with status 1 and one line saying that
# there is no display.
set -u
program=$1
version=$2
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# Runs the program with the given arguments; sets status, out and err.
run() {
  local err_file
  err_file=$(mktemp)
  out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$program" "$@" 2>"$err_file")
  status=$?
  err=$(<"$err_file")
  rm -f "$err_file"
}

# Checks the last run: expected status, stdout pattern, number of stderr lines.
expect() {
  local what=$1 want_status=$2 out_pattern=$3 err_lines=$4 lines=0
  [ -n "$err" ] && lines=$(printf '%s\n' "$err" | wc -l)
  [ "$status" -eq "$want_status" ] || fail "$what: exit status $status, expected $want_status"
  # shellcheck disable=SC2053 # the pattern is meant to match as a glob
  [[ $out == $out_pattern ]] || fail "$what: stdout does not match '$out_pattern': $out"
  [ "$lines" -eq "$err_lines" ] || fail "$what: $lines lines on stderr, expected $err_lines: $err"
}

for option in --help -h; do
  run "$option"
  expect "$option" 0 "Usage: brindlet *--help*--version*" 0
done

for option in --version -v; do
  run "$option"
  expect "$option" 0 "brindlet $version" 0
done

for arguments in --no-such-option -x --version=2 extra --look=grey --look; do
  run "$arguments"
  expect "$arguments" 2 "" 1
  [[ $err == "brindlet: "*"--help"* ]] || fail "$arguments: the message does not name the program and --help: $err"
done

# A look it takes goes on to the display check.
for look in shapes colours; do
  run --look "$look"
  expect "--look $look" 1 "" 1
done

run
expect "a plain start" 1 "" 1
[[ $err == *DISPLAY* ]] || fail "a plain start: the message does not mention DISPLAY: $err"

[ "$failures" -eq 0 ] || exit 1
echo "command line: as expected"
