// mincar-cli deleted, undelete and backup --daily: deleted rows listed and
// taken back with their numbers, and the day's backup, written once however
// many processes start at the same moment.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "backup/daily_backup.h"
#include "ledger/dataset.h"
#include "test_support.h"
#include "text/date.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using testing_support::run;
using testing_support::RunResult;
using testing_support::TempDir;

fs::path cli() { return testing_support::builtProgram("mincar-cli"); }

class CliSafetyNets : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"add-book", "Hotovost"},
             {"add-book", "Banka"},
             {"add-move", "Nákup"},
             {"add-row", "--date", "1.12.2026", "--text", "chléb", "--minus", "35"},
             {"add-row", "--date", "2.12.2026", "--text", "mléko; máslo", "--minus", "60,5"},
             {"add-row", "--date", "3.12.2026", "--text", "výplata", "--plus", "30000"}}) {
      const RunResult r = cli(args);
      ASSERT_EQ(r.exitCode, 0) << r.err;
    }
  }
  RunResult cli(std::vector<std::string> args, const fs::path& workDir = {}) {
    args.insert(args.begin(), {"-C", (workDir.empty() ? dir_.path() : workDir).string()});
    return run(::cli(), args);
  }
  std::string list(const char* table) { return cli({"list", table}).out; }
  fs::path daily() const {
    return dir_ / "data" / "zalohy" / backup::DailyBackupName(text::Date::today());
  }
  TempDir dir_;
};

