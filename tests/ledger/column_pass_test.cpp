// The passes over one column (scanNumbers, updateColumn) against the walk
// that reads, edits and posts row by row, on real tables: the same rows
// visited, the same bytes stored, the same place where an error stops them.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/dataset_testing.h"
#include "ledger/file.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::DataEvent;
using ledger::Dataset;
using ledger::DatasetState;
using ledger::FieldDef;
using ledger::FieldType;
using ledger::Value;
using testing_support::errorOf;
using testing_support::readFile;
using testing_support::TempDir;
using testing_support::writeFile;

enum Column { ID = 0, GROUP, AMOUNT, SUM, DATUM, TEXT };

// Wide rows, so that a few hundred rows fill several of the update's
// 256 KiB blocks and several 64 KiB read windows.
const std::vector<FieldDef> kLayout = {
    {"ID", FieldType::Numeric, 10, 0},     {"GROUP", FieldType::Numeric, 4, 0},
    {"AMOUNT", FieldType::Numeric, 12, 2}, {"SUM", FieldType::Numeric, 12, 2},
    {"DATUM", FieldType::Date, 8, 0},      {"TEXT", FieldType::Character, 254, 0},
    {"NOTE1", FieldType::Character, 254, 0}, {"NOTE2", FieldType::Character, 254, 0},
    {"NOTE3", FieldType::Character, 254, 0},
};
constexpr std::size_t kRecordLength = 1 + 10 + 4 + 12 + 12 + 8 + 4 * 254;
constexpr int kRowsPerBlock = static_cast<int>((256 << 10) / kRecordLength);  // 248

// A file that cannot be mapped: the engine reads it through copies of
// 64 KiB (62 of these rows) instead.
using testing_support::UnmappedFile;

struct Shape {
  const char* what;
  int rows;
  bool filtered;
  bool withDeleted;
  bool mapped;
};

const Shape kShapes[] = {
    {"empty table", 0, false, false, true},
    {"one row", 1, false, false, true},
    {"exactly one block", kRowsPerBlock, false, false, true},
    {"one block and a row", kRowsPerBlock + 1, false, false, true},
    {"several blocks", 1000, false, false, true},
    {"several blocks, deleted rows", 1000, false, true, true},
    {"several blocks, filter on", 1000, true, false, true},
    {"deleted rows and filter", 1000, true, true, true},
    {"read windows instead of mapped ones", 1000, true, true, false},
};

// Random rows: empty numbers, groups 0..4, a deleted row now and then.
void fill(const fs::path& file, const Shape& shape, std::uint32_t seed) {
  ledger::createTable(file, kLayout);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  std::mt19937 random(seed);
  for (int i = 0; i < shape.rows; ++i) {
    t.append();
    if (random() % 10 != 0) t.field(ID).setValue(static_cast<double>(i + 1));
    if (random() % 7 != 0) t.field(GROUP).setValue(static_cast<double>(random() % 5));
    if (random() % 3 != 0) t.field(AMOUNT).setValue(static_cast<double>(random() % 200000) / 100.0 - 500.0);
    if (random() % 4 == 0) t.field(SUM).setValue(1.0);
    if (random() % 5 != 0) {
      const auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
      t.field(DATUM).setValue(text::Date{2020 + pick(5), 1 + pick(12), 1 + pick(28)});
    }
    t.field(TEXT).setValue("row " + std::to_string(i + 1));
    t.post();
  }
  if (shape.withDeleted) {
    for (std::int64_t row = t.recordCount() - 1; row >= 0; --row) {
      if (random() % 6 == 0) {
        t.moveTo(row);
        t.remove();
      }
    }
  }
}

void prepare(Dataset& t, const Shape& shape) {
  if (!shape.mapped) {
    ledger::DatasetTestAccess::setFileOpener(t, [](const fs::path& p) { return std::make_unique<UnmappedFile>(p); });
  }
  // Hides the rows of group 3 (and rows without a group stay in).
  t.onFilterRecord = [](Dataset& d) { return d.field(GROUP).asInteger() != 3 || d.field(GROUP).isNull(); };
  t.open();
  t.setFiltered(shape.filtered);
}

// Running sums of AMOUNT per group into SUM; group 0 keeps what it has,
// group 4 is emptied.
class RunningSums {
 public:
  std::optional<Value> operator()(const Dataset& d) {
    const std::int64_t group = d.field(GROUP).asInteger();
    if (group == 0) return std::nullopt;
    if (group == 4) return Value{};
    sums_[group] += d.field(AMOUNT).asFloat();
    return Value{sums_[group]};
  }

 private:
  double sums_[5] = {};
};

