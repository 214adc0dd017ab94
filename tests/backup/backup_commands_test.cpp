// SaveBackup and RestoreBackup once their file is chosen: the default name,
// the ".txu" rule, the texts of the status line and the file names they
// show.
#include "backup/backup_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backup_test_support.h"
#include "test_support.h"
#include "text/error.h"

namespace {

using namespace backup_testing;
using testing_support::TempDir;

TEST(BackupNames, TheDefaultNameIsZalohaAndTodaysDateWithUnderscores) {
  struct Case {
    text::Date today;
    text::Regional regional;
    const char* expected;
  } cases[] = {
      {{2026, 12, 7}, text::Regional::czech(), "zaloha_7_12_2026.txu"},
      {{2004, 9, 12}, text::Regional::czech(), "zaloha_12_9_2004.txu"},
      {{2026, 1, 5}, text::Regional{"dd.MM.yyyy", ','}, "zaloha_05_01_2026.txu"},
      {{2026, 1, 5}, text::Regional{"yyyy-MM-dd", '.'}, "zaloha_2026-01-05.txu"},
      // No file name can hold a "/": it goes the way of the ".".
      {{2026, 12, 7}, text::Regional{"M/d/yyyy", '.'}, "zaloha_12_7_2026.txu"},
  };
  for (const Case& c : cases) EXPECT_EQ(backup::DefaultBackupName(c.today, c.regional), c.expected);
}

TEST(BackupNames, ANameWithoutTheLowerCaseTxuGetsItAppended) {
  struct Case {
    const char* chosen;
    const char* expected;
  } cases[] = {
      {"/home/jana/zaloha", "/home/jana/zaloha.txu"},
      {"/home/jana/zaloha.txu", "/home/jana/zaloha.txu"},
      {"/home/jana/ZALOHA.TXU", "/home/jana/ZALOHA.TXU.txu"},
      {"/home/jana/zaloha.Txu", "/home/jana/zaloha.Txu.txu"},
      {"/home/jana/a.txu.old", "/home/jana/a.txu.old"},
      {"/data/zálohy.txu/kopie", "/data/zálohy.txu/kopie"},
      {"", ".txu"},
  };
  for (const Case& c : cases) EXPECT_EQ(backup::WithBackupExtension(c.chosen), c.expected);
}

TEST(BackupTexts, TheStatusTextsAreTheCommandsOwn) {
  EXPECT_EQ(backup::saveCancelledText(), "Zaloha stornovana...");
  EXPECT_EQ(backup::saveStartText(), "Start zalohy...");
  EXPECT_EQ(backup::restoreCancelledText(), "Obnova dat stornovana...");
  EXPECT_EQ(backup::restoreStartText(), cz("Start obnovení ze zalohy..."));
}

class Commands : public ::testing::Test {
 protected:
  void SetUp() override {
    seedExample(dir_.path());
    open_ = std::make_unique<OpenLedger>(dir_.path());
  }
  TempDir dir_;
  std::unique_ptr<OpenLedger> open_;
};

TEST_F(Commands, SavingShowsItsStartThenTheFullNameOfTheFileItWrote) {
  const fs::path written = backup::SaveBackupTo(open_->ledger, dir_ / "data" / "ZALOHA.TXU");
  EXPECT_EQ(written, dir_ / "data" / "ZALOHA.TXU.txu");
  EXPECT_EQ(open_->status.texts, (std::vector<std::string>{"Start zalohy...", written.string()}));
  EXPECT_EQ(testing_support::readFile(written),
            testing_support::readFile(sourceFile("tests/backup/golden/example.txu")));
}

TEST_F(Commands, SavingUnderTheNameOfAnExistingBackupReplacesIt) {
  const fs::path file = dir_ / "zaloha.txu";
  testing_support::writeFile(file, std::string(5000, 'x'));
  backup::SaveBackupTo(open_->ledger, file);
  EXPECT_EQ(testing_support::readFile(file),
            testing_support::readFile(sourceFile("tests/backup/golden/example.txu")));
}

TEST(BackupNames, TheCopyBeforeARestoreIsNamedByTheDayAndTheSecond) {
  EXPECT_EQ(backup::BeforeRestoreName({2026, 12, 7}, 15, 30, 12, text::Regional::czech()),
            "pred_obnovou_7_12_2026_153012.txu");
  EXPECT_EQ(backup::BeforeRestoreName({2026, 1, 5}, 0, 0, 0, text::Regional{"yyyy-MM-dd", '.'}),
            "pred_obnovou_2026-01-05_000000.txu");
}

TEST_F(Commands, RestoringShowsItsStartEverySectionsCountAndWhereTheTablesWereKept) {
  const fs::path file = backup::SaveBackupTo(open_->ledger, dir_ / "z.txu");
  open_->status.texts.clear();
  const fs::path kept = backup::RestoreBackupFrom(open_->ledger, file);
  EXPECT_EQ(kept.parent_path(), dir_ / "data" / "zalohy");
  EXPECT_EQ(open_->status.texts,
            (std::vector<std::string>{cz("Start obnovení ze zalohy..."), "Table has 1 records", "Table has 2 records",
                                      "Table has 1 records", cz("Data před obnovou uložena do ") + kept.string()}));
}

// A restore from the wrong file is undone by restoring the copy taken
// before it: the tables come back byte for byte.
TEST_F(Commands, ARestoreFromTheWrongFileIsUndoneByTheCopyTakenBeforeIt) {
  // The wrong file: the journal with one row more.
  open_->ledger.newJournalRow();
  open_->ledger.journal().post();
  const fs::path wrong = backup::SaveBackupTo(open_->ledger, dir_ / "wrong.txu");
  open_->ledger.journal().last();
  open_->ledger.deleteJournalRow();
  const fs::path right = backup::SaveBackupTo(open_->ledger, dir_ / "right.txu");
  // Tables as a restore writes them, so that a second restore can match
  // every byte of them.
  backup::RestoreBackupFrom(open_->ledger, right);
  std::vector<std::string> before;
  for (const char* table : {"peden.dbf", "books.dbf", "moves.dbf"}) {
    before.push_back(testing_support::readFile(dir_ / "data" / table));
  }
  const fs::path kept = backup::RestoreBackupFrom(open_->ledger, wrong);
  EXPECT_NE(testing_support::readFile(dir_ / "data" / "peden.dbf"), before[0]);
  const fs::path second = backup::RestoreBackupFrom(open_->ledger, kept);
  EXPECT_NE(second, kept);
  int i = 0;
  for (const char* table : {"peden.dbf", "books.dbf", "moves.dbf"}) {
    EXPECT_EQ(testing_support::readFile(dir_ / "data" / table), before[i++]) << table;
  }
}

TEST_F(Commands, WhenTheCopyCannotBeWrittenTheRestoreDoesNotStart) {
  const fs::path file = backup::SaveBackupTo(open_->ledger, dir_ / "z.txu");
  testing_support::writeFile(dir_ / "data" / "zalohy", "a file where the folder should be");
  const std::string journal = testing_support::readFile(dir_ / "data" / "peden.dbf");
  try {
    backup::RestoreBackupFrom(open_->ledger, file);
    ADD_FAILURE() << "the restore ran without its copy";
  } catch (const mincar::Error& error) {
    EXPECT_EQ(std::string(error.what()),
              "Cannot create folder " + (dir_ / "data" / "zalohy").string() + ": not a folder");
  }
  EXPECT_EQ(testing_support::readFile(dir_ / "data" / "peden.dbf"), journal);
  EXPECT_EQ(open_->ledger.journal().state(), ledger::DatasetState::Browse);
  EXPECT_TRUE(open_->ledger.journal().active());
}

}  // namespace
