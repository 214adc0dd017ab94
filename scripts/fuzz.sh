#!/usr/bin/env bash
# Builds the libFuzzer fuzzers with clang (ASan and UBSan on) into
# build/fuzz and runs each for SECONDS (default 600) over its seed corpus in
# fuzz/corpus/<name>. New inputs go to build/fuzz/corpus/<name>, so the
# seeds in the repository stay as they are; crashes land in
# build/fuzz/findings/. Exits non-zero on the first fuzzer that finds
# anything. FUZZERS="a b" picks fuzzers; JOBS=2 runs two at a time.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
seconds=${1:-600}
build=${MINCAR_FUZZ_BUILD:-$root/build/fuzz}
jobs=${JOBS:-1}
all=(dbf_header_fuzzer record_fuzzer settings_fuzzer number_date_fuzzer backup_reader_fuzzer)
read -r -a fuzzers <<<"${FUZZERS:-${all[*]}}"

mkdir -p "$build/obj" "$build/findings"
flags=(-std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer,address,undefined
       -fno-sanitize-recover=undefined -I"$root/src")

# The core is compiled once with coverage but without a main; each fuzzer
# links against it. Objects are rebuilt only when their source changed.
core_sources=()
for src in "$root"/src/{text,ledger,app,backup,print}/*.cpp; do
  [[ $src =~ _(window|form|model|qt)\.cpp$ ]] && continue
  core_sources+=("$src")
done
objects=()
compile() {
  local src=$1 obj=$2
  if [[ ! -f $obj || $src -nt $obj || -n $(find "$root/src" -name '*.h' -newer "$obj" -print -quit) ]]; then
    clang++ "${flags[@]/-fsanitize=fuzzer,/-fsanitize=fuzzer-no-link,}" -c "$src" -o "$obj"
  fi
}
pids=()
for src in "${core_sources[@]}"; do
  rel=${src#"$root"/src/}
  obj="$build/obj/${rel//\//_}.o"
  objects+=("$obj")
  compile "$src" "$obj" &
  pids+=($!)
  if ((${#pids[@]} >= $(nproc))); then wait "${pids[0]}"; pids=("${pids[@]:1}"); fi
done
for pid in "${pids[@]}"; do wait "$pid"; done

for name in "${fuzzers[@]}"; do
  clang++ "${flags[@]}" "$root/fuzz/$name.cpp" "${objects[@]}" -o "$build/$name"
done

run_one() {
  local name=$1 corpus="$build/corpus/$1"
  mkdir -p "$corpus" "$build/findings/$name"
  # -rss_limit_mb and -timeout turn a blow-up or a hang into a finding; the
  # leak check runs at the end of every input.
  # A finding is a non-zero exit; set -e must not end the run before it is told.
  local status
  ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$build/$name" "$corpus" "$root/fuzz/corpus/$name" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
    -print_final_stats=1 -artifact_prefix="$build/findings/$name/" \
    >"$build/$name.log" 2>&1 && status=0 || status=$?
  local runs
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$build/$name.log" | grep -o '[0-9]*$' || echo "?")
  echo "fuzz: $name ran ${seconds}s, $runs executions, exit $status"
  if ((status != 0)); then
    tail -n 40 "$build/$name.log"
    return 1
  fi
}

failed=0
running=()
for name in "${fuzzers[@]}"; do
  run_one "$name" &
  running+=($!)
  if ((${#running[@]} >= jobs)); then
    wait "${running[0]}" || failed=1
    running=("${running[@]:1}")
  fi
done
for pid in "${running[@]}"; do wait "$pid" || failed=1; done
exit $failed
