#!/usr/bin/env bash
# Starts Mincar in the folder DIR, the folder that holds data/ and
# prop1.txt; without DIR in ~/Mincar. Mincar creates a missing folder with
# its tables and default settings. Expects a finished build in build/.
set -euo pipefail

if [[ $# -gt 1 ]]; then
  echo "usage: scripts/start.sh [DIR]" >&2
  exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
if [[ $# -eq 1 ]]; then
  where=("$1")
  dir=$1
else
  where=(--default-folder)
  dir=$HOME/Mincar
fi

# The windows need a display; on a machine without one the command-line
# front end shows the same data.
if [[ -x "$root/build/mincar" && ( -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ) ]]; then
  exec "$root/build/mincar" "${where[@]}"
fi

cli="$root/build/mincar-cli"
if [[ ! -x "$cli" ]]; then
  echo "start: $cli is missing; run scripts/build.sh first" >&2
  exit 1
fi
if [[ -x "$root/build/mincar" ]]; then
  echo "start: no display found, so Mincar's windows cannot open; showing the journal instead" >&2
fi
mkdir -p "$dir"
"$cli" -C "$dir" init
"$cli" -C "$dir" list journal
