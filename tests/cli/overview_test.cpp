// mincar-cli overview and export: the search dialog's criteria as options,
// the same page and file as the windows make, from the real program.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "../print/print_test_support.h"
#include "app/ledger.h"
#include "print/book_search.h"
#include "print/csv_export.h"
#include "print/czech_html.h"
#include "print/overview.h"
#include "print_fixtures.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using testing_support::readFile;
using testing_support::run;
using testing_support::TempDir;

fs::path cli() { return testing_support::builtProgram("mincar-cli"); }

void writeLedger(const fs::path& dir) {
  ASSERT_EQ(run(cli(), {"-C", dir.string(), "init"}).exitCode, 0);
  testing_support::seedLedger(dir, testing_support::kGoldenReportJournal, testing_support::kGoldenReportBooks,
                              {{1, "pohyb 1"}, {2, "Výplata"}, {3, "Nákupy"}, {4, "pohyb 4"}});
}

// What the windows write for the same criteria: the search dialog's core
// over the same folder, book 1 chosen, up to the year's end.
struct DialogPages {
  std::string overview;
  std::string csv;
};
DialogPages dialogPages(const fs::path& dir) {
  app::RecordingStatusLine status;
  app::Ledger ledger(dir, text::Regional::czech(), status);
  ledger.openForReading();
  print::BookSearch search(ledger);
  ledger::Dataset& books = ledger.books();
  for (books.first(); !books.eof() && books.field(0).asInteger() != 1; books.next()) {
  }
  print::SearchCriteria criteria;
  criteria.bookOn = true;
  criteria.toDate = {2026, 12, 31};
  criteria.toDateOn = true;
  search.setCriteria(criteria);
  search.ApplyFilter();
  TempDir out;
  print::WriteOverview(search, out / "overview.htm");
  print::WriteCsvExport(ledger, out / "export.csv");
  return {readFile(out / "overview.htm"), readFile(out / "export.csv")};
}

TEST(CliOverview, GivesTheSamePageAndFileAsTheDialogForTheSameCriteria) {
  TempDir dir;
  writeLedger(dir.path());
  const DialogPages dialog = dialogPages(dir.path());

  auto r = run(cli(), {"-C", dir.path().string(), "overview", "--book", "1", "--to", "31.12.2026"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(readFile(dir / "out.htm"), dialog.overview);
  EXPECT_NE(dialog.overview.find("Kniha: Hotovost"), std::string::npos);

  TempDir elsewhere;
  r = run(cli(), {"-C", dir.path().string(), "export", "--book", "1", "--to", "31.12.2026", "-o", "kniha.csv"},
          elsewhere.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "4\n");
  EXPECT_EQ(readFile(elsewhere / "kniha.csv"), dialog.csv);
  EXPECT_NE(dialog.csv.find("Výplata za listopad"), std::string::npos);
}

TEST(CliOverview, EachOptionIsOneCriterionInForce) {
  TempDir dir;
  writeLedger(dir.path());
  struct Case {
    std::vector<std::string> args;
    const char* rows;
  };
  const Case cases[] = {
      {{}, "5"},
      {{"--book", "2"}, "1"},
      {{"--move", "3"}, "2"},
      {{"--from", "2.12.2026"}, "3"},
      {{"--from", "2.12.2026", "--to", "2.12.2026"}, "2"},
      {{"--text", "NÁKUP"}, "1"},
      {{"--text", ""}, "5"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-C", dir.path().string(), "export", "-o", (dir / "out.csv").string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run(cli(), args);
    EXPECT_EQ(r.exitCode, 0) << testing::PrintToString(c.args) << r.err;
    EXPECT_EQ(r.out, std::string(c.rows) + "\n") << testing::PrintToString(c.args);

    args = {"-C", dir.path().string(), "overview"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto page = run(cli(), args);
    EXPECT_EQ(page.exitCode, 0) << page.err;
    EXPECT_NE(readFile(dir / "out.htm").find(print::CzechToHtml(text::toCp1250("Řádků: ")) + c.rows),
              std::string::npos)
        << testing::PrintToString(c.args);
  }
}

TEST(CliOverview, OpenStartsTheConfiguredBrowserOnThePage) {
  TempDir dir;
  writeLedger(dir.path());
  const fs::path args = dir / "args";
  testing_support::writePrintSettings(dir.path(), {.browser = print_testing::argumentRecorder(args)});
  print_testing::AdoptOrphans adopted;
  const auto r = run(cli(), {"-C", dir.path().string(), "overview", "-o", "prehled.htm", "--open"}, dir.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(adopted.waitForAll());
  ASSERT_TRUE(fs::exists(args)) << r.err;
  EXPECT_EQ(readFile(args), "1\nFile://" + (dir / "prehled.htm").string() + "\n");
  EXPECT_TRUE(fs::exists(dir / "prehled.htm"));
}

TEST(CliOverview, FailuresWriteNothingAndStartNoBrowser) {
  TempDir dir;
  writeLedger(dir.path());
  const fs::path ran = dir / "ran";
  testing_support::writePrintSettings(dir.path(), {.browser = "touch " + ran.string() + " "});
  const fs::path csv = dir / "out.csv";
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  };
  const Case cases[] = {
      {{"overview", "--move", "9", "--open"}, 1, "No movement has ID 9\n"},
      {{"overview", "--book", "x", "--open"}, 1, "--book: 'x' is not a valid floating point value\n"},
      {{"overview", "--from", "32.12.2026", "--open"}, 1, "--from: '32.12.2026' is not a valid date and time\n"},
      {{"overview", "--text", "Ж", "--open"}, 1, "--text: "},
      {{"overview", "--open", "-o", (dir / "missing" / "out.htm").string()}, 1,
       "Cannot create file " + (dir / "missing" / "out.htm").string() + "\n"},
      {{"overview", "--start", "5"}, 2, "unknown option '--start' for overview\n"},
      {{"overview", "1"}, 2, "overview takes no argument '1'\n"},
      {{"export"}, 2, "export needs -o FILE.csv\n"},
      {{"export", "-o", csv.string(), "--book", "7"}, 1, "No book has ID 7\n"},
      {{"export", "-o", csv.string(), "--to", "zítra"}, 1, "--to: 'zítra' is not a valid date and time\n"},
      {{"export", "-o", (dir / "missing" / "out.csv").string()}, 1,
       "Cannot create file " + (dir / "missing" / "out.csv").string() + "\n"},
      {{"export", "-o", csv.string(), "--open"}, 2, "unknown option '--open' for export\n"},
      {{"export", "-o", csv.string(), "x"}, 2, "export takes no argument 'x'\n"},
  };
  print_testing::AdoptOrphans adopted;
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-C", dir.path().string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run(cli(), args);
    const std::string what = testing::PrintToString(c.args);
    EXPECT_EQ(r.exitCode, c.exitCode) << what << r.err;
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << what;
    if (c.exitCode == 2) {
      EXPECT_NE(r.err.find("usage: mincar-cli"), std::string::npos) << what;
    }
    EXPECT_FALSE(fs::exists(dir / "out.htm")) << what;
    EXPECT_FALSE(fs::exists(csv)) << what;
    EXPECT_FALSE(fs::exists(dir / "missing")) << what;
  }
  ASSERT_TRUE(adopted.waitForAll());
  EXPECT_FALSE(fs::exists(ran));
}

}  // namespace
