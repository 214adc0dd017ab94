#include "ledger/ledger_tables.h"

#include <sys/stat.h>

#include <span>
#include <system_error>

#include "ledger/errors.h"
#include "ledger/replace_file.h"
#include "text/cp1250.h"
#include "text/error.h"

namespace ledger {

namespace fs = std::filesystem;

fs::path tablePath(const fs::path& workDir, LedgerTable table) {
  const char* file = "peden.dbf";
  switch (table) {
    case LedgerTable::Journal: file = "peden.dbf"; break;
    case LedgerTable::Books: file = "books.dbf"; break;
    case LedgerTable::Moves: file = "moves.dbf"; break;
  }
  // Relative to the current folder the paths read as the user knows them.
  if (workDir.empty() || workDir == ".") return fs::path("data") / file;
  return workDir / "data" / file;
}

const std::vector<FieldDef>& standardLayout(LedgerTable table) {
  // Amounts: 15 places with 2 decimals hold up to 999 999 999 999,99 Kč.
  // Row numbers: 10 places; new numbers are exact only up to 16 777 216
  // anyway, but an edited number may be larger.
  static const std::vector<FieldDef> journalLayout = {
      {"ID", FieldType::Numeric, 10, 0},    {"IDK", FieldType::Numeric, 10, 0},
      {"IDM", FieldType::Numeric, 10, 0},   {"DATUM", FieldType::Date, 8, 0},
      {"TEXT", FieldType::Character, journal::kTextLength, 0},
      {"PLUS", FieldType::Numeric, 15, 2},  {"MINUS", FieldType::Numeric, 15, 2},
      {"ZUSTATEK", FieldType::Numeric, 15, 2},
  };
  static const std::vector<FieldDef> booksLayout = {
      {"ID", FieldType::Numeric, 10, 0},
      {"TEXT", FieldType::Character, 100, 0},
      {"BALANCE", FieldType::Numeric, 15, 2},
  };
  // Longer than the journal's text, so that a long name is cut when a new
  // journal row takes it.
  static const std::vector<FieldDef> movesLayout = {
      {"ID", FieldType::Numeric, 10, 0},
      {"TEXT", FieldType::Character, 254, 0},
  };
  switch (table) {
    case LedgerTable::Books: return booksLayout;
    case LedgerTable::Moves: return movesLayout;
    case LedgerTable::Journal: break;
  }
  return journalLayout;
}

std::vector<fs::path> createMissingTables(const fs::path& workDir) {
  std::vector<fs::path> created;
  fs::path dataDir = tablePath(workDir, LedgerTable::Journal).parent_path();
  std::error_code ec;
  const bool madeFolder = fs::create_directories(dataDir, ec);
  if (madeFolder) {
    // In a working folder that its group shares, data/ is the group's too,
    // whatever the umask: else the others could not add a file there.
    struct stat work {};
    if (::stat(workDir.empty() ? "." : workDir.c_str(), &work) == 0 && (work.st_mode & S_IWGRP) != 0) {
      std::error_code ignored;
      fs::permissions(dataDir, fs::perms::group_read | fs::perms::group_write | fs::perms::group_exec,
                      fs::perm_options::add, ignored);
    }
  }
  if (ec || !fs::is_directory(dataDir)) {
    throw mincar::Error(mincar::fill(messages::kCannotCreateFolder,
                                     {text::pathText(dataDir), ec ? ec.message() : "not a folder"}));
  }
  for (LedgerTable t : {LedgerTable::Journal, LedgerTable::Books, LedgerTable::Moves}) {
    fs::path p = tablePath(workDir, t);
    // A link at the name counts as there, even one that leads nowhere:
    // opening it then says so, instead of creating through it.
    if (fs::exists(fs::symlink_status(p, ec))) continue;
    createTable(p, standardLayout(t));
    created.push_back(p);
  }
  // The new names are durable only once the folder is.
  if (!created.empty()) syncFolder(dataDir);
  return created;
}

double MaxFieldValue(Dataset& table, int column) {
  // The scan visits the rows a walk from the first row would and leaves the
  // cursor where the walk would.
  double highest = 0.0;
  table.scanNumbers(column, [&highest](std::span<const double> values) {
    for (const double v : values) FoldHighest(highest, v);
  });
  return highest;
}

bool NumberInUse(Dataset& table, int column, double number) {
  bool found = false;
  table.scanNumbers(column, [&found, number](std::span<const double> values) {
    for (const double v : values) found = found || v == number;
  });
  return found;
}

}  // namespace ledger
