#!/usr/bin/env bash
# Starts Mincar in the folder DIR (created if needed), the folder that holds
# data/ and prop1.txt. Expects a finished build in build/.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: scripts/start.sh DIR" >&2
  exit 2
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
mkdir -p "$1"
dir=$(cd "$1" && pwd)

# The windows need a display; on a machine without one the command-line
# front end shows the same data.
if [[ -x "$root/build/mincar" && ( -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ) ]]; then
  cd "$dir"
  exec "$root/build/mincar"
fi

cli="$root/build/mincar-cli"
if [[ ! -x "$cli" ]]; then
  echo "start: $cli is missing; run scripts/build.sh first" >&2
  exit 1
fi
if [[ -x "$root/build/mincar" ]]; then
  echo "start: no display found, so Mincar's windows cannot open; showing the journal instead" >&2
fi
"$cli" -C "$dir" init
"$cli" -C "$dir" list journal
