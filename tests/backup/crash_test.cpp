// A restore killed at any moment: a second process restores a backup and is
// killed with SIGKILL after a random delay, again and again; every table
// must then open with its old rows or with the backup's rows, never with a
// mixture or a part, and the files a killed restore leaves behind must not
// disturb the next one.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <iostream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "backup/backup_commands.h"
#include "backup_test_support.h"
#include "test_support.h"

extern char** environ;

namespace {

using namespace backup_testing;
using testing_support::TempDir;

// The data of one backup: journal, movements and books of these sizes.
void seedData(const fs::path& workDir, int journalRows, int lists, const char* word) {
  Rows journal;
  for (int i = 1; i <= journalRows; ++i) {
    journal.push_back({static_cast<double>(i), static_cast<double>(1 + i % lists), static_cast<double>(1 + i % lists),
                       text::Date{2026, 1 + i % 12, 1 + i % 28}, cz(word) + " " + std::to_string(i),
                       i % 3 == 0 ? kEmpty : Value{static_cast<double>(i) / 4.0}});
  }
  seedRows(workDir, LedgerTable::Journal, journal);
  Rows list;
  for (int i = 1; i <= lists; ++i) list.push_back({static_cast<double>(i), cz(word) + std::to_string(i)});
  seedRows(workDir, LedgerTable::Moves, list);
  seedRows(workDir, LedgerTable::Books, list);
}

fs::path backupOf(const fs::path& workDir, const fs::path& file) {
  OpenLedger open(workDir);
  return backup::SaveBackupTo(open.ledger, file);
}

pid_t startRestore(const fs::path& workDir, const fs::path& file) {
  const std::string program = testing_support::builtProgram("restore_backup").string();
  std::string dir = workDir.string();
  std::string backupFile = file.string();
  std::vector<char*> argv = {const_cast<char*>(program.c_str()), dir.data(), backupFile.data(), nullptr};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? pid : -1;
}

int finish(pid_t pid) {
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  return status;
}

TEST(KilledRestore, EveryTableOpensWithItsOldRowsOrTheBackupsRowsAndNothingElse) {
  TempDir dir;
  const fs::path oldData = dir / "old", newData = dir / "new", work = dir / "work";
  seedData(oldData, 3000, 5, "starý");
  seedData(newData, 5000, 8, "nový");
  const fs::path backups[2] = {backupOf(oldData, dir / "old.txu"), backupOf(newData, dir / "new.txu")};
  const Rows expected[2][3] = {
      {storedRows(oldData, kTables[0]), storedRows(oldData, kTables[1]), storedRows(oldData, kTables[2])},
      {storedRows(newData, kTables[0]), storedRows(newData, kTables[1]), storedRows(newData, kTables[2])}};

  ledger::createMissingTables(work);
  // How long one restore takes here, killed at no moment.
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(finish(startRestore(work, backups[0])), 0);
  const auto oneRestore = std::chrono::steady_clock::now() - started;
  // The delays spread over a restore's run; on a busy machine a run takes
  // longer or shorter, so the span follows what the rounds show.
  double span = static_cast<double>(std::chrono::duration_cast<std::chrono::microseconds>(oneRestore).count()) * 1.3;

  std::mt19937 random(20261207);
  int killed = 0, completed = 0, between = 0;
  const int rounds = 50;
  for (int round = 0; round < rounds; ++round) {
    const pid_t pid = startRestore(work, backups[round % 2 == 0 ? 1 : 0]);
    ASSERT_GT(pid, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(random() % (1 + static_cast<unsigned>(span))));
    kill(pid, SIGKILL);
    const int status = finish(pid);
    if (WIFSIGNALED(status)) {
      ++killed;
      span *= 1.05;
    } else {
      ++completed;
      span *= 0.8;
    }

    int restoredTables = 0;
    const int target = round % 2 == 0 ? 1 : 0;
    for (int t = 0; t < 3; ++t) {
      const Rows now = storedRows(work, kTables[t]);
      EXPECT_TRUE(now == expected[0][t] || now == expected[1][t])
          << "round " << round << ", table " << t << ": " << now.size() << " rows";
      restoredTables += now == expected[target][t];
    }
    // Killed between two tables' renames: each table whole, old or new.
    between += restoredTables == 1 || restoredTables == 2;
  }
  // Many restores were killed part way, at moments all over their run.
  EXPECT_GT(killed, rounds / 4);

  // A restore after them goes through and takes away what they left.
  ASSERT_EQ(finish(startRestore(work, backups[1])), 0);
  for (int t = 0; t < 3; ++t) EXPECT_EQ(storedRows(work, kTables[t]), expected[1][t]);
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(work / "data")) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"books.dbf", "moves.dbf", "peden.dbf", "zalohy"}));
  // Beside the tables only the copies taken before each restore, each whole
  // or not there: a killed copy leaves at most its hidden temporary.
  for (const auto& entry : fs::directory_iterator(work / "data" / "zalohy")) {
    const std::string name = entry.path().filename().string();
    if (name.front() == '.') continue;
    EXPECT_EQ(name.rfind("pred_obnovou_", 0), 0u) << name;
    const std::string text = testing_support::readFile(entry.path());
    EXPECT_FALSE(text.empty()) << name;
  }
  std::cout << "restores killed: " << killed << " (" << between << " of them with some tables restored and others not yet), completed: " << completed
            << "; one restore takes "
            << std::chrono::duration_cast<std::chrono::milliseconds>(oneRestore).count() << " ms\n";
}

}  // namespace
