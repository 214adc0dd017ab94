// The day's backup: its name, its bytes (those of any backup), one file a
// day, the newest 30 kept, and failures that leave no part of a backup.
#include "backup/daily_backup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <string>
#include <vector>

#include "backup/backup_commands.h"
#include "backup_test_support.h"

namespace {

using namespace backup_testing;
using testing_support::TempDir;

const text::Date kDay{2026, 12, 8};

std::vector<std::string> namesIn(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

text::Date dayAfter(text::Date d) {
  if (++d.day > text::daysInMonth(d.year, d.month)) {
    d.day = 1;
    if (++d.month > 12) {
      d.month = 1;
      ++d.year;
    }
  }
  return d;
}

class DailyBackupTest : public ::testing::Test {
 protected:
  void SetUp() override { seedExample(dir_.path()); }
  fs::path folder() const { return dir_ / "data" / "zalohy"; }
  backup::DailyBackup write(text::Date day = kDay) {
    return backup::WriteDailyBackup(dir_.path(), text::Regional::czech(), day);
  }
  TempDir dir_;
};

TEST(DailyBackupName, IsTheDateWithLeadingZerosSoThatNamesSortAsDays) {
  EXPECT_EQ(backup::DailyBackupName({2026, 12, 8}), "zaloha_2026-12-08.txu");
  EXPECT_EQ(backup::DailyBackupName({987, 1, 31}), "zaloha_0987-01-31.txu");
  EXPECT_TRUE(backup::IsDailyBackupName("zaloha_2026-12-08.txu"));
  for (const char* other : {"zaloha_8_12_2026.txu", "zaloha_2026-12-8.txu", "zaloha_2026-12-08.txu.txu",
                            "pred_obnovou_8_12_2026_101010.txu", "zaloha_2026-12-08.TXU", "zaloha_2026_12_08.txu",
                            ".zaloha_2026-12-08.txu.host.1.tmp", "zaloha_2026-1a-08.txu"}) {
    EXPECT_FALSE(backup::IsDailyBackupName(other)) << other;
  }
}

TEST_F(DailyBackupTest, WritesTheBackupFormatIntoZalohyAndSaysSo) {
  const backup::DailyBackup daily = write();
  EXPECT_TRUE(daily.written);
  EXPECT_EQ(daily.file, folder() / "zaloha_2026-12-08.txu");
  EXPECT_EQ(testing_support::readFile(daily.file),
            testing_support::readFile(sourceFile("tests/backup/golden/example.txu")));
  EXPECT_EQ(namesIn(folder()), std::vector<std::string>{"zaloha_2026-12-08.txu"});
  EXPECT_EQ(daily.statusText(), cz("Denní záloha uložena do ") + daily.file.string());
}

TEST_F(DailyBackupTest, TheCallersLedgerStaysWhereItWas) {
  seedRows(dir_.path(), LedgerTable::Books, {{1.0, cz("Hotovost")}, {2.0, cz("Banka")}});
  OpenLedger open(dir_.path());
  app::Ledger& ledger = open.ledger;
  ledger.books().first();
  ledger.journal().onFilterRecord = [](ledger::Dataset&) { return false; };
  ledger.journal().refilter();
  write();
  // The books list still on its first book, the journal's search in force,
  // the status line untouched: new rows get what they got before.
  EXPECT_EQ(ledger.books().field(0).asFloat(), 1.0);
  EXPECT_TRUE(ledger.journal().filtered());
  EXPECT_EQ(ledger.journal().recordCount(), 0);
  EXPECT_TRUE(open.status.texts.empty());
}

TEST_F(DailyBackupTest, TheSecondStartOfTheDayWritesNothing) {
  write();
  const fs::path file = folder() / "zaloha_2026-12-08.txu";
  testing_support::writeFile(file, "the first start's backup");
  const backup::DailyBackup again = write();
  EXPECT_FALSE(again.written);
  EXPECT_EQ(testing_support::readFile(file), "the first start's backup");
  EXPECT_EQ(again.statusText(), cz("Denní záloha ") + file.string() + cz(" už existuje"));
}

TEST_F(DailyBackupTest, TheThirtyFirstDailyBackupRemovesTheOldestAndNothingElse) {
  fs::create_directories(folder());
  // What Mincar writes there besides, and the user's own files.
  const std::vector<std::string> others = {"pred_obnovou_1_1_2026_101010.txu", "zaloha_1_1_2026.txu",
                                           "zaloha_2026-1-1.txu", "poznamka.txt"};
  for (const std::string& name : others) testing_support::writeFile(folder() / name, "x");
  text::Date day{2026, 11, 20};
  std::vector<std::string> written;
  for (int i = 0; i < 30; ++i, day = dayAfter(day)) {
    const backup::DailyBackup daily = write(day);
    ASSERT_TRUE(daily.written);
    EXPECT_TRUE(daily.removed.empty());
    written.push_back(daily.file.filename().string());
  }
  ASSERT_EQ(written.front(), "zaloha_2026-11-20.txu");
  const backup::DailyBackup thirtyFirst = write(day);
  EXPECT_EQ(thirtyFirst.file.filename().string(), "zaloha_2026-12-20.txu");
  EXPECT_EQ(thirtyFirst.removed, std::vector<fs::path>{folder() / "zaloha_2026-11-20.txu"});
  EXPECT_EQ(thirtyFirst.statusText(),
            cz("Denní záloha uložena do ") + thirtyFirst.file.string() + cz(", odstraněny starší: 1"));
  std::vector<std::string> expected = others;
  expected.insert(expected.end(), written.begin() + 1, written.end());
  expected.push_back("zaloha_2026-12-20.txu");
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(namesIn(folder()), expected);
}

TEST_F(DailyBackupTest, AClockSetBackNeverRemovesTheDaysOwnBackup) {
  fs::create_directories(folder());
  text::Date later{2027, 1, 1};
  for (int i = 0; i < 30; ++i, later = dayAfter(later)) {
    testing_support::writeFile(folder() / backup::DailyBackupName(later), "later");
  }
  const backup::DailyBackup daily = write();
  EXPECT_TRUE(daily.written);
  EXPECT_TRUE(daily.removed.empty());
  EXPECT_TRUE(fs::exists(daily.file));
}

TEST_F(DailyBackupTest, AFolderThatCannotBeWrittenIsReportedAndLeavesNothing) {
  auto readOnly = [](const fs::path&, int& error) -> std::unique_ptr<ledger::File> {
    error = EROFS;
    return nullptr;
  };
  const fs::path file = folder() / "zaloha_2026-12-08.txu";
  EXPECT_EQ(testing_support::errorOf([&] {
              backup::WriteDailyBackup(dir_.path(), text::Regional::czech(), kDay, readOnly);
            }),
            "Cannot create file " + file.string() + ": Read-only file system");
  EXPECT_TRUE(namesIn(folder()).empty());
  // A file where the folder should be.
  fs::remove(folder());
  testing_support::writeFile(folder(), "not a folder");
  EXPECT_EQ(testing_support::errorOf([&] { write(); }),
            "Cannot create folder " + folder().string() + ": not a folder");
}

TEST_F(DailyBackupTest, TheThreadReportsTheOutcomeAFailureIncluded) {
  std::string told;
  {
    backup::DailyBackupThread thread(dir_.path(), text::Regional::czech(), kDay,
                                     [&told](const std::string& shown) { told = shown; });
  }
  EXPECT_EQ(told, cz("Denní záloha uložena do ") + (folder() / "zaloha_2026-12-08.txu").string());
  auto full = [](const fs::path&, int& error) -> std::unique_ptr<ledger::File> {
    error = ENOSPC;
    return nullptr;
  };
  backup::DailyBackupThread failing(dir_.path(), text::Regional::czech(), dayAfter(kDay),
                                    [&told](const std::string& shown) { told = shown; }, full);
  failing.wait();
  EXPECT_TRUE(failing.finished());
  EXPECT_EQ(told, cz("Denní zálohu nelze uložit: Cannot create file ") +
                      (folder() / "zaloha_2026-12-09.txu").string() + ": No space left on device");
}

}  // namespace