// The walk that the passes stand for.
void updateRowByRow(Dataset& t, int column, const std::function<std::optional<Value>(const Dataset&)>& newValue) {
  for (t.first(); !t.eof(); t.next()) {
    const std::optional<Value> value = newValue(t);
    if (!value) continue;
    t.edit();
    t.field(column).setValue(*value);
    t.post();
  }
}

// The number in column ID of the cursor's row, or -1 when it has none.
std::int64_t cursorId(Dataset& t) { return t.isEmpty() ? -1 : t.field(ID).asInteger(); }

TEST(UpdateColumn, StoresTheSameBytesAsTheRowByRowWalk) {
  std::uint32_t seed = 1;
  for (const Shape& shape : kShapes) {
    TempDir dir;
    const fs::path ours = dir / "ours.dbf";
    const fs::path walked = dir / "walked.dbf";
    fill(ours, shape, ++seed);
    fs::copy_file(ours, walked);

    Dataset t("Table1", ours, text::Regional::czech());
    prepare(t, shape);
    int visited = 0;
    RunningSums sums;
    t.updateColumn(SUM, [&](const Dataset& d) {
      ++visited;
      return sums(d);
    });

    Dataset reference("Table1", walked, text::Regional::czech());
    prepare(reference, shape);
    int walkedRows = 0;
    RunningSums referenceSums;
    updateRowByRow(reference, SUM, [&](const Dataset& d) {
      ++walkedRows;
      return referenceSums(d);
    });

    EXPECT_EQ(visited, walkedRows) << shape.what;
    EXPECT_TRUE(readFile(ours) == readFile(walked)) << shape.what;
    // The cursor where the walk leaves it: the last row, at the end.
    EXPECT_EQ(t.state(), DatasetState::Browse) << shape.what;
    EXPECT_TRUE(t.eof()) << shape.what;
    EXPECT_EQ(t.bof(), reference.bof()) << shape.what;
    EXPECT_EQ(t.isEmpty(), reference.isEmpty()) << shape.what;
    EXPECT_EQ(cursorId(t), cursorId(reference)) << shape.what;
    EXPECT_EQ(t.rowIndex(), reference.rowIndex()) << shape.what;
    EXPECT_EQ(t.recordCount(), reference.recordCount()) << shape.what;
  }
}

TEST(UpdateColumn, AValueTheColumnCannotHoldStopsAtItsRowWithTheRowsBeforeStored) {
  // At the start of a block, in the middle of one and at the very end.
  for (const int stopAt : {1, kRowsPerBlock + 1, 2 * kRowsPerBlock + 100, 700}) {
    TempDir dir;
    const fs::path ours = dir / "ours.dbf";
    const fs::path walked = dir / "walked.dbf";
    const Shape shape{"stop", 700, false, false, true};
    fill(ours, shape, 77);
    fs::copy_file(ours, walked);
    // Rows are numbered by their position here; ten places hold no 1e12.
    auto rule = [stopAt](const Dataset& d) -> std::optional<Value> {
      const std::int64_t id = d.field(TEXT).asString() == "row " + std::to_string(stopAt) ? 1'000'000'000'000 : 7;
      return Value{static_cast<double>(id)};
    };

    Dataset t("Table1", ours, text::Regional::czech());
    t.open();
    EXPECT_EQ(errorOf([&] { t.updateColumn(ID, rule); }), "Invalid value for field 'ID'") << stopAt;
    Dataset reference("Table1", walked, text::Regional::czech());
    reference.open();
    EXPECT_EQ(errorOf([&] { updateRowByRow(reference, ID, rule); }), "Invalid value for field 'ID'");
    reference.cancel();

    EXPECT_TRUE(readFile(ours) == readFile(walked)) << stopAt;
    EXPECT_EQ(t.state(), DatasetState::Browse);
    EXPECT_FALSE(t.eof());
    EXPECT_EQ(t.field(TEXT).asString(), "row " + std::to_string(stopAt)) << "the cursor stands on the failing row";
    EXPECT_EQ(t.rowIndex(), stopAt - 1);
  }
}

