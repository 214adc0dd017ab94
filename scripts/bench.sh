#!/usr/bin/env bash
# Benchmarks the engine on generated journals of 100k and 1M rows, compares
# the full walk with ogr2ogr reading the same file, and prints the figures
# beside their goals. Without arguments every benchmark follows: the
# cash-book search, the journal window's start, keystrokes in the search
# dialog beside it and backup/restore
# (scripts/bench-backup.sh). Arguments go to mincar-bench alone
# (e.g. --benchmark_filter=full_walk).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="$root/build/release"
data="$root/build/bench-data"
results="$root/build/bench-results.json"

"$root/scripts/install-deps.sh" >/dev/null

# A tree of its own, so that switching to Release does not rebuild build/.
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DMINCAR_BENCH=ON -DMINCAR_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target mincar-gen mincar-bench

# shellcheck source=scripts/bench-data.sh
source "$root/scripts/bench-data.sh"

MINCAR_BENCH_DATA="$data" "$build/mincar-bench" \
  --benchmark_out="$results" --benchmark_out_format=json "$@"

# ogr2ogr on the same 1M-row file, best of three as the benchmark repeats
# its walk on a warm cache too.
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
ogr_best_ns=0
for _ in 1 2 3; do
  rm -f "$scratch/peden.csv"
  start=$(date +%s%N)
  ogr2ogr -f CSV "$scratch/peden.csv" "$data/1m/data/peden.dbf"
  took=$(($(date +%s%N) - start))
  if ((ogr_best_ns == 0 || took < ogr_best_ns)); then ogr_best_ns=$took; fi
done

python3 - "$results" "$ogr_best_ns" <<'EOF'
import json, sys

results_file, ogr_seconds = sys.argv[1], int(sys.argv[2]) / 1e9
with open(results_file) as f:
    report = json.load(f)

scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
cases = {}
for run in report["benchmarks"]:
    key = "/".join(run["name"].split("/")[:2])  # drop /real_time, /iterations:N
    cases[key] = run

def seconds(key):
    run = cases.get(key)
    if run is None or run.get("error_occurred"):
        return None
    return run["real_time"] * scale[run["time_unit"]]

def problem(key):
    run = cases.get(key)
    if run is None:
        return "not run"
    return "failed: " + run.get("error_message", "")

def line(label, value, goal, met):
    verdict = "" if met is None else ("met" if met else "NOT MET")
    print(f"  {label:<36}{value:>14}   {goal:<12}{verdict}")

def timed(label, key, limit, unit):
    t = seconds(key)
    if t is None:
        line(label, problem(key), "", None)
        return
    factor = {"s": 1.0, "ms": 1e3}[unit]
    goal = f"<= {limit:g} {unit}" if limit is not None else ""
    line(label, f"{t * factor:.3f} {unit}", goal, None if limit is None else t * factor <= limit)

print()
print("Mincar engine, generated journal (seed 1)")
print(f"  {'':<36}{'measured':>14}   {'goal':<12}")
timed("open the three tables, 1M rows", "open_tables/1m", None, "ms")
timed("full walk, 8 columns, 100k rows", "full_walk/100k", None, "s")
timed("full walk, 8 columns, 1M rows", "full_walk/1m", 0.5, "s")
line("ogr2ogr -f CSV, 1M rows (best of 3)", f"{ogr_seconds:.3f} s", "", None)
walk = seconds("full_walk/1m")
if walk:
    ratio = ogr_seconds / walk
    line("walk compared with ogr2ogr", f"{ratio:.1f}x faster", ">= 10x", ratio >= 10)
timed("MaxFieldValue over ID, 100k rows", "max_field_value/100k", None, "ms")
timed("MaxFieldValue over ID, 1M rows", "max_field_value/1m", 50, "ms")
timed("filtered walk IDK = 3, 1M rows", "filtered_walk_idk3/1m", None, "s")
timed("append + post, 1M rows", "append_post/1m", 50, "ms")
timed("new journal row + post, 1M rows", "new_journal_row/1m", 50, "ms")
timed("RecomputeBalances, 1M rows, 20 books", "recompute_balances/1m", 2, "s")
small, large = cases.get("full_walk/100k", {}), cases.get("full_walk/1m", {})
if "peak_rss_MiB" in small and "peak_rss_MiB" in large:
    grew = large["peak_rss_MiB"] - small["peak_rss_MiB"]
    line("peak memory after walk 100k / 1M",
         f"{small['peak_rss_MiB']:.0f} / {large['peak_rss_MiB']:.0f} MiB", "flat", grew < 16)
print()
if walk:
    print(f"walk is {ogr_seconds / walk:.1f}\u00d7 faster than ogr2ogr "
          f"({walk:.3f} s against {ogr_seconds:.3f} s for 1M rows)")
EOF

(($# == 0)) || exit 0

echo
echo "Cash-book search, shown balances and report"
cmake --build "$build" -j"$(nproc)" --target mincar-search-bench mincar-window-start mincar-window-keystroke
MINCAR_BENCH_DATA="$data" "$build/mincar-search-bench"

# The window over a copy of the 1M-row journal, three starts; a prop1.txt
# keeps the start-up from stopping at the missing-settings box.
echo
echo "Journal window's first rows after start, 1M rows (offscreen)"
window_dir="$scratch/window"
mkdir -p "$window_dir"
cp -r "$data/1m/data" "$window_dir/"
printf '%s;\n\r' "Firma =;Bench" "Vystavil =; " "Schvalil =; " "Prevzal =; " \
  "Datum od =;1.1.2026" "Datum do =;31.12.2026" "Browser =;xdg-open " "Filespec =;File://" \
  >"$window_dir/prop1.txt"
for _ in 1 2 3; do
  QT_QPA_PLATFORM=offscreen "$build/mincar-window-start" "$window_dir"
done
# The first start of a day: the day's backup beside the window.
for _ in 1 2 3; do
  QT_QPA_PLATFORM=offscreen "$build/mincar-window-start" "$window_dir" --daily-backup
done

echo
echo "Keystrokes in the search dialog's filter text beside the journal window, 1M rows (offscreen)"
QT_QPA_PLATFORM=offscreen "$build/mincar-window-keystroke" "$window_dir"

echo
"$root/scripts/bench-backup.sh"
