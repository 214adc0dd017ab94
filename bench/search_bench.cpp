// mincar-search-bench: the cash-book search, the recomputation of the shown
// balances, the report, the overview and the CSV export on the journals
// that mincar-gen made.
// MINCAR_BENCH_DATA names the folder with 1m/ (and 100k/), as for
// mincar-bench; the cases that write work on a copy of 1m/. The keystroke
// cases use the journal grid's own model, without a window.
#include <benchmark/benchmark.h>

#include "bench_support.h"
#include <unistd.h>

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
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

#include "app/dataset_model.h"
#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "print/book_report.h"
#include "print/book_search.h"
#include "print/csv_export.h"
#include "print/overview.h"
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

// The ledger as the program opens it, with the search dialog created and,
// when asked for, the journal grid's model listening to the journal.
struct SearchSession {
  SearchSession(const fs::path& workDir, bool withGrid) : ledger(workDir, text::Regional::czech(), status) {
    ledger.open();
    search = std::make_unique<print::BookSearch>(ledger);
    if (withGrid) grid = std::make_unique<app::DatasetModel>(ledger.journal());
  }
  SilentStatusLine status;
  app::Ledger ledger;
  std::unique_ptr<print::BookSearch> search;
  std::unique_ptr<app::DatasetModel> grid;
};

// The texts of the rows a grid paints.
void paintRows(app::DatasetModel& grid) {
  for (int row = 0; row < std::min(grid.rowCount(), kVisibleRows); ++row) {
    for (int column = 0; column < grid.columnCount(); ++column) {
      QVariant cell = grid.data(grid.index(row, column));
      benchmark::DoNotOptimize(cell);
    }
  }
}

// What the grid did after the journal's DataSetChanged before it learnt its
// rows in steps: the row count (a filtered walk of the whole journal) and
// the texts of the rows it paints.
void countAndPaint(ledger::Dataset& journal) {
  const std::int64_t rows = journal.recordCount();
  for (std::int64_t row = 0; row < std::min<std::int64_t>(rows, kVisibleRows); ++row) {
    for (int column = 0; column < journal.fieldCount(); ++column) {
      std::string cell = journal.textAt(row, column);
      benchmark::DoNotOptimize(cell);
    }
  }
}

enum class Grid {
  FirstStep,  // what the grid does per keystroke: its reset and first step
  Filled,     // and then every later step, as the event loop runs them
  FullCount,  // the count of every row instead, as the grid did before
};

// One keystroke in the filter text: the criteria taken, ApplyFilter (whose
// DataSetChanged the grid's model hears), and the grid shown again.
void keystroke(benchmark::State& state, const fs::path& workDir, const std::string& typedUtf8, Grid grid) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SearchSession session(workDir, grid != Grid::FullCount);
    print::SearchCriteria criteria;
    criteria.text = text::toCp1250(typedUtf8);
    double steps = 0;
    double longestStep = 0;
    for (auto _ : state) {
      session.search->setCriteria(criteria);
      session.search->ApplyFilter();
      if (grid == Grid::FullCount) {
        countAndPaint(session.ledger.journal());
        continue;
      }
      paintRows(*session.grid);
      if (grid == Grid::Filled) {
        // The turns of the event loop that follow, each with one step.
        steps = 0;
        while (session.grid->canFetchMore({})) {
          const auto start = std::chrono::steady_clock::now();
          session.grid->fetchMore({});
          const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
          longestStep = std::max(longestStep, took.count());
          ++steps;
        }
      }
    }
    if (session.grid) {
      state.counters["first_rows"] = grid == Grid::FirstStep ? session.grid->rowCount() : 0;
      state.counters["steps"] = steps;
      state.counters["longest_step_ms"] = longestStep;
    }
    state.counters["shown_rows"] = static_cast<double>(session.ledger.journal().recordCount());
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
    SearchSession session(workDir, false);
    session.search->setCriteria(yearOf(2020));
    session.search->ApplyFilter();
    for (auto _ : state) session.search->RecomputeShownBalances("1000,50");
    state.counters["shown_rows"] = static_cast<double>(session.ledger.journal().recordCount());
  });
}

