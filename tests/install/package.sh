#!/usr/bin/env bash
# Makes the Debian package of a build in a scratch folder and checks it:
#   package.sh <build folder> <AppStream id>
# It must hold the program, the desktop entry, the six icons, the manual page
# and the metainfo under /usr, be in section games, and depend on the Qt
# libraries the program links (as dpkg-shlibdeps finds them).
set -euo pipefail
build=$1
app_id=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log" >&2
  exit 1
}
deb=$(find "$work" -maxdepth 1 -name 'brindlet_*.deb' | head -n 1)
[ -n "$deb" ] || { echo "no package made" >&2; exit 1; }

contents=$(dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||')
missing=0
for file in usr/bin/brindlet usr/share/applications/brindlet.desktop usr/share/man/man6/brindlet.6.gz \
            "usr/share/metainfo/$app_id.metainfo.xml"; do
  grep -qx "$file" <<<"$contents" || { echo "missing from the package: $file" >&2; missing=1; }
done
for size in 16 32 48 64 128 256; do
  file="usr/share/icons/hicolor/${size}x${size}/apps/brindlet.png"
  grep -qx "$file" <<<"$contents" || { echo "missing from the package: $file" >&2; missing=1; }
done

section=$(dpkg-deb -f "$deb" Section)
depends=$(dpkg-deb -f "$deb" Depends)
[ "$section" = games ] || { echo "section is '$section', not games" >&2; missing=1; }
for library in libqt6widgets6 libqt6gui6 libqt6core6 libc6; do
  grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends" >&2; missing=1; }
done
[ "$missing" -eq 0 ] && echo "package: $(basename "$deb"), Depends: $depends"
exit "$missing"