TEST(UpdateColumn, TheCallbackReadsItsRowAndCannotMoveTheCursor) {
  TempDir dir;
  const fs::path file = dir / "t.dbf";
  fill(file, {"", 3, false, false, true}, 5);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  std::vector<std::string> texts;
  t.updateColumn(SUM, [&](const Dataset& d) -> std::optional<Value> {
    texts.push_back(d.field(TEXT).asString());
    // As in the filter callback: counting rows would run the filter on others.
    EXPECT_EQ(d.rowIndex(), -1);
    return std::nullopt;
  });
  EXPECT_EQ(texts, (std::vector<std::string>{"row 1", "row 2", "row 3"}));

  const std::string refused = "Table1: Cannot perform this operation inside a pass over a column";
  EXPECT_EQ(errorOf([&] { t.updateColumn(SUM, [&](const Dataset&) -> std::optional<Value> {
              t.next();
              return std::nullopt;
            }); }),
            refused);
  EXPECT_EQ(errorOf([&] { t.updateColumn(SUM, [&](const Dataset&) -> std::optional<Value> {
              t.edit();
              return std::nullopt;
            }); }),
            refused);
  EXPECT_EQ(errorOf([&] { t.scanNumbers(ID, [&](std::span<const double>) { t.first(); }); }), refused);
  EXPECT_EQ(t.state(), DatasetState::Browse);
  EXPECT_EQ(errorOf([&] { t.updateColumn(9, [](const Dataset&) { return std::optional<Value>(); }); }),
            "Table1: Field index 9 out of range");
}

TEST(UpdateColumn, StoresAPendingEditFirstAndTellsTheDataSourceOnce) {
  TempDir dir;
  const fs::path file = dir / "t.dbf";
  fill(file, {"", 3, false, false, true}, 9);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  t.moveTo(1);
  t.edit();
  t.field(AMOUNT).setValue(10.5);
  std::vector<DataEvent> events;
  double seen = 0;
  t.updateColumn(SUM, [&](const Dataset& d) -> std::optional<Value> {
    if (d.field(TEXT).asString() == "row 2") seen = d.field(AMOUNT).asFloat();
    return std::nullopt;
  });
  EXPECT_EQ(seen, 10.5);
  Dataset fresh("Table1", file, text::Regional::czech());
  fresh.open();
  fresh.moveTo(1);
  EXPECT_EQ(fresh.field(AMOUNT).asFloat(), 10.5);

  t.dataSource().subscribe([&](DataEvent e) { events.push_back(e); });
  t.updateColumn(SUM, [](const Dataset&) { return std::optional<Value>(Value{2.0}); });
  EXPECT_EQ(events, std::vector<DataEvent>{DataEvent::DataSetChanged});
}

// The header's last-update date (offsets 1..3: years since 1900, month, day).
std::string headerDate(const fs::path& file) { return readFile(file).substr(1, 3); }

TEST(UpdateColumn, DatesTheHeaderTodayWhenItStoresRowsOnly) {
  TempDir dir;
  const fs::path file = dir / "t.dbf";
  fill(file, {"", 300, false, false, true}, 3);
  std::string bytes = readFile(file);
  const std::string longAgo = {static_cast<char>(101), 2, 3};  // 2001-02-03
  bytes.replace(1, 3, longAgo);
  writeFile(file, bytes);

  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  t.updateColumn(SUM, [](const Dataset&) { return std::optional<Value>(); });
  EXPECT_EQ(headerDate(file), longAgo) << "nothing was stored";

  t.updateColumn(SUM, [](const Dataset&) { return std::optional<Value>(Value{3.0}); });
  const text::Date today = text::Date::today();
  EXPECT_EQ(headerDate(file), std::string({static_cast<char>(today.year - 1900), static_cast<char>(today.month),
                                           static_cast<char>(today.day)}));
}

// --- scanNumbers -----------------------------------------------------------

// What the walk reads: the non-empty values of the column as asFloat.
std::vector<double> walkedNumbers(Dataset& t, int column) {
  std::vector<double> values;
  for (t.first(); !t.eof(); t.next()) {
    if (!t.field(column).isNull()) values.push_back(t.field(column).asFloat());
  }
  return values;
}

TEST(ScanNumbers, HandsOverTheValuesTheWalkReadsAndEndsWhereItEnds) {
  std::uint32_t seed = 100;
  for (const Shape& shape : kShapes) {
    TempDir dir;
    const fs::path file = dir / "t.dbf";
    fill(file, shape, ++seed);
    if (shape.rows > 2) {
      // Numbers as other writers leave them: GDAL's '*' for an empty one, a
      // left-aligned one, one with a sign and exponent.
      std::string bytes = readFile(file);
      const std::size_t start = bytes.size() - 1 - static_cast<std::size_t>(shape.rows) * kRecordLength;
      bytes.replace(start + 1, 10, "**********");
      bytes.replace(start + kRecordLength + 1, 10, "42        ");
      bytes.replace(start + 2 * kRecordLength + 1, 10, "  +1.5E+03");
      writeFile(file, bytes);
    }
    for (const int column : {ID, AMOUNT, DATUM}) {
      Dataset t("Table1", file, text::Regional::czech());
      prepare(t, shape);
      std::vector<double> scanned;
      std::size_t calls = 0;
      t.scanNumbers(column, [&](std::span<const double> values) {
        ++calls;
        scanned.insert(scanned.end(), values.begin(), values.end());
      });
      const bool bof = t.bof();
      const bool empty = t.isEmpty();
      const std::int64_t row = t.rowIndex();
      const std::int64_t id = cursorId(t);
      EXPECT_TRUE(t.eof()) << shape.what;

      const std::vector<double> walked = walkedNumbers(t, column);
      EXPECT_EQ(scanned, walked) << shape.what << ", column " << column;
      EXPECT_LE(calls, walked.size() / 100 + 1) << "values come in blocks";
      EXPECT_EQ(bof, t.bof()) << shape.what;
      EXPECT_EQ(empty, t.isEmpty()) << shape.what;
      EXPECT_EQ(row, t.rowIndex()) << shape.what;
      EXPECT_EQ(id, cursorId(t)) << shape.what;
    }
  }
}

