#pragma once
#include <array>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ledger.h"
#include "backup/backup_lines.h"
#include "ledger/dataset.h"
#include "ledger/table_rewrite.h"
#include "ledger/value.h"
#include "text/regional.h"

// The reader of the text backup: three sections by position, each a header
// with its count and that many record lines, every row made by its table's
// new-record rule and then overwritten by the line's pieces.
namespace backup {

// A table's columns as its header lays out a record: deletion flag first,
// then each field's bytes.
struct RecordLayout {
  std::vector<ledger::FieldDef> fields;
  std::vector<int> offsets;  // after the deletion flag
  int recordLength = 1;

  // The header's own layout of the file being written.
  static RecordLayout of(const ledger::TableRewrite& table);
  // The fields of an open table, or given ones, laid out as a header lays
  // them out.
  static RecordLayout of(const ledger::Dataset& table);
  static RecordLayout of(const std::vector<ledger::FieldDef>& fields);
};

// Reads a header line and returns the count between its first two ";".
// Nothing else of the line counts. Throws "'%s' is not a valid integer
// value" naming the piece.
int ReadRecordCount(BackupLines& in);

// The counts the three headers announced, in file order.
using SectionCounts = std::array<int, 3>;

// Reads and checks a whole backup file exactly as the restore will fill the
// tables from it (same lines, same pieces, same conversions, same new-row
// values, the journal's stamped as `stamp` has them, a missing list column
// as empty), without touching any table. On the first error throws
// mincar::Error: the message of the failing step, then a line naming the
// file, the line number and, for a value, the column.
SectionCounts CheckBackup(BackupLines& in, const std::array<RecordLayout, 3>& layouts,
                          const app::JournalStamp& stamp, const text::Regional& regional);

// How the restore makes its new tables; tests stand faulty files in here.
struct RestoreFiles {
  ledger::TableRewrite::FileMaker create = ledger::createPosixFile;
  // Run once the file is checked and the tables are this process's alone,
  // before anything changes: a failure here ends the restore untouched.
  std::function<void()> beforeChange;
};

// The restore: journal, movements list and books list replaced by the
// three sections of the file.
//
// 1. The whole file is read and checked first (CheckBackup); a file that
//    does not read through whole changes nothing.
// 2. All three tables are taken for exclusive use; when another user has
//    any of them open, the engine's refusal is thrown and nothing changes.
//    Then files.beforeChange runs.
// 3. Each new table is written beside its old one and renamed over it, the
//    journal first: a crash at any moment leaves each table either as it
//    was or as restored.
// 4. The tables are opened shared again. As the rows' own new-record rules
//    would leave them: each table on its last row, the journal's filter off
//    when the journal section held rows, the data sources on; "Table has
//    %d records" with each header's count in the status line, in file
//    order. The rows are made by the rule's own numbering without running
//    the rule, so RefreshAfterNewRecord is never touched.
//
// On every way out the data sources and the tables' open state
// (and current rows, when nothing was replaced) are as they were.
void LoadAllTables(const std::filesystem::path& file, app::Ledger& ledger, const RestoreFiles& files = {});

}  // namespace backup
