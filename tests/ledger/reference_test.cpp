// Random operations on a real table, checked step by step against a plain
// in-memory model of what the component promises, and the file's bytes
// against the model's rows.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/dataset_testing.h"
#include "ledger/file.h"
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

constexpr int kTextLength = 20;
const std::vector<FieldDef> kLayout = {
    {"ID", FieldType::Numeric, 10, 0},
    {"TEXT", FieldType::Character, kTextLength, 0},
};

struct Row {
  std::optional<double> id;
  std::string text;  // as read back: cut, without trailing blanks
  bool deleted = false;
  bool operator==(const Row& o) const { return id == o.id && text == o.text && deleted == o.deleted; }
};

// The filter the tests install: rows whose text starts with a byte that the
// modulus divides are hidden. Texts are changed only while the filter is
// off (and in new rows), so that a row's verdict holds until the next walk
// from the first row, as the component promises.
bool passes(const std::string& text, int modulus) {
  return text.empty() || static_cast<unsigned char>(text[0]) % modulus != 0;
}

class Model {
 public:
  std::vector<Row> records;
  std::int64_t current = -1;
  bool eof = true;
  bool bof = true;
  DatasetState state = DatasetState::Browse;
  Row buffer;
  bool filtered = false;
  int modulus = 2;

  bool shows(std::int64_t r) const {
    const Row& row = records[static_cast<std::size_t>(r)];
    return !row.deleted && (!filtered || passes(row.text, modulus));
  }
  std::vector<std::int64_t> visible() const {
    std::vector<std::int64_t> out;
    for (std::int64_t r = 0; r < static_cast<std::int64_t>(records.size()); ++r) {
      if (shows(r)) out.push_back(r);
    }
    return out;
  }
  bool pending() const { return state != DatasetState::Browse; }
  void storePending() {
    if (pending()) post();
  }
  void post() {
    if (state == DatasetState::Insert) {
      records.push_back(buffer);
      current = static_cast<std::int64_t>(records.size()) - 1;
      eof = bof = false;
    } else if (state == DatasetState::Edit) {
      records[static_cast<std::size_t>(current)] = buffer;
    }
    state = DatasetState::Browse;
  }
  void cancel() {
    if (state == DatasetState::Insert) {
      current = beforeInsert_;
      eof = beforeEof_;
      bof = beforeBof_;
    }
    state = DatasetState::Browse;
  }
  void moveFirst() {
    current = -1;
    for (std::int64_t r = 0; r < static_cast<std::int64_t>(records.size()); ++r) {
      if (shows(r)) {
        current = r;
        break;
      }
    }
    bof = true;
    eof = current < 0;
  }
  void first() {
    storePending();
    moveFirst();
  }
  void next() {
    storePending();
    if (current < 0) {
      eof = true;
      return;
    }
    for (std::int64_t r = current + 1; r < static_cast<std::int64_t>(records.size()); ++r) {
      if (shows(r)) {
        current = r;
        eof = bof = false;
        return;
      }
    }
    eof = true;
  }
  void prior() {
    storePending();
    if (current < 0) {
      bof = true;
      return;
    }
    for (std::int64_t r = current - 1; r >= 0; --r) {
      if (shows(r)) {
        current = r;
        eof = bof = false;
        return;
      }
    }
    bof = true;
  }
  void last() {
    storePending();
    current = -1;
    for (std::int64_t r = static_cast<std::int64_t>(records.size()) - 1; r >= 0; --r) {
      if (shows(r)) {
        current = r;
        break;
      }
    }
    eof = bof = current < 0;
  }
  void moveTo(std::int64_t row) {
    storePending();
    const auto rows = visible();
    if (rows.empty()) {
      current = -1;
      eof = bof = true;
      return;
    }
    row = std::clamp<std::int64_t>(row, 0, static_cast<std::int64_t>(rows.size()) - 1);
    current = rows[static_cast<std::size_t>(row)];
    eof = bof = false;
  }
  void append() {
    storePending();
    beforeInsert_ = current;
    beforeEof_ = eof;
    beforeBof_ = bof;
    buffer = Row{};
    state = DatasetState::Insert;
  }
  void edit() {
    if (pending()) return;
    if (current < 0) {
      append();
      return;
    }
    buffer = records[static_cast<std::size_t>(current)];
    state = DatasetState::Edit;
  }
  // False when there is no row to delete.
  bool remove() {
    if (state == DatasetState::Insert) {
      cancel();
      return true;
    }
    if (current < 0) return false;
    records[static_cast<std::size_t>(current)].deleted = true;
    state = DatasetState::Browse;
    const std::int64_t removed = current;
    for (std::int64_t r = removed + 1; r < static_cast<std::int64_t>(records.size()); ++r) {
      if (shows(r)) {
        current = r;
        eof = bof = false;
        return true;
      }
    }
    for (std::int64_t r = removed - 1; r >= 0; --r) {
      if (shows(r)) {
        current = r;
        eof = bof = false;
        return true;
      }
    }
    current = -1;
    eof = bof = true;
    return true;
  }
  void setFiltered(bool on) {
    if (on == filtered) return;
    storePending();
    filtered = on;
    moveFirst();
  }
  void refilter(int newModulus) {
    storePending();
    modulus = newModulus;
    moveFirst();
  }
  std::int64_t rowIndex() const {
    const auto rows = visible();
    if (state == DatasetState::Insert) return static_cast<std::int64_t>(rows.size());
    if (current < 0) return -1;
    return std::lower_bound(rows.begin(), rows.end(), current) - rows.begin();
  }
  // The row the fields show, if any.
  std::optional<Row> currentRow() const {
    if (pending()) return buffer;
    if (current < 0) return std::nullopt;
    return records[static_cast<std::size_t>(current)];
  }
  std::optional<Row> rowAt(std::int64_t row) const {
    const auto rows = visible();
    if (state == DatasetState::Insert && row == static_cast<std::int64_t>(rows.size())) return buffer;
    if (row < 0 || row >= static_cast<std::int64_t>(rows.size())) return std::nullopt;
    const std::int64_t record = rows[static_cast<std::size_t>(row)];
    if (state == DatasetState::Edit && record == current) return buffer;
    return records[static_cast<std::size_t>(record)];
  }

