#include "cli/backup_verbs.h"

#include "backup/backup_commands.h"
#include "cli/session.h"

namespace cli {

namespace fs = std::filesystem;

int cmdBackup(const Invocation& inv, Output& io) {
  if (inv.args.words.size() != 1) throw UsageError("backup needs one FILE");
  Session session(inv.workDir, io, text::Regional::fromEnvironment());
  // The dialog hands over a full name, and the status line shows it.
  backup::SaveBackupTo(session.ledger(), fs::absolute(inv.args.words[0]));
  session.finish();
  return 0;
}

int cmdRestore(const Invocation& inv, Output& io) {
  if (inv.args.words.size() != 1) throw UsageError("restore needs one FILE");
  Session session(inv.workDir, io, text::Regional::fromEnvironment());
  backup::RestoreBackupFrom(session.ledger(), fs::absolute(inv.args.words[0]));
  session.finish();
  return 0;
}

}  // namespace cli
