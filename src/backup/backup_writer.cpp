#include "backup/backup_writer.h"

#include "app/textio.h"
#include "backup/record_text.h"
#include "text/error.h"

namespace backup {

namespace {

constexpr std::string_view kHeaderPattern = "######### This is a table %s and have ;%d; records %s";

// Rows are gathered into lines of about this size before they go to the
// file, so that the file sees few large writes.
constexpr std::size_t kChunkBytes = 256 << 10;

}  // namespace

std::string HeaderText(std::string_view name, std::int64_t count, std::string_view lineEnd) {
  return mincar::fill(kHeaderPattern, {name, std::to_string(count), lineEnd});
}

std::string TableHeaderText(ledger::Dataset& table, std::string_view name, std::string_view lineEnd) {
  return HeaderText(name, table.recordCount(), lineEnd);
}

void SaveTable(BackupFile& out, ledger::Dataset& table, std::string_view name) {
  ledger::DataSource::Quiet quiet(table.dataSource());
  // 2. first, as the walk begins: a pending edit is stored, so that a row
  //    just stamped is written with its new values, and counted.
  table.storePendingEdit();
  // 1. The count, and with it the rows it counts: walking them by position
  //    visits exactly these, whatever other users append or delete while
  //    the walk runs, so that the header never announces more or fewer lines
  //    than follow it.
  const std::int64_t count = table.recordCount();
  out.write(HeaderText(name, count, app::kLineEnd));
  // 3.
  std::string lines;
  lines.reserve(kChunkBytes + 4096);
  for (std::int64_t row = 0; row < count; ++row) {
    table.moveTo(row);
    AppendRecordText(table, lines);
    lines += app::kLineEnd;
    if (lines.size() >= kChunkBytes) {
      out.write(lines);
      lines.clear();
    }
  }
  out.write(lines);
  table.last();
}

void SaveAllTables(BackupFile& out, app::Ledger& ledger) {
  ledger::Dataset& journal = ledger.journal();
  const bool wasFiltered = journal.filtered();
  try {
    journal.setFiltered(false);
    SaveTable(out, journal, kJournalSection);
  } catch (...) {
    // The search stays in force whatever went wrong; a second failure must
    // not hide the first.
    try {
      journal.setFiltered(wasFiltered);
    } catch (...) {
    }
    throw;
  }
  journal.setFiltered(wasFiltered);
  journal.last();
  SaveTable(out, ledger.moves(), kMovesSection);
  SaveTable(out, ledger.books(), kBooksSection);
}

}  // namespace backup
