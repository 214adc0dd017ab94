// Many users on one data folder: several worker processes, each running
// mincar-cli verbs one after another (append, stamp, delete, recompute,
// restore attempts), one user at the real program window (offscreen,
// soak_window_driver), while another user keeps the journal open, then every
// answer a worker got is held against the tables. Rows are told apart by
// their text, which is unique per worker and operation; no number may have
// been given out again while a row held it.
//
// MINCAR_SOAK_WORKERS (default 6) and MINCAR_SOAK_OPS (per worker, default
// 40) size the run; MINCAR_SOAK_WORKDIR runs it in a given folder (a
// network mount, say) instead of a temp folder.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <random>
#include <set>
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
using testing_support::RunResult;

int envInt(const char* name, int fallback) {
  const char* value = std::getenv(name);
  return value && *value ? std::atoi(value) : fallback;
}

RunResult cli(const fs::path& work, std::vector<std::string> args) {
  args.insert(args.begin(), {"-C", work.string()});
  return testing_support::run(testing_support::builtProgram("mincar-cli"), args);
}

// A recomputation that meets a row another user deleted a moment ago ends at
// that row with the engine's message, as it does at a locked row.
bool isEngineRefusal(const std::string& err) {
  return err.find("Record locked by another user.") != std::string::npos ||
         err.find("Record was deleted by another user.") != std::string::npos ||
         err.find("is in use by another user.") != std::string::npos;
}

// One worker's run: each line of its log is what it was told.
//   added ID TEXT PLUS      set ID DATE     deleted ID
//   refused OP              restore-refused
void worker(const fs::path& work, const fs::path& restoreFile, int index, int ops, const fs::path& logFile) {
  std::mt19937 random(static_cast<unsigned>(index * 7919 + 17));
  std::ofstream log(logFile);
  std::vector<std::string> mine;  // numbers of this worker's rows
  for (int n = 0; n < ops; ++n) {
    const int pick = static_cast<int>(random() % 100);
    if (pick < 50 || mine.empty()) {
      const std::string text = "w" + std::to_string(index) + "-" + std::to_string(n);
      const std::string plus = std::to_string(n) + ",5";
      const RunResult r = cli(work, {"add-row", "--text", text, "--plus", plus, "--date", "1.5.2026"});
      if (r.exitCode == 0) {
        std::string id = r.out.substr(0, r.out.find('\n'));
        log << "added " << id << " " << text << " " << plus << "\n";
        mine.push_back(id);
      } else {
        log << (isEngineRefusal(r.err) ? "refused add " : "FAILED add ") << text << " " << r.err << "\n";
      }
    } else if (pick < 70) {
      const std::string id = mine[random() % mine.size()];
      const std::string date = std::to_string(1 + random() % 28) + ".6.2026";
      const RunResult r = cli(work, {"set", id, "--date", date});
      if (r.exitCode == 0) log << "set " << id << " " << date << "\n";
      else if (r.err.find("No journal row has ID") != std::string::npos) log << "gone " << id << "\n";
      else log << (isEngineRefusal(r.err) ? "refused set " : "FAILED set ") << id << " " << r.err << "\n";
    } else if (pick < 80) {
      const std::size_t at = random() % mine.size();
      const std::string id = mine[at];
      const RunResult r = cli(work, {"delete", "journal", id});
      if (r.exitCode == 0) {
        log << "deleted " << id << "\n";
        mine.erase(mine.begin() + static_cast<long>(at));
      } else if (r.err.find("No journal row has ID") != std::string::npos) {
        // Another user's row had the same number and was deleted first.
        log << "gone " << id << "\n";
        mine.erase(mine.begin() + static_cast<long>(at));
      } else {
        log << (isEngineRefusal(r.err) ? "refused delete " : "FAILED delete ") << id << " " << r.err << "\n";
      }
    } else if (pick < 95) {
      const RunResult r = cli(work, {"recompute"});
      if (r.exitCode == 0) log << "recomputed\n";
      else log << (isEngineRefusal(r.err) ? "refused recompute " : "FAILED recompute ") << r.err << "\n";
    } else {
      // Another user holds the journal open all along: the restore must be
      // refused with the engine's message.
      const RunResult r = cli(work, {"restore", restoreFile.string()});
      if (r.exitCode != 0 && r.err.find("is in use by another user.") != std::string::npos) {
        log << "restore-refused\n";
      } else {
        log << "FAILED restore " << r.exitCode << " " << r.err << "\n";
      }
    }
  }
}

