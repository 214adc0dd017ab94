#include "backup/backup_commands.h"

#include "backup/backup_file.h"
#include "backup/backup_writer.h"
#include "print/replace_all.h"
#include "text/cp1250.h"

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

void RestoreBackupFrom(app::Ledger& ledger, const fs::path& chosen, const RestoreFiles& files) {
  // 3.
  ledger.status().show(restoreStartText());
  // 4-6. The file is closed on every way out.
  LoadAllTables(chosen, ledger, files);
}

}  // namespace backup
