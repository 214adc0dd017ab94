// The backup writer: the format byte for byte (the format's own example as
// a golden file), the texts of every kind of value, and what the walk does
// to the tables: the journal's filter, a pending edit, the last rows, the
// bound controls.
#include "backup/backup_writer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "app/textio.h"
#include "backup/backup_file.h"
#include "backup/record_text.h"
#include "backup_test_support.h"
#include "ledger/dataset.h"
#include "test_support.h"
#include "text/error.h"
#include "text/regional.h"

namespace {

using namespace backup_testing;
using ledger::Dataset;
using ledger::FieldDef;
using ledger::FieldType;
using testing_support::TempDir;

std::string backupOf(app::Ledger& ledger, const fs::path& file) {
  backup::BackupFile out(file);
  backup::SaveAllTables(out, ledger);
  out.commit();
  return testing_support::readFile(file);
}

std::string lines(const std::vector<std::string>& texts) {
  std::string bytes;
  for (const std::string& t : texts) bytes += t + std::string(app::kLineEnd);
  return bytes;
}

TEST(BackupWriter, TheFormatsExampleComesOutAsExactlyItsBytes) {
  TempDir dir;
  seedExample(dir.path());
  OpenLedger open(dir.path());
  const std::string golden = testing_support::readFile(sourceFile("tests/backup/golden/example.txu"));
  EXPECT_EQ(backupOf(open.ledger, dir / "example.txu"), golden);
}

TEST(BackupWriter, HeaderLinesCarryTheNameTheCountAndTheLineEnd) {
  struct Case {
    const char* name;
    std::int64_t count;
    const char* expected;
  } cases[] = {
      {"Denik", 1, "######### This is a table Denik and have ;1; records \n\r"},
      {"Moves", 0, "######### This is a table Moves and have ;0; records \n\r"},
      {"Books", 1000000, "######### This is a table Books and have ;1000000; records \n\r"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(backup::HeaderText(c.name, c.count, app::kLineEnd), c.expected) << c.name;
  }
}

TEST(BackupWriter, AnEmptyListIsItsHeaderAloneAndDeletedRowsAreNotWritten) {
  TempDir dir;
  seedRows(dir.path(), LedgerTable::Journal,
           {{1.0, kEmpty, kEmpty, text::Date{2026, 1, 2}, cz("první")},
            {2.0, kEmpty, kEmpty, text::Date{2026, 1, 3}, cz("smazaný")},
            {3.0, kEmpty, kEmpty, text::Date{2026, 1, 4}, cz("třetí")}});
  seedRows(dir.path(), LedgerTable::Books, {{7.0, cz("Banka"), 0.0}});
  OpenLedger open(dir.path());
  Dataset& journal = open.ledger.journal();
  journal.moveTo(1);
  journal.remove();
  EXPECT_EQ(backupOf(open.ledger, dir / "b.txu"),
            lines({"######### This is a table Denik and have ;2; records ",
                   cz("1; ; ;2.1.2026;první; ; ; ;"), cz("3; ; ;4.1.2026;třetí; ; ; ;"),
                   "######### This is a table Moves and have ;0; records ",
                   "######### This is a table Books and have ;1; records ", "7;Banka;0;"}));
}

// One row of a table with columns of every kind and width.
class ValueTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    ledger::createTable(dir_ / "values.dbf", {{"WHOLE", FieldType::Numeric, 20, 0},
                                              {"CENTS", FieldType::Numeric, 15, 2},
                                              {"FINE", FieldType::Numeric, 20, 10},
                                              {"FLOAT", FieldType::Float, 20, 4},
                                              {"DAY", FieldType::Date, 8, 0},
                                              {"WORDS", FieldType::Character, 40, 0},
                                              {"FLAG", FieldType::Logical, 1, 0}});
    table_ = std::make_unique<Dataset>("Table1", dir_ / "values.dbf", regional_);
    table_->open();
    // The pending row of an append is what the fields read.
    table_->append();
  }
  std::string lineFor(int column, const ledger::Value& value) {
    for (int i = 0; i < table_->fieldCount(); ++i) table_->field(i).clear();
    table_->field(column).setValue(value);
    return backup::RecordToText(*table_);
  }
  // The expected line: one blank for each other column.
  static std::string only(int column, const std::string& text) {
    std::string line;
    for (int i = 0; i < 7; ++i) line += (i == column ? text : std::string(" ")) + ";";
    return line;
  }

  TempDir dir_;
  text::Regional regional_ = text::Regional::czech();
  std::unique_ptr<Dataset> table_;
};

