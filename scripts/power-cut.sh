#!/usr/bin/env bash
# A long run of the power-cut replay (CI runs a short one with the tests):
# scripts/power-cut.sh [OPERATIONS], default 3000 per seed.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/build.sh" -DMINCAR_TESTS=ON
MINCAR_POWER_CUT_OPS="${1:-3000}" "$root/build/tests/reliability_tests" --gtest_filter='PowerCut.*'
