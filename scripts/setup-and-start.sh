#!/usr/bin/env bash
# From a fresh clone to a running Mincar: installs what building and running
# need (and only that), builds, and starts Mincar in DIR, by default in
# ~/Mincar. A folder that does not exist yet is created with its tables and
# the default settings.
set -euo pipefail

if [[ $# -gt 1 ]]; then
  echo "usage: scripts/setup-and-start.sh [DIR]" >&2
  exit 2
fi

scripts=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
"$scripts/install-deps.sh"
"$scripts/build.sh" -DMINCAR_TESTS=OFF -DMINCAR_BENCH=OFF
exec "$scripts/start.sh" "$@"