 private:
  std::int64_t beforeInsert_ = -1;
  bool beforeEof_ = true;
  bool beforeBof_ = true;
};

Value idValue(const Row& r) { return r.id ? Value{*r.id} : Value{}; }
Value textValue(const Row& r) { return r.text.empty() ? Value{} : Value{r.text}; }

std::string cutText(const std::string& text) {
  std::string cut = text.substr(0, kTextLength);
  while (!cut.empty() && cut.back() == ' ') cut.pop_back();
  return cut;
}

// The records as the file holds them, read without the engine.
std::vector<Row> rowsInFile(const fs::path& file) {
  const std::string bytes = testing_support::readFile(file);
  const std::size_t header = 32 + 2 * 32 + 1;
  const std::size_t length = 1 + 10 + kTextLength;
  const auto count = static_cast<std::size_t>(static_cast<unsigned char>(bytes[4]) |
                                              static_cast<unsigned char>(bytes[5]) << 8 |
                                              static_cast<unsigned char>(bytes[6]) << 16);
  EXPECT_EQ(bytes.size(), header + count * length + 1);
  EXPECT_EQ(bytes.back(), '\x1A');
  std::vector<Row> rows;
  for (std::size_t i = 0; i < count && header + (i + 1) * length <= bytes.size(); ++i) {
    const std::string r = bytes.substr(header + i * length, length);
    Row row;
    row.deleted = r[0] == '*';
    const std::string id = r.substr(1, 10);
    if (id.find_first_not_of(' ') != std::string::npos) row.id = std::stod(id);
    row.text = cutText(r.substr(11));
    rows.push_back(row);
  }
  return rows;
}

const char* const kTexts[] = {
    "Mzda", "N\xE1kup potravin", "\x8Akola", "\xC8" "erpac\xED stanice", "a", "b", "c", "dd",
    "text that is longer than the column", "ends with blank    x", "  lead", "\x9E" "ivnost",
};