TEST_F(CliSafetyNets, ADeletedJournalRowIsListedAndComesBackWithItsNumber) {
  const std::string before = list("journal");
  ASSERT_EQ(cli({"delete", "journal", "2"}).exitCode, 0);
  RunResult r = cli({"deleted", "journal"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2\t2;1;1;2.12.2026;mléko: máslo; ;60,5; ;\n");
  EXPECT_EQ(cli({"deleted", "books"}).out, "");
  r = cli({"undelete", "journal", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2\n");
  EXPECT_EQ(r.err, "Záznam obnoven s číslem 2; zůstatky je třeba přepočítat...\n");
  EXPECT_EQ(list("journal"), before);
  EXPECT_EQ(cli({"deleted", "journal"}).out, "");
}

TEST_F(CliSafetyNets, ANumberTakenMeanwhileGivesTheRowTheNextNewNumber) {
  ASSERT_EQ(cli({"delete", "journal", "3"}).exitCode, 0);
  ASSERT_EQ(cli({"add-row", "--date", "4.12.2026", "--text", "nájem", "--minus", "9000"}).out, "3\n");
  const RunResult r = cli({"undelete", "journal", "3"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "4\n");
  EXPECT_EQ(r.err, "Záznam obnoven s novým číslem 4: číslo 3 mezitím dostal jiný záznam; zůstatky je třeba "
                   "přepočítat...\n");
  // Back in its place in the natural order, before the row added since.
  EXPECT_EQ(list("journal"),
            "1;1;1;1.12.2026;chléb; ;35; ;\n"
            "2;1;1;2.12.2026;mléko: máslo; ;60,5; ;\n"
            "4;1;1;3.12.2026;výplata;30000; ; ;\n"
            "3;1;1;4.12.2026;nájem; ;9000; ;\n");
}

TEST_F(CliSafetyNets, ADeletedBookComesBackWithItsNumberOrANewOne) {
  ASSERT_EQ(cli({"delete", "books", "2"}).exitCode, 0);
  EXPECT_EQ(cli({"deleted", "books"}).out, "2\t2;Banka; ;\n");
  RunResult r = cli({"undelete", "books", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "2\n");
  EXPECT_EQ(list("books"), "1;Hotovost; ;\n2;Banka; ;\n");

  ASSERT_EQ(cli({"delete", "books", "2"}).exitCode, 0);
  ASSERT_EQ(cli({"add-book", "Spoření"}).out, "2\n");
  r = cli({"undelete", "books", "2"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.out, "3\n");
  EXPECT_EQ(list("books"), "1;Hotovost; ;\n3;Banka; ;\n2;Spoření; ;\n");

  ASSERT_EQ(cli({"delete", "moves", "1"}).exitCode, 0);
  r = cli({"undelete", "moves", "1"});
  EXPECT_EQ(r.out, "1\n");
  EXPECT_EQ(r.err, "Záznam obnoven s číslem 1\n");
}

TEST_F(CliSafetyNets, ARecordThatIsNotDeletedOrNotThereIsNamed) {
  const fs::path journal = dir_ / "data" / "peden.dbf";
  RunResult r = cli({"undelete", "journal", "1"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Record 1 of " + journal.string() + " is not deleted\n");
  r = cli({"undelete", "journal", "4"});
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "There is no record 4 in " + journal.string() + ", which holds 3 records\n");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"undelete", "journal", "0"},
           {"undelete", "journal", "x"},
           {"undelete", "journal"},
           {"undelete", "cash", "1"},
           {"deleted"},
           {"deleted", "journal", "1"}}) {
    r = cli(args);
    EXPECT_EQ(r.exitCode, 2) << args.back();
    EXPECT_NE(r.err.find("usage: mincar-cli"), std::string::npos);
  }
  EXPECT_EQ(cli({"undelete", "journal", "0"}).err.substr(0, 42), "RECNO must be a record number from 1, not ");
}

TEST_F(CliSafetyNets, TheDailyBackupIsTheBackupOfTheDayWrittenOnce) {
  ASSERT_EQ(cli({"backup", (dir_ / "plain.txu").string()}).exitCode, 0);
  RunResult r = cli({"backup", "--daily"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Denní záloha uložena do " + daily().string() + "\n");
  EXPECT_EQ(testing_support::readFile(daily()), testing_support::readFile(dir_ / "plain.txu"));
  ASSERT_EQ(cli({"add-row", "--text", "později"}).exitCode, 0);
  r = cli({"backup", "--daily"});
  ASSERT_EQ(r.exitCode, 0) << r.err;
  EXPECT_EQ(r.err, "Denní záloha " + daily().string() + " už existuje\n");
  EXPECT_EQ(testing_support::readFile(daily()), testing_support::readFile(dir_ / "plain.txu"));
  r = cli({"backup", "--daily", "x.txu"});
  EXPECT_EQ(r.exitCode, 2);
  r = cli({"backup", "--daily"}, dir_ / "missing");
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Folder " + (dir_ / "missing").string() + " does not exist\n");
}

TEST_F(CliSafetyNets, TwoProcessesStartingTogetherLeaveOneWholeBackup) {
  // A journal big enough that writing it takes some milliseconds, so that
  // the two overlap.
  {
    ledger::Dataset journal("Table1", dir_ / "data" / "peden.dbf", text::Regional::czech());
    journal.open();
    journal.beginSyncBatch();
    for (int i = 0; i < 20000; ++i) {
      journal.append();
      journal.field(0).setAsFloat(10 + i);
      journal.field(4).setAsString("row " + std::to_string(i));
      journal.field(6).setAsFloat(i / 100.0);
      journal.post();
    }
    journal.endSyncBatch();
  }
  const fs::path expected = dir_ / "expected.txu";
  ASSERT_EQ(cli({"backup", expected.string()}).exitCode, 0);
  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    std::error_code ignored;
    fs::remove_all(dir_ / "data" / "zalohy", ignored);
    RunResult first, second;
    std::thread a([&] { first = cli({"backup", "--daily"}); });
    std::thread b([&] { second = cli({"backup", "--daily"}); });
    a.join();
    b.join();
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_EQ(second.exitCode, 0) << second.err;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir_ / "data" / "zalohy")) {
      names.push_back(entry.path().filename().string());
    }
    // One file, whole, and no temporary beside it.
    EXPECT_EQ(names, std::vector<std::string>{daily().filename().string()});
    EXPECT_EQ(testing_support::readFile(daily()), testing_support::readFile(expected));
    // One of them wrote it, the other found it there.
    const std::string wrote = "Denní záloha uložena do " + daily().string() + "\n";
    const std::string found = "Denní záloha " + daily().string() + " už existuje\n";
    EXPECT_TRUE((first.err == wrote && second.err == found) || (first.err == found && second.err == wrote))
        << first.err << second.err;
  }
}

TEST_F(CliSafetyNets, AZalohyFolderThatCannotBeWrittenIsReported) {
  const fs::path zalohy = dir_ / "data" / "zalohy";
  fs::create_directories(zalohy);
  RunResult r;
  const std::vector<std::string> args = {"-C", dir_.path().string(), "backup", "--daily"};
  if (::geteuid() == 0) {
    // Root writes anywhere: a user who may read the tables but not write
    // into the folder.
    if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "no setpriv to run as another user";
    ::chmod(dir_.path().c_str(), 0755);
    ::chmod((dir_ / "data").c_str(), 0755);
    ::chmod(zalohy.c_str(), 0755);
    std::vector<std::string> asOther = {"--reuid=65534", "--regid=65534", "--clear-groups", ::cli().string()};
    asOther.insert(asOther.end(), args.begin(), args.end());
    r = run("/usr/bin/setpriv", asOther);
  } else {
    ::chmod(zalohy.c_str(), 0555);
    r = run(::cli(), args);
    ::chmod(zalohy.c_str(), 0755);
  }
  EXPECT_EQ(r.exitCode, 1);
  EXPECT_EQ(r.err, "Cannot create file " + daily().string() + ": Permission denied\n");
  EXPECT_TRUE(fs::is_empty(zalohy));
}

}  // namespace
