#!/usr/bin/env bash
# A long run of the power-cut replay (ctest runs a short one):
# scripts/power-cut.sh [OPERATIONS], default 3000 per seed, three seeds.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${MINCAR_BUILD:-$root/build}
cmake --build "$build" -j"$(nproc)" --target reliability_tests
MINCAR_POWER_CUT_OPS=${1:-3000} TZ=Europe/Prague LC_ALL=C LANG=C \
  "$build/tests/reliability_tests" --gtest_filter='PowerCut.*'
