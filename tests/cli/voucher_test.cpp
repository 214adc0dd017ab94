// mincar-cli voucher: the voucher of one journal row, from the real program.

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "../print/print_test_support.h"
#include "print_fixtures.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
namespace J = ledger::journal;
using testing_support::readFile;
using testing_support::run;
using testing_support::TempDir;
using text::toCp1250;

fs::path cli() { return testing_support::builtProgram("mincar-cli"); }

// The names of the golden voucher page.
void writeSettings(const fs::path& dir, const std::string& browser,
                   const std::string& firma = "<b>Domácnost Nováků</b><br>Šťastná 12, Ústí nad Labem") {
  testing_support::writePrintSettings(dir, {.firma = firma,
                                            .vystavil = "Jana Nováková",
                                            .schvalil = "Petr Novák",
                                            .prevzal = "Ľubomír Ďurčo",
                                            .browser = browser});
}

// The row of the golden voucher page, among others.
void writeJournal(const fs::path& dir) {
  ASSERT_EQ(run(cli(), {"-C", dir.string(), "init"}).exitCode, 0);
  ledger::Dataset t("Table1", ledger::tablePath(dir, ledger::LedgerTable::Journal),
                    text::Regional::czech());
  t.open();
  struct Row {
    double id;
    const char* text;
    double plus;
    double minus;
  };
  const Row rows[] = {{14, "Výplata", 38250, 0},
                      {15, "Nákup: žluťoučký kůň (xxx9) úpěl ďábelské ódy", 0, 4999.5},
                      {16, "Benzín", 0, 1650}};
  for (const Row& row : rows) {
    t.append();
    t.field(J::ID).setAsFloat(row.id);
    t.field(J::DATUM).setAsString("7.12.2026");
    t.field(J::TEXT).setAsString(toCp1250(row.text));
    if (row.plus != 0) t.field(J::PLUS).setAsFloat(row.plus);
    if (row.minus != 0) t.field(J::MINUS).setAsFloat(row.minus);
    t.post();
  }
}

