// Rows learnt in bounded steps: first() under a filter that takes few rows or
// none, a grid's knowRows(), and the positional calls that walk only as far
// as the row they need, on real tables.
#include <gtest/gtest.h>

#include <cstdint>
#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "test_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::DatasetState;
using ledger::FieldDef;
using ledger::FieldType;
using ledger::Value;
using testing_support::errorOf;
using testing_support::TempDir;

constexpr std::int64_t kAll = std::numeric_limits<std::int64_t>::max();
constexpr int kRows = 60;
constexpr std::int64_t kStep = 7;

const std::vector<FieldDef> kLayout = {
    {"ID", FieldType::Numeric, 10, 0},
    {"TEXT", FieldType::Character, 20, 0},
};

// A table of rows numbered 1..kRows, and a dataset over it whose filter
// takes the numbers `takes` says and counts the records it was asked about.
class RowsInSteps : public ::testing::Test {
 protected:
  RowsInSteps() : file_(dir_ / "t.dbf") {
    ledger::createTable(file_, kLayout);
    Dataset fill("Fill", file_, text::Regional::czech());
    fill.open();
    for (int n = 1; n <= kRows; ++n) append(fill, n);
    table_.onFilterRecord = [this](Dataset& d) {
      ++tested_;
      return takes_(d.field(0).asInteger());
    };
    table_.setExamineStep(kStep);
    table_.open();
  }

  static void append(Dataset& t, int n) {
    t.append();
    t.field(0).setValue(static_cast<double>(n));
    t.field(1).setValue("n" + std::to_string(n));
    t.post();
  }

  // Switches the filter to these rows, as the search dialog's keystroke does.
  void filterTo(std::function<bool(std::int64_t)> takes) {
    takes_ = std::move(takes);
    if (table_.filtered()) {
      table_.refilter();
    } else {
      table_.setFiltered(true);
    }
  }

  // Records the filter was asked about while `step` ran.
  int testedBy(const std::function<void()>& step) {
    const int before = tested_;
    step();
    return tested_ - before;
  }

  TempDir dir_;
  fs::path file_;
  Dataset table_{"Table1", file_, text::Regional::czech()};
  std::function<bool(std::int64_t)> takes_ = [](std::int64_t) { return true; };
  int tested_ = 0;
};

TEST_F(RowsInSteps, AFilterChangeExaminesOneStepAndKnowRowsTheRestStepByStep) {
  int examined = testedBy([&] { filterTo([](std::int64_t n) { return n % 5 == 0; }); });
  EXPECT_LE(examined, kStep);
  EXPECT_FALSE(table_.seekingFirstRow());
  EXPECT_EQ(table_.field(0).asInteger(), 5) << "first() found its row in the step";
  EXPECT_FALSE(table_.allRowsKnown());
  EXPECT_EQ(table_.knownRowCount(), 1);

  std::vector<std::int64_t> known;
  while (!table_.allRowsKnown()) {
    examined = testedBy([&] { known.push_back(table_.knowRows(kAll, kStep)); });
    EXPECT_LE(examined, kStep);
    ASSERT_LE(known.size(), static_cast<std::size_t>(kRows)) << "the steps never end";
  }
  EXPECT_EQ(known.back(), 12);
  EXPECT_TRUE(std::is_sorted(known.begin(), known.end()));
  EXPECT_GT(known.size(), 3u) << "the rows came in steps";
  examined = testedBy([&] { EXPECT_EQ(table_.recordCount(), 12); });
  EXPECT_EQ(examined, 0) << "the count was known";
  EXPECT_EQ(table_.textAt(11, 1), "n60");
}

TEST_F(RowsInSteps, KnowRowsStopsAtTheRowsWanted) {
  filterTo([](std::int64_t n) { return n % 2 == 0; });
  EXPECT_EQ(table_.knowRows(3, kAll), 3);
  EXPECT_EQ(table_.knownRowCount(), 3);
  EXPECT_EQ(table_.knowRows(3, kAll), 3) << "already known: nothing examined";
  EXPECT_EQ(table_.knowRows(kAll, 0), 3) << "no records to examine";
  EXPECT_EQ(table_.knowRows(kAll, kAll), 30);
  EXPECT_TRUE(table_.allRowsKnown());
}