TEST_F(ValueTexts, EachKindOfValueIsWrittenAsItsTextOrOneBlank) {
  struct Case {
    int column;
    ledger::Value value;
    std::string text;
  } cases[] = {
      {0, 12.0, "12"},
      {0, 0.0, "0"},
      {0, -0.0, "0"},
      {0, -42.0, "-42"},
      {0, 999999999999999.0, "999999999999999"},
      {0, 1e15, "1E15"},
      {0, 123456789012345678.0, "1,23456789012346E17"},
      {0, -1e18, "-1E18"},
      {1, 1234.5, "1234,5"},
      {1, 350.5, "350,5"},
      {1, -350.5, "-350,5"},
      {1, 0.05, "0,05"},
      {1, -0.01, "-0,01"},
      {1, 999999999999.99, "999999999999,99"},
      {1, 0.004, "0"},  // the column rounds to its two decimals
      {2, 0.0001, "0,0001"},
      {2, 0.00001, "1E-5"},
      {2, 0.00000015, "1,5E-7"},
      {2, 1.0 / 3.0, "0,3333333333"},
      {2, 123456.1234567891, "123456,123456789"},  // 15 significant digits
      {3, 2.5, "2,5"},
      {3, -7.125, "-7,125"},
      {4, text::Date{2004, 9, 12}, "12.9.2004"},
      {4, text::Date{1, 1, 1}, "1.1.0001"},
      {4, text::Date{9999, 12, 31}, "31.12.9999"},
      {5, cz("Nákup; potraviny;;"), cz("Nákup: potraviny::")},
      {5, std::string("\xFF") + cz("ř"), std::string("\xFF") + cz("ř")},
      {5, std::string("  padded"), std::string("  padded")},
      {6, true, "True"},
      {6, false, "False"},
      {0, kEmpty, " "},
      {4, kEmpty, " "},
      {5, kEmpty, " "},
      {6, kEmpty, " "},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(lineFor(c.column, c.value), only(c.column, c.text)) << "column " << c.column << ": " << c.text;
  }
}

TEST_F(ValueTexts, NumbersAreTheGeneralFormWhateverTheirDigits) {
  // The writer's short way for whole numbers and decimals must give the
  // general form's text for every number a column can hold.
  std::mt19937_64 random(20261207);
  const int columns[] = {0, 1, 2, 3};
  const int decimals[] = {0, 2, 10, 4};
  int checked = 0;
  for (int round = 0; round < 20000; ++round) {
    const int which = static_cast<int>(random() % 4);
    double value = 0;
    switch (random() % 4) {
      case 0: {  // n / 10^k, as typed into the column
        const int digits = 1 + static_cast<int>(random() % 15);
        std::uint64_t n = random() % static_cast<std::uint64_t>(std::pow(10.0, digits));
        value = static_cast<double>(n) / std::pow(10.0, static_cast<double>(random() % (decimals[which] + 1)));
        break;
      }
      case 1:  // any double of a moderate size
        value = std::ldexp(static_cast<double>(random() >> 11), -static_cast<int>(random() % 80));
        break;
      case 2:  // near the limits of 15 digits
        value = 1e15 - static_cast<double>(random() % 1000) / 8.0;
        break;
      default:
        value = static_cast<double>(random() % 100000) / 100.0 + 0.005 * static_cast<double>(random() % 3);
    }
    if (random() % 2) value = -value;
    table_->field(columns[which]).clear();
    try {
      table_->field(columns[which]).setValue(value);
    } catch (const mincar::Error&) {
      continue;  // wider than the column
    }
    const double stored = table_->field(columns[which]).asFloat();
    const std::string line = backup::RecordToText(*table_);
    std::string piece = app::GetToken(line, ';', columns[which]);
    EXPECT_EQ(piece, text::formatNumber(stored, regional_)) << "value " << stored;
    ++checked;
  }
  EXPECT_GT(checked, 10000);
}

// Below 0,0001 the general form is the exponent form (1E-5), also in a
// column whose decimals could hold the plain digits.
TEST(BackupWriter, SmallNumbersTakeTheExponentFormInEveryColumn) {
  TempDir dir;
  ledger::createTable(dir / "fine.dbf", {{"SIX", FieldType::Numeric, 12, 6}, {"EIGHT", FieldType::Numeric, 14, 8}});
  Dataset table("Table1", dir / "fine.dbf", text::Regional::czech());
  table.open();
  table.append();
  struct Case {
    double value;
    const char* text;
  } cases[] = {{0.00001, "1E-5"},   {0.000002, "2E-6"}, {-0.00005, "-5E-5"},
               {0.0001, "0,0001"},  {0.000123, "0,000123"}, {0.5, "0,5"}};
  for (const Case& c : cases) {
    for (int column : {0, 1}) {
      table.field(0).clear();
      table.field(1).clear();
      table.field(column).setValue(c.value);
      EXPECT_EQ(app::GetToken(backup::RecordToText(table), ';', column), c.text) << c.value << " in column " << column;
    }
  }
}

