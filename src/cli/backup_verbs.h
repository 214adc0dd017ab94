#pragma once
#include "cli/arguments.h"
#include "cli/commands.h"

namespace cli {

// backup FILE / restore FILE: SaveBackup and RestoreBackup with FILE as
// the name chosen in their dialogs.
int cmdBackup(const Invocation& inv, Output& io);
int cmdRestore(const Invocation& inv, Output& io);

}  // namespace cli
