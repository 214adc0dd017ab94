// The CSV export of the shown rows: its fields and bytes, a file that cannot
// be written, and the file as Python's csv module and LibreOffice read it.

#include "print/csv_export.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ledger/ledger_tables.h"
#include "print/book_search.h"
#include "print_fixtures.h"
#include "print_test_support.h"
#include "test_support.h"
#include "text/cp1250.h"

namespace {

namespace fs = std::filesystem;
using print::SearchCriteria;
using testing_support::JournalRow;
using testing_support::readFile;
using testing_support::run;
using testing_support::TempDir;
using text::Date;

const fs::path kPython = "/usr/bin/python3";
using print_testing::kSoffice;

TEST(CsvField, QuotesOnlyWhatASeparatorQuoteOrLineBreakWouldBreak) {
  struct Case {
    const char* field;
    const char* expected;
  };
  const Case cases[] = {
      {"", ""},
      {"Nákup potravin", "Nákup potravin"},
      {"a;b", "\"a;b\""},
      {"Elektřina \"ČEZ\"", "\"Elektřina \"\"ČEZ\"\"\""},
      {"\"", "\"\"\"\""},
      {"Dárek\npro babičku", "\"Dárek\npro babičku\""},
      {"CR\r", "\"CR\r\""},
      {"  blanks kept  ", "  blanks kept  "},
      {"a,b", "a,b"},
      {"<b>Tom & Jerry</b>", "<b>Tom & Jerry</b>"},
      {"&amp;", "\"&amp;\""},
  };
  for (const Case& c : cases) EXPECT_EQ(print::CsvField(c.field), c.expected) << c.field;
}

// Rows with every kind of text and number the export must carry over: a
// book and a kind the lists lack, an empty date, amounts with and without
// decimals, a balance below zero.
const std::vector<JournalRow> kRows = {
    {.id = 1, .idk = 1, .idm = 1, .datum = Date{2026, 1, 5}, .text = "Výplata", .plus = 38250, .zustatek = 38250},
    {.id = 2, .idk = 2, .idm = 2, .datum = Date{2026, 12, 31}, .text = "Nájem; záloha \"leden\"", .minus = 1250.5,
     .zustatek = -1250.5},
    {.id = 3, .idk = 7, .idm = 9, .text = "Dárek\npro babičku\r\nz Ústí", .plus = 0.1, .minus = 0.2},
    {.id = 4, .idk = 1, .datum = Date{2026, 2, 9}, .text = "  =1+1", .minus = 999999999999.99},
};

class CsvExport : public testing_support::LedgerFolderTest {
 protected:
  void SetUp() override {
    testing_support::seedLedger(dir_.path(), kRows, {{1, "Hotovost"}, {2, "Účet; banka"}},
                                {{1, "Výplata"}, {2, "Bydlení \"nájem\""}});
    openLedger();
    search_ = std::make_unique<print::BookSearch>(*ledger_);
  }
};

TEST_F(CsvExport, WritesTheShownRowsWithNamesCzechDatesAndNumbersInUtf8WithABom) {
  EXPECT_EQ(print::WriteCsvExport(*ledger_, dir_ / "deník.csv"), 4);
  EXPECT_EQ(readFile(dir_ / "deník.csv"),
            "\xEF\xBB\xBF"
            "Číslo;Datum;Kniha;Název knihy;Pohyb;Název pohybu;Text;Plus;Minus;Zůstatek\r\n"
            "1;5.1.2026;1;Hotovost;1;Výplata;Výplata;38250;;38250\r\n"
            "2;31.12.2026;2;\"Účet; banka\";2;\"Bydlení \"\"nájem\"\"\";\"Nájem; záloha \"\"leden\"\"\";;1250,5;-1250,5\r\n"
            "3;;7;;9;;\"Dárek\npro babičku\r\nz Ústí\";0,1;0,2;\r\n"
            "4;9.2.2026;1;Hotovost;;;  =1+1;;999999999999,99;\r\n");
  // The journal is where the grid starts.
  EXPECT_EQ(ledger_->journal().field(ledger::journal::ID).asInteger(), 1);
}

TEST_F(CsvExport, WritesOnlyTheRowsTheSearchShows) {
  SearchCriteria criteria;
  criteria.toDate = {2026, 2, 1};
  criteria.toDateOn = true;
  search_->setCriteria(criteria);
  search_->ApplyFilter();
  EXPECT_EQ(print::WriteCsvExport(*ledger_, dir_ / "out.csv"), 2);
  const std::string bytes = readFile(dir_ / "out.csv");
  EXPECT_NE(bytes.find("\r\n1;5.1.2026;"), std::string::npos);
  EXPECT_NE(bytes.find("\r\n3;;7;"), std::string::npos);  // no date: earlier than any
  EXPECT_EQ(bytes.find("\r\n2;"), std::string::npos);
  EXPECT_EQ(bytes.find("\r\n4;"), std::string::npos);
}

TEST_F(CsvExport, AFileThatCannotBeWrittenIsReportedAndTheOldOneStays) {
  testing_support::writeFile(dir_ / "out.csv", "old");
  const fs::path missing = dir_ / "missing" / "out.csv";
  EXPECT_EQ(testing_support::errorOf([&] { print::WriteCsvExport(*ledger_, missing); }),
            "Cannot create file " + missing.string());
  EXPECT_FALSE(fs::exists(missing));
  EXPECT_EQ(testing_support::errorOf([&] { print::WriteCsvExport(*ledger_, dir_.path()); }),
            "Cannot create file " + dir_.path().string());
  EXPECT_EQ(readFile(dir_ / "out.csv"), "old");
  // A full disk: nothing is left, neither the file nor a temporary.
  if (fs::exists("/dev/full")) {
    EXPECT_NE(testing_support::errorOf([&] { print::WriteCsvExport(*ledger_, "/dev/full"); }), "(no error)");
  }
  std::size_t files = 0;
  for (const auto& entry : fs::directory_iterator(dir_.path())) files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 1u);  // out.csv alone
}

