#include "backup/daily_backup.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

#include "app/ledger.h"
#include "app/status_line.h"
#include "backup/backup_commands.h"
#include "backup/backup_file.h"
#include "backup/backup_writer.h"
#include "ledger/errors.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace backup {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kPrefix = "zaloha_";
constexpr std::string_view kDatePattern = "dddd-dd-dd";

}  // namespace

std::string DailyBackupName(const text::Date& day) {
  char date[16];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", day.year % 10000, day.month % 100, day.day % 100);
  return std::string(kPrefix) + date + kBackupExtension;
}

bool IsDailyBackupName(const std::string& name) {
  const std::string_view extension = kBackupExtension;
  if (name.size() != kPrefix.size() + kDatePattern.size() + extension.size()) return false;
  if (!name.starts_with(kPrefix) || !name.ends_with(extension)) return false;
  for (std::size_t i = 0; i < kDatePattern.size(); ++i) {
    const char c = name[kPrefix.size() + i];
    const bool digit = c >= '0' && c <= '9';
    if (kDatePattern[i] == 'd' ? !digit : c != kDatePattern[i]) return false;
  }
  return true;
}

std::vector<fs::path> DailyBackupsBeyond(const fs::path& folder, int kept, const fs::path& keep) {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator(); it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (IsDailyBackupName(name)) names.push_back(name);
  }
  // Newest first: the names sort as their days.
  std::sort(names.rbegin(), names.rend());
  std::vector<fs::path> beyond;
  for (std::size_t i = static_cast<std::size_t>(std::max(kept, 0)); i < names.size(); ++i) {
    if (names[i] != keep.filename().string()) beyond.push_back(folder / names[i]);
  }
  std::reverse(beyond.begin(), beyond.end());
  return beyond;
}

std::string DailyBackup::statusText() const {
  std::string shown;
  if (!written) {
    shown = mincar::fill("Denní záloha %s už existuje", {text::toUtf8(text::pathText(file))});
  } else {
    shown = mincar::fill("Denní záloha uložena do %s", {text::toUtf8(text::pathText(file))});
    if (!removed.empty()) shown += mincar::fill(", odstraněny starší: %s", {std::to_string(removed.size())});
  }
  if (!notRemoved.empty()) shown += "; " + text::toUtf8(notRemoved);
  return text::toCp1250(shown);
}

DailyBackup WriteDailyBackup(const fs::path& workDir, const text::Regional& regional, const text::Date& day,
                             ledger::TableRewrite::FileMaker create) {
  DailyBackup result;
  result.file = AutomaticBackupFolder(workDir) / DailyBackupName(day);
  std::error_code error;
  // The day's backup is there: written by an earlier start, or by another
  // copy that started a moment before.
  if (fs::exists(fs::symlink_status(result.file, error))) return result;
  MakeAutomaticBackupFolder(workDir);
  {
    // A ledger of its own: the caller's cursors, filter and status line
    // stay as they are.
    app::RecordingStatusLine quiet;
    app::Ledger tables(workDir, regional, quiet);
    tables.openForReading();
    // Nobody chose this name: the status line needs the reason too.
    BackupFile out(result.file, {.cannotCreate = ledger::messages::kCannotCreateFileBecause}, std::move(create));
    SaveAllTables(out, tables);
    if (!out.commitNew()) return result;
  }
  result.written = true;
  for (const fs::path& old : DailyBackupsBeyond(result.file.parent_path(), kDailyBackupsKept, result.file)) {
    if (fs::remove(old, error)) {
      result.removed.push_back(old);
    } else if (error && result.notRemoved.empty()) {
      result.notRemoved = mincar::fill(text::toCp1250("starší zálohu %s nelze odstranit: %s"),
                                       {text::pathText(old), error.message()});
    }
  }
  return result;
}

std::string DailyBackupFailedText(const std::string& error) {
  return text::toCp1250("Denní zálohu nelze uložit: ") + error;
}

DailyBackupThread::DailyBackupThread(fs::path workDir, text::Regional regional, text::Date day, Done done,
                                     ledger::TableRewrite::FileMaker create)
    : thread_([this, workDir = std::move(workDir), regional = std::move(regional), day, done = std::move(done),
               create = std::move(create)]() mutable {
        std::string shown;
        // Nothing stops the start: every failure becomes the status text.
        try {
          shown = WriteDailyBackup(workDir, regional, day, std::move(create)).statusText();
        } catch (const std::exception& e) {
          shown = DailyBackupFailedText(e.what());
        }
        try {
          done(shown);
        } catch (...) {
          // Whoever was to be told is gone.
        }
        finished_ = true;
      }) {}

DailyBackupThread::~DailyBackupThread() { wait(); }

void DailyBackupThread::wait() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace backup
