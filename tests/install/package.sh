#!/usr/bin/env bash
# The Debian packages: the project's own, made by cpack from a build, and the
# program packaged as a distribution does it, from a copy of the source with
# a throwaway debian/ (distributions keep their own):
#   package.sh <source folder> <build folder> <version> <AppStream id>
# The project's package holds what an installation must, for /usr (not the
# prefix the build was configured with), with Debian's copyright and
# changelog in place of the licence; the program stripped of its symbols,
# debugging information and compiler notes.
# dpkg-buildpackage -b runs as a user other than root, with no display, once
# as it is (dh_auto_test runs the default ctest, with the desktop test tools
# out of reach, as on a build daemon) and once with nocheck, which must
# build no test. Both packages hold the same files, every package passes
# lintian with no error or warning, and both build logs pass blhc (with
# every flag of hardening=+all; PIE is GCC's default on Debian).
set -euo pipefail
src=$(realpath "$1") build=$(realpath "$2") version=$3 app_id=$4
for need in dpkg-dev:dpkg-buildpackage debhelper:dh lintian:lintian blhc:blhc file:file util-linux:setpriv; do
  command -v "${need#*:}" >/dev/null || { echo "skipped: ${need#*:} is not installed (package ${need%:*})"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
# Both packages' changelogs have one entry, closing no bug: they are not
# uploads to Debian, which is what the tag is about.
check_lintian() {
  lintian --fail-on error,warning --suppress-tags initial-upload-closes-no-bugs "$1" >"$work/lintian.log" 2>&1 ||
    fail "lintian $(basename "$1"): $(cat "$work/lintian.log")"
}
files() { dpkg-deb -c "$1" | awk '!/^d/ { print $6 }' | sort; }

# The project's own package. lintian finds a Depends that misses the
# libraries, a desktop entry that starts no program of the package, a manual
# page that man can't read, a program with symbols or debugging information.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/cpack" >"$work/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$work/cpack.log")"
deb=$(echo "$work"/cpack/brindlet_"$version"-1_*.deb)
[[ $(dpkg-deb -f "$deb" Section Recommends) == "Section: games"$'\n'"Recommends: "*qt6-wayland* ]] ||
  fail "not in section games, recommending qt6-wayland: $(dpkg-deb -f "$deb" Section Recommends)"
expected=$(printf './usr/%s\n' games/brindlet share/applications/brindlet.desktop share/man/man6/brindlet.6.gz \
  "share/metainfo/$app_id.metainfo.xml" share/doc/brindlet/{copyright,changelog.Debian.gz} \
  share/icons/hicolor/{16x16,32x32,48x48,64x64,128x128,256x256}/apps/brindlet.png | sort)
[ "$(files "$deb")" = "$expected" ] || fail "other files (> packaged): $(diff <(echo "$expected") <(files "$deb"))"
dpkg-deb -x "$deb" "$work/root"
! objdump -h "$work/root/usr/games/brindlet" | grep -E ' \.comment ' || fail "the program keeps the compiler's notes"
zcat "$work/root/usr/share/man/man6/brindlet.6.gz" | grep -qxF '.I /usr/games/brindlet' ||
  fail "the manual page does not name /usr/games/brindlet"
check_lintian "$deb"

# The source as a distribution gets it (the files git has, or all but the
# build folder), and its debian/.
pkg=$work/brindlet-$version
mkdir -p "$pkg/debian/source" "$work/home" "$work/bin"
{ git -C "$src" ls-files -z -co --exclude-standard 2>/dev/null ||
  (cd "$src" && find . -path "./${build#"$src"/}" -prune -o -type f -print0); } |
  tar -C "$src" --null --ignore-failed-read -T - -cf - | tar -C "$pkg" -xf -
echo "3.0 (quilt)" >"$pkg/debian/source/format"
cp "$build/data/copyright" "$pkg/debian/copyright"
cat >"$pkg/debian/changelog" <<END_CHANGELOG
brindlet ($version-1) unstable; urgency=medium

  * Packaged by the package test.

 -- Brindlet developers <brindlet@example.org>  $(date -u -R)
END_CHANGELOG
# The widget tests measure Liberation Sans; the failing starts need Qt's
# Wayland plugin.
cat >"$pkg/debian/control" <<'END_CONTROL'
Source: brindlet
Section: games
Priority: optional
Maintainer: Brindlet developers <brindlet@example.org>
Build-Depends: debhelper-compat (= 13), cmake, ninja-build, qt6-base-dev, libgtest-dev <!nocheck>, libx11-dev <!nocheck>,
 desktop-file-utils <!nocheck>, appstream <!nocheck>, groff-base <!nocheck>, fonts-liberation2 <!nocheck>, qt6-wayland <!nocheck>
Standards-Version: 4.6.2
Rules-Requires-Root: no

Package: brindlet
Architecture: any
Depends: ${shlibs:Depends}, ${misc:Depends}
Recommends: fonts-dejavu-core, fonts-liberation2, qt6-wayland
Description: puzzle toy: link glowing pegs of one colour with dotted beams
 Click two drifting pegs of one colour family to join them with a beam.
END_CONTROL
# debhelper 13.11 passes CMake no BUILD_TESTING; debian/copyright carries
# the licence.
cat >"$pkg/debian/rules" <<'END_RULES'
#!/usr/bin/make -f
export DEB_BUILD_MAINT_OPTIONS = hardening=+all
%:
	dh $@ --buildsystem=cmake+ninja
override_dh_auto_configure:
	dh_auto_configure -- $(if $(filter nocheck,$(DEB_BUILD_OPTIONS)),-DBUILD_TESTING=OFF)
execute_after_dh_auto_install:
	rm debian/brindlet/usr/share/doc/brindlet/LICENSE
END_RULES
chmod +x "$pkg/debian/rules"

# A build daemon has only the build dependencies: the programs of the
# desktop test tools are left out of PATH.
hidden=$(dpkg -L xvfb xdotool x11-utils weston openbox wmctrl 2>/dev/null | sed -n 's|^/usr/s\?bin/||p' || true)
find /usr/sbin /usr/bin -mindepth 1 -maxdepth 1 | awk -F/ 'NR == FNR { hide[$0]; next } !($NF in hide)' \
  <(echo "$hidden") - | xargs -d '\n' ln -sf -t "$work/bin"
as=() && [ "$(id -u)" -ne 0 ] || { chown -R 65534:65534 "$work" && as=(setpriv --reuid=65534 --regid=65534 --clear-groups); }
# debian_build <DEB_BUILD_OPTIONS and DEB_BUILD_PROFILES>, logged in
# $work/<options, or default>.log.
debian_build() {
  log=$work/${1:-default}.log
  (cd "$pkg" && "${as[@]}" env -u DISPLAY -u WAYLAND_DISPLAY HOME="$work/home" PATH="$work/bin" \
    DEB_BUILD_OPTIONS="$1 parallel=2" DEB_BUILD_PROFILES="$1" dpkg-buildpackage -us -uc -b) >"$log" 2>&1 ||
    fail "dpkg-buildpackage ${1:-as it is}: $(tail -n 100 "$log")"
  blhc --all --debian "$log" >"$work/blhc.log" 2>&1 || fail "blhc ${1:-as it is}: $(cat "$work/blhc.log")"
  check_lintian "$(echo "$work"/brindlet_"$version"-1_*.changes)"
}
debian_build ""
grep -q 'tests passed' "$work/default.log" || fail "dh_auto_test ran no tests"
# The test binaries are listed when the tests run, not while building; the
# hardening test checked every protection that hardening=+all asks for.
! grep GoogleTestAddTests "$work/default.log" || fail "a test binary ran while building"
[ "$(grep -c '^ok    ' "$pkg"/obj-*/Testing/Temporary/LastTest.log)" = 5 ] || fail "not every protection was checked"
[ "$(files "$(echo "$work"/brindlet_"$version"-1_*.deb)")" = "$(files "$deb")" ] ||
  fail "the packages hold other files: $(diff <(files "$work"/brindlet_"$version"-1_*.deb) <(files "$deb"))"
debian_build nocheck
! grep -E ' -o (tests|tools)/| -o [^ ]*headless' "$work/nocheck.log" || fail "the nocheck build compiled tests"
echo "package: $(basename "$deb") and the distribution's build pass lintian and blhc;" \
  "$(grep -o '[0-9]*% tests passed.*' "$work/default.log"), $(grep -c '(Skipped)$' "$work/default.log") skipped"
