#!/usr/bin/env bash
# Makes the Debian package of a build in a scratch folder and checks it:
#   package.sh <build folder> <AppStream id>
# It must hold the program in /usr/games (started from there by the desktop
# entry), the desktop entry, the six icons, the manual page, the metainfo,
# the copyright and the changelog under /usr, be in section games, depend on
# the Qt libraries the program links (as dpkg-shlibdeps finds them),
# recommend the Qt Wayland plugin, and pass lintian without an error or a
# warning.
set -euo pipefail
build=$1
app_id=$2
command -v lintian >/dev/null || { echo "lintian is not installed (bash scripts/deps test installs it)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
deb=$(find "$work" -maxdepth 1 -name 'brindlet_*.deb' | head -n 1)
[ -n "$deb" ] || { echo "no package made" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||')
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}
for file in usr/games/brindlet usr/share/applications/brindlet.desktop usr/share/man/man6/brindlet.6.gz \
            "usr/share/metainfo/$app_id.metainfo.xml" usr/share/doc/brindlet/copyright \
            usr/share/doc/brindlet/changelog.Debian.gz; do
  grep -qx "$file" <<<"$contents" || fail "missing from the package: $file"
done
for size in 16 32 48 64 128 256; do
  file="usr/share/icons/hicolor/${size}x${size}/apps/brindlet.png"
  grep -qx "$file" <<<"$contents" || fail "missing from the package: $file"
done
exec_line=$(dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/applications/brindlet.desktop | grep '^Exec=')
[ "$exec_line" = Exec=/usr/games/brindlet ] || fail "the desktop entry does not start /usr/games/brindlet: $exec_line"

section=$(dpkg-deb -f "$deb" Section)
depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
[ "$section" = games ] || fail "section is '$section', not games"
for library in libqt6widgets6 libqt6gui6 libqt6core6 libc6; do
  grep -q "$library" <<<"$depends" || fail "Depends lacks $library: $depends"
done
grep -qw qt6-wayland <<<"$recommends" || fail "Recommends lacks qt6-wayland: $recommends"

# Errors and warnings fail; the informational tags are shown.
if ! lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.log" 2>&1; then
  fail "lintian:"
  cat "$work/lintian.log" >&2
elif [ -s "$work/lintian.log" ]; then
  cat "$work/lintian.log"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package: $(basename "$deb"), Depends: $depends; Recommends: $recommends; lintian: no errors or warnings"
