#!/usr/bin/env bash
# Installs a build into a scratch prefix and compares the files with what a
# desktop installation must hold:
#   installed_files.sh <build folder> <AppStream id>
set -euo pipefail
build=$1
app_id=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
actual=$(cd "$prefix" && find . -type f | sed 's|^\./||' | sort)
expected=$(
  {
    echo bin/brindlet
    echo share/applications/brindlet.desktop
    for size in 16 32 48 64 128 256; do echo "share/icons/hicolor/${size}x${size}/apps/brindlet.png"; done
    echo share/man/man6/brindlet.6.gz
    echo "share/metainfo/$app_id.metainfo.xml"
  } | sort
)
if [ "$actual" != "$expected" ]; then
  echo "installed files differ from the expected ones (< expected, > installed):"
  diff <(echo "$expected") <(echo "$actual") || true
  exit 1
fi
# The manual page must survive its compression.
gzip -t "$prefix/share/man/man6/brindlet.6.gz"
echo "installed files: as expected"