struct JournalRow {
  std::string id, date, text, plus;
};

TEST(SoakTest, ManyProcessesOnOneFolderLoseNothing) {
  const int workers = envInt("MINCAR_SOAK_WORKERS", 6);
  const int ops = envInt("MINCAR_SOAK_OPS", 40);
  testing_support::TempDir dir;
  const char* given = std::getenv("MINCAR_SOAK_WORKDIR");
  const fs::path work = given && *given ? fs::path(given) / ("soak-" + std::to_string(getpid())) : dir / "work";
  fs::create_directories(work);
  ASSERT_EQ(cli(work, {"init"}).exitCode, 0);
  ASSERT_EQ(cli(work, {"add-book", "Hotovost"}).exitCode, 0);
  ASSERT_EQ(cli(work, {"add-move", "Potraviny"}).exitCode, 0);
  const fs::path restoreFile = dir / "restore.txu";
  ASSERT_EQ(cli(work, {"backup", restoreFile.string()}).exitCode, 0);
  const std::string movesBefore = cli(work, {"list", "moves"}).out;

  // The other user: holds the journal open for the whole run.
  ledger::Dataset holder("Table1", ledger::tablePath(work, LedgerTable::Journal), text::Regional::czech());
  holder.open();

  std::vector<pid_t> children;
  for (int i = 0; i < workers; ++i) {
    const pid_t pid = fork();
    if (pid == 0) {
      worker(work, restoreFile, i, ops, dir / ("worker" + std::to_string(i) + ".log"));
      _exit(0);
    }
    children.push_back(pid);
  }
  // The user at the window: its log is the last one.
  const fs::path windowLog = dir / ("worker" + std::to_string(workers) + ".log");
  {
    const pid_t pid = fork();
    if (pid == 0) {
      setenv("QT_QPA_PLATFORM", "offscreen", 1);
      const RunResult r = testing_support::run(testing_support::builtProgram("soak_window_driver"),
                                               {work.string(), windowLog.string(), std::to_string(ops), "4242"});
      if (r.exitCode != 0) std::ofstream(windowLog, std::ios::app) << "FAILED window " << r.err << "\n";
      _exit(0);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  holder.close();

  // What the workers were told.
  std::map<std::string, JournalRow> added;  // by text
  std::map<std::string, std::set<std::string>> stampedDates;  // by number
  std::map<std::string, int> deletes;  // by number
  int done = 0, refusals = 0, restoreRefusals = 0, windowAdds = 0;
  for (int i = 0; i <= workers; ++i) {
    std::ifstream log(dir / ("worker" + std::to_string(i) + ".log"));
    std::string line;
    while (std::getline(log, line)) {
      std::istringstream in(line);
      std::string what;
      in >> what;
      EXPECT_NE(what, "FAILED") << "worker " << i << ": " << line;
      if (what == "added") {
        if (i == workers) ++windowAdds;
        JournalRow row;
        in >> row.id >> row.text >> row.plus;
        row.date = "1.5.2026";
        added[row.text] = row;
        ++done;
      } else if (what == "set") {
        std::string id, date;
        in >> id >> date;
        stampedDates[id].insert(date);
        ++done;
      } else if (what == "deleted") {
        std::string id;
        in >> id;
        ++deletes[id];
        ++done;
      } else if (what == "recomputed") {
        ++done;
      } else if (what == "refused") {
        ++refusals;
      } else if (what == "restore-refused") {
        ++restoreRefusals;
      }
    }
  }

  EXPECT_GT(windowAdds, 0) << "the user at the window stored no row";

  // What the tables hold; the header's count must match the data.
  ledger::Dataset journal("Table1", ledger::tablePath(work, LedgerTable::Journal), text::Regional::czech());
  journal.open();
  EXPECT_EQ(journal.takeRepairNotice(), "");
  std::map<std::string, int> copies;
  std::map<std::string, int> presentById;
  for (journal.first(); !journal.eof(); journal.next()) {
    const std::string text = journal.field(ledger::journal::TEXT).asString();
    const std::string id = journal.field(ledger::journal::ID).asString();
    ++copies[text];
    ++presentById[id];
    auto it = added.find(text);
    EXPECT_NE(it, added.end()) << "a row nobody stored: " << text << " numbered " << id << " amount "
                               << journal.field(ledger::journal::PLUS).asString() << "\n"
                               << [&] {
                                    std::string lines;
                                    for (const auto& [t, row] : added) {
                                      if (row.id == id) lines += "  added " + t + " " + row.plus + "\n";
                                    }
                                    return lines;
                                  }();
    if (it == added.end()) continue;
    // Its number, text and amount exactly as the worker was told; its date
    // the first one or one that someone stamped on that number.
    EXPECT_EQ(id, it->second.id) << text;
    EXPECT_EQ(journal.field(ledger::journal::PLUS).asString(), it->second.plus) << text;
    const std::string date = journal.field(ledger::journal::DATUM).asString();
    EXPECT_TRUE(date == it->second.date || stampedDates[id].count(date)) << text << " dated " << date;
  }
  journal.close();
  const std::string file = testing_support::readFile(ledger::tablePath(work, LedgerTable::Journal));
  const auto header = ledger::dbf::parseHeader(file, "peden.dbf");
  const long long data = static_cast<long long>(file.size()) - header.headerLength;
  EXPECT_TRUE(data == header.recordCount * header.recordLength ||
              data == header.recordCount * header.recordLength + 1)
      << "header counts " << header.recordCount << " rows, the file holds " << data << " bytes of them";

  for (const auto& [text, count] : copies) EXPECT_EQ(count, 1) << text << " stored " << count << " times";
  // A row is missing only where a delete of its number was acknowledged,
  // and never more rows of a number than deletes of it.
  std::map<std::string, int> addedById;
  for (const auto& [text, row] : added) ++addedById[row.id];
  // A number comes back only once its row is deleted (the highest + 1 of
  // the rows there): given out more often than freed, or two rows of one
  // number in the journal, is a duplicate.
  int duplicates = 0;
  for (const auto& [id, count] : addedById) {
    const int extra = std::max(count - 1 - deletes[id], presentById[id] - 1);
    if (extra > 0) duplicates += extra;
    EXPECT_LE(extra, 0) << count << " rows were given the number " << id << ", " << deletes[id] << " deleted";
  }
  for (const auto& [id, count] : addedById) {
    EXPECT_EQ(count - presentById[id], deletes[id]) << "rows numbered " << id;
  }
  // The restores were refused and changed nothing: the movements list (which
  // nothing else writes) is as it was; the journal was checked above.
  EXPECT_EQ(cli(work, {"list", "moves"}).out, movesBefore);

  std::cout << "soak: " << workers << " CLI processes, one at the window and one holding the journal, "
            << (workers + 1) * ops
            << " operations, " << done << " done, " << refusals << " refused by a lock, " << restoreRefusals
            << " restores refused, " << added.size() << " rows appended, " << copies.size() << " in the journal, "
            << duplicates << " duplicate numbers" << std::endl;
  if (HasFailure()) {
    // The logs and tables, for a look at what happened.
    const fs::path kept = fs::temp_directory_path() / ("mincar-soak-failed-" + std::to_string(getpid()));
    fs::copy(dir.path(), kept, fs::copy_options::recursive);
    if (given && *given) fs::copy(work, kept / "work", fs::copy_options::recursive);
    std::cout << "the soak's logs and tables are kept in " << kept.string() << std::endl;
  }
  if (given && *given) fs::remove_all(work);
}

}  // namespace
