#pragma once
// What the backup tests share: tables seeded directly, rows read back by a
// fresh component, the bytes of the three table files, and a second
// process that holds a table open.

#include <array>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"
#include "text/regional.h"

namespace backup_testing {

namespace fs = std::filesystem;
using ledger::LedgerTable;
using ledger::Value;
using Rows = testing_support::StoredRows;

inline const Value kEmpty{};
inline constexpr std::array<LedgerTable, 3> kTables = {LedgerTable::Journal, LedgerTable::Moves, LedgerTable::Books};

inline std::string cz(const char* utf8) { return text::toCp1250(utf8); }

using testing_support::seedRows;
using testing_support::storedRows;

// The three table files, byte for byte.
inline std::array<std::string, 3> tableFiles(const fs::path& workDir) {
  std::array<std::string, 3> bytes;
  for (size_t i = 0; i < kTables.size(); ++i) {
    bytes[i] = testing_support::readFile(ledger::tablePath(workDir, kTables[i]));
  }
  return bytes;
}

// A table file without the date of its last change (bytes 1-3), which a
// rewrite sets to today.
inline std::string withoutDate(std::string bytes) {
  if (bytes.size() > 4) bytes.replace(1, 3, "...");
  return bytes;
}

// The small data set of the format's example: one journal row, two
// movements, one book.
inline void seedExample(const fs::path& workDir) {
  seedRows(workDir, LedgerTable::Journal,
           {{1.0, 1.0, 2.0, text::Date{2004, 9, 12}, cz("Nákup; potraviny"), kEmpty, 350.5, -350.5}});
  seedRows(workDir, LedgerTable::Moves, {{1.0, cz("Příjem")}, {2.0, cz("Nákup")}});
  seedRows(workDir, LedgerTable::Books, {{1.0, cz("Hotovost"), -350.5}});
}

inline fs::path sourceFile(const std::string& relative) { return fs::path(MINCAR_SOURCE_DIR) / relative; }

// A ledger on a folder, as the program opens it.
struct OpenLedger {
  explicit OpenLedger(const fs::path& workDir, text::Regional regional = text::Regional::czech())
      : ledger(workDir, std::move(regional), status) {
    ledger.open();
  }
  app::RecordingStatusLine status;
  app::Ledger ledger;
};

// A ledger_peer process on one table.
using Peer = testing_support::LedgerPeer;

}  // namespace backup_testing
