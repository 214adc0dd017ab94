#!/usr/bin/env bash
# Backup and restore of the generated 1M-row journal, side by side in one
# run with what they are measured against: a bare memory-mapped converter
# of the same table (bare-convert), ogr2ogr writing the table as CSV, and
# ogr2ogr turning that CSV back into a dBASE table. Prints every figure
# beside its goal, and the ratios.
#
# MINCAR_RELEASE_DIR and MINCAR_BENCH_DATA move the build tree and the
# cached journals (default build/release and build/bench-data).
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${MINCAR_RELEASE_DIR:-$root/build/release}"
data="${MINCAR_BENCH_DATA:-$root/build/bench-data}"
results="$build/backup-bench-results.json"

"$root/scripts/install-deps.sh" >/dev/null

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release \
  -DMINCAR_BENCH=ON -DMINCAR_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target mincar-gen mincar-backup-bench bare-convert

# shellcheck source=scripts/bench-data.sh
source "$root/scripts/bench-data.sh"
table="$data/1m/data/peden.dbf"

MINCAR_BENCH_DATA="$data" "$build/mincar-backup-bench" \
  --benchmark_out="$results" --benchmark_out_format=json "$@"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# Best of three for each, as the cases above run on a warm cache too.
best_ns=0
best_of_three() {
  best_ns=0
  for _ in 1 2 3; do
    "$1" >/dev/null 2>&1
    local start end
    start=$(date +%s%N)
    "$2"
    end=$(date +%s%N)
    if ((best_ns == 0 || end - start < best_ns)); then best_ns=$((end - start)); fi
  done
}
prepare_none() { :; }
run_bare() { "$build/bare-convert" "$table" "$scratch/bare.txt" >/dev/null; }
clean_csv() { rm -f "$scratch/peden.csv"; }
run_csv() { ogr2ogr -f CSV "$scratch/peden.csv" "$table"; }
clean_dbf() { rm -rf "$scratch/dbf"; }
run_dbf() {
  ogr2ogr -f "ESRI Shapefile" -oo AUTODETECT_TYPE=YES -lco ENCODING=CP1250 "$scratch/dbf" "$scratch/peden.csv" 2>/dev/null
}

best_of_three prepare_none run_bare
bare_ns=$best_ns
best_of_three clean_csv run_csv
csv_ns=$best_ns
best_of_three clean_dbf run_dbf
dbf_ns=$best_ns

python3 - "$results" "$bare_ns" "$csv_ns" "$dbf_ns" <<'EOF'
import json, sys

results_file = sys.argv[1]
bare, csv, dbf = (int(x) / 1e9 for x in sys.argv[2:5])
with open(results_file) as f:
    report = json.load(f)
scale = {"ns": 1e-9, "us": 1e-6, "ms": 1e-3, "s": 1.0}
cases = {"/".join(r["name"].split("/")[:2]): r for r in report["benchmarks"]}

def seconds(key):
    run = cases.get(key)
    if run is None or run.get("error_occurred"):
        return None
    return run["real_time"] * scale[run["time_unit"]]

def line(label, value, goal="", met=None):
    verdict = "" if met is None else ("met" if met else "NOT MET")
    print(f"  {label:<46}{value:>16}   {goal:<10}{verdict}")

print()
print("Backup and restore, generated journal of 1,000,000 rows (seed 1)")
print(f"  {'':<46}{'measured':>16}   {'goal':<10}")
backup, restore = seconds("backup/1m"), seconds("restore/1m")
line("backup, 100k rows", f"{seconds('backup/100k') or 0:.3f} s")
line("backup, 1M rows", f"{backup:.3f} s" if backup else "not run", "<= 0.75 s", backup is not None and backup <= 0.75)
line("bare memory-mapped converter (best of 3)", f"{bare:.3f} s")
line("ogr2ogr -f CSV (best of 3)", f"{csv:.3f} s")
if backup:
    line("backup against the bare converter", f"{backup / bare:.2f}x its time", "<= 3x", backup / bare <= 3)
    line("backup against ogr2ogr -f CSV", f"{csv / backup:.1f}x faster", ">= 8x", csv / backup >= 8)
line("restore, 100k rows", f"{seconds('restore/100k') or 0:.3f} s")
line("restore, 1M rows", f"{restore:.3f} s" if restore else "not run", "<= 3 s", restore is not None and restore <= 3)
line("ogr2ogr CSV -> dBASE (best of 3)", f"{dbf:.3f} s")
if restore:
    line("restore against ogr2ogr CSV -> dBASE", f"{dbf / restore:.1f}x faster", ">= 3x", dbf / restore >= 3)
small, large = cases.get("restore/100k", {}), cases.get("restore/1m", {})
if "peak_rss_MiB" in small and "peak_rss_MiB" in large:
    grew = large["peak_rss_MiB"] - small["peak_rss_MiB"]
    line("peak memory after 100k / 1M rows", f"{small['peak_rss_MiB']:.0f} / {large['peak_rss_MiB']:.0f} MiB",
         "flat", grew < 16)
EOF