TEST_F(RowsInSteps, AFilterThatTakesNoRowReturnsAfterOneStepWithTheCursorSeeking) {
  const int examined = testedBy([&] { filterTo([](std::int64_t) { return false; }); });
  EXPECT_LE(examined, kStep);
  EXPECT_TRUE(table_.seekingFirstRow());
  EXPECT_EQ(table_.knownRowCount(), 0);
  EXPECT_FALSE(table_.allRowsKnown());
  int steps = 0;
  while (!table_.allRowsKnown()) {
    EXPECT_LE(testedBy([&] { EXPECT_EQ(table_.knowRows(kAll, kStep), 0); }), kStep);
    ++steps;
  }
  EXPECT_EQ(steps, (kRows - examined + kStep - 1) / kStep);
  EXPECT_FALSE(table_.seekingFirstRow()) << "the walk ended without a row";
  EXPECT_TRUE(table_.eof());
  EXPECT_TRUE(table_.isEmpty());
  EXPECT_EQ(table_.rowIndex(), -1);
}

// Whatever needs the cursor first lands it on the first shown row, beyond
// the step, or on nothing when there is none.
TEST_F(RowsInSteps, ASeekingCursorLandsWhenItIsNeeded) {
  struct Need {
    const char* what;
    std::function<void(Dataset&)> need;
    std::int64_t idAfter;  // the cursor's row afterwards
  };
  const std::vector<Need> needs = {
      {"eof", [](Dataset& t) { EXPECT_FALSE(t.eof()); }, 41},
      {"bof", [](Dataset& t) { EXPECT_TRUE(t.bof()); }, 41},
      {"isEmpty", [](Dataset& t) { EXPECT_FALSE(t.isEmpty()); }, 41},
      {"a field", [](Dataset& t) { EXPECT_EQ(t.field(1).asString(), "n41"); }, 41},
      {"rowIndex", [](Dataset& t) { EXPECT_EQ(t.rowIndex(), 0); }, 41},
      {"recordNumber", [](Dataset& t) { EXPECT_EQ(t.recordNumber(), 40); }, 41},
      {"next", [](Dataset& t) { t.next(); }, 42},
      {"prior", [](Dataset& t) { t.prior(); }, 41},
      {"knowRows", [](Dataset& t) { EXPECT_EQ(t.knowRows(kAll, kAll), 20); }, 41},
      {"textAt", [](Dataset& t) { EXPECT_EQ(t.textAt(1, 1), "n42"); }, 41},
      {"recordCount", [](Dataset& t) { EXPECT_EQ(t.recordCount(), 20); }, 41},
      {"edit", [](Dataset& t) {
         t.edit();
         t.cancel();
       }, 41},
      {"append and cancel", [](Dataset& t) {
         t.append();
         t.cancel();
       }, 41},
  };
  for (const Need& need : needs) {
    SCOPED_TRACE(need.what);
    filterTo([](std::int64_t n) { return n > 40; });
    ASSERT_TRUE(table_.seekingFirstRow());
    need.need(table_);
    EXPECT_FALSE(table_.seekingFirstRow());
    EXPECT_EQ(table_.state(), DatasetState::Browse);
    EXPECT_EQ(table_.field(0).asInteger(), need.idAfter);
  }
  // No row at all: the same needs find none.
  filterTo([](std::int64_t) { return false; });
  EXPECT_EQ(table_.field(1).asString(), "");
  EXPECT_FALSE(table_.seekingFirstRow());
  EXPECT_TRUE(table_.eof());
  filterTo([](std::int64_t) { return false; });
  EXPECT_EQ(errorOf([&] { table_.remove(); }), "Table1: Cannot perform this operation on an empty dataset");
}

