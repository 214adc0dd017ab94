#pragma once
#include <filesystem>

#include "app/ledger.h"
#include "cli/cli_status_line.h"
#include "cli/commands.h"
#include "text/regional.h"

namespace cli {

// One command's ledger: the same tables and rules the windows use, opened as
// at start-up (missing tables are created, the lists stand on their first
// rows, the calendar on today). A command that only reads opens them for
// reading: it never changes a file.
enum class Use { Change, Read };

class Session {
 public:
  Session(const std::filesystem::path& workDir, Output& io, const text::Regional& regional, Use use = Use::Change);

  app::Ledger& ledger() { return ledger_; }
  void finish() { status_.finish(); }

 private:
  CliStatusLine status_;
  app::Ledger ledger_;
};

// What the engine repaired, or left to repair, on opening a table: on
// standard error.
void reportRepairs(ledger::Dataset& table, Output& io);

}  // namespace cli
