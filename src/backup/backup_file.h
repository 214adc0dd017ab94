#pragma once
#include "ledger/replace_file.h"

namespace backup {

// The file a backup is written to: only a backup written whole and forced to
// the disk takes the target's place, so that a failure (a full disk, a
// removed device, a crash) leaves an earlier file of that name as it was and
// never passes for a backup. Errors: "Cannot create file %s" and "Cannot
// write to %s: reason", naming the target.
using BackupFile = ledger::ReplacementFile;

}  // namespace backup
