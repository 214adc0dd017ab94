#!/usr/bin/env bash
# Installs what is missing, builds everything with the tests and runs every
# test. Exits non-zero when a build step or a test fails.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/install-deps.sh" --tests
"$root/scripts/build.sh" -DMINCAR_TESTS=ON -DMINCAR_BENCH=ON

# The time-out keeps a hung test (a lock that never comes) from eating a CI run.
ctest --test-dir "$root/build" --output-on-failure -j2 --timeout 300

# The same suite under AddressSanitizer and UndefinedBehaviorSanitizer, then
# a short run of every fuzzer (scripts/fuzz.sh 600 is the full run).
"$root/scripts/test-sanitizers.sh"
"$root/scripts/fuzz.sh" "${MINCAR_FUZZ_SECONDS:-10}"

# The Debian package: built and checked, installed as a user installs it,
# used, and removed again.
deb=$("$root/scripts/package.sh" | tail -n 1)
"$root/scripts/test-package.sh" "$deb"
