#include "cli/backup_verbs.h"

#include <string>
#include <string_view>

#include "backup/backup_commands.h"
#include "backup/daily_backup.h"
#include "cli/session.h"

namespace cli {

namespace fs = std::filesystem;

namespace {

// What the dialog does with the file it has chosen: it hands over a full
// name, and the status line shows it.
template <typename Command>
int onBackupFile(const Invocation& inv, Output& io, std::string_view verb, Use use, Command command) {
  if (inv.args.words.size() != 1) throw UsageError(std::string(verb) + " needs one FILE");
  Session session(inv.workDir, io, text::Regional::fromEnvironment(), use);
  command(session.ledger(), fs::absolute(inv.args.words[0]));
  session.finish();
  return 0;
}

}  // namespace

int cmdBackup(const Invocation& inv, Output& io) {
  if (inv.args.has("--daily")) {
    if (!inv.args.words.empty()) throw UsageError("backup --daily takes no FILE");
    const text::Regional regional = text::Regional::fromEnvironment();
    // The session checks the folder and reports what the tables need repaired.
    Session session(inv.workDir, io, regional, Use::Read);
    const backup::DailyBackup daily = backup::WriteDailyBackup(inv.workDir, regional, text::Date::today());
    session.ledger().status().show(daily.statusText());
    session.finish();
    return 0;
  }
  return onBackupFile(inv, io, "backup", Use::Read, [](app::Ledger& ledger, const fs::path& file) {
    backup::SaveBackupTo(ledger, file);
  });
}

int cmdRestore(const Invocation& inv, Output& io) {
  return onBackupFile(inv, io, "restore", Use::Change, [](app::Ledger& ledger, const fs::path& file) {
    backup::RestoreBackupFrom(ledger, file);
  });
}

}  // namespace cli
