#!/usr/bin/env bash
# Installs the Debian package DEB as a user would (apt-get), uses what it
# installed, and removes it again; fails at the first thing that is wrong.
#   scripts/test-package.sh build/package/mincar_VERSION_amd64.deb
set -euo pipefail

if [[ $# -ne 1 || ! -f $1 ]]; then
  echo "usage: scripts/test-package.sh DEB" >&2
  exit 2
fi
deb=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
version=$(sed -nE 's/^project\(Mincar VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")

as_root=()
[[ $(id -u) -ne 0 ]] && as_root=(sudo)
apt() { "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get "$@" </dev/null; }
fail() { echo "test-package: $*" >&2; exit 1; }

if dpkg-query -W -f='${Status}' mincar 2>/dev/null | grep -q "install ok installed"; then
  fail "mincar is installed already; remove it first"
fi
work=$(mktemp -d)
cleanup() {
  rm -rf "$work"
  # Never leave the package behind, also after a failure.
  if dpkg-query -W -f='${Status}' mincar 2>/dev/null | grep -q "install ok installed"; then
    apt purge -y -qq mincar >/dev/null 2>&1 || true
  fi
}
trap cleanup EXIT

# The icons are read by Qt's SVG plugins, which no program links.
dpkg-deb -f "$deb" Depends | grep -q libqt6svg6 || fail "the package does not depend on libqt6svg6"

# 1. A clean install.
apt install -y -qq "$deb" >/dev/null
[[ $(command -v mincar-cli) == /usr/bin/mincar-cli ]] || fail "mincar-cli is not on the PATH"
[[ $(command -v mincar) == /usr/bin/mincar ]] || fail "mincar is not on the PATH"

# 2. The command line: its version, and a data folder made with it.
[[ $(mincar-cli --version) == "mincar-cli $version" ]] || fail "mincar-cli --version: $(mincar-cli --version)"
mkdir "$work/cli"
mincar-cli -C "$work/cli" init
for table in peden books moves; do
  [[ -f $work/cli/data/$table.dbf ]] || fail "init made no data/$table.dbf"
done
man -w mincar-cli >/dev/null 2>&1 || [[ -f /usr/share/man/man1/mincar-cli.1.gz ]] || fail "no manual page"

# 3. The menu entry, run as a desktop runs it (from the root folder, with a
#    home of its own): Mincar opens its windows in ~/Mincar with no box to
#    answer, and closes (the screenshot switch closes it after a moment).
entry=/usr/share/applications/example.mincar.Mincar.desktop
[[ -f $entry ]] || fail "no menu entry at $entry"
desktop-file-validate "$entry"
[[ -f /usr/share/icons/hicolor/scalable/apps/example.mincar.Mincar.svg ]] || fail "no icon"
[[ -f /usr/share/icons/hicolor/48x48/apps/example.mincar.Mincar.png ]] || fail "no 48-pixel icon"
exec_line=$(sed -n 's/^Exec=//p' "$entry")
mkdir "$work/home"
(cd / && HOME="$work/home" QT_QPA_PLATFORM=offscreen MINCAR_SCREENSHOT="$work/shot.png" \
  timeout 60 $exec_line) || fail "the menu entry's command failed or hung (exit $?)"
[[ -f $work/home/Mincar/data/peden.dbf ]] || fail "the menu entry's start made no ~/Mincar/data/peden.dbf"
[[ -f $work/home/Mincar/prop1.txt ]] || fail "the menu entry's start left no ~/Mincar/prop1.txt"
[[ ! -e $work/home/data ]] || fail "the menu entry's start made data/ in the home folder"

# 4. A clean removal: nothing of the package stays.
apt purge -y -qq mincar >/dev/null
for file in /usr/bin/mincar /usr/bin/mincar-cli "$entry" /usr/share/doc/mincar; do
  [[ ! -e $file ]] || fail "$file is still there after the removal"
done
echo "test-package: $(basename "$deb") installed, used and removed"
