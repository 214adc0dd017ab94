// mincar-cli report: the search dialog's criteria as options, its
// recomputation and its page, from the real program.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "../print/print_test_support.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
namespace J = ledger::journal;
using ledger::Dataset;
using ledger::LedgerTable;
using testing_support::readFile;
using testing_support::run;
using testing_support::TempDir;
using text::Date;
using text::toCp1250;

fs::path cli() { return testing_support::builtProgram("mincar-cli"); }

fs::path goldenPage() {
  return fs::path(MINCAR_SOURCE_DIR) / "tests" / "print" / "golden" / "report_page.htm";
}

struct JournalRow {
  double id = 0;
  std::optional<double> idk{};
  std::optional<double> idm{};
  std::optional<Date> datum{};
  const char* text = "";  // UTF-8
  std::optional<double> plus{};
  std::optional<double> minus{};
};

void setIf(Dataset& table, int column, const std::optional<double>& value) {
  if (value) table.field(column).setAsFloat(*value);
}

// The ledger of the golden report page: two books, movement kinds 1-4, and
// journal rows with Czech letters, markup, a row without a date and one
// without amounts.
void writeLedger(const fs::path& dir) {
  ASSERT_EQ(run(cli(), {"-C", dir.string(), "init"}).exitCode, 0);
  const text::Regional regional = text::Regional::czech();
  {
    Dataset books("seed", ledger::tablePath(dir, LedgerTable::Books), regional);
    books.open();
    for (const auto& [id, name] : {std::pair{1.0, "Hotovost – Šťastná rodina"}, std::pair{2.0, "Banka"}}) {
      books.append();
      books.field(ledger::books::ID).setAsFloat(id);
      books.field(ledger::books::TEXT).setAsString(toCp1250(name));
      books.post();
    }
    Dataset moves("seed", ledger::tablePath(dir, LedgerTable::Moves), regional);
    moves.open();
    for (double id : {1.0, 2.0, 3.0, 4.0}) {
      moves.append();
      moves.field(ledger::moves::ID).setAsFloat(id);
      moves.field(ledger::moves::TEXT).setAsString("pohyb " + std::to_string(static_cast<int>(id)));
      moves.post();
    }
  }
  const JournalRow rows[] = {
      {.id = 1, .idk = 1, .idm = 2, .datum = Date{2026, 12, 1}, .text = "Výplata za listopad", .plus = 38250},
      {.id = 2, .idk = 1, .idm = 3, .datum = Date{2026, 12, 2}, .text = "Nákup: žluťoučký kůň úpěl ďábelské ódy",
       .minus = 1250.5},
      {.id = 3, .idk = 2, .idm = 3, .datum = Date{2026, 12, 2}, .text = "Jiná kniha", .minus = 10},
      {.id = 4, .idk = 1, .idm = 4, .text = "<b>Řádek bez data</b> & 100 % xxx7", .plus = 12.5, .minus = 0.25},
      {.id = 5, .idk = 1, .datum = Date{2026, 12, 31}, .text = "Ďáblice, Ňůžkov, Ťápkov, Ľubochňa"},
  };
  Dataset journal("seed", ledger::tablePath(dir, LedgerTable::Journal), regional);
  journal.open();
  for (const JournalRow& row : rows) {
    journal.append();
    journal.field(J::ID).setAsFloat(row.id);
    setIf(journal, J::IDK, row.idk);
    setIf(journal, J::IDM, row.idm);
    if (row.datum) journal.field(J::DATUM).setValue(*row.datum);
    journal.field(J::TEXT).setAsString(toCp1250(row.text));
    setIf(journal, J::PLUS, row.plus);
    setIf(journal, J::MINUS, row.minus);
    journal.post();
  }
}

// prop1.txt as the windows write it: Windows-1250, LF CR.
void writeSettings(const fs::path& dir, const std::string& browser) {
  const std::string lines[8][2] = {
      {"Firma =", " "},           {"Vystavil =", " "},          {"Schvalil =", " "},
      {"Prevzal =", " "},         {"Datum od =", "1.12.2026"},  {"Datum do =", "31.12.2026"},
      {"Browser =", browser},     {"Filespec =", "File://"}};
  std::string bytes;
  for (const auto& line : lines) bytes += line[0] + ";" + line[1] + ";\n\r";
  testing_support::writeFile(dir / "prop1.txt", toCp1250(bytes));
}

std::string listJournal(const fs::path& dir) {
  const auto r = run(cli(), {"-C", dir.string(), "list", "journal"});
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return r.out;
}

// The rows a page shows, by the cells of their numbers.
std::vector<int> pageRows(const std::string& page) {
  std::vector<int> ids;
  const std::string opening = "   <tr>\n    <td align=\"center\">";
  for (std::size_t at = page.find(opening); at != std::string::npos; at = page.find(opening, at + 1)) {
    const std::size_t from = at + opening.size();
    const std::size_t to = page.find("&nbsp;", from);
    if (to == std::string::npos || page.compare(from, 2, "&#") == 0) continue;  // the heading row
    ids.push_back(std::stoi(page.substr(from, to - from)));
  }
  return ids;
}

