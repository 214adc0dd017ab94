#include "backup/backup_commands.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "backup/backup_file.h"
#include "backup/backup_writer.h"
#include "ledger/errors.h"
#include "ledger/ledger_tables.h"
#include "print/replace_all.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace backup {

namespace fs = std::filesystem;

std::string saveCancelledText() { return "Zaloha stornovana..."; }
std::string saveStartText() { return "Start zalohy..."; }
std::string restoreCancelledText() { return "Obnova dat stornovana..."; }
std::string restoreStartText() { return text::toCp1250("Start obnovení ze zalohy..."); }

std::string DefaultBackupName(const text::Date& today, const text::Regional& regional) {
  std::string date = print::ReplaceAll(text::formatDate(today, regional), ".", "_");
  date = print::ReplaceAll(date, "/", "_");
  return "zaloha_" + date + kBackupExtension;
}

std::string WithBackupExtension(const std::string& chosen) {
  if (chosen.find(kBackupExtension) != std::string::npos) return chosen;
  return chosen + kBackupExtension;
}

fs::path SaveBackupTo(app::Ledger& ledger, const fs::path& chosen, ledger::TableRewrite::FileMaker create) {
  // 4.
  ledger.status().show(saveStartText());
  // 5.
  const fs::path file = WithBackupExtension(chosen.string());
  // 6-8. Written beside the file and put in its place only when whole.
  BackupFile out(file, {}, std::move(create));
  SaveAllTables(out, ledger);
  out.commit();
  // 9.
  ledger.status().show(text::pathText(file));
  return file;
}

fs::path AutomaticBackupFolder(const app::Ledger& ledger) { return AutomaticBackupFolder(ledger.workDir()); }

fs::path AutomaticBackupFolder(const fs::path& workDir) {
  return ledger::tablePath(workDir, ledger::LedgerTable::Journal).parent_path() / "zalohy";
}

fs::path MakeAutomaticBackupFolder(const fs::path& workDir) {
  const fs::path folder = AutomaticBackupFolder(workDir);
  std::error_code error;
  if (!fs::is_directory(folder, error)) {
    const bool taken = fs::exists(fs::symlink_status(folder, error));
    if (taken || (!fs::create_directory(folder, error) && error)) {
      throw mincar::Error(mincar::fill(ledger::messages::kCannotCreateFolder,
                                       {text::pathText(folder), taken ? "not a folder" : error.message()}));
    }
  }
  return folder;
}

std::string BeforeRestoreName(const text::Date& day, int hour, int minute, int second,
                              const text::Regional& regional) {
  std::string date = DefaultBackupName(day, regional);  // zaloha_<date>.txu
  date = date.substr(7, date.size() - 7 - std::strlen(kBackupExtension));
  char time[16];
  std::snprintf(time, sizeof time, "%02d%02d%02d", hour % 100, minute % 100, second % 100);
  return "pred_obnovou_" + date + "_" + time + kBackupExtension;
}

namespace {

// The tables as they are, into a new file of data/zalohy/.
fs::path keepTablesBeforeRestore(app::Ledger& ledger, const ledger::TableRewrite::FileMaker& create) {
  const fs::path folder = MakeAutomaticBackupFolder(ledger.workDir());
  std::error_code error;
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  ::localtime_r(&now, &local);
  const std::string name = BeforeRestoreName({local.tm_year + 1900, local.tm_mon + 1, local.tm_mday},
                                             local.tm_hour, local.tm_min, local.tm_sec, ledger.regional());
  // Two restores within a second keep both files.
  fs::path file = folder / name;
  for (int n = 2; fs::exists(fs::symlink_status(file, error)); ++n) {
    file = folder / (name.substr(0, name.size() - std::strlen(kBackupExtension)) + "_" + std::to_string(n) +
                     kBackupExtension);
  }
  BackupFile out(file, {}, create);
  SaveAllTables(out, ledger);
  out.commit();
  return file;
}

}  // namespace

fs::path RestoreBackupFrom(app::Ledger& ledger, const fs::path& chosen, const RestoreFiles& files) {
  // 3.
  ledger.status().show(restoreStartText());
  // 4-6. The file is closed on every way out.
  fs::path kept;
  RestoreFiles withCopy = files;
  withCopy.beforeChange = [&] {
    if (files.beforeChange) files.beforeChange();
    kept = keepTablesBeforeRestore(ledger, files.create);
  };
  LoadAllTables(chosen, ledger, withCopy);
  ledger.status().show(text::toCp1250("Data před obnovou uložena do ") + text::pathText(kept));
  return kept;
}

}  // namespace backup
