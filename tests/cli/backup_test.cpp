// mincar-cli backup FILE and restore FILE: the same bytes and the same
// restore as the windows' commands, their texts on standard error, and
// their exit status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "text/cp1250.h"

namespace {

namespace fs = std::filesystem;
using testing_support::run;
using testing_support::TempDir;

fs::path cli() { return testing_support::builtProgram("mincar-cli"); }

class CliBackup : public ::testing::Test {
 protected:
  void SetUp() override {
    // The format's example, made through the commands themselves.
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"add-book", "Hotovost"},
             {"add-move", "Příjem"},
             {"add-move", "Nákup"},
             {"add-row", "--book", "1", "--move", "2", "--date", "12.9.2004", "--text", "Nákup; potraviny", "--minus",
              "350,5"},
             {"recompute"}}) {
      const auto r = cli(args);
      ASSERT_EQ(r.exitCode, 0) << r.err;
    }
  }
  testing_support::RunResult cli(std::vector<std::string> args) {
    args.insert(args.begin(), {"-C", dir_.path().string()});
    return run(::cli(), args);
  }
  std::string golden() {
    return testing_support::readFile(fs::path(MINCAR_SOURCE_DIR) / "tests/backup/golden/example.txu");
  }
  TempDir dir_;
};

TEST_F(CliBackup, WritesTheFormatsBytesAndNamesTheFileItWrote) {
  const auto r = cli({"backup", (dir_ / "zaloha").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The ".txu" rule of the command, and the full name as its last text.
  EXPECT_EQ(r.err, (dir_ / "zaloha.txu").string() + "\n");
  EXPECT_EQ(testing_support::readFile(dir_ / "zaloha.txu"), golden());
}

TEST_F(CliBackup, ARelativeNameIsTakenFromTheCurrentFolder) {
  fs::create_directories(dir_ / "elsewhere");
  const auto r = run(::cli(), {"-C", dir_.path().string(), "backup", "b.txu"}, dir_ / "elsewhere");
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(testing_support::readFile(dir_ / "elsewhere" / "b.txu"), golden());
}

TEST_F(CliBackup, RestoresAFileAndNamesTheCopyTakenBeforeWhichUndoesIt) {
  ASSERT_EQ(cli({"backup", (dir_ / "z.txu").string()}).exitCode, 0);
  ASSERT_EQ(cli({"add-row", "--text", "navíc"}).exitCode, 0);
  ASSERT_EQ(cli({"delete", "books", "1"}).exitCode, 0);
  const std::string journalBefore = cli({"list", "journal"}).out;
  const auto r = cli({"restore", (dir_ / "z.txu").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  // The last status text names the copy of the tables taken before.
  const std::string prefix = "Data před obnovou uložena do " + (dir_ / "data" / "zalohy").string() + "/pred_obnovou_";
  ASSERT_EQ(r.err.rfind(prefix, 0), 0u) << r.err;
  const fs::path kept = r.err.substr(r.err.find(" do ") + 4, r.err.size() - r.err.find(" do ") - 5);
  ASSERT_TRUE(fs::exists(kept)) << kept;
  EXPECT_EQ(cli({"list", "journal"}).out, "1;1;2;12.9.2004;Nákup: potraviny; ;350,5;-350,5;\n");
  EXPECT_EQ(cli({"list", "books"}).out, "1;Hotovost;-350,5;\n");
  EXPECT_EQ(cli({"list", "moves"}).out, "1;Příjem;\n2;Nákup;\n");
  // And that copy undoes the restore.
  ASSERT_EQ(cli({"restore", kept.string()}).exitCode, 0);
  EXPECT_EQ(cli({"list", "journal"}).out, journalBefore);
}

TEST_F(CliBackup, AFileThatDoesNotReadThroughExitsOneWithWhereAndChangesNothing) {
  const fs::path bad = dir_ / "bad.txu";
  testing_support::writeFile(bad, text::toCp1250("######### This is a table Denik and have ;1; records \n\r"
                                                 "1;1;2;12.9.2004;Nákup;x; ; ;\n\r"));
  const std::string before = cli({"list", "journal"}).out;
  const auto r = cli({"restore", bad.string()});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Invalid value for field 'PLUS'\nFile " + bad.string() + ", line 2, column PLUS: 'x'\n");
  EXPECT_EQ(cli({"list", "journal"}).out, before);

  const auto missing = cli({"restore", (dir_ / "missing.txu").string()});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err, "Cannot open file " + (dir_ / "missing.txu").string() + "\n");

  const auto nowhere = cli({"backup", (dir_ / "no folder" / "x.txu").string()});
  EXPECT_EQ(nowhere.exitCode, 1);
  EXPECT_EQ(nowhere.err, "Cannot create file " + (dir_ / "no folder" / "x.txu").string() + "\n");
}

TEST_F(CliBackup, WrongWordsAreUsageErrors) {
  for (const std::vector<std::string>& args :
       std::vector<std::vector<std::string>>{{"backup"}, {"restore"}, {"backup", "a", "b"}, {"restore", "a", "b"}}) {
    const auto r = cli(args);
    EXPECT_EQ(r.exitCode, 2) << args[0];
    EXPECT_NE(r.err.find("usage: mincar-cli"), std::string::npos);
  }
}

}  // namespace

namespace {

// A line break in a text made a backup that could not be restored: typed
// texts are stored as one line, and a row that already holds a break (from
// an older version or another program) is written with blanks for it.
TEST_F(CliBackup, TextsWithLineBreaksAreStoredAsOneLineAndEveryBackupRestores) {
  auto r = cli({"add-row", "--book", "1", "--text", "první\r\ndruhý\nřádek"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  testing_support::seedRows(dir_.path(), ledger::LedgerTable::Journal,
                            {{ledger::Value{9.0}, ledger::Value{1.0}, ledger::Value{}, ledger::Value{},
                              ledger::Value{std::string("star\x9A \r\nradek;x")}}});
  r = cli({"list", "journal"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("první  druhý řádek;"), std::string::npos) << r.out;

  r = cli({"backup", (dir_ / "z.txu").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = cli({"restore", (dir_ / "z.txu").string()});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  r = cli({"list", "journal"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_NE(r.out.find("první  druhý řádek;"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("star\xC5\xA1   radek:x;"), std::string::npos) << r.out;
}

}  // namespace
