// Backups of journals that old tools wrote at dBASE level IV and 7: the
// text is the one a level III+ journal gives, and a restore puts the rows
// back into the table as found, its header kept.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/textio.h"
#include "backup/backup_file.h"
#include "backup/backup_reader.h"
#include "backup/backup_writer.h"
#include "backup_test_support.h"
#include "dbase_levels.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"

namespace {

using namespace backup_testing;
using testing_support::journalColumns;
using testing_support::LevelTable;
using testing_support::record;
using testing_support::TempDir;

struct JournalCase {
  const char* name;
  LevelTable table;
};

std::vector<JournalCase> journals() {
  LevelTable seven;
  seven.version = 0x04;
  seven.languageDriver = 0x57;
  seven.columns = journalColumns("+IIDCOON");
  seven.columns[0].nextAutoIncrement = 3;
  seven.properties = std::string("\x01\x00\x02\x00\x00\x00\x00\x00\x30\x00\x00\x00\x00\x00\x00\x00", 16);
  LevelTable sevenTimestamp = seven;
  sevenTimestamp.version = 0x8C;
  sevenTimestamp.columns = journalColumns("INN@CNOO");
  LevelTable four;
  four.version = 0x8B;
  four.productionIndex = 0x01;
  four.languageDriver = 0xC8;
  four.columns = journalColumns("NNNDCNNN");
  four.columns[0].indexed = true;
  return {{"7", seven}, {"7 with a timestamp", sevenTimestamp}, {"IV", four}};
}

const std::vector<Value> kRow1 = {1.0, 1.0, 2.0, text::Date{2004, 9, 12}, cz("Nákup; potraviny"), kEmpty, 120.25,
                                  -120.25};
const std::vector<Value> kRow2 = {2.0, 1.0, 1.0, text::Date{2026, 1, 1}, cz("Příjem"), 350.5, kEmpty, 230.25};

TEST(LevelBackups, AJournalOfLevelIVOr7IsBackedUpAsItsRowsAndRestoredIntoTheSameFile) {
  for (JournalCase c : journals()) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const fs::path journal = ledger::tablePath(dir.path(), LedgerTable::Journal);
    fs::create_directories(journal.parent_path());
    c.table.records = {record(c.table.columns, kRow1), record(c.table.columns, kRow2)};
    const std::string original = c.table.bytes();
    testing_support::writeFile(journal, original);
    ledger::createMissingTables(dir.path());

    OpenLedger open(dir.path());
    const fs::path file = dir / "zaloha.txu";
    {
      backup::BackupFile out(file);
      backup::SaveAllTables(out, open.ledger);
      out.commit();
    }
    const std::string end(app::kLineEnd);
    EXPECT_EQ(testing_support::readFile(file),
              "######### This is a table Denik and have ;2; records " + end +
                  "1;1;2;12.9.2004;" + cz("Nákup: potraviny") + "; ;120,25;-120,25;" + end +
                  "2;1;1;1.1.2026;" + cz("Příjem") + ";350,5; ;230,25;" + end +
                  "######### This is a table Moves and have ;0; records " + end +
                  "######### This is a table Books and have ;0; records " + end);

    // The text's ';' became ':' in the backup, as it does for every level.
    backup::LoadAllTables(file, open.ledger);
    std::vector<Value> restored1 = kRow1;
    restored1[4] = cz("Nákup: potraviny");
    c.table.records = {record(c.table.columns, restored1), record(c.table.columns, kRow2)};
    EXPECT_EQ(withoutDate(testing_support::readFile(journal)), withoutDate(c.table.bytes()));
  }
}

}  // namespace
