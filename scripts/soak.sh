#!/usr/bin/env bash
# The many-users soak: WORKERS processes (default 8) each run OPS mincar-cli
# operations (default 300) on one data folder, one more user works the real
# program window offscreen for OPS operations, and another user holds the
# journal open; afterwards every acknowledged row is checked in the journal.
#   scripts/soak.sh [WORKERS] [OPS]   (MINCAR_SOAK_WORKDIR=/mnt/nfs runs it there)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${MINCAR_BUILD:-$root/build}
cmake --build "$build" -j"$(nproc)" --target mincar-cli soak_window_driver reliability_tests
MINCAR_SOAK_WORKERS=${1:-8} MINCAR_SOAK_OPS=${2:-300} TZ=Europe/Prague LC_ALL=C LANG=C \
  timeout 1800 "$build/tests/reliability_tests" --gtest_filter='SoakTest.*'