// The table file without mapped views: the engine reads copies of the
// records, which its own writes must keep up to date.
using testing_support::UnmappedFile;

class Runner {
 public:
  // With a step, first() examines at most that many records and the rows
  // are learnt in steps of random size between the operations, which then
  // often meet a cursor that is still looking for its first row.
  Runner(const fs::path& file, unsigned seed, bool mapped, std::int64_t examineStep = 0)
      : file_(file), random_(seed), table_("Table1", file, text::Regional::czech()), stepped_(examineStep > 0) {
    if (stepped_) table_.setExamineStep(examineStep);
    if (!mapped) {
      ledger::DatasetTestAccess::setFileOpener(table_, [](const fs::path& p) { return std::make_unique<UnmappedFile>(p); });
    }
    table_.onFilterRecord = [this](Dataset& d) {
      return passes(d.field(1).isNull() ? std::string() : d.field(1).asString(), model_.modulus);
    };
    table_.open();
  }

  // One random operation, then a comparison; false at the first difference.
  bool step(int number) {
    if (stepped_ && random_() % 4 == 0) learnSomeRows();
    const int pick = static_cast<int>(random_() % 100);
    std::string what;
    if (pick < 14) {
      what = "append";
      table_.append();
      model_.append();
    } else if (pick < 34) {
      what = setSomething();
    } else if (pick < 42) {
      what = "edit";
      table_.edit();
      model_.edit();
    } else if (pick < 52) {
      what = "post";
      table_.post();
      model_.post();
    } else if (pick < 56) {
      what = "cancel";
      table_.cancel();
      model_.cancel();
    } else if (pick < 62) {
      what = "remove";
      std::string error;
      try {
        table_.remove();
      } catch (const mincar::Error& e) {
        error = e.what();
      }
      const bool removed = model_.remove();
      EXPECT_EQ(error, removed ? "" : "Table1: Cannot perform this operation on an empty dataset");
    } else if (pick < 66) {
      what = "first";
      table_.first();
      model_.first();
    } else if (pick < 74) {
      what = "next";
      table_.next();
      model_.next();
    } else if (pick < 78) {
      what = "prior";
      table_.prior();
      model_.prior();
    } else if (pick < 81) {
      what = "last";
      table_.last();
      model_.last();
    } else if (pick < 86) {
      const std::int64_t row = static_cast<std::int64_t>(random_() % 12) - 1;
      what = "moveTo " + std::to_string(row);
      table_.moveTo(row);
      model_.moveTo(row);
    } else if (pick < 90) {
      const bool on = random_() % 2 == 0;
      what = on ? "filter on" : "filter off";
      table_.setFiltered(on);
      model_.setFiltered(on);
    } else if (pick < 92) {
      const int modulus = 2 + static_cast<int>(random_() % 4);
      what = "refilter " + std::to_string(modulus);
      model_.refilter(modulus);  // the callback reads the model's modulus
      table_.refilter();
    } else if (pick < 96) {
      what = "walk";
      std::vector<Value> seen;
      for (table_.first(); !table_.eof(); table_.next()) seen.push_back(table_.field(0).value());
      std::vector<Value> expected;
      for (model_.first(); !model_.eof; model_.next()) expected.push_back(idValue(*model_.currentRow()));
      EXPECT_EQ(seen, expected);
    } else if (pick < 98) {
      what = "close and open";
      table_.close();
      model_.storePending();
      EXPECT_EQ(rowsInFile(file_), model_.records);
      table_.open();
      model_.moveFirst();
    } else {
      what = "positions";
      EXPECT_EQ(table_.recordCount(), static_cast<std::int64_t>(model_.visible().size()));
      for (std::int64_t row = -1; row <= static_cast<std::int64_t>(model_.visible().size()); ++row) {
        const auto expected = model_.rowAt(row);
        EXPECT_EQ(table_.valueAt(row, 0), expected ? idValue(*expected) : Value{}) << "row " << row;
        EXPECT_EQ(table_.valueAt(row, 1), expected ? textValue(*expected) : Value{}) << "row " << row;
      }
    }
    return agrees(number, what);
  }

