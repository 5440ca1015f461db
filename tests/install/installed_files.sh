#!/usr/bin/env bash
# Installs a build into a scratch prefix and compares the files with what a
# desktop installation must hold:
#   installed_files.sh <build folder> <AppStream id>
# The program goes to games/ under the prefix, as Debian keeps games; the
# desktop entry starts it there and the manual page names it there, for the
# prefix installed to (not the one the build was configured with).
set -euo pipefail
build=$1
app_id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" --strip >/dev/null
actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
expected=$(
  {
    echo games/brindlet
    echo share/applications/brindlet.desktop
    for size in 16 32 48 64 128 256; do echo "share/icons/hicolor/${size}x${size}/apps/brindlet.png"; done
    echo share/man/man6/brindlet.6.gz
    echo "share/metainfo/$app_id.metainfo.xml"
    echo share/doc/brindlet/copyright
    echo share/doc/brindlet/changelog.Debian.gz
    echo share/lintian/overrides/brindlet
  } | sort
)
if [ "$actual" != "$expected" ]; then
  echo "installed files differ from the expected ones (< expected, > installed):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi

program="$prefix/games/brindlet"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

# The compressed files must survive their compression.
gzip -t "$prefix/share/man/man6/brindlet.6.gz" "$prefix/share/doc/brindlet/changelog.Debian.gz"

exec_line=$(grep '^Exec=' "$prefix/share/applications/brindlet.desktop")
[ "$exec_line" = "Exec=$program" ] || fail "the desktop entry does not start $program: $exec_line"
zcat "$prefix/share/man/man6/brindlet.6.gz" | grep -qxF ".I $program" ||
  fail "the manual page does not name $program"
version=$(env -u DISPLAY -u WAYLAND_DISPLAY "$program" --version) || fail "the installed program does not answer --version"
[[ $version == "brindlet "* ]] || fail "the installed program's --version: $version"
# A stripped install keeps neither symbols nor the compiler's notes.
sections=$(objdump -h "$program")
for section in .symtab .debug_info .comment; do
  if grep -qF " $section " <<<"$sections"; then fail "the stripped program still has $section"; fi
done

[ "$failures" -eq 0 ] || exit 1
echo "installed files: as expected"
