// mincar-backup-bench: backup and restore of the generated journals.
// MINCAR_BENCH_DATA names the folder with one work folder per size (100k/,
// 1m/) that mincar-gen made; scripts/bench-backup.sh makes them, runs this
// beside bare-convert and ogr2ogr and prints the ratios.
//
// The restore cases work on a copy of the work folder, restoring the
// backup of the original: every iteration replaces all three tables.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>

#include "app/ledger.h"
#include "app/status_line.h"
#include "backup/backup_commands.h"
#include "backup/daily_backup.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

using bench_support::guarded;
using bench_support::peakRssMiB;

namespace fs = std::filesystem;
using ledger::LedgerTable;

fs::path dataFolder(const std::string& size) {
  const char* root = std::getenv("MINCAR_BENCH_DATA");
  return fs::path(root ? root : "build/bench-data") / size;
}

bool haveData(benchmark::State& state, const fs::path& workDir) {
  return bench_support::haveData(state, workDir, "scripts/bench-backup.sh");
}

// A folder of this process beside the data, removed at the end.
class Scratch {
 public:
  explicit Scratch(const fs::path& beside) : dir_(beside.parent_path() / ("backup-scratch-" + std::to_string(getpid()))) {
    fs::create_directories(dir_ / "data");
  }
  ~Scratch() {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;
  const fs::path& path() const { return dir_; }

 private:
  fs::path dir_;
};

void backupCase(benchmark::State& state, const std::string& size) {
  const fs::path workDir = dataFolder(size);
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    Scratch scratch(workDir);
    app::RecordingStatusLine status;
    app::Ledger ledger(workDir, text::Regional::czech(), status);
    ledger.open();
    const fs::path file = scratch.path() / "zaloha.txu";
    for (auto _ : state) backup::SaveBackupTo(ledger, file);
    state.counters["rows"] = static_cast<double>(ledger.journal().recordCount());
    state.counters["MB"] = static_cast<double>(fs::file_size(file)) / 1e6;
    state.counters["peak_rss_MiB"] = peakRssMiB();
  });
}

void restoreCase(benchmark::State& state, const std::string& size) {
  const fs::path workDir = dataFolder(size);
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    Scratch scratch(workDir);
    for (LedgerTable t : {LedgerTable::Journal, LedgerTable::Moves, LedgerTable::Books}) {
      fs::copy_file(ledger::tablePath(workDir, t), ledger::tablePath(scratch.path(), t));
    }
    const fs::path file = scratch.path() / "zaloha.txu";
    {
      app::RecordingStatusLine status;
      app::Ledger original(workDir, text::Regional::czech(), status);
      original.open();
      backup::SaveBackupTo(original, file);
    }
    app::RecordingStatusLine status;
    app::Ledger ledger(scratch.path(), text::Regional::czech(), status);
    ledger.open();
    for (auto _ : state) backup::RestoreBackupFrom(ledger, file);
    state.counters["rows"] = static_cast<double>(ledger.journal().recordCount());
    state.counters["peak_rss_MiB"] = peakRssMiB();
  });
}

// The day's backup as the window's first start of a day writes it: its
// own read-only opening of the tables, the file beside its name taken
// without replacing, the older ones pruned. Each iteration a new day, so
// that each writes; data/zalohy/ of the data folder is removed at the end.
void dailyBackupCase(benchmark::State& state, const std::string& size) {
  const fs::path workDir = dataFolder(size);
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    const fs::path folder = backup::AutomaticBackupFolder(workDir);
    std::error_code ignored;
    fs::remove_all(folder, ignored);
    text::Date day{2030, 1, 1};
    for (auto _ : state) {
      const backup::DailyBackup daily = backup::WriteDailyBackup(workDir, text::Regional::czech(), day);
      if (!daily.written) state.SkipWithError("the day's backup was there already");
      ++day.day;
    }
    state.counters["peak_rss_MiB"] = peakRssMiB();
    fs::remove_all(folder, ignored);
  });
}

}  // namespace

BENCHMARK_CAPTURE(dailyBackupCase, 100k, std::string("100k"))
    ->Name("daily_backup/100k")->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK_CAPTURE(dailyBackupCase, 1m, std::string("1m"))
    ->Name("daily_backup/1m")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(backupCase, 100k, std::string("100k"))
    ->Name("backup/100k")->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK_CAPTURE(restoreCase, 100k, std::string("100k"))
    ->Name("restore/100k")->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK_CAPTURE(backupCase, 1m, std::string("1m"))
    ->Name("backup/1m")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(restoreCase, 1m, std::string("1m"))
    ->Name("restore/1m")->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

BENCHMARK_MAIN();