TEST(CliVoucher, WritesTheVoucherOfTheRowWithTheSavedNamesToOutHtm) {
  TempDir dir;
  writeJournal(dir.path());
  writeSettings(dir.path(), "xdg-open ");
  const auto r = run(cli(), {"-C", dir.path().string(), "voucher", "15"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(readFile(dir / "out.htm"), readFile(testing_support::goldenFile("voucher_page.htm")));
}

TEST(CliVoucher, WritesToTheGivenFileOnly) {
  TempDir dir;
  writeJournal(dir.path());
  writeSettings(dir.path(), "xdg-open ");
  TempDir elsewhere;
  // A relative file is taken from the folder the command runs in.
  const auto r = run(cli(), {"-C", dir.path().string(), "voucher", "15", "-o", "doklad 15.htm"},
                     elsewhere.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(readFile(elsewhere / "doklad 15.htm"), readFile(testing_support::goldenFile("voucher_page.htm")));
  EXPECT_FALSE(fs::exists(dir / "out.htm"));
}

TEST(CliVoucher, WithoutSettingsReportsThemAndLeavesTheNamesEmpty) {
  TempDir dir;
  writeJournal(dir.path());
  const auto r = run(cli(), {"-C", dir.path().string(), "voucher", "14"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Cannot open file " + (dir / "prop1.txt").string() + "\n");
  const std::string page = readFile(dir / "out.htm");
  EXPECT_NE(page.find("<b>P&#345;\xEDjmov\xFD</big><br></big> &#268;\xEDslo: 14</b>"), std::string::npos);
  EXPECT_NE(page.find("<b>38250.0</big></u> K&#269;</b>"), std::string::npos);
  EXPECT_NE(page.find("Organizace: <br/></td>"), std::string::npos);
}

// A row's text and the saved names go into the page as typed: markup shows
// as text, and a marker stays a marker.
TEST(CliVoucher, PrintsTheRowsTextAndTheSavedNamesAsTyped) {
  TempDir dir;
  writeJournal(dir.path());
  {
    ledger::Dataset t("Table1", ledger::tablePath(dir.path(), ledger::LedgerTable::Journal),
                      text::Regional::czech());
    t.open();
    t.append();
    t.field(J::ID).setAsFloat(17);
    t.field(J::TEXT).setAsString(toCp1250("<script>alert(1)</script> & ‹ZŠ Úvoz> xxx9"));
    t.field(J::MINUS).setAsFloat(10);
    t.post();
  }
  testing_support::writePrintSettings(dir.path(), {.firma = "‹ZŠ Úvoz> & <b>spol.</b>",
                                                   .vystavil = "Jana <Nováková>",
                                                   .schvalil = "xxxC",
                                                   .prevzal = "",
                                                   .browser = "xdg-open "});
  const auto r = run(cli(), {"-C", dir.path().string(), "voucher", "17"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  const std::string page = readFile(dir / "out.htm");
  EXPECT_NE(page.find("<b>&lt;script&gt;alert(1)&lt;/script&gt; &amp; \x8BZ&#352; \xDAvoz&gt; xxx9</b>"),
            std::string::npos);
  EXPECT_NE(page.find("Organizace: \x8BZ&#352; \xDAvoz&gt; &amp; <b>spol.</b><br/></td>"),
            std::string::npos);
  EXPECT_NE(page.find(">Jana &lt;Nov\xE1kov\xE1&gt;</td>"), std::string::npos);
  EXPECT_NE(page.find(">xxxC</td>"), std::string::npos);
  EXPECT_EQ(page.find("<script"), std::string::npos);
}

// --open starts the browser of prop1.txt on the page and returns; the page's
// folder reaches it as one argument whatever its name, and runs nothing.
TEST(CliVoucher, OpenStartsTheConfiguredBrowserOnThePage) {
  TempDir sandbox;
  const fs::path dir = sandbox / "Moje finance; $(touch INJECTED) `touch INJECTED`";
  fs::create_directory(dir);
  writeJournal(dir);
  const fs::path args = sandbox / "args";
  writeSettings(dir, print_testing::argumentRecorder(args));

  print_testing::AdoptOrphans adopted;
  const auto r = run(cli(), {"-C", dir.string(), "voucher", "16", "--open"}, sandbox.path());
  ASSERT_EQ(r.exitCode, 0) << r.err;
  ASSERT_TRUE(adopted.waitForAll());
  ASSERT_TRUE(fs::exists(args)) << r.err;
  EXPECT_EQ(readFile(args), "1\nFile://" + (dir / "out.htm").string() + "\n");
  // The status line's last text: the command line, the path quoted.
  EXPECT_EQ(r.err, print_testing::argumentRecorder(args) + " File://'" + (dir / "out.htm").string() +
                       "'\n");
  EXPECT_TRUE(fs::exists(dir / "out.htm"));
  for (const auto& entry : fs::recursive_directory_iterator(sandbox.path())) {
    EXPECT_NE(entry.path().filename(), "INJECTED");
  }
}

TEST(CliVoucher, FailuresWriteNoPageAndStartNoBrowser) {
  TempDir dir;
  writeJournal(dir.path());
  const fs::path ran = dir / "ran";
  writeSettings(dir.path(), "touch " + ran.string() + " ");
  struct Case {
    std::vector<std::string> args;
    int exitCode;
    std::string err;
  };
  const std::string usage = "usage: mincar-cli";
  const Case cases[] = {
      {{"voucher", "99", "--open"}, 1, "No journal row has ID 99\n"},
      {{"voucher", "15", "--open", "-o", (dir / "missing" / "out.htm").string()}, 1,
       "Cannot create file " + (dir / "missing" / "out.htm").string() + "\n"},
      {{"voucher", "x15", "--open"}, 1, "ID: 'x15' is not a valid floating point value\n"},
      {{"voucher"}, 2, "voucher needs a journal row ID\n"},
      {{"voucher", "15", "16"}, 2, "voucher takes one journal row ID, not '16' too\n"},
      {{"voucher", "15", "-o"}, 2, "-o needs a file\n"},
      {{"voucher", "15", "-o", "a", "-o", "b"}, 2, "-o given twice\n"},
      {{"voucher", "15", "--print"}, 2, "unknown option '--print' for voucher\n"},
      {{"voucher", "-x"}, 2, "unknown option '-x' for voucher\n"},
  };
  // Any interpreter that a failed command started would become this
  // process's child: waiting for them all shows whether one ran.
  print_testing::AdoptOrphans adopted;
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-C", dir.path().string()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto r = run(cli(), args);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.args.back();
    EXPECT_EQ(r.err.substr(0, c.err.size()), c.err) << c.args.back();
    if (c.exitCode == 2) {
      EXPECT_NE(r.err.find(usage), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir / "out.htm")) << c.args.back();
    EXPECT_FALSE(fs::exists(dir / "missing")) << c.args.back();
  }
  ASSERT_TRUE(adopted.waitForAll());
  EXPECT_FALSE(fs::exists(ran));
}

}  // namespace

namespace {

// Another user of a shared folder plants links where Mincar writes: at
// out.htm and at a backup's name in data/. Each is replaced by what Mincar
// writes; the private files they point to stay untouched.
TEST(CliLinks, PlantedLinksAreReplacedAndTheFilesTheyNameStayUntouched) {
  TempDir dir;
  writeJournal(dir.path());
  writeSettings(dir.path(), "xdg-open ");
  const fs::path privateFile = dir / "private.txt";
  testing_support::writeFile(privateFile, "private");
  ::chmod(dir.path().c_str(), 0777);
  ::chmod((dir / "data").c_str(), 0777);
  auto plant = [&](const fs::path& link) {
    if (::geteuid() == 0 && fs::exists("/usr/bin/setpriv")) {
      const auto r = run("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "/bin/ln", "-s",
                                              privateFile.string(), link.string()});
      ASSERT_EQ(r.exitCode, 0) << r.err;
    } else {
      fs::create_symlink(privateFile, link);
    }
  };
  const fs::path backup = dir / "data" / "zaloha_8_12_2026.txu";
  plant(dir / "out.htm");
  plant(backup);

  auto r = run(cli(), {"-C", dir.path().string(), "voucher", "15"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(fs::is_symlink(dir / "out.htm"));
  EXPECT_EQ(readFile(dir / "out.htm"), readFile(testing_support::goldenFile("voucher_page.htm")));
  r = run(cli(), {"-C", dir.path().string(), "backup", backup.string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_FALSE(fs::is_symlink(backup));
  EXPECT_NE(readFile(backup).find("Denik"), std::string::npos);
  EXPECT_EQ(readFile(privateFile), "private");
}

}  // namespace
