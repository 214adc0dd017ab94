#!/usr/bin/env bash
# Installs what is missing, builds everything with the tests and runs every
# test. Exits non-zero when a build step or a test fails.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" -DMINCAR_TESTS=ON

# The time-out keeps a hung test (a lock that never comes) from eating a CI run.
ctest --test-dir "$root/build" --output-on-failure -j2 --timeout 300

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then
# a short run of every fuzzer (scripts/fuzz.sh 600 is the full run).
"$root/scripts/test-sanitizers.sh"
"$root/scripts/fuzz.sh" "${MINCAR_FUZZ_SECONDS:-20}"
