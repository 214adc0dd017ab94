// Kills mincar-cli with SIGKILL at random moments while it appends, stamps,
// deletes, recomputes, backs up and restores, then opens the tables as the
// next user would and holds them against a model of what was acknowledged:
// every row stored before the kill is intact, at most the row being written
// is missing (or left as the append stored it first), a stamp or a delete
// is done or not done, a backup file is whole or absent, and each restored
// table is wholly restored or wholly as it was.
//
// MINCAR_CRASH_KILLS sets how many kills must land (default 50, the CI run);
// MINCAR_CRASH_SEED replays a run.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "ledger/dataset.h"
#include "ledger/dbf_header.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/regional.h"

namespace {

namespace fs = std::filesystem;
using ledger::LedgerTable;
using testing_support::TempDir;

using Row = std::vector<std::string>;
using Rows = std::vector<Row>;

// The columns a user typed or stamped; balances are left out because a
// recomputation may be cut anywhere and is simply run again.
const std::map<LedgerTable, std::vector<int>> kComparedColumns = {
    {LedgerTable::Journal, {0, 1, 2, 3, 4, 5, 6}},
    {LedgerTable::Books, {0, 1}},
    {LedgerTable::Moves, {0, 1}},
};
const LedgerTable kTables[] = {LedgerTable::Journal, LedgerTable::Moves, LedgerTable::Books};

struct State {
  std::map<LedgerTable, Rows> tables;
  bool operator==(const State&) const = default;
};

// The first row where two tables differ, for the failure message.
std::string firstDifference(const Rows& got, const Rows& want) {
  std::ostringstream out;
  out << "got " << got.size() << " rows, want " << want.size();
  for (std::size_t i = 0; i < std::min(got.size(), want.size()); ++i) {
    if (got[i] != want[i]) {
      out << "; row " << i << " got [";
      for (const auto& v : got[i]) out << v << ";";
      out << "] want [";
      for (const auto& v : want[i]) out << v << ";";
      out << "]";
      break;
    }
  }
  return out.str();
}

std::string describe(const Rows& rows) {
  std::ostringstream out;
  out << rows.size() << " rows";
  for (std::size_t i = 0; i < rows.size() && i < 3; ++i) {
    out << " [";
    for (const auto& v : rows[i]) out << v << ";";
    out << "]";
  }
  return out.str();
}

// Opens the table as the next user does (repairing a count the crash left
// behind), reads it, and checks that the header's count matches the file.
Rows readTable(const fs::path& work, LedgerTable which, std::vector<std::string>& notices) {
  const fs::path file = ledger::tablePath(work, which);
  ledger::Dataset table("Table1", file, text::Regional::czech());
  table.open();
  if (std::string notice = table.takeRepairNotice(); !notice.empty()) notices.push_back(notice);
  Rows rows;
  for (table.first(); !table.eof(); table.next()) {
    Row row;
    for (int column : kComparedColumns.at(which)) row.push_back(table.field(column).asString());
    rows.push_back(row);
  }
  table.close();

  const std::string bytes = testing_support::readFile(file);
  const ledger::dbf::Header header = ledger::dbf::parseHeader(bytes, file.string());
  const long long data = static_cast<long long>(bytes.size()) - header.headerLength;
  const long long counted = header.recordCount * header.recordLength;
  // After the open the count covers every whole record: what follows is the
  // end-of-file marker or a part of a record that never was acknowledged.
  EXPECT_GE(data, counted) << file;
  EXPECT_LT(data - counted, header.recordLength) << file << ": a whole record beyond the count after opening";
  return rows;
}

State readState(const fs::path& work, std::vector<std::string>& notices) {
  State state;
  for (LedgerTable t : kTables) state.tables[t] = readTable(work, t, notices);
  return state;
}

// Starts mincar-cli and kills it after `delay`; true when the kill landed
// before the program ended by itself.
struct Outcome {
  bool killed = false;
  int exitCode = -1;
  std::chrono::microseconds took{};
};

Outcome runAndKill(const fs::path& work, const std::vector<std::string>& args, std::chrono::microseconds delay) {
  const fs::path program = testing_support::builtProgram("mincar-cli");
  std::vector<std::string> all = {program.string(), "-C", work.string()};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    const int devnull = open("/dev/null", O_WRONLY);
    dup2(devnull, 1);
    dup2(devnull, 2);
    execv(argv[0], argv.data());
    _exit(127);
  }
  Outcome outcome;
  int status = 0;
  const auto deadline = start + delay;
  // Polls rather than sleeps through, so that a program that ends early is
  // not counted as killed.
  while (true) {
    const pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      break;
    }
    timespec pause{0, 20000};
    nanosleep(&pause, nullptr);
  }
  outcome.took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
  outcome.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return outcome;
}