TEST_F(RowsInSteps, PositionalCallsWalkOnlyAsFarAsTheirRow) {
  filterTo([](std::int64_t n) { return n % 3 == 0; });
  // Row 3 is number 12, the twelfth record; the filter change examined
  // three, up to the first row.
  EXPECT_EQ(testedBy([&] { EXPECT_EQ(table_.textAt(3, 1), "n12"); }), 12 - 3);
  EXPECT_EQ(testedBy([&] { EXPECT_EQ(table_.textAt(2, 1), "n9"); }), 0);
  EXPECT_EQ(testedBy([&] { EXPECT_TRUE(table_.gotoRecord(20)); }), 21 - 12);
  EXPECT_EQ(table_.rowIndex(), 6);
  EXPECT_FALSE(table_.allRowsKnown());
  EXPECT_EQ(testedBy([&] { table_.moveTo(8); }), 27 - 21);
  EXPECT_EQ(table_.field(0).asInteger(), 27);
  table_.moveTo(1000);
  EXPECT_EQ(table_.field(0).asInteger(), 60) << "beyond the rows: the last one";
  EXPECT_TRUE(table_.allRowsKnown());

  // The cursor beyond the rows known: its row needs the records before it.
  filterTo([](std::int64_t n) { return n % 3 == 0; });
  table_.last();
  EXPECT_FALSE(table_.allRowsKnown());
  EXPECT_EQ(table_.rowIndex(), 19);
  EXPECT_EQ(table_.knownRowCount(), 20);
}

TEST_F(RowsInSteps, RowsAnotherUserAppendsCountWhenTheWalkReachesTheEnd) {
  filterTo([](std::int64_t n) { return n % 10 == 0; });
  Dataset other("Other", file_, text::Regional::czech());
  other.open();
  append(other, 70);
  append(other, 71);
  EXPECT_EQ(table_.knowRows(kAll, kAll), 7);
  EXPECT_TRUE(table_.allRowsKnown());
  EXPECT_EQ(table_.recordCount(), 7);
}

TEST_F(RowsInSteps, AnAppendWhileTheRowsAreKnownInPartWalksNoFurther) {
  filterTo([](std::int64_t n) { return n % 2 == 0; });
  table_.knowRows(2, kAll);
  const int examined = testedBy([&] {
    table_.append();
    table_.field(0).setValue(100.0);
    table_.post();
  });
  EXPECT_EQ(examined, 0);
  EXPECT_FALSE(table_.allRowsKnown());
  EXPECT_EQ(table_.rowIndex(), 30) << "the new row's place needs the rows before it";
  EXPECT_TRUE(table_.allRowsKnown());
}

TEST_F(RowsInSteps, AFilterFailureBeyondTheFirstStepComesFromTheCallThatWalksOn) {
  takes_ = [](std::int64_t n) -> bool {
    if (n == 30) throw mincar::Error("the filter failed at 30");
    return false;
  };
  table_.setFiltered(true);
  EXPECT_TRUE(table_.seekingFirstRow());
  EXPECT_EQ(errorOf([&] {
              while (!table_.allRowsKnown()) table_.knowRows(kAll, kStep);
            }),
            "the filter failed at 30");
  EXPECT_FALSE(table_.seekingFirstRow()) << "the cursor is left without a row, as by a failed first()";
  EXPECT_EQ(table_.recordNumber(), -1);
  takes_ = [](std::int64_t n) { return n == 59; };
  table_.refilter();
  EXPECT_EQ(table_.field(0).asInteger(), 59);
}

TEST_F(RowsInSteps, AStepOfNoRecordsIsRefusedAndChangesNothing) {
  for (std::int64_t bad : {std::int64_t{0}, std::int64_t{-5}}) {
    EXPECT_EQ(errorOf([&] { table_.setExamineStep(bad); }),
              "Table1: A step must examine at least one record, not " + std::to_string(bad));
    EXPECT_EQ(table_.examineStep(), kStep);
  }
  EXPECT_EQ(Dataset("T", file_, text::Regional::czech()).examineStep(), Dataset::kDefaultExamineStep);
}

}  // namespace
