// Deleted rows taken back through the ledger: their number kept, or the
// next new one when another row has taken it since, under the numbering
// lock; the status line says which.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/ledger.h"
#include "app/status_line.h"
#include "ledger/dataset.h"
#include "ledger/ledger_tables.h"
#include "test_support.h"
#include "text/cp1250.h"

namespace {

namespace fs = std::filesystem;
using ledger::Dataset;
using ledger::LedgerTable;
using ledger::Value;
using testing_support::errorOf;
using testing_support::storedRows;
using testing_support::TempDir;
namespace J = ledger::journal;

std::string cz(const char* utf8) { return text::toCp1250(utf8); }

void standOn(Dataset& table, double id) {
  for (table.first(); !table.eof(); table.next()) {
    if (table.field(0).asFloat() == id) return;
  }
  FAIL() << "no row with ID " << id;
}

class RecallRule : public ::testing::Test {
 protected:
  void SetUp() override {
    ledger_.open();
    ledger_.newBook();
    ledger_.newMove();
    for (int i = 0; i < 3; ++i) {
      ledger_.newJournalRow();
      Dataset& journal = ledger_.journal();
      journal.edit();
      journal.field(J::TEXT).setAsString(cz("Nákup ") + std::to_string(i + 1));
      journal.field(J::MINUS).setAsFloat(10.0 * (i + 1));
      journal.post();
    }
  }

  // Deletes journal row `id` and returns its record.
  std::int64_t deleteJournalRow(double id) {
    standOn(ledger_.journal(), id);
    const std::int64_t record = ledger_.journal().recordNumber();
    ledger_.deleteJournalRow();
    return record;
  }

