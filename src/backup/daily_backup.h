#pragma once
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "ledger/table_rewrite.h"
#include "text/date.h"
#include "text/regional.h"

// The day's backup: once a day, at the first start of the windows or by
// mincar-cli backup --daily from cron, the three tables in the backup
// format into data/zalohy/zaloha_<yyyy-mm-dd>.txu, the newest 30 such files
// kept.
namespace backup {

inline constexpr int kDailyBackupsKept = 30;

// "zaloha_2026-12-08.txu": year, month and day with leading zeros, so that
// the names sort as the days do.
std::string DailyBackupName(const text::Date& day);
// True for a name DailyBackupName gives, and for no other file of the
// folder: only such files are ever removed.
bool IsDailyBackupName(const std::string& name);

struct DailyBackup {
  bool written = false;  // false: the day's file was there already
  std::filesystem::path file;
  std::vector<std::filesystem::path> removed;  // older daily backups
  std::string notRemoved;  // why one of them could not be removed, if so

  // For the status line, Windows-1250: "Denní záloha uložena do FILE",
  // with how many older ones went, or "Denní záloha FILE už existuje".
  std::string statusText() const;
};

// Writes the day's backup unless data/zalohy/ (created when missing) holds
// it already. The tables are read through an opening of their own, for
// reading only, so that nothing the caller has open moves, and a thread of
// its own may run it. Two processes that start together write one file:
// each writes a temporary of its own, and only the first one takes the
// name (ReplacementFile::commitNew); the other's goes. After writing, the
// daily backups beyond the newest 30 are removed (never the day's own,
// nor any other file). Errors (mincar::Error): a folder that cannot be
// made or written, a table that cannot be read, a full disk; the folder
// then holds no part of a backup.
DailyBackup WriteDailyBackup(const std::filesystem::path& workDir, const text::Regional& regional,
                             const text::Date& day,
                             ledger::TableRewrite::FileMaker create = ledger::createPosixFile);

// The daily backups of `folder` beyond the newest `kept`, oldest first,
// never `keep` itself.
std::vector<std::filesystem::path> DailyBackupsBeyond(const std::filesystem::path& folder, int kept,
                                                      const std::filesystem::path& keep);

// "Denní zálohu nelze uložit: " and the error's text, Windows-1250.
std::string DailyBackupFailedText(const std::string& error);

// WriteDailyBackup on a thread of its own, so that the windows' start never
// waits for it. `done` gets the status text, of the backup or of its
// failure, on that thread, at its end. The destructor waits for the end.
class DailyBackupThread {
 public:
  using Done = std::function<void(const std::string& statusText)>;
  DailyBackupThread(std::filesystem::path workDir, text::Regional regional, text::Date day, Done done,
                    ledger::TableRewrite::FileMaker create = ledger::createPosixFile);
  ~DailyBackupThread();
  DailyBackupThread(const DailyBackupThread&) = delete;
  DailyBackupThread& operator=(const DailyBackupThread&) = delete;

  bool finished() const { return finished_.load(); }
  void wait();

 private:
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace backup
