#!/usr/bin/env bash
# Configures and builds Mincar into build/ (optimised, with debug symbols so
# a crash report names lines). Extra arguments go to the configure step,
# e.g. scripts/build.sh -DMINCAR_TESTS=ON.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

cmake -S "$root" -B "$root/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$root/build" -j"$(nproc)"