void report(benchmark::State& state, const fs::path& workDir, const fs::path& page) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SearchSession session(workDir, false);
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

// The overview page of the shown rows: the walk with the filter event, the
// sums, the tables and charts, the page written to a file.
void overview(benchmark::State& state, const fs::path& workDir, const print::SearchCriteria& criteria,
              const fs::path& page) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SearchSession session(workDir, false);
    session.search->setCriteria(criteria);
    session.search->ApplyFilter();
    for (auto _ : state) print::WriteOverview(*session.search, page);
    state.counters["shown_rows"] = static_cast<double>(session.ledger.journal().recordCount());
    state.counters["page_kB"] = static_cast<double>(fs::file_size(page)) / 1e3;
    std::error_code ignored;
    fs::remove(page, ignored);
  });
}

void exportCsv(benchmark::State& state, const fs::path& workDir, const fs::path& file) {
  if (!haveData(state, workDir)) return;
  guarded(state, [&] {
    SearchSession session(workDir, false);
    session.search->setCriteria(yearOf(2020));
    session.search->ApplyFilter();
    std::int64_t rows = 0;
    for (auto _ : state) rows = print::WriteCsvExport(session.ledger, file);
    state.counters["shown_rows"] = static_cast<double>(rows);
    state.counters["file_MB"] = static_cast<double>(fs::file_size(file)) / 1e6;
    std::error_code ignored;
    fs::remove(file, ignored);
  });
}

void registerCases(const fs::path& dataRoot, const ScratchCopy& scratch) {
  const fs::path million = dataRoot / "1m";
  auto add = [](const std::string& name, std::function<void(benchmark::State&)> body) {
    return benchmark::RegisterBenchmark(name.c_str(), [body](benchmark::State& state) { body(state); })
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
  };
  // The user types "nákup", then clears the field; "xyz" matches no row.
  const std::vector<const char*> typing = {"n", "ná", "nák", "náku", "nákup", "", "xyz"};
  const std::pair<const char*, Grid> grids[] = {
      {"search_keystroke", Grid::FirstStep},
      {"search_keystroke_filled", Grid::Filled},
      {"search_keystroke_full_count", Grid::FullCount},
  };
  for (const auto& [prefix, grid] : grids) {
    for (const char* typed : typing) {
      const std::string name = std::string(prefix) + "/1m/'" + typed + "'";
      add(name, [million, typed, grid = grid](benchmark::State& s) { keystroke(s, million, typed, grid); });
    }
  }
  add("recompute_shown_balances/1m/year_2020",
      [&scratch](benchmark::State& s) { recomputeShown(s, scratch.dir()); })
      ->Iterations(5);
  add("report/1m/year_2020", [million, &scratch](benchmark::State& s) {
    report(s, million, scratch.dir() / "out.htm");
  })->Iterations(5);
  add("overview/1m/year_2020", [million, &scratch](benchmark::State& s) {
    overview(s, million, yearOf(2020), scratch.dir() / "overview.htm");
  })->Iterations(5);
  add("overview/1m/whole_journal", [million, &scratch](benchmark::State& s) {
    overview(s, million, {}, scratch.dir() / "overview.htm");
  })->Iterations(5);
  add("export/1m/year_2020", [million, &scratch](benchmark::State& s) {
    exportCsv(s, million, scratch.dir() / "export.csv");
  })->Iterations(5);
}

}  // namespace

int main(int argc, char** argv) {
  // The grid's model wants an application object for its timers; no window
  // is shown, and its timers never run, so that each step is timed here.
  int qtArgc = 1;
  QCoreApplication application(qtArgc, argv);
  return bench_support::runOnGeneratedData(
      argc, argv, "mincar-search-bench",
      "set MINCAR_BENCH_DATA to the folder that holds 1m/, made by mincar-gen (scripts/bench.sh does)",
      "search-scratch", registerCases);
}
