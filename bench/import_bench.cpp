// A bank statement of 10,000 movements into the 1M-row journal: the match
// against the journal and the batch through the new-row rule, each
// iteration on a fresh copy so that every movement is new.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>

#include "app/ledger.h"
#include "bench_support.h"
#include "import/journal_import.h"
#include "import/statement.h"

namespace {

namespace fs = std::filesystem;
using bench_support::guarded;
using bench_support::haveData;
using bench_support::ScratchCopy;
using bench_support::SilentStatusLine;

constexpr int kMovements = 10'000;

// A month of movements of the last generated year, some equal ones per day.
bank::Statement statement() {
  bank::Statement s;
  for (int i = 0; i < kMovements; ++i) {
    bank::StatementLine line;
    line.date = text::Date{2025, 12, 1 + i % 31};
    line.amount = 100 + (i * 7919) % 500000;
    line.income = i % 3 == 0;
    line.counterparty = "PROTISTRANA " + std::to_string(i % 400);
    line.message = "platba";
    line.vs = std::to_string(1000 + i % 97);
    line.lineNumber = i + 2;
    s.lines.push_back(std::move(line));
  }
  return s;
}

void import10k(benchmark::State& state, const fs::path& dataRoot) {
  if (!haveData(state, dataRoot / "1m")) return;
  const bank::Statement s = statement();
  guarded(state, [&] {
    for (auto _ : state) {
      state.PauseTiming();
      {
        const ScratchCopy scratch(dataRoot / "1m", dataRoot, "import-scratch");
        SilentStatusLine status;
        app::Ledger ledger(scratch.dir(), text::Regional::czech(), status);
        ledger.open();
        ledger.books().first();
        ledger.moves().first();
        const double book = ledger.books().field(0).asFloat();
        state.ResumeTiming();
        const bank::Match match = bank::matchJournal(ledger.journal(), book, s);
        bank::addToJournal(ledger, match.toAdd);
        state.PauseTiming();
        state.counters["added"] = static_cast<double>(match.toAdd.size());
        state.counters["rows"] = static_cast<double>(ledger.journal().recordCount());
      }
      state.ResumeTiming();
    }
  });
}

void registerCases(const fs::path& dataRoot, const ScratchCopy&) {
  benchmark::RegisterBenchmark("import_10k/1m", [dataRoot](benchmark::State& state) { import10k(state, dataRoot); })
      ->Unit(benchmark::kMillisecond)
      ->UseRealTime()
      ->Iterations(3);
}

}  // namespace

int main(int argc, char** argv) {
  return bench_support::runOnGeneratedData(
      argc, argv, "mincar-import-bench",
      "set MINCAR_BENCH_DATA to the folder that holds 1m/, made by mincar-gen (scripts/bench.sh does it)",
      "import-unused", registerCases);
}