  TempDir dir_;
  app::RecordingStatusLine status_;
  app::Ledger ledger_{dir_.path(), text::Regional::czech(), status_};
};

TEST_F(RecallRule, AJournalRowComesBackWithItsNumberAndValues) {
  const std::int64_t record = deleteJournalRow(2);
  const auto before = storedRows(dir_.path(), LedgerTable::Journal);
  const app::Ledger::Recalled recalled = ledger_.recallJournalRow(record);
  EXPECT_EQ(recalled.number, 2.0);
  EXPECT_FALSE(recalled.taken);
  EXPECT_EQ(status_.text(), cz("Záznam obnoven s číslem 2; zůstatky je třeba přepočítat..."));
  const auto rows = storedRows(dir_.path(), LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 3u);
  ASSERT_EQ(before.size(), 2u);
  // In its place in the natural order, with every value.
  EXPECT_EQ(rows[1][J::ID], Value{2.0});
  EXPECT_EQ(rows[1][J::TEXT], Value{cz("Nákup 2")});
  EXPECT_EQ(rows[1][J::MINUS], Value{20.0});
  EXPECT_EQ(rows[0], before[0]);
  EXPECT_EQ(rows[2], before[1]);
  // The cursor stands on it.
  EXPECT_EQ(ledger_.journal().recordNumber(), record);
  EXPECT_EQ(ledger_.journal().state(), ledger::DatasetState::Browse);
}

TEST_F(RecallRule, ANumberTakenSinceGivesTheNextNewNumber) {
  const std::int64_t record = deleteJournalRow(3);
  ledger_.newJournalRow();  // takes 3 again
  ASSERT_EQ(ledger_.journal().field(J::ID).asFloat(), 3.0);
  const app::Ledger::Recalled recalled = ledger_.recallJournalRow(record);
  EXPECT_EQ(recalled.number, 4.0);
  EXPECT_EQ(recalled.taken, 3.0);
  EXPECT_EQ(status_.text(), cz("Záznam obnoven s novým číslem 4: číslo 3 mezitím dostal jiný záznam; "
                               "zůstatky je třeba přepočítat..."));
  const auto rows = storedRows(dir_.path(), LedgerTable::Journal);
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_EQ(rows[2][J::ID], Value{4.0});
  EXPECT_EQ(rows[2][J::TEXT], Value{cz("Nákup 3")});
  EXPECT_EQ(rows[3][J::ID], Value{3.0});
  // The next new row continues from the recalled one's number.
  ledger_.newJournalRow();
  EXPECT_EQ(ledger_.journal().field(J::ID).asFloat(), 5.0);
}

TEST_F(RecallRule, RowsTheSearchHidesCountForATakenNumberAndTheRowIsShown) {
  const std::int64_t record = deleteJournalRow(1);
  ledger_.newJournalRow();  // 4
  Dataset& journal = ledger_.journal();
  standOn(journal, 3);
  journal.edit();
  journal.field(J::ID).setAsFloat(1);
  journal.post();
  // The search shows only the new row.
  journal.onFilterRecord = [](Dataset& d) { return d.field(J::ID).asFloat() == 4; };
  journal.setFiltered(true);
  ASSERT_EQ(journal.recordCount(), 1);
  const app::Ledger::Recalled recalled = ledger_.recallJournalRow(record);
  EXPECT_EQ(recalled.number, 5.0);
  // As after a new row, the journal shows all rows again.
  EXPECT_FALSE(journal.filtered());
  EXPECT_EQ(journal.recordCount(), 4);
  EXPECT_EQ(journal.field(J::TEXT).asString(), cz("Nákup 1"));
}

TEST_F(RecallRule, BooksAndMovementsComeBackTheSameWay) {
  ledger_.newBook();  // 2
  standOn(ledger_.books(), 2);
  const std::int64_t book = ledger_.books().recordNumber();
  ledger_.deleteBook();
  ledger_.newBook();  // 2 again
  const app::Ledger::Recalled recalledBook = ledger_.recallBook(book);
  EXPECT_EQ(recalledBook.number, 3.0);
  EXPECT_EQ(status_.text(), cz("Záznam obnoven s novým číslem 3: číslo 2 mezitím dostal jiný záznam; "
                               "zůstatky je třeba přepočítat..."));
  standOn(ledger_.moves(), 1);
  const std::int64_t move = ledger_.moves().recordNumber();
  ledger_.deleteMove();
  const app::Ledger::Recalled recalledMove = ledger_.recallMove(move);
  EXPECT_EQ(recalledMove.number, 1.0);
  // Movements carry no balances.
  EXPECT_EQ(status_.text(), cz("Záznam obnoven s číslem 1"));
  EXPECT_EQ(storedRows(dir_.path(), LedgerTable::Books).size(), 3u);
  EXPECT_EQ(storedRows(dir_.path(), LedgerTable::Moves).size(), 1u);
}

TEST_F(RecallRule, ARowWithoutANumberComesBackWithout) {
  Dataset& journal = ledger_.journal();
  standOn(journal, 2);
  journal.edit();
  journal.field(J::ID).clear();
  journal.post();
  const std::int64_t record = journal.recordNumber();
  ledger_.deleteJournalRow();
  const app::Ledger::Recalled recalled = ledger_.recallJournalRow(record);
  EXPECT_FALSE(recalled.number);
  EXPECT_EQ(status_.text(), cz("Záznam obnoven; zůstatky je třeba přepočítat..."));
}

TEST_F(RecallRule, RefusalsNameTheRecordAndChangeNothing) {
  const fs::path journal = ledger::tablePath(dir_.path(), LedgerTable::Journal);
  const std::string shown = status_.text();
  EXPECT_EQ(errorOf([&] { ledger_.recallJournalRow(0); }), "Record 1 of " + journal.string() + " is not deleted");
  EXPECT_EQ(errorOf([&] { ledger_.recallJournalRow(7); }),
            "There is no record 8 in " + journal.string() + ", which holds 3 records");
  EXPECT_EQ(status_.text(), shown);
  // A row another copy takes back at this moment is refused with the
  // engine's lock message, and stays deleted here.
  const std::int64_t record = deleteJournalRow(2);
  Dataset other("Table1", journal, text::Regional::czech());
  other.open();
  other.recall(record);
  EXPECT_EQ(errorOf([&] { ledger_.recallJournalRow(record); }),
            "Record locked by another user.\nTable: " + journal.string());
  EXPECT_EQ(ledger_.journal().state(), ledger::DatasetState::Browse);
  other.cancel();
  EXPECT_TRUE(ledger_.journal().recordDeleted(record));
  // Once the other copy has let go, it comes back here.
  EXPECT_EQ(ledger_.recallJournalRow(record).number, 2.0);
}

}  // namespace
