// mincar-cli report: the search dialog's criteria as options, its
// recomputation and its page, from the real program.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../print/print_test_support.h"
#include "print_fixtures.h"
#include "test_support.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::run;
using testing_support::TempDir;

fs::path cli() { return testing_support::builtProgram("mincar-cli"); }

// The ledger of the golden report page, with movement kinds 1-4.
void writeLedger(const fs::path& dir) {
  ASSERT_EQ(run(cli(), {"-C", dir.string(), "init"}).exitCode, 0);
  testing_support::seedLedger(dir, testing_support::kGoldenReportJournal, testing_support::kGoldenReportBooks,
                              {{1, "pohyb 1"}, {2, "pohyb 2"}, {3, "pohyb 3"}, {4, "pohyb 4"}});
}

void writeSettings(const fs::path& dir, const std::string& browser) {
  testing_support::writePrintSettings(dir, {.browser = browser});
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
  EXPECT_EQ(readFile(dir / "out.htm"), readFile(testing_support::goldenFile("report_page.htm")));
  // The shown rows got their balances, the hidden one kept none.
  EXPECT_EQ(listJournal(dir.path()),
            "1;1;2;1.12.2026;Výplata za listopad;38250; ;39250,5;\n"
            "2;1;3;2.12.2026;Nákup: žluťoučký kůň úpěl ďábelské ódy; ;1250,5;38000;\n"
            "3;2;3;2.12.2026;Jiná kniha; ;10; ;\n"
            "4;1;4; ;<b>Řádek bez data</b> & 100 % xxx7;12,5;0,25;38012,25;\n"
            "5;1; ;31.12.2026;Ďáblice, Ňůžkov, Ťápkov, Ľubochňa; ; ;38012,25;\n");
}

// Markup, ampersands and markers in the book name, the rows' texts and the
// typed initial balance print as typed: the dialog's golden page of them.
TEST(CliReport, PrintsTheDatasTextsAsTyped) {
  TempDir dir;
  ASSERT_EQ(run(cli(), {"-C", dir.path().string(), "init"}).exitCode, 0);
  testing_support::seedLedger(dir.path(), testing_support::kHostileReportJournal,
                              testing_support::kHostileReportBooks, {{2, "pohyb 2"}, {3, "pohyb 3"}});
  const auto r =
      run(cli(), {"-C", dir.path().string(), "report", "--book", "1", "--start", testing_support::kHostileReportStart});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(dir / "out.htm"), readFile(testing_support::goldenFile("report_hostile.htm")));
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
