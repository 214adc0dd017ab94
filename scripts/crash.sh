#!/usr/bin/env bash
# The crash harness: mincar-cli killed with SIGKILL at random moments during
# appends, stamps, deletes, recomputation, backup and restore, the tables
# checked after every kill. KILLS (default 500) kills must land; CI runs 50.
#   scripts/crash.sh [KILLS]    (MINCAR_CRASH_SEED=N replays a run)
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${MINCAR_BUILD:-$root/build}
cmake --build "$build" -j"$(nproc)" --target mincar-cli reliability_tests
MINCAR_CRASH_KILLS=${1:-500} TZ=Europe/Prague LC_ALL=C LANG=C \
  "$build/tests/reliability_tests" --gtest_filter='CrashTest.*'