TEST(CliReport, GivesTheSamePageAsTheDialogForTheSameCriteria) {
  TempDir dir;
  writeLedger(dir.path());
  const auto r = run(cli(), {"-C", dir.path().string(), "report", "--book", "1", "--to", "31.12.2026",
                             "--start", "1000,5", "--recompute"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(dir / "out.htm"), readFile(goldenPage()));
  // The shown rows got their balances, the hidden one kept none.
  EXPECT_EQ(listJournal(dir.path()),
            "1;1;2;1.12.2026;Výplata za listopad;38250; ;39250,5;\n"
            "2;1;3;2.12.2026;Nákup: žluťoučký kůň úpěl ďábelské ódy; ;1250,5;38000;\n"
            "3;2;3;2.12.2026;Jiná kniha; ;10; ;\n"
            "4;1;4; ;<b>Řádek bez data</b> & 100 % xxx7;12,5;0,25;38012,25;\n"
            "5;1; ;31.12.2026;Ďáblice, Ňůžkov, Ťápkov, Ľubochňa; ; ;38012,25;\n");
}

TEST(CliReport, EachOptionIsOneCriterionInForce) {
  TempDir dir;
  writeLedger(dir.path());
  struct Case {
    std::vector<std::string> options;
    std::vector<int> shown;
  };
  const Case cases[] = {
      {{}, {1, 2, 3, 4, 5}},
      {{"--text", "NÁK"}, {2}},
      {{"--text", "nak"}, {}},
      {{"--text", " kniha"}, {3}},
      {{"--text", ""}, {1, 2, 3, 4, 5}},
      {{"--from", "2.12.2026"}, {2, 3, 5}},
      {{"--to", "2.12.2026"}, {1, 2, 3, 4}},
      {{"--from", "2.12.2026", "--to", "2.12.2026"}, {2, 3}},
      {{"--from", "3.12.2026", "--to", "2.12.2026"}, {}},
      {{"--move", "3"}, {2, 3}},
      {{"--book", "2"}, {3}},
      {{"--move", "3", "--book", "1", "--text", "ž"}, {2}},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-C", dir.path().string(), "report"};
    args.insert(args.end(), c.options.begin(), c.options.end());
    const auto r = run(cli(), args);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(pageRows(readFile(dir / "out.htm")), c.shown) << testing::PrintToString(c.options);
  }
  // Without --recompute no balance changes.
  EXPECT_EQ(listJournal(dir.path()).find("38000"), std::string::npos);
}

TEST(CliReport, PrintsTheInitialBalanceAsTypedAndWritesToTheGivenFile) {
  TempDir dir;
  writeLedger(dir.path());
  TempDir elsewhere;
  const auto r = run(cli(), {"-C", dir.path().string(), "report", "--start", "sto korun", "-o", "kniha.htm",
                             "--text", "-x"},
                     elsewhere.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(readFile(elsewhere / "kniha.htm").find("<b>sto korun</b>"), std::string::npos);
  EXPECT_FALSE(fs::exists(dir / "out.htm"));
}

TEST(CliReport, OpenStartsTheConfiguredBrowserOnThePage) {
  TempDir dir;
  writeLedger(dir.path());
  const fs::path args = dir / "args";
  writeSettings(dir.path(), print_testing::argumentRecorder(args));
  print_testing::AdoptOrphans adopted;
  const auto r = run(cli(), {"-C", dir.path().string(), "report", "--book", "2", "--open"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(adopted.waitForAll());
  ASSERT_TRUE(fs::exists(args)) << r.err;
  EXPECT_EQ(readFile(args), "1\nFile://" + (dir / "out.htm").string() + "\n");
  EXPECT_EQ(r.err, print_testing::argumentRecorder(args) + " File://" + (dir / "out.htm").string() + "\n");
  EXPECT_EQ(pageRows(readFile(dir / "out.htm")), std::vector<int>{3});
}

TEST(CliReport, FailuresWriteNoPageStartNoBrowserAndChangeNoRow) {
  TempDir dir;
  writeLedger(dir.path());
  const fs::path ran = dir / "ran";
  writeSettings(dir.path(), "touch " + ran.string() + " ");
  const std::string before = listJournal(dir.path());
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  };
  const Case cases[] = {
      {{"--start", "1.5", "--recompute", "--open"}, 1, "--start: '1.5' is not a valid floating point value\n"},
      {{"--recompute", "--start", "", "--open"}, 1, "--start: '' is not a valid floating point value\n"},
      {{"--move", "9", "--recompute", "--open"}, 1, "No movement has ID 9\n"},
      {{"--book", "x", "--open"}, 1, "--book: 'x' is not a valid floating point value\n"},
      {{"--from", "32.12.2026", "--open"}, 1, "--from: '32.12.2026' is not a valid date and time\n"},
      {{"--to", "zítra", "--open"}, 1, "--to: 'zítra' is not a valid date and time\n"},
      {{"--text", "Ж", "--open"}, 1, "--text: "},
      {{"--text", "nák", "--open", "-o", (dir / "missing" / "out.htm").string()}, 1,
       "Cannot create file " + (dir / "missing" / "out.htm").string() + "\n"},
      {{"--text"}, 2, "--text needs a value\n"},
      {{"-o"}, 2, "-o needs a file\n"},
      {{"--book", "1", "--book", "2"}, 2, "--book given twice\n"},
      {{"-o", "a", "-o", "b"}, 2, "-o given twice\n"},
      {{"--print"}, 2, "unknown option '--print' for report\n"},
      {{"1"}, 2, "report takes no argument '1'\n"},
  };
  print_testing::AdoptOrphans adopted;
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-C", dir.path().string(), "report"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run(cli(), args);
    const std::string what = testing::PrintToString(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << what << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << what;
    if (c.exitCode == 2) {
      EXPECT_NE(r.err.find("usage: mincar-cli"), std::string::npos) << what;
    }
    EXPECT_FALSE(fs::exists(dir / "out.htm")) << what;
    EXPECT_FALSE(fs::exists(dir / "missing")) << what;
  }
  ASSERT_TRUE(adopted.waitForAll());
  EXPECT_FALSE(fs::exists(ran));
  EXPECT_EQ(listJournal(dir.path()), before);
}

}  // namespace