  void finish() {
    table_.close();
    model_.storePending();
    EXPECT_EQ(rowsInFile(file_), model_.records);
  }

 private:
  std::string setSomething() {
    const int which = static_cast<int>(random_() % 10);
    Value value;
    int column = 0;
    if (which < 5) {
      value = static_cast<double>(static_cast<int>(random_() % 2000000) - 1000);
    } else if (which < 6) {
      value = 1e11;  // does not fit N(10,0)
    } else if (which < 7) {
      value = Value{};
    } else if (!model_.filtered) {
      column = 1;
      value = std::string(kTexts[random_() % std::size(kTexts)]);
      if (random_() % 5 == 0) value = Value{};
    } else {
      value = static_cast<double>(random_() % 100);
    }
    std::string error;
    try {
      table_.field(column).setValue(value);
    } catch (const mincar::Error& e) {
      error = e.what();
    }
    std::string expectedError;
    if (!model_.pending()) {
      expectedError = "Table1: Dataset not in edit or insert mode";
    } else if (column == 0 && std::holds_alternative<double>(value) && std::get<double>(value) >= 1e10) {
      expectedError = "Invalid value for field 'ID'";
    } else if (column == 0) {
      model_.buffer.id = std::holds_alternative<double>(value) ? std::optional<double>(std::get<double>(value))
                                                               : std::nullopt;
    } else {
      model_.buffer.text = std::holds_alternative<std::string>(value) ? cutText(std::get<std::string>(value)) : "";
    }
    EXPECT_EQ(error, expectedError);
    return "set column " + std::to_string(column);
  }

  void learnSomeRows() {
    const std::int64_t rows = 1 + static_cast<std::int64_t>(random_() % 5);
    const std::int64_t records = 1 + static_cast<std::int64_t>(random_() % 4);
    const std::int64_t known = table_.knowRows(rows, records);
    const auto shown = static_cast<std::int64_t>(model_.visible().size());
    EXPECT_LE(known, shown);
    if (table_.allRowsKnown()) {
      EXPECT_EQ(known, shown);
    }
    EXPECT_EQ(known, table_.knownRowCount());
  }

  bool agrees(int number, const std::string& what) {
    // Unchecked, a cursor still seeking meets the next operation.
    if (stepped_ && random_() % 2 == 0) return true;
    SCOPED_TRACE("step " + std::to_string(number) + ": " + what);
    EXPECT_EQ(table_.state(), model_.state);
    EXPECT_EQ(table_.eof(), model_.eof);
    EXPECT_EQ(table_.bof(), model_.bof);
    EXPECT_EQ(table_.filtered(), model_.filtered);
    EXPECT_EQ(table_.isEmpty(), !model_.currentRow().has_value());
    EXPECT_EQ(table_.rowIndex(), model_.rowIndex());
    const auto row = model_.currentRow();
    EXPECT_EQ(table_.field(0).value(), row ? idValue(*row) : Value{});
    EXPECT_EQ(table_.field(1).value(), row ? textValue(*row) : Value{});
    return !::testing::Test::HasFailure();
  }

  fs::path file_;
  std::mt19937 random_;
  Model model_;
  Dataset table_;
  bool stepped_;
};

void runSeeds(bool mapped, std::int64_t examineStep = 0) {
  for (unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u}) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    testing_support::TempDir dir;
    const fs::path file = dir / "random.dbf";
    ledger::createTable(file, kLayout);
    Runner runner(file, seed, mapped, examineStep);
    for (int step = 0; step < 2500; ++step) {
      if (!runner.step(step)) return;
    }
    runner.finish();
  }
}

TEST(Reference, RandomOperationsAgreeWithTheModel) { runSeeds(true); }

TEST(Reference, RandomOperationsAgreeWithTheModelWhenRecordsAreReadNotMapped) { runSeeds(false); }

TEST(Reference, RandomOperationsAgreeWithTheModelWhenRowsAreLearntInSteps) { runSeeds(true, 2); }

}  // namespace
