// mincar-search-bench: the cash-book search, the recomputation of the shown
// balances and the report on the journals that mincar-gen made.
// MINCAR_BENCH_DATA names the folder with 1m/ (and 100k/), as for
// mincar-bench; the cases that write work on a copy of 1m/.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/book_report.h"
#include "print/book_search.h"
#include "text/cp1250.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

using bench_support::guarded;
using bench_support::haveData;
using bench_support::ScratchCopy;
using bench_support::SilentStatusLine;

namespace fs = std::filesystem;
using ledger::LedgerTable;

// The rows a grid shows at once in the journal window.
constexpr int kVisibleRows = 30;

// The ledger as the program opens it, with the search dialog created.
struct SearchSession {
  explicit SearchSession(const fs::path& workDir) : ledger(workDir, text::Regional::czech(), status) {
    ledger.open();
    search = std::make_unique<print::BookSearch>(ledger);
  }
  SilentStatusLine status;
  app::Ledger ledger;
  std::unique_ptr<print::BookSearch> search;
};

// What the grid does after the journal's DataSetChanged today: the row count
// (a filtered walk of the whole journal) and the texts of the rows it paints.
void paintGrid(ledger::Dataset& journal) {
  const std::int64_t rows = journal.recordCount();
  for (std::int64_t row = 0; row < std::min<std::int64_t>(rows, kVisibleRows); ++row) {
    for (int column = 0; column < journal.fieldCount(); ++column) {
      std::string cell = journal.textAt(row, column);
      benchmark::DoNotOptimize(cell);
    }
  }
}

// What a grid that fetched rows as it needs them would wait for: the first
// screenful of shown rows, walked on from the first one, where ApplyFilter
// leaves the journal.
void firstScreenful(ledger::Dataset& journal) {
  int shown = 0;
  for (; !journal.eof() && shown < kVisibleRows; journal.next(), ++shown) {
    for (int column = 0; column < journal.fieldCount(); ++column) {
      std::string cell = journal.field(column).asString();
      benchmark::DoNotOptimize(cell);
    }
  }
}

// One keystroke in the filter text: the criteria taken, ApplyFilter, and the
// grid shown again.
void keystroke(benchmark::State& state, const fs::path& workDir, const std::string& typedUtf8, bool wholeGrid) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SearchSession session(workDir);
    print::SearchCriteria criteria;
    criteria.text = text::toCp1250(typedUtf8);
    std::int64_t shown = 0;
    for (auto _ : state) {
      session.search->setCriteria(criteria);
      session.search->ApplyFilter();
      if (wholeGrid) {
        paintGrid(session.ledger.journal());
      } else {
        firstScreenful(session.ledger.journal());
      }
    }
    shown = session.ledger.journal().recordCount();
    state.counters["shown_rows"] = static_cast<double>(shown);
  });
}

// The cash book of one year of the generated journal (about 100,000 of its
// million rows): both date boxes ticked.
print::SearchCriteria yearOf(int year) {
  print::SearchCriteria criteria;
  criteria.fromDate = {year, 1, 1};
  criteria.fromDateOn = true;
  criteria.toDate = {year, 12, 31};
  criteria.toDateOn = true;
  return criteria;
}

void recomputeShown(benchmark::State& state, const fs::path& workDir) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SearchSession session(workDir);
    session.search->setCriteria(yearOf(2020));
    session.search->ApplyFilter();
    for (auto _ : state) session.search->RecomputeShownBalances("1000,50");
    state.counters["shown_rows"] = static_cast<double>(session.ledger.journal().recordCount());
  });
}

void report(benchmark::State& state, const fs::path& workDir, const fs::path& page) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SearchSession session(workDir);
    const print::SearchCriteria criteria = yearOf(2020);
    session.search->setCriteria(criteria);
    session.search->ApplyFilter();
    print::ReportTexts texts;
    for (auto _ : state) print::WriteReport(texts, session.ledger, criteria, "1000,50", page);
    state.counters["shown_rows"] = static_cast<double>(session.ledger.journal().recordCount());
    state.counters["page_MB"] = static_cast<double>(fs::file_size(page)) / 1e6;
    std::error_code ignored;
    fs::remove(page, ignored);
  });
}

void registerCases(const fs::path& dataRoot, const ScratchCopy& scratch) {
  const fs::path million = dataRoot / "1m";
  auto add = [](const std::string& name, std::function<void(benchmark::State&)> body) {
    return benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  };
  // The user types "nákup", then clears the field.
  for (const char* typed : {"n", "ná", "nák", "náku", "nákup", ""}) {
    const std::string name = std::string("search_keystroke/1m/'") + typed + "'";
    add(name, [million, typed](benchmark::State& s) { keystroke(s, million, typed, true); });
  }
  for (const char* typed : {"n", "nákup", "xyz"}) {
    const std::string name = std::string("search_keystroke_first_rows/1m/'") + typed + "'";
    add(name, [million, typed](benchmark::State& s) { keystroke(s, million, typed, false); });
  }
  add("recompute_shown_balances/1m/year_2020",
      [&scratch](benchmark::State& s) { recomputeShown(s, scratch.dir()); })
      ->Iterations(5);
  add("report/1m/year_2020", [million, &scratch](benchmark::State& s) {
    report(s, million, scratch.dir() / "out.htm");
  })->Iterations(5);
}

}  // namespace

int main(int argc, char** argv) {
  return bench_support::runOnGeneratedData(
      argc, argv, "mincar-search-bench",
      "set MINCAR_BENCH_DATA to the folder that holds 1m/, made by mincar-gen (scripts/bench.sh does)",
      "search-scratch", registerCases);
}
