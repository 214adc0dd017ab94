// mincar-bench: the engine's speed on large journals that mincar-gen made.
// MINCAR_BENCH_DATA names a folder with one work folder per size (100k/,
// 1m/), each holding data/ with the three tables; scripts/bench.sh makes
// them and runs this.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <iostream>
#include <string>
#include <string_view>
#include <system_error>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

using bench_support::guarded;
using bench_support::haveData;
using bench_support::peakRssMiB;
using bench_support::ScratchCopy;
using bench_support::SilentStatusLine;

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::LedgerTable;
namespace col = ledger::journal;

// Reads every column of the current row the way a grid or a report does.
void readRow(Dataset& table) {
  for (int c = 0; c < table.fieldCount(); ++c) {
    ledger::Value value = table.field(c).value();
    benchmark::DoNotOptimize(value);
  }
}

void openTables(benchmark::State& state, const fs::path& workDir) {
  if (!haveData(state, workDir)) return;
  const text::Regional regional = text::Regional::czech();
  guarded(state, [&] {
    for (auto _ : state) {
      Dataset journal("Table1", ledger::tablePath(workDir, LedgerTable::Journal), regional);
      Dataset moves("moves", ledger::tablePath(workDir, LedgerTable::Moves), regional);
      Dataset books("books", ledger::tablePath(workDir, LedgerTable::Books), regional);
      journal.open();
      moves.open();
      books.open();
      benchmark::DoNotOptimize(journal.active());
    }
  });
}

void fullWalk(benchmark::State& state, const fs::path& workDir) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    Dataset journal("Table1", ledger::tablePath(workDir, LedgerTable::Journal), text::Regional::czech());
    journal.open();
    std::int64_t rows = 0;
    for (auto _ : state) {
      rows = 0;
      for (journal.first(); !journal.eof(); journal.next()) {
        readRow(journal);
        ++rows;
      }
    }
    state.SetItemsProcessed(state.iterations() * rows);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["peak_rss_MiB"] = peakRssMiB();
  });
}

void maxFieldValue(benchmark::State& state, const fs::path& workDir) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    Dataset journal("Table1", ledger::tablePath(workDir, LedgerTable::Journal), text::Regional::czech());
    journal.open();
    double highest = 0;
    for (auto _ : state) {
      highest = ledger::MaxFieldValue(journal, col::ID);
      benchmark::DoNotOptimize(highest);
    }
    state.counters["max_id"] = highest;
  });
}

void filteredWalk(benchmark::State& state, const fs::path& workDir) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    Dataset journal("Table1", ledger::tablePath(workDir, LedgerTable::Journal), text::Regional::czech());
    journal.onFilterRecord = [](Dataset& table) { return table.field(col::IDK).asInteger() == 3; };
    journal.open();
    journal.setFiltered(true);
    std::int64_t shown = 0;
    for (auto _ : state) {
      shown = 0;
      for (journal.first(); !journal.eof(); journal.next()) {
        readRow(journal);
        ++shown;
      }
    }
    state.counters["shown_rows"] = static_cast<double>(shown);
    state.counters["peak_rss_MiB"] = peakRssMiB();
  });
}

// The engine's part of a new row: append, fill, post, no new-row rule.
void appendPost(benchmark::State& state, const fs::path& workDir) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    Dataset journal("Table1", ledger::tablePath(workDir, LedgerTable::Journal), text::Regional::czech());
    journal.open();
    const std::string rowText = text::toCp1250("Nákup potravin, týdenní nákup");
    double nextId = ledger::MaxFieldValue(journal, col::ID) + 1;
    for (auto _ : state) {
      journal.append();
      journal.field(col::ID).setValue(nextId++);
      journal.field(col::IDK).setValue(1.0);
      journal.field(col::IDM).setValue(11.0);
      journal.field(col::DATUM).setValue(text::Date{2025, 12, 31});
      journal.field(col::TEXT).setValue(rowText);
      journal.field(col::MINUS).setValue(1234.5);
      journal.post();
    }
  });
}

// What the user waits for after "new row": the journal's new-row rule (its
// new ID comes from MaxFieldValue over the whole journal), then post.
void newJournalRow(benchmark::State& state, const fs::path& workDir) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SilentStatusLine status;
    app::Ledger ledgerTables(workDir, text::Regional::czech(), status);
    ledgerTables.open();
    ledgerTables.calendarDate = text::Date{2025, 12, 31};
    Dataset& journal = ledgerTables.journal();
    for (auto _ : state) {
      ledgerTables.newJournalRow();
      if (journal.state() != ledger::DatasetState::Browse) journal.post();
    }
  });
}

// The balance recomputation over the whole journal and its 20 books. Every
// run writes the same balances again, so repeated runs on the copy measure
// the same work.
void recomputeBalances(benchmark::State& state, const fs::path& workDir) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SilentStatusLine status;
    app::Ledger ledgerTables(workDir, text::Regional::czech(), status);
    ledgerTables.open();
    for (auto _ : state) ledgerTables.RecomputeBalances();
    state.counters["rows"] = static_cast<double>(ledgerTables.journal().recordCount());
    state.counters["books"] = static_cast<double>(ledgerTables.books().recordCount());
  });
}

void registerCases(const fs::path& dataRoot, const ScratchCopy& scratch) {
  using Case = void (*)(benchmark::State&, const fs::path&);
  auto add = [](const std::string& name, Case body, fs::path workDir) {
    return benchmark::RegisterBenchmark(name.c_str(), [body, workDir](benchmark::State& state) {
             body(state, workDir);
           })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  };
  // The order matters for the memory figures: ru_maxrss only ever rises, so
  // the 1M walk's peak is compared with the 100k walk's peak before it.
  for (const char* size : {"100k", "1m"}) add(std::string("open_tables/") + size, openTables, dataRoot / size);
  for (const char* size : {"100k", "1m"}) add(std::string("full_walk/") + size, fullWalk, dataRoot / size);
  for (const char* size : {"100k", "1m"}) add(std::string("max_field_value/") + size, maxFieldValue, dataRoot / size);
  add("filtered_walk_idk3/1m", filteredWalk, dataRoot / "1m");
  // Each iteration adds a row to the copy; a fixed count keeps the table
  // near 1M rows and the case to a single pass.
  add("append_post/1m", appendPost, scratch.dir())->Iterations(200)->Unit(benchmark::kMicrosecond);
  add("new_journal_row/1m", newJournalRow, scratch.dir())->Iterations(20);
  add("recompute_balances/1m", recomputeBalances, scratch.dir())->Iterations(3);
}

}  // namespace

int main(int argc, char** argv) {
  return bench_support::runOnGeneratedData(
      argc, argv, "mincar-bench",
      "set MINCAR_BENCH_DATA to the folder that holds 100k/ and 1m/, made by mincar-gen (scripts/bench.sh does both)",
      "scratch", registerCases);
}