// A backup in the program's own format with `rows` journal rows, to start
// from a table big enough for a kill to land inside the long passes.
std::string startingBackup(int rows) {
  const std::string end = "\n\r";
  std::string text = "######### This is a table Denik and have ;" + std::to_string(rows) + "; records " + end;
  for (int i = 1; i <= rows; ++i) {
    text += std::to_string(i) + ";" + std::to_string(1 + i % 2) + ";" + std::to_string(1 + i % 3) + ";" +
            std::to_string(1 + i % 28) + "." + std::to_string(1 + i % 12) + ".2026;row " + std::to_string(i) +
            ";" + std::to_string(i) + ",5; ; ;" + end;
  }
  text += "######### This is a table Moves and have ;3; records " + end;
  text += "1;Potraviny;" + end + "2;Nájem;" + end + "3;Palivo;" + end;
  text += "######### This is a table Books and have ;2; records " + end;
  text += "1;Hotovost;0;" + end + "2;Banka;0;" + end;
  return text;
}

int envInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

struct Backup {
  fs::path file;
  State state;
};

TEST(CrashTest, EveryAcknowledgedRowSurvivesSigkillAtRandomMoments) {
  const int wantedKills = envInt("MINCAR_CRASH_KILLS", 50);
  const unsigned seed = static_cast<unsigned>(envInt("MINCAR_CRASH_SEED", static_cast<int>(time(nullptr))));
  std::mt19937 random(seed);
  SCOPED_TRACE("MINCAR_CRASH_SEED=" + std::to_string(seed));

  TempDir dir;
  const fs::path work = dir / "work";
  fs::create_directories(work);
  ASSERT_EQ(runAndKill(work, {"init"}, std::chrono::seconds(60)).exitCode, 0);
  testing_support::writeFile(dir / "start.txu", startingBackup(1500));
  ASSERT_EQ(runAndKill(work, {"restore", (dir / "start.txu").string()}, std::chrono::seconds(60)).exitCode, 0);

  std::vector<std::string> notices;
  State model = readState(work, notices);
  ASSERT_EQ(model.tables[LedgerTable::Journal].size(), 1500u);
  std::vector<Backup> backups = {{dir / "start.txu", model}};

  enum Op { Append, Stamp, Delete, Recompute, SaveBackup, Restore, kOps };
  const char* names[] = {"append", "stamp", "delete", "recompute", "backup", "restore"};
  // How long each kind ran when it was not killed; kills fall uniformly
  // into that span so that they land in every phase of the work.
  std::chrono::microseconds usual[kOps];
  std::fill(std::begin(usual), std::end(usual), std::chrono::microseconds(30000));
  int killsOf[kOps] = {};
  int kills = 0;
  int attempts = 0;
  int halfAppends = 0;
  int repairs = 0;

  while (kills < wantedKills && attempts < wantedKills * 20) {
    ++attempts;
    Rows& journal = model.tables[LedgerTable::Journal];
    const Op op = static_cast<Op>(random() % kOps);
    std::vector<std::string> args;
    std::string newText, newDate, stampId;
    std::size_t target = 0;
    const Backup* restored = nullptr;
    fs::path backupFile;
    int maxId = 0;
    for (const Row& r : journal) maxId = std::max(maxId, r[0].empty() ? 0 : std::stoi(r[0]));
    const std::string nextId = std::to_string(maxId + 1);
    switch (op) {
      case Append:
        newText = "kill " + std::to_string(attempts);
        newDate = std::to_string(1 + random() % 28) + ".3.2026";
        args = {"add-row", "--text", newText, "--date", newDate, "--plus", std::to_string(attempts) + ",25"};
        break;
      case Stamp:
      case Delete:
        target = random() % journal.size();
        if (journal[target][0].empty()) continue;
        stampId = journal[target][0];
        // `set` and `delete` take the first row with that number.
        target = static_cast<std::size_t>(
            std::find_if(journal.begin(), journal.end(), [&](const Row& r) { return r[0] == stampId; }) -
            journal.begin());
        newDate = std::to_string(1 + random() % 28) + ".4.2026";
        args = op == Stamp ? std::vector<std::string>{"set", stampId, "--date", newDate}
                           : std::vector<std::string>{"delete", "journal", stampId};
        break;
      case Recompute:
        args = {"recompute"};
        break;
      case SaveBackup:
        backupFile = dir / ("b" + std::to_string(attempts) + ".txu");
        args = {"backup", backupFile.string()};
        break;
      case Restore:
        restored = &backups[random() % backups.size()];
        args = {"restore", restored->file.string()};
        break;
      default:
        break;
    }
    if (op == Delete && journal.size() < 1000) continue;  // keep the table long

    // Half the kills anywhere in the run, half in its last part, where a
    // short command does its writing after starting up and reading.
    const long long span = usual[op].count() + 1;
    const auto delay = std::chrono::microseconds(random() % 2 ? random() % span
                                                               : span / 2 + random() % (span * 6 / 10));
    const Outcome outcome = runAndKill(work, args, delay);
    if (outcome.killed) {
      ++kills;
      ++killsOf[op];
    } else {
      ASSERT_EQ(outcome.exitCode, 0) << names[op] << " failed without a kill";
      usual[op] = (usual[op] * 3 + outcome.took) / 4;
    }

    const std::size_t noticesBefore = notices.size();
    const State now = readState(work, notices);
    if (notices.size() > noticesBefore) ++repairs;
    const std::string context = std::string(names[op]) + (outcome.killed ? " killed" : " completed") +
                                " at attempt " + std::to_string(attempts);

    // Each table separately: the journal is checked against the operation,
    // the two lists are untouched unless a restore replaced them.
    for (LedgerTable t : {LedgerTable::Moves, LedgerTable::Books}) {
      const Rows& before = model.tables[t];
      const Rows& after = now.tables.at(t);
      if (op == Restore) {
        EXPECT_TRUE(after == before || after == restored->state.tables.at(t)) << context << ": " << describe(after);
      } else {
        EXPECT_EQ(after, before) << context;
      }
    }
    const Rows& after = now.tables.at(LedgerTable::Journal);
    switch (op) {
      case Append: {
        if (after == journal) {
          EXPECT_TRUE(outcome.killed) << context << ": the row was acknowledged but is missing";
          break;
        }
        ASSERT_EQ(after.size(), journal.size() + 1) << context;
        EXPECT_TRUE(std::equal(journal.begin(), journal.end(), after.begin())) << context << ": earlier rows changed";
        const Row& added = after.back();
        const Row whole = {nextId, "1", "1", newDate, newText, std::to_string(attempts) + ",25", ""};
        if (added != whole) {
          // The append stores the new row empty first, then numbers and
          // fills it: a kill in between leaves that row as first stored.
          EXPECT_TRUE(outcome.killed) << context << ": acknowledged row stored as " << describe({added});
          for (std::size_t c = 0; c < whole.size(); ++c) {
            // Before the typing, the text is the movement's name, as the
            // new-row rule copies it.
            const bool asFirstStored = added[c].empty() || (c <= 2 && added[c] == "1") ||
                                       (c == 3 && added[c] == newDate) || (c == 4 && added[c] == "Potraviny");
            EXPECT_TRUE(added[c] == whole[c] || asFirstStored)
                << context << ": column " << c << " is '" << added[c] << "'";
          }
          ++halfAppends;
        }
        break;
      }
      case Stamp: {
        Rows stamped = journal;
        stamped[target][3] = newDate;
        EXPECT_TRUE(after == stamped || (outcome.killed && after == journal)) << context;
        break;
      }
      case Delete: {
        Rows removed = journal;
        removed.erase(removed.begin() + static_cast<long>(target));
        EXPECT_TRUE(after == removed || (outcome.killed && after == journal)) << context;
        break;
      }
      case Restore:
        EXPECT_TRUE(after == restored->state.tables.at(LedgerTable::Journal) || (outcome.killed && after == journal))
            << context << ": " << firstDifference(after, restored->state.tables.at(LedgerTable::Journal)) << " from "
            << restored->file.filename();
        break;
      case Recompute:
      case SaveBackup:
      default:
        EXPECT_EQ(after, journal) << context;
        break;
    }
    if (op == SaveBackup && fs::exists(backupFile)) {
      // A backup file that exists is whole: the same bytes a backup of the
      // same tables writes when nobody interrupts it.
      const fs::path check = dir / "check.txu";
      ASSERT_EQ(runAndKill(work, {"backup", check.string()}, std::chrono::seconds(60)).exitCode, 0);
      EXPECT_EQ(testing_support::readFile(backupFile), testing_support::readFile(check)) << context;
      fs::remove(check);
      // A row that a killed append left empty is written with blank pieces,
      // and a restore gives blank pieces the new-row rule's values: such a
      // backup restores to other values by design, so it is not restored.
      const Rows& saved = now.tables.at(LedgerTable::Journal);
      const bool hasBlankRow = std::any_of(saved.begin(), saved.end(), [](const Row& r) {
        return std::any_of(r.begin(), r.begin() + 5, [](const std::string& v) { return v.empty(); });
      });
      if (!hasBlankRow) backups.push_back({backupFile, now});
    } else if (op == SaveBackup) {
      EXPECT_TRUE(outcome.killed) << context << ": acknowledged backup file is missing";
    }
    // Whatever the kill left is what the next user works with.
    model = now;
    if (::testing::Test::HasFailure()) break;
  }

  std::ostringstream summary;
  summary << "crash: " << kills << " kills in " << attempts << " runs (";
  for (int op = 0; op < kOps; ++op) summary << names[op] << " " << killsOf[op] << (op + 1 < kOps ? ", " : "");
  summary << "), " << halfAppends << " appends left as first stored, " << repairs << " counts repaired on open, "
          << model.tables[LedgerTable::Journal].size() << " journal rows at the end";
  std::cout << summary.str() << std::endl;
  for (const auto& n : notices) std::cout << "  notice: " << n << std::endl;
  EXPECT_GE(kills, wantedKills);
}

}  // namespace