TEST_F(ValueTexts, UnderOtherSettingsNumbersAndDatesFollowThem) {
  regional_ = text::Regional{"MM/dd/yyyy", '.'};
  table_ = std::make_unique<Dataset>("Table1", dir_ / "values.dbf", regional_);
  table_->open();
  table_->append();
  EXPECT_EQ(lineFor(1, 1234.5), only(1, "1234.5"));
  EXPECT_EQ(lineFor(4, text::Date{2026, 12, 7}), only(4, "12/07/2026"));
  // A separator that is the format's own ";" is written as ":", as in any text.
  regional_ = text::Regional{"d;M;yyyy", ';'};
  table_ = std::make_unique<Dataset>("Table1", dir_ / "values.dbf", regional_);
  table_->open();
  table_->append();
  EXPECT_EQ(lineFor(1, 1234.5), only(1, "1234:5"));
  EXPECT_EQ(lineFor(4, text::Date{2026, 12, 7}), only(4, "7:12:2026"));
}

TEST(ReplaceChar, ReplacesUpToTheEndOrAZeroByteAndKeepsTheLength) {
  struct Case {
    std::string text;
    std::string expected;
  } cases[] = {
      {"a;b;;c", "a:b::c"},
      {";", ":"},
      {"", ""},
      {std::string("a;\0;b", 5), std::string("a:\0;b", 5)},
  };
  for (Case& c : cases) {
    std::string text = c.text;
    backup::ReplaceChar(text, ";:");
    EXPECT_EQ(text, c.expected);
  }
}

// --- the walk ----------------------------------------------------------------

class Walk : public ::testing::Test {
 protected:
  void SetUp() override {
    seedRows(dir_.path(), LedgerTable::Journal,
             {{1.0, 1.0, kEmpty, text::Date{2026, 3, 1}, cz("jedna"), 10.0},
              {2.0, 2.0, kEmpty, text::Date{2026, 3, 2}, cz("dva"), 20.0},
              {3.0, 1.0, kEmpty, text::Date{2026, 3, 3}, cz("tři"), 30.0},
              {4.0, 2.0, kEmpty, text::Date{2026, 3, 4}, cz("čtyři"), 40.0}});
    seedRows(dir_.path(), LedgerTable::Moves, {{1.0, cz("Příjem")}, {2.0, cz("Nákup")}});
    seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}, {2.0, cz("Banka")}});
    open_ = std::make_unique<OpenLedger>(dir_.path());
  }
  app::Ledger& ledger() { return open_->ledger; }
  std::string backup() { return backupOf(ledger(), dir_ / "walk.txu"); }

  TempDir dir_;
  std::unique_ptr<OpenLedger> open_;
};

TEST_F(Walk, AJournalFilteredByASearchIsWrittenWholeAndStaysFiltered) {
  Dataset& journal = ledger().journal();
  journal.onFilterRecord = [](Dataset& t) { return t.field(ledger::journal::IDK).asInteger() == 2; };
  journal.refilter();
  ASSERT_EQ(journal.recordCount(), 2);

  const std::string bytes = backup();
  EXPECT_NE(bytes.find(" Denik and have ;4; records "), std::string::npos);
  EXPECT_NE(bytes.find(cz("3;1; ;3.3.2026;tři;30; ; ;")), std::string::npos);

  EXPECT_TRUE(journal.filtered());
  EXPECT_EQ(journal.recordCount(), 2);
  // On the last row the search shows.
  EXPECT_EQ(journal.field(0).asInteger(), 4);
}

TEST_F(Walk, APendingEditIsStoredAndWrittenWithItsNewValues) {
  Dataset& journal = ledger().journal();
  journal.moveTo(1);
  journal.edit();
  journal.field(ledger::journal::TEXT).setAsString(cz("opraveno"));
  const std::string bytes = backup();
  EXPECT_NE(bytes.find(cz("2;2; ;2.3.2026;opraveno;20; ; ;")), std::string::npos);
  EXPECT_EQ(journal.state(), ledger::DatasetState::Browse);
  EXPECT_EQ(storedRows(dir_.path(), LedgerTable::Journal)[1][ledger::journal::TEXT], Value{cz("opraveno")});
}

TEST_F(Walk, EveryTableIsLeftOnItsLastRowAndItsControlsToldOnce) {
  ledger().books().first();
  ledger().moves().first();
  Dataset& moves = ledger().moves();
  std::vector<ledger::DataEvent> heard;
  moves.dataSource().subscribe([&](ledger::DataEvent e) { heard.push_back(e); });
  ledger().books().dataSource().setEnabled(false);

  backup();
  for (Dataset* t : {&ledger().journal(), &ledger().moves(), &ledger().books()}) {
    EXPECT_EQ(t->rowIndex(), t->recordCount() - 1);
  }
  EXPECT_EQ(ledger().books().field(0).asInteger(), 2);
  EXPECT_EQ(ledger().moves().field(0).asInteger(), 2);
  // Not told of every row: once, that everything may differ.
  EXPECT_EQ(heard, std::vector<ledger::DataEvent>{ledger::DataEvent::DataSetChanged});
  EXPECT_TRUE(moves.dataSource().enabled());
  // A data source that was off stays off.
  EXPECT_FALSE(ledger().books().dataSource().enabled());
}

}  // namespace
