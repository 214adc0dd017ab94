#!/usr/bin/env bash
# Builds the whole project a second time with AddressSanitizer and
# UndefinedBehaviorSanitizer into build/asan and runs every test there.
# Any sanitizer report fails the run: UB is not recoverable, and ASan stops
# at its first error by itself. MINCAR_ASAN_BUILD moves the build tree.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=${MINCAR_ASAN_BUILD:-$root/build/asan}
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"

# -O1 keeps the stack traces exact and the run about as fast as -O2 under ASan;
# line tables (-g1) are all a report needs and build much faster than -g.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DMINCAR_TESTS=ON -DMINCAR_BENCH=OFF \
  -DCMAKE_CXX_FLAGS_DEBUG="-g1 -O1" \
  -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="$flags"
cmake --build "$build" -j"$(nproc)"

# Qt keeps a few start-up allocations (fonts, plugins) for the life of the
# process; the suppressions name only those, so leaks of ours still fail.
export LSAN_OPTIONS="suppressions=$root/tests/reliability/lsan.supp:print_suppressions=0"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:strict_string_checks=1:detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"

ctest --test-dir "$build" --output-on-failure -j2 --timeout 600 -E '^window_places_test$'

# The window places test talks to a real X server: libxkbcommon-x11 reads
# past a string of its own there (strndup of an unterminated name), which the
# strict string check reports. Everything of ours is checked as before.
ASAN_OPTIONS=${ASAN_OPTIONS/strict_string_checks=1/strict_string_checks=0} \
  ctest --test-dir "$build" --output-on-failure --timeout 600 -R '^window_places_test$'
