#pragma once
#include "cli/arguments.h"
#include "cli/commands.h"

namespace cli {

// import FILE --book ID [--move ID] [--format gpc|csv] [--columns SPEC] [--dry-run]
int cmdImport(const Invocation& inv, Output& io);

}  // namespace cli