// Python's csv module gives back every field exactly as stored.
TEST_F(CsvExport, PythonsCsvModuleReadsEveryFieldAsStored) {
  print::WriteCsvExport(*ledger_, dir_ / "out.csv");
  const char* script = R"py(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    for row in csv.reader(f, delimiter=';'):
        print(repr(row))
)py";
  testing_support::writeFile(dir_ / "read.py", script);
  const testing_support::RunResult result = run(kPython, {(dir_ / "read.py").string(), (dir_ / "out.csv").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out,
            "['Číslo', 'Datum', 'Kniha', 'Název knihy', 'Pohyb', 'Název pohybu', 'Text', 'Plus', 'Minus', 'Zůstatek']\n"
            "['1', '5.1.2026', '1', 'Hotovost', '1', 'Výplata', 'Výplata', '38250', '', '38250']\n"
            "['2', '31.12.2026', '2', 'Účet; banka', '2', 'Bydlení \"nájem\"', 'Nájem; záloha \"leden\"', '', "
            "'1250,5', '-1250,5']\n"
            "['3', '', '7', '', '9', '', 'Dárek\\npro babičku\\r\\nz Ústí', '0,1', '0,2', '']\n"
            "['4', '9.2.2026', '1', 'Hotovost', '', '', '  =1+1', '', '999999999999,99', '']\n");
}

// LibreOffice opens the file as a Czech user would (';', UTF-8, Czech
// settings) and saves it again with its own formats: the numbers and dates
// come back as the numbers and dates it read them as, the texts as stored.
TEST_F(CsvExport, LibreOfficeReadsTheNumbersAndDatesAsNumbersAndDates) {
  if (!fs::exists(kSoffice)) GTEST_SKIP() << "LibreOffice is not installed (Debian: libreoffice-calc-nogui)";
  print::WriteCsvExport(*ledger_, dir_ / "out.csv");
  const testing_support::RunResult converted =
      print_testing::resaveWithLibreOffice(dir_ / "out.csv", dir_ / "lo");
  ASSERT_TRUE(fs::exists(dir_ / "lo" / "out.csv")) << converted.out << converted.err;
  const char* script = R"py(
import csv, sys
with open(sys.argv[1], newline='', encoding='utf-8-sig') as f:
    for row in csv.reader(f, delimiter=';'):
        print(repr(row))
)py";
  testing_support::writeFile(dir_ / "read.py", script);
  const testing_support::RunResult result =
      run(kPython, {(dir_ / "read.py").string(), (dir_ / "lo" / "out.csv").string()});
  ASSERT_EQ(result.exitCode, 0) << result.err;
  // Saved in US formats: a decimal point and month/day/year prove that the
  // cells were numbers and dates, not texts. A cell keeps a line break as
  // LF alone, so the stored CR LF comes back as LF.
  EXPECT_EQ(result.out,
            "['Číslo', 'Datum', 'Kniha', 'Název knihy', 'Pohyb', 'Název pohybu', 'Text', 'Plus', 'Minus', 'Zůstatek']\n"
            "['1', '01/05/2026', '1', 'Hotovost', '1', 'Výplata', 'Výplata', '38250', '', '38250']\n"
            "['2', '12/31/2026', '2', 'Účet; banka', '2', 'Bydlení \"nájem\"', 'Nájem; záloha \"leden\"', '', "
            "'1250.5', '-1250.5']\n"
            "['3', '', '7', '', '9', '', 'Dárek\\npro babičku\\nz Ústí', '0.1', '0.2', '']\n"
            "['4', '02/09/2026', '1', 'Hotovost', '', '', '  =1+1', '', '999999999999.99', '']\n");
}

}  // namespace
