#!/usr/bin/env bash
# From a fresh clone to a running Mincar: installs what is missing, builds,
# and starts Mincar in DIR.
set -euo pipefail

if [[ $# -ne 1 ]]; then
  echo "usage: scripts/setup-and-start.sh DIR" >&2
  exit 2
fi

scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$scripts/install-deps.sh"
"$scripts/build.sh"
exec "$scripts/start.sh" "$1"
