// Arbitrary bytes as a backup file through the restore's validate-first
// reader, with the three standard layouts and the stamp the journal's
// new-row rule would use. The reader either accepts the file or throws the
// message naming the line; it never touches a table.
#include <array>

#include "backup/backup_lines.h"
#include "backup/backup_reader.h"
#include "fuzz_support.h"
#include "ledger/ledger_tables.h"
#include "text/error.h"
#include "text/regional.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::filesystem::path file = fuzzing::scratchFile(".txu");
  fuzzing::writeScratch(file, fuzzing::bytesOf(data, size));

  using ledger::LedgerTable;
  static const std::array<backup::RecordLayout, 3> layouts = {
      backup::RecordLayout::of(ledger::standardLayout(LedgerTable::Journal)),
      backup::RecordLayout::of(ledger::standardLayout(LedgerTable::Moves)),
      backup::RecordLayout::of(ledger::standardLayout(LedgerTable::Books))};
  app::JournalStamp stamp;
  stamp.date = "7.12.2026";
  stamp.book.value = 1.0;
  stamp.move.value = 2.0;
  stamp.moveName.value = std::string("Potraviny");
  static const text::Regional czech = text::Regional::czech();
  try {
    backup::BackupLines in(file);
    backup::CheckBackup(in, layouts, stamp, czech);
    // A second pass over the same reader sees the same lines.
    in.rewind();
    backup::CheckBackup(in, layouts, stamp, czech);
  } catch (const mincar::Error&) {
  }
  return 0;
}
