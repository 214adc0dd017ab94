// A second Mincar that restores a backup, for the tests that kill it part
// way: opens the ledger on WORKDIR as at start-up and runs the restore of
// FILE. Exit 0 when the restore went through, 1 with the message on
// standard error when it failed.
//
//   restore_backup WORKDIR FILE
#include <exception>
#include <iostream>

#include "app/ledger.h"
#include "app/status_line.h"
#include "backup/backup_commands.h"
#include "text/cp1250.h"
#include "text/regional.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: restore_backup WORKDIR FILE\n";
    return 2;
  }
  try {
    app::RecordingStatusLine status;
    app::Ledger ledger(argv[1], text::Regional::czech(), status);
    ledger.open();
    backup::RestoreBackupFrom(ledger, argv[2]);
    return 0;
  } catch (const std::exception& e) {
    std::cerr << text::toUtf8(e.what()) << "\n";
    return 1;
  }
}