// A table of `rows` narrow rows written as bytes at once: ID N(10,0) =
// record number + 1, empty in every seventh row, every eleventh row deleted.
fs::path tableOfManyRows(const TempDir& dir, int rows) {
  const fs::path file = dir / "many.dbf";
  ledger::createTable(file, {{"ID", FieldType::Numeric, 10, 0}, {"TEXT", FieldType::Character, 20, 0}});
  std::string bytes = readFile(file);
  bytes.pop_back();  // the end mark
  for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<char>((static_cast<std::uint32_t>(rows) >> (8 * i)) & 0xFF);
  bytes.reserve(bytes.size() + static_cast<std::size_t>(rows) * 31 + 1);
  for (int i = 1; i <= rows; ++i) {
    std::string record(31, ' ');
    if (i % 11 == 0) record[0] = '*';
    if (i % 7 != 0) {
      const std::string n = std::to_string(i);
      record.replace(11 - n.size(), n.size(), n);
    }
    bytes += record;
  }
  bytes += '\x1A';
  writeFile(file, bytes);
  return file;
}

TEST(ScanNumbers, ReadsAheadAcrossMappedWindowsAndLeavesThemUsable) {
  TempDir dir;
  const int rows = 600'000;  // 18.6 MB: three windows of 8 MiB
  const fs::path file = tableOfManyRows(dir, rows);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  for (int pass = 0; pass < 2; ++pass) {
    std::vector<double> scanned;
    t.scanNumbers(ID, [&](std::span<const double> v) { scanned.insert(scanned.end(), v.begin(), v.end()); });
    std::vector<double> expected;
    for (int i = 1; i <= rows; ++i) {
      if (i % 11 != 0 && i % 7 != 0) expected.push_back(i);
    }
    ASSERT_EQ(scanned.size(), expected.size()) << "pass " << pass;
    EXPECT_TRUE(scanned == expected) << "pass " << pass;
    EXPECT_TRUE(t.eof());
    EXPECT_EQ(t.field(ID).asInteger(), rows) << "the cursor on the last row";
  }
  // Reads by position afterwards, back and forth over the windows.
  const std::int64_t shown = rows - rows / 11;
  EXPECT_EQ(t.recordCount(), shown);
  for (const std::int64_t row : {std::int64_t{0}, shown - 1, std::int64_t{250'000}, std::int64_t{9}, shown / 2}) {
    const std::int64_t record = row + row / 10;  // one deleted record in eleven
    const std::int64_t id = record + 1;
    EXPECT_EQ(t.valueAt(row, ID), id % 7 == 0 ? Value{} : Value{static_cast<double>(id)}) << row;
  }
  t.first();
  t.edit();
  t.field(ID).setValue(5.0);
  t.post();
  EXPECT_EQ(ledger::MaxFieldValue(t, ID), static_cast<double>(rows));
}

TEST(ScanNumbers, SeesRowsAppendedSinceTheLastWalk) {
  TempDir dir;
  const fs::path file = dir / "t.dbf";
  fill(file, {"", 2, false, false, true}, 8);
  Dataset t("Table1", file, text::Regional::czech());
  t.open();
  {
    Dataset other("Other", file, text::Regional::czech());
    other.open();
    other.append();
    other.field(ID).setValue(500.0);
    other.post();
  }
  std::vector<double> scanned;
  t.scanNumbers(ID, [&](std::span<const double> v) { scanned.insert(scanned.end(), v.begin(), v.end()); });
  ASSERT_FALSE(scanned.empty());
  EXPECT_EQ(scanned.back(), 500.0);
  EXPECT_EQ(t.field(ID).asFloat(), 500.0) << "the cursor on the new last row";
}

}  // namespace
