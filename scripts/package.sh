#!/usr/bin/env bash
# Builds the Debian package build/package/mincar_VERSION_amd64.deb from an
# optimised build of the programs alone, and checks it: lintian (no error),
# desktop-file-validate and appstreamcli on the menu entry and the
# metainfo. Prints the package's path last. Needs the packages that
# `scripts/install-deps.sh --tests` installs.
set -euo pipefail

# Everything but the package's path goes to standard error.
exec 3>&1 1>&2

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${MINCAR_PACKAGE_BUILD:-$root/build/package}

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DMINCAR_TESTS=OFF -DMINCAR_BENCH=OFF \
  -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/mincar_*.deb
(cd "$build" && cpack -G DEB >/dev/null)

debs=("$build"/mincar_*_amd64.deb)
deb=${debs[0]}
[[ -f $deb ]] || { echo "package: cpack made no package in $build" >&2; exit 1; }

desktop-file-validate "$root"/packaging/*.desktop
appstreamcli validate --no-net --pedantic "$root"/packaging/*.metainfo.xml >/dev/null
# Warnings are shown; only errors fail the build.
lintian --fail-on error --suppress-tags-from-file "$root/packaging/lintian-accepted" "$deb"
echo "$deb" >&3
